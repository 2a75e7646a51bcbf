// The regular-expression object with fuzzed patterns, switches, replacements and subjects, and
// the title cut at its separator.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "text/local_text.h"
#include "text/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const unsigned flags = in.byte();
    const std::string_view pattern = in.piece();
    const std::string_view replacement = in.piece();
    const std::string_view subject = in.rest();
    // Keeps pathological patterns from spending the whole run in the matcher.
    if (pattern.size() > 200 || subject.size() > 2000) return 0;

    const auto title = trasslo::title_before_separator(subject);
    if (title.size() > subject.size()) __builtin_trap();

    trasslo::RegexObject regex;
    const bool created = regex.create(pattern, flags & 1, flags & 2, flags & 4);
    if (created && regex.pattern() != pattern) __builtin_trap();
    const long count = regex.execute(subject);
    if (count != regex.match_count() || count < 0 || (!created && count != 0)) __builtin_trap();
    const long groups = regex.submatch_count();
    for (long i = 0; i <= count + 1; ++i) {
        regex.match_text(i);
        for (long j = 0; j <= groups + 1; ++j) regex.submatch_text(i, j);
    }
    regex.match_text(-1);
    regex.submatch_text(1, -1);

    // A copy answers the same, also after the original is released.
    trasslo::RegexObject copy(regex);
    regex.release();
    if (copy.match_count() != count) __builtin_trap();
    if (count > 0 && copy.match_text(count) != trasslo::RegexObject(copy).match_text(count))
        __builtin_trap();

    const auto replaced = copy.replace(subject, replacement);
    if (count == 0 && replaced != subject) __builtin_trap();
    // Putting every match back in its own place gives the subject again, whenever the subject
    // survives the trip through UTF-8 that matching takes.
    if (trasslo::local(trasslo::to_utf8(subject)) == subject &&
        copy.replace(subject, "$&") != subject)
        __builtin_trap();
    return 0;
}
