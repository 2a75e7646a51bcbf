#include "text/lossless_text.h"

#include <algorithm>
#include <charconv>

#include "text/charset.h"
#include "text/code_page.h"

namespace trasslo {
namespace {

// Whether GBK holds the character of these one or two units exactly (not by best fit).
bool gbk_has(std::u16string_view character) {
    if (character.size() != 1) return false;  // beyond the BMP: GBK has none
    const std::string bytes = utf16_to_code_page(character, CodePage::gbk, std::nullopt);
    return !bytes.empty() && code_page_to_utf16(bytes, CodePage::gbk) == character;
}

// The units of code point `cp`.
std::u16string units_of(char32_t cp) {
    if (cp < 0x10000) return std::u16string(1, static_cast<char16_t>(cp));
    cp -= 0x10000;
    return {static_cast<char16_t>(0xD800 + (cp >> 10)),
            static_cast<char16_t>(0xDC00 + (cp & 0x3FF))};
}

// The reference "&#N;" at the start of `text` when it stands for a character GBK lacks: its
// units and the reference's length.
bool reference_at(std::string_view text, std::u16string& units, std::size_t& length) {
    if (text.size() < 4 || text[0] != '&' || text[1] != '#') return false;
    const std::size_t semicolon = text.find(';', 2);
    if (semicolon == std::string_view::npos || semicolon > 9) return false;
    unsigned long cp = 0;
    const char* first = text.data() + 2;
    const char* last = text.data() + semicolon;
    const auto [end, error] = std::from_chars(first, last, cp);
    if (error != std::errc() || end != last || cp == 0 || cp > 0x10FFFF) return false;
    units = units_of(static_cast<char32_t>(cp));
    if (gbk_has(units)) return false;
    length = semicolon + 1;
    return true;
}

}  // namespace

LocalText lossless_from_utf16(std::u16string_view units) {
    LocalText out;
    for (std::size_t i = 0; i < units.size();) {
        std::size_t n = 1;
        if (units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size() &&
            units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            n = 2;
        const std::u16string_view character = units.substr(i, n);
        if (gbk_has(character) || character[0] == 0) {
            out += utf16_to_code_page(character, CodePage::gbk, '?');
        } else {
            const char32_t cp =
                n == 2 ? 0x10000 + ((character[0] - 0xD800) << 10) + (character[1] - 0xDC00)
                       : character[0];
            out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
        }
        i += n;
    }
    return out;
}

LocalText lossless_from_utf8(std::string_view utf8) {
    return lossless_from_utf16(code_page_to_utf16(utf8, CodePage::utf8));
}

std::u16string lossless_to_utf16(std::string_view local_text) {
    std::u16string out;
    std::size_t plain = 0;  // start of the GBK run not converted yet
    for (std::size_t i = 0; i < local_text.size();) {
        std::u16string units;
        std::size_t length = 0;
        if (local_text[i] == '&' && reference_at(local_text.substr(i), units, length)) {
            out += code_page_to_utf16(local_text.substr(plain, i - plain), CodePage::gbk);
            out += units;
            i += length;
            plain = i;
            continue;
        }
        // A double-byte character is stepped over whole: its second byte may be '&'.
        i += is_gbk_lead_byte(static_cast<unsigned char>(local_text[i])) ? 2 : 1;
    }
    if (plain < local_text.size())
        out += code_page_to_utf16(local_text.substr(plain), CodePage::gbk);
    return out;
}

std::string lossless_to_utf8(std::string_view local_text) {
    return utf16_to_code_page(lossless_to_utf16(local_text), CodePage::utf8, '?');
}

bool has_characters_gbk_lacks(std::string_view local_text) {
    for (std::size_t i = 0; i < local_text.size();) {
        std::u16string units;
        std::size_t length = 0;
        if (local_text[i] == '&' && reference_at(local_text.substr(i), units, length)) return true;
        i += is_gbk_lead_byte(static_cast<unsigned char>(local_text[i])) ? 2 : 1;
    }
    return false;
}

LocalText decode_lossless(std::string_view bytes) {
    const DecodedText decoded = decode_to_local_text(bytes, 0);
    if (decoded.code == 2) {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        return lossless_from_utf8(bytes);
    }
    if (decoded.code == 3 || decoded.code == 4) {
        bytes.remove_prefix(std::min<std::size_t>(2, bytes.size()));  // the byte-order mark
        std::u16string units(bytes.size() / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i) {
            const auto a = static_cast<unsigned char>(bytes[2 * i]);
            const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
            units[i] = static_cast<char16_t>(decoded.code == 3 ? a | (b << 8) : (a << 8) | b);
        }
        return lossless_from_utf16(units);
    }
    return decoded.text;
}

std::string lossless_to_gbk_best_fit(std::string_view local_text) {
    if (!has_characters_gbk_lacks(local_text)) return std::string(local_text);
    return utf16_to_code_page(lossless_to_utf16(local_text), CodePage::gbk, '?');
}

}  // namespace trasslo
