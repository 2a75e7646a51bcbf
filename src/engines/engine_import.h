// Importing engine lists made by other tools: plain address lists, "name<sep>address" lines, our
// own engine list lines and CSV files with a header, each line turned into an engine or a reason
// for skipping it, and the engines that are not already in the list by the duplicate rule of
// template_normal_form.h. The front ends read the files and show the summary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engines/keyword_placeholders.h"
#include "engines/trace_engine.h"
#include "text/local_text.h"

namespace trasslo {

// What became of one input line.
enum class ImportVerdict {
    engine,             // it makes an engine
    ignored,            // blank, a "#" comment or a CSV header: skipped without a word
    no_placeholder,     // no mark where the search words go
    not_http,           // not an http or https address
    no_host,            // an address without a host
    too_long,           // an address longer than max_import_address_bytes
    control_character,  // a control character in the name or address
    duplicate,          // the same engine as one in the list or on an earlier line
};

// The reason a skipped line is listed with ("没有关键词位置", ...); empty for engine and ignored.
LocalText import_verdict_text(ImportVerdict verdict);

inline constexpr std::size_t max_import_address_bytes = 2000;

// Where an imported engine's page encoding came from.
enum class EncodingSource {
    line,      // the line's own field: our list's code, a CSV "encoding" column
    hint,      // a query parameter of the address (encoding_hint)
    fallback,  // nothing said: the import's fallback encoding
};

struct ImportedLine {
    ImportVerdict verdict = ImportVerdict::ignored;
    TraceEngine engine;  // for ImportVerdict::engine: enabled, protected by engine_for_list
    EncodingSource encoding_source = EncodingSource::fallback;
};

// The page encoding a name stands for, case-blind: gbk, gb2312 or gb18030 give GBK, utf-8 or
// utf8 UTF-8; with `codes_too` also the list's own codes "0" and "1". Nothing for any other.
std::optional<std::int32_t> encoding_named(std::string_view value, bool codes_too = false);

// The page encoding the address's query names in a parameter ie, oe, charset, encoding,
// inputencoding, enc, _charset_ or cs (names and values case-blind): gbk, gb2312 or gb18030
// give GBK, utf-8 or utf8 UTF-8; the first such parameter wins. Nothing when none does.
//   encoding_hint("http://a.cn/s?IE=GB2312&q={*}") == engine_encoding_gbk
std::optional<std::int32_t> encoding_hint(std::string_view address);

// The columns a CSV file's first line names: "url", "address", "网址", "地址" or "链接"
// (required), "name", "名称", "名字" or "网站", and "encoding", "编码" or "字符集", the English
// names case-blind; cells are separated by ',' or, when the line holds a tab, by tabs.
struct CsvColumns {
    char separator = ',';
    int address = -1;
    int name = -1;
    int encoding = -1;
};
// Nothing when `line` is no such header (no address column, or an address in it).
std::optional<CsvColumns> csv_columns(std::string_view line);

struct ImportOptions {
    std::int32_t fallback_encoding = engine_encoding_utf8;  // when neither line nor hint says
    std::vector<LocalText> placeholders;                    // beyond the built-in forms
    // How the summary speaks: of what would be imported, and where the front end checks the
    // encodings it guessed (UTF-8; no hint when empty).
    bool dry_run = false;
    std::string how_to_check_encodings;
};

// Turns single lines (local text, without their line end) into engines. It keeps a buffer from
// line to line: one reader per thread.
class ImportLineReader {
  public:
    explicit ImportLineReader(const ImportOptions& options);

    // A plain line: an address alone; a name and an address separated by a tab, "|" or ","
    // (the last separator before the address's "://", so names may hold them); or our own
    // "真|code|name|address". With `csv`, the line is a row of those columns (it may hold the
    // line breaks of a quoted cell), or, when it does not make an engine that way, a plain line.
    // The name, when there is none, is the host without a leading "www."; every placeholder
    // becomes "{*}"; an address without a scheme ("www.a.cn/s?q={*}") takes "http://".
    ImportedLine read(std::string_view line, const CsvColumns* csv = nullptr) const;

  private:
    ImportedLine read_row(std::string_view line, const CsvColumns& csv) const;
    ImportedLine engine_of(std::string_view name, std::string_view address,
                           std::optional<std::int32_t> encoding) const;

    KeywordPlaceholders placeholders_;
    std::int32_t fallback_encoding_;
    mutable LocalText address_;  // the line's address with its placeholders written "{*}"
};

// Where the engine of an input line first came from: a file (index into the imported texts) and
// its line number from 1, or the list's line (`file` is in_list).
struct LinePlace {
    static constexpr std::size_t in_list = static_cast<std::size_t>(-1);
    std::size_t file = 0;
    std::size_t line = 0;
};

// A skipped line worth naming: where it is, why, and for a duplicate the line it repeats.
struct SkippedLine {
    std::size_t file = 0;
    std::size_t line = 0;
    ImportVerdict verdict = ImportVerdict::not_http;
    LinePlace repeats;
};

struct ImportReport {
    std::vector<TraceEngine> engines;  // to append, in input order
    std::size_t duplicates = 0;        // of an engine in the list or earlier in the input
    std::size_t invalid = 0;           // not_http, no_host, too_long, control_character
    std::size_t no_placeholder = 0;
    // How the imported engines got their encoding.
    std::size_t encoding_from_line = 0;
    std::size_t encoding_from_hint = 0;
    std::size_t encoding_by_fallback = 0;
    std::vector<SkippedLine> skipped;  // the duplicate, invalid and no-placeholder lines, in order
};

// A file's bytes as local text for import_engines, in whichever charset the decoder detects
// (text/charset.h). The decoder ends a text at its first zero byte; here a zero byte (outside
// UTF-16 files) is kept as another control character instead, so that its line is reported and
// the lines behind it are still read.
LocalText import_file_text(std::string_view bytes);

// Reads `texts` (one local text per file, lines at LF with a CR before it dropped; a file whose
// first line is a CSV header is read by its columns, a quoted cell over several lines as one
// row) and keeps the engines whose template is not
// the same engine as one of `existing` or of an earlier line. Linear in the lines: the normal
// forms go into a hash set.
ImportReport import_engines(const std::vector<TraceEngine>& existing,
                            std::span<const LocalText> texts, const ImportOptions& options);

// The summary as the front ends show it. First the counts:
//   "导入 N 个引擎；跳过 D 个重复，I 个无效，P 个没有关键词位置" ("将导入" for a dry run)
// then how the encodings were chosen, then the first `listed` skipped lines as
// "FILE 第 N 行：reason" (a duplicate's reason "与第 K 行重复") and how many more there were.
// `file_names` are UTF-8, by file index.
std::vector<LocalText> import_summary(const ImportReport& report,
                                      std::span<const std::string> file_names,
                                      const ImportOptions& options, std::size_t listed = 20);

}  // namespace trasslo
