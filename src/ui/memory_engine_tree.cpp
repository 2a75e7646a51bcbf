#include "ui/memory_engine_tree.h"

namespace trasslo {

int MemoryEngineTree::add_item(std::string_view text) {
    items_.push_back(Item{LocalText(text), 0, {}});
    return item_count() - 1;
}

void MemoryEngineTree::add_items(std::span<const EngineTreeItem> items) {
    items_.reserve(items_.size() + items.size());
    for (const EngineTreeItem& item : items) {
        items_.push_back(Item{item.text, item.ticked ? 1 : 0, {}});
    }
}

void MemoryEngineTree::remove_item(int index) {
    if (!valid(index)) return;
    items_.erase(items_.begin() + index);
    // The window's tree loses its selection with the item; one behind it stays selected.
    if (current_ == index) {
        current_ = -1;
    } else if (current_ > index) {
        --current_;
    }
}

void MemoryEngineTree::clear_items() {
    items_.clear();
    current_ = -1;
}

int MemoryEngineTree::item_count() const {
    return static_cast<int>(items_.size());
}

LocalText MemoryEngineTree::item_text(int index) const {
    return valid(index) ? items_[static_cast<size_t>(index)].text : LocalText();
}

int MemoryEngineTree::check_state(int index) const {
    return valid(index) ? items_[static_cast<size_t>(index)].state : 0;
}

void MemoryEngineTree::set_check_state(int index, int state) {
    if (valid(index)) items_[static_cast<size_t>(index)].state = state == 1 ? 1 : 0;
}

int MemoryEngineTree::current_item() const {
    return current_;
}

void MemoryEngineTree::set_current_item(int index) {
    current_ = valid(index) ? index : -1;
}

void MemoryEngineTree::set_item_icon(int index, const ByteBuffer& icon_file) {
    if (valid(index)) items_[static_cast<size_t>(index)].icon = icon_file;
}

const ByteBuffer& MemoryEngineTree::item_icon(int index) const {
    static const ByteBuffer none;
    return valid(index) ? items_[static_cast<size_t>(index)].icon : none;
}

void MemoryEngineTree::user_select(int index) {
    set_current_item(index);
    if (on_current_changed) on_current_changed(current_);
}

void MemoryEngineTree::user_toggle_checkbox(int index) {
    if (!valid(index)) return;
    Item& item = items_[static_cast<size_t>(index)];
    item.state = item.state == 1 ? 0 : 1;
    if (on_checkbox_changed) on_checkbox_changed(index);
}

}  // namespace trasslo
