#include "text/html_entities.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/event_pump.h"
#include "text/c_number.h"

namespace trasslo {
namespace {

struct NamedReference {
    std::string_view name;
    const char* character;  // UTF-8; made local text once
};

// In the order of replacement: &amp; last, so that "&amp;lt;" becomes "&lt;" and stays.
constexpr std::array<NamedReference, 40> named_references{{
    {"&ndash;", "–"},  {"&mdash;", "—"},  {"&ldquo;", "“"}, {"&rdquo;", "”"}, {"&nbsp;", " "},
    {"&lt;", "<"},     {"&gt;", ">"},     {"&quot;", "\""}, {"&times;", "×"}, {"&divide;", "÷"},
    {"&middot;", "·"}, {"&hellip;", "…"}, {"&lsquo;", "‘"}, {"&rsquo;", "’"}, {"&permil;", "‰"},
    {"&prime;", "′"},  {"&Prime;", "″"},  {"&larr;", "←"},  {"&uarr;", "↑"},  {"&rarr;", "→"},
    {"&darr;", "↓"},   {"&radic;", "√"},  {"&prop;", "∝"},  {"&infin;", "∞"}, {"&ang;", "∠"},
    {"&and;", "∧"},    {"&or;", "∨"},     {"&cap;", "∩"},   {"&cup;", "∪"},   {"&int;", "∫"},
    {"&there4;", "∴"}, {"&sim;", "～"},   {"&asymp;", "≈"}, {"&ne;", "≠"},    {"&equiv;", "≡"},
    {"&le;", "≤"},     {"&ge;", "≥"},     {"&oplus;", "⊕"}, {"&perp;", "⊥"},  {"&amp;", "&"},
}};

constexpr size_t big_prime_index = 16;  // &Prime;, right behind &prime;
static_assert(named_references[big_prime_index].name == "&Prime;");

const std::vector<LocalText>& named_characters() {
    static const std::vector<LocalText> characters = [] {
        std::vector<LocalText> out;
        for (const auto& ref : named_references) out.push_back(local(ref.character));
        return out;
    }();
    return characters;
}

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool matches_folded(std::string_view text, size_t at, std::string_view name) {
    if (at + name.size() > text.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (fold(text[at + i]) != fold(name[i])) return false;
    }
    return true;
}

// The named reference starting at `at`, or -1. Names fold ASCII case, but "&Prime;" written
// exactly so is the double prime and not the prime.
int named_reference_at(std::string_view text, size_t at) {
    if (text.compare(at, 7, "&Prime;") == 0) return static_cast<int>(big_prime_index);
    if (at + 1 >= text.size()) return -1;
    // Every name starts "&" and a letter: only names with that letter need a full comparison.
    const char second = fold(text[at + 1]);
    for (size_t i = 0; i < named_references.size(); ++i) {
        if (i == big_prime_index || fold(named_references[i].name[1]) != second) continue;
        if (matches_folded(text, at, named_references[i].name)) return static_cast<int>(i);
    }
    return -1;
}

// Replacing the table's items one after the other gives the same text as one left-to-right
// pass: every item is '&', letters or digits and ';', no replacement character can form part
// of a later item, and '&' itself is produced only by the last item.
LocalText decode_named(std::string_view text) {
    const auto& characters = named_characters();
    LocalText out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[at]);
        if (b == '&') {
            int ref = named_reference_at(text, at);
            if (ref >= 0) {
                out.append(characters[static_cast<size_t>(ref)]);
                at += named_references[static_cast<size_t>(ref)].name.size();
                continue;
            }
        }
        // A double-byte character is stepped over whole: no match starts at its second byte.
        size_t width = (is_gbk_lead_byte(b) && at + 1 < text.size()) ? 2 : 1;
        out.append(text.substr(at, width));
        at += width;
    }
    return out;
}

// The code point named by the text between "&#" and ';' (read from `next()` until it gives
// -1), or -1 when it names no character. Decimal is read like atoi (blanks, sign, digits);
// "x" or "X" followed by hexadecimal digits is read as hexadecimal.
template <typename Next>
long numeric_value(Next next) {
    int c = next();
    constexpr long too_big = 0x110000;
    long value = 0;
    if (c == 'x' || c == 'X') {
        for (c = next(); c >= 0; c = next()) {
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                break;
            }
            if (value < too_big) value = value * 16 + digit;
        }
    } else {
        while (c >= 0 && is_c_space(static_cast<char>(c))) c = next();
        bool negative = false;
        if (c == '+' || c == '-') {
            negative = c == '-';
            c = next();
        }
        for (; c >= '0' && c <= '9'; c = next()) {
            if (value < too_big) value = value * 10 + (c - '0');
        }
        if (negative && value != 0) return -1;
    }
    if (value <= 0 || value >= too_big || (value >= 0xD800 && value <= 0xDFFF)) return -1;
    return value;
}

// One character for a code point: its GBK form, '?' when GBK has none.
LocalText character_of(long value) {
    if (value < 0) return {};
    if (value < 0x80) return LocalText(1, static_cast<char>(value));
    std::u16string units;
    if (value < 0x10000) {
        // Pages full of references repeat the same few characters: each is converted once.
        thread_local std::vector<std::array<char, 3>> known(0x10000);  // length, bytes
        std::array<char, 3>& entry = known[static_cast<size_t>(value)];
        if (entry[0] == 0) {
            LocalText converted =
                utf16_to_local_text(std::u16string(1, static_cast<char16_t>(value)));
            if (converted.empty() || converted.size() > 2) converted = "?";
            entry[0] = static_cast<char>(converted.size());
            entry[1] = converted[0];
            entry[2] = converted.size() > 1 ? converted[1] : 0;
        }
        return LocalText(&entry[1], static_cast<size_t>(entry[0]));
    }
    long v = value - 0x10000;
    units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    return utf16_to_local_text(units);
}

// Numeric references from the last to the first. The part of the text already handled is
// kept reversed, so that taking a reference out of its front (when the ';' of an earlier
// "&#" lies in it) is popping from the back; each byte is scanned a bounded number of times.
LocalText decode_numeric(const LocalText& text) {
    std::string done_reversed;       // the handled rest of the text, back to front
    std::vector<size_t> semicolons;  // indexes of ';' in done_reversed, ascending
    done_reversed.reserve(text.size());
    auto prepend = [&](std::string_view part) {
        for (size_t j = part.size(); j-- > 0;) {
            if (part[j] == ';') semicolons.push_back(done_reversed.size());
            done_reversed.push_back(part[j]);
        }
    };
    size_t limit = text.size();
    size_t scan = limit;  // candidates for "&#" start below this
    for (;;) {
        process_pending_events();
        // The last "&#" that ends at or before the limit.
        size_t found = std::string::npos;
        if (scan >= 2) {
            for (size_t i = scan - 1; i-- > 0;) {
                if (text[i] == '&' && text[i + 1] == '#') {
                    found = i;
                    break;
                }
            }
        }
        if (found == std::string::npos) break;
        prepend(std::string_view(text).substr(found, limit - found));
        limit = found;
        scan = found;
        if (semicolons.empty()) continue;  // no ';' behind it: it stays
        size_t semicolon = semicolons.back();
        semicolons.pop_back();
        size_t next = done_reversed.size() - 3;  // just behind "&#"
        long value = numeric_value([&]() -> int {
            if (next == semicolon) return -1;
            return static_cast<unsigned char>(done_reversed[next--]);
        });
        done_reversed.resize(semicolon);
        prepend(character_of(value));
    }
    LocalText out(text.substr(0, limit));
    out.append(done_reversed.rbegin(), done_reversed.rend());
    return out;
}

}  // namespace

LocalText decode_html_entities(std::string_view text, bool skip_numeric) {
    LocalText named = decode_named(text);
    if (skip_numeric) return named;
    return decode_numeric(named);
}

}  // namespace trasslo
