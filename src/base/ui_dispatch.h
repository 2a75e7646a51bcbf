// Posting work to the user-interface thread. Worker threads never touch a widget: they hand a
// task to `post_to_ui`, and the window's installed dispatcher queues it onto its own event loop.
// Where no window exists (command line, tests) posted tasks wait in a queue until the owner of
// that thread drains it with `run_posted_ui_tasks`.
#pragma once

#include <cstddef>
#include <functional>

namespace trasslo {

using UiTask = std::function<void()>;
using UiDispatcher = std::function<void(UiTask)>;

// Installs the window's dispatcher; an empty function removes it and goes back to the queue.
// Once this returns, no call of the previous dispatcher is still running, so the window may
// remove its dispatcher in its destructor and then die safely.
void install_ui_dispatcher(UiDispatcher dispatcher);

// Hands `task` to the dispatcher, or queues it when none is installed. Safe from any thread;
// it never runs the task on the calling thread.
void post_to_ui(UiTask task);

// Runs the queued tasks on the calling thread, in the order posted, including tasks posted by
// them; returns how many ran.
std::size_t run_posted_ui_tasks();

// Drops every queued task without running it (the window is gone; nobody must see them).
void discard_posted_ui_tasks();

}  // namespace trasslo
