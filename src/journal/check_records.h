// Engine checks in the journal: every check with its time, and the latest check of each engine
// address, which the window reads after a restart to show each engine's last verdict.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "journal/journal.h"

namespace trasslo {

// One engine's check as the journal keeps it. Texts are UTF-8; `address` is the engine's
// address template, which is what the latest check is looked up by.
struct CheckRecord {
    std::int64_t checked_ms = 0;  // Unix time in milliseconds
    std::string engine;
    std::string address;
    std::string keyword;
    std::string verdict;  // "ok", "not-echoed", ... (check/engine_check.h)
    long status = 0;
    std::string final_address;
    std::string charset;
    bool echoed = false;
    bool noindex = false;
    std::string robots;              // "allow", "disallow", "none", or empty when not asked
    std::string suggested_encoding;  // "gbk" or "utf-8" for encoding-mismatch, else empty
    std::int64_t elapsed_ms = 0;
    std::string title;
};

// Adds `record`; false, with `error` set (UTF-8, naming the file), when SQLite refused.
bool record_check(Journal& journal, const CheckRecord& record, std::string& error);

// The latest check of every address checked, by address; nothing, with `error` set, when the
// journal could not be read.
std::optional<std::map<std::string, CheckRecord>> latest_checks(Journal& journal,
                                                                std::string& error);

}  // namespace trasslo
