// The trace run and the export as seen from a terminal: status lines and final messages on
// standard output (UTF-8), questions and failures on standard error, a progress bar on standard
// error when that is a terminal. Nothing is asked: the no-engine question is answered Cancel.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "run/run_view.h"

namespace trasslo::cli {

// Where the views write; `progress_bar` draws the bar on `err` (only sensible on a terminal).
struct Terminal {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool progress_bar = false;
};

// The progress bar's line on standard error, drawn over itself and cleared before other output
// goes to the terminal.
class ProgressLine {
  public:
    explicit ProgressLine(std::FILE* err) : err_(err) {}
    // Draws `bar` (progress_bar_text and what follows it) and clears the rest of the line.
    void draw(const std::string& bar);
    void clear();

  private:
    std::FILE* err_;
    bool drawn_ = false;
};

class TerminalRunView : public RunView {
  public:
    TerminalRunView(Terminal terminal, std::vector<TraceEngine> engines, LocalText keywords,
                    LocalText rounds, LocalText interval);

    // True once the no-engine question was asked (and answered Cancel).
    bool asked_for_engines() const { return asked_; }
    // A line for the user beside the run (UTF-8, on standard error), such as why the journal
    // is not kept; the progress bar makes room for it.
    void show_notice(const std::string& text);

    LocalText start_caption() override { return caption_; }
    void set_start_caption(const LocalText& caption) override { caption_ = caption; }
    LocalText keyword_list_text() override { return keywords_; }
    LocalText loop_count_text() override { return rounds_; }
    LocalText interval_text() override { return interval_; }
    std::vector<TraceEngine> engine_snapshot() override { return engines_; }
    bool add_engine_dialog_open() override { return false; }
    void set_current_engine(int) override {}
    void set_progress_maximum(int maximum) override;
    void set_progress_position(int position) override;
    void set_round(int round, int rounds) override;
    void set_status_text(const LocalText& text) override;
    void set_progress_visible(bool visible) override;
    MessageAnswer show_run_message(const MessageRequest& request) override;

  private:
    void draw_bar();
    void clear_bar();

    Terminal terminal_;
    std::vector<TraceEngine> engines_;
    LocalText keywords_;
    LocalText rounds_;
    LocalText interval_;
    LocalText caption_;
    int maximum_ = 0;
    int position_ = 0;
    int round_ = 0;
    int rounds_total_ = 0;
    bool bar_visible_ = false;
    ProgressLine bar_{terminal_.err};
    bool asked_ = false;
};

// The export's final count goes to standard output; its failure message is left to the caller,
// which names the path and the reason instead.
class TerminalExportView : public ExportView {
  public:
    TerminalExportView(Terminal terminal, std::filesystem::path out_file,
                       std::vector<TraceEngine> engines, LocalText keywords);

    std::optional<std::filesystem::path> choose_export_file(const SaveFileRequest&) override {
        return out_file_;
    }
    LocalText keyword_list_text() override { return keywords_; }
    std::vector<TraceEngine> engine_snapshot() override { return engines_; }
    MessageAnswer show_export_message(const MessageRequest& request) override;

  private:
    Terminal terminal_;
    std::filesystem::path out_file_;
    std::vector<TraceEngine> engines_;
    LocalText keywords_;
};

// The engine check on a terminal: one line per engine on standard output, the progress bar on
// standard error when that is a terminal, notices on standard error.
class TerminalCheckView {
  public:
    TerminalCheckView(Terminal terminal, int engines);
    ~TerminalCheckView();
    TerminalCheckView(const TerminalCheckView&) = delete;
    TerminalCheckView& operator=(const TerminalCheckView&) = delete;

    // One engine checked: its line (local text), and the bar moves on.
    void engine_checked(const LocalText& line);
    // A line for the user beside the check (UTF-8), such as why the journal is not kept.
    void show_notice(const std::string& text);
    // The closing line (local text) on standard output, the bar gone.
    void finish(const LocalText& line);

  private:
    void draw_bar();
    void clear_bar();

    Terminal terminal_;
    int maximum_ = 0;
    int position_ = 0;
    ProgressLine bar_{terminal_.err};
};

// The bar as drawn on a terminal: "\r[###.....] 3/10"; the caller adds what follows and
// "\x1b[K", which clears the rest of the line.
std::string progress_bar_text(int position, int maximum);

// Standard output and error, with the progress bar when standard error is a terminal.
Terminal standard_terminal();

// One line of local text for the terminal: UTF-8, with line breaks and tabs in it turned into
// spaces so that every status stays one line.
std::string terminal_line(std::string_view local_text);

}  // namespace trasslo::cli
