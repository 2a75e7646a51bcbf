// The report of an engine check, for spreadsheets: CSV by the rules of every report of the
// program (journal/journal_report.h), one row per engine checked, in the columns
// engine,address,verdict,status,final_address,charset,echoed,noindex,robots,suggested_encoding,
// elapsed_ms,title. `address` is the engine's address template, `echoed`, `noindex` are 0 or 1.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "check/engine_check.h"

namespace trasslo {

const std::vector<std::string_view>& check_report_columns();

// One row, with its CR LF.
std::string check_report_row(const EngineCheck& check);

// The whole report in `file`, replaced if it exists; false, with `error` naming the file and
// the reason (UTF-8), when it could not be written.
bool write_check_report(const std::filesystem::path& file, const std::vector<EngineCheck>& checks,
                        std::string& error);

}  // namespace trasslo
