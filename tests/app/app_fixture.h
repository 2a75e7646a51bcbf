// What every window test needs: a program folder of its own with the settings store opened on
// it, message boxes answered from a script and recorded, the Shift/Ctrl keys held on request,
// and a local site behind the engines.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "base/message_box.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "support/test_hooks.h"
#include "ui/qt/qt_process_hooks.h"

namespace trasslo::support {

// A site on 127.0.0.1: "/s?..." pages carry a title, "/favicon.ico" a small icon, every other
// path a 404 page.
class LocalSite {
  public:
    LocalSite();
    std::string url(std::string_view path) const { return server_.url(path); }
    std::string host() const { return "127.0.0.1:" + std::to_string(server_.port()); }
    // Requests whose target starts with `prefix`.
    std::size_t count(std::string_view prefix) const;
    std::vector<RecordedRequest> requests() const { return server_.requests(); }
    HttpTestServer& server() { return server_; }

  private:
    HttpTestServer server_;
};

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& folder() const { return dir_.path(); }
    // Writes the engine list file (UTF-8 lines turned into local text, CR LF after each).
    void write_engine_file(const std::vector<std::string>& utf8_lines);
    // Fills the icon cache for every address so that no worker goes to the network.
    void cache_icons_for(const std::vector<LocalText>& addresses);
    // Makes and shows the main window on this folder.
    MainWindow& open_window();
    // Closes the window as its close box does.
    void close_window();

    // The window's pump and UI dispatch with the test's message boxes and keys; the names
    // below are the hooks' (answers, messages, on_message, shift and ctrl).
    QObject dispatch_receiver_;
    TestHooks hooks{qt_process_hooks(&dispatch_receiver_)};
    std::deque<MessageAnswer>& answers = hooks.answers;
    std::vector<MessageRequest>& messages = hooks.messages;
    std::function<void(const MessageRequest&)>& on_message = hooks.on_message;
    bool& shift_held = hooks.shift_held;
    bool& ctrl_held = hooks.ctrl_held;
    int ended_with = -1;  // the process ender's status; -1 while not asked

    std::unique_ptr<MainWindow> window;

  private:
    TempDir dir_;
};

// Local text of a message, in UTF-8 for readable comparisons.
std::string utf8_of(const LocalText& text);

}  // namespace trasslo::support
