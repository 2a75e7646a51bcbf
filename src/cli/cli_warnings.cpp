#include "cli/cli_warnings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engines/engine_list_file.h"
#include "net/visit_outcome.h"
#include "run/trace_run.h"
#include "text/lossless_text.h"
#include "text/url_encode.h"

namespace trasslo::cli {

std::vector<std::string> keyword_warnings(std::string_view keyword_list_text,
                                          const std::vector<TraceEngine>& engines) {
    std::vector<std::string> warnings;
    const std::vector<LocalText> keywords = split_text(keyword_list_text, "\r\n");
    const bool gbk_engine = std::any_of(engines.begin(), engines.end(), [](const TraceEngine& e) {
        return e.enabled && e.encoding != engine_encoding_utf8;
    });
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        const LocalText& keyword = keywords[i];
        const std::string line = std::to_string(i + 1);
        const bool too_long =
            std::any_of(engines.begin(), engines.end(), [&](const TraceEngine& e) {
                return e.enabled &&
                       fill_template(e.address, keyword, e.encoding == 1).size() > kMaxAddressBytes;
            });
        if (too_long) {
            std::size_t cut = 0;  // about 60 bytes, at a character boundary
            while (cut < keyword.size() && cut < 60)
                cut += is_gbk_lead_byte(static_cast<unsigned char>(keyword[cut])) ? 2 : 1;
            const std::string start = lossless_to_utf8(keyword.substr(0, cut));
            warnings.push_back("trasslo-cli：警告：第 " + line + " 行的关键词“" + start +
                               "…”太长，网址超过 " + std::to_string(kMaxAddressBytes) +
                               " 字节，不会访问");
            continue;
        }
        if (gbk_engine && has_characters_gbk_lacks(keyword))
            warnings.push_back("trasslo-cli：警告：关键词“" + lossless_to_utf8(keyword) +
                               "”中有 GBK 没有的字符，GBK 编码的引擎收到的是“" +
                               to_utf8(lossless_to_gbk_best_fit(keyword)) + "”");
    }
    return warnings;
}

namespace {

std::string warning(const std::string& text) {
    return "trasslo-cli：警告：" + text;
}

// Milliseconds as seconds without trailing zeros: 1500 gives "1.5", 2000 gives "2".
std::string seconds_text(long ms) {
    std::string text = std::to_string(ms / 1000);
    if (const long rest = ms % 1000; rest != 0) {
        std::string fraction = std::to_string(1000 + rest).substr(1);
        while (fraction.back() == '0') fraction.pop_back();
        text += "." + fraction;
    }
    return text;
}

}  // namespace

std::optional<std::string> rounds_warning(std::string_view text) {
    const int rounds = read_loop_count(text);
    if (std::to_string(rounds) == text) return std::nullopt;
    return warning("--rounds 的值“" + std::string(text) + "”不是正整数，按 " +
                   std::to_string(rounds) + " 轮留痕");
}

std::optional<std::string> interval_warning(std::string_view text) {
    double seconds = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seconds);
    // from_chars takes no "+" and no white space, as a plain number has none; it does take a
    // minus sign, "inf" and "nan", which are no pause here.
    const bool plain = !text.empty() && text[0] != '-' && error == std::errc() && stop == end &&
                       std::isfinite(seconds);
    if (plain) return std::nullopt;
    return warning("--interval 的值“" + std::string(text) + "”不是非负的秒数，按间隔 " +
                   seconds_text(read_interval_ms(text)) + " 秒留痕");
}

std::vector<std::string> engine_line_warnings(const std::string& file, std::string_view text) {
    std::vector<std::string> warnings;
    for (const std::size_t line : malformed_engine_lines(text)) {
        warnings.push_back(
            warning("留痕引擎列表 " + file + " 第 " + std::to_string(line) +
                    " 行不是“真|编码|名称|地址”或“假|编码|名称|地址”的格式，仍照常读入"));
    }
    return warnings;
}

}  // namespace trasslo::cli
