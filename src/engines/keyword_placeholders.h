// The marks that lists made by other tools put where the search words go ("%s", "{keyword}",
// "[url]", ...), and writing each of them as the "{*}" our templates use.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "text/local_text.h"

namespace trasslo {

// The forms recognised without being asked, "{*}" among them, in lower case. The address forms
// ("{url}", "[encode_url]", ...) come from lists made for address submitters: the keyword of a
// trace may be a web address.
std::span<const std::string_view> keyword_placeholder_forms();

// Finds every placeholder of a text in one pass: the built-in forms plus `extra` ones (empty
// extras are ignored), letters folded (ASCII only), matches starting only at GBK character
// boundaries, the longest form winning where several start at the same place.
class KeywordPlaceholders {
  public:
    explicit KeywordPlaceholders(std::span<const LocalText> extra = {});

    // `text` with every placeholder written "{*}"; `found` tells whether there was any.
    //   KeywordPlaceholders().standardize("/s?q=%S&kw=[KW]") == "/s?q={*}&kw={*}"
    LocalText standardize(std::string_view text, bool* found = nullptr) const;
    // The same written into `out` (replacing what it held, its buffer reused); returns `found`.
    bool standardize_into(std::string_view text, LocalText& out) const;

  private:
    // The forms in lower case, grouped by their first byte, the longest first in each group.
    std::vector<LocalText> forms_;
    // For each byte, the group of forms that start with it (letters in either case): [begin, end)
    // in forms_, empty for most bytes.
    std::array<std::pair<std::uint16_t, std::uint16_t>, 256> starting_with_{};
};

}  // namespace trasslo
