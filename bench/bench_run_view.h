// The trace run's view for benchmarks: nothing to show, one round, interval 0, the given
// keywords and engines; it counts the status lines that carry the bench page's title.
#pragma once

#include <string>
#include <vector>

#include "run/trace_run.h"

namespace trasslo {

class BenchRunView : public RunView {
  public:
    BenchRunView(LocalText keywords, std::vector<TraceEngine> engines)
        : keywords_(std::move(keywords)), engines_(std::move(engines)) {}
    LocalText start_caption() override { return caption_; }
    void set_start_caption(const LocalText& caption) override { caption_ = caption; }
    LocalText keyword_list_text() override { return keywords_; }
    LocalText loop_count_text() override { return "1"; }
    LocalText interval_text() override { return "0"; }
    std::vector<TraceEngine> engine_snapshot() override { return engines_; }
    bool add_engine_dialog_open() override { return false; }
    void set_current_engine(int) override {}
    void set_progress_maximum(int) override {}
    void set_progress_position(int) override {}
    void set_status_text(const LocalText& text) override {
        if (text.find(local("】")) != std::string::npos &&
            text.find("bench page") != std::string::npos)
            ++titled;
    }
    void set_progress_visible(bool) override {}
    MessageAnswer show_run_message(const MessageRequest&) override { return MessageAnswer::ok; }

    int titled = 0;  // visits whose status line carried the page's title

  private:
    LocalText caption_ = idle_start_caption();
    LocalText keywords_;
    std::vector<TraceEngine> engines_;
};

}  // namespace trasslo
