#include "journal/visit_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <limits>
#include <optional>
#include <system_error>

#include "base/process_exists.h"
#include "files/whole_file.h"

namespace trasslo {
namespace {

namespace fs = std::filesystem;

// "<journal file name>-visits-"; the process id and ".log" follow.
std::string log_prefix(const fs::path& journal_file) {
    return journal_file.filename().string() + "-visits-";
}

// The process id in a log's name; nothing for a name that is not one of ours (no digits, or a
// number no process can have), which is left alone.
std::optional<std::int64_t> log_process_id(std::string_view digits) {
    std::int64_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

// A line is "v1" and the row's 20 columns, separated by tabs; in texts a backslash, tab, line
// feed and carriage return are written \\, \t, \n, \r.
void add_text(std::string& line, std::string_view text) {
    line += '\t';
    for (char c : text) {
        switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += c;
        }
    }
}

void add_number(std::string& line, std::int64_t number) {
    line += '\t';
    line += std::to_string(number);
}

}  // namespace

std::string visit_log_line(const VisitRow& row) {
    std::string line = "v1";
    line.reserve(512);
    add_number(line, row.run);
    add_number(line, row.round);
    add_number(line, row.keyword_index);
    add_number(line, row.engine_index);
    add_text(line, row.keyword);
    add_text(line, row.engine);
    add_text(line, row.address_template);
    add_number(line, row.encoding);
    add_text(line, row.address);
    add_number(line, row.status);
    add_text(line, row.final_address);
    add_number(line, row.attempts);
    add_number(line, row.elapsed_ms);
    add_number(line, row.bytes);
    add_text(line, row.charset);
    add_text(line, row.title);
    add_number(line, row.echoed ? 1 : 0);
    add_number(line, row.noindex ? 1 : 0);
    add_text(line, row.error);
    add_number(line, row.visited_at);
    add_text(line, row.proxy);
    line += '\n';
    return line;
}

std::optional<VisitRow> read_visit_log_line(std::string_view line) {
    if (line.ends_with('\n')) line.remove_suffix(1);
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            fields.back() += c;
        }
    }
    // A log of an earlier version has no proxy field.
    if ((fields.size() != 21 && fields.size() != 22) || fields[0] != "v1") return std::nullopt;
    bool numbers = true;
    // A number that does not fit its column is a damaged line, as a cut one is: cast down, it
    // could land on another visit's key.
    const auto number = [&](int field) {
        std::int64_t value = 0;
        const std::string& text = fields[static_cast<std::size_t>(field)];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || text.empty())
            numbers = false;
        return value;
    };
    const auto small = [&](int field) {
        const std::int64_t value = number(field);
        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            numbers = false;
        return static_cast<int>(value);
    };
    VisitRow row;
    row.run = number(1);
    row.round = small(2);
    row.keyword_index = small(3);
    row.engine_index = small(4);
    row.keyword = fields[5];
    row.engine = fields[6];
    row.address_template = fields[7];
    row.encoding = small(8);
    row.address = fields[9];
    row.status = static_cast<long>(number(10));
    row.final_address = fields[11];
    row.attempts = small(12);
    row.elapsed_ms = number(13);
    row.bytes = number(14);
    row.charset = fields[15];
    row.title = fields[16];
    row.echoed = number(17) != 0;
    row.noindex = number(18) != 0;
    row.error = fields[19];
    row.visited_at = number(20);
    if (fields.size() == 22) row.proxy = fields[21];
    if (!numbers) return std::nullopt;
    return row;
}

std::unique_ptr<VisitLog> VisitLog::create(const fs::path& journal_file,
                                           std::vector<VisitRow>& left_over) {
    const fs::path path = journal_file.parent_path() /
                          (log_prefix(journal_file) + std::to_string(::getpid()) + ".log");
    if (auto rows = read_visit_log(path)) left_over = std::move(*rows);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::unique_ptr<VisitLog> log(new VisitLog(fd, path));
    log->empty_ = ::lseek(fd, 0, SEEK_END) == 0;
    return log;
}

VisitLog::~VisitLog() {
    ::close(fd_);
    if (empty_) {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
}

bool VisitLog::append(const VisitRow& row) {
    const std::string line = visit_log_line(row);
    // One write: a line is in the file whole, or (cut by a kill) is no visit at all.
    const ssize_t written = ::write(fd_, line.data(), line.size());
    if (written > 0) empty_ = false;
    return written == static_cast<ssize_t>(line.size());
}

bool VisitLog::clear() {
    if (::ftruncate(fd_, 0) != 0) return false;
    empty_ = true;
    return true;
}

std::vector<fs::path> orphaned_visit_logs(const fs::path& journal_file) {
    std::vector<fs::path> logs;
    const std::string prefix = log_prefix(journal_file);
    std::error_code error;
    const fs::path folder = journal_file.has_parent_path() ? journal_file.parent_path() : ".";
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(prefix) || !name.ends_with(".log")) continue;
        const auto pid = log_process_id(
            std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - 4));
        if (pid && *pid <= std::numeric_limits<pid_t>::max() && !process_exists(*pid))
            logs.push_back(it->path());
    }
    return logs;
}

std::optional<std::vector<VisitRow>> read_visit_log(const fs::path& log) {
    std::string text;
    if (!read_whole_file(log, text)) return std::nullopt;
    std::vector<VisitRow> rows;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // cut short by the kill: the visit in flight
        if (auto row = read_visit_log_line(std::string_view(text).substr(start, end - start)))
            rows.push_back(std::move(*row));
        start = end + 1;
    }
    return rows;
}

}  // namespace trasslo
