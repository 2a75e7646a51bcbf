#include "check/check_run.h"

#include <random>

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
                          Journal* journal, const CheckNotice& notice) {
    // Every request below, robots.txt included, is given up at its next poll once `stop` is set.
    const AbandonScope abandon(stop);
    SiteRobots robots;
    CheckTotals totals;
    std::size_t done = 0;
    for (std::size_t i = 0; i < engines.size(); ++i, ++done) {
        if (stop.load()) break;
        const EngineCheck check = check_engine(engines[i], keyword, robots);
        if (check.abandoned) break;
        (check.verdict == Verdict::ok ? totals.valid : totals.invalid) += 1;
        if (journal) {
            std::string error;
            if (!record_check(*journal, check_record(check), error)) {
                if (notice) notice("本次检测不做记录：" + error);
                journal = nullptr;
            }
        }
        if (checked) checked(i, check);
    }
    totals.stopped = done < engines.size();
    return totals;
}

std::size_t apply_checks(std::vector<TraceEngine>& list, const std::vector<EngineCheck>& checks,
                         bool untick, bool fix_encoding) {
    std::size_t changed = 0;
    for (TraceEngine& engine : list) {
        for (const EngineCheck& check : checks) {
            if (check.abandoned || check.verdict == Verdict::ok) continue;
            const TraceEngine& checked = check.engine;
            if (engine.name != checked.name || engine.address != checked.address ||
                engine.encoding != checked.encoding)
                continue;
            const TraceEngine before = engine;
            if (untick) engine.enabled = false;
            if (fix_encoding && check.suggested_encoding)
                engine.encoding = *check.suggested_encoding;
            if (engine != before) ++changed;
            break;
        }
    }
    return changed;
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
