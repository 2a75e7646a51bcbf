#include "text/regex_object.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <string>

namespace trasslo {
namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct ContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};

using Code = std::shared_ptr<const pcre2_code>;
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

// One match of the pattern in a UTF-8 subject: byte offsets of the whole match and of each
// group (PCRE2_UNSET for a group that took no part).
struct MatchSpan {
    std::vector<PCRE2_SIZE> offsets;  // start, end pairs; pair 0 is the whole match
};

// Length of the UTF-8 character that begins with `lead`.
size_t utf8_width(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Runs `code` over `subject` from `start`; the matches in order, only the first without
// `global`. After an empty match the search resumes one character further on.
std::vector<MatchSpan> find_matches(const pcre2_code* code, std::string_view subject, bool global) {
    std::vector<MatchSpan> matches;
    MatchData data(pcre2_match_data_create_from_pattern(code, nullptr));
    if (!data) return matches;
    auto subject_ptr = reinterpret_cast<PCRE2_SPTR>(subject.data());
    PCRE2_SIZE start = 0;
    while (start <= subject.size()) {
        int rc = pcre2_match(code, subject_ptr, subject.size(), start, 0, data.get(), nullptr);
        if (rc < 0) break;  // no match, or a matching error: nothing further is replaced
        PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        uint32_t pairs = pcre2_get_ovector_count(data.get());
        MatchSpan span;
        span.offsets.assign(ovector, ovector + 2 * pairs);
        PCRE2_SIZE begin = ovector[0];
        PCRE2_SIZE end = ovector[1];
        matches.push_back(std::move(span));
        if (!global) break;
        if (end > begin) {
            start = end;
        } else {
            if (end >= subject.size()) break;
            start = end + utf8_width(static_cast<unsigned char>(subject[end]));
        }
    }
    return matches;
}

std::string_view group_text(std::string_view subject, const MatchSpan& m, size_t group) {
    if (2 * group + 1 >= m.offsets.size()) return {};
    PCRE2_SIZE b = m.offsets[2 * group];
    PCRE2_SIZE e = m.offsets[2 * group + 1];
    if (b == PCRE2_UNSET || e == PCRE2_UNSET || e < b) return {};
    return subject.substr(b, e - b);
}

// The replacement for one match, read the way script engines read it: $$ is '$', $& the
// match, $` the text before it, $' the text after it, $n and $nn a group (the longer number
// when that group exists); anything else stands as written.
void expand_replacement(std::string& out, std::string_view replacement, std::string_view subject,
                        const MatchSpan& m, size_t group_count) {
    for (size_t i = 0; i < replacement.size(); ++i) {
        char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out.push_back(c);
            continue;
        }
        char n = replacement[i + 1];
        if (n == '$') {
            out.push_back('$');
            ++i;
        } else if (n == '&') {
            out.append(group_text(subject, m, 0));
            ++i;
        } else if (n == '`') {
            out.append(subject.substr(0, m.offsets[0]));
            ++i;
        } else if (n == '\'') {
            out.append(subject.substr(m.offsets[1]));
            ++i;
        } else if (n >= '0' && n <= '9') {
            size_t one = static_cast<size_t>(n - '0');
            size_t two = 0;
            bool has_two = i + 2 < replacement.size() && replacement[i + 2] >= '0' &&
                           replacement[i + 2] <= '9';
            if (has_two) two = one * 10 + static_cast<size_t>(replacement[i + 2] - '0');
            if (has_two && two >= 1 && two <= group_count) {
                out.append(group_text(subject, m, two));
                i += 2;
            } else if (one >= 1 && one <= group_count) {
                out.append(group_text(subject, m, one));
                ++i;
            } else {
                out.push_back(c);
            }
        } else {
            out.push_back(c);
        }
    }
}

}  // namespace

struct RegexObject::Impl {
    Code code;
    LocalText pattern;
    bool global = true;
    size_t group_count = 0;
    // The last run of execute(): its subject (local text) and the matches as local text.
    LocalText subject;
    std::vector<std::vector<LocalText>> matches;  // [match][0 = whole match, 1.. = groups]
};

RegexObject::RegexObject() : impl_(std::make_unique<Impl>()) {}
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
RegexObject& RegexObject::operator=(const RegexObject& other) {
    if (this != &other) *impl_ = *other.impl_;
    return *this;
}

bool RegexObject::create(std::string_view pattern, bool ignore_case, bool multiline, bool global) {
    release();
    std::string utf8 = to_utf8(pattern);
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if (ignore_case) options |= PCRE2_CASELESS;
    if (multiline) {
        options |= PCRE2_MULTILINE;
    } else {
        options |= PCRE2_DOLLAR_ENDONLY;  // '$' is the very end, as in script engines
    }
    std::unique_ptr<pcre2_compile_context, ContextDeleter> context(
        pcre2_compile_context_create(nullptr));
    if (!context) return false;
    // Every line break ends a line for '.', '^' and '$', not only LF.
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANY);
    int error = 0;
    PCRE2_SIZE error_offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(),
                                     options, &error, &error_offset, context.get());
    if (!code) return false;
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // a speed-up only; matching works without
    uint32_t groups = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groups);
    impl_->code = Code(code, CodeDeleter());
    impl_->pattern = LocalText(pattern);
    impl_->global = global;
    impl_->group_count = groups;
    return true;
}

LocalText RegexObject::replace(std::string_view subject, std::string_view replacement) {
    if (!impl_->code) return LocalText(subject);
    std::string utf8_subject = to_utf8(subject);
    std::vector<MatchSpan> matches = find_matches(impl_->code.get(), utf8_subject, impl_->global);
    if (matches.empty()) return LocalText(subject);
    std::string utf8_replacement = to_utf8(replacement);
    std::string out;
    out.reserve(utf8_subject.size());
    PCRE2_SIZE copied = 0;
    for (const MatchSpan& m : matches) {
        out.append(utf8_subject, copied, m.offsets[0] - copied);
        expand_replacement(out, utf8_replacement, utf8_subject, m, impl_->group_count);
        copied = m.offsets[1];
    }
    out.append(utf8_subject, copied, std::string::npos);
    return local(out);
}

long RegexObject::execute(std::string_view subject) {
    impl_->matches.clear();
    impl_->subject = LocalText(subject);
    if (!impl_->code) return 0;
    std::string utf8_subject = to_utf8(subject);
    for (const MatchSpan& m : find_matches(impl_->code.get(), utf8_subject, impl_->global)) {
        std::vector<LocalText> texts;
        for (size_t g = 0; g <= impl_->group_count; ++g) {
            texts.push_back(local(group_text(utf8_subject, m, g)));
        }
        impl_->matches.push_back(std::move(texts));
    }
    return static_cast<long>(impl_->matches.size());
}

LocalText RegexObject::pattern() const {
    return impl_->code ? impl_->pattern : LocalText();
}

long RegexObject::match_count() const {
    return static_cast<long>(impl_->matches.size());
}

LocalText RegexObject::match_text(long i) const {
    if (i < 1 || static_cast<size_t>(i) > impl_->matches.size()) return {};
    return impl_->matches[static_cast<size_t>(i - 1)][0];
}

LocalText RegexObject::submatch_text(long i, long j) const {
    if (i < 1 || static_cast<size_t>(i) > impl_->matches.size()) return {};
    const auto& texts = impl_->matches[static_cast<size_t>(i - 1)];
    if (j < 1 || static_cast<size_t>(j) >= texts.size()) return {};
    return texts[static_cast<size_t>(j)];
}

long RegexObject::submatch_count() const {
    if (impl_->matches.empty()) return 0;
    return static_cast<long>(impl_->matches.front().size() - 1);
}

void RegexObject::release() {
    *impl_ = Impl();
}

LocalText title_before_separator(std::string_view title) {
    RegexObject regex;
    if (!regex.create(local("(.+?)(-|_|—).+"), true, true, true)) return LocalText(title);
    LocalText result = regex.replace(title, "$1");
    regex.release();
    return result;
}

}  // namespace trasslo
