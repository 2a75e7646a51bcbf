// The site icon cache against a real HTTP server on the loopback: which addresses are asked,
// what is saved, how the tree gets its pictures, and how workers behave on the way out.
#include "icons/site_icons.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "icons/default_icon.h"
#include "icons/icon_cache.h"
#include "icons/icon_lock.h"
#include "support/host_sites.h"
#include "support/temp_dir.h"
#include "support/test_hooks.h"
#include "ui/memory_engine_tree.h"

namespace trasslo {
namespace {

using namespace std::chrono_literals;
using support::HostSites;
using support::TempDir;
using support::TestHooks;

ByteBuffer bytes(std::string_view s) {
    return ByteBuffer(s.begin(), s.end());
}

// An icon body with bytes an icon really holds: zeros and bytes above 0x7F.
const std::string icon_body("\0\0\1\0\1\0\x10\x10\xFF\xA8\xFE\x00\x20", 13);
const std::string html_page = "<html><body>not here</body></html>";

// A tree that notes which thread gives each item its picture.
class ThreadNotingTree : public MemoryEngineTree {
  public:
    void set_item_icon(int index, const ByteBuffer& icon_file) override {
        std::lock_guard lock(mutex);
        threads.push_back(std::this_thread::get_id());
        MemoryEngineTree::set_item_icon(index, icon_file);
    }
    std::mutex mutex;
    std::vector<std::thread::id> threads;
};

class SiteIcons : public ::testing::Test {
  protected:
    void TearDown() override {
        sites.release();
        EXPECT_TRUE(wait_icon_downloads(60s));
    }

    // "http://<host>:<port>/<path>" on the test server.
    LocalText address(const std::string& host, const std::string& path = "/s?q={*}") const {
        return sites.url(host, path);
    }
    std::filesystem::path icon_file(const std::string& host) const {
        return icon_cache_folder(dir.path()) / (sites.authority(host) + ".ico");
    }
    std::size_t pass(const std::vector<LocalText>& addresses) {
        std::atomic<bool> cancel{false};
        return download_site_icons(addresses, dir.path(), cancel);
    }
    std::vector<std::string> asked(std::initializer_list<std::string> hosts) const {
        std::vector<std::string> out;
        for (const std::string& host : hosts) out.push_back(host + " /favicon.ico");
        return out;
    }
    std::vector<TraceEngine> engines(std::initializer_list<LocalText> addresses) const {
        std::vector<TraceEngine> out;
        for (const LocalText& a : addresses) out.push_back(TraceEngine{true, 0, "e", a});
        return out;
    }

    TestHooks hooks;  // posted refreshes wait in the queue; dropped when the test ends
    TempDir dir;
    HostSites sites;
};

// --- one pass of the download ---------------------------------------------------------------

TEST_F(SiteIcons, FaviconOfTheHostIsSavedExactlyAsReceived) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    EXPECT_EQ(pass({address("s.example.localhost")}), 1u);
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost"}));
    EXPECT_EQ(support::read_file_bytes(icon_file("s.example.localhost")), icon_body);
}

TEST_F(SiteIcons, HtmlAnswersAreTriedAtHostMainDomainAndWwwThenGivenUp) {
    for (const char* host : {"s.example.localhost", "example.localhost", "www.example.localhost"})
        sites.serve(host, "/favicon.ico", html_page);
    EXPECT_EQ(pass({address("s.example.localhost")}), 0u);
    EXPECT_EQ(sites.requests(),
              asked({"s.example.localhost", "example.localhost", "www.example.localhost"}));
    EXPECT_FALSE(std::filesystem::exists(icon_file("s.example.localhost")));
    // The folder is made before the first attempt, whatever the outcome.
    EXPECT_TRUE(std::filesystem::is_directory(icon_cache_folder(dir.path())));
}

TEST_F(SiteIcons, HtmlAtTheHostFallsBackToTheMainDomainsIcon) {
    sites.serve("s.example.localhost", "/favicon.ico", html_page);
    sites.serve("example.localhost", "/favicon.ico", icon_body);
    EXPECT_EQ(pass({address("s.example.localhost")}), 1u);
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost", "example.localhost"}));
    EXPECT_EQ(support::read_file_bytes(icon_file("s.example.localhost")), icon_body);
}

TEST_F(SiteIcons, WwwHostIsAskedTwiceAndNeverAThirdTime) {
    sites.serve("www.example.localhost", "/favicon.ico", html_page);
    EXPECT_EQ(pass({address("www.example.localhost")}), 0u);
    EXPECT_EQ(sites.requests(), asked({"www.example.localhost", "www.example.localhost"}));
}

TEST_F(SiteIcons, EmptyOrMissingAnswerEndsTheAttemptsAtOnce) {
    sites.serve("s.example.localhost", "/favicon.ico", "");
    // Not served at all: a 404 with no body.
    EXPECT_EQ(pass({address("s.example.localhost"), address("t.other.localhost")}), 0u);
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost", "t.other.localhost"}));
    EXPECT_FALSE(std::filesystem::exists(icon_file("s.example.localhost")));
    EXPECT_FALSE(std::filesystem::exists(icon_file("t.other.localhost")));
}

TEST_F(SiteIcons, ErrorAnswersAreNoIconAndEndTheAttempts) {
    // A short "not found" text, and icon bytes under a server error: neither is kept.
    sites.serve("s.example.localhost", "/favicon.ico", "no icon", 404);
    sites.serve("t.other.localhost", "/favicon.ico", icon_body, 500);
    EXPECT_EQ(pass({address("s.example.localhost"), address("t.other.localhost")}), 0u);
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost", "t.other.localhost"}));
    EXPECT_FALSE(std::filesystem::exists(icon_file("s.example.localhost")));
    EXPECT_FALSE(std::filesystem::exists(icon_file("t.other.localhost")));
}

TEST_F(SiteIcons, EnginesOfOneHostDownloadOnceAndShareTheFile) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    sites.serve("t.other.localhost", "/favicon.ico", "second");
    EXPECT_EQ(pass({address("s.example.localhost", "/a?q={*}"), address("t.other.localhost"),
                    address("s.example.localhost", "/b?w={*}")}),
              2u);
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost", "t.other.localhost"}));
    EXPECT_EQ(support::read_file_bytes(icon_file("t.other.localhost")), "second");
}

TEST_F(SiteIcons, HostThatFailedIsNotAskedAgainInTheSamePass) {
    EXPECT_EQ(pass({address("s.example.localhost"), address("s.example.localhost", "/b")}), 0u);
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost"}));
}

TEST_F(SiteIcons, CachedFilesAreReusedAndEmptyOnesFetchedAgain) {
    sites.serve("s.example.localhost", "/favicon.ico", "fresh");
    sites.serve("t.other.localhost", "/favicon.ico", "fresh");
    std::filesystem::create_directories(icon_cache_folder(dir.path()));
    support::write_file_bytes(icon_file("s.example.localhost"), "kept");
    support::write_file_bytes(icon_file("t.other.localhost"), "");
    EXPECT_EQ(pass({address("s.example.localhost"), address("t.other.localhost")}), 1u);
    EXPECT_EQ(sites.requests(), asked({"t.other.localhost"}));
    EXPECT_EQ(support::read_file_bytes(icon_file("s.example.localhost")), "kept");
    EXPECT_EQ(support::read_file_bytes(icon_file("t.other.localhost")), "fresh");
}

TEST_F(SiteIcons, HttpsEnginesGoThroughThePageRequestAnyLetterCase) {
    std::vector<std::pair<LocalText, bool>> fetched;
    IconFetch fetch = [&](std::string_view url, bool https) {
        fetched.emplace_back(LocalText(url), https);
        return IconAnswer{200, bytes("icon")};
    };
    std::atomic<bool> cancel{false};
    EXPECT_EQ(download_site_icons({"HTTPS://M.Example.com/s?q={*}", "http://n.example.com/s",
                                   "https://o.example.com/s"},
                                  dir.path(), cancel, fetch),
              3u);
    EXPECT_EQ(fetched, (std::vector<std::pair<LocalText, bool>>{
                           {"HTTPS://M.Example.com/favicon.ico", true},
                           {"http://n.example.com/favicon.ico", false},
                           {"https://o.example.com/favicon.ico", true}}));
    EXPECT_TRUE(std::filesystem::exists(icon_cache_folder(dir.path()) / "M.Example.com.ico"));
}

TEST_F(SiteIcons, EngineWithoutHostAsksNothing) {
    EXPECT_EQ(pass({"", "/s?q={*}"}), 0u);
    EXPECT_TRUE(sites.requests().empty());
}

TEST_F(SiteIcons, CancelledPassAsksNothing) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    std::atomic<bool> cancel{true};
    EXPECT_EQ(download_site_icons({address("s.example.localhost")}, dir.path(), cancel), 0u);
    EXPECT_TRUE(sites.requests().empty());
}

// --- the tree's pictures --------------------------------------------------------------------

TEST_F(SiteIcons, ApplyGivesCachedIconOrDefaultToEveryItem) {
    std::filesystem::create_directories(icon_cache_folder(dir.path()));
    support::write_file_bytes(icon_file("s.example.localhost"), icon_body);
    support::write_file_bytes(icon_file("t.other.localhost"), "");
    auto list = engines({address("s.example.localhost"), address("t.other.localhost"),
                         address("u.none.localhost"), address("s.example.localhost", "/b")});
    MemoryEngineTree tree;
    for (std::size_t i = 0; i < list.size() + 1; ++i) tree.add_item("x");
    apply_site_icons(list, tree, dir.path());
    EXPECT_EQ(tree.item_icon(0), bytes(icon_body));
    EXPECT_EQ(tree.item_icon(1), default_icon_bytes());
    EXPECT_EQ(tree.item_icon(2), default_icon_bytes());
    EXPECT_EQ(tree.item_icon(3), bytes(icon_body));
    EXPECT_EQ(tree.item_icon(4), default_icon_bytes());  // an item beyond the list
}

// --- the worker -----------------------------------------------------------------------------

TEST_F(SiteIcons, WorkerHandsItsRefreshToTheUiThreadAndNeverTouchesTheTree) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    auto list = engines({address("s.example.localhost"), address("t.other.localhost")});
    ThreadNotingTree tree;
    tree.add_item("a");
    tree.add_item("b");
    apply_site_icons(list, tree, dir.path());
    start_icon_download(list, dir.path(), [&] { apply_site_icons(list, tree, dir.path()); });
    ASSERT_TRUE(wait_icon_downloads(60s));
    // The worker is done: the file is there but the tree still shows what it had.
    EXPECT_TRUE(std::filesystem::exists(icon_file("s.example.localhost")));
    EXPECT_EQ(tree.item_icon(0), default_icon_bytes());
    EXPECT_EQ(run_posted_ui_tasks(), 1u);
    EXPECT_EQ(tree.item_icon(0), bytes(icon_body));
    EXPECT_EQ(tree.item_icon(1), default_icon_bytes());
    ASSERT_EQ(tree.threads.size(), 4u);
    for (const auto& id : tree.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(SiteIcons, WorkerWithNothingNewPostsNothing) {
    std::filesystem::create_directories(icon_cache_folder(dir.path()));
    support::write_file_bytes(icon_file("s.example.localhost"), icon_body);
    int refreshes = 0;
    start_icon_download(engines({address("s.example.localhost"), address("t.other.localhost")}),
                        dir.path(), [&] { ++refreshes; });
    ASSERT_TRUE(wait_icon_downloads(60s));
    EXPECT_EQ(sites.requests(), asked({"t.other.localhost"}));  // nothing served there
    EXPECT_EQ(run_posted_ui_tasks(), 0u);
    EXPECT_EQ(refreshes, 0);
}

TEST_F(SiteIcons, WorkerUsesTheListAsItWasWhenStarted) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    auto list = engines({address("s.example.localhost")});
    {
        // Hold the lock so that the worker cannot begin before the list changes.
        std::lock_guard hold(icon_lock());
        start_icon_download(list, dir.path(), {});
        list[0].address = address("changed.localhost");
        list.push_back(list[0]);
    }
    ASSERT_TRUE(wait_icon_downloads(60s));
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost"}));
}

TEST_F(SiteIcons, SecondWorkerWaitsForTheFirstAndSkipsWhatItSaved) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    sites.hold("s.example.localhost");
    auto list = engines({address("s.example.localhost")});
    int refreshes = 0;
    start_icon_download(list, dir.path(), [&] { ++refreshes; });
    ASSERT_TRUE(sites.wait_for_requests(1, 60s));
    start_icon_download(list, dir.path(), [&] { refreshes += 10; });
    sites.release();
    ASSERT_TRUE(wait_icon_downloads(60s));
    EXPECT_EQ(sites.requests(), asked({"s.example.localhost"}));
    EXPECT_EQ(run_posted_ui_tasks(), 1u);
    EXPECT_EQ(refreshes, 1);
}

TEST_F(SiteIcons, StoppingAWorkerThatWaitsForTheLockEndsItAtOnce) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    std::unique_lock hold(icon_lock());
    start_icon_download(engines({address("s.example.localhost")}), dir.path(), [] {});
    EXPECT_EQ(running_icon_downloads(), 1u);
    EXPECT_TRUE(stop_icon_downloads(60s));
    hold.unlock();
    EXPECT_EQ(running_icon_downloads(), 0u);
    EXPECT_TRUE(sites.requests().empty());
    EXPECT_EQ(run_posted_ui_tasks(), 0u);
}

TEST_F(SiteIcons, StoppingAWorkerInARequestLetsItGoAndItSavesNothing) {
    sites.serve("s.example.localhost", "/favicon.ico", icon_body);
    sites.hold("s.example.localhost");
    start_icon_download(engines({address("s.example.localhost")}), dir.path(), [] {});
    ASSERT_TRUE(sites.wait_for_requests(1, 60s));
    // The request cannot end before the server answers, so the bound runs out.
    EXPECT_FALSE(stop_icon_downloads(50ms));
    EXPECT_EQ(running_icon_downloads(), 0u);
    sites.release();
    // The let-go worker holds the icon lock for its whole pass: taking it means it is through.
    std::unique_lock<std::timed_mutex> through(icon_lock(), std::defer_lock);
    ASSERT_TRUE(through.try_lock_for(60s));
    through.unlock();
    EXPECT_FALSE(std::filesystem::exists(icon_file("s.example.localhost")));
    EXPECT_EQ(run_posted_ui_tasks(), 0u);
}

}  // namespace
}  // namespace trasslo
