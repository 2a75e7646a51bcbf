// The control walk over real Qt widgets (offscreen): which widgets it lists and in what order,
// how each kind reads and sets its kept property, and a whole window saved, changed and
// restored through the settings store.
#include "ui/qt/qt_control_walk.h"

#include <gtest/gtest.h>

#include <optional>

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/qt/qt_process_hooks.h"

namespace trasslo {
namespace {

template <typename Widget>
Widget* named(QWidget* parent, const char* utf8_name, const char* utf8_tag = nullptr) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromUtf8(utf8_name));
    if (utf8_tag != nullptr) widget->setProperty(kTagProperty, QString::fromUtf8(utf8_tag));
    return widget;
}

// A window with one widget of every kind, nested the way real windows nest them.
struct TestWindow {
    TestWindow() {
        start = named<QPushButton>(&window, "按钮开始留痕", "mark");
        keywords = named<QPlainTextEdit>(&window, "编辑框关键词列表", "字节集方式");
        keywords->setPlainText(QString::fromUtf8("关键词1\n关键词2\n网址1"));
        rounds = named<QLineEdit>(&window, "编辑框留痕次数");
        rounds->setText("1");
        auto* group = new QGroupBox(&window);  // unnamed container: walked through
        auto* layout = new QVBoxLayout(group);
        utf8 = named<QRadioButton>(group, "单选框UTF_8");
        gbk = named<QRadioButton>(group, "单选框GBK");
        layout->addWidget(utf8);
        layout->addWidget(gbk);
        gbk->setChecked(true);
        automatic = named<QCheckBox>(&window, "选择框自动");
        rich = named<QTextEdit>(&window, "编辑框说明");
        rich->setPlainText("one\ntwo");
        combo = named<QComboBox>(&window, "组合框编码");
        combo->addItems({"GBK", "UTF-8", "BIG5"});
        combo->setCurrentIndex(1);
        list = named<QListWidget>(&window, "列表框站点");
        list->setSelectionMode(QAbstractItemView::MultiSelection);
        list->addItems({QString::fromUtf8("百度"), "b", "c"});
        list->item(0)->setSelected(true);
        list->item(2)->setSelected(true);
        engines = named<QListWidget>(&window, "选择列表框引擎");
        for (const char* text : {"x", "y", "z"}) {
            auto* item = new QListWidgetItem(text, engines);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        engines->item(1)->setCheckState(Qt::Checked);
        engines->setCurrentRow(2);
        colour = named<QWidget>(&window, "颜色选择器背景");
        colour->setProperty(kColourProperty, QColor(10, 20, 30));
        named<QLabel>(&window, "标签1")->setText("label");
        dialog = named<QFileDialog>(&window, "通用对话框");
    }

    QWidget window;
    QPushButton* start;
    QPlainTextEdit* keywords;
    QLineEdit* rounds;
    QRadioButton *utf8, *gbk;
    QCheckBox* automatic;
    QTextEdit* rich;
    QComboBox* combo;
    QListWidget *list, *engines;
    QWidget* colour;
    QFileDialog* dialog;
};

std::vector<int> ticked_rows(const QListWidget* list) {
    std::vector<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) rows.push_back(i);
    return rows;
}

std::vector<int> selected_rows(const QListWidget* list) {
    std::vector<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) rows.push_back(i);
    return rows;
}

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

TEST(QtControlWalk, ListsNamedControlsInCreationOrderWithTheirKinds) {
    TestWindow w;
    QtControlWalk walk(&w.window);
    const std::pair<const char*, ControlKind> expected[] = {
        {"按钮开始留痕", ControlKind::button},
        {"编辑框关键词列表", ControlKind::edit_box},
        {"编辑框留痕次数", ControlKind::edit_box},
        {"单选框UTF_8", ControlKind::radio_button},
        {"单选框GBK", ControlKind::radio_button},
        {"选择框自动", ControlKind::check_box},
        {"编辑框说明", ControlKind::edit_box},
        {"组合框编码", ControlKind::combo_box},
        {"列表框站点", ControlKind::list_box},
        {"选择列表框引擎", ControlKind::checked_list_box},
        {"颜色选择器背景", ControlKind::colour_picker},
        {"标签1", ControlKind::other},
    };
    ASSERT_EQ(walk.control_count(), std::size(expected));  // the file dialog is a window
    for (std::size_t i = 0; i < walk.control_count(); ++i) {
        EXPECT_EQ(walk.control(i)->name(), local(expected[i].first)) << i;
        EXPECT_EQ(walk.control(i)->kind(), expected[i].second) << i;
    }
    EXPECT_EQ(walk.control(walk.control_count()), nullptr);
    EXPECT_EQ(walk.control(1)->tag(), local("字节集方式"));
    EXPECT_EQ(walk.control(2)->tag(), "");
}

TEST(QtControlWalk, PropertiesCrossAsLocalText) {
    TestWindow w;
    QtControlWalk walk(&w.window);
    WindowControl& keywords = *walk.control(1);
    EXPECT_EQ(keywords.text(), local("关键词1\r\n关键词2\r\n网址1"));
    keywords.set_text(local("甲\r\n乙"));
    EXPECT_EQ(w.keywords->toPlainText(), QString::fromUtf8("甲\n乙"));
    walk.control(6)->set_text("a\r\nb");
    EXPECT_EQ(w.rich->toPlainText(), "a\nb");

    WindowControl& start = *walk.control(0);
    start.set_tag(local("标记"));
    EXPECT_EQ(w.start->property(kTagProperty).toString(), QString::fromUtf8("标记"));

    WindowControl& list = *walk.control(8);
    EXPECT_EQ(bytes_to_text(list.items()), local("百度\r\nb\r\nc\r\n"));
    EXPECT_EQ(list.selected_indices(), (std::vector<long>{0, 2}));
    list.set_items(text_to_bytes("p\r\n\r\nq\r\n"));
    EXPECT_EQ(texts(w.list), (QStringList{"p", "", "q"}));
    list.select_index(1);
    list.select_index(7);  // outside the list: ignored
    EXPECT_EQ(selected_rows(w.list), (std::vector<int>{1}));

    WindowControl& engines = *walk.control(9);
    EXPECT_EQ(engines.ticked_indices(), (std::vector<long>{1}));
    EXPECT_EQ(engines.current_index(), 2);
    engines.set_items(text_to_bytes("n\r\nm\r\n"));
    EXPECT_EQ(ticked_rows(w.engines), (std::vector<int>{}));
    engines.tick_index(1);
    EXPECT_EQ(ticked_rows(w.engines), (std::vector<int>{1}));
    EXPECT_TRUE(w.engines->item(0)->flags() & Qt::ItemIsUserCheckable);

    WindowControl& colour = *walk.control(10);
    EXPECT_EQ(colour.colour(), static_cast<double>(QColor(10, 20, 30).rgba()));
    colour.set_colour(static_cast<double>(QColor(1, 2, 3).rgba()));
    EXPECT_EQ(w.colour->property(kColourProperty).value<QColor>(), QColor(1, 2, 3));
}

TEST(QtControlWalk, RadioButtonTakesTheStoredStateEvenWhenExclusive) {
    TestWindow w;
    QtControlWalk walk(&w.window);
    walk.control(4)->set_checked(false);  // the checked one of an exclusive pair
    EXPECT_FALSE(w.gbk->isChecked());
    EXPECT_TRUE(w.gbk->autoExclusive());
    walk.control(3)->set_checked(true);
    EXPECT_TRUE(w.utf8->isChecked());
}

TEST(QtControlWalk, DeletedControlReadsAsUnnamed) {
    TestWindow w;
    QtControlWalk walk(&w.window);
    delete w.rounds;
    EXPECT_EQ(walk.control(2)->name(), "");
    EXPECT_EQ(walk.control(2)->text(), "");
    walk.control(2)->set_text("no crash");
}

class QtWindowSettings : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(store.open(dir.path() / "settings.ini")); }
    support::TempDir dir;
    SettingsStore store;
    const LocalText section = local("主界面");
};

TEST_F(QtWindowSettings, SaveChangeEverythingRestoreCompare) {
    TestWindow saved;
    {
        QtControlWalk walk(&saved.window);
        store.save_controls(walk, section);
    }
    EXPECT_EQ(support::read_file_bytes(dir.path() / "inibin" / "主界面-编辑框关键词列表.ibn"),
              local("关键词1\r\n关键词2\r\n网址1"));

    TestWindow w;
    w.start->setProperty(kTagProperty, "other");
    w.keywords->setPlainText("changed");
    w.rounds->setText("9");
    w.utf8->setChecked(true);
    w.automatic->setChecked(true);
    w.rich->setPlainText("changed");
    w.combo->setCurrentIndex(2);
    w.list->clear();
    w.list->addItems({"q"});
    w.engines->clear();
    w.colour->setProperty(kColourProperty, QColor(Qt::red));
    {
        QtControlWalk walk(&w.window);
        store.restore_controls(walk, section);
    }
    EXPECT_EQ(w.start->property(kTagProperty).toString(), "mark");
    EXPECT_EQ(w.keywords->toPlainText(), saved.keywords->toPlainText());
    EXPECT_EQ(w.rounds->text(), "1");
    EXPECT_TRUE(w.gbk->isChecked());
    EXPECT_FALSE(w.utf8->isChecked());
    EXPECT_FALSE(w.automatic->isChecked());
    EXPECT_EQ(w.rich->toPlainText(), "one\ntwo");
    EXPECT_EQ(w.combo->currentIndex(), 1);
    EXPECT_EQ(texts(w.list), texts(saved.list));
    EXPECT_EQ(selected_rows(w.list), (std::vector<int>{0, 2}));
    EXPECT_EQ(texts(w.engines), texts(saved.engines));
    EXPECT_EQ(ticked_rows(w.engines), (std::vector<int>{1}));
    EXPECT_EQ(w.engines->currentRow(), 2);
    EXPECT_EQ(w.colour->property(kColourProperty).value<QColor>(), QColor(10, 20, 30));
}

TEST_F(QtWindowSettings, EmptiedFieldsRestoreAsDesignedWithTheRealPump) {
    std::optional<QtProcessHooks> hooks(std::in_place);
    {
        TestWindow w;
        w.rounds->clear();
        w.keywords->clear();
        QtControlWalk walk(&w.window);
        store.save_controls(walk, section);
    }
    TestWindow fresh;
    QtControlWalk walk(&fresh.window);
    store.restore_controls(walk, section);
    hooks.reset();
    EXPECT_EQ(fresh.rounds->text(), "1");
    EXPECT_EQ(fresh.keywords->toPlainText(), QString::fromUtf8("关键词1\n关键词2\n网址1"));
}

}  // namespace
}  // namespace trasslo
