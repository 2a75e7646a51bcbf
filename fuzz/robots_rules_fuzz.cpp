// The robots.txt reader on any file, and the matcher against a plain reference: a rule of the
// input's first piece matched against the path of its second decides as the table of every
// place the pattern read so far can end decides.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/robots_rules.h"
#include "fuzz_input.h"
#include "text/local_text.h"

namespace {

// Whether `pattern` ('*' any run of octets, a final '$' the end) matches the start of `path`,
// by the set of positions the pattern read so far can end at: slow, and plainly right.
bool reference_match(std::string_view pattern, std::string_view path) {
    std::vector<char> at(path.size() + 1, 0);
    at[0] = 1;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        if (pattern[p] == '$' && p + 1 == pattern.size()) return at[path.size()] != 0;
        std::vector<char> next(path.size() + 1, 0);
        for (std::size_t i = 0; i <= path.size(); ++i) {
            if (!at[i]) continue;
            if (pattern[p] == '*') {
                for (std::size_t j = i; j <= path.size(); ++j) next[j] = 1;
                break;
            }
            if (i < path.size() && path[i] == pattern[p]) next[i + 1] = 1;
        }
        at.swap(next);
    }
    for (char reached : at)
        if (reached) return true;
    return false;
}

// A value a rule line keeps as it is: nothing the line reader trims or cuts off.
bool plain_value(std::string_view text) {
    return !text.empty() && trasslo::trim(text) == text &&
           text.find_first_of("\r\n#") == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const std::string_view pattern = in.piece();
    const std::string_view path = in.piece();
    const std::string_view file = in.rest();

    // Any file, any crawler, any path: an answer and no fault.
    const trasslo::RobotsRules rules = trasslo::RobotsRules::parse(file);
    rules.allows("Baiduspider", path);
    rules.allows(std::string(pattern), trasslo::robots_path(path));

    // One Disallow rule: the path is refused exactly when the reference matches.
    if (!plain_value(pattern) || pattern.size() > 512 || path.size() > 512) return 0;
    const std::string normal_pattern = trasslo::robots_normal_form(pattern);
    const std::string normal_path = trasslo::robots_normal_form(path);
    if (normal_path == "/robots.txt") return 0;
    const auto one =
        trasslo::RobotsRules::parse("User-agent: *\nDisallow: " + std::string(pattern));
    if (one.allows("Baiduspider", path) == reference_match(normal_pattern, normal_path))
        __builtin_trap();
    return 0;
}
