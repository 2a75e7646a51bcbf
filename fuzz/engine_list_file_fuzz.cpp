// The engine list reader on any file, and the save-and-load round trip: what was loaded and
// saved loads back equal wherever the file format can hold it.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engines/engine_list_file.h"
#include "fuzz_folder.h"
#include "text/charset.h"
#include "text/local_text.h"

namespace {

using trasslo::TraceEngine;

// Whether formatting and reading back can give these engines again: a cut character at the end
// of the last field is the one thing the unescaped format loses.
bool representable(const std::vector<TraceEngine>& engines) {
    for (const TraceEngine& e : engines)
        if (trasslo::ends_with_cut_character(e.name) || trasslo::ends_with_cut_character(e.address))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The parser alone, and its inverse.
    const auto parsed = trasslo::parse_engine_list_text(bytes);
    const auto text = trasslo::format_engine_list_text(parsed);
    if (parsed.empty() != text.empty()) __builtin_trap();
    const auto reparsed = trasslo::parse_engine_list_text(text);
    if (reparsed.size() != parsed.size()) __builtin_trap();
    if (representable(parsed) && reparsed != parsed) __builtin_trap();

    // The file: whatever it holds, the list is never empty; saved and loaded, it comes back.
    const auto& folder = trasslo::fuzz::fuzz_folder();
    const auto file = trasslo::engine_list_file_path(folder);
    trasslo::fuzz::write_whole_file(file, bytes);
    const auto loaded = trasslo::read_engine_list_file(folder);
    if (loaded.empty()) __builtin_trap();
    if (!trasslo::write_engine_list_file(folder, loaded)) __builtin_trap();
    const auto saved = trasslo::format_engine_list_text(loaded);
    if (trasslo::fuzz::read_whole_file(file) != saved) __builtin_trap();
    const auto again = trasslo::read_engine_list_file(folder);
    // A name that declares a charset the way a web page does makes the reader take the file
    // for that charset; the round trip holds for every other list (the reader drops a character
    // cut off at the end of the file, so no loaded engine ends inside one).
    if (!trasslo::detect_meta_charset(saved).found && again != loaded) __builtin_trap();
    return 0;
}
