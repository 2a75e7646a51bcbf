// The main window with its real widgets: start-up defaults, saving on close, the run and its
// stop click, multi-ticking, the paste and save commands, the engine list's menu, and ending
// during a run.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <map>

#include "app/clickable_label.h"
#include "app/main_window.h"
#include "app/tray_icon.h"
#include "app_fixture.h"
#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "icons/icon_cache.h"
#include "icons/site_icons.h"
#include "journal/journal.h"
#include "run/window_defaults.h"
#include "settings/settings_store.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "ui/qt/qt_clipboard.h"
#include "ui/qt/qt_engine_tree.h"
#include "ui/qt/qt_text.h"

namespace trasslo::support {
namespace {

template <typename W>
W* control(QWidget& window, const char* name) {
    W* w = window.findChild<W*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

std::vector<LocalText> default_addresses() {
    std::vector<LocalText> out;
    for (const TraceEngine& e : parse_engine_list_text(default_engine_list_text())) {
        out.push_back(e.address);
    }
    return out;
}

// The engine list's right-click menu entry with this caption.
QAction* menu_action(MainWindow& w, const char* caption) {
    for (QAction* action : w.engine_menu()->actions())
        if (action->text() == QString::fromUtf8(caption)) return action;
    ADD_FAILURE() << caption;
    return nullptr;
}

class MainWindowTest : public AppTest {
  protected:
    // A window over `count` ticked engines of the local site.
    MainWindow& open_on_local_site(int count) {
        std::vector<std::string> lines;
        std::vector<LocalText> addresses;
        for (int i = 1; i <= count; ++i) {
            const std::string address = site.url("/s" + std::to_string(i) + "?q={*}");
            lines.push_back("真|1|站" + std::to_string(i) + "|" + address);
            addresses.push_back(address);
        }
        write_engine_file(lines);
        cache_icons_for(addresses);
        return open_window();
    }
    QPushButton* start() { return control<QPushButton>(*window, "按钮开始留痕"); }
    QPlainTextEdit* keywords() { return control<QPlainTextEdit>(*window, "编辑框关键词列表"); }
    QtEngineTree& tree() { return *window->engine_tree(); }
    void select(int index) { tree().setCurrentItem(tree().topLevelItem(index)); }
    std::vector<int> ticked() {
        std::vector<int> out;
        for (int i = 0; i < tree().item_count(); ++i) {
            if (tree().check_state(i) == 1) out.push_back(i);
        }
        return out;
    }

    LocalSite site;
};

TEST_F(MainWindowTest, StartsWithoutFilesShowingTheDesignedDefaults) {
    // No engine list file and nothing in the settings file. The default engines name real
    // sites, so their icons are cached: no request may leave the machine.
    cache_icons_for(default_addresses());
    ASSERT_FALSE(std::filesystem::exists(engine_list_file_path(folder())));
    const std::string settings_before = read_file_bytes(settings_file_path(folder()));
    ASSERT_EQ(settings_before.find('['), std::string::npos) << settings_before;
    MainWindow& w = open_window();
    EXPECT_EQ(w.windowTitle(), main_window_title());
    // The designed 740 x 577 area under the menu bar, at a size the user cannot change.
    const int bar = w.menu_bar()->height();
    EXPECT_GT(bar, 0);
    EXPECT_EQ(w.client_area()->geometry(), QRect(0, bar, 740, 577));
    EXPECT_EQ(w.geometry(), QRect(50, 50, 740, 577 + bar));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(tree().geometry(), QRect(10, 34, 340, 452));
    EXPECT_EQ(from_qstring(keywords()->toPlainText().replace("\n", "\r\n")),
              default_keyword_list_text());
    EXPECT_EQ(control<QLineEdit>(w, "编辑框留痕间隔秒")->text(), "0");
    EXPECT_EQ(control<QLineEdit>(w, "编辑框留痕次数")->text(), "1");
    EXPECT_EQ(control<QLineEdit>(w, "编辑框请求超时秒")->text(), "120");
    EXPECT_EQ(start()->text(), "开始留痕");

    ASSERT_EQ(tree().item_count(), 8);
    const std::vector<TraceEngine> defaults = parse_engine_list_text(default_engine_list_text());
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(tree().item_text(i), engine_item_text(defaults[static_cast<size_t>(i)]));
        EXPECT_EQ(tree().check_state(i), 1) << i;
        EXPECT_TRUE(tree().item_has_icon(i)) << i;
    }
    EXPECT_EQ(engine_list().engines, defaults);
}

// What the user reads and clicks: each caption sits on the control that the settings and the
// tests know by its name, and clicking it does that control's job; the labels only name what
// lies below them.
TEST_F(MainWindowTest, EachCaptionSitsOnTheControlOfItsNameAndItsClickDoesTheJob) {
    MainWindow& w = open_on_local_site(3);
    set_clipboard_text("k");
    const std::filesystem::path exported = folder() / "links.txt";
    w.set_file_chooser([&](const SaveFileRequest&) { return std::optional(exported); });
    select(0);
    const auto said = [&](const char* text) {
        return !messages.empty() && utf8_of(messages.back().text).find(text) != std::string::npos;
    };
    struct Row {
        const char* name;
        const char* caption;
        std::function<bool()> done;  // after the click; empty: not clicked
    };
    const Row rows[] = {
        {"标签1", "留痕引擎列表：", {}},
        {"标签2", "留痕关键词列表：", {}},
        {"标签3", "留痕间隔秒：", {}},
        {"标签4", "循环次数：", {}},
        {"按钮不选", "不选", [&] { return ticked().empty(); }},
        {"按钮全选", "全选",
         [&] {
             return ticked() == std::vector<int>{0, 1, 2};
         }},
        {"按钮删除", "删除", [&] { return tree().item_count() == 2; }},
        {"按钮粘贴", "粘贴", [&] { return keywords()->toPlainText() == "k"; }},
        {"按钮导出外链地址", "导出外链地址",
         [&] {
             return read_file_bytes(exported) ==
                    site.url("/s2?q=k") + "\r\n" + site.url("/s3?q=k") + "\r\n";
         }},
        {"按钮开始留痕", "开始留痕", [&] { return site.count("/s") == 2 && said("留下了 2 个"); }},
        {"链接保存配置", "保存配置", [&] { return said("已保存！"); }},
        {"链接疑点说明", "疑点说明", [&] { return w.help_window() != nullptr; }},
        {"按钮添加", "添加..", [&] { return w.add_engine_dialog_open(); }},
    };
    for (const Row& row : rows) {
        QWidget* shown = nullptr;
        for (QWidget* c : w.findChildren<QWidget*>()) {
            auto* button = qobject_cast<QPushButton*>(c);
            auto* label = qobject_cast<QLabel*>(c);
            const QString text = button ? button->text() : label ? label->text() : QString();
            if (text == QString::fromUtf8(row.caption)) shown = c;
        }
        ASSERT_NE(shown, nullptr) << row.caption;
        EXPECT_EQ(shown->objectName(), QString::fromUtf8(row.name)) << row.caption;
        if (!row.done) continue;
        if (auto* button = qobject_cast<QPushButton*>(shown)) button->click();
        if (auto* link = qobject_cast<ClickableLabel*>(shown)) emit link->clicked();
        EXPECT_TRUE(row.done()) << row.name;
    }
}

TEST_F(MainWindowTest, KeywordsAreKeptAsBytesAndTheStatusLiesOverTheBar) {
    MainWindow& w = open_on_local_site(1);
    EXPECT_EQ(keywords()->property("tag").toString(), "字节集方式");
    // The status label lies over the progress bar, 10 pixels in from either side.
    auto* bar = control<QProgressBar>(w, "进度条");
    auto* status = control<QLabel>(w, "透明标签");
    ASSERT_TRUE(bar && status);
    EXPECT_EQ(status->parentWidget(), bar);
    bar->setVisible(true);
    bar->resize(500, 30);
    QApplication::processEvents();
    EXPECT_EQ(status->geometry(), QRect(10, 0, 480, 30));
}

TEST_F(MainWindowTest, ClosingSavesTheEngineListAndTheControls) {
    MainWindow& w = open_on_local_site(3);
    control<QLineEdit>(w, "编辑框留痕间隔秒")->setText("2.5");
    control<QLineEdit>(w, "编辑框留痕次数")->setText("4");
    control<QLineEdit>(w, "编辑框请求超时秒")->setText("7");
    // Characters GBK lacks survive the settings file; the others keep their GBK bytes there.
    const QString typed = QString::fromUtf8("甲\n한국어 😀 naïve 𠀀字");
    keywords()->setPlainText(typed);
    tree().set_current_item(1);
    control<QPushButton>(w, "按钮删除")->click();
    close_window();
    EXPECT_TRUE(messages.empty()) << "closing asks nothing";

    const std::string file = read_file_bytes(engine_list_file_path(folder()));
    EXPECT_EQ(file, local("真|1|站1|" + site.url("/s1?q={*}") + "\r\n真|1|站3|" +
                          site.url("/s3?q={*}") + "\r\n"));
    const std::string ini = read_file_bytes(settings_file_path(folder()));
    EXPECT_NE(ini.find(local("编辑框留痕间隔秒=2.5")), std::string::npos);
    EXPECT_NE(ini.find(local("编辑框留痕次数=4")), std::string::npos);
    EXPECT_NE(ini.find(local("编辑框请求超时秒=7")), std::string::npos);
    std::string kept;
    for (const auto& entry : std::filesystem::directory_iterator(folder() / "inibin"))
        kept += read_file_bytes(entry.path());
    EXPECT_NE(
        kept.find(local("甲") + "\r\n&#54620;&#44397;&#50612; &#128512; na&#239;ve &#131072;" +
                  local("字")),
        std::string::npos)
        << kept;

    // The next start shows the same.
    window.reset();
    settings_store().open(settings_file_path(folder()));
    open_window();
    EXPECT_EQ(control<QLineEdit>(*window, "编辑框留痕间隔秒")->text(), "2.5");
    EXPECT_EQ(keywords()->toPlainText(), typed);
    EXPECT_EQ(control<QLineEdit>(*window, "编辑框请求超时秒")->text(), "7");
    EXPECT_EQ(tree().item_count(), 2);
}

// Another program imports into the list while the window is open: the window's saves keep the
// engines it added, after the window's own; what the window deleted stays deleted, and its ticks
// and its own additions stand.
TEST_F(MainWindowTest, SavingKeepsTheEnginesAnotherProgramAddedMeanwhile) {
    MainWindow& w = open_on_local_site(3);
    tree().set_current_item(1);
    control<QPushButton>(w, "按钮删除")->click();
    tree().topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    const std::filesystem::path list = folder() / "more.txt";
    // An https form of the window's first engine is the same engine; a.localhost is new.
    write_file_bytes(list, "http://a.localhost/s?q={*}\n" + std::string("https") +
                               site.url("/s1?q={*}").substr(4) + "\n");
    const ChildResult import = run_child(
        TRASSLO_CLI_PATH,
        {"import", "--engines", engine_list_file_path(folder()).string(), list.string()}, folder());
    ASSERT_EQ(import.status, 0) << import.err;
    add_engine(engine_list(), tree(), TraceEngine{true, 1, "own", "http://own.localhost/?q={*}"});

    w.save_engines();
    EXPECT_EQ(control<QLabel>(w, "透明标签")->text(), "合并了 1 个其他程序加入的引擎");
    EXPECT_EQ(tree().item_count(), 4);
    const std::string expected =
        local("假|1|站1|" + site.url("/s1?q={*}") + "\r\n真|1|站3|" + site.url("/s3?q={*}") +
              "\r\n真|1|own|" + "http://own.localhost/?q={*}\r\n真|1|a.localhost|" +
              "http://a.localhost/s?q={*}\r\n");
    EXPECT_EQ(read_file_bytes(engine_list_file_path(folder())), expected);
    // Closing saves again: nothing is merged twice.
    close_window();
    EXPECT_EQ(read_file_bytes(engine_list_file_path(folder())), expected);
}

TEST_F(MainWindowTest, RunVisitsEveryKeywordAtEveryTickedEngineAndReports) {
    MainWindow& w = open_on_local_site(3);
    keywords()->setPlainText("a\nb");
    tree().set_check_state(1, 0);
    on_engine_checkbox_changed(engine_list(), tree(), 1);
    control<QLineEdit>(w, "编辑框留痕次数")->setText("2");
    start()->click();

    EXPECT_EQ(site.count("/s1"), 4u);
    EXPECT_EQ(site.count("/s2"), 0u);
    EXPECT_EQ(site.count("/s3"), 4u);
    ASSERT_FALSE(messages.empty());
    const std::string last = utf8_of(messages.back().text);
    EXPECT_EQ(last.rfind("留痕完成！本次使用 ", 0), 0u) << last;
    EXPECT_NE(last.find(" 在目标网站上留下了 8 个痕迹！\n其中 "), std::string::npos) << last;
    EXPECT_EQ(start()->text(), "开始留痕");
    EXPECT_FALSE(control<QProgressBar>(w, "进度条")->isVisible());
}

TEST_F(MainWindowTest, RunsAreJournaledAndTheEngineMenuExportsTheLatestRunsReport) {
    MainWindow& w = open_on_local_site(2);
    std::vector<SaveFileRequest> dialogs;
    const std::filesystem::path csv = folder() / "report.csv";
    w.set_file_chooser([&](const SaveFileRequest& request) {
        dialogs.push_back(request);
        return std::optional<std::filesystem::path>(csv);
    });
    keywords()->setPlainText("a\nb");
    start()->click();
    keywords()->setPlainText("c");
    start()->click();

    std::string error;
    const auto journal = Journal::open(journal_file_path(folder()), Journal::Mode::read, error);
    ASSERT_TRUE(journal) << error;
    const auto runs = journal->runs();
    ASSERT_TRUE(runs && runs->size() == 2u);
    EXPECT_EQ((*runs)[0].source, "window");
    EXPECT_EQ((*runs)[0].state, "finished");
    EXPECT_EQ((*runs)[0].visits, 4);

    const QList<QAction*> actions = w.engine_menu()->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[1]->text(), "导出留痕报告..");
    actions[1]->trigger();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(utf8_of(dialogs[0].title), "导出留痕报告：");
    const std::string report = read_file_bytes(csv);
    EXPECT_TRUE(report.starts_with("\xEF\xBB\xBFrun,round,keyword,")) << report;
    EXPECT_NE(report.find("\r\n2,1,c,站2," + site.url("/s2?q=c") + ",200,"), std::string::npos)
        << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3);  // the latest run's two
    EXPECT_TRUE(messages.size() == 2u) << "the two runs' final messages, nothing else";
}

// The engine check from the menu: the check runs beside the window, each engine's verdict
// becomes its tooltip, the dead ones are greyed and, on OK, unticked and saved; the marks come
// back after a restart from the journal.
TEST_F(MainWindowTest, EngineCheckMarksTheEnginesAndOffersToUntickTheDeadOnes) {
    write_engine_file({"真|1|站1|" + site.url("/e?q={*}"), "真|1|站2|" + site.url("/gone?q={*}")});
    cache_icons_for({site.url("/e?q={*}")});
    MainWindow& w = open_window();
    QAction* check = menu_action(w, "检测打勾的引擎");
    ASSERT_EQ(check->text(), "检测打勾的引擎");
    answers = {MessageAnswer::ok};
    check->trigger();
    EXPECT_EQ(check->text(), "停止检测");
    QTest::qWaitFor([&] { return !w.engine_check_running(); }, 10000);
    ASSERT_FALSE(w.engine_check_running());
    EXPECT_EQ(check->text(), "检测打勾的引擎");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(utf8_of(messages[0].text), "检测完成：1 个有效，1 个无效。取消勾选无效的引擎？");
    EXPECT_EQ(messages[0].buttons, MessageButtons::ok_cancel);
    EXPECT_EQ(control<QLabel>(w, "透明标签")->text(), "检测完成：1 个有效，1 个无效");
    EXPECT_TRUE(control<QLabel>(w, "透明标签")->isVisible());
    EXPECT_EQ(ticked(), std::vector<int>{0});
    EXPECT_NE(read_file_bytes(engine_list_file_path(folder())).find(local("假|1|站2|")),
              std::string::npos);

    const auto marks = [&] {
        std::vector<std::pair<QString, bool>> out;
        for (int i = 0; i < tree().item_count(); ++i) {
            const QTreeWidgetItem* item = tree().topLevelItem(i);
            out.emplace_back(item->toolTip(0), item->data(0, Qt::ForegroundRole).isValid());
        }
        return out;
    };
    const auto before_restart = marks();
    close_window();
    open_window();
    for (const auto& shown : {before_restart, marks()}) {
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_TRUE(shown[0].first.startsWith("检测结果：有效\n检测时间："))
            << shown[0].first.toStdString();
        EXPECT_FALSE(shown[0].second);
        EXPECT_TRUE(shown[1].first.startsWith("检测结果：网页错误（状态码 404）"))
            << shown[1].first.toStdString();
        EXPECT_TRUE(shown[1].second);
    }

    // Closing during a check ends it with the window.
    check = menu_action(*window, "检测打勾的引擎");
    tree().set_all_check_states(1);
    for (TraceEngine& engine : engine_list().engines) engine.enabled = true;
    check->trigger();
    close_window();
}

// The menu bar offers every command; the right-click menu shows the same actions for the
// commands it has, so a caption change shows in both.
TEST_F(MainWindowTest, TheMenuBarOffersTheCommandsAndSharesThemWithTheRightClickMenu) {
    MainWindow& w = open_on_local_site(3);
    std::vector<std::string> seen;
    std::map<std::string, QAction*> action;
    for (QAction* menu : w.menu_bar()->actions()) {
        std::string line = menu->text().toStdString() + ":";
        for (QAction* entry : menu->menu()->actions()) {
            line += " " + entry->text().toStdString();
            action[entry->text().toStdString()] = entry;
        }
        seen.push_back(line);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "文件: 导入引擎列表.. 导出外链地址 导出留痕报告.. 留痕记录.. 退出",
                        "引擎: 添加.. 检测打勾的引擎 全选 不选 代理设置..",
                        "帮助: 疑点说明 关于",
                    }));
    EXPECT_EQ(
        w.engine_menu()->actions(),
        (QList<QAction*>{action["导入引擎列表.."], action["导出留痕报告.."], action["留痕记录.."],
                         action["检测打勾的引擎"], action["代理设置.."]}));

    action["不选"]->trigger();
    EXPECT_TRUE(ticked().empty());
    action["全选"]->trigger();
    EXPECT_EQ(ticked(), (std::vector<int>{0, 1, 2}));
    action["疑点说明"]->trigger();
    EXPECT_NE(w.help_window(), nullptr);
    w.help_window()->close();
    action["关于"]->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(utf8_of(messages[0].caption), "关于");
    EXPECT_EQ(utf8_of(messages[0].text).rfind(main_window_title().toStdString(), 0), 0u);
    action["添加.."]->trigger();
    EXPECT_TRUE(w.add_engine_dialog_open());
    // "退出" closes the window, which saves it.
    tree().set_current_item(0);
    control<QPushButton>(w, "按钮删除")->click();
    action["退出"]->trigger();
    EXPECT_EQ(parse_engine_list_text(read_file_bytes(engine_list_file_path(folder()))).size(), 2u);
}

// While the check waits on an engine, the status names that engine and its number.
TEST_F(MainWindowTest, TheCheckStatusNamesTheEngineItWaitsOn) {
    std::atomic<bool> release{false};
    HttpTestServer held([&](Connection& c, const RecordedRequest& request) {
        if (request.target.rfind("/held", 0) == 0)
            while (!release && c.hold_for(std::chrono::milliseconds(10))) {
            }
        c.send(http_reply(200, "OK", "<title>x</title>", {}));
    });
    write_engine_file({"真|1|站1|" + site.url("/e?q={*}"), "真|1|站2|" + held.url("/held?q={*}")});
    cache_icons_for({site.url("/e?q={*}")});
    MainWindow& w = open_window();
    menu_action(w, "检测打勾的引擎")->trigger();
    QLabel* status = control<QLabel>(w, "透明标签");
    const bool waiting_on_second =
        QTest::qWaitFor([&] { return status->text() == "检测 2/2：正在检测【站2】..."; }, 10000);
    EXPECT_TRUE(waiting_on_second) << status->text().toStdString();
    EXPECT_TRUE(w.engine_check_running());
    release = true;
    answers = {MessageAnswer::cancel};
    QTest::qWaitFor([&] { return !w.engine_check_running(); }, 10000);
    EXPECT_FALSE(w.engine_check_running());
}

// At its end the check offers the suggested encodings first; an engine given one stays ticked
// when the dead ones are unticked.
TEST_F(MainWindowTest, EngineCheckOffersTheSuggestedEncodingsBeforeUnticking) {
    // Shows the keyword only when it arrives in UTF-8: a GBK engine there is a mismatch.
    HttpTestServer utf8_site([](Connection& c, const RecordedRequest& request) {
        std::string word;  // the query's bytes
        const std::string& t = request.target;
        for (std::size_t i = t.find("q=") + 2; i < t.size(); ++i) {
            if (t[i] == '%' && i + 2 < t.size()) {
                word += static_cast<char>(std::stoi(t.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                word += t[i];
            }
        }
        const bool utf8 = word.starts_with("测试");
        c.send(http_reply(200, "OK",
                          "<meta charset=utf-8><title>t</title>" + (utf8 ? word : std::string())));
    });
    const std::string mismatched = utf8_site.url("/s?q={*}");
    write_engine_file({"真|0|站1|" + mismatched, "真|1|站2|" + site.url("/gone?q={*}")});
    cache_icons_for({mismatched, site.url("/gone?q={*}")});
    MainWindow& w = open_window();
    answers = {MessageAnswer::ok, MessageAnswer::ok};
    menu_action(w, "检测打勾的引擎")->trigger();
    QTest::qWaitFor([&] { return !w.engine_check_running(); }, 10000);
    ASSERT_FALSE(w.engine_check_running());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(utf8_of(messages[0].text), "1 个引擎的编码不符，改用建议的编码？");
    EXPECT_EQ(utf8_of(messages[1].text), "检测完成：0 个有效，2 个无效。取消勾选无效的引擎？");
    EXPECT_EQ(utf8_site.request_count(), 3u);  // robots.txt and a visit in either encoding
    EXPECT_EQ(engine_list().engines[0].encoding, 1);
    EXPECT_EQ(ticked(), std::vector<int>{0});
    EXPECT_EQ(read_file_bytes(engine_list_file_path(folder())),
              local("真|1|站1|" + mismatched + "\r\n假|1|站2|" + site.url("/gone?q={*}") + "\r\n"));
}

TEST_F(MainWindowTest, SecondClickStopsTheRun) {
    MainWindow& w = open_on_local_site(2);
    keywords()->setPlainText("a\nb\nc\nd");
    control<QLineEdit>(w, "编辑框留痕间隔秒")->setText("0.2");
    QString caption_after_stop;
    // Clicked again as soon as the run pumps events.
    QTimer::singleShot(0, &w, [&] {
        start()->click();
        caption_after_stop = start()->text();
    });
    start()->click();

    EXPECT_EQ(caption_after_stop, "停止中...");
    EXPECT_EQ(start()->text(), "开始留痕");
    const std::size_t visits = site.count("/s");
    EXPECT_LT(visits, 8u);
    ASSERT_FALSE(messages.empty());
    const std::string last = utf8_of(messages.back().text);
    EXPECT_EQ(last.rfind("留痕已停止！本次使用 ", 0), 0u) << last;
    EXPECT_NE(last.find("留下了 " + std::to_string(visits) + " 个痕迹"), std::string::npos) << last;
}

TEST_F(MainWindowTest, NoEngineQuestionCancelEndsTheRun) {
    MainWindow& w = open_on_local_site(2);
    control<QPushButton>(w, "按钮不选")->click();
    EXPECT_TRUE(ticked().empty());
    keywords()->setPlainText("a\nb");
    control<QLineEdit>(w, "编辑框留痕次数")->setText("3");
    answers = {MessageAnswer::cancel};
    start()->click();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].buttons, MessageButtons::ok_cancel);
    EXPECT_NE(utf8_of(messages[1].text).find("留下了 0 个痕迹"), std::string::npos);
    EXPECT_EQ(site.count("/s"), 0u);
}

TEST_F(MainWindowTest, ShiftTicksTheRangeAndCtrlKeepsOrAddsTicks) {
    open_on_local_site(8);
    control<QPushButton>(*window, "按钮不选")->click();
    select(6);  // ticks nothing, anchor 6
    ctrl_held = true;
    select(0);
    EXPECT_EQ(ticked(), (std::vector<int>{0}));
    ctrl_held = false;
    select(2);
    shift_held = true;
    select(5);
    EXPECT_EQ(ticked(), (std::vector<int>{2, 3, 4, 5})) << "the tick outside is cleared";
    ctrl_held = true;
    select(7);
    EXPECT_EQ(ticked(), (std::vector<int>{2, 3, 4, 5, 6, 7})) << "Ctrl keeps the earlier ticks";
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(engine_list().engines[static_cast<size_t>(i)].enabled, tree().check_state(i) == 1)
            << i;
    }
}

TEST_F(MainWindowTest, TickingDuringARunChangesNoTicks) {
    open_on_local_site(4);
    control<QPushButton>(*window, "按钮不选")->click();
    tree().set_check_state(0, 1);
    on_engine_checkbox_changed(engine_list(), tree(), 0);
    keywords()->setPlainText("a");
    std::vector<int> during;
    QTimer::singleShot(0, window.get(), [&] {
        shift_held = true;
        ctrl_held = true;
        select(3);
        during = ticked();
        shift_held = ctrl_held = false;
    });
    start()->click();
    EXPECT_EQ(during, (std::vector<int>{0}));
}

TEST_F(MainWindowTest, CheckboxClicksAndTickButtonsFollowTheList) {
    open_on_local_site(3);
    tree().topLevelItem(1)->setCheckState(0, Qt::Unchecked);  // as the user's click does
    EXPECT_FALSE(engine_list().engines[1].enabled);
    control<QPushButton>(*window, "按钮全选")->click();
    EXPECT_EQ(ticked(), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(engine_list().engines[1].enabled);
    control<QPushButton>(*window, "按钮不选")->click();
    EXPECT_TRUE(ticked().empty());
    EXPECT_FALSE(engine_list().engines[0].enabled);
}

TEST_F(MainWindowTest, PasteReplacesTheKeywordsWithTheClipboard) {
    open_on_local_site(1);
    set_clipboard_text(local("一\r\n二"));
    control<QPushButton>(*window, "按钮粘贴")->click();
    EXPECT_EQ(window->keyword_list_text(), local("一\r\n二"));
    // Characters GBK lacks are pasted as they were copied.
    QGuiApplication::clipboard()->setText(QString::fromUtf8("한국어\n😀甲"));
    control<QPushButton>(*window, "按钮粘贴")->click();
    EXPECT_EQ(keywords()->toPlainText(), QString::fromUtf8("한국어\n😀甲"));
    set_clipboard_text("");
    control<QPushButton>(*window, "按钮粘贴")->click();
    EXPECT_TRUE(keywords()->toPlainText().isEmpty());
}

TEST_F(MainWindowTest, SaveConfigurationWritesAndSaysSo) {
    MainWindow& w = open_on_local_site(2);
    control<QLineEdit>(w, "编辑框留痕次数")->setText("7");
    QString caption_while_saved;
    on_message = [&](const MessageRequest&) { caption_while_saved = w.save_link()->text(); };
    emit w.save_link()->clicked();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(utf8_of(messages[0].text), "已保存！");
    EXPECT_EQ(caption_while_saved, "保存配置");
    EXPECT_NE(read_file_bytes(settings_file_path(folder())).find(local("编辑框留痕次数=7")),
              std::string::npos);
    EXPECT_EQ(parse_engine_list_text(read_file_bytes(engine_list_file_path(folder()))).size(), 2u);
}

TEST_F(MainWindowTest, ExportWritesTheAddressesToTheChosenFile) {
    open_on_local_site(2);
    keywords()->setPlainText("x\ny");
    const std::filesystem::path out = folder() / "links.txt";
    window->set_file_chooser([&](const SaveFileRequest& request) {
        EXPECT_EQ(utf8_of(request.title), "导出外链地址：");
        return std::optional<std::filesystem::path>(out);
    });
    control<QPushButton>(*window, "按钮导出外链地址")->click();
    EXPECT_EQ(read_file_bytes(out), site.url("/s1?q=x") + "\r\n" + site.url("/s2?q=x") + "\r\n" +
                                        site.url("/s1?q=y") + "\r\n" + site.url("/s2?q=y") +
                                        "\r\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(utf8_of(messages[0].text), "导出完成！共 4 条外链地址！");
}

TEST_F(MainWindowTest, EngineMenuImportsListsAppendingTheNewEnginesWithTheirIcons) {
    MainWindow& w = open_on_local_site(1);
    ASSERT_EQ(tree().contextMenuPolicy(), Qt::CustomContextMenu);
    emit tree().customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(w.engine_menu()->isVisible());
    w.engine_menu()->hide();
    QAction* import = nullptr;
    for (QAction* action : w.engine_menu()->actions()) {
        if (action->text() == QStringLiteral("导入引擎列表..")) import = action;
    }
    ASSERT_NE(import, nullptr);

    // "localhost" is a host of its own: its icon is not cached yet.
    const std::string other = "http://localhost:" + std::to_string(site.server().port());
    const std::filesystem::path list = folder() / "other.txt";
    write_file_bytes(list, "# another tool's list\n" + site.url("/s1?q=%s") + "\n" + "新站\t" +
                               other + "/n?q={kw}\n" + other + "/plain\n");
    std::vector<std::filesystem::path> chosen = {list};
    w.set_open_files_chooser([&] { return chosen; });
    import->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(utf8_of(messages[0].text),
              "导入 1 个引擎；跳过 1 个重复，0 个无效，1 个没有关键词位置\r\n"
              "网页编码：0 个取自地址中的编码参数，1 个按默认的 UTF-8（可用“引擎”菜单的“检测打勾"
              "的引擎”核对）\r\n"
              "other.txt 第 2 行：与留痕引擎列表第 1 行重复\r\n"
              "other.txt 第 4 行：没有关键词位置");
    ASSERT_EQ(tree().item_count(), 2);
    EXPECT_EQ(engine_list().engines[1], (TraceEngine{true, 1, local("新站"), other + "/n?q={*}"}));
    EXPECT_EQ(ticked(), (std::vector<int>{0, 1}));
    // The icon worker is started for the new engine, as after an add.
    const std::filesystem::path icon = icon_file_path(folder(), other + "/n?q={*}");
    for (int i = 0; i < 500 && !std::filesystem::exists(icon); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        wait_icon_downloads(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(std::filesystem::exists(icon));

    // A file that cannot be read imports nothing and says why.
    chosen = {list, folder() / "missing.txt"};
    import->trigger();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(utf8_of(messages[1].text).rfind("无法读取文件 ", 0), 0u) << utf8_of(messages[1].text);
    EXPECT_EQ(tree().item_count(), 2);
    // Nothing chosen: nothing happens.
    chosen = {};
    import->trigger();
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(MainWindowTest, ClosingDuringARunSavesEndsAndAsksNothingMore) {
    MainWindow& w = open_on_local_site(2);
    keywords()->setPlainText("a\nb\nc");
    control<QLineEdit>(w, "编辑框留痕间隔秒")->setText("5");
    bool was_busy = false;
    QTimer::singleShot(0, &w, [&] {
        was_busy = w.busy();
        w.close();
    });
    start()->click();
    EXPECT_TRUE(was_busy);
    EXPECT_EQ(ended_with, 0);
    EXPECT_TRUE(messages.empty()) << "no summary after the window went";
    EXPECT_LT(site.count("/s"), 6u);
    EXPECT_EQ(parse_engine_list_text(read_file_bytes(engine_list_file_path(folder()))).size(), 2u);
    EXPECT_FALSE(w.isVisible());
    // The run is recorded stopped, not left running for good.
    std::string error;
    const auto journal = Journal::open(journal_file_path(folder()), Journal::Mode::read, error);
    ASSERT_TRUE(journal) << error;
    const auto runs = journal->runs();
    ASSERT_TRUE(runs && runs->size() == 1u);
    EXPECT_EQ((*runs)[0].state, "stopped");
}

TEST_F(MainWindowTest, ClosingDuringAnExportSavesAndEndsWithoutAQuestion) {
    MainWindow& w = open_on_local_site(20);
    QString many;
    for (int i = 0; i < 2000; ++i) many += QStringLiteral("k%1\n").arg(i);
    keywords()->setPlainText(many);
    const std::filesystem::path out = folder() / "links.txt";
    w.set_file_chooser([&](const SaveFileRequest&) { return std::optional(out); });
    bool was_busy = false;
    QTimer::singleShot(0, &w, [&] {
        was_busy = w.busy();
        w.close();
    });
    control<QPushButton>(w, "按钮导出外链地址")->click();
    EXPECT_TRUE(was_busy) << "the close came while the export was under way";
    EXPECT_EQ(ended_with, 0);
    EXPECT_TRUE(messages.empty()) << "no report after the window went";
    EXPECT_EQ(parse_engine_list_text(read_file_bytes(engine_list_file_path(folder()))).size(), 20u);
    EXPECT_NE(read_file_bytes(settings_file_path(folder())).find(local("[主界面]")),
              std::string::npos);
}

TEST_F(MainWindowTest, QuittingFromTheTrayDuringARunSavesAndEnds) {
    MainWindow& w = open_on_local_site(2);
    keywords()->setPlainText("a\nb\nc");
    control<QLineEdit>(w, "编辑框留痕间隔秒")->setText("5");
    engine_list().engines[1].name = local("改");  // only a save carries this to disk
    QTimer::singleShot(0, &w, [&] { w.tray_icon()->on_right_click(); });
    start()->click();
    EXPECT_EQ(ended_with, 0);
    ASSERT_EQ(messages.size(), 1u) << "the quit question, and nothing after it";
    EXPECT_EQ(messages[0].buttons, MessageButtons::ok_cancel);
    EXPECT_EQ(parse_engine_list_text(read_file_bytes(engine_list_file_path(folder())))[1].name,
              local("改"));
    EXPECT_LT(site.count("/s"), 6u);
}

}  // namespace
}  // namespace trasslo::support
