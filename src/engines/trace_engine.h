// TraceEngine: one site search the trace run visits, and the text its tree item shows.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Page-encoding codes of an engine; every other value counts as GBK.
inline constexpr std::int32_t engine_encoding_gbk = 0;
inline constexpr std::int32_t engine_encoding_utf8 = 1;

struct TraceEngine {
    bool enabled = false;       // ticked: the run visits only enabled engines
    std::int32_t encoding = 0;  // 0 = GBK, 1 = UTF-8 (only selects the keyword's encoding)
    LocalText name;             // display name
    LocalText address;          // address template; "{*}" marks where the keyword goes

    friend bool operator==(const TraceEngine&, const TraceEngine&) = default;
};

// The tree item's text: name + "(" + host of the address + ")", e.g.
// "新浪搜索(search.sina.com.cn)"; an empty address gives the name followed by "()".
LocalText engine_item_text(const TraceEngine& engine);

// An enabled record made safe for the engine list file, which escapes nothing: a "|" becomes
// "%7C" in the address and "｜" in the name, a "<" "%3C" and "＜", and line breaks and the
// first half of a double-byte character cut off at the end are dropped from both. The
// add-engine dialog and the import make every engine through it. The fields are local text,
// already converted: that conversion's best fit turns "¦" into "|", so guarding the text before
// it would let a "|" through.
TraceEngine engine_for_list(std::string_view name, std::string_view address, int encoding);

}  // namespace trasslo
