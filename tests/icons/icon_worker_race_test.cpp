// Icon workers running while the user changes the engine list on the user-interface thread: the
// list, the tree, the list file and the icon refreshes are changed and read on the test thread
// while workers fetch and save icons. Built under ThreadSanitizer too (scripts/check --tsan),
// where any access the two sides share without order is reported.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "base/ui_dispatch.h"
#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "icons/default_icon.h"
#include "icons/icon_cache.h"
#include "icons/icon_lock.h"
#include "icons/site_icons.h"
#include "support/host_sites.h"
#include "support/temp_dir.h"
#include "support/test_hooks.h"
#include "ui/memory_engine_tree.h"

namespace trasslo {
namespace {

using namespace std::chrono_literals;

const std::string race_icon("\0\0\1\0\1\0\x20\x20\x80\xFE\x00\x7F", 12);

// The sites serve race_icon as the favicon of hosts whose name starts with "icon"; every other
// host answers 404. A held host keeps a worker in its request.
class IconWorkerRace : public ::testing::Test {
  protected:
    void SetUp() override { engine_list() = EngineList{}; }
    void TearDown() override {
        sites.release();
        EXPECT_TRUE(wait_icon_downloads(60s));
        // A worker let go of by a stop holds the icon lock for its whole pass.
        std::unique_lock<std::timed_mutex> through(icon_lock(), std::defer_lock);
        EXPECT_TRUE(through.try_lock_for(60s));
        engine_list() = EngineList{};
    }

    TraceEngine engine_at(const std::string& host) {
        if (host.starts_with("icon")) sites.serve(host, "/favicon.ico", race_icon);
        return TraceEngine{true, 0, "e " + host, sites.url(host, "/s?q={*}")};
    }
    // Everything the window does to the list between two icon refreshes, `round` picking the
    // hosts: add, insert, delete, tick and untick, save, refresh the pictures.
    void change_the_list(EngineList& list, MemoryEngineTree& tree, int round) {
        add_engine(list, tree, engine_at("added" + std::to_string(round) + ".localhost"));
        tree.set_current_item(round % static_cast<int>(list.engines.size()));
        insert_engine(list, tree,
                      engine_at("icon-inserted" + std::to_string(round) + ".localhost"));
        tree.set_current_item(0);
        delete_current_engine(list, tree);
        tick_all_engines(list, tree, round % 2 == 0);
        save_engine_list(list, dir.path());
        apply_site_icons(list.engines, tree, dir.path());
    }

    support::TestHooks hooks;  // posted refreshes wait in the queue; dropped when the test ends
    support::TempDir dir;
    support::HostSites sites;
};

TEST_F(IconWorkerRace, ListChangesWhileWorkersFetchAndTheRefreshShowsTheListAsItIsThen) {
    EngineList& list = engine_list();
    MemoryEngineTree tree;
    for (const char* host : {"icon-a.localhost", "plain-b.localhost", "icon-c.localhost"})
        add_engine(list, tree, engine_at(host));
    int refreshes = 0;
    const auto refresh = [&] {
        ++refreshes;
        apply_site_icons(engine_list().engines, tree, dir.path());
    };
    sites.hold("icon-a.localhost");
    start_icon_download(list.engines, dir.path(), refresh);
    int workers = 1;
    ASSERT_TRUE(sites.wait_for_requests(1));  // the first worker sits in its first request

    for (int round = 0; round < 60; ++round) {
        change_the_list(list, tree, round);
        // Now and then a second worker on the list as it is now; it waits for the first.
        if (round % 20 == 10) {
            start_icon_download(list.engines, dir.path(), refresh);
            ++workers;
        }
    }
    sites.release();
    for (int round = 60; round < 80; ++round) change_the_list(list, tree, round);
    ASSERT_TRUE(wait_icon_downloads(60s));

    // The first worker asked for the three hosts it was started with, in their order.
    const std::vector<std::string> asked = sites.requests();
    ASSERT_GE(asked.size(), 3u);
    EXPECT_EQ(
        std::vector<std::string>(asked.begin(), asked.begin() + 3),
        (std::vector<std::string>{"icon-a.localhost /favicon.ico", "plain-b.localhost /favicon.ico",
                                  "icon-c.localhost /favicon.ico"}));
    // Only hosts that were in the list are asked, each at most once per worker.
    std::set<std::string> listed = {"icon-a.localhost", "plain-b.localhost", "icon-c.localhost"};
    for (int round = 0; round < 80; ++round) {
        listed.insert("added" + std::to_string(round) + ".localhost");
        listed.insert("icon-inserted" + std::to_string(round) + ".localhost");
    }
    std::map<std::string, int> times_asked;
    for (const std::string& request : asked) {
        const std::string host = request.substr(0, request.find(' '));
        EXPECT_TRUE(listed.count(host)) << request;
        EXPECT_LE(++times_asked[request], workers) << request;
    }

    // The refreshes run here, on this thread, and show the list as it is when they run.
    EXPECT_GE(run_posted_ui_tasks(), 1u);
    EXPECT_GE(refreshes, 1);
    ASSERT_EQ(tree.item_count(), static_cast<int>(list.engines.size()));
    for (int i = 0; i < tree.item_count(); ++i) {
        const TraceEngine& e = list.engines[static_cast<std::size_t>(i)];
        EXPECT_EQ(tree.item_text(i), engine_item_text(e));
        const bool cached = !read_icon_file(icon_file_path(dir.path(), e.address)).empty();
        EXPECT_EQ(tree.item_icon(i),
                  cached ? ByteBuffer(race_icon.begin(), race_icon.end()) : default_icon_bytes())
            << e.address;
    }
    EXPECT_FALSE(
        read_icon_file(icon_file_path(dir.path(), engine_at("icon-a.localhost").address)).empty());
    // The list file holds the list as it was last saved.
    EXPECT_EQ(read_engine_list_file(dir.path()).size(), list.engines.size());
}

TEST_F(IconWorkerRace, WorkerLetGoAtShutDownOutlivesTheListItWasStartedFrom) {
    EngineList& list = engine_list();
    MemoryEngineTree tree;
    add_engine(list, tree, engine_at("icon-gone.localhost"));
    sites.hold("icon-gone.localhost");
    start_icon_download(list.engines, dir.path(), [] { FAIL() << "a stopped worker posted"; });
    ASSERT_TRUE(sites.wait_for_requests(1));
    EXPECT_FALSE(stop_icon_downloads(20ms));
    // The window goes: its list and tree are emptied and refilled while the worker still waits.
    for (int round = 0; round < 30; ++round) change_the_list(list, tree, round);
    list = EngineList{};
    tree.clear_items();
    sites.release();
    std::unique_lock<std::timed_mutex> through(icon_lock(), std::defer_lock);
    ASSERT_TRUE(through.try_lock_for(60s));
    through.unlock();
    EXPECT_EQ(run_posted_ui_tasks(), 0u);
    EXPECT_TRUE(read_icon_file(icon_file_path(dir.path(), engine_at("icon-gone.localhost").address))
                    .empty());
}

}  // namespace
}  // namespace trasslo
