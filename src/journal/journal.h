// The trace journal: an SQLite database ("留痕记录.db" beside the program) holding every run,
// with the inputs it worked on and how it ended, and every visit with its whole outcome.
// Several processes may write one journal at once (WAL mode, SQLite's own locking with a busy
// timeout). A run's visits reach it through a small log beside it, one line per visit written
// as the visit ends (journal/visit_log.h), and are moved in by the batch: a killed process
// loses at most the visit in flight, and the next program to open the journal for writing
// moves in what its log still holds (a reader sees those visits without writing anything). The
// schema's version is kept in PRAGMA user_version; a journal of a newer version is not written.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "journal/run_recorder.h"
#include "journal/sqlite_statement.h"
#include "journal/wal_checkpointer.h"

namespace trasslo {

// The journal's file in `program_folder` (the name in UTF-8 for the file system).
std::filesystem::path journal_file_path(const std::filesystem::path& program_folder);

// One visit as the journal keeps it: texts in UTF-8, the outcome's error by its report name.
struct VisitRow {
    std::int64_t run = 0;
    int round = 0, keyword_index = 0, engine_index = 0;
    std::string keyword, engine, address_template;
    int encoding = 0;
    std::string address;
    long status = 0;
    std::string final_address;
    int attempts = 0;
    std::int64_t elapsed_ms = 0, bytes = 0;
    std::string charset, title;
    bool echoed = false, noindex = false;
    std::string error;
    std::int64_t visited_at = 0;  // when the visit ended, Unix time in milliseconds
    std::string proxy;            // scheme://host:port of the proxy used, empty when direct

    friend bool operator==(const VisitRow&, const VisitRow&) = default;
};

// The row of a visit that ends now.
VisitRow make_visit_row(std::int64_t run, const VisitPosition& position, std::string_view keyword,
                        const TraceEngine& engine, const VisitOutcome& outcome);

enum class RunSource { window, cli };
enum class RunState { running, stopped, halted, finished };

// Renames a corrupt journal file, with its WAL files, to "<name>-损坏-<local time>.db" beside
// it, so that a new journal can start while the old one is kept. The new name, or nothing when
// the file could not be renamed.
std::optional<std::filesystem::path> set_corrupt_journal_aside(const std::filesystem::path& file);

std::string_view run_source_name(RunSource source);  // "window", "cli"
// "running", "stopped", "halted" (by the safeguard), "finished"
std::string_view run_state_name(RunState state);

struct RunSummary {
    std::int64_t id = 0;
    std::int64_t started_ms = 0;  // Unix time in milliseconds
    std::string source;
    std::string state;        // run_state_name's, or "interrupted": running, its process gone
    std::int64_t visits = 0;  // visits recorded
    std::int64_t echoed = 0;  // of those, visits whose page showed the keyword
};

// Why `file` is no journal and must be left alone: a file that does not begin with SQLite's
// header (an engine list named by mistake, say) is refused rather than set aside as corrupt.
// Empty (UTF-8, naming the file) when the file is missing, empty or an SQLite database.
std::string foreign_journal_file(const std::filesystem::path& file);

class Journal {
  public:
    enum class Mode {
        write,  // created when missing; a corrupt file is renamed aside and a new one started
        read,   // must exist and be a journal; nothing is written (see read_in_visit_logs)
    };

    // Opens `file`. Nothing, with `error` set (UTF-8, naming the file and the reason), when it
    // cannot be used; a file that is no SQLite database (foreign_journal_file) is left as it is.
    // When a corrupt database was set aside, `set_aside` receives its new name.
    static std::unique_ptr<Journal> open(const std::filesystem::path& file, Mode mode,
                                         std::string& error,
                                         std::optional<std::filesystem::path>* set_aside = nullptr);
    // A journal kept in memory only, for a report whose file journal cannot be written.
    static std::unique_ptr<Journal> open_in_memory(std::string& error);

    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    const std::filesystem::path& file() const { return file_; }
    // The reason of the last failed call, UTF-8.
    const std::string& error() const { return error_; }
    // Whether the last failure was SQLite finding the file corrupt.
    bool corrupt() const { return corrupt_; }

    // Writing. Each returns false (error() says why) when SQLite refused.
    std::optional<std::int64_t> begin_run(RunSource source, const RunInputs& inputs);
    // Marks an unfinished run as running again, in this process.
    bool reopen_run(std::int64_t run);
    bool record_visit(std::int64_t run, const VisitPosition& position, std::string_view keyword,
                      const TraceEngine& engine, const VisitOutcome& outcome);
    // Several visits in one transaction. With `recovered`, a visit already recorded (a log
    // whose batch was in before its process died) is passed over instead of refused.
    bool record_visit_rows(const std::vector<VisitRow>& rows, bool recovered = false);
    bool end_run(std::int64_t run, RunState state);

    // Reading.
    std::optional<std::vector<RunSummary>> runs();
    std::optional<std::int64_t> latest_run();
    // The latest run that did not finish and whose process is gone: stopped, or still marked
    // running by a process that no longer exists.
    std::optional<std::int64_t> latest_unfinished_run();
    std::optional<RunInputs> run_inputs(std::int64_t run);
    bool visit_recorded(std::int64_t run, const VisitPosition& position);

    sqlite3* handle() const { return db_; }
    // Whether the visits have a proxy column (a journal of an earlier version read as it is
    // has none).
    bool visits_have_proxy() const { return visits_have_proxy_; }

  private:
    Journal(sqlite3* db, std::filesystem::path file);
    enum class Setup { ready, corrupt, newer, failed };
    Setup set_up(Mode mode);
    bool fail(std::string_view what);

    sqlite3* db_;
    std::filesystem::path file_;
    std::string error_;
    bool corrupt_ = false;
    bool visits_have_proxy_ = false;
    bool has_visit_column(std::string_view name);
    // Moves the logs of processes that are gone into the journal, and removes them.
    void recover_visit_logs();
    // A reader's view of those logs: their visits are seen as the journal's, the file and the
    // logs are left as they are.
    bool read_in_visit_logs();

    Statement insert_visit_;
    Statement recover_visit_;
    Statement find_visit_;
    std::unique_ptr<WalCheckpointer> checkpointer_;  // a writer's checkpoints, off its thread
};

}  // namespace trasslo
