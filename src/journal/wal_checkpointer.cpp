#include "journal/wal_checkpointer.h"

namespace trasslo {
namespace {

// SQLite's own threshold for a checkpoint, in pages of the log.
constexpr int kCheckpointPages = 1000;
// The log's size at which it is started again, holding the writer for a moment.
constexpr int kRestartPages = 4 * kCheckpointPages;
// The log's size at which the writer checkpoints it itself: the thread had no processor time for
// it (a busy machine), and the log must not grow without bound meanwhile.
constexpr int kWriterRestartPages = 6 * kCheckpointPages;
// How long a restarting checkpoint waits for the writer's transaction to end (one visit's).
constexpr int kWaitForWriterMs = 1000;

}  // namespace

WalCheckpointer::WalCheckpointer(sqlite3* writer, std::filesystem::path file)
    : file_(std::move(file)) {
    sqlite3_wal_autocheckpoint(writer, 0);
    sqlite3_wal_hook(writer, &WalCheckpointer::on_commit, this);
    thread_ = std::thread([this] { work(); });
}

WalCheckpointer::~WalCheckpointer() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

int WalCheckpointer::on_commit(void* self, sqlite3* db, const char*, int pages) {
    // The log starts again from its beginning once a checkpoint has copied all of it; until
    // then it only grows, and one request per thousand pages is enough.
    auto* checkpointer = static_cast<WalCheckpointer*>(self);
    if (pages >= kWriterRestartPages) {
        // After the thread's own checkpoint, if one is under way: two at once, one gives up.
        const std::lock_guard<std::mutex> lock(checkpointer->checkpointing_);
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
        checkpointer->asked_at_pages_ = 0;
        return SQLITE_OK;
    }
    int& asked_at = checkpointer->asked_at_pages_;
    if (pages < asked_at) asked_at = 0;
    if (pages < asked_at + kCheckpointPages) return SQLITE_OK;
    asked_at = pages;
    {
        const std::lock_guard<std::mutex> lock(checkpointer->mutex_);
        checkpointer->due_ = true;
    }
    checkpointer->wake_.notify_one();
    return SQLITE_OK;
}

void WalCheckpointer::work() {
    sqlite3* db = nullptr;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return due_ || ending_; });
            if (ending_) break;
            due_ = false;
        }
        if (!db) {
            if (sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
                sqlite3_close_v2(db);
                db = nullptr;
                continue;
            }
            sqlite3_busy_timeout(db, kWaitForWriterMs);
            // A connection finds the log at its first read; until then it checkpoints nothing.
            sqlite3_exec(db, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        }
        // A passive checkpoint copies the log without holding the writer up. The log then only
        // starts again from its beginning when a checkpoint has copied all of it, which under
        // a steady writer never happens by itself: now and then a restarting checkpoint copies
        // the few pages left and holds the writer (it waits in its busy handler, pumping
        // events) while the database file is synced.
        const std::lock_guard<std::mutex> checkpointing(checkpointing_);
        int log_pages = 0;
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &log_pages, nullptr);
        if (log_pages >= kRestartPages)
            sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
    }
    sqlite3_close_v2(db);
}

}  // namespace trasslo
