#include "text/charset.h"

#include <optional>

#include "files/whole_file.h"
#include "text/code_page.h"
#include "text/markers.h"

namespace trasslo {
namespace {

// The converter's name for each charset code 2..6.
const char* converter_name(int code) {
    switch (code) {
        case 2:
            return "UTF-8";
        case 3:
            return "UTF-16LE";
        case 4:
            return "UTF-16BE";
        case 5:
            return "BIG5";
        case 6:
            return "BIG5-HKSCS";
        default:
            return "UTF-8";
    }
}

bool starts_with_bytes(std::string_view bytes, std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
}

LocalText as_local_text(std::string_view bytes) {
    return LocalText(until_zero(bytes));
}

}  // namespace

MetaCharset detect_meta_charset(std::string_view html) {
    static const char* const lists[] = {
        "charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'",
        "charset=Big5[fg]charset=''Big5''[fg]charset='Big5'",
        "charset=Big5-HKSCS[fg]charset=''Big5-HKSCS''[fg]charset='Big5-HKSCS'",
    };
    LocalText head = slice_between_markers(html, "<head>", "</head>");
    std::string_view area = head.empty() ? html : std::string_view(head);
    long position = 0;
    for (;;) {
        long before = position;
        LocalText tag = slice_between_markers_lenient(area, "<meta", ">", position);
        if (tag.empty() && position == before) break;  // no further meta tag
        if (tag.empty()) continue;
        for (int i = 0; i < 3; ++i) {
            if (contains_pattern(tag, lists[i], true)) return MetaCharset{true, i + 1};
        }
    }
    return MetaCharset{};
}

LocalText utf16_to_local(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == 0) break;  // the text ends at its first zero
        units.push_back(unit);
    }
    return as_local_text(utf16_to_code_page(units, CodePage::gbk, '?'));
}

LocalText utf8_to_local(std::string_view bytes) {
    std::u16string units = code_page_to_utf16(bytes, CodePage::utf8);
    size_t zero = units.find(u'\0');
    if (zero != std::u16string::npos) units.resize(zero);
    return as_local_text(utf16_to_code_page(units, CodePage::gbk, '?'));
}

LocalText big5_to_local(std::string_view text) {
    std::u16string units = code_page_to_utf16(until_zero(text), CodePage::big5);
    return as_local_text(utf16_to_code_page(units, CodePage::gbk, std::nullopt));
}

DecodedText decode_to_local_text(std::string_view bytes, int requested_code) {
    size_t position = 0;
    int code = requested_code;
    if (code < 0 || code > 6) code = 1;
    if (code == 3 || code == 4) {
        position = bytes.size() < 2 ? bytes.size() : 2;
    } else if (code == 2) {
        if (starts_with_bytes(bytes, "\xEF\xBB\xBF")) position = 3;
    } else if (code == 0) {
        if (starts_with_bytes(bytes, "\xEF\xBB\xBF")) {
            code = 2;
            position = 3;
        } else if (starts_with_bytes(bytes, "\xFF\xFE")) {
            code = 3;
            position = 2;
        } else if (starts_with_bytes(bytes, "\xFE\xFF")) {
            code = 4;
            position = 2;
        } else {
            MetaCharset meta = detect_meta_charset(until_zero(bytes));
            static const int code_of_meta[] = {1, 2, 5, 6};
            code = meta.found ? code_of_meta[meta.meta_code] : 1;
        }
    }
    std::string_view rest = bytes.substr(position);

    LocalText text;
    if (code >= 2 && code <= 6) {
        text = as_local_text(iconv_convert(rest, converter_name(code), "GB18030"));
        if (text.empty()) {
            if (code == 2) {
                text = utf8_to_local(rest);
            } else if (code == 3) {
                text = utf16_to_local(rest);
            } else if (code == 4) {
                // Big-endian units are swapped into the little-endian order the fallback reads;
                // taking them as they stand would turn every character into another one.
                std::string swapped(rest.substr(0, rest.size() & ~size_t{1}));
                for (size_t i = 0; i + 1 < swapped.size(); i += 2)
                    std::swap(swapped[i], swapped[i + 1]);
                text = utf16_to_local(swapped);
            } else {
                text = big5_to_local(rest);
            }
        }
    } else {
        std::string converted = iconv_convert(rest, "UTF-8", "GB18030");
        if (!converted.empty()) {
            if (converted.size() < rest.size()) code = 2;
            text = as_local_text(converted);
        }
    }
    if (text.empty()) {
        text = as_local_text(bytes);
        code = 1;
    }
    return DecodedText{std::move(text), code};
}

DecodedText decode_file_to_local_text(const std::filesystem::path& file, int requested_code) {
    std::string bytes;
    if (!read_whole_file(file, bytes)) return DecodedText{{}, 0};
    return decode_to_local_text(bytes, requested_code);
}

LocalText decode_bytes_to_local_text(std::string_view bytes, int requested_code) {
    return decode_to_local_text(bytes, requested_code).text;
}

LocalText decode_bytes_to_local_text(const ByteBuffer& bytes, int requested_code) {
    return decode_to_local_text(bytes_view(bytes), requested_code).text;
}

}  // namespace trasslo
