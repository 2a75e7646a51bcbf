#include "app/help_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "ui/qt/qt_clipboard.h"
#include "ui/qt/qt_text.h"

namespace trasslo {

LocalText help_text() {
    const std::string rule(49, '-');
    const char* const paragraphs[] = {
        "本软件是一款留痕工具：在各大门户网站的站内搜索中搜索您的关键词或网址，让搜索结果页带上"
        "您的信息，从而获得免费的外链或更多的搜索引擎曝光。\r\n"
        "使用方法：先添加留痕引擎并打勾，再填写关键词列表，然后点击【开始留痕】。",
        "可自定义添加任意网站搜索，打勾的项目将被执行留痕。",
        "留痕间隔秒：每留痕一个关键词后暂停的时间。如果添加的留痕引擎很多，那么基本上留痕间隔秒"
        "可以设置为0的，如果只是一两个留痕引擎，而且该引擎又限制频繁搜索，则可以按实际情况设定间隔"
        "秒。",
        "循环次数：循环完所有关键词的留痕为一次，可设定多次循环。",
        "添加留痕引擎：【添加】是在列表末尾建立引擎；【插入】是在当前位置建立引擎",
        "留痕引擎列表多选：按住Ctlr单击站点时自动打勾；选中起始站点，按住Shift键再选中终止站点可"
        "打勾区间所有站点（默认会清除区间之外的打勾，如果要保留原打勾，可以同时按住Ctrl键）",
        "注意：软件只是负责访问，是否留下痕迹看目标网站的情况。自己找百度快照频繁的高权重网站作为"
        "留痕目标。本工具系用户建议才开发的，因此自己理解使用。",
        "举例：在搜索引擎里搜索某个关键词，结果中常能见到各网站的站内搜索页，例如：\r\n"
        "http://search.example.com/s?q=关键词\r\n"
        "http://www.example.org/search.php?keyword=关键词",
    };
    const std::string sep = "\r\n\r\n";
    std::string utf8;
    utf8 += paragraphs[0];
    utf8 += sep + rule;
    for (int i = 1; i <= 5; ++i) utf8 += sep + paragraphs[i];
    utf8 += sep + window_menus_text();
    utf8 += sep + rule + sep + paragraphs[6];
    utf8 += sep + paragraphs[7];
    return local(utf8);
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("疑点说明"));
    setWindowTitle(QStringLiteral("疑点说明"));
    setModal(true);
    resize(495, 393);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("编辑框帮助"));
    text_->setReadOnly(true);
    text_->setPlainText(to_qstring(help_text()));

    auto* buttons = new QHBoxLayout;
    auto add_button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* clear = add_button("按钮清空", "清空");
    QPushButton* restore = add_button("按钮恢复", "恢复");
    QPushButton* paste = add_button("按钮粘贴", "粘贴");
    buttons->addStretch();
    QPushButton* close_button = add_button("按钮关闭", "关闭(&G)");

    connect(clear, &QPushButton::clicked, text_, &QPlainTextEdit::clear);
    connect(restore, &QPushButton::clicked, this,
            [this] { text_->setPlainText(to_qstring(help_text())); });
    connect(paste, &QPushButton::clicked, this,
            [this] { text_->setPlainText(to_qstring(clipboard_text())); });
    connect(close_button, &QPushButton::clicked, this, &QDialog::accept);

    // The controls follow the window size with a margin of 5 pixels.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(5);
    layout->addWidget(text_);
    layout->addLayout(buttons);

    centre_on_screen();
}

QPushButton* HelpWindow::button(const QString& object_name) const {
    return findChild<QPushButton*>(object_name);
}

void HelpWindow::centre_on_screen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    move(area.width() / 2 - width() / 2, (area.height() - 30) / 2 - height() / 2);
}

}  // namespace trasslo
