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

}  // namespace trasslo
