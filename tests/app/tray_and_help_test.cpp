// The tray icon's clicks and quit question, and the help window with its four buttons.
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/help_window.h"
#include "app/tray_icon.h"
#include "app_fixture.h"
#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "settings/settings_store.h"
#include "ui/qt/qt_clipboard.h"
#include "ui/qt/qt_text.h"

namespace trasslo::support {
namespace {

class TrayTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        address = site.url("/s?q={*}");
        write_engine_file({"真|0|甲|" + address});
        cache_icons_for({address});
        open_window();
    }
    LocalSite site;
    std::string address;
};

TEST_F(TrayTest, LeftClickHidesAndShowsTheWindowRestored) {
    TrayIcon& tray = *window->tray_icon();
    EXPECT_EQ(utf8_of(from_qstring(tray.tip())), "Tandel·Trasslo");
    ASSERT_TRUE(window->isVisible());
    window->showMinimized();
    tray.on_left_click();
    EXPECT_FALSE(window->isVisible()) << "a minimized, visible window is hidden";
    tray.on_left_click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(TrayTest, QuitQuestionCancelLeavesEverythingAsItWas) {
    answers = {MessageAnswer::cancel};
    EXPECT_FALSE(window->tray_icon()->on_right_click());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(utf8_of(messages[0].text), "确定要退出本软件《Tandel·Trasslo》吗？");
    EXPECT_EQ(messages[0].buttons, MessageButtons::ok_cancel);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(std::filesystem::exists(engine_list_file_path(folder())) &&
                 read_file_bytes(engine_list_file_path(folder())).find(local("乙")) !=
                     std::string::npos);
}

TEST_F(TrayTest, QuitQuestionOkSavesAndCloses) {
    engine_list().engines[0].name = local("乙");  // a change only the save can carry to disk
    EXPECT_TRUE(window->tray_icon()->on_right_click());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(read_file_bytes(engine_list_file_path(folder())),
              local("真|0|乙|") + address + "\r\n");
    EXPECT_NE(read_file_bytes(settings_file_path(folder())).find(local("[主界面]")),
              std::string::npos);
    EXPECT_EQ(messages.size(), 1u) << "closing after the question asks nothing more";
}

TEST(HelpText, HoldsEveryParagraphInOrderWithTheRules) {
    const std::string text = to_utf8(help_text());
    const std::string rule = std::string(49, '-');
    const std::vector<std::string> in_order = {
        "\r\n\r\n" + rule + "\r\n\r\n",
        "可自定义添加任意网站搜索，打勾的项目将被执行留痕。\r\n\r\n留痕间隔秒：",
        "循环次数：循环完所有关键词的留痕为一次，可设定多次循环。",
        "添加留痕引擎：【添加】是在列表末尾建立引擎；【插入】是在当前位置建立引擎",
        "留痕引擎列表多选：按住Ctlr单击站点时自动打勾",
        "菜单：【文件】导入引擎列表、导出外链地址、导出留痕报告、留痕记录、退出；【引擎】添加、检测"
        "打勾的引擎、全选、不选、代理设置；【帮助】疑点说明、关于。在留痕引擎列表上单击右键也可以导"
        "入引擎列表、导出留痕报告、留痕记录、检测打勾的引擎、代理设置。",
        "\r\n\r\n" + rule + "\r\n\r\n注意：软件只是负责访问",
        "因此自己理解使用。\r\n\r\n"};
    std::size_t at = 0;
    for (const std::string& part : in_order) {
        const std::size_t found = text.find(part, at);
        ASSERT_NE(found, std::string::npos) << part;
        at = found + part.size();
    }
    EXPECT_EQ(text.find(rule + "-"), std::string::npos) << "rules are exactly 49 long";
}

TEST_F(TrayTest, HelpWindowButtonsClearRestorePasteAndClose) {
    window->open_help_window();
    HelpWindow* help = window->help_window();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), "疑点说明");
    EXPECT_EQ(help->size(), QSize(495, 393));
    EXPECT_TRUE(help->isModal());
    EXPECT_TRUE(help->text_box()->isReadOnly());
    const QString original = help->text_box()->toPlainText();
    EXPECT_EQ(from_qstring(original.split('\n').join("\r\n")), help_text());

    help->button(QStringLiteral("按钮清空"))->click();
    EXPECT_TRUE(help->text_box()->toPlainText().isEmpty());
    help->button(QStringLiteral("按钮恢复"))->click();
    EXPECT_EQ(help->text_box()->toPlainText(), original);
    set_clipboard_text(local("剪贴板"));
    help->button(QStringLiteral("按钮粘贴"))->click();
    EXPECT_EQ(help->text_box()->toPlainText(), QString::fromUtf8("剪贴板"));
    EXPECT_EQ(help->button(QStringLiteral("按钮关闭"))->text(), "关闭(&G)");
    help->button(QStringLiteral("按钮关闭"))->click();
    EXPECT_FALSE(help->isVisible());
}

}  // namespace
}  // namespace trasslo::support
