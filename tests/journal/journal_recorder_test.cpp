// The trace run with its record in the journal: every visit kept as it ends, a stopped run
// resumed with exactly the visits it had not made, and a journal that cannot be kept saying so
// once while the run goes on.
#include "journal/journal_recorder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "run/fake_views.h"
#include "run/trace_run.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "support/test_hooks.h"

namespace trasslo {
namespace {

namespace fs = std::filesystem;
using support::Connection;
using support::engine;
using support::FakeRunView;
using support::HttpTestServer;
using support::RecordedRequest;

class RecordedRun : public ::testing::Test {
  protected:
    HttpTestServer server{[](Connection& c, const RecordedRequest& request) {
        c.send(support::http_reply(200, "OK", "<title>page " + request.target + "</title>"));
    }};
    support::TempDir dir;
    fs::path file = dir.path() / "j.db";
    std::vector<std::string> notices;

    JournalRecorder::Notice note() {
        return [this](const std::string& text) { notices.push_back(text); };
    }
    // Two rounds of two keywords over two ticked engines and an unticked one between them.
    void plan(FakeRunView& view) {
        view.engines = {engine(true, 0, "甲", server.url("/a?q={*}")),
                        engine(false, 0, "关", server.url("/off?q={*}")),
                        engine(true, 1, "乙", server.url("/b?q={*}"))};
        view.keywords = "x\r\ny";
        view.loop_count = "2";
    }
    std::vector<std::string> targets() const {
        std::vector<std::string> out;
        for (const RecordedRequest& r : server.requests()) out.push_back(r.target);
        return out;
    }
    // The journal's visits of run 1 in plan order: "round:keyword:engine title".
    std::vector<std::string> recorded() {
        std::string error;
        const auto journal = Journal::open(file, Journal::Mode::read, error);
        EXPECT_TRUE(journal) << error;
        std::vector<std::string> out;
        Statement rows(journal->handle(),
                       "SELECT round, keyword_index, engine_index, title FROM visits"
                       " WHERE run_id = 1 ORDER BY round, keyword_index, engine_index");
        while (rows.step() == SQLITE_ROW)
            out.push_back(std::to_string(rows.integer(0)) + ":" + std::to_string(rows.integer(1)) +
                          ":" + std::to_string(rows.integer(2)) + " " + std::string(rows.text(3)));
        return out;
    }
    std::string state_of_run_1() {
        std::string error;
        const auto runs = Journal::open(file, Journal::Mode::read, error)->runs();
        return runs && !runs->empty() ? (*runs)[0].state : "";
    }
    static std::vector<std::string> whole_plan() {
        return {"1:1:1 page /a?q=x", "1:1:3 page /b?q=x", "1:2:1 page /a?q=y", "1:2:3 page /b?q=y",
                "2:1:1 page /a?q=x", "2:1:3 page /b?q=x", "2:2:1 page /a?q=y", "2:2:3 page /b?q=y"};
    }
};

TEST_F(RecordedRun, EveryVisitIsKeptWhereItStandsInThePlan) {
    FakeRunView view;
    plan(view);
    JournalRecorder recorder(file, RunSource::window, note());
    RunServices services;
    services.recorder = &recorder;
    EXPECT_EQ(on_start_button_clicked(view, services).total, 8u);
    EXPECT_EQ(recorded(), whole_plan());
    EXPECT_EQ(state_of_run_1(), "finished");
    EXPECT_TRUE(notices.empty());
}

TEST_F(RecordedRun, AStoppedRunResumesWithItsOwnInputsAndOnlyTheVisitsNotMade) {
    {
        FakeRunView view;
        plan(view);
        // The stop click comes with the third visit's pause.
        view.on_interval = [&view](int reading) {
            if (reading == 4) on_start_button_clicked(view);
        };
        JournalRecorder recorder(file, RunSource::cli, note());
        RunServices services;
        services.recorder = &recorder;
        EXPECT_TRUE(on_start_button_clicked(view, services).stopped);
    }
    const std::vector<std::string> plan = whole_plan();
    EXPECT_EQ(recorded(), std::vector<std::string>(plan.begin(), plan.begin() + 3));
    EXPECT_EQ(state_of_run_1(), "stopped");

    // Resumed on the recorded inputs; what the view would say now is not asked for.
    std::string error;
    auto journal = Journal::open(file, Journal::Mode::write, error);
    const std::optional<std::int64_t> run = journal->latest_unfinished_run();
    ASSERT_EQ(run, 1);
    const RunInputs inputs = *journal->run_inputs(*run);
    FakeRunView view;
    view.engines = inputs.engines;
    for (const LocalText& keyword : inputs.keywords) view.keywords += keyword + "\r\n";
    view.loop_count = std::to_string(inputs.rounds);
    JournalRecorder recorder(std::move(journal), *run, note());
    RunServices services;
    services.recorder = &recorder;
    const std::size_t before = server.request_count();
    EXPECT_EQ(on_start_button_clicked(view, services).total, 5u);
    const std::vector<std::string> made = targets();
    EXPECT_EQ(std::vector<std::string>(made.begin() + static_cast<long>(before), made.end()),
              (std::vector<std::string>{"/b?q=y", "/a?q=x", "/b?q=x", "/a?q=y", "/b?q=y"}));
    EXPECT_EQ(recorded(), whole_plan());
    EXPECT_EQ(state_of_run_1(), "finished");
    EXPECT_TRUE(view.events == std::vector<std::string>{"final"}) << "no no-engine question";
}

TEST_F(RecordedRun, AJournalThatCannotBeKeptIsSaidOnceAndTheRunGoesOn) {
    struct Row {
        const char* name;
        std::function<void()> spoil;
    };
    sqlite3* holder = nullptr;
    const Row rows[] = {
        {"folder", [&] { fs::create_directories(file); }},
        // Another program holds the write lock longer than the journal waits.
        {"locked",
         [&] {
             std::string ignored;
             Journal::open(file, Journal::Mode::write, ignored);
             sqlite3_open(file.c_str(), &holder);
             execute(holder, "BEGIN EXCLUSIVE");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(file);
        notices.clear();
        row.spoil();
        FakeRunView view;
        plan(view);
        JournalRecorder recorder(file, RunSource::window, note());
        RunServices services;
        services.recorder = &recorder;
        EXPECT_EQ(on_start_button_clicked(view, services).total, 8u);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(notices[0].starts_with("本次留痕不做记录：")) << notices[0];
        EXPECT_NE(notices[0].find(file.string()), std::string::npos) << notices[0];
        if (holder) {
            execute(holder, "ROLLBACK");
            sqlite3_close(holder);
            holder = nullptr;
        }
    }
}

}  // namespace
}  // namespace trasslo
