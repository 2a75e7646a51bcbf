// The leading words of control names and the kinds they stand for.
#include "settings/control_kind_for_name.h"

#include <utility>

#include "text/local_text.h"

namespace trasslo {

ControlKind control_kind_for_name(std::string_view name) {
    // Checked in this order; the first leading word that matches wins.
    static const std::pair<LocalText, ControlKind> words[] = {
        {local("按钮"), ControlKind::button},
        {local("编辑框"), ControlKind::edit_box},
        {local("选择框"), ControlKind::check_box},
        {local("单选框"), ControlKind::radio_button},
        {local("组合框"), ControlKind::combo_box},
        {local("列表框"), ControlKind::list_box},
        {local("选择列表框"), ControlKind::checked_list_box},
        {local("颜色选择器"), ControlKind::colour_picker},
    };
    for (const auto& [word, kind] : words) {
        if (name.substr(0, word.size()) == word) return kind;
    }
    return ControlKind::other;
}

}  // namespace trasslo
