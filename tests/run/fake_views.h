// Views of the trace run and the export over plain members, for the tests: what the run shows is
// recorded, what it asks is answered from scripted values.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "run/run_view.h"
#include "run/trace_run.h"

namespace trasslo::support {

class FakeRunView : public RunView {
  public:
    LocalText caption = idle_start_caption();
    LocalText keywords;
    LocalText loop_count = "1";
    LocalText interval = "0";
    std::vector<TraceEngine> engines;
    bool dialog_open = false;
    std::deque<MessageAnswer> answers;  // for the no-engine question; OK when empty

    // Called when the run asks for a snapshot, with the 1-based number of the request.
    std::function<void(int)> on_snapshot;
    // Called when the run reads the interval, with the 1-based number of the reading.
    std::function<void(int)> on_interval;

    std::vector<LocalText> captions;
    std::vector<LocalText> statuses;
    std::vector<int> current_items;
    std::vector<int> positions;
    std::vector<bool> visibility;
    std::vector<MessageRequest> messages;
    std::vector<std::string> events;  // "wait 500", "question", "final" in order
    int maximum = -1;
    int snapshots = 0;
    int interval_reads = 0;

    LocalText start_caption() override { return caption; }
    void set_start_caption(const LocalText& text) override {
        caption = text;
        captions.push_back(text);
    }
    LocalText keyword_list_text() override { return keywords; }
    LocalText loop_count_text() override { return loop_count; }
    LocalText interval_text() override {
        ++interval_reads;
        if (on_interval) on_interval(interval_reads);
        return interval;
    }
    std::vector<TraceEngine> engine_snapshot() override {
        ++snapshots;
        if (on_snapshot) on_snapshot(snapshots);
        return engines;
    }
    bool add_engine_dialog_open() override { return dialog_open; }
    void set_current_engine(int index) override { current_items.push_back(index); }
    void set_progress_maximum(int value) override { maximum = value; }
    void set_progress_position(int value) override { positions.push_back(value); }
    void set_status_text(const LocalText& text) override { statuses.push_back(text); }
    void set_progress_visible(bool visible) override { visibility.push_back(visible); }
    MessageAnswer show_run_message(const MessageRequest& request) override {
        messages.push_back(request);
        if (request.buttons == MessageButtons::ok_cancel) {
            events.push_back("question");
            if (answers.empty()) return MessageAnswer::ok;
            const MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        events.push_back("final");
        return MessageAnswer::ok;
    }
};

class FakeExportView : public ExportView {
  public:
    std::optional<std::filesystem::path> file;  // nothing: the dialog is cancelled
    LocalText keywords;
    std::vector<TraceEngine> engines;
    std::function<void(int)> on_snapshot;

    std::vector<SaveFileRequest> dialogs;
    std::vector<LocalText> messages;
    int snapshots = 0;

    std::optional<std::filesystem::path> choose_export_file(
        const SaveFileRequest& request) override {
        dialogs.push_back(request);
        return file;
    }
    LocalText keyword_list_text() override { return keywords; }
    std::vector<TraceEngine> engine_snapshot() override {
        ++snapshots;
        if (on_snapshot) on_snapshot(snapshots);
        return engines;
    }
    MessageAnswer show_export_message(const MessageRequest& request) override {
        messages.push_back(request.text);
        return MessageAnswer::ok;
    }
};

inline TraceEngine engine(bool enabled, int encoding, const char* name_utf8, std::string address) {
    return TraceEngine{enabled, encoding, local(name_utf8), std::move(address)};
}

}  // namespace trasslo::support
