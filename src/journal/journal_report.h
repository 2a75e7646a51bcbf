// Reports of the journal's visits, for spreadsheets and scripts. CSV: RFC 4180 with CR LF,
// UTF-8 with a byte-order mark (so that Excel and WPS read it as UTF-8), a header line of the
// columns below. JSON Lines: one object per visit with the same names, numbers as numbers,
// echoed and noindex as booleans, LF after each. Rows are streamed from SQLite, so a report of
// any size is written in constant memory.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal.h"

namespace trasslo {

enum class ReportFormat { csv, jsonl };

// The columns, in order: run, round, keyword, engine, address, status, final_address, attempts,
// elapsed_ms, bytes, charset, title, echoed, noindex, error.
const std::array<std::string_view, 16>& report_columns();

// The format a report file's name asks for: ".csv" or ".jsonl" (ASCII case folded).
std::optional<ReportFormat> report_format_of(std::string_view file_name);

// The CSV rules every report of the program follows, for the reports made elsewhere (the engine
// check's): a field is quoted, its quotes doubled, when it holds a comma, a quote or a line
// break; the file starts with the byte-order mark and the header line; lines end in CR LF.
void append_csv_field(std::string& out, std::string_view text);
std::string csv_report_head(const std::vector<std::string_view>& columns);

// Writes what goes before the rows: the CSV's byte-order mark and header line; nothing for
// JSON Lines. `journal_column` adds the column "journal" at the end, for reports that join the
// journals of several shards.
void write_report_start(ReportFormat format, std::FILE* out, bool journal_column = false);

// Writes the visits of `run` (of every run when nothing) in the order the run planned them.
// False, with `error` set, when the journal could not be read or `out` not written. With
// `journal_name`, every row ends with it in the column "journal".
bool write_report_rows(Journal& journal, std::optional<std::int64_t> run, ReportFormat format,
                       std::FILE* out, std::string& error,
                       const std::string* journal_name = nullptr);

// A whole report of `run` (every run when nothing) in the file `file`, replaced if it exists.
// False, with `error` naming the file and the reason, when it could not be written.
bool write_report_file(Journal& journal, std::optional<std::int64_t> run, ReportFormat format,
                       const std::filesystem::path& file, std::string& error);

}  // namespace trasslo
