// Checking a list of engines, one after the other, and what a check's results change in the
// engine list. The runner works on the caller's copy of the engines, so it may run on a worker
// thread while the list it came from changes: it touches nothing but its arguments, the network
// and the journal handle it is given (which must be that thread's own). The request layer pumps
// window events only on the thread that installed the pump, so a worker never does.
//
//   std::atomic<bool> stop{false};           // set from any thread: the check ends within a second
//   const CheckTotals totals = check_engines(snapshot, keyword, stop,
//       [&](std::size_t i, const EngineCheck& check) { /* show it; apply_checks later */ },
//       journal.get(), [](const std::string& why) { /* the journal is not kept */ });
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "check/engine_check.h"
#include "engines/trace_engine.h"
#include "journal/journal.h"

namespace trasslo {

// The positions of the engines a check takes: the ticked ones, or with `all` every one.
std::vector<std::size_t> engines_to_check(const std::vector<TraceEngine>& engines, bool all);

struct CheckTotals {
    std::size_t valid = 0;    // checked engines whose verdict is ok
    std::size_t invalid = 0;  // checked engines with any other verdict
    bool stopped = false;     // `stop` ended the check before the last engine
};

// The last line of a check: "检测完成：N 个有效，M 个无效", or after a stop
// "检测已停止：检测了 K 个引擎，N 个有效，M 个无效".
LocalText check_done_text(const CheckTotals& totals);

// Hears each engine as its check ends: its position in `engines` and the result. Called on the
// runner's thread, never for a check given up on a stop.
using EngineChecked = std::function<void(std::size_t index, const EngineCheck& check)>;
// Hears once (UTF-8) why the journal is not being kept.
using CheckNotice = std::function<void(const std::string& text)>;

// Checks `engines` in order with `keyword` (local text) on the calling thread, with one
// robots.txt request per site for the whole list. Each check is written to `journal` when one
// is given; a journal that refuses a write is given up, said once through `notice`, and the
// check goes on. Once `stop` is set the request in flight is given up and nothing more is
// checked. No request takes longer than `timeout_ms`.
CheckTotals check_engines(const std::vector<TraceEngine>& engines, std::string_view keyword,
                          const std::atomic<bool>& stop, const EngineChecked& checked,
                          Journal* journal = nullptr, const CheckNotice& notice = {},
                          long timeout_ms = kCheckTimeoutMs, ProxyPool* proxies = nullptr);

// Counts a check that ended in `totals` and writes it to `journal` when there is one; a journal
// that refuses the write is given up (set to null) and said once through `notice`. What every
// way of checking a list does with each check.
void tally_check(const EngineCheck& check, CheckTotals& totals, Journal*& journal,
                 const CheckNotice& notice);

// What a check changes in an engine list: with `untick`, every engine of `list` that was checked
// (the same name, address and encoding as a checked one) and whose verdict is not ok is
// unticked; with `fix_encoding`, an encoding-mismatch engine takes the suggested encoding. Nothing
// else changes and nothing is removed; an engine whose encoding was fixed stays ticked; engines
// added or deleted since the check are simply found or not. Returns how many engines changed.
std::size_t apply_checks(std::vector<TraceEngine>& list, const std::vector<EngineCheck>& checks,
                         bool untick, bool fix_encoding);

// The journal a check is kept in, opened for writing on the calling thread (a connection serves
// one thread); nothing, said once through `notice`, when it cannot be used. A corrupt file is
// set aside and a new journal started, which `notice` says too.
std::unique_ptr<Journal> open_check_journal(const std::filesystem::path& file,
                                            const CheckNotice& notice);

// The keyword a check uses when none is given: "测试" and six random digits (local text), a
// word no page holds by chance, whose Chinese characters make the encoding matter.
LocalText default_check_keyword();

}  // namespace trasslo
