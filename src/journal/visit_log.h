// The log of a run's visits not yet moved into the journal: a small file beside it,
// "<journal>-visits-<pid>.log", one line per visit appended with a single write as the
// visit ends. A commit to the journal costs the run far more than the visit it records on a
// fast site; the recorder moves the logged visits in by the batch and then empties the log. A
// killed process leaves its log behind, and the next program to open the journal for writing
// moves what it holds in; a line cut short by the kill is the visit in flight and is dropped.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal.h"

namespace trasslo {

// A visit as one line of the log, with its line end; and back (nothing for a line that is not
// a whole visit).
std::string visit_log_line(const VisitRow& row);
std::optional<VisitRow> read_visit_log_line(std::string_view line);

class VisitLog {
  public:
    // Creates this process's log beside `journal_file`; nothing when the folder takes no file.
    // A log of this process id left by a process that is gone (its id used again) is taken
    // over: its visits come back in `left_over`, to be moved into the journal before the log
    // is emptied.
    static std::unique_ptr<VisitLog> create(const std::filesystem::path& journal_file,
                                            std::vector<VisitRow>& left_over);
    // Closes the log and removes it, unless it still holds visits (then a later program moves
    // them in).
    ~VisitLog();
    VisitLog(const VisitLog&) = delete;
    VisitLog& operator=(const VisitLog&) = delete;

    // Appends the visit; false when the write failed.
    bool append(const VisitRow& row);
    // Empties the log once its visits are in the journal.
    bool clear();
    const std::filesystem::path& path() const { return path_; }

  private:
    VisitLog(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::filesystem::path path_;
    bool empty_ = true;
};

// The logs beside `journal_file` whose process is gone.
std::vector<std::filesystem::path> orphaned_visit_logs(const std::filesystem::path& journal_file);

// The whole visits of a log, in order; nothing when it cannot be read.
std::optional<std::vector<VisitRow>> read_visit_log(const std::filesystem::path& log);

}  // namespace trasslo
