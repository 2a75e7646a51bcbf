// SIGINT and SIGTERM as the stop button of a command. The handler only notes the signal in a
// flag that work on any thread can watch (the engine check's stop); for the trace run and the
// export, which stop through the window's stop request, the event pump they call between their
// steps and in their pauses turns the signal into one call of `on_stop`. A second signal ends
// the program the usual way (SA_RESETHAND).
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>

#include "base/process_hooks.h"

namespace trasslo::cli {

class StopSignals {
  public:
    explicit StopSignals(std::function<void()> on_stop = {});
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool received() const { return flag().load(); }
    // Set by the first SIGINT or SIGTERM while this object lives.
    const std::atomic<bool>& flag() const;

  private:
    ProcessHooks hooks();

    std::function<void()> on_stop_;
    struct sigaction old_int_ {};
    struct sigaction old_term_ {};
    bool delivered_ = false;
    ProcessHooksScope scope_;
};

}  // namespace trasslo::cli
