#include "journal/journal_html_report.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <set>

namespace trasslo {
namespace {

// Fonts that carry Chinese on each desktop, then the generic family.
constexpr const char* kStyle = R"css(
body{font-family:"PingFang SC","Hiragino Sans GB","Microsoft YaHei","Noto Sans CJK SC",
"Source Han Sans SC","WenQuanYi Micro Hei","WenQuanYi Zen Hei",sans-serif;color:#222;
margin:24px;font-size:14px;line-height:1.5}
h1{font-size:22px;margin:0 0 12px}h2{font-size:17px;margin:24px 0 8px;border-bottom:1px solid #ccc}
dl{display:grid;grid-template-columns:max-content 1fr;gap:2px 12px;margin:0}dt{color:#666}dd{margin:0}
table{border-collapse:collapse;width:100%;font-size:13px}
th,td{border:1px solid #ddd;padding:3px 6px;text-align:left;vertical-align:top;word-break:break-all}
th{background:#f2f2f2}td.n{text-align:right;white-space:nowrap}
thead{display:table-header-group}tr{page-break-inside:avoid}
.summary span{display:inline-block;margin-right:18px}.summary b{font-size:18px}
svg{max-width:100%;height:auto}svg text{font-family:inherit;font-size:12px;fill:#333}
.note{color:#666}
@media print{body{margin:0}h2{page-break-after:avoid}svg{page-break-inside:avoid}}
)css";

struct ErrorName {
    std::string_view name, label, colour;
};
constexpr std::array<ErrorName, 9> kErrors = {{
    {"dns", "域名无法解析", "#8e44ad"},
    {"connect", "无法连接", "#c0392b"},
    {"tls", "证书错误", "#d35400"},
    {"timeout", "超时", "#e67e22"},
    {"too-large", "网页过大", "#7f8c8d"},
    {"redirect-loop", "跳转循环", "#16a085"},
    {"http", "网页错误", "#e74c3c"},
    {"rate-limited", "被限速", "#f1c40f"},
    {"site-down", "网站不可用", "#34495e"},
}};
constexpr const char* kEchoedColour = "#1e8449";
constexpr const char* kTraceColour = "#82e0aa";
constexpr const char* kOtherColour = "#bbbbbb";

std::string_view error_colour(std::string_view name) {
    for (const ErrorName& e : kErrors)
        if (e.name == name) return e.colour;
    return "#555555";
}

void append_escaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

std::string escaped(std::string_view text) {
    std::string out;
    append_escaped(out, text);
    return out;
}

std::string number(std::int64_t n) {
    return std::to_string(n);
}

// The runs a selection takes, for the header.
struct RunLine {
    std::int64_t id = 0, started_ms = 0, ended_ms = 0;
    std::string source, state;
};

std::string state_label(std::string_view state) {
    if (state == "finished") return "已完成";
    if (state == "stopped") return "已停止";
    return "进行中";
}

bool read_runs(const JournalSelection& s, std::vector<RunLine>& runs,
               std::vector<std::string>& keywords, std::string& error) {
    const std::string where = selection_condition(s, "id");
    Statement query(s.journal->handle(),
                    "SELECT id, started_at, COALESCE(ended_at, 0), source, state, keywords FROM "
                    "runs" +
                        (where.empty() ? "" : " WHERE " + where) + " ORDER BY id");
    if (!query.valid()) {
        error = "无法读取留痕记录 " + s.journal->file().string();
        return false;
    }
    bind_selection(query, s);
    std::set<std::string> seen(keywords.begin(), keywords.end());
    while (query.step() == SQLITE_ROW) {
        runs.push_back(RunLine{query.integer(0), query.integer(1), query.integer(2),
                               std::string(query.text(3)), std::string(query.text(4))});
        const std::string_view list = query.blob(5);
        for (std::size_t start = 0; start < list.size();) {
            std::size_t end = list.find("\r\n", start);
            if (end == std::string_view::npos) end = list.size();
            std::string keyword = to_utf8(list.substr(start, end - start));
            if (!keyword.empty() && seen.insert(keyword).second) keywords.push_back(keyword);
            start = end + 2;
        }
    }
    return true;
}

constexpr std::size_t kKeywordsShown = 50;

void append_header(std::string& out, std::span<const JournalSelection> selections,
                   std::span<const EngineStats> stats, std::string& error, bool& ok) {
    out += "<h1>留痕报告</h1>\n<dl>\n";
    std::vector<std::string> keywords;
    for (const JournalSelection& s : selections) {
        std::vector<RunLine> runs;
        if (!read_runs(s, runs, keywords, error)) {
            ok = false;
            return;
        }
        out += "<dt>留痕记录</dt><dd>" + escaped(s.journal->file().string()) + "</dd>\n";
        if (runs.size() == 1) {
            const RunLine& r = runs.front();
            out += "<dt>留痕</dt><dd>第 " + number(r.id) + " 次（" + escaped(r.source) + "，" +
                   state_label(r.state) + "）</dd>\n<dt>时间</dt><dd>" +
                   local_time_text(r.started_ms) +
                   (r.ended_ms ? " 至 " + local_time_text(r.ended_ms) : std::string()) + "</dd>\n";
        } else if (!runs.empty()) {
            out +=
                "<dt>留痕</dt><dd>共 " + number(static_cast<std::int64_t>(runs.size())) +
                " 次</dd>\n<dt>时间</dt><dd>" + local_time_text(runs.front().started_ms) + " 至 " +
                local_time_text(std::max(runs.back().ended_ms, runs.back().started_ms)) + "</dd>\n";
        } else {
            out += "<dt>留痕</dt><dd>（无）</dd>\n";
        }
    }
    out += "<dt>引擎</dt><dd>";
    for (std::size_t i = 0; i < stats.size(); ++i)
        out += (i ? "、" : "") + escaped(stats[i].engine);
    if (stats.empty()) out += "（无）";
    out += "</dd>\n<dt>关键词</dt><dd>";
    for (std::size_t i = 0; i < keywords.size() && i < kKeywordsShown; ++i)
        out += (i ? "、" : "") + escaped(keywords[i]);
    if (keywords.size() > kKeywordsShown)
        out += " 等 " + number(static_cast<std::int64_t>(keywords.size())) + " 个";
    if (keywords.empty()) out += "（无）";
    out += "</dd>\n<dt>生成时间</dt><dd>" +
           local_time_text(static_cast<std::int64_t>(std::time(nullptr)) * 1000) + "</dd>\n</dl>\n";
}

void append_summary(std::string& out, std::span<const EngineStats> stats) {
    EngineStats all;
    for (const EngineStats& row : stats) {
        all.visits += row.visits;
        all.traces += row.traces;
        all.echoed += row.echoed;
        all.failed += row.failed;
        for (const auto& [name, count] : row.failures) all.failures[name] += count;
    }
    out += "<h2>概要</h2>\n<p class=\"summary\"><span>访问 <b>" + number(all.visits) +
           "</b></span><span>留痕 <b>" + number(all.traces) + "</b></span><span>显示关键词 <b>" +
           number(all.echoed) + "</b></span><span>失败 <b>" + number(all.failed) +
           "</b></span><span>成功率 <b>" + rate_text(all.trace_rate()) + "</b></span></p>\n";
    if (all.failures.empty()) return;
    out += "<p>失败原因：";
    bool first = true;
    for (const auto& [name, count] : all.failures) {
        out += std::string(first ? "" : "；") + escaped(error_label(name)) + " " + number(count);
        first = false;
    }
    out += "</p>\n";
}

void legend_item(std::string& out, int& x, int y, std::string_view colour, std::string_view text) {
    out += "<rect x=\"" + number(x) + "\" y=\"" + number(y) +
           "\" width=\"12\" height=\"12\" fill=\"" + std::string(colour) + "\"/><text x=\"" +
           number(x + 16) + "\" y=\"" + number(y + 11) + "\">" + escaped(text) + "</text>";
    x += 30 + static_cast<int>(text.size()) * 5;
}

// Stacked horizontal bars, one per engine: traces that showed the keyword, the other traces,
// failures by reason, and whatever else (a page answered outside 200 to 399 without an error).
void append_engine_chart(std::string& out, std::span<const EngineStats> stats) {
    constexpr int kLabel = 220, kBar = 620, kRow = 22, kTop = 30;
    const int height = kTop + static_cast<int>(stats.size()) * kRow + 10;
    std::int64_t most = 1;
    std::set<std::string> reasons;
    for (const EngineStats& row : stats) {
        most = std::max(most, row.visits);
        for (const auto& [name, count] : row.failures) reasons.insert(name);
    }
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kLabel + kBar + 80) +
           "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(kLabel + kBar + 80) +
           " " + number(height) + "\" role=\"img\" aria-label=\"各引擎的访问结果\">";
    int x = 0;
    legend_item(out, x, 4, kEchoedColour, "显示关键词的留痕");
    legend_item(out, x, 4, kTraceColour, "留痕");
    for (const std::string& reason : reasons)
        legend_item(out, x, 4, error_colour(reason), error_label(reason));
    legend_item(out, x, 4, kOtherColour, "其他");
    int y = kTop;
    for (const EngineStats& row : stats) {
        out += "<text x=\"" + number(kLabel - 6) + "\" y=\"" + number(y + 14) +
               "\" text-anchor=\"end\">" + escaped(row.engine) + "</text>";
        double at = kLabel;
        const auto segment = [&](std::int64_t count, std::string_view colour,
                                 std::string_view what) {
            if (count <= 0) return;
            const double width = static_cast<double>(count) * kBar / static_cast<double>(most);
            out += "<rect x=\"" + std::to_string(at) + "\" y=\"" + number(y + 3) + "\" width=\"" +
                   std::to_string(width) + "\" height=\"16\" fill=\"" + std::string(colour) +
                   "\"><title>" + escaped(row.engine) + "：" + escaped(what) + " " + number(count) +
                   "</title></rect>";
            at += width;
        };
        segment(row.echoed, kEchoedColour, "显示关键词的留痕");
        segment(row.traces - row.echoed, kTraceColour, "留痕");
        for (const auto& [name, count] : row.failures)
            segment(count, error_colour(name), error_label(name));
        segment(row.visits - row.traces - row.failed, kOtherColour, "其他");
        out += "<text x=\"" + std::to_string(at + 4) + "\" y=\"" + number(y + 14) + "\">" +
               number(row.visits) + "</text>";
        y += kRow;
    }
    out += "</svg>\n";
}

// Two bars a day, traces and failures, against a scale of round steps.
void append_day_chart(std::string& out, std::span<const DayCounts> days) {
    constexpr int kLeft = 60, kWidth = 840, kPlot = 260, kTop = 30, kBottom = 60;
    std::int64_t most = 1;
    for (const DayCounts& day : days) most = std::max({most, day.traces, day.failed});
    std::int64_t step = 1;
    while (most / step > 5) step *= (std::to_string(step)[0] == '2') ? 5 : 2;
    const std::int64_t top = (most + step - 1) / step * step;
    const int height = kTop + kPlot + kBottom;
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kLeft + kWidth + 20) +
           "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(kLeft + kWidth + 20) +
           " " + number(height) + "\" role=\"img\" aria-label=\"每天的留痕和失败\">";
    int x = kLeft;
    legend_item(out, x, 4, kEchoedColour, "留痕");
    legend_item(out, x, 4, error_colour("connect"), "失败");
    const auto y_of = [&](std::int64_t value) {
        return kTop + kPlot - static_cast<double>(value) * kPlot / static_cast<double>(top);
    };
    for (std::int64_t tick = 0; tick <= top; tick += step) {
        const std::string y = std::to_string(y_of(tick));
        out += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kLeft + kWidth) + "\" y1=\"" +
               y + "\" y2=\"" + y + "\" stroke=\"#ddd\"/><text x=\"" + number(kLeft - 6) +
               "\" y=\"" + y + "\" text-anchor=\"end\" dominant-baseline=\"middle\">" +
               number(tick) + "</text>";
    }
    const double slot = days.empty() ? kWidth : static_cast<double>(kWidth) / days.size();
    const std::size_t label_every = std::max<std::size_t>(1, days.size() / 12);
    for (std::size_t i = 0; i < days.size(); ++i) {
        const DayCounts& day = days[i];
        const double left = kLeft + slot * i + slot * 0.1, bar = slot * 0.4;
        const auto bar_of = [&](double at, std::int64_t value, std::string_view colour,
                                std::string_view what) {
            out += "<rect x=\"" + std::to_string(at) + "\" y=\"" + std::to_string(y_of(value)) +
                   "\" width=\"" + std::to_string(bar) + "\" height=\"" +
                   std::to_string(kTop + kPlot - y_of(value)) + "\" fill=\"" + std::string(colour) +
                   "\"><title>" + day.day + " " + std::string(what) + " " + number(value) +
                   "</title></rect>";
        };
        bar_of(left, day.traces, kEchoedColour, "留痕");
        bar_of(left + bar, day.failed, error_colour("connect"), "失败");
        if (i % label_every == 0)
            out += "<text x=\"" + std::to_string(left + bar) + "\" y=\"" +
                   number(kTop + kPlot + 16) + "\" text-anchor=\"middle\">" + day.day.substr(5) +
                   "</text>";
    }
    out += "</svg>\n";
}

void append_stats_table(std::string& out, std::span<const EngineStats> stats) {
    out +=
        "<h2>各引擎</h2>\n<table><thead><tr><th>引擎</th><th>地址</th><th>访问</th>"
        "<th>留痕</th><th>显示关键词</th><th>失败</th><th>最多的失败原因</th>"
        "<th>最近访问</th><th>最近留痕</th><th>成功率</th></tr></thead><tbody>\n";
    for (const EngineStats& row : stats) {
        out += "<tr><td>" + escaped(row.engine) + "</td><td>" + escaped(row.address) + "</td>";
        for (std::int64_t count : {row.visits, row.traces, row.echoed, row.failed})
            out += "<td class=\"n\">" + number(count) + "</td>";
        const std::string top = row.top_error();
        out += "<td>" + (top.empty() ? std::string() : escaped(error_label(top))) + "</td><td>" +
               local_time_text(row.last_visit_ms) + "</td><td>" +
               local_time_text(row.last_trace_ms) + "</td><td class=\"n\">" +
               rate_text(row.trace_rate()) + "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

bool append_visits(std::string& out, std::span<const JournalSelection> selections,
                   std::int64_t total, std::size_t limit, std::string& error) {
    out += "<h2>访问</h2>\n";
    if (total > static_cast<std::int64_t>(limit))
        out += "<p class=\"note\">共 " + number(total) + " 次访问，这里只列出前 " +
               number(static_cast<std::int64_t>(limit)) + " 次；统计和图表包括全部访问。</p>\n";
    out +=
        "<table><thead><tr><th>留痕</th><th>轮</th><th>关键词</th><th>引擎</th><th>状态码</th>"
        "<th>结果</th><th>网页标题</th><th>时间</th></tr></thead><tbody>\n";
    std::size_t left = limit;
    for (const JournalSelection& s : selections) {
        if (left == 0) break;
        const std::string where = selection_condition(s, "run_id");
        Statement rows(s.journal->handle(),
                       "SELECT run_id, round, keyword, engine, status, error, echoed, title,"
                       " visited_at FROM visits" +
                           (where.empty() ? "" : " WHERE " + where) +
                           " ORDER BY run_id, round, keyword_index, engine_index LIMIT ?4");
        if (!rows.valid()) {
            error = "无法读取留痕记录 " + s.journal->file().string();
            return false;
        }
        bind_selection(rows, s);
        rows.bind(4, static_cast<std::int64_t>(left));
        while (rows.step() == SQLITE_ROW) {
            --left;
            const std::string error_name(rows.text(5));
            const long status = static_cast<long>(rows.integer(4));
            const bool trace = error_name.empty() && status >= 200 && status <= 399;
            std::string outcome = !error_name.empty() ? std::string(error_label(error_name))
                                  : !trace            ? "其他"
                                  : rows.integer(6)   ? "留痕，显示关键词"
                                                      : "留痕";
            out += "<tr><td class=\"n\">" + number(rows.integer(0)) + "</td><td class=\"n\">" +
                   number(rows.integer(1)) + "</td><td>" + escaped(rows.text(2)) + "</td><td>" +
                   escaped(rows.text(3)) + "</td><td class=\"n\">" + number(status) + "</td><td>" +
                   escaped(outcome) + "</td><td>" + escaped(rows.text(7)) + "</td><td>" +
                   local_time_text(rows.integer(8)) + "</td></tr>\n";
        }
    }
    out += "</tbody></table>\n";
    return true;
}

}  // namespace

std::string_view error_label(std::string_view error_name) {
    for (const ErrorName& e : kErrors)
        if (e.name == error_name) return e.label;
    return error_name;
}

bool write_html_report(std::span<const JournalSelection> selections,
                       const HtmlReportOptions& options, std::FILE* out, std::string& error) {
    const std::optional<std::vector<EngineStats>> stats = engine_stats(selections, error);
    if (!stats) return false;
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width\">\n<title>留痕报告</title>\n"
        "<style>";
    page += kStyle;
    page += "</style>\n</head>\n<body>\n";
    bool ok = true;
    append_header(page, selections, *stats, error, ok);
    if (!ok) return false;
    append_summary(page, *stats);
    if (options.by_day) {
        const std::optional<std::vector<DayCounts>> days = daily_counts(selections, error);
        if (!days) return false;
        page += "<h2>每天的留痕和失败</h2>\n";
        append_day_chart(page, *days);
    } else {
        page += "<h2>各引擎的访问结果</h2>\n";
        append_engine_chart(page, *stats);
    }
    append_stats_table(page, *stats);
    std::int64_t total = 0;
    for (const EngineStats& row : *stats) total += row.visits;
    if (!append_visits(page, selections, total, options.visit_rows, error)) return false;
    page += "</body>\n</html>\n";
    if (std::fwrite(page.data(), 1, page.size(), out) != page.size()) {
        error = "无法写出报告";
        return false;
    }
    return true;
}

}  // namespace trasslo
