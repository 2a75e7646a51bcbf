// Posting to the user-interface thread: queued without a window, handed to the installed
// dispatcher with one, never run on the posting thread.
#include "base/ui_dispatch.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/test_hooks.h"

namespace trasslo {
namespace {

class UiDispatch : public ::testing::Test {
  protected:
    // Takes back a dispatcher a test installs and drops what it left queued.
    support::TestHooks hooks;
};

TEST_F(UiDispatch, WithoutDispatcherTasksWaitForTheDrainAndRunThereInOrder) {
    std::vector<int> order;
    std::thread::id ran_on;
    std::thread poster([&] {
        post_to_ui([&] { order.push_back(1); });
        post_to_ui([&] {
            order.push_back(2);
            ran_on = std::this_thread::get_id();
            // A task may post a follow-up; the same drain runs it.
            post_to_ui([&] { order.push_back(3); });
        });
    });
    poster.join();
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(run_posted_ui_tasks(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ran_on, std::this_thread::get_id());
    EXPECT_EQ(run_posted_ui_tasks(), 0u);
}

TEST_F(UiDispatch, InstalledDispatcherReceivesTasksAndRemovingItFallsBackToTheQueue) {
    std::vector<UiTask> received;
    install_ui_dispatcher([&](UiTask task) { received.push_back(std::move(task)); });
    int runs = 0;
    post_to_ui([&] { ++runs; });
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(runs, 0);  // handed over, not run
    EXPECT_EQ(run_posted_ui_tasks(), 0u);
    received.front()();
    EXPECT_EQ(runs, 1);

    install_ui_dispatcher({});
    post_to_ui([&] { ++runs; });
    EXPECT_EQ(received.size(), 1u);
    EXPECT_EQ(run_posted_ui_tasks(), 1u);
    EXPECT_EQ(runs, 2);
}

TEST_F(UiDispatch, DiscardDropsQueuedTasksAndEmptyTasksAreIgnored) {
    int runs = 0;
    post_to_ui([&] { ++runs; });
    post_to_ui(UiTask{});
    discard_posted_ui_tasks();
    EXPECT_EQ(run_posted_ui_tasks(), 0u);
    EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace trasslo
