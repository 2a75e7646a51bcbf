#include "engines/engine_list_file.h"

#include <climits>
#include <string>

#include "base/event_pump.h"
#include "files/atomic_file.h"
#include "text/c_number.h"
#include "text/charset.h"

namespace trasslo {
namespace {

// The encoding code the way atoi reads it, clamped to the code's range rather than undefined.
std::int32_t read_code(std::string_view field) {
    const long long value = read_c_integer(field);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<std::int32_t>(value);
}

// Calls `piece` with each element of `text` cut at `separator` by the splitting rule (every
// separator ends an element, an empty rest is dropped), stepping over double-byte characters
// whole as split_text does. Views into `text`, no copies: a 500,000-line file passes through
// here twice, once for the lines and once for their fields.
template <typename Piece>
void for_each_piece(std::string_view text, std::string_view separator, Piece&& piece) {
    size_t begin = 0;
    size_t at = 0;
    const size_t size = text.size();
    while (at < size) {
        const char c = text[at];
        if (c == separator[0] && text.compare(at, separator.size(), separator) == 0) {
            if (!piece(text.substr(begin, at - begin))) return;
            at += separator.size();
            begin = at;
        } else {
            at += (is_gbk_lead_byte(static_cast<unsigned char>(c)) && at + 1 < size) ? 2 : 1;
        }
    }
    if (begin < size) piece(text.substr(begin));
}

// The text without the first half of a double-byte character that a cut-off file ends with.
// Kept, that byte would end the last engine's address, and on the next save it would take the
// line's CR as its second half: the line would run on into the next one, and an engine added
// behind it would be lost on the next load.
std::string_view without_cut_character(std::string_view text) {
    return ends_with_cut_character(text) ? text.substr(0, text.size() - 1) : text;
}

TraceEngine parse_line(std::string_view line) {
    std::string_view fields[4];
    int count = 0;
    for_each_piece(line, "|", [&](std::string_view field) {
        fields[count++] = field;
        return count < 4;  // fields beyond the fourth are ignored
    });
    TraceEngine engine;
    engine.enabled = fields[0] == true_word();
    engine.encoding = read_code(fields[1]);
    engine.name = LocalText(fields[2]);
    engine.address = LocalText(fields[3]);
    return engine;
}

// Whether `line` is written the way format_engine_list_text writes an engine: the flag, a code
// that reads back as itself, and exactly four fields (a "|" inside a name or address would make
// more, and the reader would drop or shift them).
bool is_well_formed_line(std::string_view line) {
    std::string_view fields[4];
    int separators = 0;
    size_t begin = 0;
    for (size_t at = 0; at < line.size();) {
        const bool lead = is_gbk_lead_byte(static_cast<unsigned char>(line[at]));
        if (line[at] == '|') {
            if (++separators > 3) return false;
            fields[separators - 1] = line.substr(begin, at - begin);
            begin = at + 1;
        }
        at += (lead && at + 1 < line.size()) ? 2 : 1;
    }
    if (separators != 3) return false;
    return (fields[0] == true_word() || fields[0] == false_word()) &&
           fields[1] == std::to_string(read_code(fields[1]));
}
}  // namespace

std::filesystem::path engine_list_file_path(const std::filesystem::path& program_folder) {
    return program_folder / std::filesystem::path(to_utf8(local("留痕引擎列表.txt")));
}

LocalText default_engine_list_text() {
    static const LocalText text = local(
        "真|0|阿里巴巴产品搜索|http://s.1688.com/selloffer/offer_search.htm?keywords={*}\r\n"
        "真|0|霏凡软件站|http://www.crsky.com/search.aspx?keyword={*}&sType=all\r\n"
        "真|1|搜索|http://www.sofeng.com/sofeng/search.action?q={*}&c=1\r\n"
        "真|0|新浪搜索|http://search.sina.com.cn/?q={*}&c=news&from=channel\r\n"
        "真|1|华军软件园|http://www.onlinedown.net/search_list.php?searchsid=1&searchname={*}"
        "&button=\r\n"
        "真|1|天空下载站|http://search.skycn.com/s.php?q={*}&st=0\r\n"
        "真|1|风行网 |http://www.fun.tv/search/media/?word={*}&rec=&sall=&kt=\r\n"
        "真|1|YY直播|http://www.yy.com/index/s?wd={*}");
    return text;
}

std::vector<TraceEngine> parse_engine_list_text(std::string_view text) {
    std::vector<TraceEngine> engines;
    for_each_piece(text, "\r\n", [&](std::string_view line) {
        engines.push_back(parse_line(line));
        return true;
    });
    return engines;
}

std::vector<std::size_t> malformed_engine_lines(std::string_view text) {
    std::vector<std::size_t> lines;
    std::size_t number = 0;
    for_each_piece(text, "\r\n", [&](std::string_view line) {
        ++number;
        if (!is_well_formed_line(line)) lines.push_back(number);
        return true;
    });
    return lines;
}

LocalText format_engine_list_text(const std::vector<TraceEngine>& engines) {
    size_t size = 0;
    for (const TraceEngine& e : engines) size += e.name.size() + e.address.size() + 20;
    LocalText text;
    text.reserve(size);
    for (const TraceEngine& e : engines) {
        text += e.enabled ? true_word() : false_word();
        text += '|';
        text += std::to_string(e.encoding);
        text += '|';
        text += e.name;
        text += '|';
        text += e.address;
        text += "\r\n";
    }
    return text;
}

LocalText read_engine_list_file_text(const std::filesystem::path& program_folder) {
    DecodedText decoded = decode_file_to_local_text(engine_list_file_path(program_folder), 0);
    decoded.text.resize(without_cut_character(decoded.text).size());
    return std::move(decoded.text);
}

std::vector<TraceEngine> read_engine_list_file(const std::filesystem::path& program_folder) {
    std::vector<TraceEngine> engines =
        parse_engine_list_text(read_engine_list_file_text(program_folder));
    if (engines.empty()) engines = parse_engine_list_text(default_engine_list_text());
    return engines;
}

bool write_engine_list_file(const std::filesystem::path& program_folder,
                            const std::vector<TraceEngine>& engines) {
    return write_engine_list_file_at(engine_list_file_path(program_folder), engines);
}

bool write_engine_list_file_at(const std::filesystem::path& file,
                               const std::vector<TraceEngine>& engines) {
    // The text is made here, from the list as it stands; the write and its disk sync run beside
    // the window's events, which a list of a hundred thousand engines would otherwise hold up.
    const LocalText text = format_engine_list_text(engines);
    bool written = false;
    run_beside([&] { written = replace_file_atomically(file, text); });
    return written;
}

}  // namespace trasslo
