// The import's line reader on any file, with its promise: whatever it imports, written out and
// read back through the engine list file, gives the same engines, and dedupe finds no
// duplicate among what the import let in.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engines/engine_import.h"
#include "engines/engine_list_file.h"
#include "engines/template_normal_form.h"
#include "fuzz_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const std::vector<trasslo::TraceEngine> existing =
        trasslo::parse_engine_list_text(trasslo::default_engine_list_text());

    const std::vector<trasslo::LocalText> texts = {trasslo::import_file_text(bytes)};
    const trasslo::ImportReport report =
        trasslo::import_engines(existing, texts, trasslo::ImportOptions{});
    std::vector<trasslo::TraceEngine> all = existing;
    all.insert(all.end(), report.engines.begin(), report.engines.end());

    const auto& folder = trasslo::fuzz::fuzz_folder();
    if (!trasslo::write_engine_list_file(folder, all)) __builtin_trap();
    const std::vector<trasslo::TraceEngine> back = trasslo::read_engine_list_file(folder);
    if (back != all) __builtin_trap();
    if (!trasslo::duplicate_engine_groups(back).empty()) __builtin_trap();
    return 0;
}
