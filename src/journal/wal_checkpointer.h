// Checkpoints of a journal's write-ahead log, made on a thread of their own. SQLite would make
// them inside the commit that fills the log, on the writer's thread, and a checkpoint syncs the
// database file to disk: a stall of the visit (and of the window) every thousand visits. Here
// the writer only asks, and a passive checkpoint runs beside it, never blocking its commits.
#pragma once

#include <sqlite3.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace trasslo {

class WalCheckpointer {
  public:
    // Takes over the checkpoints of `writer`, a connection to `file` in WAL mode.
    WalCheckpointer(sqlite3* writer, std::filesystem::path file);
    // Ends the thread; a checkpoint under way is finished first.
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

  private:
    static int on_commit(void* self, sqlite3* db, const char* name, int pages);
    void work();

    std::filesystem::path file_;
    std::mutex mutex_;
    std::mutex checkpointing_;  // held by whichever thread checkpoints
    std::condition_variable wake_;
    bool due_ = false;
    bool ending_ = false;
    int asked_at_pages_ = 0;  // the log's size at the last request; the writer's thread only
    std::thread thread_;
};

}  // namespace trasslo
