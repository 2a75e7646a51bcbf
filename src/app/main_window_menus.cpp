// The main window's menus: the menu bar (文件, 引擎, 帮助) and the engine list's right-click
// menu. Each command is one row of the table below and one action, which both menus show, so
// that a caption change (the check's "停止检测") shows in both.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "app/version.h"
#include "base/message_box.h"
#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

// A command of the window: the menu of the bar it sits in, its caption, what it does, and
// whether the engine list's right-click menu offers it too. A new command is one row here.
struct WindowCommand {
    const char* menu;
    const char* caption;
    void (MainWindow::*run)();
    bool in_engine_menu;
};

const WindowCommand kCommands[] = {
    {"文件", "导入引擎列表..", &MainWindow::import_engine_lists, true},
    {"文件", "导出外链地址", &MainWindow::on_export_clicked, false},
    {"文件", "导出留痕报告..", &MainWindow::export_journal_report, true},
    {"文件", "留痕记录..", &MainWindow::open_journal_window, true},
    {"文件", "退出", &MainWindow::quit_from_menu, false},
    {"引擎", "添加..", &MainWindow::open_add_engine_dialog, false},
    {"引擎", "检测打勾的引擎", &MainWindow::toggle_engine_check, true},
    {"引擎", "全选", &MainWindow::tick_every_engine, false},
    {"引擎", "不选", &MainWindow::tick_no_engine, false},
    {"引擎", "代理设置..", &MainWindow::open_proxy_dialog, true},
    {"帮助", "疑点说明", &MainWindow::open_help_window, false},
    {"帮助", "关于", &MainWindow::show_about, false},
};

// A caption as the help text names it: without the ".." of an entry that opens a dialog.
std::string named(const char* caption) {
    std::string name = caption;
    if (name.ends_with("..")) name.resize(name.size() - 2);
    return name;
}

}  // namespace

std::string window_menus_text() {
    std::string text = "菜单：";
    std::string right_click;
    const char* menu = nullptr;
    for (const WindowCommand& command : kCommands) {
        if (menu == nullptr || std::string_view(menu) != command.menu) {
            if (menu != nullptr) text += "；";
            text += std::string("【") + command.menu + "】";
            menu = command.menu;
        } else {
            text += "、";
        }
        text += named(command.caption);
        if (command.in_engine_menu)
            right_click += (right_click.empty() ? "" : "、") + named(command.caption);
    }
    return text + "。在留痕引擎列表上单击右键也可以" + right_click + "。";
}

void MainWindow::build_menus() {
    menu_bar_ = new QMenuBar(this);
    engine_menu_ = new QMenu(this);
    engine_menu_->setObjectName(QStringLiteral("引擎列表菜单"));
    QMenu* menu = nullptr;
    for (const WindowCommand& command : kCommands) {
        const QString title = QString::fromUtf8(command.menu);
        if (menu == nullptr || menu->title() != title) menu = menu_bar_->addMenu(title);
        QAction* action = menu->addAction(QString::fromUtf8(command.caption), this, command.run);
        if (command.in_engine_menu) engine_menu_->addAction(action);
        if (command.run == &MainWindow::toggle_engine_check) check_action_ = action;
    }
}

void MainWindow::show_about() {
    MessageRequest about;
    about.text = from_qstring(main_window_title()) +
                 local(
                     "\r\n\r\n按留痕引擎列表访问各网站的站内搜索，让搜索结果页带上您的关键词。"
                     "\r\n不开窗口时可用 trasslo-cli（trasslo-cli --help）。");
    about.caption = local("关于");
    show_message(about);
}

}  // namespace trasslo
