// The engine list: the ordered trace engines a run visits, mirrored item for item by the engine
// tree, and every operation that changes it. All of it runs on the user-interface thread.
//
// After every operation below: the tree has one item per engine, in the same order; item i
// shows engine_item_text(engines[i]); and item i is ticked exactly when engines[i] is enabled.
#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "engines/engine_list_store.h"
#include "engines/engine_tree.h"
#include "engines/trace_engine.h"

namespace trasslo {

struct EngineList {
    std::vector<TraceEngine> engines;
    // The item that was current at the end of the previous selection change: one end of a
    // Shift range.
    int anchor = 0;
    // The file as the list last read or saved it: a save keeps what others added since.
    EngineListBaseline baseline;
};

// The process-wide list, empty until load_engine_list fills it.
EngineList& engine_list();

// Replaces the list's contents with the engine list file of `program_folder` (or the eight
// defaults when the file yields no line) and fills the tree with their items.
void load_engine_list(EngineList& list, EngineTree& tree,
                      const std::filesystem::path& program_folder);

// Writes the list to the engine list file of `program_folder`, atomically. False when the write
// failed and the old file was left as it was; the window ignores it and shows nothing.
bool save_engine_list(const EngineList& list, const std::filesystem::path& program_folder);

// The window's save: writes the list as save_engine_list does, after appending to it (and to
// the tree) the engines another program added to the file since the list read or saved it
// (save_engine_list_merged).
EngineListSave save_engine_list_merged(EngineList& list, EngineTree& tree,
                                       const std::filesystem::path& program_folder);

// Appends an enabled copy of `engine` with a ticked item and makes that item current.
void add_engine(EngineList& list, EngineTree& tree, const TraceEngine& engine);

// Appends `engines` with ticked items in one batch (an import may bring thousands), leaving the
// current item alone; their flags are set to agree with the ticks.
void append_engines(EngineList& list, EngineTree& tree, std::vector<TraceEngine> engines);

// Inserts a copy of `engine` before the current item (first when there is none), rebuilds the
// tree from the list and makes the new item current.
void insert_engine(EngineList& list, EngineTree& tree, const TraceEngine& engine);

// Removes the current engine and its item, then makes current the item that took its place, or
// the new last one (none when the list became empty). Without a current item: nothing.
void delete_current_engine(EngineList& list, EngineTree& tree);

// Ticks (true) or unticks (false) every item and sets each engine's flag from its checkbox.
void tick_all_engines(EngineList& list, EngineTree& tree, bool ticked);

// The user changed the checkbox of `item` (-1 when the tree cannot tell): that engine, and the
// engine of the current item, take their checkbox state as enabled flag.
void on_engine_checkbox_changed(EngineList& list, EngineTree& tree, int item = -1);

// Called with the engine of the new current item while the add-engine dialog is open, so that
// the dialog can show it.
using EngineSelectedSink = std::function<void(const TraceEngine&)>;

// The tree's current item became `current` (-1: none, nothing happens). Shows the engine in the
// add-engine dialog through `show_in_dialog` when given. Unless a run is active: with Shift held
// the range from the anchor to `current` is ticked, every other tick being cleared unless Ctrl is
// held too; with only Ctrl held `current` is ticked (never unticked). Then the anchor moves to
// `current`; during a run (`run_on`) the anchor stays.
void on_current_engine_changed(EngineList& list, EngineTree& tree, int current, bool run_on,
                               const EngineSelectedSink& show_in_dialog = {});

}  // namespace trasslo
