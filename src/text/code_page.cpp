#include "text/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

#include "text/code_page_tables.h"

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

// The most input handed to one iconv call. The sanitizers' iconv interceptor checks the whole
// input of every call, so with one call per bad byte an unbounded input made decoding
// quadratic under the sanitizer build.
constexpr size_t kIconvSlice = 1 << 12;

// One iconv call on at most kIconvSlice bytes of the input; returns 0, E2BIG (output full) or
// the error. A sequence cut by the end of the slice, not of the input, is no error: the next
// call starts with it.
int iconv_step(iconv_t cd, char*& in, size_t& in_left, char*& out, size_t& out_left) {
    const size_t slice = in_left < kIconvSlice ? in_left : kIconvSlice;
    size_t slice_left = slice;
    const size_t rc = iconv(cd, &in, &slice_left, &out, &out_left);
    const int error = rc == static_cast<size_t>(-1) ? errno : 0;
    const size_t used = slice - slice_left;
    const bool more_behind = slice < in_left;
    in_left -= used;
    if (error == EINVAL && more_behind && used > 0) return 0;
    return error;
}

// Runs the conversion to the end; returns false on EILSEQ/EINVAL with `in` at the offending
// byte.
bool run_iconv(iconv_t cd, const char*& in, size_t& in_left, std::string& out) {
    while (in_left > 0) {
        char buffer[4096];
        char* out_ptr = buffer;
        size_t out_left = sizeof buffer;
        char* in_ptr = const_cast<char*>(in);
        const int error = iconv_step(cd, in_ptr, in_left, out_ptr, out_left);
        out.append(buffer, out_ptr - buffer);
        in = in_ptr;
        if (error != 0 && error != E2BIG) return false;
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

// Code pages 936 and 950 through tables the build made from Microsoft's best-fit files
// (text/code_page_tables.h), so that user-defined codes and best fit come out as on Windows.
// Encoding through a table instead of iconv also matters for text with many unmappable
// characters: glibc converts UTF-16 to CP936 in two steps and re-runs a whole chunk to locate
// each failure, which made a page of 2 MB of such characters take seconds.
using code_page_tables::Cp936;
using code_page_tables::Cp950;

// Appends the form of `unit` (best fit included); false when the page has none.
template <class Page>
bool append_form(char16_t unit, std::string& out) {
    const unsigned form = Page::kForms[unit];
    if (form >= 0x100) {
        out.push_back(static_cast<char>(form >> 8));
        out.push_back(static_cast<char>(form & 0xFF));
        return true;
    }
    if (form == 0 && unit != 0) return false;
    out.push_back(static_cast<char>(form));
    return true;
}

// Appends the units of `bytes` as MultiByteToWideChar does. A lead byte and a byte behind it
// that no table row has are one default character when that byte can be a trail byte at all
// (Big5's A3 C0, say); when it cannot (an ASCII control, digit or punctuation, 0x7F, 0xFF) the
// lead byte alone is, and that byte starts the next character, so that a stray lead byte never
// swallows the quote or '<' behind it.
template <class Page>
void decode_dbcs(std::string_view bytes, std::u16string& out) {
    const size_t start = out.size();
    out.resize(start + bytes.size());
    char16_t* w = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            *w++ = static_cast<char16_t>(b);
            ++p;
            continue;
        }
        if (b - Page::kFirstLead < Page::kLeadCount && p + 1 < end) {
            const unsigned trail = p[1];
            const char16_t u = Page::kPairs[(b - Page::kFirstLead) * 256 + trail];
            if (u != 0) [[likely]] {
                *w++ = u;
                p += 2;
                continue;
            }
            if (Page::kIsTrail[trail] != 0) {
                *w++ = Page::kDefaultUnit;
                p += 2;
                continue;
            }
        }
        // A byte of its own, or a lead byte on its own (kDefaultUnit in kSingle).
        *w++ = Page::kSingle[b];
        ++p;
    }
    out.resize(static_cast<size_t>(w - out.data()));
}

// UTF-16 units as UTF-8. A lone surrogate is no character: it becomes `default_char`, or
// ends the result when there is none.
std::string units_to_utf8(std::u16string_view units, std::optional<char> default_char) {
    std::string out(units.size() * 3, '\0');
    char* w = out.data();
    auto put = [&](unsigned byte) { *w++ = static_cast<char>(byte); };
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c < 0x80) {
            put(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xE000) {
            if (c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                units[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                ++i;
            } else {
                if (!default_char) break;
                put(static_cast<unsigned char>(*default_char));
                continue;
            }
        }
        // A pair (two units) needs four bytes, within the three reserved per unit.
        if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

// Strict conversion of `bytes` from `from_name` to code page 936 with '?' for characters it
// lacks; empty on invalid or truncated input. iconv decodes to its own wide form, the
// cheapest target it has (a third of the time of UTF-16), in bounded chunks; the table
// encodes.
std::string strict_to_gbk(std::string_view bytes, const char* from_name) {
    static_assert(sizeof(wchar_t) == 4, "glibc's WCHAR_T is UCS-4");
    iconv_t cd = cached_iconv("WCHAR_T", from_name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string result;
    result.reserve(bytes.size());
    wchar_t chunk[16384];
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    bool flushing = false;  // a last call without input lets a stateful decoder hand over
                            // a character it still holds
    for (;;) {
        char* out = reinterpret_cast<char*>(chunk);
        size_t out_left = sizeof chunk;
        int error = 0;
        if (in_left > 0) {
            error = iconv_step(cd, in, in_left, out, out_left);
        } else {
            flushing = true;
            if (iconv(cd, nullptr, nullptr, &out, &out_left) == static_cast<size_t>(-1))
                error = errno;
        }
        const size_t count = (sizeof chunk - out_left) / sizeof(wchar_t);
        for (size_t i = 0; i < count; ++i) {
            const auto c = static_cast<char32_t>(chunk[i]);
            // glibc decodes encoded surrogates (ED A0 80) to its wide form, but they are no
            // characters: the input is invalid, as the UTF-16 route used to find.
            if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) return {};
            if (c >= 0x10000 || !append_form<Cp936>(static_cast<char16_t>(c), result))
                result.push_back('?');
        }
        if (error == E2BIG) continue;
        if (error != 0) return {};
        if (flushing) break;
    }
    return result;
}

// The table path of utf16_to_code_page for the double-byte pages.
template <class Page>
std::string units_to_dbcs(std::u16string_view units, std::optional<char> default_char) {
    std::string result(units.size() * 2, '\0');
    char* w = result.data();
    for (size_t i = 0; i < units.size(); ++i) {
        const unsigned form = Page::kForms[units[i]];
        if (form >= 0x100) {
            *w++ = static_cast<char>(form >> 8);
            *w++ = static_cast<char>(form & 0xFF);
            continue;
        }
        if (form != 0 || units[i] == 0) {
            *w++ = static_cast<char>(form);
            continue;
        }
        if (!default_char) break;
        *w++ = *default_char;
        // A surrogate pair is one character: one default character for both units.
        if (units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size() &&
            units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            ++i;
        }
    }
    result.resize(static_cast<size_t>(w - result.data()));
    return result;
}

}  // namespace

std::u16string code_page_to_utf16(std::string_view bytes, CodePage page) {
    std::u16string result;
    if (page == CodePage::gbk) {
        decode_dbcs<Cp936>(bytes, result);
        return result;
    }
    if (page == CodePage::big5) {
        decode_dbcs<Cp950>(bytes, result);
        return result;
    }
    iconv_t cd = cached_iconv("UTF-16LE", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return result;
    const char* in = bytes.data();
    size_t in_left = bytes.size();
    std::string converted;
    while (!run_iconv(cd, in, in_left, converted)) {
        append_unit(result, converted);
        converted.clear();
        // An invalid or truncated sequence: one replacement character per offending byte.
        result.push_back(u'\uFFFD');
        ++in;
        --in_left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    append_unit(result, converted);
    return result;
}

std::string utf16_to_code_page(std::u16string_view units, CodePage page,
                               std::optional<char> default_char) {
    switch (page) {
        case CodePage::gbk:
            return units_to_dbcs<Cp936>(units, default_char);
        case CodePage::big5:
            return units_to_dbcs<Cp950>(units, default_char);
        case CodePage::utf8:
            break;
    }
    return units_to_utf8(units, default_char);
}

std::string iconv_convert(std::string_view bytes, const char* from_name, const char* to_name) {
    if (std::strcmp(to_name, "GB18030") == 0) {
        // GB18030 holds every character, so only invalid input fails; its output for GBK
        // characters is GBK. Local text is code page 936, so the rest becomes '?' here rather
        // than four-byte GB18030 sequences, and the euro sign becomes 0x80.
        return strict_to_gbk(bytes, from_name);
    }
    iconv_t cd = cached_iconv(to_name, from_name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    const char* in = bytes.data();
    size_t in_left = bytes.size();
    std::string out;
    if (!run_iconv(cd, in, in_left, out)) return {};
    // A stateful decoder may still hold the last character.
    char tail[64];
    char* tail_ptr = tail;
    size_t tail_left = sizeof tail;
    if (iconv(cd, nullptr, nullptr, &tail_ptr, &tail_left) != static_cast<size_t>(-1))
        out.append(tail, tail_ptr - tail);
    return out;
}

}  // namespace trasslo
