// The settings store: the INI reading and writing rules, the write queue and the held file.
#include "settings/settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/event_pump.h"
#include "base/message_box.h"
#include "files/atomic_file.h"
#include "files/whole_file.h"
#include "text/c_number.h"

namespace trasslo {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::size_t kNone = std::string_view::npos;

// "┊*┊" in GBK, the stand-in for a line break inside a value.
const std::string& escaped_line_break() {
    static const std::string text = local("┊*┊");
    return text;
}

// Byte-wise replacement, so that no CR LF survives in a stored value whatever bytes
// surround it (a stray lead byte before CR must not hide the line break).
std::string replace_bytes(std::string_view text, std::string_view find, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(find); at != kNone; at = text.find(find, from)) {
        out.append(text.substr(from, at - from));
        out.append(with);
        from = at + find.size();
    }
    out.append(text.substr(from));
    return out;
}

std::string escape_value(std::string_view value) {
    return replace_bytes(value, kLineBreak, escaped_line_break());
}

std::string unescape_value(std::string_view value) {
    return replace_bytes(value, escaped_line_break(), kLineBreak);
}

bool at_line_start(std::string_view contents, std::size_t pos) {
    return pos == 0 || (pos >= 2 && contents[pos - 2] == '\r' && contents[pos - 1] == '\n');
}

// True when a header line ("[" ... "]" alone on a line) lies in [from, until): `from` is just
// behind a section header's "]", `until` the CR of the key line found after it.
bool header_line_between(std::string_view contents, std::size_t from, std::size_t until) {
    std::size_t line = contents.find(kLineBreak, from);
    while (line != kNone && line < until) {
        const std::size_t start = line + 2;
        const std::size_t end = contents.find(kLineBreak, start);
        if (end == kNone || end > until) return false;
        if (end > start && contents[start] == '[' && contents[end - 1] == ']') return true;
        line = end;
    }
    return false;
}

// Finds the first header of `section` that stands at a line start, searching from `from`.
// Returns the offset just behind its "]", or kNone.
std::size_t find_section(std::string_view contents, std::string_view header, std::size_t from) {
    for (std::size_t at = contents.find(header, from); at != kNone;
         at = contents.find(header, at + 1)) {
        if (at_line_start(contents, at)) return at + header.size();
    }
    return kNone;
}

// Finds the key line of `key` belonging to the section whose header ends at `section_end`.
// Returns the offset of its value, or kNone.
std::size_t find_key(std::string_view contents, std::size_t section_end, std::string_view key) {
    std::string needle;
    needle.reserve(key.size() + 3);
    needle.append(kLineBreak).append(key).push_back('=');
    // The search starts at the header's "]"; a "]" can never begin the needle.
    const std::size_t at = contents.find(needle, section_end - 1);
    if (at == kNone || header_line_between(contents, section_end, at)) return kNone;
    return at + needle.size();
}

std::size_t value_end(std::string_view contents, std::size_t value_start) {
    const std::size_t end = contents.find(kLineBreak, value_start);
    return end == kNone ? contents.size() : end;
}

// Section and key names that would break the line structure are refused.
bool usable_name(std::string_view name) {
    return name.find('\r') == kNone && name.find('\n') == kNone;
}

std::string format_number(double number) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

bool write_all_at(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

SettingsStore::~SettingsStore() {
    close();
}

bool SettingsStore::open(const std::filesystem::path& path) {
    close();
    path_ = path;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && read_whole_fd(fd, contents_)) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
    // Not ours to write: answer reads from whatever can be read.
    read_whole_file(path, contents_);
    return false;
}

void SettingsStore::close() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock with the file
        fd_ = -1;
    }
    contents_.clear();
    unsynced_from_ = kNone;
}

bool SettingsStore::restrict_to_owner() {
    return fd_ >= 0 && ::fchmod(fd_, S_IRUSR | S_IWUSR) == 0;
}

void SettingsStore::set_section(std::string_view name) {
    section_ = LocalText(name);
}

SettingsStore::Replacement SettingsStore::replace_held_file() {
    const std::filesystem::path folder =
        path_.has_parent_path() ? path_.parent_path() : std::filesystem::path(".");
    std::string temp = (folder / ("." + path_.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Replacement::no_new_file;
    // The new file is locked before it takes the name, so a second copy never finds the
    // settings file unlocked between the two. No flush to disk: every control's value is one
    // write, and a sync for each would make saving a window slow; the rename alone already
    // keeps a killed process from leaving a mixture, and the file systems in use order a
    // rename over an old file after the new file's data.
    struct stat held {};
    const bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd_, &held) == 0 &&
                    ::fchmod(fd, held.st_mode & 07777) == 0 &&
                    write_all_at(fd, contents_.data(), contents_.size(), 0) &&
                    ::rename(temp.c_str(), path_.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        ::close(fd);
        return Replacement::failed;
    }
    ::close(fd_);  // the old file, now nameless, and its lock
    fd_ = fd;
    return Replacement::done;
}

bool SettingsStore::sync_file_from(std::size_t offset) {
    if (fd_ < 0) return false;
    if (unsynced_from_ < offset) offset = unsynced_from_;
    if (offset > contents_.size()) offset = contents_.size();
    // Changing the file in place can be cut between its steps (a write then a truncation, or a
    // long write between two pages), leaving a mixture of old and new; a whole new file renamed
    // over it cannot. In place only where the folder takes no new file.
    switch (replace_held_file()) {
        case Replacement::done:
            unsynced_from_ = kNone;
            return true;
        case Replacement::failed:
            unsynced_from_ = offset;
            return false;
        case Replacement::no_new_file:
            break;
    }
    const bool ok = write_all_at(fd_, contents_.data() + offset, contents_.size() - offset,
                                 static_cast<off_t>(offset)) &&
                    ::ftruncate(fd_, static_cast<off_t>(contents_.size())) == 0;
    unsynced_from_ = ok ? kNone : offset;
    return ok;
}

bool SettingsStore::change_contents(std::size_t offset, std::size_t erase,
                                    std::string_view insert) {
    contents_.replace(offset, erase, insert);
    return sync_file_from(offset);
}

bool SettingsStore::enqueue_write(LocalText key, LocalText value) {
    pending_.push_back(WriteRequest{section_, std::move(key), std::move(value)});
    if (busy_) return false;
    busy_ = true;
    bool first = true;
    bool result = false;
    while (!pending_.empty()) {
        const WriteRequest request = pending_.front();
        const bool ok = perform_write(request);
        pending_.pop_front();
        if (first) result = ok;
        first = false;
    }
    busy_ = false;
    return result;
}

bool SettingsStore::perform_write(const WriteRequest& request) {
    if (!usable_name(request.section) || !usable_name(request.key)) return false;
    const std::string value = escape_value(request.value);
    const std::string header = "[" + request.section + "]";
    std::size_t search_from = 0;
    int appends = 0;
    for (;;) {
        process_pending_events();
        // A pumped handler may have closed or reopened the store under us.
        if (search_from > contents_.size()) search_from = contents_.size();
        std::size_t at = contents_.find(header, search_from);
        if (at != kNone && !at_line_start(contents_, at)) {
            search_from = at + 1;
            continue;
        }
        if (at == kNone) {
            const std::size_t old_end = contents_.size();
            change_contents(old_end, 0,
                            contents_.empty() ? header : std::string(kLineBreak) + header);
            search_from = old_end;
            if (++appends == 11) {
                show_message({local("配置模块出现意外，可能导致无法正常保存！详情请咨询Tandel。"),
                              local("Tandel："), MessageButtons::ok, MessageIcon::warning});
                show_message(
                    {LocalText(until_zero(contents_)), {}, MessageButtons::ok, MessageIcon::none});
                return false;
            }
            continue;
        }
        const std::size_t section_end = at + header.size();
        const std::size_t value_start = find_key(contents_, section_end, request.key);
        if (value_start == kNone) {
            std::string key_line(kLineBreak);
            key_line.append(request.key).push_back('=');
            change_contents(section_end, 0, key_line);
            continue;
        }
        const std::size_t end = value_end(contents_, value_start);
        return change_contents(value_start, end - value_start, value);
    }
}

bool SettingsStore::write_text(std::string_view key, std::string_view value) {
    return enqueue_write(LocalText(key), LocalText(value));
}

bool SettingsStore::write_number(std::string_view key, double number) {
    return enqueue_write(LocalText(key), format_number(number));
}

bool SettingsStore::write_bool(std::string_view key, bool flag) {
    return enqueue_write(LocalText(key), flag ? true_word() : false_word());
}

LocalText SettingsStore::read_text(std::string_view key, std::string_view fallback) const {
    const std::string escaped_fallback = escape_value(fallback);
    std::string_view result = escaped_fallback;
    if (usable_name(section_) && usable_name(key)) {
        const std::string header = "[" + section_ + "]";
        const std::size_t section_end = find_section(contents_, header, 0);
        if (section_end != kNone) {
            const std::size_t value_start = find_key(contents_, section_end, key);
            if (value_start != kNone) {
                const std::size_t end = value_end(contents_, value_start);
                if (end > value_start)
                    result = std::string_view(contents_).substr(value_start, end - value_start);
            }
        }
    }
    return unescape_value(result);
}

double SettingsStore::read_number(std::string_view key, double fallback) const {
    // A number beyond what a double holds is no number the store could have written: 0.
    const double number = read_c_float(read_text(key, format_number(fallback)));
    return std::isfinite(number) ? number : 0;
}

bool SettingsStore::read_bool(std::string_view key, bool fallback) const {
    return read_text(key, fallback ? true_word() : false_word()) == true_word();
}

std::filesystem::path SettingsStore::bytes_file_path(std::string_view section,
                                                     std::string_view key) const {
    if (path_.empty()) return {};
    const std::string name = to_utf8(LocalText(section) + "-" + LocalText(key) + ".ibn");
    if (name.find('/') != kNone || name.find('\0') != kNone) return {};
    return path_.parent_path() / "inibin" / name;
}

bool SettingsStore::write_bytes(std::string_view key, const ByteBuffer& bytes) {
    if (fd_ < 0) return false;  // a copy that does not hold the settings writes nothing
    const std::filesystem::path target = bytes_file_path(section_, key);
    if (target.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    if (error && !std::filesystem::is_directory(target.parent_path())) return false;

    // Written beside the old file, then swapped in: an interrupted write leaves the old one.
    // Its disk sync runs beside the window's events; a handler among them that writes settings
    // of its own leaves this store's section as it found it.
    const LocalText section = section_;
    bool written = false;
    run_beside([&] { written = replace_file_atomically(target, bytes_view(bytes)); });
    section_ = section;
    return written;
}

ByteBuffer SettingsStore::read_bytes(std::string_view key, const ByteBuffer& fallback) const {
    const std::filesystem::path file = bytes_file_path(section_, key);
    std::string data;
    if (file.empty() || !read_whole_file(file, data) || data.empty()) return fallback;
    return text_to_bytes(data);
}

SettingsStore& settings_store() {
    static SettingsStore store;
    return store;
}

std::filesystem::path settings_file_path(const std::filesystem::path& folder) {
    return folder / "Tandel·Trasslo.ini";
}

}  // namespace trasslo
