// The window program: opens the settings file in the program's folders, shows the main window
// and runs the event loop until the window is closed or the tray's quit command ends it.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/version.h"
#include "files/program_folder.h"
#include "icons/site_icons.h"
#include "run/user_challenge_signs.h"
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

constexpr const char* usage_text =
    "用法：trasslo [选项]\n"
    "\n"
    "Tandel·Trasslo 的窗口：按留痕引擎列表在各网站的站内搜索中搜索关键词，留下痕迹。\n"
    "不开窗口的同样工作见 trasslo-cli(1)。\n"
    "\n"
    "选项：\n"
    "  -h, --help         显示本帮助\n"
    "  --version          显示版本\n"
    "  Qt 的标准选项（如 -platform offscreen、-style NAME）也可以使用。\n"
    "\n"
    "文件：程序能写入自己所在的目录时，设置“Tandel·Trasslo.ini”、引擎列表“留痕引擎列表.txt”、\n"
    "图标缓存“图标缓存/”和留痕记录“留痕记录.db”都在那里；不能时（安装的程序），设置在\n"
    "$XDG_CONFIG_HOME/trasslo（默认 ~/.config/trasslo），其余在 $XDG_DATA_HOME/trasslo\n"
    "（默认 ~/.local/share/trasslo）。trasslo-cli where 显示正在使用的目录。\n";

// --help and --version are answered before any window or display is needed.
bool answered_without_window(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage_text, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("trasslo %s\n", TRASSLO_VERSION);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (answered_without_window(argc, argv)) return 0;
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(TRASSLO_APP_ID));
    trasslo::install_qt_translations();
    const trasslo::ProgramFolders folders = trasslo::program_folders(argv[0]);
    trasslo::make_program_folders(folders);
    trasslo::settings_store().open(trasslo::settings_file_path(folders.settings));
    const std::filesystem::path& folder = folders.data;
    // The user's own challenge signs count for the window's runs and checks as for the
    // command line's.
    std::vector<std::string> sign_warnings;
    trasslo::load_user_challenge_signs(folders.settings, sign_warnings);
    for (const std::string& warning : sign_warnings) std::fprintf(stderr, "%s\n", warning.c_str());

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
