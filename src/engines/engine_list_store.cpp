#include "engines/engine_list_store.h"

#include <string_view>
#include <unordered_set>

#include "base/event_pump.h"
#include "engines/engine_list_file.h"
#include "engines/template_normal_form.h"
#include "files/atomic_file.h"
#include "files/folder_lock.h"

namespace trasslo {

std::vector<TraceEngine> read_engine_list_file(const std::filesystem::path& program_folder,
                                               EngineListBaseline& baseline) {
    baseline.text = read_engine_list_file_text(program_folder);
    std::vector<TraceEngine> engines = parse_engine_list_text(baseline.text);
    if (engines.empty()) engines = parse_engine_list_text(default_engine_list_text());
    return engines;
}

std::vector<TraceEngine> engines_added_elsewhere(const std::vector<TraceEngine>& engines,
                                                 const std::vector<TraceEngine>& on_disk,
                                                 const EngineListBaseline& baseline) {
    // Most engines of the file are the ones read: their address is enough. Only the rest are
    // compared by normal form, which costs more.
    const std::vector<TraceEngine> known = parse_engine_list_text(baseline.text);
    std::unordered_set<std::string_view> known_addresses;
    known_addresses.reserve(known.size());
    for (const TraceEngine& engine : known) known_addresses.insert(engine.address);
    std::vector<const TraceEngine*> unknown;
    for (const TraceEngine& engine : on_disk)
        if (!known_addresses.contains(engine.address)) unknown.push_back(&engine);
    if (unknown.empty()) return {};

    std::unordered_set<LocalText> forms;
    forms.reserve(known.size() + engines.size() + unknown.size());
    for (const auto* list : {&known, &engines})
        for (const TraceEngine& engine : *list) forms.insert(template_normal_form(engine.address));
    std::vector<TraceEngine> added;
    for (const TraceEngine* engine : unknown)
        if (forms.insert(template_normal_form(engine->address)).second) added.push_back(*engine);
    return added;
}

EngineListSave save_engine_list_merged(std::vector<TraceEngine>& engines,
                                       const std::filesystem::path& program_folder,
                                       EngineListBaseline& baseline) {
    EngineListSave save;
    const std::filesystem::path file = engine_list_file_path(program_folder);
    // From reading the file again to replacing it, no other program changes it.
    const FolderLock lock(folder_of(file));
    LocalText now;
    run_beside([&] { now = read_engine_list_file_text(program_folder); });
    if (now != baseline.text) {
        save.merged = engines_added_elsewhere(engines, parse_engine_list_text(now), baseline);
        engines.insert(engines.end(), save.merged.begin(), save.merged.end());
    }
    LocalText text = format_engine_list_text(engines);
    run_beside([&] { save.written = replace_file_atomically(file, text); });
    if (save.written) baseline.text = std::move(text);
    return save;
}

}  // namespace trasslo
