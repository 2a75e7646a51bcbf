// The add-engine dialog over the real main window: adding and inserting, names read from the
// site, the {*} question, the engine test, the last-host rule, filling from the tree, and the
// texts that would corrupt the engine list file.
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>

#include "app/add_engine_dialog.h"
#include "app_fixture.h"
#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "support/http_test_server.h"
#include "ui/qt/qt_engine_tree.h"
#include "ui/qt/qt_text.h"

namespace trasslo::support {
namespace {

class AddEngineDialogTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        AddEngineDialog::last_host().clear();
        const std::vector<std::string> addresses = {site.url("/s1?q={*}"), site.url("/s2?q={*}")};
        write_engine_file({"真|0|甲|" + addresses[0], "假|2|乙|" + addresses[1]});
        cache_icons_for({addresses[0], addresses[1]});
        open_window();
        window->findChild<QPushButton*>(QStringLiteral("按钮添加"))->click();
        dialog = window->add_engine_dialog();
        ASSERT_NE(dialog, nullptr);
    }
    void click(const char* name) {
        QPushButton* b = dialog->findChild<QPushButton*>(QString::fromUtf8(name));
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    void type_address(const std::string& address) {
        dialog->address_edit()->setText(QString::fromStdString(address));
    }
    const std::vector<TraceEngine>& engines() { return engine_list().engines; }

    LocalSite site;
    AddEngineDialog* dialog = nullptr;
};

TEST_F(AddEngineDialogTest, OpensNonModalOwnedByTheWindowWithItsDefaults) {
    EXPECT_EQ(dialog->windowTitle(), "添加留痕引擎");
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->parentWidget(), window.get());
    EXPECT_EQ(dialog->geometry().size(), QSize(578, 187));
    EXPECT_TRUE(dialog->address_edit()->text().endsWith("/s?wd={*}"));
    EXPECT_TRUE(dialog->name_edit()->text().isEmpty());
    EXPECT_TRUE(dialog->gbk_button()->isChecked());
    EXPECT_TRUE(window->add_engine_dialog_open());
}

TEST_F(AddEngineDialogTest, AddAppendsTicksAndMakesCurrent) {
    type_address(site.url("/s3?q={*}"));
    dialog->name_edit()->setText(QString::fromUtf8("丙"));
    dialog->utf8_button()->setChecked(true);
    click("按钮添加");
    ASSERT_EQ(engines().size(), 3u);
    EXPECT_EQ(engines()[2], (TraceEngine{true, 1, local("丙"), site.url("/s3?q={*}")}));
    EXPECT_EQ(window->engine_tree()->current_item(), 2);
    EXPECT_EQ(window->engine_tree()->check_state(2), 1);
    EXPECT_EQ(dialog->name_edit()->text(), QString::fromUtf8("丙")) << "fields stay";
    EXPECT_TRUE(messages.empty());
}

TEST_F(AddEngineDialogTest, InsertGoesBeforeTheCurrentOrFirstWithoutOne) {
    type_address(site.url("/s4?q={*}"));
    dialog->name_edit()->setText("X");
    window->engine_tree()->set_current_item(-1);
    click("按钮插入");
    ASSERT_EQ(engines().size(), 3u);
    EXPECT_EQ(engines()[0].name, "X");
    window->engine_tree()->set_current_item(2);
    dialog->name_edit()->setText("Y");
    click("按钮插入");
    EXPECT_EQ(engines()[2].name, "Y");
    EXPECT_EQ(engines()[3].name, local("乙"));
    EXPECT_EQ(window->engine_tree()->current_item(), 2);
    EXPECT_EQ(window->engine_tree()->item_count(), 4);
    // And deleting it makes the engine behind it current.
    window->findChild<QPushButton*>(QStringLiteral("按钮删除"))->click();
    EXPECT_EQ(engines().size(), 3u);
    EXPECT_EQ(engines()[2].name, local("乙"));
    EXPECT_EQ(window->engine_tree()->current_item(), 2);
}

TEST_F(AddEngineDialogTest, EmptyNameIsReadFromTheSiteTitleCutBeforeItsSeparator) {
    type_address(site.url("/s5?q={*}"));
    dialog->name_edit()->clear();
    click("按钮添加");
    ASSERT_EQ(engines().size(), 3u);
    EXPECT_EQ(engines()[2].name, "Local Shop ");
    // The title comes from the home page; the search page itself is not visited. (The icon
    // worker started by the add may ask the site for its icon afterwards.)
    ASSERT_GE(site.requests().size(), 1u);
    EXPECT_EQ(site.requests()[0].target, "/");
    EXPECT_EQ(site.count("/s5"), 0u);
    EXPECT_EQ(dialog->name_edit()->text(), "Local Shop ");
}

TEST_F(AddEngineDialogTest, UnreachableSiteIsNamedAfterItsHost) {
    const std::string address =
        "http://127.0.0.1:" + std::to_string(unused_loopback_port()) + "/s?q={*}";
    type_address(address);
    click("按钮添加");
    ASSERT_EQ(engines().size(), 3u);
    EXPECT_EQ(engines()[2].name, address.substr(7, address.find("/s?") - 7));
}

TEST_F(AddEngineDialogTest, AddressWithoutPlaceholderIsAskedAbout) {
    type_address(site.url("/plain"));
    dialog->name_edit()->setText("P");
    answers = {MessageAnswer::no};
    click("按钮添加");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].buttons, MessageButtons::yes_no);
    EXPECT_EQ(utf8_of(messages[0].text), "你还没有在留痕地址中插入 {*} 作为关键词，是否继续添加？");
    EXPECT_EQ(engines().size(), 2u);
    answers = {MessageAnswer::yes};
    click("按钮添加");
    EXPECT_EQ(engines().size(), 3u);
}

// The same engine as one in the list, written as it is or in another form, is asked about.
TEST_F(AddEngineDialogTest, AnAddressAlreadyInTheListIsAskedAbout) {
    const std::string forms[] = {site.url("/s1?q={*}"), site.url("/s2?q={*}#top")};
    const char* const names[] = {"甲", "乙"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(forms[i]);
        messages.clear();
        type_address(forms[i]);
        dialog->name_edit()->setText("X");
        answers = {MessageAnswer::no};
        click("按钮添加");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].buttons, MessageButtons::yes_no);
        EXPECT_EQ(utf8_of(messages[0].text),
                  std::string("已有相同地址的引擎【") + names[i] + "】，仍要添加吗？");
        EXPECT_EQ(engines().size(), 2u);
    }
    answers = {MessageAnswer::yes};
    click("按钮添加");
    EXPECT_EQ(engines().size(), 3u);
    // A new address asks nothing.
    messages.clear();
    type_address(site.url("/s3?q={*}"));
    click("按钮添加");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(engines().size(), 4u);
}

TEST_F(AddEngineDialogTest, BarsAndLineBreaksCannotReachTheEngineFile) {
    // ¦ becomes | only on its way to local text (best fit), and is guarded all the same.
    // A "<" would let a charset tag change how the whole file is read.
    type_address(site.url("/s?a={*}|b¦c<meta charset=utf-8>"));
    dialog->name_edit()->setText(QString::fromUtf8("甲|乙¦丙<meta charset=utf-8>"));
    click("按钮添加");
    ASSERT_EQ(engines().size(), 3u);
    EXPECT_EQ(engines()[2].address, site.url("/s?a={*}%7Cb%7Cc%3Cmeta charset=utf-8>"));
    EXPECT_EQ(engines()[2].name, local("甲｜乙｜丙＜meta charset=utf-8>"));
    EXPECT_EQ(engine_for_list("a\r\nb", "x\ny|", 0).name, "ab");
    EXPECT_EQ(engine_for_list("a\r\nb", "x\ny|", 0).address, "xy%7C");

    // Saved and read back, the engine is whole.
    window->close();
    const std::vector<TraceEngine> back = read_engine_list_file(folder());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back, engines());
}

TEST_F(AddEngineDialogTest, SelectingInTheTreeFillsTheDialog) {
    QtEngineTree& tree = *window->engine_tree();
    tree.setCurrentItem(tree.topLevelItem(0));
    EXPECT_EQ(from_qstring(dialog->address_edit()->text()), site.url("/s1?q={*}"));
    EXPECT_EQ(dialog->name_edit()->text(), QString::fromUtf8("甲"));
    EXPECT_TRUE(dialog->gbk_button()->isChecked());

    // Code 2 selects neither button, and adding it then stores 1.
    tree.setCurrentItem(tree.topLevelItem(1));
    EXPECT_EQ(dialog->name_edit()->text(), QString::fromUtf8("乙"));
    EXPECT_FALSE(dialog->gbk_button()->isChecked());
    EXPECT_FALSE(dialog->utf8_button()->isChecked());
    click("按钮添加");
    ASSERT_EQ(engines().size(), 3u);
    EXPECT_EQ(engines()[2].encoding, 1);
}

TEST_F(AddEngineDialogTest, NewHostEmptiesTheNameSameHostKeepsIt) {
    type_address("http://a.example.test/s?q={*}");
    dialog->name_edit()->setText("Kept");
    type_address("http://a.example.test/other?k={*}");
    EXPECT_EQ(dialog->name_edit()->text(), "Kept");
    type_address("http://b.example.test/s?q={*}");
    EXPECT_TRUE(dialog->name_edit()->text().isEmpty());
}

TEST_F(AddEngineDialogTest, EngineTestShowsThePageTitle) {
    type_address(site.url("/s9?q={*}"));
    dialog->utf8_button()->setChecked(true);
    QString caption_during;
    on_message = [&](const MessageRequest&) { caption_during = dialog->test_button()->text(); };
    click("按钮留痕测试");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(utf8_of(messages[0].caption), "留痕标题：");
    EXPECT_EQ(utf8_of(messages[0].text), "Local Shop - Search");
    EXPECT_EQ(caption_during, "正在访问中..");
    EXPECT_EQ(dialog->test_button()->text(), "留痕测试");
    EXPECT_EQ(engines().size(), 2u) << "a test adds nothing";
    ASSERT_EQ(site.count("/s9"), 1u);
    const std::string target = site.requests().back().target;
    EXPECT_EQ(target, "/s9?q=%E7%95%99%E7%97%95%E6%B5%8B%E8%AF%95");
}

// Closing the dialog while it waits on a site that never answers gives the visit up at once:
// the name read behind "添加" (which says so in the status line) and the engine test alike.
TEST_F(AddEngineDialogTest, ClosingDuringAStalledVisitGivesItUpWithinASecond) {
    using Clock = std::chrono::steady_clock;
    for (const char* button : {"按钮添加", "按钮留痕测试"}) {
        SCOPED_TRACE(button);
        HttpTestServer stalled([](Connection& c, const RecordedRequest&) { c.hold(); });
        window->findChild<QPushButton*>(QStringLiteral("按钮添加"))->click();
        QPointer<AddEngineDialog> open = window->add_engine_dialog();
        ASSERT_FALSE(open.isNull());
        open->address_edit()->setText(QString::fromStdString(stalled.url("/s?q={*}")));
        open->name_edit()->clear();
        QString status_during;
        Clock::time_point closed_at{};
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (stalled.connection_count() == 0 || !open || closed_at != Clock::time_point{})
                return;
            status_during = open->status_label()->text();
            closed_at = Clock::now();
            open->close();
        });
        closer.start(10);
        open->findChild<QPushButton*>(QString::fromUtf8(button))->click();
        closer.stop();
        ASSERT_NE(closed_at, Clock::time_point{}) << "the visit never reached the site";
        EXPECT_LT(Clock::now() - closed_at, std::chrono::seconds(1));
        EXPECT_EQ(stalled.connection_count(), 1u) << "no second attempt";
        if (std::string(button) == "按钮添加") EXPECT_EQ(status_during, "正在读取网站标题…");
        EXPECT_EQ(engines().size(), 2u);
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(AddEngineDialogTest, PlaceholderButtonReplacesTheSelection) {
    dialog->address_edit()->setText("http://x.test/s?q=word");
    dialog->address_edit()->setSelection(18, 4);
    click("按钮粘贴1");
    EXPECT_EQ(dialog->address_edit()->text(), "http://x.test/s?q={*}");
}

TEST_F(AddEngineDialogTest, HelpSaysHowToMakeATemplate) {
    click("按钮帮助");
    ASSERT_EQ(messages.size(), 1u);
    const std::string text = utf8_of(messages[0].text);
    EXPECT_EQ(text.rfind("1、在目标网站搜索", 0), 0u);
    EXPECT_NE(text.find("{*}\r\n\r\n2、网页编码"), std::string::npos);
    EXPECT_NE(text.find("查看\r\n\r\n3、引擎名称留空时自动读取网站标题"), std::string::npos);
}

TEST_F(AddEngineDialogTest, FieldsComeBackWhenTheDialogOpensAgain) {
    type_address(site.url("/kept?q={*}"));
    dialog->name_edit()->setText("Saved");
    dialog->utf8_button()->setChecked(true);
    dialog->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->add_engine_dialog(), nullptr) << "destroyed on closing";
    EXPECT_FALSE(window->add_engine_dialog_open());
    window->findChild<QPushButton*>(QStringLiteral("按钮添加"))->click();
    AddEngineDialog* again = window->add_engine_dialog();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(from_qstring(again->address_edit()->text()), site.url("/kept?q={*}"));
    EXPECT_EQ(again->name_edit()->text(), "Saved");
    EXPECT_TRUE(again->utf8_button()->isChecked());
}

}  // namespace
}  // namespace trasslo::support
