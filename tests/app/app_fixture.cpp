#include "app_fixture.h"

#include <chrono>

#include "base/key_state.h"
#include "base/ui_dispatch.h"
#include "engines/engine_list_file.h"
#include "icons/default_icon.h"
#include "icons/icon_cache.h"
#include "icons/site_icons.h"
#include "settings/settings_store.h"

namespace trasslo::support {
namespace {

// The query of `target` after "q=", its %XX escapes turned back into bytes.
std::string query_word(const std::string& target) {
    const std::size_t at = target.find("q=");
    std::string word;
    for (std::size_t i = at == std::string::npos ? target.size() : at + 2; i < target.size(); ++i) {
        if (target[i] == '%' && i + 2 < target.size()) {
            word += static_cast<char>(std::stoi(target.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            word += target[i];
        }
    }
    return word;
}

}  // namespace

LocalSite::LocalSite()
    : server_([](Connection& connection, const RecordedRequest& request) {
          if (request.target.rfind("/favicon.ico", 0) == 0) {
              const ByteBuffer& icon = default_icon_bytes();
              connection.send(http_reply(200, "OK", std::string(icon.begin(), icon.end()),
                                         {"Content-Type: image/x-icon"}));
          } else if (request.target.rfind("/e?", 0) == 0) {  // shows the searched word
              connection.send(http_reply(200, "OK",
                                         "<html><head><title>Local Shop - Found</title></head>"
                                         "<body>" +
                                             query_word(request.target) + "</body></html>",
                                         {"Content-Type: text/html; charset=utf-8"}));
          } else if (request.target.rfind("/s", 0) == 0) {
              connection.send(http_reply(200, "OK",
                                         "<html><head><title>Local Shop - Search</title></head>"
                                         "<body>ok</body></html>",
                                         {"Content-Type: text/html; charset=utf-8"}));
          } else if (request.target == "/") {
              connection.send(http_reply(200, "OK",
                                         "<html><head><title>Local Shop - Home</title></head>"
                                         "</html>",
                                         {"Content-Type: text/html; charset=utf-8"}));
          } else {
              connection.send(http_reply(404, "Not Found", "<html>missing</html>"));
          }
      }) {}

std::size_t LocalSite::count(std::string_view prefix) const {
    std::size_t n = 0;
    for (const RecordedRequest& r : server_.requests()) {
        if (r.target.rfind(prefix, 0) == 0) ++n;
    }
    return n;
}

std::string utf8_of(const LocalText& text) {
    return to_utf8(text);
}

void AppTest::SetUp() {
    settings_store().open(settings_file_path(folder()));
}

void AppTest::TearDown() {
    window.reset();
    stop_icon_downloads(std::chrono::seconds(5));
    settings_store().close();
}

void AppTest::write_engine_file(const std::vector<std::string>& utf8_lines) {
    std::string text;
    for (const std::string& line : utf8_lines) text += local(line) + "\r\n";
    write_file_bytes(engine_list_file_path(folder()), text);
}

void AppTest::cache_icons_for(const std::vector<LocalText>& addresses) {
    std::filesystem::create_directories(icon_cache_folder(folder()));
    for (const LocalText& address : addresses) {
        ASSERT_TRUE(write_icon_file(icon_file_path(folder(), address), default_icon_bytes()));
    }
}

MainWindow& AppTest::open_window() {
    window = std::make_unique<MainWindow>(folder());
    window->set_process_ender([this](int status) { ended_with = status; });
    window->show();
    QApplication::processEvents();
    return *window;
}

void AppTest::close_window() {
    window->close();
    QApplication::processEvents();
}

}  // namespace trasslo::support
