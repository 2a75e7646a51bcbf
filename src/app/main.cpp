// The window program: opens the settings file beside the executable, shows the main window and
// runs the event loop until the window is closed or the tray's quit command ends it.
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/main_window.h"
#include "icons/site_icons.h"
#include "settings/settings_store.h"
#include "ui/message_box.h"
#include "ui/qt/qt_event_pump.h"
#include "ui/qt/qt_key_state.h"
#include "ui/qt/qt_message_box.h"
#include "ui/qt/qt_translations.h"

namespace {

// The folder of the running executable: the program folder that holds every file it keeps.
std::filesystem::path program_folder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error);
    return exe.parent_path();
}

// Ends the process after the window was saved on its way out: the icon workers are told to
// stop, the settings file is released, and nothing waits on a request still in flight.
[[noreturn]] void end_process(int status) {
    const bool all_stopped = trasslo::stop_icon_downloads(std::chrono::milliseconds(500));
    trasslo::settings_store().close();
    if (!all_stopped) std::quick_exit(status);
    std::exit(status);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    trasslo::install_qt_translations();
    const std::filesystem::path folder = program_folder();
    trasslo::settings_store().open(trasslo::settings_file_path(folder));

    trasslo::install_qt_event_pump();
    trasslo::install_qt_key_state_query();
    trasslo::install_qt_message_box_handler(nullptr);

    int status = 0;
    {
        trasslo::MainWindow window(folder);
        trasslo::install_qt_message_box_handler(&window);
        // Closing while a run, an export or a save is still on the stack: everything is saved
        // by then, so the process ends at once rather than waiting for a site to answer.
        window.set_process_ender([](int code) { end_process(code); });
        window.show();
        status = app.exec();
        trasslo::install_message_box_handler({});
    }
    trasslo::remove_qt_event_pump();
    const bool all_stopped = trasslo::stop_icon_downloads(std::chrono::milliseconds(500));
    trasslo::settings_store().close();
    if (!all_stopped) std::quick_exit(status);
    return status;
}
