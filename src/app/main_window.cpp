#include "app/main_window.h"

#include <sched.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <cstring>

#include "app/add_engine_dialog.h"
#include "app/busy_scope.h"
#include "app/clickable_label.h"
#include "app/designed_widgets.h"
#include "app/help_window.h"
#include "app/proxy_dialog.h"
#include "app/tray_icon.h"
#include "app/version.h"
#include "base/event_pump.h"
#include "base/process_hooks.h"
#include "check/check_worker.h"
#include "engines/engine_import.h"
#include "engines/engine_list.h"
#include "files/system_error_text.h"
#include "files/whole_file.h"
#include "icons/default_icon.h"
#include "icons/icon_lock.h"
#include "icons/site_icons.h"
#include "journal/journal.h"
#include "journal/journal_recorder.h"
#include "journal/journal_report.h"
#include "run/trace_run.h"
#include "run/window_defaults.h"
#include "settings/settings_store.h"
#include "text/lossless_text.h"
#include "ui/qt/qt_clipboard.h"
#include "ui/qt/qt_control_walk.h"
#include "ui/qt/qt_engine_tree.h"
#include "ui/qt/qt_file_dialog.h"
#include "ui/qt/qt_image.h"
#include "ui/qt/qt_message_box.h"
#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

// Keeps the process on the first processor, as the tool always has.
void restrict_to_first_processor() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    (void)sched_setaffinity(0, sizeof(set), &set);
}

// The keyword box keeps every character typed (text/lossless_text.h).
QString to_edit_text(std::string_view local_text) {
    QString text = QString::fromStdU16String(lossless_to_utf16(local_text));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

LocalText from_edit_text(const QString& text) {
    QString crlf = text;
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return lossless_from_utf16(crlf.toStdU16String());
}

// "文本文件(*.txt)|*.txt|全部文件(*.*)|*.*" as a Qt filter: the names already carry their
// patterns in brackets.
QString qt_filter(std::string_view filter) {
    const std::vector<LocalText> parts = split_text(filter, "|");
    QStringList names;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        QString name = to_qstring(parts[i]);
        const QString pattern = to_qstring(parts[i + 1]);
        if (!name.contains(QLatin1Char('('))) name += QStringLiteral(" (") + pattern + ")";
        names << name;
    }
    return names.join(QStringLiteral(";;"));
}

QIcon window_icon() {
    const ByteBuffer& bytes = default_icon_bytes();
    return QIcon(read_pixmap(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<qsizetype>(bytes.size())),
                             "ICO"));
}

}  // namespace

BusyScope::BusyScope(MainWindow& window) : window_(window) {
    ++window_.busy_;
}
BusyScope::~BusyScope() {
    --window_.busy_;
}

QString main_window_title() {
    return QStringLiteral("Tandel·Trasslo v" TRASSLO_VERSION
                          " - 在各大门户网站搜索留下您的关键词或网址信息");
}

LocalText application_title() {
    return local("Tandel·Trasslo");
}

MainWindow::MainWindow(std::filesystem::path program_folder, QWidget* parent)
    : QWidget(parent), folder_(std::move(program_folder)) {
    setWindowTitle(main_window_title());
    setWindowIcon(window_icon());
    // The menu bar above the designed 740 x 577 area, whose controls keep their designed
    // places; the window keeps that size, as the designed window does.
    build_menus();
    client_ = new QWidget(this);
    build_controls();
    const int bar = menu_bar_->sizeHint().height();
    menu_bar_->setGeometry(0, 0, 740, bar);
    client_->setGeometry(0, bar, 740, 577);
    setGeometry(50, 50, 740, 577 + bar);
    setFixedSize(740, 577 + bar);
    on_created();
}

MainWindow::~MainWindow() {
    stop_engine_check();
    if (tray_ != nullptr) tray_->hide();
}

void MainWindow::build_controls() {
    QWidget* const client = client_;
    // In the order the window defines them: the settings walk keeps this order.
    tree_ = new QtEngineTree(client);
    named(tree_, "树型框");
    tree_->setGeometry(10, 34, 340, 452);
    designed_label(client, "标签1", "留痕引擎列表：", QRect(10, 10, 200, 20));
    QPushButton* add = designed_button(client, "按钮添加", "添加..", QRect(10, 494, 80, 30));
    QPushButton* remove = designed_button(client, "按钮删除", "删除", QRect(96, 494, 80, 30));
    QPushButton* all = designed_button(client, "按钮全选", "全选", QRect(182, 494, 80, 30));
    QPushButton* none = designed_button(client, "按钮不选", "不选", QRect(268, 494, 80, 30));
    designed_label(client, "标签2", "留痕关键词列表：", QRect(366, 10, 200, 20));
    QPushButton* paste = designed_button(client, "按钮粘贴", "粘贴", QRect(650, 6, 80, 26));

    keywords_ = new QPlainTextEdit(client);
    keywords_->setObjectName(to_qstring(keyword_list_control_name()));
    keywords_->setProperty(kTagProperty, QStringLiteral("字节集方式"));
    keywords_->setGeometry(366, 36, 364, 330);
    keywords_->setPlainText(to_edit_text(default_keyword_list_text()));

    designed_label(client, "标签3", "留痕间隔秒：", QRect(366, 378, 90, 26));
    interval_ = designed_line_edit(client, "编辑框留痕间隔秒", "0", QRect(456, 378, 90, 26));
    designed_label(client, "标签4", "循环次数：", QRect(560, 378, 80, 26));
    loops_ = designed_line_edit(client, "编辑框留痕次数", "1", QRect(640, 378, 90, 26));
    // The longest a request of a visit may take; the default is the request paths' own bound.
    designed_label(client, "标签5", "请求超时秒：", QRect(366, 502, 90, 26));
    timeout_ = designed_line_edit(client, "编辑框请求超时秒", "120", QRect(456, 502, 90, 26));

    start_ = designed_button(client, "按钮开始留痕", "开始留痕", QRect(366, 414, 364, 40));

    progress_ = new QProgressBar(client);
    named(progress_, "进度条");
    progress_->setGeometry(10, 536, 720, 30);
    progress_->setTextVisible(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    status_ = new QLabel(client);
    named(status_, "透明标签");
    status_->setAttribute(Qt::WA_TranslucentBackground);

    export_ = designed_button(client, "按钮导出外链地址", "导出外链地址", QRect(366, 464, 150, 30));

    auto link = [&](const char* object_name, const char* caption, QRect where) {
        auto* l = new ClickableLabel(client);
        named(l, object_name);
        l->setText(QString::fromUtf8(caption));
        // Blue and underlined through palette and font: a style sheet would put the whole
        // window's style through its parser for two labels.
        QPalette palette = l->palette();
        palette.setColor(QPalette::WindowText, QColor(0x06, 0x45, 0xad));
        l->setPalette(palette);
        QFont font = l->font();
        font.setUnderline(true);
        l->setFont(font);
        l->setGeometry(where);
        return l;
    };
    auto picture = [&](const char* object_name, const char* image, QStyle::StandardPixmap which,
                       QRect where) {
        auto* l = new ClickableLabel(client);
        named(l, object_name);
        // The style's 16-pixel picture read on its own: asking the style for the icon reads
        // every size it has and loads each image plugin to probe them.
        QPixmap pixmap = read_pixmap_file(
            QStringLiteral(":/qt-project.org/styles/commonstyle/images/") + QLatin1String(image),
            "PNG");
        if (pixmap.isNull()) pixmap = style()->standardIcon(which).pixmap(16, 16);
        l->setPixmap(pixmap);
        l->setGeometry(where);
        return l;
    };
    ClickableLabel* save_picture = picture("图片全局保存", "standardbutton-save-16.png",
                                           QStyle::SP_DialogSaveButton, QRect(540, 470, 18, 18));
    save_link_ = link("链接保存配置", "保存配置", QRect(560, 468, 70, 22));
    ClickableLabel* help_picture = picture("图片疑点说明", "standardbutton-help-16.png",
                                           QStyle::SP_DialogHelpButton, QRect(640, 470, 18, 18));
    help_link_ = link("链接疑点说明", "疑点说明", QRect(660, 468, 70, 22));

    connect(add, &QPushButton::clicked, this, &MainWindow::open_add_engine_dialog);
    connect(remove, &QPushButton::clicked, this,
            [this] { delete_current_engine(engine_list(), *tree_); });
    connect(all, &QPushButton::clicked, this, &MainWindow::tick_every_engine);
    connect(none, &QPushButton::clicked, this, &MainWindow::tick_no_engine);
    connect(paste, &QPushButton::clicked, this, &MainWindow::on_paste_clicked);
    connect(start_, &QPushButton::clicked, this, &MainWindow::on_start_clicked);
    connect(export_, &QPushButton::clicked, this, &MainWindow::on_export_clicked);
    connect(save_link_, &ClickableLabel::clicked, this, &MainWindow::on_save_config_clicked);
    connect(save_picture, &ClickableLabel::clicked, this, &MainWindow::on_save_config_clicked);
    connect(help_link_, &ClickableLabel::clicked, this, &MainWindow::open_help_window);
    connect(help_picture, &ClickableLabel::clicked, this, &MainWindow::open_help_window);
    connect(tree_, &QtEngineTree::user_current_changed, this, &MainWindow::on_tree_current_changed);
    connect(tree_, &QtEngineTree::user_check_changed, this,
            [this](int item) { on_engine_checkbox_changed(engine_list(), *tree_, item); });

    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { engine_menu_->popup(tree_->viewport()->mapToGlobal(at)); });
}

void MainWindow::tick_every_engine() {
    tick_all_engines(engine_list(), *tree_, true);
}

void MainWindow::tick_no_engine() {
    tick_all_engines(engine_list(), *tree_, false);
}

void MainWindow::quit_from_menu() {
    close();
}

void MainWindow::on_created() {
    restrict_to_first_processor();
    create_icon_lock();
    {
        BusyScope busy(*this);
        QtControlWalk walk(this);
        settings_store().restore_controls(walk, main_window_section());
    }
    load_engine_list(engine_list(), *tree_, folder_);
    apply_site_icons(engine_list().engines, *tree_, folder_);
    load_check_marks();
    load_recent_stats();
    lay_status_over_progress();
    progress_->hide();
    tray_ = new TrayIcon(
        this, windowIcon(), to_qstring(application_title()), [this] { quit_from_tray(); }, this);
}

void MainWindow::lay_status_over_progress() {
    // A layout on the bar itself keeps the label over it when the bar resizes: 10 pixels in
    // from either side, the bar's full height.
    status_->setParent(progress_);
    auto* layout = new QHBoxLayout(progress_);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(0);
    layout->addWidget(status_);
    status_->setGeometry(10, 0, progress_->width() - 20, progress_->height());
    status_->show();
}

void MainWindow::refresh_site_icons() {
    apply_site_icons(engine_list().engines, *tree_, folder_);
    apply_check_marks();
    start_site_icon_download();
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The program keeps to one processor: the worker, checking every engine's file in the
    // cache, starts once the window is on screen rather than delaying its first picture.
    if (icon_download_due_) {
        icon_download_due_ = false;
        QTimer::singleShot(0, this, [this] {
            if (!closing_) start_site_icon_download();
        });
    }
}

void MainWindow::start_site_icon_download() {
    QPointer<MainWindow> self(this);
    start_icon_download(engine_list().engines, folder_, [self] {
        if (self) apply_site_icons(engine_list().engines, *self->tree_, self->folder_);
    });
}

void MainWindow::save_main_window() {
    BusyScope busy(*this);
    QtControlWalk walk(this);
    settings_store().save_controls(walk, main_window_section());
    save_engines();
}

void MainWindow::save_engines() {
    const EngineListSave save = save_engine_list_merged(engine_list(), *tree_, folder_);
    if (!save.merged.empty())
        set_status_text(local("合并了 ") + std::to_string(save.merged.size()) +
                        local(" 个其他程序加入的引擎"));
}

void MainWindow::on_tree_current_changed(int index) {
    EngineSelectedSink sink;
    if (add_engine_dialog_open()) {
        QPointer<AddEngineDialog> dialog = add_dialog_;
        sink = [dialog](const TraceEngine& engine) {
            if (dialog) dialog->show_engine(engine);
        };
    }
    on_current_engine_changed(engine_list(), *tree_, index, run_active(), sink);
}

void MainWindow::on_start_clicked() {
    BusyScope busy(*this);
    // Every run is kept in the journal beside the program; when it cannot be, the status label
    // says so once and the run goes on.
    JournalRecorder recorder(journal_file_path(folder_), RunSource::window,
                             [this](const std::string& text) { set_status_text(local(text)); });
    RunServices services;
    services.recorder = &recorder;
    services.timeout_ms = request_timeout_ms();
    run_recorder_ = &recorder;
    const std::unique_ptr<ProxyPool> proxies = proxy_pool_of(read_proxy_settings(settings_store()));
    proxies->warn = [this](const std::string& text) { set_status_text(local(text)); };
    services.proxies = proxies.get();
    Safeguard safeguard;
    services.safeguard = &safeguard;
    services.halt = [this](const Safeguard& watch) {
        MessageRequest question;
        question.text = watch.question_text();
        question.buttons = MessageButtons::yes_no;
        question.icon = MessageIcon::question;
        return show_run_message(question) == MessageAnswer::yes;
    };
    on_start_button_clicked(*this, services);
    run_recorder_ = nullptr;
}

void MainWindow::open_proxy_dialog() {
    // Window-modal without a loop of its own: OK keeps the settings, either button ends it.
    auto* dialog = new ProxyDialog(read_proxy_settings(settings_store()), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // Saved from the event loop, once the dialog has finished: a write may pump events,
        // and the closed dialog is deleted by them.
        QTimer::singleShot(0, this, [this, chosen = dialog->settings()] {
            if (write_proxy_settings(settings_store(), chosen)) return;
            MessageRequest message;
            message.text = local("无法保存代理设置：设置文件不能写入");
            message.icon = MessageIcon::warning;
            show_message(message);
        });
    });
    dialog->open();
}

void MainWindow::export_journal_report() {
    SaveFileRequest request;
    request.title = local("导出留痕报告：");
    request.filter = local("CSV 文件(*.csv)|*.csv|全部文件(*.*)|*.*");
    request.default_extension = "csv";
    const std::optional<std::filesystem::path> file = choose_export_file(request);
    if (!file) return;
    std::string error;
    const std::unique_ptr<Journal> journal =
        Journal::open(journal_file_path(folder_), Journal::Mode::read, error);
    std::optional<std::int64_t> run = journal ? journal->latest_run() : std::nullopt;
    if (journal && !run) error = "留痕记录中还没有留痕";
    if (run && write_report_file(*journal, run, ReportFormat::csv, *file, error)) return;
    MessageRequest message;
    message.text = local(error);
    message.icon = MessageIcon::warning;
    show_message(message);
}

void MainWindow::on_export_clicked() {
    BusyScope busy(*this);
    export_link_addresses(*this);
}

void MainWindow::on_paste_clicked() {
    keywords_->setPlainText(to_edit_text(clipboard_lossless_text()));
}

void MainWindow::on_save_config_clicked() {
    save_link_->setText(QStringLiteral("保存中.."));
    save_link_->repaint();
    save_main_window();
    if (closing_) return;
    save_link_->setText(QStringLiteral("保存配置"));
    MessageRequest request;
    request.text = local("已保存！");
    show_message(request);
}

void MainWindow::open_help_window() {
    if (help_) {
        help_->raise();
        return;
    }
    help_ = new HelpWindow(this);
    help_->setAttribute(Qt::WA_DeleteOnClose);
    help_->open();
}

void MainWindow::open_add_engine_dialog() {
    if (add_engine_dialog_open()) {
        add_dialog_->raise();
        add_dialog_->activateWindow();
        return;
    }
    add_dialog_ = new AddEngineDialog(this);
    add_dialog_->show();
}

std::vector<std::filesystem::path> MainWindow::choose_import_files() {
    if (open_files_chooser_) return open_files_chooser_();
    QFileDialog dialog(this, QStringLiteral("导入引擎列表"), QString(),
                       QStringLiteral("引擎列表 (*.txt *.csv);;全部文件 (*)"));
    make_chinese_file_dialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    std::vector<std::filesystem::path> files;
    if (dialog.exec() != QDialog::Accepted) return files;
    for (const QString& file : dialog.selectedFiles()) files.emplace_back(file.toStdString());
    return files;
}

void MainWindow::import_engine_lists() {
    const std::vector<std::filesystem::path> files = choose_import_files();
    if (files.empty() || closing_) return;
    std::vector<LocalText> texts;
    std::vector<std::string> names;
    for (const std::filesystem::path& file : files) {
        std::string bytes;
        int error_number = 0;
        if (!read_whole_file(file, bytes, &error_number)) {
            MessageRequest message;
            message.text =
                local("无法读取文件 " + file.string() + "：" + system_error_text(error_number));
            message.caption = local("导入引擎列表");
            message.icon = MessageIcon::warning;
            show_message(message);
            return;
        }
        texts.push_back(import_file_text(bytes));
        names.push_back(file.filename().string());
    }
    // Reading a list of ten thousand lines against a hundred thousand engines takes a tenth of
    // a second: it runs beside the window's events, on a copy of the list, which the events
    // may change meanwhile.
    BusyScope busy(*this);
    ImportOptions options;
    options.how_to_check_encodings = "“引擎”菜单的“检测打勾的引擎”";
    ImportReport report;
    auto existing = std::make_unique<std::vector<TraceEngine>>(engine_list().engines);
    run_beside([&] {
        report = import_engines(*existing, texts, options);
        existing.reset();  // freeing a hundred thousand engines takes a while too
    });
    if (closing_) return;
    MessageRequest summary;
    for (const LocalText& line : import_summary(report, names, options)) {
        if (!summary.text.empty()) summary.text += "\r\n";
        summary.text += line;
    }
    summary.caption = local("导入引擎列表");
    if (!report.engines.empty()) {
        const int first = tree_->item_count();
        append_engines(engine_list(), *tree_, std::move(report.engines));
        apply_site_icons(engine_list().engines, *tree_, folder_, first);
        apply_check_marks(first);
        process_pending_events();
        if (closing_) return;
        start_site_icon_download();
    }
    show_message(summary);
}

void MainWindow::quit_from_tray() {
    if (closing_) return;
    if (add_engine_dialog_open()) add_dialog_->close();
    save_main_window();
    shut_down();
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        if (add_engine_dialog_open()) add_dialog_->close();
        save_main_window();
        shut_down();
    }
    event->accept();
}

void MainWindow::shut_down() {
    closing_ = true;
    stop_engine_check();
    // Whatever still runs further up the stack winds down without asking anything.
    if (ProcessHooksScope* hooks = ProcessHooksScope::current()) hooks->set_message_box({});
    request_trace_stop();  // a run or an export under way stops at its next check
    // The process may end before the run further up the stack gets to its end: its record says
    // stopped now, so that it is not left running for good.
    if (run_recorder_) run_recorder_->run_ended(false);
    if (tray_ != nullptr) tray_->hide();
    if (busy_ > 0 && ender_) {
        ender_(0);
    } else {
        QCoreApplication::exit(0);
    }
}

LocalText MainWindow::start_caption() {
    return from_qstring(start_->text());
}

void MainWindow::set_start_caption(const LocalText& caption) {
    start_->setText(to_qstring(caption));
}

LocalText MainWindow::keyword_list_text() {
    return from_edit_text(keywords_->toPlainText());
}

LocalText MainWindow::loop_count_text() {
    return from_qstring(loops_->text());
}

LocalText MainWindow::interval_text() {
    return from_qstring(interval_->text());
}

long MainWindow::request_timeout_ms() {
    // Seconds, read as the interval is; empty, zero or not a number: the paths' own timeouts.
    return read_interval_ms(from_qstring(timeout_->text()));
}

std::vector<TraceEngine> MainWindow::engine_snapshot() {
    return engine_list().engines;
}

bool MainWindow::add_engine_dialog_open() {
    return add_dialog_ && add_dialog_->isVisible() && !add_dialog_->closed();
}

void MainWindow::set_current_engine(int index) {
    tree_->set_current_item(index);
}

void MainWindow::set_progress_maximum(int maximum) {
    progress_->setMaximum(maximum);
}

void MainWindow::set_progress_position(int position) {
    progress_->setValue(position);
}

void MainWindow::set_status_text(const LocalText& text) {
    status_->setText(to_qstring(text));
}

void MainWindow::set_progress_visible(bool visible) {
    progress_->setVisible(visible);
    status_->setVisible(visible);
}

MessageAnswer MainWindow::show_run_message(const MessageRequest& request) {
    if (request.buttons == MessageButtons::ok_cancel) {
        // The no-engine question leaves the window usable, so engines can be ticked meanwhile.
        ModelessMessageScope modeless;
        return show_message(request);
    }
    return show_message(request);
}

std::optional<std::filesystem::path> MainWindow::choose_export_file(
    const SaveFileRequest& request) {
    if (chooser_) return chooser_(request);
    QFileDialog dialog(this, to_qstring(request.title), QString(), qt_filter(request.filter));
    make_chinese_file_dialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(to_qstring(request.default_extension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

MessageAnswer MainWindow::show_export_message(const MessageRequest& request) {
    return show_message(request);
}

}  // namespace trasslo
