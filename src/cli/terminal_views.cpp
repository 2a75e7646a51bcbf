#include "cli/terminal_views.h"

#include <unistd.h>

#include "run/trace_run.h"

namespace trasslo::cli {

std::string terminal_line(std::string_view local_text) {
    std::string line = to_utf8(local_text);
    for (char& c : line)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return line;
}

std::string progress_bar_text(int position, int maximum) {
    constexpr int width = 30;
    const int filled =
        maximum > 0 ? static_cast<int>(static_cast<long long>(width) * position / maximum) : 0;
    std::string bar = "\r[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    bar += "] " + std::to_string(position) + "/" + std::to_string(maximum);
    return bar;
}

void ProgressLine::draw(const std::string& bar) {
    std::fputs((bar + "\x1b[K").c_str(), err_);
    std::fflush(err_);
    drawn_ = true;
}

void ProgressLine::clear() {
    if (!drawn_) return;
    std::fputs("\r\x1b[K", err_);
    std::fflush(err_);
    drawn_ = false;
}

Terminal standard_terminal() {
    Terminal t;
    t.progress_bar = ::isatty(STDERR_FILENO) == 1;
    return t;
}

TerminalRunView::TerminalRunView(Terminal terminal, std::vector<TraceEngine> engines,
                                 LocalText keywords, LocalText rounds, LocalText interval)
    : terminal_(terminal),
      engines_(std::move(engines)),
      keywords_(std::move(keywords)),
      rounds_(std::move(rounds)),
      interval_(std::move(interval)),
      caption_(idle_start_caption()) {}

void TerminalRunView::draw_bar() {
    if (!terminal_.progress_bar || !bar_visible_ || maximum_ <= 0) return;
    std::string bar = progress_bar_text(position_, maximum_);
    if (round_ > 0)
        bar += " 第 " + std::to_string(round_) + "/" + std::to_string(rounds_total_) + " 轮";
    bar_.draw(bar);
}

void TerminalRunView::clear_bar() {
    bar_.clear();
}

void TerminalRunView::set_progress_maximum(int maximum) {
    maximum_ = maximum;
}

void TerminalRunView::set_progress_position(int position) {
    position_ = position;
    draw_bar();
}

void TerminalRunView::set_round(int round, int rounds) {
    round_ = round;
    rounds_total_ = rounds;
}

void TerminalRunView::set_status_text(const LocalText& text) {
    // The window's first status only says that the run is setting up; a terminal reader wants
    // one line per visit.
    if (text == local("留痕初始化中..")) return;
    clear_bar();
    std::fprintf(terminal_.out, "%s\n", terminal_line(text).c_str());
    std::fflush(terminal_.out);
    draw_bar();
}

void TerminalRunView::show_notice(const std::string& text) {
    clear_bar();
    std::fprintf(terminal_.err, "trasslo-cli：%s\n", text.c_str());
    std::fflush(terminal_.err);
    draw_bar();
}

void TerminalRunView::set_progress_visible(bool visible) {
    bar_visible_ = visible;
    if (visible)
        draw_bar();
    else
        clear_bar();
}

MessageAnswer TerminalRunView::show_run_message(const MessageRequest& request) {
    clear_bar();
    if (request.buttons == MessageButtons::ok_cancel) {
        // Nobody can tick an engine here: the question is answered Cancel.
        asked_ = true;
        std::fprintf(terminal_.err, "%s\n", terminal_line(request.text).c_str());
        std::fflush(terminal_.err);
        draw_bar();
        return MessageAnswer::cancel;
    }
    // The final message's lines stay lines.
    for (const LocalText& line : split_text(request.text, "\n"))
        std::fprintf(terminal_.out, "%s\n", terminal_line(line).c_str());
    std::fflush(terminal_.out);
    return MessageAnswer::ok;
}

TerminalCheckView::TerminalCheckView(Terminal terminal, int engines)
    : terminal_(terminal), maximum_(engines) {
    draw_bar();
}

TerminalCheckView::~TerminalCheckView() {
    clear_bar();
}

void TerminalCheckView::draw_bar() {
    if (!terminal_.progress_bar || maximum_ <= 0) return;
    bar_.draw(progress_bar_text(position_, maximum_));
}

void TerminalCheckView::clear_bar() {
    bar_.clear();
}

void TerminalCheckView::engine_checked(const LocalText& line) {
    clear_bar();
    std::fprintf(terminal_.out, "%s\n", terminal_line(line).c_str());
    std::fflush(terminal_.out);
    ++position_;
    draw_bar();
}

void TerminalCheckView::show_notice(const std::string& text) {
    clear_bar();
    std::fprintf(terminal_.err, "trasslo-cli：%s\n", text.c_str());
    std::fflush(terminal_.err);
    draw_bar();
}

void TerminalCheckView::finish(const LocalText& line) {
    clear_bar();
    std::fprintf(terminal_.out, "%s\n", terminal_line(line).c_str());
    std::fflush(terminal_.out);
}

TerminalExportView::TerminalExportView(Terminal terminal, std::filesystem::path out_file,
                                       std::vector<TraceEngine> engines, LocalText keywords)
    : terminal_(terminal),
      out_file_(std::move(out_file)),
      engines_(std::move(engines)),
      keywords_(std::move(keywords)) {}

MessageAnswer TerminalExportView::show_export_message(const MessageRequest& request) {
    if (request.text == local("选择的文件路径无法写出，请更换！")) return MessageAnswer::ok;
    // The final message's lines stay lines.
    for (const LocalText& line : split_text(request.text, "\n"))
        std::fprintf(terminal_.out, "%s\n", terminal_line(line).c_str());
    std::fflush(terminal_.out);
    return MessageAnswer::ok;
}

}  // namespace trasslo::cli
