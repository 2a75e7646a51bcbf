// The engine tree as the core sees it: the main window's checkbox tree "树型框" that mirrors the
// engine list item for item. The window implements it over its tree widget; the command-line
// front end and the tests use MemoryEngineTree. Indices are 0-based; -1 means "no item".
//
// The tree does not call the core by itself: whoever owns it forwards the user's actions to the
// handlers in engines/engine_list.h (on_current_engine_changed, on_engine_checkbox_changed).
// Changes made through this interface are the program's own and should not be forwarded.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Produces the bytes of an icon file when they are needed.
using IconSource = std::function<ByteBuffer()>;

// One item to append in a batch: its text and whether its checkbox is ticked.
struct EngineTreeItem {
    LocalText text;
    bool ticked = false;
};

class EngineTree {
  public:
    virtual ~EngineTree() = default;

    // Appends a top-level item showing `text` (local text), unticked; returns its index.
    virtual int add_item(std::string_view text) = 0;
    // Removes the item at `index`; the items behind it move up by one. Out of range: nothing.
    virtual void remove_item(int index) = 0;
    // Removes every item; there is no current item afterwards.
    virtual void clear_items() = 0;
    virtual int item_count() const = 0;
    // The item's text as given to add_item; empty when out of range.
    virtual LocalText item_text(int index) const = 0;

    // Checkbox state: 1 = ticked, 0 = unticked (0 when out of range).
    virtual int check_state(int index) const = 0;
    virtual void set_check_state(int index, int state) = 0;

    // The current (selected) item, -1 for none; setting an index out of range clears it.
    virtual int current_item() const = 0;
    virtual void set_current_item(int index) = 0;

    // Gives the item its 16x16 site picture from the bytes of an icon file (.ico, .png, ...);
    // empty bytes give the item no picture, bytes that hold no picture the default icon.
    virtual void set_item_icon(int index, const ByteBuffer& icon_file) = 0;
    // The same with the bytes produced by `source`. A tree on screen may put that off until the
    // item is first drawn, as of a long list only the rows shown ever are; this one calls it
    // at once.
    virtual void set_item_icon_source(int index, IconSource source) {
        set_item_icon(index, source());
    }

    // Appends many items at once (the engine file may hold hundreds of thousands of lines);
    // an implementation may override it to batch the widget's updates.
    // Sets the checkbox of every item to `state` (1 ticked, 0 unticked); "全选" and "不选" on a
    // list of a hundred thousand engines. An implementation may override it to batch the
    // widget's updates.
    virtual void set_all_check_states(int state) {
        for (int i = 0; i < item_count(); ++i) set_check_state(i, state);
    }

    virtual void add_items(std::span<const EngineTreeItem> items) {
        for (const EngineTreeItem& item : items) {
            int index = add_item(item.text);
            set_check_state(index, item.ticked ? 1 : 0);
        }
    }
};

}  // namespace trasslo
