// The journal's report as one self-contained HTML page: a header (when, where, engines,
// keywords), a summary, a chart as inline SVG (outcomes per engine for chosen runs, traces and
// failures per day across all runs), the per-engine statistics and the visits. It loads nothing
// from elsewhere and prints well. The chart and the statistics cover every visit; the visits
// table stops after a limit, with a line that says so.
#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "journal/journal_stats.h"

namespace trasslo {

struct HtmlReportOptions {
    bool by_day = false;            // the chart per day (every run) rather than per engine
    std::size_t visit_rows = 1000;  // the visits listed at most
};

// The Chinese name of a visit's error: "超时" for "timeout"; the name itself when unknown.
std::string_view error_label(std::string_view error_name);

// Writes the page for `selections` to `out`. False, with `error` set, when a journal could not
// be read or `out` not written.
bool write_html_report(std::span<const JournalSelection> selections,
                       const HtmlReportOptions& options, std::FILE* out, std::string& error);

}  // namespace trasslo
