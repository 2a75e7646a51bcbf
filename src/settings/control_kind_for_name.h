// The kind of control a name stands for: the settings store decides by the leading word of
// the control's name ("按钮…" is a button, "编辑框…" an edit box, …); the first word that
// matches wins, in the order of the `ControlKind` list.
#pragma once

#include <string_view>

#include "settings/control_walk.h"

namespace trasslo {

// The kind whose leading word starts `name` (local text), or `ControlKind::other`.
ControlKind control_kind_for_name(std::string_view name);

}  // namespace trasslo
