// Importing other tools' engine lists: what each kind of line becomes, the encoding hints, and a
// whole import with CSV files, duplicates and the summary the front ends show.
#include "engines/engine_import.h"

#include <gtest/gtest.h>

#include "engines/engine_list_file.h"
#include "engines/template_normal_form.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

constexpr auto engine = ImportVerdict::engine;
constexpr auto ignored = ImportVerdict::ignored;
constexpr auto from_line = EncodingSource::line;
constexpr auto from_hint = EncodingSource::hint;
constexpr auto fallback = EncodingSource::fallback;

TEST(ImportLine, EachKindOfLineGivesAnEngineOrTheReasonItIsSkipped) {
    struct Case {
        std::string line;  // UTF-8, made local text
        ImportVerdict verdict;
        std::string name = "";
        std::string address = "";
        int encoding = 1;
        EncodingSource source = fallback;
    };
    const std::string long_tail(2000, 'x');
    const Case cases[] = {
        // An address alone: named after its host without "www.", the placeholder made "{*}".
        {"http://www.Sina.com.cn/s?q=%s", engine, "sina.com.cn", "http://www.Sina.com.cn/s?q={*}"},
        {"  https://a.cn:8443/s?q={*}  ", engine, "a.cn", "https://a.cn:8443/s?q={*}"},
        // A name and an address, by tab, "|" or ","; the last separator before the "://" counts,
        // so names keep theirs and addresses theirs behind it.
        {"新浪\thttp://a.cn/s?q={KeyWord}", engine, "新浪", "http://a.cn/s?q={*}"},
        {"新浪 | http://a.cn/s?kw=[kw]&ie=GB2312", engine, "新浪", "http://a.cn/s?kw={*}&ie=GB2312",
         0, from_hint},
        {"甲,乙,http://a.cn/s?q=$KEYWORD&x=1,2", engine, "甲,乙", "http://a.cn/s?q={*}&x=1,2"},
        {"甲|乙,http://a.cn/s?q={word}|x", engine, "甲｜乙", "http://a.cn/s?q={*}%7Cx"},
        // Our own list line: its code is the line's encoding, ahead of any hint; always ticked.
        {"假|0|名称|http://a.cn/s?oe=utf-8&q=***", engine, "名称", "http://a.cn/s?oe=utf-8&q={*}",
         0, from_line},
        {"真|1||http://www.a.cn/?q={q}", engine, "a.cn", "http://www.a.cn/?q={*}", 1, from_line},
        // Every built-in form, letters folded, and the one given as an option.
        {"http://a.cn/?a={QUERY}&b={search}&c=[Query]&d=[search]&e=[keyword]&f={kw}", engine,
         "a.cn", "http://a.cn/?a={*}&b={*}&c={*}&d={*}&e={*}&f={*}"},
        {"http://a.cn/?u={URL}&v=[url]&w=[encode_url]&x=%Url%&y=<KW>", engine, "a.cn",
         "http://a.cn/?u={*}&v={*}&w={*}&x={*}&y={*}"},
        {"http://a.cn/?charset=GBK&q={*}", engine, "a.cn", "http://a.cn/?charset=GBK&q={*}", 0,
         from_hint},
        // Placeholders and separators are found between characters only: the second bytes of
        // 乕, 亄 and 亅 are '[', '{' and '|'.
        {"http://a.cn/?n=乕kw]&q=亄*}", ImportVerdict::no_placeholder},
        {"真|1|亅|http://a.cn/?q={*}", engine, "亅", "http://a.cn/?q={*}", 1, from_line},
        {"亅http://a.cn/?q={*}", ImportVerdict::not_http},
        // An address without its scheme takes http; only a host with a dot (and a port) counts.
        {"www.a.cn/s?q={*}", engine, "a.cn", "http://www.a.cn/s?q={*}"},
        {"名|a.cn:8080?q={*}", engine, "名", "http://a.cn:8080?q={*}"},
        {"localhost/s?q={*}", ImportVerdict::not_http},
        {"a.cn:x/s?q={*}", ImportVerdict::not_http},
        // Skipped without a word.
        {"", ignored},
        {"   ", ignored},
        {"# http://a.cn/?q={*}", ignored},
        {"  #comment", ignored},
        // Invalid.
        {"ftp://a.cn/?q={*}", ImportVerdict::not_http},
        {"名,javascript:go({*})", ImportVerdict::not_http},
        {"http:///s?q={*}", ImportVerdict::no_host},
        {"https://:443?q={*}", ImportVerdict::no_host},
        {"http://a.cn/?q={*}&x=" + long_tail, ImportVerdict::too_long},
        {"http://a.cn/?q={*}\x01x", ImportVerdict::control_character},
        {"a\x7f"
         "b,http://a.cn/?q={*}",
         ImportVerdict::control_character},
        {"http://a.cn/s?q=test", ImportVerdict::no_placeholder},
    };
    ImportOptions options;
    options.placeholders = {"<kw>", ""};
    const ImportLineReader reader(options);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ImportedLine read = reader.read(local(c.line));
        EXPECT_EQ(read.verdict, c.verdict);
        if (c.verdict != engine) continue;
        EXPECT_EQ(to_utf8(read.engine.name), c.name);
        EXPECT_EQ(to_utf8(read.engine.address), c.address);
        EXPECT_EQ(read.engine.encoding, c.encoding);
        EXPECT_EQ(read.encoding_source, c.source);
        EXPECT_TRUE(read.engine.enabled);
    }
}

TEST(ImportLine, RowsUnderAHeaderInEnglishOrChineseAndLinesOfAnotherForm) {
    struct Case {
        std::string header;  // UTF-8
        std::string row;
        std::string name;  // empty: the row makes no engine
        std::string address = "";
        int encoding = 1;
    };
    const Case cases[] = {
        {"名称,网址,编码", "百度,http://b.cn/s?wd={*},gb2312", "百度", "http://b.cn/s?wd={*}", 0},
        {"网站\t链接\t字符集", "甲\thttp://b.cn/?q={*}\tUTF-8", "甲", "http://b.cn/?q={*}"},
        {"名字,地址", "乙,b.cn/?q={*}", "乙", "http://b.cn/?q={*}"},
        {"URL,Name,Encoding", "http://b.cn/?q={*},丙,gbk", "丙", "http://b.cn/?q={*}", 0},
        // Lines of another form under the header are read in their own form.
        {"名称,网址", "丁|http://b.cn/?q={*}", "丁", "http://b.cn/?q={*}"},
        {"名称,网址", "戊\thttp://b.cn/?q={*}", "戊", "http://b.cn/?q={*}"},
        {"名称,网址", "http://b.cn/?q={*}", "b.cn", "http://b.cn/?q={*}"},
        {"名称,网址", "真|0|己|http://b.cn/?q={*}", "己", "http://b.cn/?q={*}", 0},
        // A quoted cell over lines: a space in the name, nothing in the address.
        {"名称,网址", "\"多\r\n行\",\"http://b.cn/s?\r\nq={*}\"", "多 行", "http://b.cn/s?q={*}"},
        {"名称,网址", "庚,http://b.cn/", ""},
    };
    const ImportLineReader reader{ImportOptions{}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header + " / " + c.row);
        const std::optional<CsvColumns> columns = csv_columns(local(c.header));
        ASSERT_TRUE(columns);
        const ImportedLine read = reader.read(local(c.row), &*columns);
        EXPECT_EQ(read.verdict == engine, !c.name.empty());
        if (c.name.empty()) continue;
        EXPECT_EQ(to_utf8(read.engine.name), c.name);
        EXPECT_EQ(to_utf8(read.engine.address), c.address);
        EXPECT_EQ(read.engine.encoding, c.encoding);
    }
    EXPECT_FALSE(csv_columns(local("名称,编码")));
    EXPECT_FALSE(csv_columns(local("网址,http://b.cn/?q={*}")));
}

TEST(ImportLine, EncodingHintsNameGbkOrUtf8InTheQuery) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"http://a.cn/s?IE=gb18030&q={*}", 0},
        {"http://a.cn/s?q={*}&inputEncoding=UTF8", 1},
        {"http://a.cn/s?_charset_=utf-8&enc=gbk", 1},  // the first one wins
        {"http://a.cn/s?cs=big5&encoding=Gb2312", 0},  // an unknown value is passed over
        {"http://a.cn/s?lang=gbk&q={*}", std::nullopt},
        {"http://a.cn/ie=gbk/s?q={*}", std::nullopt},  // only the query counts
        {"http://a.cn/s?q={*}#ie=gbk", std::nullopt},
    };
    for (const auto& [address, expected] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(encoding_hint(address), expected);
    }
}

TEST(ImportEngines, FilesAgainstTheListWithCsvDuplicatesAndTheSummary) {
    const std::vector<TraceEngine> existing = {
        {false, 0, "old", "http://www.sina.com.cn/s?q={*}&c=1"},
    };
    const std::vector<LocalText> files = {
        // Plain lines with CR LF and LF ends; a duplicate of the list, one inside the input.
        local("http://a.cn/s?q={*}\r\n"
              "https://sina.com.cn/s?c=1&q=%s\r\n"
              "\n"
              "乙\thttps://WWW.a.cn:443/s?q=[kw]#top\n"
              "ftp://b.cn/?q={*}\n"
              "http://c.cn/s?q=x"),
        // CSV: the header names the columns in any order; quoted cells keep their commas and
        // may span lines; a line of another form is read in its own.
        local("# exported\r\n"
              "Encoding,URL,name\r\n"
              "gbk,http://d.cn/s?q={kw},\"丙, 丁\"\r\n"
              ",\"http://e.cn/s?q={*}&x=1,2\",\r\n"
              ",http://f.cn/s?q={*},\"戊\r\n"
              "己\"\r\n"
              "庚|http://g.cn/s?q={*}\r\n"
              "utf-8,http:///?q={*},x\r\n"
              "http://a.cn/s?q={*}\r\n"),
    };
    const ImportReport report = import_engines(existing, files, ImportOptions{});
    ASSERT_EQ(report.engines.size(), 5u);
    EXPECT_EQ(report.engines[0], (TraceEngine{true, 1, "a.cn", "http://a.cn/s?q={*}"}));
    EXPECT_EQ(report.engines[1], (TraceEngine{true, 0, local("丙, 丁"), "http://d.cn/s?q={*}"}));
    EXPECT_EQ(report.engines[2], (TraceEngine{true, 1, "e.cn", "http://e.cn/s?q={*}&x=1,2"}));
    EXPECT_EQ(report.engines[3], (TraceEngine{true, 1, local("戊 己"), "http://f.cn/s?q={*}"}));
    EXPECT_EQ(report.engines[4], (TraceEngine{true, 1, local("庚"), "http://g.cn/s?q={*}"}));
    EXPECT_EQ(report.duplicates, 3u);
    EXPECT_EQ(report.invalid, 2u);
    EXPECT_EQ(report.no_placeholder, 1u);
    EXPECT_EQ(report.encoding_from_line, 1u);
    EXPECT_EQ(report.encoding_by_fallback, 4u);

    // Every skipped line by its number (a row over two lines counts both), a duplicate with the
    // line it repeats: of the same file, of another one, or of the list.
    const std::vector<std::string> names = {"list.txt", "列表.csv"};
    auto summary = [&](const ImportOptions& options, std::size_t listed) {
        std::vector<std::string> lines;
        for (const LocalText& line : import_summary(report, names, options, listed))
            lines.push_back(to_utf8(line));
        return lines;
    };
    EXPECT_EQ(summary(ImportOptions{}, 20),
              (std::vector<std::string>{
                  "导入 5 个引擎；跳过 3 个重复，2 个无效，1 个没有关键词位置",
                  "网页编码：0 个取自地址中的编码参数，1 个取自列表中的编码，4 个按默认的 UTF-8",
                  "list.txt 第 2 行：与留痕引擎列表第 1 行重复",
                  "list.txt 第 4 行：与第 1 行重复",
                  "list.txt 第 5 行：不是 http 或 https 地址",
                  "list.txt 第 6 行：没有关键词位置",
                  "列表.csv 第 8 行：地址中没有主机名",
                  "列表.csv 第 9 行：与 list.txt 第 1 行重复",
              }));
    ImportOptions dry_run;
    dry_run.dry_run = true;
    dry_run.how_to_check_encodings = "“检测”";
    EXPECT_EQ(summary(dry_run, 2),
              (std::vector<std::string>{
                  "将导入 5 个引擎；跳过 3 个重复，2 个无效，1 个没有关键词位置",
                  "网页编码：0 个取自地址中的编码参数，1 个取自列表中的编码，4 个按默认的 "
                  "UTF-8（可用“检测”核对）",
                  "list.txt 第 2 行：与留痕引擎列表第 1 行重复",
                  "list.txt 第 4 行：与第 1 行重复",
                  "另有 4 行未列出",
              }));

    // A zero byte is a control character of its line, not the end of the file.
    const std::vector<LocalText> zero = {
        import_file_text(std::string("a\0b\n", 4) + "http://z.cn/?q={*}\n")};
    const ImportReport after_zero = import_engines({}, zero, ImportOptions{});
    ASSERT_EQ(after_zero.engines.size(), 1u);
    EXPECT_EQ(after_zero.engines[0].address, "http://z.cn/?q={*}");
    ASSERT_EQ(after_zero.skipped.size(), 1u);
    EXPECT_EQ(after_zero.skipped[0].verdict, ImportVerdict::control_character);

    // Imported once more, everything is a duplicate.
    std::vector<TraceEngine> all = existing;
    all.insert(all.end(), report.engines.begin(), report.engines.end());
    const ImportReport again = import_engines(all, files, ImportOptions{});
    EXPECT_TRUE(again.engines.empty());
    EXPECT_EQ(again.duplicates, 8u);

    // A quote that is never closed quotes nothing: the lines behind it are read.
    const std::vector<LocalText> open_quote = {
        local("name,url\n\"甲,http://h.cn/?q={*}\nhttp://i.cn/?q={*}\n")};
    EXPECT_EQ(import_engines({}, open_quote, ImportOptions{}).engines.size(), 2u);
}

TEST(ImportEngines, WhatIsImportedIsSavedAndReadBackWhole) {
    const std::vector<TraceEngine> existing = parse_engine_list_text(default_engine_list_text());
    const struct {
        const char* name;
        std::string file;                                          // the bytes of the imported file
        std::vector<std::pair<std::string, std::string>> engines;  // name and address, bytes
    } rows[] = {
        {"a first half before the separator's space",
         "a\x81 |http://a.cn/?q={*}",
         {{"a\x81 ", "http://a.cn/?q={*}"}}},
        {"a first half alone in a quoted cell",
         "url,name\r\nhttp://a.cn/?q={*},\"\x81\"\r\n",
         {{"a.cn", "http://a.cn/?q={*}"}}},
        {"a first half at the end of an address",
         "http://a.cn/?q={*}\x81\r\nhttp://b.cn/?q={*}\r\n",
         {{"a.cn", "http://a.cn/?q={*}"}, {"b.cn", "http://b.cn/?q={*}"}}},
        {"a first half and a space at the end of an address",
         "http://a.cn/?q={*}\x81 \r\nhttp://b.cn/?q={*}\r\n",
         {{"a.cn", "http://a.cn/?q={*}\x81 "}, {"b.cn", "http://b.cn/?q={*}"}}},
        {"a charset tag in an address and in a name",
         "http://a.cn/?q={*}&x=<meta charset=utf-8>\r\n<META charset=utf-8>,http://c.cn/?q={*}",
         {{"a.cn", "http://a.cn/?q={*}&x=%3Cmeta charset=utf-8>"},
          {"\xA3\xBCMETA charset=utf-8>", "http://c.cn/?q={*}"}}},
        {"an escape that completes a placeholder",
         "http://a.cn/?q={*}&x=%url|\r\nhttp://a.cn/?q={*}&x={*}7C\r\n",
         {{"a.cn", "http://a.cn/?q={*}&x=%url%7C"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<LocalText> texts = {import_file_text(row.file)};
        const ImportReport report = import_engines(existing, texts, ImportOptions{});
        std::vector<std::pair<std::string, std::string>> imported;
        for (const TraceEngine& e : report.engines) imported.emplace_back(e.name, e.address);
        EXPECT_EQ(imported, row.engines);

        std::vector<TraceEngine> all = existing;
        all.insert(all.end(), report.engines.begin(), report.engines.end());
        const support::TempDir folder;
        ASSERT_TRUE(write_engine_list_file(folder.path(), all));
        const std::vector<TraceEngine> back = read_engine_list_file(folder.path());
        EXPECT_EQ(back, all);
        // What the import let in, dedupe leaves alone.
        EXPECT_TRUE(duplicate_engine_groups(back).empty());
    }
}

}  // namespace
}  // namespace trasslo
