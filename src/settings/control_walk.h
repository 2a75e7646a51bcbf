// The controls of a window as the settings store sees them: the window's named controls in
// definition order, each with its name, kind, tag and the properties worth keeping. The Qt
// window implements it in ui/qt/qt_control_walk.h; tests supply an in-memory one.
//
// Every property accessor has a do-nothing default, so a control implements only what its kind
// has. Texts are local text; list items travel as one byte buffer in whatever form the toolkit
// chooses (the store keeps the bytes as they are).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "text/local_text.h"

namespace trasslo {

// What a control is, as the toolkit knows it. `other` is any control the store does not keep.
enum class ControlKind {
    button,
    edit_box,
    check_box,
    radio_button,
    combo_box,
    list_box,
    checked_list_box,
    colour_picker,
    other,
};

// One control of a window.
class WindowControl {
  public:
    virtual ~WindowControl() = default;

    // The control's name from the window definition ("按钮开始留痕"); empty for an unnamed one.
    virtual LocalText name() const = 0;
    virtual ControlKind kind() const = 0;
    // The free text attached to the control ("禁止保存", "字节集方式", or a button's own mark).
    virtual LocalText tag() const = 0;
    virtual void set_tag(std::string_view tag) = 0;

    // Edit box content (lines joined by CR LF), or a combo box's edit text.
    virtual LocalText text() const { return {}; }
    virtual void set_text(std::string_view) {}

    // Check box and radio button state.
    virtual bool checked() const { return false; }
    virtual void set_checked(bool) {}

    // Combo box selection, or a checked list box's current item; -1 when none.
    virtual long current_index() const { return -1; }
    virtual void set_current_index(long) {}

    // The items of a list or combo box as one byte buffer; setting replaces every item.
    virtual ByteBuffer items() const { return {}; }
    virtual void set_items(const ByteBuffer&) {}
    virtual long item_count() const { return 0; }

    // List box selection, 0-based and ascending; `select_index` adds one to the selection.
    virtual std::vector<long> selected_indices() const { return {}; }
    virtual void select_index(long) {}

    // Checked list box ticks, 0-based and ascending; `tick_index` ticks one more item.
    virtual std::vector<long> ticked_indices() const { return {}; }
    virtual void tick_index(long) {}

    // Colour picker value as a number.
    virtual double colour() const { return 0; }
    virtual void set_colour(double) {}
};

// A window's controls in the order the window defines them.
class ControlWalk {
  public:
    virtual ~ControlWalk() = default;

    virtual std::size_t control_count() const = 0;
    // The control at `index`, or null when it has gone away (a pumped event may close a
    // window in the middle of a walk).
    virtual WindowControl* control(std::size_t index) = 0;
};

}  // namespace trasslo
