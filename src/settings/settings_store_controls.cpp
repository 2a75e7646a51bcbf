// The settings store's window half (SettingsStore::save_controls and restore_controls, declared
// in settings/settings_store.h): each named control's kept properties under keys formed from its
// name, as text, number, truth value or a binary value file.
#include <algorithm>
#include <string>

#include "base/event_pump.h"
#include "settings/control_kind_for_name.h"
#include "settings/settings_store.h"
#include "text/c_number.h"

namespace trasslo {
namespace {

struct ControlKeys {
    LocalText tag_key;       // button: name + ".标记"
    LocalText list_key;      // combo box: name + ".列表"
    LocalText content_key;   // combo box: name + ".内容"
    LocalText selected_key;  // list boxes: name + ".选中"
    LocalText ticked_key;    // checked list box: name + ".打勾"
};

ControlKeys keys_for(const LocalText& name) {
    return {name + local(".标记"), name + local(".列表"), name + local(".内容"),
            name + local(".选中"), name + local(".打勾")};
}

// "0,2,5": indices in ascending order, joined by ",".
LocalText join_indices(std::vector<long> indices) {
    std::sort(indices.begin(), indices.end());
    LocalText out;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i > 0) out.push_back(',');
        out += std::to_string(indices[i]);
    }
    return out;
}

// The integers of a comma list; elements that hold no number are left out.
std::vector<long> parse_indices(std::string_view text) {
    std::vector<long> out;
    for (const LocalText& element : split_text(text, ",")) {
        std::size_t digits = 0;
        const long long value = read_c_integer(element, &digits);
        // Far beyond any list either way: ignored by the caller.
        if (digits > 0)
            out.push_back(static_cast<long>(std::clamp(value, -1000000000LL, 1000000000LL)));
    }
    return out;
}

// Whether the window's own kind of control agrees with the kind its name stands for. A button's
// tag can be kept for any control; the other kinds need the matching widget.
bool kinds_agree(ControlKind by_name, ControlKind by_toolkit) {
    if (by_name == ControlKind::button) return true;
    if (by_name == by_toolkit) return true;
    // A list box named as the other kind of list still holds a list.
    const auto is_list = [](ControlKind k) {
        return k == ControlKind::list_box || k == ControlKind::checked_list_box;
    };
    return is_list(by_name) && is_list(by_toolkit);
}

bool is_excluded(const LocalText& name, const std::vector<LocalText>& excluded) {
    return std::find(excluded.begin(), excluded.end(), name) != excluded.end();
}

// The next control worth handling, with its kind, or null when it is to be skipped.
WindowControl* usable_control(ControlWalk& window, std::size_t index,
                              const std::vector<LocalText>& excluded, ControlKind& kind,
                              bool& binary) {
    process_pending_events();
    WindowControl* control = window.control(index);
    if (control == nullptr) return nullptr;
    const LocalText name = control->name();
    if (name.empty() || is_excluded(name, excluded)) return nullptr;
    kind = control_kind_for_name(name);
    if (kind == ControlKind::other || !kinds_agree(kind, control->kind())) return nullptr;
    const LocalText tag = control->tag();
    if (tag == local("禁止保存")) return nullptr;
    binary = (kind == ControlKind::button || kind == ControlKind::edit_box) &&
             tag == local("字节集方式");
    return control;
}

// Calls `handle` with every control worth saving or restoring, in the window's order, with its
// kind, whether it keeps its value as bytes, its name and its settings keys.
template <typename Handle>
void for_each_usable_control(ControlWalk& window, const std::vector<LocalText>& excluded,
                             Handle handle) {
    for (std::size_t i = 0; i < window.control_count(); ++i) {
        ControlKind kind = ControlKind::other;
        bool binary = false;
        WindowControl* control = usable_control(window, i, excluded, kind, binary);
        if (control == nullptr) continue;
        const LocalText name = control->name();
        handle(*control, kind, binary, name, keys_for(name));
    }
}

}  // namespace

void SettingsStore::save_controls(ControlWalk& window, std::string_view section,
                                  const std::vector<LocalText>& excluded, bool keep_combo_lists,
                                  bool keep_combo_texts) {
    if (!section.empty()) set_section(section);
    for_each_usable_control(
        window, excluded,
        [&](WindowControl& control, ControlKind kind, bool binary, const LocalText& name,
            const ControlKeys& keys) {
            switch (kind) {
                case ControlKind::button:
                    if (binary)
                        write_bytes(keys.tag_key, text_to_bytes(control.tag()));
                    else
                        write_text(keys.tag_key, control.tag());
                    break;
                case ControlKind::edit_box:
                    if (binary)
                        write_bytes(name, text_to_bytes(control.text()));
                    else
                        write_text(name, control.text());
                    break;
                case ControlKind::check_box:
                case ControlKind::radio_button:
                    write_bool(name, control.checked());
                    break;
                case ControlKind::combo_box:
                    write_number(name, static_cast<double>(control.current_index()));
                    if (keep_combo_lists) write_bytes(keys.list_key, control.items());
                    if (keep_combo_texts) write_text(keys.content_key, control.text());
                    break;
                case ControlKind::list_box:
                    write_bytes(name, control.items());
                    write_text(keys.selected_key, join_indices(control.selected_indices()));
                    break;
                case ControlKind::checked_list_box:
                    write_bytes(name, control.items());
                    write_number(keys.selected_key, static_cast<double>(control.current_index()));
                    write_text(keys.ticked_key, join_indices(control.ticked_indices()));
                    break;
                case ControlKind::colour_picker:
                    write_number(name, control.colour());
                    break;
                case ControlKind::other:
                    break;
            }
        });
}

void SettingsStore::restore_controls(ControlWalk& window, std::string_view section,
                                     const std::vector<LocalText>& excluded, bool keep_combo_lists,
                                     bool keep_combo_texts) {
    if (!section.empty()) set_section(section);
    const auto to_index = [](double number) {
        if (!(number >= -1.0 && number < 2147483647.0)) return -1L;  // NaN and the far-off
        return static_cast<long>(number);
    };
    for_each_usable_control(
        window, excluded,
        [&](WindowControl& control, ControlKind kind, bool binary, const LocalText& name,
            const ControlKeys& keys) {
            switch (kind) {
                case ControlKind::button: {
                    const LocalText tag = control.tag();
                    if (binary)
                        control.set_tag(until_zero(
                            bytes_to_text(read_bytes(keys.tag_key, text_to_bytes(tag)))));
                    else
                        control.set_tag(read_text(keys.tag_key, tag));
                    break;
                }
                case ControlKind::edit_box: {
                    const LocalText text = control.text();
                    if (binary)
                        control.set_text(
                            until_zero(bytes_to_text(read_bytes(name, text_to_bytes(text)))));
                    else
                        control.set_text(read_text(name, text));
                    break;
                }
                case ControlKind::check_box:
                case ControlKind::radio_button:
                    control.set_checked(read_bool(name, control.checked()));
                    break;
                case ControlKind::combo_box:
                    if (keep_combo_lists)
                        control.set_items(read_bytes(keys.list_key, control.items()));
                    control.set_current_index(
                        to_index(read_number(name, static_cast<double>(control.current_index()))));
                    if (keep_combo_texts)
                        control.set_text(read_text(keys.content_key, control.text()));
                    break;
                case ControlKind::list_box: {
                    const LocalText selected = join_indices(control.selected_indices());
                    control.set_items(read_bytes(name, control.items()));
                    const long count = control.item_count();
                    for (long index : parse_indices(read_text(keys.selected_key, selected)))
                        if (index >= 0 && index < count) control.select_index(index);
                    break;
                }
                case ControlKind::checked_list_box: {
                    const LocalText ticked = join_indices(control.ticked_indices());
                    control.set_items(read_bytes(name, control.items()));
                    control.set_current_index(to_index(read_number(
                        keys.selected_key, static_cast<double>(control.current_index()))));
                    const long count = control.item_count();
                    for (long index : parse_indices(read_text(keys.ticked_key, ticked)))
                        if (index >= 0 && index < count) control.tick_index(index);
                    break;
                }
                case ControlKind::colour_picker:
                    control.set_colour(read_number(name, control.colour()));
                    break;
                case ControlKind::other:
                    break;
            }
        });
}

}  // namespace trasslo
