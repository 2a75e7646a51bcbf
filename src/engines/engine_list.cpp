#include "engines/engine_list.h"

#include <algorithm>

#include "base/key_state.h"
#include "engines/engine_list_file.h"

namespace trasslo {
namespace {

bool in_range(const EngineList& list, int index) {
    return index >= 0 && static_cast<size_t>(index) < list.engines.size();
}

// Refills the tree from the list: one item per engine, its checkbox set to the engine's flag.
void fill_tree(const std::vector<TraceEngine>& engines, EngineTree& tree) {
    std::vector<EngineTreeItem> items;
    items.reserve(engines.size());
    for (const TraceEngine& engine : engines) {
        items.push_back(EngineTreeItem{engine_item_text(engine), engine.enabled});
    }
    tree.add_items(items);
}

// Sets item `index`'s checkbox and takes the state the tree reports back as the engine's flag.
void tick(EngineList& list, EngineTree& tree, int index, bool ticked) {
    tree.set_check_state(index, ticked ? 1 : 0);
    list.engines[static_cast<size_t>(index)].enabled = tree.check_state(index) == 1;
}

}  // namespace

EngineList& engine_list() {
    static EngineList list;
    return list;
}

void load_engine_list(EngineList& list, EngineTree& tree,
                      const std::filesystem::path& program_folder) {
    list.engines = read_engine_list_file(program_folder, list.baseline);
    list.anchor = 0;
    tree.clear_items();
    fill_tree(list.engines, tree);
}

bool save_engine_list(const EngineList& list, const std::filesystem::path& program_folder) {
    return write_engine_list_file(program_folder, list.engines);
}

EngineListSave save_engine_list_merged(EngineList& list, EngineTree& tree,
                                       const std::filesystem::path& program_folder) {
    EngineListSave save = save_engine_list_merged(list.engines, program_folder, list.baseline);
    fill_tree(save.merged, tree);
    return save;
}

void add_engine(EngineList& list, EngineTree& tree, const TraceEngine& engine) {
    TraceEngine added = engine;
    added.enabled = true;  // the item is added ticked; the flag must agree with it
    const LocalText text = engine_item_text(added);
    list.engines.push_back(std::move(added));
    const int index = tree.add_item(text);
    tree.set_current_item(index);
    tree.set_check_state(index, 1);
}

void append_engines(EngineList& list, EngineTree& tree, std::vector<TraceEngine> engines) {
    for (TraceEngine& engine : engines) engine.enabled = true;
    fill_tree(engines, tree);
    list.engines.insert(list.engines.end(), std::make_move_iterator(engines.begin()),
                        std::make_move_iterator(engines.end()));
}

void insert_engine(EngineList& list, EngineTree& tree, const TraceEngine& engine) {
    int at = tree.current_item();
    if (at < 0) at = 0;
    at = std::min(at, static_cast<int>(list.engines.size()));
    list.engines.insert(list.engines.begin() + at, engine);
    tree.clear_items();
    fill_tree(list.engines, tree);
    tree.set_current_item(at);
}

void delete_current_engine(EngineList& list, EngineTree& tree) {
    const int at = tree.current_item();
    if (!in_range(list, at)) return;
    list.engines.erase(list.engines.begin() + at);
    tree.remove_item(at);
    const int count = static_cast<int>(list.engines.size());
    tree.set_current_item(at < count ? at : count - 1);
}

void tick_all_engines(EngineList& list, EngineTree& tree, bool ticked) {
    for (TraceEngine& engine : list.engines) engine.enabled = ticked;
    tree.set_all_check_states(ticked ? 1 : 0);
}

void on_engine_checkbox_changed(EngineList& list, EngineTree& tree, int item) {
    for (int index : {item, tree.current_item()}) {
        if (in_range(list, index)) {
            list.engines[static_cast<size_t>(index)].enabled = tree.check_state(index) == 1;
        }
    }
}

void on_current_engine_changed(EngineList& list, EngineTree& tree, int current, bool run_on,
                               const EngineSelectedSink& show_in_dialog) {
    if (!in_range(list, current)) return;
    if (show_in_dialog) show_in_dialog(list.engines[static_cast<size_t>(current)]);
    if (run_on) return;

    if (is_key_held(ModifierKey::shift)) {
        if (!is_key_held(ModifierKey::ctrl)) {
            for (int i = 0; i < static_cast<int>(list.engines.size()); ++i) {
                if (tree.check_state(i) == 1) tick(list, tree, i, false);
            }
        }
        // The anchor may point past the end after deletions; the range stops at the last item.
        const int last = static_cast<int>(list.engines.size()) - 1;
        const int from = std::clamp(std::min(list.anchor, current), 0, last);
        const int to = std::clamp(std::max(list.anchor, current), 0, last);
        for (int i = from; i <= to; ++i) tick(list, tree, i, true);
    } else if (is_key_held(ModifierKey::ctrl)) {
        tick(list, tree, current, true);
    }
    list.anchor = current;
}

}  // namespace trasslo
