// An engine tree held in memory, for the command-line front end and the tests. Besides the
// program's own operations it offers the user's: selecting an item and clicking a checkbox,
// which report to the installed callbacks the way the window's tree reports to the core.
#pragma once

#include <functional>
#include <vector>

#include "engines/engine_tree.h"

namespace trasslo {

class MemoryEngineTree : public EngineTree {
  public:
    int add_item(std::string_view text) override;
    void remove_item(int index) override;
    void clear_items() override;
    int item_count() const override;
    LocalText item_text(int index) const override;
    int check_state(int index) const override;
    void set_check_state(int index, int state) override;
    int current_item() const override;
    void set_current_item(int index) override;
    void set_item_icon(int index, const ByteBuffer& icon_file) override;
    void add_items(std::span<const EngineTreeItem> items) override;

    // The icon bytes last given to the item; empty when none (or out of range).
    const ByteBuffer& item_icon(int index) const;

    // The user's actions: select an item (reports the new current index) and toggle an item's
    // checkbox (reports the item).
    std::function<void(int current)> on_current_changed;
    std::function<void(int item)> on_checkbox_changed;
    void user_select(int index);
    void user_toggle_checkbox(int index);

  private:
    struct Item {
        LocalText text;
        int state = 0;
        ByteBuffer icon;
    };
    bool valid(int index) const { return index >= 0 && index < item_count(); }
    std::vector<Item> items_;
    int current_ = -1;
};

}  // namespace trasslo
