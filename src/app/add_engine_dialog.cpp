#include "app/add_engine_dialog.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/busy_scope.h"
#include "app/designed_widgets.h"
#include "app/main_window.h"
#include "base/event_pump.h"
#include "base/message_box.h"
#include "engines/engine_list.h"
#include "engines/template_normal_form.h"
#include "net/abandon_scope.h"
#include "net/fetch_title.h"
#include "net/site_host.h"
#include "run/window_defaults.h"
#include "settings/settings_store.h"
#include "text/regex_object.h"
#include "ui/qt/qt_clipboard.h"
#include "ui/qt/qt_control_walk.h"
#include "ui/qt/qt_engine_tree.h"
#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

const char* const kDialogSection = "添加留痕引擎";

}  // namespace

// Counts the dialog's own long work (a site visit pumps events, so the dialog may be closed
// meanwhile): a closed dialog goes away only once the last such work has left the stack.
class AddEngineDialog::Busy {
  public:
    explicit Busy(AddEngineDialog& dialog) : dialog_(dialog) { ++dialog_.busy_; }
    ~Busy() {
        if (--dialog_.busy_ == 0 && dialog_.closed_) dialog_.deleteLater();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    AddEngineDialog& dialog_;
};

LocalText& AddEngineDialog::last_host() {
    static LocalText host;
    return host;
}

AddEngineDialog::AddEngineDialog(MainWindow* owner) : QDialog(owner), owner_(owner) {
    setObjectName(QStringLiteral("添加留痕引擎"));
    setWindowTitle(QStringLiteral("添加留痕引擎"));
    setModal(false);
    setGeometry(50, 50, 578, 187);

    designed_label(this, "标签1", "留痕地址：", QRect(12, 16, 70, 26));
    address_ = designed_line_edit(this, "编辑框留痕地址", "http://www.baidu.com/s?wd={*}",
                                  QRect(84, 16, 352, 26));
    QPushButton* paste = designed_button(this, "按钮粘贴", "粘贴", QRect(442, 14, 60, 30));
    QPushButton* placeholder = designed_button(this, "按钮粘贴1", "{*}", QRect(506, 14, 60, 30));
    designed_label(this, "标签3", "引擎名称：", QRect(12, 58, 70, 26));
    name_ = designed_line_edit(this, "编辑框引擎名称", "", QRect(84, 58, 352, 26));
    designed_label(this, "标签2", "网页编码：", QRect(12, 100, 70, 26));
    gbk_ = new QRadioButton(QStringLiteral("GBK"), this);
    named(gbk_, "单选框GBK");
    gbk_->setGeometry(84, 100, 70, 26);
    gbk_->setChecked(true);
    utf8_ = new QRadioButton(QStringLiteral("UTF-8"), this);
    named(utf8_, "单选框UTF_8");
    utf8_->setGeometry(160, 100, 80, 26);
    // Says what the dialog waits for while it reads a site; empty otherwise.
    status_ = new QLabel(this);
    named(status_, "标签状态");
    status_->setGeometry(250, 100, 316, 26);
    auto* group = new QButtonGroup(this);
    group->addButton(gbk_);
    group->addButton(utf8_);
    QPushButton* help = designed_button(this, "按钮帮助", "帮助", QRect(12, 142, 80, 32));
    QPushButton* insert = designed_button(this, "按钮插入", "插入", QRect(236, 142, 80, 32));
    QPushButton* add = designed_button(this, "按钮添加", "添加", QRect(322, 142, 80, 32));
    test_ = designed_button(this, "按钮留痕测试", "留痕测试", QRect(442, 142, 124, 32));

    connect(address_, &QLineEdit::textChanged, this, &AddEngineDialog::on_address_changed);
    connect(paste, &QPushButton::clicked, this, &AddEngineDialog::paste_address);
    connect(placeholder, &QPushButton::clicked, this, &AddEngineDialog::insert_placeholder);
    connect(help, &QPushButton::clicked, this, &AddEngineDialog::show_help);
    connect(insert, &QPushButton::clicked, this, [this] { add_or_insert(true); });
    connect(add, &QPushButton::clicked, this, [this] { add_or_insert(false); });
    connect(test_, &QPushButton::clicked, this, &AddEngineDialog::test_engine);

    on_address_changed();
    QtControlWalk walk(this);
    settings_store().restore_controls(walk, local(kDialogSection));
}

void AddEngineDialog::on_address_changed() {
    // A new site gets its name read again: the name empties when the host changes.
    const LocalText host = site_host(from_qstring(address_->text()));
    LocalText& last = last_host();
    if (!last.empty() && last != host) name_->clear();
    last = host;
}

int AddEngineDialog::selected_encoding() const {
    return gbk_->isChecked() ? 0 : 1;
}

void AddEngineDialog::show_engine(const TraceEngine& engine) {
    address_->setText(to_qstring(engine.address));
    name_->setText(to_qstring(engine.name));
    QButtonGroup* group = gbk_->group();
    if (engine.encoding == engine_encoding_gbk) {
        gbk_->setChecked(true);
    } else if (engine.encoding == engine_encoding_utf8) {
        utf8_->setChecked(true);
    } else {
        // Neither: an exclusive group cannot clear its checked button by itself.
        group->setExclusive(false);
        gbk_->setChecked(false);
        utf8_->setChecked(false);
        group->setExclusive(true);
    }
}

bool AddEngineDialog::add_or_insert(bool insert) {
    if (busy_ > 0) return false;
    Busy busy(*this);
    BusyScope window_busy(*owner_);
    const LocalText address = from_qstring(address_->text());
    if (name_->text().isEmpty()) {
        // The site's title names the engine, cut before its first separator.
        const LocalText home = site_host(address, false, true);
        setEnabled(false);
        status_->setText(QStringLiteral("正在读取网站标题…"));
        LocalText title;
        {
            // Closing the dialog gives the read up at once.
            const AbandonScope abandon(closed_);
            title = fetch_title(home, "", 0);
        }
        if (closed_) return false;
        status_->clear();
        setEnabled(true);
        const LocalText cut = title_before_separator(title);
        if (!cut.empty()) title = cut;
        name_->setText(to_qstring(title));
    }
    LocalText name = from_qstring(name_->text());
    if (name.empty()) name = site_host(address);
    const TraceEngine engine = engine_for_list(name, address, selected_encoding());
    if (find_text(engine.address, "{*}") < 0) {
        MessageRequest question;
        question.text = local("你还没有在留痕地址中插入 {*} 作为关键词，是否继续添加？");
        question.caption = local("添加留痕引擎");
        question.buttons = MessageButtons::yes_no;
        question.icon = MessageIcon::question;
        if (show_message(question) != MessageAnswer::yes) return false;
    }
    // The same engine by the import's duplicate rule (scheme, "www.", parameter order...).
    for (const TraceEngine& existing : engine_list().engines) {
        if (!same_engine_template(existing.address, engine.address)) continue;
        MessageRequest question;
        question.text = local("已有相同地址的引擎【") + existing.name + local("】，仍要添加吗？");
        question.caption = local("添加留痕引擎");
        question.buttons = MessageButtons::yes_no;
        question.icon = MessageIcon::question;
        if (show_message(question) != MessageAnswer::yes || closed_) return false;
        break;
    }
    if (insert) {
        insert_engine(engine_list(), *owner_->engine_tree(), engine);
    } else {
        add_engine(engine_list(), *owner_->engine_tree(), engine);
    }
    owner_->refresh_site_icons();
    return true;
}

void AddEngineDialog::show_help() {
    MessageRequest help;
    help.text = local(
        "1、在目标网站搜索，然后复制搜索地址串到【留痕地址】，将搜索关键词的位置替换为 {*}\r\n\r\n"
        "2、网页编码可以在搜索页面鼠标右击的菜单里查看\r\n\r\n"
        "3、引擎名称留空时自动读取网站标题");
    help.caption = local("帮助");
    show_message(help);
}

void AddEngineDialog::test_engine() {
    if (busy_ > 0) return;
    Busy busy(*this);
    BusyScope window_busy(*owner_);
    test_->setText(QStringLiteral("正在访问中.."));
    test_->repaint();
    LocalText title;
    {
        // Closing the dialog gives the test up at once.
        const AbandonScope abandon(closed_);
        title =
            fetch_title(from_qstring(address_->text()), trace_test_keyword(), selected_encoding());
    }
    if (closed_) return;
    MessageRequest message;
    message.text = title;
    message.caption = local("留痕标题：");
    show_message(message);
    test_->setText(QStringLiteral("留痕测试"));
}

void AddEngineDialog::paste_address() {
    address_->setText(to_qstring(clipboard_text()));
}

void AddEngineDialog::insert_placeholder() {
    // Replaces the selection, or goes in at the caret when nothing is selected.
    address_->insert(QStringLiteral("{*}"));
    address_->setFocus();
}

void AddEngineDialog::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        QtControlWalk walk(this);
        settings_store().save_controls(walk, local(kDialogSection));
        closed_ = true;
    }
    event->accept();
    // A site visit of this dialog may still be on the stack: it checks `closed_` on its way
    // back, and the dialog is deleted when it has left.
    if (busy_ == 0) deleteLater();
}

}  // namespace trasslo
