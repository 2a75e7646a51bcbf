#include "base/ui_dispatch.h"

#include <deque>
#include <mutex>
#include <utility>

namespace trasslo {
namespace {

struct DispatchState {
    // Held while the dispatcher is called, so that removing it waits for calls in flight.
    std::mutex dispatcher_mutex;
    UiDispatcher dispatcher;
    std::mutex queue_mutex;
    std::deque<UiTask> queue;
};

DispatchState& state() {
    // Never destroyed: a worker thread may post while the process ends.
    static auto* s = new DispatchState;
    return *s;
}

}  // namespace

void install_ui_dispatcher(UiDispatcher dispatcher) {
    DispatchState& s = state();
    std::lock_guard lock(s.dispatcher_mutex);
    s.dispatcher = std::move(dispatcher);
}

void post_to_ui(UiTask task) {
    if (!task) return;
    DispatchState& s = state();
    {
        std::lock_guard lock(s.dispatcher_mutex);
        if (s.dispatcher) {
            s.dispatcher(std::move(task));
            return;
        }
    }
    std::lock_guard lock(s.queue_mutex);
    s.queue.push_back(std::move(task));
}

std::size_t run_posted_ui_tasks() {
    DispatchState& s = state();
    std::size_t ran = 0;
    for (;;) {
        UiTask task;
        {
            std::lock_guard lock(s.queue_mutex);
            if (s.queue.empty()) return ran;
            task = std::move(s.queue.front());
            s.queue.pop_front();
        }
        task();
        ++ran;
    }
}

void discard_posted_ui_tasks() {
    DispatchState& s = state();
    std::deque<UiTask> dropped;
    {
        std::lock_guard lock(s.queue_mutex);
        dropped.swap(s.queue);
    }
}

}  // namespace trasslo
