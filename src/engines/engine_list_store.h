// Saving the window's engine list into a file that other programs change too: a
// `trasslo-cli import` made while the window is open appends engines to the file, and the
// window, saving the list it read, would drop them. Under the lock on the file's folder the save
// reads the file again and keeps what another program added since the list was read.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "engines/trace_engine.h"
#include "text/local_text.h"

namespace trasslo {

// The file's text as this program last read or wrote it: what tells the engines another
// program added since from the ones this program deleted.
struct EngineListBaseline {
    LocalText text;
};

// Reads the engine list file of `program_folder` as read_engine_list_file does (the eight
// defaults when it yields no line) and notes in `baseline` the text it read.
std::vector<TraceEngine> read_engine_list_file(const std::filesystem::path& program_folder,
                                               EngineListBaseline& baseline);

// The engines of `on_disk` that another program added: neither in `baseline` nor, by the
// import's normal form, in `baseline` or `engines`; one of each normal form, in file order.
std::vector<TraceEngine> engines_added_elsewhere(const std::vector<TraceEngine>& engines,
                                                 const std::vector<TraceEngine>& on_disk,
                                                 const EngineListBaseline& baseline);

struct EngineListSave {
    bool written = false;
    std::vector<TraceEngine> merged;  // appended to the list: added by another program
};

// Holding the lock on the file's folder: reads the file of `program_folder` again, appends to
// `engines` the engines another program added since `baseline` (engines_added_elsewhere), and
// writes the list atomically. The engines deleted here stay deleted and the ticks here stand.
// On success the baseline becomes the text written.
EngineListSave save_engine_list_merged(std::vector<TraceEngine>& engines,
                                       const std::filesystem::path& program_folder,
                                       EngineListBaseline& baseline);

}  // namespace trasslo
