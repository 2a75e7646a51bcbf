#include "text/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

namespace trasslo {
namespace {

// iconv descriptors are costly to open and not shareable between threads, so each thread
// keeps its own, one per direction, reset before every use.
class IconvCache {
  public:
    ~IconvCache() {
        for (auto& [key, cd] : handles_) {
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
        }
    }
    iconv_t get(const std::string& to, const std::string& from) {
        auto key = std::make_pair(to, from);
        auto it = handles_.find(key);
        if (it == handles_.end()) {
            it = handles_.emplace(key, iconv_open(to.c_str(), from.c_str())).first;
        }
        iconv_t cd = it->second;
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }

  private:
    std::map<std::pair<std::string, std::string>, iconv_t> handles_;
};

iconv_t cached_iconv(const char* to, const char* from) {
    thread_local IconvCache cache;
    return cache.get(to, from);
}

const char* iconv_name(CodePage page) {
    switch (page) {
        case CodePage::gbk:
            return "CP936";
        case CodePage::utf8:
            return "UTF-8";
        case CodePage::big5:
            return "BIG5";
    }
    return "CP936";
}

// Runs one conversion step; returns false on EILSEQ/EINVAL with `in` at the offending byte.
bool run_iconv(iconv_t cd, const char*& in, size_t& in_left, std::string& out) {
    while (in_left > 0) {
        char buffer[4096];
        char* out_ptr = buffer;
        size_t out_left = sizeof buffer;
        char* in_ptr = const_cast<char*>(in);
        size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(buffer, out_ptr - buffer);
        in = in_ptr;
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            return false;
        }
    }
    return true;
}

void append_unit(std::u16string& out, const std::string& utf16le_bytes) {
    for (size_t i = 0; i + 1 < utf16le_bytes.size(); i += 2) {
        out.push_back(
            static_cast<char16_t>(static_cast<unsigned char>(utf16le_bytes[i]) |
                                  (static_cast<unsigned char>(utf16le_bytes[i + 1]) << 8)));
    }
}

// Every UTF-16 unit's code page 936 form, read from iconv once. Encoding through the table
// instead of iconv matters for text with many unmappable characters: glibc converts UTF-16 to
// CP936 in two steps and re-runs a whole chunk to locate each failure, which made a page of
// 2 MB of such characters take seconds.
class GbkEncoder {
  public:
    GbkEncoder() {
        iconv_t cd = iconv_open("CP936", "UTF-16LE");
        if (cd == reinterpret_cast<iconv_t>(-1)) return;
        for (unsigned u = 0; u < 0x10000; ++u) {
            if (u >= 0xD800 && u < 0xE000) continue;
            char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
            char out[8];
            char* in_ptr = in;
            char* out_ptr = out;
            size_t in_left = 2;
            size_t out_left = sizeof out;
            if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            const size_t n = sizeof out - out_left;
            if (n == 1) {
                codes_[u] = static_cast<uint16_t>(static_cast<unsigned char>(out[0]));
                sizes_[u] = 1;
            } else if (n == 2) {
                codes_[u] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                                  static_cast<unsigned char>(out[1]));
                sizes_[u] = 2;
            }
        }
        iconv_close(cd);
        ready_ = true;
    }
    bool ready() const { return ready_; }
    // Appends the form of `unit`; false when code page 936 has no such character.
    bool append(char16_t unit, std::string& out) const {
        switch (sizes_[unit]) {
            case 1:
                out.push_back(static_cast<char>(codes_[unit]));
                return true;
            case 2:
                out.push_back(static_cast<char>(codes_[unit] >> 8));
                out.push_back(static_cast<char>(codes_[unit] & 0xFF));
                return true;
            default:
                return false;
        }
    }

  private:
    bool ready_ = false;
    uint16_t codes_[0x10000] = {};
    uint8_t sizes_[0x10000] = {};
};

const GbkEncoder& gbk_encoder() {
    static const auto* encoder = new GbkEncoder;
    return *encoder;
}

// The table path of utf16_to_code_page for code page 936.
std::string units_to_gbk(const GbkEncoder& encoder, std::u16string_view units,
                         std::optional<char> default_char) {
    std::string result;
    result.reserve(units.size() * 2);
    for (size_t i = 0; i < units.size(); ++i) {
        if (encoder.append(units[i], result)) continue;
        if (!default_char) return result;
        result.push_back(*default_char);
        // A surrogate pair is one character: one default character for both units.
        if (units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size() &&
            units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            ++i;
        }
    }
    return result;
}

}  // namespace

std::u16string code_page_to_utf16(std::string_view bytes, CodePage page) {
    std::u16string result;
    iconv_t cd = cached_iconv("UTF-16LE", iconv_name(page));
    if (cd == reinterpret_cast<iconv_t>(-1)) return result;
    const char* in = bytes.data();
    size_t in_left = bytes.size();
    std::string converted;
    while (!run_iconv(cd, in, in_left, converted)) {
        append_unit(result, converted);
        converted.clear();
        // An invalid or truncated sequence: one replacement character per offending byte.
        result.push_back(page == CodePage::utf8 ? u'\uFFFD' : u'?');
        ++in;
        --in_left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    append_unit(result, converted);
    return result;
}

std::string utf16_to_code_page(std::u16string_view units, CodePage page,
                               std::optional<char> default_char) {
    if (page == CodePage::gbk && gbk_encoder().ready()) {
        return units_to_gbk(gbk_encoder(), units, default_char);
    }
    std::string result;
    iconv_t cd = cached_iconv(iconv_name(page), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return result;
    std::string le;
    le.reserve(units.size() * 2);
    for (char16_t u : units) {
        le.push_back(static_cast<char>(u & 0xFF));
        le.push_back(static_cast<char>(u >> 8));
    }
    const char* in = le.data();
    size_t in_left = le.size();
    while (!run_iconv(cd, in, in_left, result)) {
        if (!default_char) return result;
        result.push_back(*default_char);
        // Skip the whole character that failed: a surrogate pair is one character.
        size_t skip = 2;
        if (in_left >= 4) {
            unsigned hi =
                static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
            unsigned lo =
                static_cast<unsigned char>(in[2]) | (static_cast<unsigned char>(in[3]) << 8);
            if (hi >= 0xD800 && hi < 0xDC00 && lo >= 0xDC00 && lo < 0xE000) skip = 4;
        }
        if (skip > in_left) skip = in_left;
        in += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return result;
}

std::string iconv_convert(std::string_view bytes, const char* from_name, const char* to_name) {
    if (std::strcmp(to_name, "GB18030") == 0) {
        // GB18030 holds every character, so only invalid input fails; its output for GBK
        // characters is GBK. Local text is code page 936, so the rest becomes '?' here rather
        // than four-byte GB18030 sequences, and the euro sign becomes 0x80.
        std::string units = iconv_convert(bytes, from_name, "UTF-16LE");
        if (units.empty()) return {};
        std::u16string u16;
        append_unit(u16, units);
        return utf16_to_code_page(u16, CodePage::gbk, '?');
    }
    iconv_t cd = cached_iconv(to_name, from_name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    const char* in = bytes.data();
    size_t in_left = bytes.size();
    std::string out;
    if (!run_iconv(cd, in, in_left, out)) return {};
    return out;
}

}  // namespace trasslo
