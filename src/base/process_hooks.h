// The one place where the process-wide hooks are installed: the event pump, the message boxes,
// the key state and the UI-thread dispatch. A front end (the window program, a test) makes one
// ProcessHooksScope with its own parts; when the scope ends every hook is back at its default.
#pragma once

#include <functional>

#include "base/key_state.h"
#include "base/message_box.h"
#include "base/ui_dispatch.h"

namespace trasslo {

struct ProcessHooks {
    std::function<void()> event_pump;  // for the thread that makes the scope; empty: no pumping
    MessageBoxHandler message_box;     // empty: the default answers (OK, Cancel, No)
    KeyStateQuery key_state;           // empty: no key held
    UiDispatcher ui_dispatcher;        // empty: posted tasks wait in the queue
};

// Installs `hooks` for as long as it lives. Scopes nest: the end of one puts back the hooks of
// the scope it was made in, or, for the outermost one, removes every hook (waiting for a
// dispatch in flight) and drops the tasks still queued for the UI thread.
class ProcessHooksScope {
  public:
    explicit ProcessHooksScope(ProcessHooks hooks = {});
    ~ProcessHooksScope();
    ProcessHooksScope(const ProcessHooksScope&) = delete;
    ProcessHooksScope& operator=(const ProcessHooksScope&) = delete;

    // Replaces the message-box handler while the scope lives (the window centres its boxes on
    // itself once it exists, and answers none on its way out).
    void set_message_box(MessageBoxHandler handler);

    // The innermost scope alive now, or null.
    static ProcessHooksScope* current();

  private:
    void install() const;

    ProcessHooks hooks_;
    ProcessHooksScope* outer_;
};

}  // namespace trasslo
