// Cookie merging on any pair of cookie texts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "net/merge_cookies.h"
#include "text/local_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    trasslo::LocalText current(in.piece());
    trasslo::LocalText received(in.rest());
    const bool ascii = std::none_of(data, data + size, [](std::uint8_t b) { return b >= 0x80; });

    const auto merged = trasslo::merge_cookies(current, received);
    if (merged != current) __builtin_trap();
    if (ascii && received.find(' ') != std::string_view::npos) __builtin_trap();

    // Every item is there once and holds no space, no deleted one is left, and every cookie the
    // response set (the stripped received text) is among them.
    const auto items = trasslo::split_text(merged, "; ");
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].ends_with("=deleted")) __builtin_trap();
        if (ascii && items[i].find(' ') != std::string_view::npos) __builtin_trap();
        if (std::find(items.begin(), items.begin() + i, items[i]) != items.begin() + i)
            __builtin_trap();
    }
    if (ascii) {
        for (const auto& item : trasslo::split_text(received, ";")) {
            if (item.empty() || item.ends_with("=deleted")) continue;
            if (std::find(items.begin(), items.end(), item) == items.end()) __builtin_trap();
        }
    }

    // Merged again with nothing received, the text keeps only items it had.
    trasslo::LocalText again = merged, nothing;
    const auto remerged = trasslo::merge_cookies(again, nothing);
    if (ascii) {
        for (const auto& item : trasslo::split_text(remerged, "; "))
            if (!item.empty() && std::find(items.begin(), items.end(), item) == items.end())
                __builtin_trap();
    }
    return 0;
}
