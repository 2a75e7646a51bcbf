#include "engines/engine_import.h"

#include <algorithm>
#include <array>
#include <memory_resource>
#include <unordered_map>

#include "engines/template_normal_form.h"
#include "net/url_parts.h"
#include "text/c_number.h"
#include "text/charset.h"

namespace trasslo {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

template <std::size_t N>
bool is_one_of(std::string_view word, const std::array<std::string_view, N>& words) {
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return equal_ignoring_case(word, w); });
}

// The encoding named by the first parameter of `query` that names one (see encoding_hint).
std::optional<std::int32_t> encoding_in_query(std::string_view query) {
    static constexpr std::array<std::string_view, 8> names = {
        "ie", "oe", "charset", "encoding", "inputencoding", "enc", "_charset_", "cs"};
    size_t begin = 0;
    while (begin <= query.size()) {
        const size_t end = std::min(query.find('&', begin), query.size());
        const std::string_view parameter = query.substr(begin, end - begin);
        const size_t equals = parameter.find('=');
        if (equals != std::string_view::npos && is_one_of(parameter.substr(0, equals), names)) {
            if (auto encoding = encoding_named(parameter.substr(equals + 1), false))
                return encoding;
        }
        begin = end + 1;
    }
    return std::nullopt;
}

size_t width_at(std::string_view text, size_t at) {
    return (is_gbk_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
}

// Without ASCII spaces and tabs at either end, and without the first half of a double-byte
// character cut off at the end. Read by characters, as the engine list file is read: a space
// behind a first half is its second half.
std::string_view trimmed(std::string_view text) {
    std::string_view rest = text.substr(std::min(text.find_first_not_of(" \t"), text.size()));
    if (ends_with_cut_character(rest)) rest.remove_suffix(1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t') &&
           !ends_with_cut_character(rest.substr(0, rest.size() - 1)))
        rest.remove_suffix(1);
    return rest;
}

bool has_control_character(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// The cells of a CSV row: separated by `separator`, a cell in double quotes may hold the
// separator and "" for a quote; unquoted cells are trimmed. Separators and quotes are ASCII
// below 0x40, so they are never the second byte of a GBK character; a broken one in front of
// them is left at the end of the cell, and trimmed() drops it.
std::vector<LocalText> csv_cells(std::string_view line, char separator) {
    std::vector<LocalText> cells;
    size_t at = 0;
    for (;;) {
        while (at < line.size() && line[at] == ' ') ++at;
        LocalText cell;
        if (at < line.size() && line[at] == '"') {
            for (++at; at < line.size(); ++at) {
                if (line[at] != '"') {
                    cell += line[at];
                } else if (at + 1 < line.size() && line[at + 1] == '"') {
                    cell += '"';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            const size_t end = line.find(separator, at);
            at = end == std::string_view::npos ? line.size() : end;
        } else {
            const size_t end = std::min(line.find(separator, at), line.size());
            cell = trimmed(line.substr(at, end - at));
            at = end;
        }
        cells.push_back(std::move(cell));
        if (at >= line.size()) break;
        ++at;  // the separator
    }
    return cells;
}

// Our own engine list line: "真" or "假", "|", a whole number, "|", name, "|", address. The
// address is everything behind the third "|".
struct OwnLine {
    std::string_view name;
    std::string_view address;
    std::int32_t encoding = 0;
};
std::optional<OwnLine> own_engine_line(std::string_view line) {
    // Most lines are not: they do not start with the flag and its "|".
    const bool flagged = line.size() > 2 && line[2] == '|' &&
                         (line.starts_with(true_word()) || line.starts_with(false_word()));
    if (!flagged) return std::nullopt;
    size_t bars[3];
    int count = 0;
    for (size_t at = 0; at < line.size() && count < 3; at += width_at(line, at)) {
        if (line[at] == '|') bars[count++] = at;
    }
    if (count < 3) return std::nullopt;
    const std::string_view flag = line.substr(0, bars[0]);
    if (flag != true_word() && flag != false_word()) return std::nullopt;
    const std::string_view code = line.substr(bars[0] + 1, bars[1] - bars[0] - 1);
    const std::string_view digits = code.starts_with('-') ? code.substr(1) : code;
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const long long value = read_c_integer(code);
    return OwnLine{line.substr(bars[1] + 1, bars[2] - bars[1] - 1), line.substr(bars[2] + 1),
                   value == engine_encoding_utf8 ? engine_encoding_utf8 : engine_encoding_gbk};
}

// Splits a plain line into name and address: at the last tab, "|" or "," before the first
// "://", or nowhere (an address alone) when there is none before it.
void split_name_and_address(std::string_view line, std::string_view& name,
                            std::string_view& address) {
    size_t separator = std::string_view::npos;
    for (size_t at = 0; at < line.size(); at += width_at(line, at)) {
        const char c = line[at];
        if (c == '\t' || c == '|' || c == ',') {
            separator = at;
        } else if (c == ':' && line.compare(at, 3, "://") == 0) {
            break;
        }
    }
    if (separator == std::string_view::npos) {
        name = {};
        address = trimmed(line);
    } else {
        name = trimmed(line.substr(0, separator));
        address = trimmed(line.substr(separator + 1));
    }
}

// The name an engine gets when its line has none: the host in lower case, without "www.".
LocalText host_name(std::string_view host) {
    LocalText name = ascii_lower(host);
    if (name.starts_with("www.")) name.erase(0, 4);
    return name;
}

// Whether `address` is a web address but for its scheme: a host with a dot in it (and perhaps
// a port) before the path, as lists copied from a browser's address bar have them.
bool lacks_only_the_scheme(std::string_view address) {
    if (address.empty() || address.find("://") != std::string_view::npos) return false;
    const std::string_view host = address.substr(0, address.find_first_of("/?#"));
    const size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view port = host.substr(colon + 1);
        if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
    }
    const std::string_view name = host.substr(0, colon);
    return name.find('.') != std::string_view::npos && !name.starts_with('.') &&
           name.find_first_of(" \t") == std::string_view::npos;
}

// A quoted cell's line breaks: a space in a name, nothing in an address (a wrapped address).
LocalText without_line_breaks(std::string_view cell, std::string_view joiner) {
    LocalText out;
    for (const LocalText& part : split_text(cell, "\n")) {
        std::string_view piece = part;
        if (piece.ends_with('\r')) piece.remove_suffix(1);
        if (!out.empty()) out += joiner;
        out += piece;
    }
    return out;
}

// The end of the CSV row that starts at `begin`: the LF behind it, outside double quotes. A
// quote that is never closed quotes nothing, so the row is its line alone.
size_t csv_row_end(std::string_view text, size_t begin, char separator) {
    const size_t line_end = std::min(text.find('\n', begin), text.size());
    bool cell_start = true;
    bool quoted = false;
    for (size_t at = begin; at < text.size(); ++at) {
        const char c = text[at];
        if (quoted) {
            if (c == '"') {
                if (at + 1 < text.size() && text[at + 1] == '"')
                    ++at;
                else
                    quoted = false;
            }
        } else if (c == '\n') {
            return at;
        } else if (c == separator) {
            cell_start = true;
        } else if (c == '"' && cell_start) {
            quoted = true;
        } else if (c != ' ') {
            cell_start = false;
        }
    }
    return quoted ? line_end : text.size();
}

// A header cell naming one of the columns: the English words case-blind, the Chinese ones as
// they are written.
bool names_column(std::string_view cell, std::string_view english_one, std::string_view english_two,
                  std::initializer_list<const char*> chinese) {
    if (equal_ignoring_case(cell, english_one) ||
        (!english_two.empty() && equal_ignoring_case(cell, english_two)))
        return true;
    return std::any_of(chinese.begin(), chinese.end(),
                       [&](const char* word) { return cell == local(word); });
}

}  // namespace

std::optional<std::int32_t> encoding_named(std::string_view value, bool codes_too) {
    static constexpr std::array<std::string_view, 3> gbk = {"gbk", "gb2312", "gb18030"};
    static constexpr std::array<std::string_view, 2> utf8 = {"utf-8", "utf8"};
    if (is_one_of(value, gbk) || (codes_too && value == "0")) return engine_encoding_gbk;
    if (is_one_of(value, utf8) || (codes_too && value == "1")) return engine_encoding_utf8;
    return std::nullopt;
}

LocalText import_verdict_text(ImportVerdict verdict) {
    switch (verdict) {
        case ImportVerdict::no_placeholder:
            return local("没有关键词位置");
        case ImportVerdict::not_http:
            return local("不是 http 或 https 地址");
        case ImportVerdict::no_host:
            return local("地址中没有主机名");
        case ImportVerdict::too_long:
            return local("地址超过 2000 字节");
        case ImportVerdict::control_character:
            return local("含有控制字符");
        case ImportVerdict::duplicate:
            return local("重复");
        case ImportVerdict::engine:
        case ImportVerdict::ignored:
            break;
    }
    return {};
}

std::optional<std::int32_t> encoding_hint(std::string_view address) {
    return encoding_in_query(split_url(address).query);
}

std::optional<CsvColumns> csv_columns(std::string_view line) {
    if (line.find("://") != std::string_view::npos) return std::nullopt;
    CsvColumns columns;
    columns.separator = line.find('\t') != std::string_view::npos ? '\t' : ',';
    const std::vector<LocalText> cells = csv_cells(line, columns.separator);
    for (size_t i = 0; i < cells.size(); ++i) {
        const std::string_view cell = trimmed(cells[i]);
        const int index = static_cast<int>(i);
        if (columns.address < 0 && names_column(cell, "url", "address", {"网址", "地址", "链接"})) {
            columns.address = index;
        } else if (columns.name < 0 && names_column(cell, "name", "", {"名称", "名字", "网站"})) {
            columns.name = index;
        } else if (columns.encoding < 0 && names_column(cell, "encoding", "", {"编码", "字符集"})) {
            columns.encoding = index;
        }
    }
    if (columns.address < 0) return std::nullopt;
    return columns;
}

ImportLineReader::ImportLineReader(const ImportOptions& options)
    : placeholders_(options.placeholders), fallback_encoding_(options.fallback_encoding) {}

ImportedLine ImportLineReader::read(std::string_view line, const CsvColumns* csv) const {
    const std::string_view content = trimmed(line);
    if (content.empty() || content.starts_with('#')) return {};
    if (csv) {
        // A line of another form in a file with a header is read in its own form.
        ImportedLine row = read_row(line, *csv);
        if (row.verdict == ImportVerdict::engine || line.find('\n') != std::string_view::npos)
            return row;
        ImportedLine plain = read(line);
        return plain.verdict == ImportVerdict::engine ? plain : row;
    }
    std::string_view name;
    std::string_view address;
    std::optional<std::int32_t> encoding;
    if (const std::optional<OwnLine> own = own_engine_line(content)) {
        name = trimmed(own->name);
        address = trimmed(own->address);
        encoding = own->encoding;
    } else {
        split_name_and_address(content, name, address);
    }
    return engine_of(name, address, encoding);
}

ImportedLine ImportLineReader::read_row(std::string_view line, const CsvColumns& csv) const {
    const std::vector<LocalText> cells = csv_cells(line, csv.separator);
    auto cell = [&](int column) {
        return column >= 0 && static_cast<size_t>(column) < cells.size()
                   ? trimmed(cells[static_cast<size_t>(column)])
                   : std::string_view();
    };
    const LocalText name = without_line_breaks(cell(csv.name), " ");
    const LocalText address = without_line_breaks(cell(csv.address), "");
    return engine_of(trimmed(name), trimmed(address), encoding_named(cell(csv.encoding), true));
}

ImportedLine ImportLineReader::engine_of(std::string_view name, std::string_view address,
                                         std::optional<std::int32_t> encoding) const {
    ImportedLine result;
    LocalText with_scheme;
    if (lacks_only_the_scheme(address)) {
        with_scheme = "http://" + std::string(address);
        address = with_scheme;
    }
    if (address.size() > max_import_address_bytes) {
        result.verdict = ImportVerdict::too_long;
        return result;
    }
    if (has_control_character(name) || has_control_character(address)) {
        result.verdict = ImportVerdict::control_character;
        return result;
    }
    const UrlPieces url = split_url(address);
    if (!equal_ignoring_case(url.scheme, "http") && !equal_ignoring_case(url.scheme, "https")) {
        result.verdict = ImportVerdict::not_http;
        return result;
    }
    if (url.host.empty()) {
        result.verdict = ImportVerdict::no_host;
        return result;
    }
    if (!placeholders_.standardize_into(address, address_)) {
        result.verdict = ImportVerdict::no_placeholder;
        return result;
    }

    result.encoding_source = EncodingSource::line;
    if (!encoding) {
        // Placeholders are never an encoding's name: the query as written tells the same.
        encoding = encoding_in_query(url.query);
        result.encoding_source = EncodingSource::hint;
    }
    if (!encoding) {
        encoding = fallback_encoding_;
        result.encoding_source = EncodingSource::fallback;
    }
    result.verdict = ImportVerdict::engine;
    result.engine = name.empty() ? engine_for_list(host_name(url.host), address_, *encoding)
                                 : engine_for_list(name, address_, *encoding);
    return result;
}

LocalText import_file_text(std::string_view bytes) {
    const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (utf16 || bytes.find('\0') == std::string_view::npos)
        return decode_to_local_text(bytes).text;
    std::string kept(bytes);
    std::replace(kept.begin(), kept.end(), '\0', '\x01');
    return decode_to_local_text(kept).text;
}

ImportReport import_engines(const std::vector<TraceEngine>& existing,
                            std::span<const LocalText> texts, const ImportOptions& options) {
    ImportReport report;
    const ImportLineReader reader(options);
    std::size_t line_estimate = 0;
    for (const LocalText& text : texts)
        line_estimate += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    // The normal forms seen so far. They live as long as the import: their strings and nodes come
    // from one arena rather than a heap allocation each.
    std::pmr::monotonic_buffer_resource arena;
    std::pmr::unordered_map<std::pmr::string, LinePlace> forms(&arena);
    forms.reserve(existing.size() + line_estimate);
    for (std::size_t i = 0; i < existing.size(); ++i)
        forms.emplace(std::string_view(template_normal_form(existing[i].address)),
                      LinePlace{LinePlace::in_list, i + 1});
    LocalText form;
    report.engines.reserve(line_estimate);

    for (std::size_t file = 0; file < texts.size(); ++file) {
        const std::string_view text = texts[file];
        std::optional<CsvColumns> csv;
        bool header_looked_for = false;
        std::size_t number = 0;
        for (size_t begin = 0; begin < text.size();) {
            const size_t end = csv ? csv_row_end(text, begin, csv->separator)
                                   : std::min(text.find('\n', begin), text.size());
            std::string_view line = text.substr(begin, end - begin);
            begin = end + 1;
            const std::size_t first_line = ++number;
            number += static_cast<std::size_t>(std::count(line.begin(), line.end(), '\n'));
            if (line.ends_with('\r')) line.remove_suffix(1);
            // The first line with something in it may name the columns of a CSV file.
            if (!header_looked_for && !trimmed(line).empty() && !trimmed(line).starts_with('#')) {
                header_looked_for = true;
                csv = csv_columns(line);
                if (csv) continue;
            }
            ImportedLine read = reader.read(line, csv ? &*csv : nullptr);
            switch (read.verdict) {
                case ImportVerdict::ignored:
                    continue;
                case ImportVerdict::engine:
                    break;
                case ImportVerdict::no_placeholder:
                    ++report.no_placeholder;
                    report.skipped.push_back({file, first_line, read.verdict, {}});
                    continue;
                default:
                    ++report.invalid;
                    report.skipped.push_back({file, first_line, read.verdict, {}});
                    continue;
            }
            // The form of the address as it is written: the protection's escapes can complete a
            // placeholder ("%url|" is written "%url%7C"), which the next reader of the list finds.
            const LocalText& written = read.engine.address;
            if (written.find("%7C") != LocalText::npos || written.find("%3C") != LocalText::npos)
                form = template_normal_form(written);
            else
                standard_template_normal_form(written, form);
            const auto [seen, added] =
                forms.emplace(std::string_view(form), LinePlace{file, first_line});
            if (!added) {
                ++report.duplicates;
                report.skipped.push_back(
                    {file, first_line, ImportVerdict::duplicate, seen->second});
                continue;
            }
            switch (read.encoding_source) {
                case EncodingSource::line:
                    ++report.encoding_from_line;
                    break;
                case EncodingSource::hint:
                    ++report.encoding_from_hint;
                    break;
                case EncodingSource::fallback:
                    ++report.encoding_by_fallback;
                    break;
            }
            report.engines.push_back(std::move(read.engine));
        }
    }
    return report;
}

std::vector<LocalText> import_summary(const ImportReport& report,
                                      std::span<const std::string> file_names,
                                      const ImportOptions& options, std::size_t listed) {
    auto n = [](std::size_t count) { return std::to_string(count); };
    std::vector<LocalText> lines;
    lines.push_back(local((options.dry_run ? "将导入 " : "导入 ") + n(report.engines.size()) +
                          " 个引擎；跳过 " + n(report.duplicates) + " 个重复，" +
                          n(report.invalid) + " 个无效，" + n(report.no_placeholder) +
                          " 个没有关键词位置"));
    if (!report.engines.empty()) {
        std::string encodings =
            "网页编码：" + n(report.encoding_from_hint) + " 个取自地址中的编码参数";
        if (report.encoding_from_line > 0)
            encodings += "，" + n(report.encoding_from_line) + " 个取自列表中的编码";
        if (report.encoding_by_fallback > 0) {
            encodings += "，" + n(report.encoding_by_fallback) + " 个按默认的 " +
                         (options.fallback_encoding == engine_encoding_utf8 ? "UTF-8" : "GBK");
            if (!options.how_to_check_encodings.empty())
                encodings += "（可用" + options.how_to_check_encodings + "核对）";
        }
        lines.push_back(local(encodings));
    }
    const std::size_t shown = std::min(listed, report.skipped.size());
    for (std::size_t i = 0; i < shown; ++i) {
        const SkippedLine& skipped = report.skipped[i];
        auto file_name = [&](std::size_t file) {
            return file < file_names.size() ? file_names[file] : std::string();
        };
        LocalText reason = import_verdict_text(skipped.verdict);
        if (skipped.verdict == ImportVerdict::duplicate) {
            const LinePlace& first = skipped.repeats;
            const std::string where = first.file == LinePlace::in_list ? "留痕引擎列表"
                                      : first.file == skipped.file
                                          ? ""
                                          : " " + file_name(first.file) + " ";
            reason = local("与" + where + "第 " + n(first.line) + " 行重复");
        }
        lines.push_back(local(file_name(skipped.file) + " 第 " + n(skipped.line) + " 行：") +
                        reason);
    }
    if (report.skipped.size() > shown)
        lines.push_back(local("另有 " + n(report.skipped.size() - shown) + " 行未列出"));
    return lines;
}

}  // namespace trasslo
