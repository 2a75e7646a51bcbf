// The window program: opens the settings file beside the executable, shows the main window and
// runs the event loop until the window is closed or the tray's quit command ends it.
#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/main_window.h"
#include "files/program_folder.h"
#include "icons/site_icons.h"
#include "settings/settings_store.h"
#include "ui/qt/qt_process_hooks.h"
#include "ui/qt/qt_translations.h"

namespace {

// The process's way out once the window was saved: the icon workers are told to stop and the
// settings file is released. When a worker is still waiting on a site, the process ends at once
// rather than waiting for it; otherwise `status` is returned for a normal exit.
int wind_down(int status) {
    const bool all_stopped = trasslo::stop_icon_downloads(std::chrono::milliseconds(500));
    trasslo::settings_store().close();
    if (!all_stopped) std::quick_exit(status);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    trasslo::install_qt_translations();
    const std::filesystem::path folder = trasslo::program_folder(argv[0]);
    trasslo::settings_store().open(trasslo::settings_file_path(folder));

    int status = 0;
    {
        trasslo::QtProcessHooks hooks;
        trasslo::MainWindow window(folder);
        hooks.set_message_box_owner(&window);
        // Closing while a run, an export or a save is still on the stack: everything is saved
        // by then, so the process ends at once rather than waiting for a site to answer.
        window.set_process_ender([](int code) { std::exit(wind_down(code)); });
        window.show();
        status = app.exec();
    }
    return wind_down(status);
}
