// The "process pending events" hook. Long work on the user-interface thread calls
// `process_pending_events()` once per step so that the window stays responsive; the window
// installs the real pump at start-up. Until then, and on every thread but the one that
// installed it, the call does nothing.
#pragma once

#include <functional>

namespace trasslo {

// Installs `pump` for the calling thread (the user-interface thread). An empty function
// removes it. Calls closer together than about 2 ms return at once: a pump costs about a
// microsecond, and callers such as the URL encoder ask for one per byte.
void install_event_pump(std::function<void()> pump);

// Lets the window handle its pending events, if a pump is installed on this thread.
void process_pending_events();

// Runs `work` on a thread of its own while this thread keeps pumping events, and returns when
// it is done: for a disk sync or a large write that would freeze the window for tens of
// milliseconds. Without a pump on this thread, `work` runs here. `work` must not touch what the
// window's event handlers may change meanwhile.
void run_beside(const std::function<void()>& work);

// Waits `milliseconds` in steps of 10 ms, pumping events after each step, until the time is
// counted off or `stop` becomes true. The counted time grows by 10 a step whatever the real
// time taken; 0 or less, or a flag already set, returns at once.
void pause(long milliseconds, const bool& stop);

// Same with a flag that is never set.
void pause(long milliseconds);

// Same, ending at the first step after which `stopped()` is true (asked before each step too).
void pause_until_stopped(long milliseconds, const std::function<bool()>& stopped);

}  // namespace trasslo
