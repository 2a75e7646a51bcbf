// The Shift/Ctrl key-state seam: the engine tree's multi-ticking asks whether a modifier key is
// held at the moment of a selection change. The window installs a query over the real keyboard;
// until then (command-line front end, tests) no key counts as held.
#pragma once

#include <functional>

namespace trasslo {

enum class ModifierKey { shift, ctrl };

using KeyStateQuery = std::function<bool(ModifierKey)>;

// Installs the process's key-state query; an empty function restores "no key held".
void install_key_state_query(KeyStateQuery query);

// True when `key` is held down right now.
bool is_key_held(ModifierKey key);

}  // namespace trasslo
