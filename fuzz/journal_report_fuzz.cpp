// A damaged journal opened for a report, with a killed process's visit log beside it: the
// report is made or refused with a reason, and nothing is written, set aside or removed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_folder.h"
#include "fuzz_input.h"
#include "journal/journal.h"
#include "journal/journal_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const std::string_view log = in.piece();
    const std::string_view bytes = in.rest();

    namespace fs = std::filesystem;
    const fs::path& folder = trasslo::fuzz::fuzz_folder();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) fs::remove(entry.path(), ec);
    const fs::path file = folder / "j.db";
    const fs::path dead = folder / "j.db-visits-999999999.log";
    trasslo::fuzz::write_whole_file(file, bytes);
    trasslo::fuzz::write_whole_file(dead, log);

    {
        std::string error;
        const auto journal = trasslo::Journal::open(file, trasslo::Journal::Mode::read, error);
        if (journal) {
            journal->runs();
            journal->latest_unfinished_run();
            std::FILE* out = std::fopen("/dev/null", "w");
            for (const auto format : {trasslo::ReportFormat::csv, trasslo::ReportFormat::jsonl}) {
                trasslo::write_report_start(format, out);
                trasslo::write_report_rows(*journal, std::nullopt, format, out, error);
            }
            std::fclose(out);
        } else if (error.empty()) {
            __builtin_trap();
        }
    }
    if (trasslo::fuzz::read_whole_file(file) != bytes) __builtin_trap();
    if (trasslo::fuzz::read_whole_file(dead) != log) __builtin_trap();
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name != "j.db" && name != "j.db-wal" && name != "j.db-shm" && entry.path() != dead)
            __builtin_trap();
    }
    return 0;
}
