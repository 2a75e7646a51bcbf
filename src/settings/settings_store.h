// The settings store: keeps the state of a window's controls in the settings file, a restricted
// INI text of local text with CR LF lines, and puts it back the next time the window opens.
//
// Format, all comparisons byte for byte:
//   - a section header is "[" name "]" at the very start of the file or directly after CR LF;
//   - a key line is CR LF key "=" value; the value runs to the next CR LF or the end;
//   - only the first header of a name counts, and a key belongs to it only when no other header
//     line ("[" ... "]" alone on its line) lies in between;
//   - a value never holds CR LF: it is stored as "┊*┊" and turned back on reading;
//   - numbers are printed "%.13g", truth values are "真" / "假";
//   - a new key becomes the first key of its section, so first writes stand in reverse order.
// Byte values go to their own files: <settings folder>/inibin/<section>-<key>.ibn.
//
// The file is held open, under an exclusive advisory lock, from `open` to `close`; each write
// replaces it by a whole new file (written beside it and renamed over it, the lock taken on it
// first), so after a completed write it equals the loaded contents byte for byte and a
// crash at any moment leaves the old or the new file whole. Where the folder takes no new file
// the file is changed in place instead.
// A store that cannot take the lock (a second running copy) answers reads from what it loaded
// and keeps writes in memory only.
//
// Writes pump the window's events as they go; a write asked for while another runs is queued,
// returns false at once, and is performed in order by the running one.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string_view>
#include <vector>

#include "settings/control_walk.h"
#include "text/local_text.h"

namespace trasslo {

class SettingsStore {
  public:
    SettingsStore() = default;
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Closes any open file, loads `path` whole (a missing or unreadable file gives empty
    // contents) and holds it open for reading and writing, creating it when missing, never
    // truncating it. Returns whether the file is now held for writing.
    bool open(const std::filesystem::path& path);
    // Releases the file and empties the contents.
    void close();
    // True while the file is held for writing.
    bool is_writable() const { return fd_ >= 0; }
    // Makes the file readable and writable by its owner only (mode 0600), before it holds a
    // secret; later replacements keep the mode. False without a writable file.
    bool restrict_to_owner();

    // Makes `name` (local text) the section that key operations use.
    void set_section(std::string_view name);
    const LocalText& section() const { return section_; }

    // True when the value is in the contents and on disk; false when the file is not held,
    // the disk refused it, or the request was queued behind a running write.
    bool write_text(std::string_view key, std::string_view value);
    bool write_number(std::string_view key, double number);
    bool write_bool(std::string_view key, bool flag);

    // The stored value, or `fallback` when the section or key is missing or the value empty.
    LocalText read_text(std::string_view key, std::string_view fallback = {}) const;
    // The leading number of the stored text; a text that is no number reads as 0.
    double read_number(std::string_view key, double fallback = 0) const;
    // True exactly when the stored text is "真".
    bool read_bool(std::string_view key, bool fallback = false) const;

    // Replaces the binary value file of (current section, key) atomically: a failed write
    // leaves the previous file whole. False when the file cannot be written or the settings
    // file is not held.
    bool write_bytes(std::string_view key, const ByteBuffer& bytes);
    // The binary value file's bytes, or `fallback` when it is missing or empty.
    ByteBuffer read_bytes(std::string_view key, const ByteBuffer& fallback = {}) const;
    // Where the binary value of (section, key) lives; empty when the names cannot form a
    // file name (a "/" or a zero byte in them, or no settings file).
    std::filesystem::path bytes_file_path(std::string_view section, std::string_view key) const;

    // Saves or restores every named control of `window` under `section` (the current section
    // when empty). `excluded` names controls to skip; the two flags keep a combo box's item
    // list and edit text as well.
    void save_controls(ControlWalk& window, std::string_view section,
                       const std::vector<LocalText>& excluded = {}, bool keep_combo_lists = false,
                       bool keep_combo_texts = false);
    void restore_controls(ControlWalk& window, std::string_view section,
                          const std::vector<LocalText>& excluded = {},
                          bool keep_combo_lists = false, bool keep_combo_texts = false);

    // The whole settings file as loaded and changed since.
    const std::string& contents() const { return contents_; }
    const std::filesystem::path& path() const { return path_; }

  private:
    struct WriteRequest {
        LocalText section;
        LocalText key;
        LocalText value;
    };

    bool enqueue_write(LocalText key, LocalText value);
    bool perform_write(const WriteRequest& request);
    // Replaces `erase` bytes at `offset` with `insert`, in the contents and in the file.
    bool change_contents(std::size_t offset, std::size_t erase, std::string_view insert);
    bool sync_file_from(std::size_t offset);
    // Writes the whole contents to a new file beside the held one and renames it over it,
    // holding the new file (and its lock) from then on.
    enum class Replacement { done, failed, no_new_file };
    Replacement replace_held_file();

    std::filesystem::path path_;
    std::string contents_;
    int fd_ = -1;
    // The first offset at which the file may differ from the contents after a failed write.
    std::size_t unsynced_from_ = static_cast<std::size_t>(-1);
    LocalText section_;
    std::deque<WriteRequest> pending_;
    bool busy_ = false;
};

// The one store of the process, created empty on first use; the window program and the
// command-line front end share it.
SettingsStore& settings_store();

// The settings file of the program folder `folder`: "Tandel·Trasslo.ini" inside it.
std::filesystem::path settings_file_path(const std::filesystem::path& folder);

}  // namespace trasslo
