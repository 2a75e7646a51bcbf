// The trace run's view for benchmarks: nothing to show, one round, the given keywords, engines
// and interval (0 unless told); it counts the status lines that carry a page title holding
// `title_mark`.
#pragma once

#include <string>
#include <vector>

#include "run/trace_run.h"

namespace trasslo {

class BenchRunView : public RunView {
  public:
    BenchRunView(LocalText keywords, std::vector<TraceEngine> engines, LocalText interval = "0",
                 std::string title_mark = "bench page")
        : keywords_(std::move(keywords)),
          engines_(std::move(engines)),
          interval_(std::move(interval)),
          title_mark_(std::move(title_mark)) {}
    LocalText start_caption() override { return caption_; }
    void set_start_caption(const LocalText& caption) override { caption_ = caption; }
    LocalText keyword_list_text() override { return keywords_; }
    LocalText loop_count_text() override { return "1"; }
    LocalText interval_text() override { return interval_; }
    std::vector<TraceEngine> engine_snapshot() override { return engines_; }
    bool add_engine_dialog_open() override { return false; }
    void set_current_engine(int) override {}
    void set_progress_maximum(int) override {}
    void set_progress_position(int) override {}
    void set_status_text(const LocalText& text) override {
        if (text.find(local("】")) != std::string::npos &&
            text.find(title_mark_) != std::string::npos)
            ++titled;
    }
    void set_progress_visible(bool) override {}
    MessageAnswer show_run_message(const MessageRequest&) override { return MessageAnswer::ok; }

    int titled = 0;  // visits whose status line carried the page's title

  private:
    LocalText caption_ = idle_start_caption();
    LocalText keywords_;
    std::vector<TraceEngine> engines_;
    LocalText interval_;
    std::string title_mark_;
};

}  // namespace trasslo
