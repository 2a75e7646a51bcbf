#include "check/check_run.h"

#include <optional>
#include <random>
#include <string_view>
#include <unordered_map>

#include "journal/check_records.h"
#include "net/abandon_scope.h"

namespace trasslo {

std::vector<std::size_t> engines_to_check(const std::vector<TraceEngine>& engines, bool all) {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < engines.size(); ++i)
        if (all || engines[i].enabled) positions.push_back(i);
    return positions;
}

CheckTotals check_engines(const std::vector<TraceEngine>& engines, std::string_view keyword,
                          const std::atomic<bool>& stop, const EngineChecked& checked,
                          Journal* journal, const CheckNotice& notice, long timeout_ms,
                          ProxyPool* proxies) {
    // Every request below, robots.txt included, is given up at its next poll once `stop` is set.
    const AbandonScope abandon(stop);
    SiteRobots robots;
    CheckTotals totals;
    std::size_t done = 0;
    for (std::size_t i = 0; i < engines.size(); ++i, ++done) {
        if (stop.load()) break;
        const EngineCheck check = check_engine(engines[i], keyword, robots, timeout_ms, proxies);
        if (check.abandoned) break;
        tally_check(check, totals, journal, notice);
        if (checked) checked(i, check);
    }
    totals.stopped = done < engines.size();
    return totals;
}

LocalText check_done_text(const CheckTotals& totals) {
    const std::string counts = std::to_string(totals.valid) + local(" 个有效，") +
                               std::to_string(totals.invalid) + local(" 个无效");
    if (!totals.stopped) return local("检测完成：") + counts;
    return local("检测已停止：检测了 ") + std::to_string(totals.valid + totals.invalid) +
           local(" 个引擎，") + counts;
}

void tally_check(const EngineCheck& check, CheckTotals& totals, Journal*& journal,
                 const CheckNotice& notice) {
    (check.verdict == Verdict::ok ? totals.valid : totals.invalid) += 1;
    if (!journal) return;
    std::string error;
    if (!record_check(*journal, check_record(check), error)) {
        if (notice) notice("本次检测不做记录：" + error);
        journal = nullptr;
    }
}

std::size_t apply_checks(std::vector<TraceEngine>& list, const std::vector<EngineCheck>& checks,
                         bool untick, bool fix_encoding) {
    // The checks that change something, by address: a list of a hundred thousand engines is
    // gone through once, not once per check.
    std::unordered_multimap<std::string_view, const EngineCheck*> failed;
    for (const EngineCheck& check : checks)
        if (!check.abandoned && check.verdict != Verdict::ok)
            failed.emplace(check.engine.address, &check);
    std::size_t changed = 0;
    for (TraceEngine& engine : list) {
        const auto [first, last] = failed.equal_range(engine.address);
        for (auto it = first; it != last; ++it) {
            const EngineCheck& check = *it->second;
            if (engine.name != check.engine.name || engine.encoding != check.engine.encoding)
                continue;
            const TraceEngine before = engine;
            // An engine whose encoding is fixed works again, so it stays ticked.
            const bool fixed = fix_encoding && check.suggested_encoding;
            if (fixed) engine.encoding = *check.suggested_encoding;
            if (untick && !fixed) engine.enabled = false;
            if (engine != before) ++changed;
            break;
        }
    }
    return changed;
}

std::unique_ptr<Journal> open_check_journal(const std::filesystem::path& file,
                                            const CheckNotice& notice) {
    std::string error;
    std::optional<std::filesystem::path> aside;
    std::unique_ptr<Journal> journal = Journal::open(file, Journal::Mode::write, error, &aside);
    if (aside && notice)
        notice("留痕记录 " + file.string() + " 已损坏，已改名为 " + aside->string() +
               " 保留，并新建留痕记录");
    if (!journal && notice) notice("本次检测不做记录：" + error);
    return journal;
}

LocalText default_check_keyword() {
    std::random_device seed;
    std::mt19937 generator(seed());
    std::uniform_int_distribution<int> digit(0, 9);
    LocalText keyword = local("测试");
    for (int i = 0; i < 6; ++i) keyword += static_cast<char>('0' + digit(generator));
    return keyword;
}

}  // namespace trasslo
