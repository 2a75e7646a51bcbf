// What trasslo-cli warns about on standard error before it goes on: option values that are read
// otherwise than they were written, and engine list lines that are not in the file's form. The
// values and lines are still used exactly as the window would use them; the warning only says so.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engines/trace_engine.h"

namespace trasslo::cli {

// For --rounds TEXT when it is not a positive whole number: the warning naming the rounds run.
std::optional<std::string> rounds_warning(std::string_view text);

// For --interval TEXT when it is not a number of seconds of zero or more: the warning naming the
// pause made after each visit.
std::optional<std::string> interval_warning(std::string_view text);

// One warning per line of the engine list `file` (its local text, lines at CR LF) that is not of
// the form "真|code|name|address" or "假|code|name|address", with its line number.
std::vector<std::string> engine_line_warnings(const std::string& file, std::string_view text);

// The warnings about the keywords (lines at CR LF) of a run on `engines`: once per keyword with
// characters GBK lacks when a ticked engine is GBK, naming it and what that engine gets; once
// per keyword whose address would be longer than any site takes, by its line, which is then not
// visited.
std::vector<std::string> keyword_warnings(std::string_view keyword_list_text,
                                          const std::vector<TraceEngine>& engines);

}  // namespace trasslo::cli
