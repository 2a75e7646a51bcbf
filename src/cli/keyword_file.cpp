#include "cli/keyword_file.h"

#include <algorithm>

namespace trasslo::cli {
namespace {

bool has_mark(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

// "\xFF\xFE" or "\xFE\xFF" for UTF-16 without a mark, "" otherwise. Zero bytes at one parity
// in at least a third of the units, and none at the other: a binary file has them at both.
std::string_view missing_utf16_mark(std::string_view bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || has_mark(bytes)) return {};
    std::size_t even = 0;
    std::size_t odd = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') ++(i % 2 == 0 ? even : odd);
    }
    const std::size_t units = bytes.size() / 2;
    if (even == 0 && odd * 3 >= units) return "\xFF\xFE";
    if (odd == 0 && even * 3 >= units) return "\xFE\xFF";
    return {};
}

bool is_blank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

std::optional<std::string> keyword_file_refusal(std::string_view bytes) {
    if (has_mark(bytes) || !missing_utf16_mark(bytes).empty()) return std::nullopt;
    if (bytes.find('\0') != std::string_view::npos) return "含有 NUL 字节";
    const auto control = std::count_if(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F;
    });
    if (static_cast<std::size_t>(control) * 2 > bytes.size()) return "大多是控制字符";
    return std::nullopt;
}

std::string with_utf16_mark(std::string_view bytes) {
    return std::string(missing_utf16_mark(bytes)) + std::string(bytes);
}

LocalText without_blank_lines(std::string_view text) {
    LocalText out;
    out.reserve(text.size());
    for (const LocalText& line : split_text(text, "\r\n")) {
        if (is_blank(line)) continue;
        out += line;
        out += "\r\n";
    }
    return out;
}

bool has_keyword(std::string_view text) {
    const std::vector<LocalText> lines = split_text(text, "\r\n");
    return !std::all_of(lines.begin(), lines.end(), is_blank);
}

}  // namespace trasslo::cli
