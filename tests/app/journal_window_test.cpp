// The journal window on a real journal beside the program: opened from the engine list's menu,
// its four tabs filled from the worker threads, the visits filtered and sorted, an engine
// double-clicked into the main list, the chosen run saved as HTML, and each engine's last 30
// days in its tooltip. A picture of it is kept for the documentation.
#include <gtest/gtest.h>

#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <chrono>

#include "app/journal_visits_model.h"
#include "app/journal_window.h"
#include "app_fixture.h"
#include "journal/journal.h"
#include "ui/qt/qt_engine_tree.h"

namespace trasslo::support {
namespace {

class JournalWindowTest : public AppTest {
  protected:
    // One run over the two engines of the list: 站1 leaves a trace on k1 and fails on k2
    // (timeout), 站2 fails both (connect).
    void write_journal() {
        std::string error;
        auto journal = Journal::open(journal_file_path(folder()), Journal::Mode::write, error);
        ASSERT_TRUE(journal) << error;
        RunInputs inputs;
        inputs.keywords = {"k1", "k2"};
        inputs.engines = {TraceEngine{true, 0, local("站1"), "http://one.test/?q={*}"},
                          TraceEngine{true, 0, local("站2"), "http://two.test/?q={*}"}};
        const std::int64_t run = *journal->begin_run(RunSource::window, inputs);
        const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        std::vector<VisitRow> rows;
        const char* errors[2][2] = {{"", "timeout"}, {"connect", "connect"}};
        for (int k = 0; k < 2; ++k)
            for (int e = 0; e < 2; ++e) {
                VisitRow row;
                row.run = run;
                row.round = 1;
                row.keyword_index = k + 1;
                row.engine_index = e + 1;
                row.keyword = k ? "k2" : "k1";
                row.engine = e ? "站2" : "站1";
                row.address_template = to_utf8(inputs.engines[static_cast<std::size_t>(e)].address);
                row.error = errors[e][k];
                row.status = row.error.empty() ? 200 : 0;
                row.echoed = row.error.empty();
                row.title = row.error.empty() ? "找到 k1" : "";
                row.visited_at = now - 1000;
                rows.push_back(row);
            }
        ASSERT_TRUE(journal->record_visit_rows(rows)) << journal->error();
        ASSERT_TRUE(journal->end_run(run, RunState::finished));
    }
};

QAction* menu_action(MainWindow& window, const QString& text) {
    for (QAction* action : window.engine_menu()->actions())
        if (action->text() == text) return action;
    return nullptr;
}

TEST_F(JournalWindowTest, ShowsTheRunItsVisitsEnginesAndChartAndSavesTheReport) {
    write_engine_file({"真|1|站1|http://one.test/?q={*}", "真|1|站2|http://two.test/?q={*}"});
    write_journal();
    MainWindow& main = open_window();

    // The tooltip line arrives from its worker.
    QTreeWidgetItem* first = main.engine_tree()->topLevelItem(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first->toolTip(0).isEmpty(); }, 10000));
    EXPECT_EQ(first->toolTip(0), QStringLiteral("最近 30 天：留痕 1 次，成功率 50%"));
    EXPECT_EQ(main.engine_tree()->topLevelItem(1)->toolTip(0),
              QStringLiteral("最近 30 天：留痕 0 次，成功率 0%"));

    QAction* open = menu_action(main, QStringLiteral("留痕记录.."));
    ASSERT_TRUE(open);
    open->trigger();
    JournalWindow* journal = main.journal_window();
    ASSERT_TRUE(journal);
    QSignalSpy loaded(journal, &JournalWindow::visits_loaded);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 10000));

    QStringList tabs;
    for (int i = 0; i < journal->tabs()->count(); ++i) tabs << journal->tabs()->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"运行", "访问", "引擎", "图表"}));
    ASSERT_EQ(journal->runs_table()->rowCount(), 1);
    EXPECT_EQ(journal->runs_table()->item(0, 3)->text(), QStringLiteral("已完成"));
    EXPECT_EQ(journal->runs_table()->item(0, 6)->text(), QStringLiteral("4"));
    EXPECT_EQ(journal->runs_table()->item(0, 7)->text(), QStringLiteral("1"));
    EXPECT_EQ(journal->visits_model()->rowCount(), 4);
    ASSERT_EQ(journal->engines_table()->rowCount(), 2);
    EXPECT_EQ(journal->engines_table()->item(0, 9)->text(), QStringLiteral("0.500"));
    EXPECT_EQ(journal->engines_table()->item(1, 6)->text(), QStringLiteral("无法连接"));
    ASSERT_TRUE(journal->chart_view()->chart());
    EXPECT_FALSE(journal->chart_view()->chart()->series().isEmpty());

    // Failures of 站2, then every visit sorted by outcome.
    journal->outcome_filter()->setCurrentIndex(3);
    journal->engine_filter()->setCurrentIndex(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return journal->visits_model()->rowCount() == 2; }, 10000));
    journal->outcome_filter()->setCurrentIndex(0);
    journal->engine_filter()->setCurrentIndex(0);
    journal->visits_model()->sort(4, Qt::DescendingOrder);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return journal->visits_model()->rowCount() == 4 &&
                   journal->visits_model()->index(0, 4).data().toString() ==
                       QStringLiteral("留痕，显示关键词");
        },
        10000));

    // A double-click on 站2's statistics makes it current in the main list.
    QTableWidget* engines = journal->engines_table();
    emit engines->cellDoubleClicked(1, 0);
    EXPECT_EQ(main.engine_tree()->current_item(), 1);

    const std::filesystem::path html = folder() / "报告.html";
    journal->set_file_chooser([&] { return std::optional(html); });
    QSignalSpy saved(journal, &JournalWindow::report_saved);
    journal->save_report();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !saved.isEmpty(); }, 10000));
    EXPECT_TRUE(saved.front().front().toBool()) << journal->status_label()->text().toStdString();
    const std::string page = read_file_bytes(html);
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>"));
    EXPECT_NE(page.find("站2"), std::string::npos);

    // The picture for the documentation: painted, not a blank window.
    journal->tabs()->setCurrentIndex(2);
    journal->resize(900, 420);
    const QImage picture = journal->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 4)
        for (int x = 0; x < picture.width(); x += 4) colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 10);
    picture.save(QString::fromStdString(std::string(TRASSLO_BINARY_DIR) + "/journal-window.png"));
}

}  // namespace
}  // namespace trasslo::support
