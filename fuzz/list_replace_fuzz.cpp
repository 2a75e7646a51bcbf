// list_replace with fuzzed texts, lists, separators, counts and flags.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "text/local_text.h"
#include "text/url_encode.h"

namespace {

// Each item replaces its matches in the result of the items before it, so a list can grow the
// text by the length of each replacement in turn: exponentially, by design. Inputs whose
// result could pass a megabyte are left out; they only measure the allocator.
bool bounded(std::string_view text, std::string_view find_list, std::string_view replace_list,
             std::string_view separator, bool fill_empty) {
    if (separator.empty()) separator = "|";
    const auto finds = trasslo::split_text(find_list, separator);
    auto replacements = trasslo::split_text(replace_list, separator);
    replacements.resize(finds.size());
    double size = static_cast<double>(text.size()) + 1;
    for (size_t i = 0; i < finds.size(); ++i) {
        if (finds[i].empty()) continue;
        const size_t length =
            std::max(replacements[i].size(),
                     fill_empty && !replacements.empty() ? replacements[0].size() : 0);
        size *= static_cast<double>(std::max<size_t>(1, length));
        if (size > 1e6) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const unsigned flags = in.byte();
    const long count = static_cast<signed char>(in.byte());
    const std::string_view separator = in.piece('\x01');
    const std::string_view find_list = in.piece('\x01');
    const std::string_view replace_list = in.piece('\x01');
    const std::string_view text = in.rest();
    const bool case_sensitive = flags & 1, fill_empty = flags & 2;
    if (!bounded(text, find_list, replace_list, separator, fill_empty)) return 0;

    trasslo::list_replace(text, find_list, replace_list, case_sensitive, fill_empty, separator,
                          count);
    // Replacing every item by itself changes nothing, whatever the count or the separator.
    if (trasslo::list_replace(text, find_list, find_list, true, fill_empty, separator, count) !=
        text)
        __builtin_trap();
    // An empty find list finds nothing.
    if (trasslo::list_replace(text, "", replace_list, case_sensitive, fill_empty, separator,
                              count) != text)
        __builtin_trap();
    return 0;
}
