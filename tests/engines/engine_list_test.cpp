// The engine list operations and the tree they keep in step: loading, adding, inserting,
// deleting, ticking, and the Shift/Ctrl multi-ticking of selection changes.
#include "engines/engine_list.h"

#include <gtest/gtest.h>

#include <set>

#include "engines/engine_list_file.h"
#include "support/temp_dir.h"
#include "support/test_hooks.h"
#include "ui/memory_engine_tree.h"

namespace trasslo {
namespace {

using support::TempDir;
using support::write_file_bytes;

class EngineListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree_.on_current_changed = [this](int current) {
            on_current_engine_changed(list_, tree_, current, run_on_, [this](const TraceEngine& e) {
                shown_in_dialog_.push_back(e.name);
            });
        };
        tree_.on_checkbox_changed = [this](int item) {
            on_engine_checkbox_changed(list_, tree_, item);
        };
    }

    // Loads `count` engines named "e0", "e1", ..., unticked unless listed in `ticked`.
    void load(int count, std::set<int> ticked = {}) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += (ticked.count(i) ? local("真") : local("假")) + "|0|e" + std::to_string(i) +
                    "|http://h" + std::to_string(i) + ".example.com/s?q={*}\r\n";
        }
        write_file_bytes(engine_list_file_path(dir_.path()), text);
        load_engine_list(list_, tree_, dir_.path());
    }

    // The invariant every operation keeps: one item per engine, same text, same tick.
    void expect_tree_mirrors_list() {
        ASSERT_EQ(tree_.item_count(), static_cast<int>(list_.engines.size()));
        for (int i = 0; i < tree_.item_count(); ++i) {
            const TraceEngine& e = list_.engines[static_cast<size_t>(i)];
            EXPECT_EQ(tree_.item_text(i), engine_item_text(e)) << i;
            EXPECT_EQ(tree_.check_state(i), e.enabled ? 1 : 0) << i;
        }
    }

    std::set<int> ticked() {
        std::set<int> result;
        for (size_t i = 0; i < list_.engines.size(); ++i) {
            if (list_.engines[i].enabled) result.insert(static_cast<int>(i));
        }
        return result;
    }

    std::vector<LocalText> names() {
        std::vector<LocalText> result;
        for (const TraceEngine& e : list_.engines) result.push_back(e.name);
        return result;
    }

    void select(int index, bool shift = false, bool ctrl = false) {
        hooks_.shift_held = shift;
        hooks_.ctrl_held = ctrl;
        tree_.user_select(index);
        hooks_.shift_held = hooks_.ctrl_held = false;
    }

    TempDir dir_;
    EngineList list_;
    MemoryEngineTree tree_;
    support::TestHooks hooks_;
    bool run_on_ = false;
    std::vector<LocalText> shown_in_dialog_;
};

TEST_F(EngineListTest, LoadFillsTreeWithTextsAndTicks) {
    write_file_bytes(engine_list_file_path(dir_.path()),
                     local("真|0|新浪搜索|http://search.sina.com.cn/?q={*}\r\n假|1|空||\r\n"));
    load_engine_list(list_, tree_, dir_.path());
    ASSERT_EQ(tree_.item_count(), 2);
    EXPECT_EQ(tree_.item_text(0), local("新浪搜索(search.sina.com.cn)"));
    EXPECT_EQ(tree_.item_text(1), local("空()"));
    expect_tree_mirrors_list();
    // Loading again replaces what was there.
    load(3, {1});
    EXPECT_EQ(ticked(), (std::set<int>{1}));
    expect_tree_mirrors_list();
}

TEST_F(EngineListTest, AddAppendsTickedAndCurrent) {
    load(3);
    tree_.set_current_item(0);
    add_engine(list_, tree_, TraceEngine{false, 1, "new", "http://new.example.com/{*}"});
    EXPECT_EQ(names(), (std::vector<LocalText>{"e0", "e1", "e2", "new"}));
    EXPECT_EQ(tree_.current_item(), 3);
    // The item is ticked, so the engine is enabled even if it came in unticked.
    EXPECT_EQ(ticked(), (std::set<int>{3}));
    expect_tree_mirrors_list();
}

TEST_F(EngineListTest, AppendAddsTickedItemsAndLeavesTheCurrentItem) {
    load(2);
    tree_.set_current_item(1);
    append_engines(list_, tree_,
                   {TraceEngine{false, 0, "x", "http://x.example.com/{*}"},
                    TraceEngine{true, 1, "y", "http://y.example.com/{*}"}});
    EXPECT_EQ(names(), (std::vector<LocalText>{"e0", "e1", "x", "y"}));
    EXPECT_EQ(ticked(), (std::set<int>{2, 3}));
    EXPECT_EQ(tree_.current_item(), 1);
    expect_tree_mirrors_list();
}

TEST_F(EngineListTest, InsertGoesBeforeTheCurrentItemOrFirst) {
    load(5, {1, 4});
    tree_.set_current_item(3);
    insert_engine(list_, tree_, TraceEngine{true, 0, "ins", "http://i.example.com/"});
    EXPECT_EQ(names(), (std::vector<LocalText>{"e0", "e1", "e2", "ins", "e3", "e4"}));
    EXPECT_EQ(tree_.current_item(), 3);
    EXPECT_EQ(ticked(), (std::set<int>{1, 3, 5}));
    expect_tree_mirrors_list();

    tree_.set_current_item(-1);
    insert_engine(list_, tree_, TraceEngine{false, 0, "first", ""});
    EXPECT_EQ(list_.engines[0].name, "first");
    EXPECT_EQ(tree_.current_item(), 0);
    expect_tree_mirrors_list();
}

TEST_F(EngineListTest, DeleteMovesCurrentToFollowingOrNewLastItem) {
    load(4);
    tree_.set_current_item(1);
    delete_current_engine(list_, tree_);
    EXPECT_EQ(names(), (std::vector<LocalText>{"e0", "e2", "e3"}));
    EXPECT_EQ(tree_.current_item(), 1);
    tree_.set_current_item(2);
    delete_current_engine(list_, tree_);
    EXPECT_EQ(names(), (std::vector<LocalText>{"e0", "e2"}));
    EXPECT_EQ(tree_.current_item(), 1);
    expect_tree_mirrors_list();
    // Without a current item nothing goes; the only item leaves none current.
    tree_.set_current_item(-1);
    delete_current_engine(list_, tree_);
    EXPECT_EQ(list_.engines.size(), 2u);
    load(1);
    tree_.set_current_item(0);
    delete_current_engine(list_, tree_);
    EXPECT_TRUE(list_.engines.empty());
    EXPECT_EQ(tree_.current_item(), -1);
    expect_tree_mirrors_list();
}

TEST_F(EngineListTest, TickAllNoneAndSingleClicks) {
    load(4, {2});
    tick_all_engines(list_, tree_, true);
    EXPECT_EQ(ticked(), (std::set<int>{0, 1, 2, 3}));
    tick_all_engines(list_, tree_, false);
    EXPECT_TRUE(ticked().empty());
    tree_.set_current_item(0);
    tree_.user_toggle_checkbox(0);
    // A box clicked on an item that is not current still reaches its own engine.
    tree_.user_toggle_checkbox(2);
    EXPECT_EQ(ticked(), (std::set<int>{0, 2}));
    expect_tree_mirrors_list();
}

TEST_F(EngineListTest, ShiftTicksExactlyTheRangeFromTheAnchor) {
    load(8, {0, 7});
    select(5);
    select(2, /*shift=*/true);
    EXPECT_EQ(ticked(), (std::set<int>{2, 3, 4, 5}));
    expect_tree_mirrors_list();
    // The anchor is now 2: a range the other way round. With Ctrl too, other ticks stay.
    tree_.user_toggle_checkbox(7);
    select(0, /*shift=*/true, /*ctrl=*/true);
    EXPECT_EQ(ticked(), (std::set<int>{0, 1, 2, 3, 4, 5, 7}));
    select(6, /*shift=*/true);
    EXPECT_EQ(ticked(), (std::set<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(EngineListTest, CtrlTicksNeverUnticksAndPlainSelectionTouchesNothing) {
    load(5, {1});
    select(3, false, /*ctrl=*/true);
    select(1, false, /*ctrl=*/true);
    select(4);
    EXPECT_EQ(ticked(), (std::set<int>{1, 3}));
    expect_tree_mirrors_list();
}

TEST_F(EngineListTest, NoMultiTickingDuringARun) {
    load(8, {0});
    select(1);
    run_on_ = true;
    select(4, /*shift=*/true);
    select(6, false, /*ctrl=*/true);
    EXPECT_EQ(ticked(), (std::set<int>{0}));
    run_on_ = false;
    // The anchor stayed at 1 through the run.
    select(3, /*shift=*/true);
    EXPECT_EQ(ticked(), (std::set<int>{1, 2, 3}));
    // The dialog was shown every selection, run or not.
    EXPECT_EQ(shown_in_dialog_, (std::vector<LocalText>{"e1", "e4", "e6", "e3"}));
}

TEST_F(EngineListTest, AnchorPastTheEndAfterDeletionsIsClamped) {
    load(6);
    select(5);
    delete_current_engine(list_, tree_);
    delete_current_engine(list_, tree_);
    select(1, /*shift=*/true);
    EXPECT_EQ(ticked(), (std::set<int>{1, 2, 3}));
    expect_tree_mirrors_list();
}

}  // namespace
}  // namespace trasslo
