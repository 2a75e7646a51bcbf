// Crash safety of the journal: trasslo-cli runs are killed with SIGKILL at random moments, the
// killed run is resumed and killed again, until a resume finishes it. After every kill the
// journal must open, hold only whole visits, each where the plan puts it; at the end the report
// holds every planned visit exactly once.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "journal/journal.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace trasslo {
namespace {

namespace fs = std::filesystem;
using support::Connection;
using support::RecordedRequest;

constexpr int kEngines = 3;
// Enough visits that a run lasts well past the latest kill (250 ms) on a fast machine.
constexpr int kKeywords = 600;
constexpr int kRounds = 2;
constexpr int kPlanned = kEngines * kKeywords * kRounds;

// The exit status of trasslo-cli run with `args` once it ends, or minus the signal that ended it;
// SIGKILL after `kill_after` when given.
int run_cli(const std::vector<std::string>& args, const fs::path& folder,
            std::optional<std::chrono::milliseconds> kill_after = std::nullopt) {
    support::ChildProcess child(TRASSLO_CLI_PATH, args, folder);
    if (kill_after) {
        std::this_thread::sleep_for(*kill_after);
        child.send_signal(SIGKILL);
    }
    return child.wait(std::chrono::minutes(5));
}

class JournalCrash : public ::testing::Test {
  protected:
    support::HttpTestServer server{[](Connection& c, const RecordedRequest& request) {
        c.send(support::http_reply(200, "OK", "<title>page " + request.target + "</title>"));
    }};
    support::TempDir dir;
    fs::path journal = dir.path() / "j.db";

    void SetUp() override {
        std::string engines, keywords;
        for (int e = 1; e <= kEngines; ++e)
            engines += local("真") + "|0|e" + std::to_string(e) + "|" +
                       server.url("/e" + std::to_string(e) + "?q={*}") + "\r\n";
        for (int k = 1; k <= kKeywords; ++k) keywords += "k" + std::to_string(k) + "\r\n";
        support::write_file_bytes(dir.path() / "engines.txt", engines);
        support::write_file_bytes(dir.path() / "keywords.txt", keywords);
    }

    // Whether a run was recorded yet: a kill may come before the journal or the run exists.
    bool run_recorded() {
        std::string error;
        const auto opened = Journal::open(journal, Journal::Mode::read, error);
        const auto runs = opened ? opened->runs() : std::nullopt;
        return runs && !runs->empty();
    }

    // Checks the journal as a kill left it; the number of visits recorded.
    int check_journal() {
        std::string error;
        const auto opened = Journal::open(journal, Journal::Mode::read, error);
        // Killed before the journal's first transaction: an empty file is all there is.
        if (!opened && error.find("还没有记录") != std::string::npos) return 0;
        EXPECT_TRUE(opened) << error;
        if (!opened) return -1;
        Statement check(opened->handle(), "PRAGMA integrity_check");
        EXPECT_EQ(check.step(), SQLITE_ROW);
        EXPECT_EQ(check.text(0), "ok");
        Statement rows(opened->handle(),
                       "SELECT run_id, round, keyword_index, engine_index, keyword, engine,"
                       " address, status, title, attempts, error, charset FROM visits");
        int count = 0;
        while (rows.step() == SQLITE_ROW) {
            ++count;
            const std::string keyword = "k" + std::to_string(rows.integer(2));
            const std::string engine = "e" + std::to_string(rows.integer(3));
            const std::string target = "/" + engine + "?q=" + keyword;
            EXPECT_EQ(rows.integer(0), 1);
            EXPECT_TRUE(rows.integer(1) >= 1 && rows.integer(1) <= kRounds);
            EXPECT_EQ(rows.text(4), keyword);
            EXPECT_EQ(rows.text(5), engine);
            EXPECT_EQ(rows.text(6), server.url(target));
            EXPECT_EQ(rows.integer(7), 200);
            EXPECT_EQ(rows.text(8), "page " + target);
            EXPECT_EQ(rows.integer(9), 1);
            EXPECT_EQ(rows.text(10), "");
            EXPECT_EQ(rows.text(11), "gbk");
        }
        return count;
    }
};

TEST_F(JournalCrash, KilledRunsLeaveWholeVisitsAndResumeCompletesEachPlannedVisitOnce) {
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment_ms(5, 250);
    const std::vector<std::string> run = {"run",
                                          "--engines",
                                          (dir.path() / "engines.txt").string(),
                                          "--keywords",
                                          (dir.path() / "keywords.txt").string(),
                                          "--rounds",
                                          std::to_string(kRounds),
                                          "--journal",
                                          journal.string()};
    const std::vector<std::string> resume = {"run", "--resume", "--journal", journal.string()};

    int kills = 0;
    int finished_by = -1;  // the exit status of the start that was not killed
    for (int start = 0; start < 60 && finished_by < 0; ++start) {
        const int status = run_cli(run_recorded() ? resume : run, dir.path(),
                                   std::chrono::milliseconds(moment_ms(random)));
        if (status == -SIGKILL) {
            ++kills;
            if (!fs::exists(journal)) continue;
            const int recorded = check_journal();
            EXPECT_LE(recorded, kPlanned);
            if (::testing::Test::HasFailure()) return;
        } else {
            finished_by = status;
        }
    }
    // Whatever is left, one last resume makes it.
    if (finished_by < 0) finished_by = run_cli(resume, dir.path());
    EXPECT_TRUE(finished_by == 0 || finished_by == 2) << finished_by;
    EXPECT_GE(kills, 1) << "no start was killed: the plan ran out before the first kill";
    RecordProperty("kills", kills);

    EXPECT_EQ(check_journal(), kPlanned);
    std::string error;
    const auto runs = Journal::open(journal, Journal::Mode::read, error)->runs();
    ASSERT_TRUE(runs && runs->size() == 1u);
    EXPECT_EQ((*runs)[0].state, "finished");
    // A visit killed in flight was made again; nothing else was.
    EXPECT_GE(server.request_count(), static_cast<std::size_t>(kPlanned));
    EXPECT_LE(server.request_count(), static_cast<std::size_t>(kPlanned + kills));
    EXPECT_EQ(run_cli(resume, dir.path()), 2) << "nothing left to resume";
}

}  // namespace
}  // namespace trasslo
