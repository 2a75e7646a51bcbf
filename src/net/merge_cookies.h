// Keeping a caller's cookie text up to date with the cookies a response set.
#pragma once

#include "text/local_text.h"

namespace trasslo {

// Merges `received` ("a=1; b=2") into `current`: received cookies replace same-named ones,
// items ending in "=deleted" disappear, duplicates go. Every space (ASCII and A1 A1) is
// removed from both arguments first; both are written back, and the merged text is stored in
// `current` and returned.
//   current "a=1; b=2", received "b=3; c=4"  ->  "b=3; c=4; a=1"
LocalText merge_cookies(LocalText& current, LocalText& received);

}  // namespace trasslo
