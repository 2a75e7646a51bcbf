// The link-address export: every address a trace pass would visit, written to a file the user
// chooses, one per line, keyword first and engine second, GBK with CR LF after every line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "engines/trace_engine.h"
#include "run/run_view.h"

namespace trasslo {

enum class ExportOutcome { cancelled, unwritable, written };

struct ExportReport {
    ExportOutcome outcome = ExportOutcome::cancelled;
    std::uint64_t count = 0;  // addresses written
    bool stopped = false;     // a stop was requested while the export ran
    int error_number = 0;     // why the file could not be written (errno), when unwritable
};

// The click handler of "导出外链地址": save dialog, file, addresses, final message. A stop request
// made while it runs ends it before the next keyword; a stop flag left set by an earlier stopped
// run does not. A file whose lines could not all be written (a full disk) is reported like one
// that cannot be opened, with the outcome `unwritable`.
ExportReport export_link_addresses(ExportView& view);

// The writing loop without dialog or messages: for each keyword (split at CR LF) a fresh
// snapshot from `engines`, one line per ticked engine to `out`. `keep_going` is asked before
// every keyword. Returns the number of addresses written. The errno of the first write that
// failed goes to `write_error` when given (it stays as it was when none failed).
std::uint64_t write_link_addresses(std::FILE* out, std::string_view keyword_list_text,
                                   const std::function<std::vector<TraceEngine>()>& engines,
                                   const std::function<bool()>& keep_going,
                                   int* write_error = nullptr);

}  // namespace trasslo
