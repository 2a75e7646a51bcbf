// What the trace run and the link-address export show and ask, as seen from the core. The main
// window implements these over its controls; the command-line front end over the terminal and
// its options; tests over plain members. All texts are local text (GBK).
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "base/message_box.h"
#include "engines/trace_engine.h"
#include "text/local_text.h"

namespace trasslo {

// The view of one trace run: the start button "按钮开始留痕", the keyword list, the loop count and
// interval edits, the progress bar "进度条" with its status label "透明标签", the engine tree.
class RunView {
  public:
    virtual ~RunView() = default;

    // The start button's caption; the run's state lives in it ("开始留痕" means idle).
    virtual LocalText start_caption() = 0;
    virtual void set_start_caption(const LocalText& caption) = 0;

    // The keyword list's whole text, lines separated by CR LF ("编辑框关键词列表").
    virtual LocalText keyword_list_text() = 0;
    // The loop count edit "编辑框留痕次数", read once when the run starts.
    virtual LocalText loop_count_text() = 0;
    // The interval edit "编辑框留痕间隔秒" in seconds, asked anew before every pause.
    virtual LocalText interval_text() = 0;

    // A deep copy of the engine list as it is now; asked once per keyword.
    virtual std::vector<TraceEngine> engine_snapshot() = 0;
    // Whether the add-engine dialog is open (the run then leaves the tree's current item alone).
    virtual bool add_engine_dialog_open() = 0;
    // Makes tree item `index` (0-based) current, showing which engine is being visited.
    virtual void set_current_engine(int index) = 0;

    virtual void set_progress_maximum(int maximum) = 0;
    virtual void set_progress_position(int position) = 0;
    // The round now under way (from 1) of `rounds`, told as each round begins. The window does
    // not show it; the command line's progress bar does.
    virtual void set_round(int /*round*/, int /*rounds*/) {}
    // The status line over the progress bar.
    virtual void set_status_text(const LocalText& text) = 0;
    // Shows or hides the progress bar together with its status label.
    virtual void set_progress_visible(bool visible) = 0;

    // The no-engine question (OK / Cancel, system-modal, no owner) and the final message
    // (information icon, OK). Returns the answer.
    virtual MessageAnswer show_run_message(const MessageRequest& request) = 0;
};

// What the save dialog "通用对话框" is asked to show for the export.
struct SaveFileRequest {
    LocalText title;              // "导出外链地址："
    LocalText filter;             // "文本文件(*.txt)|*.txt|全部文件(*.*)|*.*"
    LocalText default_extension;  // "txt"
};

// The view of the link-address export ("按钮导出外链地址").
class ExportView {
  public:
    virtual ~ExportView() = default;

    // Shows the save dialog; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> choose_export_file(
        const SaveFileRequest& request) = 0;
    // The keyword list's whole text, lines separated by CR LF.
    virtual LocalText keyword_list_text() = 0;
    // A deep copy of the engine list as it is now; asked once per keyword.
    virtual std::vector<TraceEngine> engine_snapshot() = 0;
    // A plain message box (OK): the unwritable-path message and the final count.
    virtual MessageAnswer show_export_message(const MessageRequest& request) = 0;
};

}  // namespace trasslo
