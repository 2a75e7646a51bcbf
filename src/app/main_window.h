// The main window: the engine tree on the left, the keyword list and the run settings on the
// right, the progress bar with its status line at the bottom. It is the view of the trace run
// and of the link-address export, and owns the add-engine dialog, the help window and the tray
// icon.
#pragma once

#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "app/add_engine_dialog.h"
#include "app/help_window.h"
#include "app/journal_window.h"
#include "journal/run_recorder.h"
#include "run/export_link_addresses.h"
#include "run/run_view.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace trasslo {

class QtEngineTree;
class CheckWorker;
struct CheckTotals;
struct EngineCheck;
class ClickableLabel;
class TrayIcon;

// The window's title and the application title it starts with.
QString main_window_title();
LocalText application_title();  // "Tandel·Trasslo"
// The help text's paragraph on the menus (UTF-8): each menu of the bar with its entries, then
// the entries the engine list's right-click menu has too.
std::string window_menus_text();

class MainWindow : public QWidget, public RunView, public ExportView {
    Q_OBJECT
  public:
    // Builds every control and runs the created steps: processor affinity, restoring the
    // controls from "主界面", loading the engine list of `program_folder`, the site icons, the
    // status label over the progress bar and the tray icon. Show it afterwards: the icon
    // download starts once the window has first been drawn.
    explicit MainWindow(std::filesystem::path program_folder, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Saves the controls under "主界面" and then the engine list file.
    void save_main_window();
    // Saves the engine list, keeping what other programs added to its file meanwhile.
    void save_engines();

    // The handlers of the window's commands.
    void on_start_clicked();
    void on_export_clicked();
    void on_paste_clicked();
    void on_save_config_clicked();
    void open_help_window();
    void open_add_engine_dialog();
    // "导出留痕报告..": the save dialog, then the latest run's CSV report from the journal.
    void export_journal_report();
    // "代理设置..": the proxies and their rotation, kept in the settings file.
    void open_proxy_dialog();
    // "留痕记录..": the journal's window (one at a time); its engine double-click selects the
    // engine in the list.
    void open_journal_window();
    JournalWindow* journal_window() const { return journal_window_.data(); }
    // Makes the engine with this name and address (UTF-8) the list's current one.
    void select_engine(const QString& name, const QString& address);
    // "导入引擎列表..": the files the user picks are imported into the list (engine_import.h),
    // their new engines appended ticked with their icons fetched, and the summary shown.
    void import_engine_lists();
    // "检测打勾的引擎": checks the ticked engines on a worker thread (check/check_worker.h), its
    // progress in the status label and the bar; while it runs the same menu line reads
    // "停止检测" and stops it. At the end a question offers to untick the engines found dead.
    void toggle_engine_check();
    bool engine_check_running() const { return check_ != nullptr; }
    // The tray's quit command after its question was answered OK.
    void quit_from_tray();
    // "关于": the program's name, version and what it does.
    void show_about();
    // "退出" of the menu: closes the window, which saves it as the close box does.
    void quit_from_menu();
    // "全选" and "不选".
    void tick_every_engine();
    void tick_no_engine();

    // Gives the tree its site icons and starts their download (after adds).
    void refresh_site_icons();

    QtEngineTree* engine_tree() const { return tree_; }
    AddEngineDialog* add_engine_dialog() const { return add_dialog_.data(); }
    HelpWindow* help_window() const { return help_.data(); }
    TrayIcon* tray_icon() const { return tray_; }
    ClickableLabel* save_link() const { return save_link_; }
    const std::filesystem::path& program_folder() const { return folder_; }

    // Ends the process once the window has been saved on its way out: by default the event
    // loop's exit with `status`; while a run, an export or a save is still under way further
    // up the stack, whatever the program installed (main() ends the process at once there).
    void set_process_ender(std::function<void(int status)> ender) { ender_ = std::move(ender); }
    // The save dialog of the export; tests answer it without a window.
    using FileChooser =
        std::function<std::optional<std::filesystem::path>(const SaveFileRequest& request)>;
    void set_file_chooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // The open dialog of the import (several files; none when cancelled); tests answer it.
    using OpenFilesChooser = std::function<std::vector<std::filesystem::path>()>;
    void set_open_files_chooser(OpenFilesChooser chooser) {
        open_files_chooser_ = std::move(chooser);
    }
    // The engine list's right-click menu, and the menu bar above the designed controls
    // (main_window_menus.cpp): the window's commands, each one action shared by both.
    QMenu* engine_menu() const { return engine_menu_; }
    QMenuBar* menu_bar() const { return menu_bar_; }
    // The area below the menu bar that holds the designed controls at their designed places.
    QWidget* client_area() const { return client_; }

    // Whether a run, an export or a save is running on the stack (reached through the pump).
    bool busy() const { return busy_ > 0; }

    // RunView and ExportView.
    LocalText start_caption() override;
    void set_start_caption(const LocalText& caption) override;
    LocalText keyword_list_text() override;
    LocalText loop_count_text() override;
    LocalText interval_text() override;
    // The request timeout "编辑框请求超时秒" in milliseconds; 0 for the paths' own timeouts.
    long request_timeout_ms();
    std::vector<TraceEngine> engine_snapshot() override;
    bool add_engine_dialog_open() override;
    void set_current_engine(int index) override;
    void set_progress_maximum(int maximum) override;
    void set_progress_position(int position) override;
    void set_status_text(const LocalText& text) override;
    void set_progress_visible(bool visible) override;
    MessageAnswer show_run_message(const MessageRequest& request) override;
    std::optional<std::filesystem::path> choose_export_file(
        const SaveFileRequest& request) override;
    MessageAnswer show_export_message(const MessageRequest& request) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    friend class BusyScope;
    void build_controls();
    void build_menus();
    std::vector<std::filesystem::path> choose_import_files();
    void on_created();
    void lay_status_over_progress();
    void shut_down();
    void on_tree_current_changed(int index);
    void start_site_icon_download();
    // The engine check's side (main_window_check.cpp).
    void on_engine_checked(std::size_t done, std::size_t total, const EngineCheck& check);
    void on_engine_check_finished(const CheckTotals& totals,
                                  const std::vector<EngineCheck>& checks);
    // "检测 K/N：正在检测【name】...": the check waits on its `number`-th engine.
    void show_engine_under_check(std::size_t number, std::size_t total);
    // Marks the item of the `taken`-th engine the check took.
    void mark_checked_engine(const EngineCheck& check, std::size_t taken);
    // Reads each engine's last check from the journal (after a restart).
    void load_check_marks();
    // Gives the items from `first` on the tooltip and greying of their engine's last check.
    void apply_check_marks(int first = 0);
    void stop_engine_check();
    // Reads each engine's last 30 days from the journal on a worker thread, for the tooltips
    // (main_window_journal.cpp).
    void load_recent_stats();

    std::filesystem::path folder_;
    // Whether the start-up's icon download is still to be started.
    bool icon_download_due_ = true;
    // Hands the icon worker's refresh to this window's event loop while the window lives.
    QtEngineTree* tree_ = nullptr;
    QPlainTextEdit* keywords_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QLineEdit* loops_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    // The record of the run under way, ended as stopped when the window closes during it.
    RunRecorder* run_recorder_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* export_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    ClickableLabel* save_link_ = nullptr;
    ClickableLabel* help_link_ = nullptr;
    QPointer<AddEngineDialog> add_dialog_;
    QPointer<HelpWindow> help_;
    TrayIcon* tray_ = nullptr;
    int busy_ = 0;
    bool closing_ = false;
    std::function<void(int)> ender_;
    FileChooser chooser_;
    OpenFilesChooser open_files_chooser_;
    QWidget* client_ = nullptr;
    QMenuBar* menu_bar_ = nullptr;
    QMenu* engine_menu_ = nullptr;
    QAction* check_action_ = nullptr;
    // The last check of each engine address (local text): the item's tooltip, and whether the
    // engine is drawn greyed (its verdict was not ok).
    struct CheckMark {
        QString tooltip;
        bool greyed = false;
    };
    std::unordered_map<LocalText, CheckMark> check_marks_;
    // "最近 30 天：留痕 N 次，成功率 X%" of each engine address (local text), below the check's.
    std::unordered_map<LocalText, QString> recent_lines_;
    QPointer<JournalWindow> journal_window_;
    std::unique_ptr<CheckWorker> check_;
    // The positions in the engine list of the engines the running check took, in its order.
    std::vector<std::size_t> check_positions_;
};

}  // namespace trasslo
