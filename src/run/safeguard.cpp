#include "run/safeguard.h"

#include <map>

#include "run/visit_reason.h"

namespace trasslo {
namespace {

// "（无法连接）" without its full-width brackets; "（网页错误 404）" keeps only "网页错误".
LocalText bare_reason(const VisitOutcome& outcome) {
    LocalText reason = visit_failure_reason(outcome);
    const LocalText open = local("（"), close = local("）");
    if (reason.starts_with(open)) reason.erase(0, open.size());
    if (reason.ends_with(close)) reason.erase(reason.size() - close.size());
    if (const std::size_t space = reason.find(' '); space != LocalText::npos) reason.resize(space);
    return reason;
}

}  // namespace

bool Safeguard::after_visit(const VisitOutcome& outcome) {
    if (percent_ <= 0) return false;
    const bool failed = !outcome.left_trace();
    window_.push_back(failed ? bare_reason(outcome) : LocalText());
    if (failed) ++failures_;
    if (static_cast<int>(window_.size()) > kWindow) {
        if (!window_.front().empty()) --failures_;
        window_.pop_front();
    }
    return static_cast<int>(window_.size()) == kWindow && failures_ * 100 >= percent_ * kWindow;
}

LocalText Safeguard::common_reason() const {
    std::map<LocalText, int> counts;
    LocalText best;
    int most = 0;
    for (const LocalText& reason : window_) {
        if (reason.empty()) continue;
        if (const int n = ++counts[reason]; n > most) {
            most = n;
            best = reason;
        }
    }
    return best;
}

void Safeguard::rearm() {
    window_.clear();
    failures_ = 0;
}

LocalText Safeguard::halted_text() const {
    return local("最近 ") + std::to_string(kWindow) + local(" 次访问中 ") +
           std::to_string(failures_) +
           local(" 次失败，留痕已暂停；用 trasslo-cli run --resume 继续");
}

LocalText Safeguard::question_text() const {
    return local("最近 ") + std::to_string(kWindow) + local(" 次访问中 ") +
           std::to_string(failures_) + local(" 次失败（多为 ") + common_reason() +
           local("），是否暂停留痕？");
}

}  // namespace trasslo
