// Whether a trace run is going on. The run sets it for as long as it lasts (the start button then
// reads "停止留痕(…)" rather than "开始留痕"); the engine tree's Shift/Ctrl multi-ticking is
// suspended meanwhile.
#pragma once

namespace trasslo {

void set_run_active(bool active);
bool run_active();

// Marks a run active for its own lifetime, and restores the earlier state when it ends.
class RunActiveScope {
  public:
    RunActiveScope();
    ~RunActiveScope();
    RunActiveScope(const RunActiveScope&) = delete;
    RunActiveScope& operator=(const RunActiveScope&) = delete;

  private:
    bool was_active_;
};

}  // namespace trasslo
