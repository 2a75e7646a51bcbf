// The safeguard of a run: when most of the latest visits failed (the sites block the address,
// or the network is gone), going on only burns the list. It watches the last 50 visits and
// says when at least a given share of them failed.
#pragma once

#include <deque>
#include <string>

#include "net/visit_outcome.h"
#include "text/local_text.h"

namespace trasslo {

class Safeguard {
  public:
    static constexpr int kWindow = 50;
    static constexpr int kDefaultPercent = 80;

    // `percent` 0 turns it off.
    explicit Safeguard(int percent = kDefaultPercent) : percent_(percent) {}

    // Takes a visit that ended; true when the last kWindow visits are all in and at least
    // `percent` of them failed.
    bool after_visit(const VisitOutcome& outcome);
    // Failed visits of the window.
    int failures() const { return failures_; }
    // The most common failure of the window as the status line says it, without its brackets:
    // "无法连接", "验证拦截" ...
    LocalText common_reason() const;
    // Forgets the window: it speaks again only after kWindow more visits.
    void rearm();

    // "最近 50 次访问中 N 次失败，留痕已暂停；用 trasslo-cli run --resume 继续"
    LocalText halted_text() const;
    // "最近 50 次访问中 N 次失败（多为 REASON），是否暂停留痕？"
    LocalText question_text() const;

  private:
    int percent_;
    std::deque<LocalText> window_;  // each visit's failure reason, empty for a good one
    int failures_ = 0;
};

}  // namespace trasslo
