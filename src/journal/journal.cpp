#include "journal/journal.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>
#include <string_view>
#include <system_error>
#include <thread>

#include "base/event_pump.h"
#include "base/process_exists.h"
#include "base/wall_clock.h"
#include "files/system_error_text.h"
#include "journal/visit_log.h"
#include "text/lossless_text.h"

namespace trasslo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kSchemaVersion = 1;
// How long a write waits for another process's transaction before the journal gives up. The
// wait keeps the window live: it pumps events between its tries.
constexpr auto kBusyTimeout = std::chrono::milliseconds(2000);

// Runs with their inputs (the keywords as local text, each followed by CR LF, and the engine
// list as it was), visits with their place in the run's plan as their key, and the engine
// checks. Visits are stored in key order, which is the order reports list them in.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY,
  started_at INTEGER NOT NULL,
  ended_at INTEGER,
  source TEXT NOT NULL,
  state TEXT NOT NULL,
  pid INTEGER NOT NULL,
  rounds INTEGER NOT NULL,
  interval TEXT NOT NULL,
  keywords BLOB NOT NULL
);
CREATE TABLE IF NOT EXISTS run_engines(
  run_id INTEGER NOT NULL,
  position INTEGER NOT NULL,
  enabled INTEGER NOT NULL,
  encoding INTEGER NOT NULL,
  name BLOB NOT NULL,
  address BLOB NOT NULL,
  PRIMARY KEY(run_id, position)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS visits(
  run_id INTEGER NOT NULL,
  round INTEGER NOT NULL,
  keyword_index INTEGER NOT NULL,
  engine_index INTEGER NOT NULL,
  keyword TEXT NOT NULL,
  engine TEXT NOT NULL,
  template TEXT NOT NULL,
  encoding INTEGER NOT NULL,
  address TEXT NOT NULL,
  status INTEGER NOT NULL,
  final_address TEXT NOT NULL,
  attempts INTEGER NOT NULL,
  elapsed_ms INTEGER NOT NULL,
  bytes INTEGER NOT NULL,
  charset TEXT NOT NULL,
  title TEXT NOT NULL,
  echoed INTEGER NOT NULL,
  noindex INTEGER NOT NULL,
  error TEXT NOT NULL,
  visited_at INTEGER NOT NULL,
  proxy TEXT NOT NULL DEFAULT '',
  PRIMARY KEY(run_id, round, keyword_index, engine_index)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS checks(
  id INTEGER PRIMARY KEY,
  checked_at INTEGER NOT NULL,
  engine TEXT NOT NULL,
  address TEXT NOT NULL,
  keyword TEXT NOT NULL,
  verdict TEXT NOT NULL,
  status INTEGER NOT NULL,
  final_address TEXT NOT NULL,
  charset TEXT NOT NULL,
  echoed INTEGER NOT NULL,
  noindex INTEGER NOT NULL,
  robots TEXT NOT NULL,
  suggested_encoding TEXT NOT NULL,
  elapsed_ms INTEGER NOT NULL,
  title TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS checks_by_address ON checks(address, checked_at);
)sql";

constexpr const char* kInsertVisit =
    "INSERT INTO visits(run_id, round, keyword_index, engine_index, keyword, engine, template,"
    " encoding, address, status, final_address, attempts, elapsed_ms, bytes, charset, title,"
    " echoed, noindex, error, visited_at, proxy)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18,"
    " ?19, ?20, ?21)";

constexpr const char* kRecoverVisit =
    "INSERT OR IGNORE INTO visits(run_id, round, keyword_index, engine_index, keyword, engine,"
    " template, encoding, address, status, final_address, attempts, elapsed_ms, bytes, charset,"
    " title, echoed, noindex, error, visited_at, proxy)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18,"
    " ?19, ?20, ?21)";

constexpr const char* kFindVisit =
    "SELECT 1 FROM visits WHERE run_id = ?1 AND round = ?2 AND keyword_index = ?3"
    " AND engine_index = ?4";

bool is_corruption(int code) {
    code &= 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// Waits out another process's transaction for up to kBusyTimeout, pumping events meanwhile.
int wait_while_busy(void* /*unused*/, int tries) {
    thread_local Clock::time_point first_try;
    if (tries == 0) first_try = Clock::now();
    if (Clock::now() - first_try >= kBusyTimeout) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    process_pending_events();
    return 1;
}

// "留痕记录-损坏-20240501-120000.db" beside the file: the name it is kept under once found corrupt.
fs::path aside_name(const fs::path& file) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string stem = file.stem().string() + "-损坏-" + stamp;
    fs::path candidate = file.parent_path() / (stem + file.extension().string());
    for (int n = 2; fs::exists(candidate); ++n)
        candidate =
            file.parent_path() / (stem + "-" + std::to_string(n) + file.extension().string());
    return candidate;
}

// Another process that still lives: this process's own runs are not "alive" elsewhere.
bool process_alive(std::int64_t pid) {
    return pid != static_cast<std::int64_t>(::getpid()) && process_exists(pid);
}

// Why SQLite failed, in words for the user: the system's reason where a file operation failed
// (in Chinese for the common ones), else SQLite's own message.
std::string failure_reason(sqlite3* db) {
    if (db == nullptr) return "out of memory";
    // The system's error number is only the cause of the failures of file operations.
    const int code = sqlite3_errcode(db) & 0xFF;
    const bool file_failure = code == SQLITE_CANTOPEN || code == SQLITE_IOERR ||
                              code == SQLITE_FULL || code == SQLITE_READONLY || code == SQLITE_PERM;
    const int system_error = file_failure ? sqlite3_system_errno(db) : 0;
    return system_error != 0 ? system_error_text(system_error) : sqlite3_errmsg(db);
}

}  // namespace

std::optional<fs::path> set_corrupt_journal_aside(const fs::path& file) {
    const fs::path aside = aside_name(file);
    std::error_code ec;
    fs::rename(file, aside, ec);
    if (ec) return std::nullopt;
    // The WAL files belong to the corrupt file: a new journal must not pick them up.
    for (const char* suffix : {"-wal", "-shm"}) {
        const fs::path companion = file.string() + suffix;
        if (fs::exists(companion, ec)) fs::rename(companion, aside.string() + suffix, ec);
    }
    return aside;
}

fs::path journal_file_path(const fs::path& program_folder) {
    return program_folder / fs::path(u8"留痕记录.db");
}

std::string_view run_source_name(RunSource source) {
    return source == RunSource::window ? "window" : "cli";
}

std::string_view run_state_name(RunState state) {
    switch (state) {
        case RunState::running:
            return "running";
        case RunState::stopped:
            return "stopped";
        case RunState::halted:
            return "halted";
        case RunState::finished:
            return "finished";
    }
    return "running";
}

Journal::Journal(sqlite3* db, fs::path file) : db_(db), file_(std::move(file)) {
    sqlite3_busy_handler(db_, wait_while_busy, nullptr);
}

Journal::~Journal() {
    checkpointer_.reset();
    insert_visit_ = Statement();
    recover_visit_ = Statement();
    find_visit_ = Statement();
    sqlite3_close_v2(db_);
}

std::string foreign_journal_file(const fs::path& file) {
    static constexpr std::string_view kHeader{"SQLite format 3\0", 16};
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return "";
    const auto size = fs::file_size(file, ec);
    if (ec || size == 0) return "";
    std::ifstream in(file, std::ios::binary);
    char start[16] = {};
    in.read(start, sizeof start);
    if (!in && in.gcount() == 0) return "";  // unreadable: opening it says why
    if (std::string_view(start, static_cast<std::size_t>(in.gcount())) == kHeader) return "";
    return file.string() + " 不是留痕记录（不是 SQLite 数据库），未作改动";
}

std::unique_ptr<Journal> Journal::open(const fs::path& file, Mode mode, std::string& error,
                                       std::optional<fs::path>* set_aside) {
    const std::string name = file.string();
    if (std::string foreign = foreign_journal_file(file); !foreign.empty()) {
        error = std::move(foreign);
        return nullptr;
    }
    for (int tries = 0; tries < 2; ++tries) {
        sqlite3* db = nullptr;
        const int flags = mode == Mode::write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                              : SQLITE_OPEN_READWRITE;
        if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            error = "无法打开留痕记录 " + name + "：" + failure_reason(db);
            sqlite3_close_v2(db);
            return nullptr;
        }
        std::unique_ptr<Journal> journal(new Journal(db, file));
        switch (journal->set_up(mode)) {
            case Setup::ready:
                if (mode == Mode::write) {
                    journal->recover_visit_logs();
                } else if (!journal->read_in_visit_logs()) {
                    error = journal->error();
                    return nullptr;
                }
                return journal;
            case Setup::newer:
                error = "留痕记录 " + name + " 来自更新的版本，本程序不能使用它";
                return nullptr;
            case Setup::failed:
                error = journal->error();
                return nullptr;
            case Setup::corrupt:
                break;
        }
        journal.reset();
        if (mode == Mode::read || tries > 0) {
            error = "留痕记录 " + name + " 已损坏";
            return nullptr;
        }
        const std::optional<fs::path> aside = set_corrupt_journal_aside(file);
        if (!aside) {
            error = "留痕记录 " + name + " 已损坏，且无法改名保留";
            return nullptr;
        }
        if (set_aside) *set_aside = *aside;
    }
    return nullptr;
}

std::unique_ptr<Journal> Journal::open_in_memory(std::string& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error = "无法建立内存中的留痕记录";
        sqlite3_close_v2(db);
        return nullptr;
    }
    std::unique_ptr<Journal> journal(new Journal(db, ":memory:"));
    if (journal->set_up(Mode::write) != Setup::ready) {
        error = journal->error();
        return nullptr;
    }
    return journal;
}

bool Journal::fail(std::string_view what) {
    const int code = sqlite3_extended_errcode(db_);
    corrupt_ = is_corruption(code);
    error_ = std::string(what) + " " + file_.string() + "：" + failure_reason(db_);
    return false;
}

Journal::Setup Journal::set_up(Mode mode) {
    auto failed = [this](std::string_view what) {
        fail(what);
        return corrupt_ ? Setup::corrupt : Setup::failed;
    };
    Statement version(db_, "PRAGMA user_version");
    if (!version.valid() || version.step() != SQLITE_ROW) return failed("无法读取留痕记录");
    const std::int64_t found = version.integer(0);
    version = Statement();
    if (found > kSchemaVersion) return Setup::newer;
    if (mode == Mode::read) {
        if (found < kSchemaVersion) {
            error_ = "留痕记录 " + file_.string() + " 中还没有记录";
            return Setup::failed;
        }
    } else {
        // WAL lets readers and one writer work at once; NORMAL syncing keeps every committed
        // visit through a crash of the process, which is what the journal promises.
        if (execute(db_, "PRAGMA journal_mode=WAL") != SQLITE_OK ||
            execute(db_, "PRAGMA synchronous=NORMAL") != SQLITE_OK)
            return failed("无法设置留痕记录");
        if (found < kSchemaVersion) {
            // Two programs may create the journal at the same moment: the schema goes in under
            // the write lock, and the version is read again there.
            if (execute(db_, "BEGIN IMMEDIATE") != SQLITE_OK) return failed("无法建立留痕记录");
            Statement again(db_, "PRAGMA user_version");
            const bool read = again.valid() && again.step() == SQLITE_ROW;
            const std::int64_t now = read ? again.integer(0) : -1;
            again = Statement();
            if (now > kSchemaVersion) {
                execute(db_, "ROLLBACK");
                return Setup::newer;
            }
            const std::string set_version = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
            if (!read || execute(db_, kSchema) != SQLITE_OK ||
                execute(db_, set_version.c_str()) != SQLITE_OK ||
                execute(db_, "COMMIT") != SQLITE_OK) {
                const Setup result = failed("无法建立留痕记录");
                execute(db_, "ROLLBACK");
                return result;
            }
        }
        // A journal of an earlier version has no proxy column yet: it gains it here.
        if (!has_visit_column("proxy") &&
            execute(db_, "ALTER TABLE visits ADD COLUMN proxy TEXT NOT NULL DEFAULT ''") !=
                SQLITE_OK &&
            !has_visit_column("proxy"))
            return failed("无法更新留痕记录");
        insert_visit_ = Statement(db_, kInsertVisit);
        recover_visit_ = Statement(db_, kRecoverVisit);
        if (!insert_visit_.valid() || !recover_visit_.valid()) return failed("无法使用留痕记录");
        if (file_ != ":memory:") checkpointer_ = std::make_unique<WalCheckpointer>(db_, file_);
    }
    find_visit_ = Statement(db_, kFindVisit);
    if (!find_visit_.valid()) return failed("无法使用留痕记录");
    visits_have_proxy_ = has_visit_column("proxy");
    return Setup::ready;
}

bool Journal::has_visit_column(std::string_view name) {
    Statement columns(db_, "SELECT 1 FROM pragma_table_info('visits') WHERE name = ?1");
    if (!columns.valid()) return false;
    columns.bind_text(1, name);
    return columns.step() == SQLITE_ROW;
}

std::optional<std::int64_t> Journal::begin_run(RunSource source, const RunInputs& inputs) {
    LocalText keywords;
    for (const LocalText& keyword : inputs.keywords) {
        keywords += keyword;
        keywords += "\r\n";
    }
    if (execute(db_, "BEGIN IMMEDIATE") != SQLITE_OK) {
        fail("无法写入留痕记录");
        return std::nullopt;
    }
    Statement run(db_,
                  "INSERT INTO runs(started_at, source, state, pid, rounds, interval, keywords)"
                  " VALUES(?1, ?2, 'running', ?3, ?4, ?5, ?6)");
    Statement engine(db_,
                     "INSERT INTO run_engines(run_id, position, enabled, encoding, name, address)"
                     " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    bool ok = run.valid() && engine.valid();
    if (ok) {
        run.bind(1, unix_ms_now());
        run.bind_text(2, run_source_name(source));
        run.bind(3, ::getpid());
        run.bind(4, inputs.rounds);
        run.bind_blob(5, inputs.interval);
        run.bind_blob(6, keywords);
        ok = run.step() == SQLITE_DONE;
    }
    const std::int64_t id = sqlite3_last_insert_rowid(db_);
    for (std::size_t i = 0; ok && i < inputs.engines.size(); ++i) {
        const TraceEngine& e = inputs.engines[i];
        engine.reset();
        engine.bind(1, id);
        engine.bind(2, static_cast<std::int64_t>(i + 1));
        engine.bind(3, e.enabled ? 1 : 0);
        engine.bind(4, e.encoding);
        engine.bind_blob(5, e.name);
        engine.bind_blob(6, e.address);
        ok = engine.step() == SQLITE_DONE;
    }
    if (!ok || execute(db_, "COMMIT") != SQLITE_OK) {
        fail("无法写入留痕记录");
        execute(db_, "ROLLBACK");
        return std::nullopt;
    }
    return id;
}

bool Journal::reopen_run(std::int64_t run) {
    Statement update(db_,
                     "UPDATE runs SET state = 'running', ended_at = NULL, pid = ?2"
                     " WHERE id = ?1");
    if (!update.valid()) return fail("无法写入留痕记录");
    update.bind(1, run);
    update.bind(2, ::getpid());
    return update.step() == SQLITE_DONE || fail("无法写入留痕记录");
}

VisitRow make_visit_row(std::int64_t run, const VisitPosition& position, std::string_view keyword,
                        const TraceEngine& engine, const VisitOutcome& outcome) {
    VisitRow row;
    row.run = run;
    row.round = position.round;
    row.keyword_index = position.keyword;
    row.engine_index = position.engine;
    row.keyword = lossless_to_utf8(keyword);
    if (outcome.error == VisitError::too_long && row.keyword.size() > kKeptAddressBytes) {
        // A keyword too long to visit is kept by its start, as its address is.
        std::size_t cut = kKeptAddressBytes;
        while (cut > 0 && (static_cast<unsigned char>(row.keyword[cut]) & 0xC0) == 0x80) --cut;
        row.keyword.resize(cut);
    }
    row.engine = to_utf8(engine.name);
    row.address_template = to_utf8(engine.address);
    row.encoding = engine.encoding;
    row.address = to_utf8(outcome.address);
    row.status = outcome.status;
    row.final_address = outcome.final_address;
    row.attempts = outcome.attempts;
    row.elapsed_ms = outcome.elapsed_ms;
    row.bytes = static_cast<std::int64_t>(outcome.bytes);
    row.charset = outcome.charset;
    row.title = to_utf8(outcome.title);
    row.echoed = outcome.echoed;
    row.noindex = outcome.noindex;
    row.error = std::string(visit_error_name(outcome.error));
    row.visited_at = unix_ms_now();
    row.proxy = outcome.proxy;
    return row;
}

bool Journal::record_visit(std::int64_t run, const VisitPosition& position,
                           std::string_view keyword, const TraceEngine& engine,
                           const VisitOutcome& outcome) {
    return record_visit_rows({make_visit_row(run, position, keyword, engine, outcome)});
}

bool Journal::record_visit_rows(const std::vector<VisitRow>& rows, bool recovered) {
    Statement& s = recovered ? recover_visit_ : insert_visit_;
    if (!s.valid()) return fail("无法写入留痕记录");
    const bool batch = rows.size() > 1;
    if (batch && execute(db_, "BEGIN IMMEDIATE") != SQLITE_OK) return fail("无法写入留痕记录");
    for (const VisitRow& row : rows) {
        s.bind(1, row.run);
        s.bind(2, row.round);
        s.bind(3, row.keyword_index);
        s.bind(4, row.engine_index);
        s.bind_text(5, row.keyword);
        s.bind_text(6, row.engine);
        s.bind_text(7, row.address_template);
        s.bind(8, row.encoding);
        s.bind_text(9, row.address);
        s.bind(10, row.status);
        s.bind_text(11, row.final_address);
        s.bind(12, row.attempts);
        s.bind(13, row.elapsed_ms);
        s.bind(14, row.bytes);
        s.bind_text(15, row.charset);
        s.bind_text(16, row.title);
        s.bind(17, row.echoed ? 1 : 0);
        s.bind(18, row.noindex ? 1 : 0);
        s.bind_text(19, row.error);
        s.bind(20, row.visited_at);
        s.bind_text(21, row.proxy);
        const int result = s.step();
        s.reset();
        if (result != SQLITE_DONE) {
            fail("无法写入留痕记录");
            if (batch) execute(db_, "ROLLBACK");
            return false;
        }
    }
    if (batch && execute(db_, "COMMIT") != SQLITE_OK) {
        fail("无法写入留痕记录");
        execute(db_, "ROLLBACK");
        return false;
    }
    return true;
}

void Journal::recover_visit_logs() {
    for (const fs::path& log : orphaned_visit_logs(file_)) {
        const std::optional<std::vector<VisitRow>> rows = read_visit_log(log);
        if (rows && (rows->empty() || record_visit_rows(*rows, true))) {
            std::error_code ignored;
            fs::remove(log, ignored);
        }
    }
}

bool Journal::read_in_visit_logs() {
    const std::vector<fs::path> logs = orphaned_visit_logs(file_);
    if (logs.empty()) return true;
    // The logged visits go into a table of this connection's own, in memory, shaped as the
    // journal's; "visits" then names a view of the journal's visits and those the journal does
    // not have yet. Nothing of it reaches the file, and the logs stay for the next writer.
    Statement shape(db_,
                    "SELECT sql FROM main.sqlite_master WHERE type = 'table' AND"
                    " name = 'visits'");
    if (!shape.valid() || shape.step() != SQLITE_ROW) return fail("无法读取留痕记录");
    std::string table(shape.text(0));
    shape = Statement();
    const std::string_view declared = "CREATE TABLE visits";
    if (!table.starts_with(declared)) return fail("无法读取留痕记录");
    table.replace(0, declared.size(), "CREATE TEMP TABLE logged_visits");
    std::string insert = kRecoverVisit;
    insert.replace(insert.find("INTO visits"), 11, "INTO temp.logged_visits");
    if (execute(db_, "PRAGMA temp_store = MEMORY") != SQLITE_OK ||
        execute(db_, table.c_str()) != SQLITE_OK)
        return fail("无法读取留痕记录");
    recover_visit_ = Statement(db_, insert.c_str());
    for (const fs::path& log : logs) {
        const std::optional<std::vector<VisitRow>> rows = read_visit_log(log);
        // One row at a time: a batch's transaction would take the journal's write lock.
        for (const VisitRow& row : rows ? *rows : std::vector<VisitRow>())
            if (!record_visit_rows({row}, true)) return false;
    }
    recover_visit_ = Statement();
    if (execute(db_,
                "CREATE TEMP VIEW visits AS SELECT * FROM main.visits UNION ALL"
                " SELECT * FROM temp.logged_visits l WHERE NOT EXISTS (SELECT 1 FROM"
                " main.visits m WHERE m.run_id = l.run_id AND m.round = l.round AND"
                " m.keyword_index = l.keyword_index AND m.engine_index = l.engine_index)") !=
        SQLITE_OK)
        return fail("无法读取留痕记录");
    find_visit_ = Statement(db_, kFindVisit);
    return find_visit_.valid() || fail("无法读取留痕记录");
}

bool Journal::end_run(std::int64_t run, RunState state) {
    Statement update(db_, "UPDATE runs SET state = ?2, ended_at = ?3 WHERE id = ?1");
    if (!update.valid()) return fail("无法写入留痕记录");
    update.bind(1, run);
    update.bind_text(2, run_state_name(state));
    update.bind(3, unix_ms_now());
    return update.step() == SQLITE_DONE || fail("无法写入留痕记录");
}

std::optional<std::vector<RunSummary>> Journal::runs() {
    Statement query(db_,
                    "SELECT r.id, r.started_at, r.source, r.state,"
                    " (SELECT COUNT(*) FROM visits v WHERE v.run_id = r.id),"
                    " (SELECT COUNT(*) FROM visits v WHERE v.run_id = r.id AND v.echoed), r.pid"
                    " FROM runs r ORDER BY r.id");
    if (!query.valid()) {
        fail("无法读取留痕记录");
        return std::nullopt;
    }
    std::vector<RunSummary> out;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        std::string state(query.text(3));
        // A run still marked running whose process is gone was killed: it can be resumed.
        const std::int64_t pid = query.integer(6);
        if (state == "running" && pid != static_cast<std::int64_t>(::getpid()) &&
            !process_exists(pid))
            state = "interrupted";
        out.push_back(RunSummary{query.integer(0), query.integer(1), std::string(query.text(2)),
                                 std::move(state), query.integer(4), query.integer(5)});
    }
    if (result != SQLITE_DONE) {
        fail("无法读取留痕记录");
        return std::nullopt;
    }
    return out;
}

std::optional<std::int64_t> Journal::latest_run() {
    Statement query(db_, "SELECT MAX(id) FROM runs");
    if (!query.valid() || query.step() != SQLITE_ROW || query.is_null(0)) return std::nullopt;
    return query.integer(0);
}

std::optional<std::int64_t> Journal::latest_unfinished_run() {
    Statement query(db_,
                    "SELECT id, state, pid FROM runs WHERE state <> 'finished'"
                    " ORDER BY id DESC");
    if (!query.valid()) return std::nullopt;
    while (query.step() == SQLITE_ROW) {
        if (query.text(1) == "running" && process_alive(query.integer(2))) continue;
        return query.integer(0);
    }
    return std::nullopt;
}

std::optional<RunInputs> Journal::run_inputs(std::int64_t run) {
    Statement query(db_, "SELECT rounds, interval, keywords FROM runs WHERE id = ?1");
    if (!query.valid()) return std::nullopt;
    query.bind(1, run);
    if (query.step() != SQLITE_ROW) return std::nullopt;
    RunInputs inputs;
    inputs.rounds = static_cast<int>(query.integer(0));
    inputs.interval = LocalText(query.blob(1));
    inputs.keywords = split_text(query.blob(2), "\r\n");
    Statement engines(db_,
                      "SELECT enabled, encoding, name, address FROM run_engines"
                      " WHERE run_id = ?1 ORDER BY position");
    if (!engines.valid()) return std::nullopt;
    engines.bind(1, run);
    while (engines.step() == SQLITE_ROW) {
        inputs.engines.push_back(
            TraceEngine{engines.integer(0) != 0, static_cast<std::int32_t>(engines.integer(1)),
                        LocalText(engines.blob(2)), LocalText(engines.blob(3))});
    }
    return inputs;
}

bool Journal::visit_recorded(std::int64_t run, const VisitPosition& position) {
    Statement& s = find_visit_;
    s.bind(1, run);
    s.bind(2, position.round);
    s.bind(3, position.keyword);
    s.bind(4, position.engine);
    const bool found = s.step() == SQLITE_ROW;
    s.reset();
    return found;
}

}  // namespace trasslo
