// The journal on real SQLite files in a temporary folder: a run's inputs and visits read back
// exactly, reports written to the letter, two writers at once, and files that cannot be used.
#include "journal/journal.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "journal/journal_recorder.h"
#include "journal/journal_report.h"
#include "journal/visit_log.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

namespace fs = std::filesystem;
using support::read_file_bytes;
using support::TempDir;
using support::write_file_bytes;

std::unique_ptr<Journal> open_journal(const fs::path& file,
                                      Journal::Mode mode = Journal::Mode::write) {
    std::string error;
    std::unique_ptr<Journal> journal = Journal::open(file, mode, error);
    EXPECT_TRUE(journal) << error;
    return journal;
}

RunInputs sample_inputs() {
    RunInputs inputs;
    inputs.rounds = 2;
    inputs.interval = "0.5";
    inputs.keywords = {"a", "", local("中文")};
    // Names and addresses the engine list file could not keep are kept here.
    inputs.engines = {TraceEngine{true, 0, local("甲|乙"), "http://a.test/s?q={*}"},
                      TraceEngine{false, 1, "line\r\nbreak", ""}};
    return inputs;
}

VisitOutcome sample_outcome(std::string title) {
    VisitOutcome outcome;
    outcome.address = "http://a.test/s?q=%D6%D0";
    outcome.status = 200;
    outcome.final_address = "http://a.test/s?q=%D6%D0";
    outcome.attempts = 1;
    outcome.elapsed_ms = 12;
    outcome.bytes = 345;
    outcome.charset = "gbk";
    outcome.title = local(title);
    outcome.echoed = true;
    return outcome;
}

TEST(Journal, KeepsARunsInputsVisitsAndEnd) {
    TempDir dir;
    const auto journal = open_journal(dir.path() / "j.db");
    const RunInputs inputs = sample_inputs();
    const std::optional<std::int64_t> run = journal->begin_run(RunSource::cli, inputs);
    ASSERT_TRUE(run) << journal->error();

    const std::optional<RunInputs> read = journal->run_inputs(*run);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->rounds, 2);
    EXPECT_EQ(read->interval, "0.5");
    EXPECT_EQ(read->keywords, inputs.keywords);
    EXPECT_EQ(read->engines, inputs.engines);

    const VisitPosition position{2, 3, 1};
    ASSERT_TRUE(journal->record_visit(*run, position, local("中文"), inputs.engines[0],
                                      sample_outcome("标题")));
    EXPECT_TRUE(journal->visit_recorded(*run, position));
    EXPECT_FALSE(journal->visit_recorded(*run, VisitPosition{2, 3, 2}));
    // A visit is recorded once: the same place again is refused.
    EXPECT_FALSE(journal->record_visit(*run, position, "x", inputs.engines[0], {}));

    EXPECT_EQ(journal->latest_unfinished_run(), *run) << "still marked running, process gone";
    ASSERT_TRUE(journal->end_run(*run, RunState::stopped));
    const auto runs = journal->runs();
    ASSERT_TRUE(runs && runs->size() == 1u);
    EXPECT_EQ((*runs)[0].source, "cli");
    EXPECT_EQ((*runs)[0].state, "stopped");
    EXPECT_EQ((*runs)[0].visits, 1);
    EXPECT_EQ((*runs)[0].echoed, 1);
    EXPECT_EQ(journal->latest_unfinished_run(), *run);
    ASSERT_TRUE(journal->end_run(*run, RunState::finished));
    EXPECT_EQ(journal->latest_unfinished_run(), std::nullopt);
}

TEST(Journal, ARunStillGoingInAnotherProcessIsNotResumable) {
    TempDir dir;
    const auto journal = open_journal(dir.path() / "j.db");
    const auto run = journal->begin_run(RunSource::window, sample_inputs());
    const std::string sql = "UPDATE runs SET pid = " + std::to_string(::getppid());
    ASSERT_EQ(execute(journal->handle(), sql.c_str()), SQLITE_OK);
    EXPECT_EQ(journal->latest_unfinished_run(), std::nullopt);
    EXPECT_EQ((*journal->runs())[0].state, "running");
    // Its process gone (a pid no process has): interrupted, and resumable before an older one.
    const auto older = journal->begin_run(RunSource::cli, sample_inputs());
    ASSERT_TRUE(journal->end_run(*older, RunState::stopped));
    const auto killed = journal->begin_run(RunSource::window, sample_inputs());
    ASSERT_EQ(execute(journal->handle(), "UPDATE runs SET pid = 2147483647 WHERE id = 3"),
              SQLITE_OK);
    ASSERT_EQ(*killed, 3);
    EXPECT_EQ((*journal->runs())[2].state, "interrupted");
    EXPECT_EQ(journal->latest_unfinished_run(), *killed);
    ASSERT_TRUE(journal->reopen_run(*run));  // this process takes it over
    EXPECT_EQ(journal->latest_unfinished_run(), *killed);
}

// A file that is no SQLite database is refused and left as it is; a damaged database is set
// aside.
TEST(Journal, AForeignFileIsRefusedUntouched) {
    TempDir dir;
    const fs::path list = dir.path() / "myeng.txt";
    write_file_bytes(list, "真|0|甲|http://a/?q={*}\r\n");
    std::string error;
    EXPECT_FALSE(Journal::open(list, Journal::Mode::write, error));
    EXPECT_NE(error.find("不是留痕记录"), std::string::npos) << error;
    EXPECT_EQ(read_file_bytes(list), "真|0|甲|http://a/?q={*}\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(foreign_journal_file(dir.path() / "none.db"), "");
}

// What a report holds, for a journal of two runs: the first with a title that needs quoting.
class JournalReport : public ::testing::Test {
  protected:
    void SetUp() override {
        journal = open_journal(dir.path() / "j.db");
        const RunInputs inputs = sample_inputs();
        first = *journal->begin_run(RunSource::cli, inputs);
        second = *journal->begin_run(RunSource::window, inputs);
        VisitOutcome failed;
        failed.address = "http://dead.test/";
        failed.attempts = 3;
        failed.elapsed_ms = 1002;
        failed.error = VisitError::connect;
        failed.proxy = "socks5://p.test:1080";
        // Recorded out of plan order: the report lists them in plan order.
        journal->record_visit(first, {1, 2, 1}, "", inputs.engines[0], failed);
        journal->record_visit(first, {1, 1, 1}, local("中文"), inputs.engines[0],
                              sample_outcome("A, \"B\"\nC"));
        journal->record_visit(second, {1, 1, 1}, "a", inputs.engines[0], sample_outcome("x"));
    }
    std::string report(std::optional<std::int64_t> run, ReportFormat format) {
        const fs::path file = dir.path() / "r";
        std::string error;
        EXPECT_TRUE(write_report_file(*journal, run, format, file, error)) << error;
        return read_file_bytes(file);
    }
    TempDir dir;
    std::unique_ptr<Journal> journal;
    std::int64_t first = 0, second = 0;
};

TEST_F(JournalReport, CsvWithMarkHeaderQuotingAndCrLf) {
    const std::string header =
        "\xEF\xBB\xBFrun,round,keyword,engine,address,status,final_address,attempts,elapsed_ms,"
        "bytes,charset,title,echoed,noindex,error,proxy\r\n";
    const std::string row1 =
        "1,1,中文,甲|乙,http://a.test/s?q=%D6%D0,200,http://a.test/s?q=%D6%D0,1,12,345,gbk,"
        "\"A, \"\"B\"\"\nC\",1,0,,\r\n";
    const std::string row2 =
        "1,1,,甲|乙,http://dead.test/,0,,3,1002,0,,,0,0,connect,socks5://p.test:1080\r\n";
    EXPECT_EQ(report(first, ReportFormat::csv), header + row1 + row2);
    const std::string all = report(std::nullopt, ReportFormat::csv);
    EXPECT_EQ(all.substr(0, header.size() + row1.size() + row2.size()), header + row1 + row2);
    EXPECT_TRUE(all.ends_with(",x,1,0,,\r\n")) << all;
}

TEST_F(JournalReport, JsonLinesWithNumbersAndBooleans) {
    EXPECT_EQ(report(second, ReportFormat::jsonl),
              "{\"run\":2,\"round\":1,\"keyword\":\"a\",\"engine\":\"甲|乙\","
              "\"address\":\"http://a.test/s?q=%D6%D0\",\"status\":200,"
              "\"final_address\":\"http://a.test/s?q=%D6%D0\",\"attempts\":1,\"elapsed_ms\":12,"
              "\"bytes\":345,\"charset\":\"gbk\",\"title\":\"x\",\"echoed\":true,"
              "\"noindex\":false,\"error\":\"\",\"proxy\":\"\"}\n");
}

TEST_F(JournalReport, AJournalWithoutTheProxyColumnIsReadAsItIsAndGainsItWhenWritten) {
    journal.reset();
    const fs::path file = dir.path() / "j.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    // The visits table as journals were made before visits went through proxies.
    ASSERT_EQ(execute(db,
                      "CREATE TABLE old AS SELECT * FROM visits;"
                      "ALTER TABLE old DROP COLUMN proxy; DROP TABLE visits;"
                      "ALTER TABLE old RENAME TO visits"),
              SQLITE_OK);
    sqlite3_close(db);
    std::string error;
    journal = Journal::open(file, Journal::Mode::read, error);
    ASSERT_TRUE(journal) << error;
    EXPECT_FALSE(journal->visits_have_proxy());
    EXPECT_TRUE(report(first, ReportFormat::csv).ends_with(",0,0,connect,\r\n"));
    journal = open_journal(file);
    EXPECT_TRUE(journal->visits_have_proxy());
    VisitOutcome proxied = sample_outcome("p");
    proxied.proxy = "http://p.test:3128";
    ASSERT_TRUE(journal->record_visit(second, {2, 1, 1}, "b", sample_inputs().engines[0], proxied));
    EXPECT_TRUE(report(second, ReportFormat::csv).ends_with(",p,1,0,,http://p.test:3128\r\n"));
}

TEST(Journal, TwoWritersKeepTheirRecordsAndWaitOutEachOthersLocks) {
    TempDir dir;
    const auto a = open_journal(dir.path() / "j.db");
    const auto b = open_journal(dir.path() / "j.db");
    const RunInputs inputs = sample_inputs();
    const auto run_a = a->begin_run(RunSource::window, inputs);
    const auto run_b = b->begin_run(RunSource::cli, inputs);
    ASSERT_TRUE(run_a && run_b && *run_a != *run_b);

    // A third connection holds the write lock for a moment while both go on writing.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open((dir.path() / "j.db").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(execute(holder, "BEGIN IMMEDIATE"), SQLITE_OK);
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        execute(holder, "COMMIT");
    });
    for (int k = 1; k <= 20; ++k) {
        EXPECT_TRUE(a->record_visit(*run_a, {1, 1, k}, "a", inputs.engines[0], {})) << a->error();
        EXPECT_TRUE(b->record_visit(*run_b, {1, 1, k}, "b", inputs.engines[0], {})) << b->error();
    }
    release.join();
    sqlite3_close(holder);
    const auto runs = open_journal(dir.path() / "j.db", Journal::Mode::read)->runs();
    ASSERT_TRUE(runs && runs->size() == 2u);
    EXPECT_EQ((*runs)[0].visits, 20);
    EXPECT_EQ((*runs)[1].visits, 20);
}

// A killed process's visit log: a reader sees its whole lines and writes nothing; the next
// writer moves them in, a visit already in the journal is passed over, the line cut short by
// the kill is dropped, and the log is removed. A living process's log is left alone; a log of
// this process's id that no run of it holds is taken over by its next run.
TEST(Journal, AKilledProcesssVisitLogIsSeenByReadersAndMovedInByTheNextWriter) {
    TempDir dir;
    const fs::path file = dir.path() / "j.db";
    const RunInputs inputs = sample_inputs();
    std::int64_t run = 0;
    VisitRow in_already, logged;
    {
        const auto journal = open_journal(file);
        run = *journal->begin_run(RunSource::cli, inputs);
        in_already = make_visit_row(run, {1, 1, 1}, "a", inputs.engines[0], sample_outcome("x"));
        ASSERT_TRUE(journal->record_visit_rows({in_already}));
        logged = make_visit_row(run, {1, 2, 1}, local("中文"), inputs.engines[0],
                                sample_outcome("tab\there\\ \n"));
        logged.title = "tab\there\\ \nline\r\nend\\";
    }
    ASSERT_EQ(read_visit_log_line(visit_log_line(logged)), logged);
    // A round beyond int would wrap onto another visit's key: the line is refused.
    std::string wide = visit_log_line(logged);
    const std::size_t round_at = wide.find('\t', wide.find('\t') + 1) + 1;
    wide.replace(round_at, wide.find('\t', round_at) - round_at, "4294967297");
    EXPECT_EQ(read_visit_log_line(wide), std::nullopt);
    const fs::path dead = dir.path() / "j.db-visits-999999999.log";
    const fs::path living = dir.path() / ("j.db-visits-" + std::to_string(::getpid()) + ".log");
    const std::string cut =
        visit_log_line(make_visit_row(run, {1, 3, 1}, "c", inputs.engines[0], {}));
    write_file_bytes(dead, visit_log_line(in_already) + "not a visit\n" + visit_log_line(logged) +
                               cut.substr(0, cut.size() / 2));
    write_file_bytes(living,
                     visit_log_line(make_visit_row(run, {1, 4, 1}, "d", inputs.engines[0], {})));
    // Names that are not a process's log: no number a process can have. Not ours to touch.
    const std::vector<fs::path> strays = {dir.path() / "j.db-visits-99999999999999999999999.log",
                                          dir.path() / "j.db-visits-4294967296.log",
                                          dir.path() / "j.db-visits-0.log"};
    for (const fs::path& stray : strays) write_file_bytes(stray, visit_log_line(logged));

    std::string error;
    const std::string before = read_file_bytes(file);
    for (const Journal::Mode mode : {Journal::Mode::read, Journal::Mode::write}) {
        SCOPED_TRACE(mode == Journal::Mode::read ? "read" : "write");
        const auto journal = Journal::open(file, mode, error);
        ASSERT_TRUE(journal) << error;
        const auto runs = journal->runs();
        ASSERT_TRUE(runs && runs->size() == 1u);
        EXPECT_EQ((*runs)[0].visits, 2);
        EXPECT_TRUE(journal->visit_recorded(run, {1, 2, 1}));
        EXPECT_FALSE(journal->visit_recorded(run, {1, 3, 1}));
        if (mode == Journal::Mode::read) {
            EXPECT_TRUE(fs::exists(dead));
            EXPECT_EQ(read_file_bytes(file), before);
        }
    }
    const auto journal = Journal::open(file, Journal::Mode::read, error);
    ASSERT_TRUE(journal) << error;
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(living));
    for (const fs::path& stray : strays) EXPECT_TRUE(fs::exists(stray)) << stray;

    // This process's id on a log it does not hold (a process gone, its id used again): a run of
    // this process takes the log over and moves its visits in first.
    {
        JournalRecorder recorder(file, RunSource::cli, {});
        recorder.run_started(inputs);
        recorder.run_ended(true);
    }
    EXPECT_TRUE(journal->visit_recorded(run, {1, 4, 1}));
    EXPECT_FALSE(fs::exists(living));
}

TEST(Journal, TheLogStaysBoundedUnderASteadyWriter) {
    TempDir dir;
    const auto journal = open_journal(dir.path() / "j.db");
    const RunInputs inputs = sample_inputs();
    const auto run = journal->begin_run(RunSource::cli, inputs);
    // Each visit is a transaction of its own, a page or more of log; without checkpoints that
    // start the log again, 8,000 visits leave a log of 8,000 pages or more. How far it grows
    // between two of them depends on how soon the checkpoints' thread gets the processor.
    constexpr int kVisits = 8000;
    for (int k = 1; k <= kVisits; ++k)
        ASSERT_TRUE(journal->record_visit(*run, {1, k, 1}, "k", inputs.engines[0], {}));
    const auto log_pages = fs::file_size(dir.path() / "j.db-wal") / 4096;
    EXPECT_LT(log_pages, static_cast<std::uintmax_t>(kVisits));
}

// Files a journal cannot be kept in: the reason is given and nothing of the user's is lost.
TEST(Journal, UnusableFilesAreRefusedWithTheReasonAndKept) {
    TempDir dir;
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> make;
        Journal::Mode mode;
        const char* reason;  // a part of the error
    };
    const Row rows[] = {
        {"newer",
         [](const fs::path& file) {
             sqlite3* db = nullptr;
             sqlite3_open(file.c_str(), &db);
             execute(db, "PRAGMA user_version = 99");
             sqlite3_close(db);
         },
         Journal::Mode::write, "更新的版本"},
        {"folder", [](const fs::path& file) { fs::create_directories(file); }, Journal::Mode::write,
         "无法打开留痕记录"},
        {"missing", [](const fs::path&) {}, Journal::Mode::read, "无法打开留痕记录"},
        {"empty", [](const fs::path& file) { write_file_bytes(file, ""); }, Journal::Mode::read,
         "还没有记录"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path file = dir.path() / row.name;
        row.make(file);
        const bool existed = fs::exists(file);
        const std::string before =
            existed && fs::is_regular_file(file) ? read_file_bytes(file) : "";
        std::string error;
        EXPECT_FALSE(Journal::open(file, row.mode, error));
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
        EXPECT_NE(error.find(file.string()), std::string::npos) << error;
        EXPECT_EQ(fs::exists(file), existed);
        if (existed && fs::is_regular_file(file)) {
            EXPECT_EQ(read_file_bytes(file), before);
        }
    }
}

TEST(Journal, ACorruptFileIsSetAsideWithItsTimeAndANewOneStarted) {
    TempDir dir;
    const fs::path file = dir.path() / "留痕记录.db";
    // A database by its header, damaged behind it.
    const std::string garbage = std::string("SQLite format 3\0", 16) + std::string(8176, '\x5A');
    write_file_bytes(file, garbage);
    std::string error;
    std::optional<fs::path> aside;
    const auto journal = Journal::open(file, Journal::Mode::write, error, &aside);
    ASSERT_TRUE(journal) << error;
    ASSERT_TRUE(aside);
    EXPECT_EQ(read_file_bytes(*aside), garbage);
    EXPECT_TRUE(aside->filename().string().starts_with("留痕记录-损坏-20")) << *aside;
    EXPECT_EQ(aside->extension(), ".db");
    EXPECT_TRUE(journal->begin_run(RunSource::cli, sample_inputs()));
    // Reading never sets a file aside, not even with a killed process's visit log beside it.
    write_file_bytes(dir.path() / "other.db", garbage);
    const fs::path dead = dir.path() / "other.db-visits-999999999.log";
    write_file_bytes(dead, "a line\n");
    EXPECT_FALSE(Journal::open(dir.path() / "other.db", Journal::Mode::read, error));
    EXPECT_EQ(read_file_bytes(dir.path() / "other.db"), garbage);
    EXPECT_TRUE(fs::exists(dead));
    std::size_t set_aside = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        set_aside += entry.path().filename().string().starts_with("other-");
    EXPECT_EQ(set_aside, 0u);
}

}  // namespace
}  // namespace trasslo
