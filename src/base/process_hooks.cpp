#include "base/process_hooks.h"

#include <atomic>
#include <utility>

#include "base/event_pump.h"

namespace trasslo {
namespace {

std::atomic<ProcessHooksScope*> innermost{nullptr};

}  // namespace

ProcessHooksScope::ProcessHooksScope(ProcessHooks hooks)
    : hooks_(std::move(hooks)), outer_(innermost.exchange(this)) {
    install();
}

ProcessHooksScope::~ProcessHooksScope() {
    innermost.store(outer_);
    if (outer_ != nullptr) {
        outer_->install();
        return;
    }
    install_ui_dispatcher({});
    discard_posted_ui_tasks();
    install_key_state_query({});
    install_message_box_handler({});
    install_event_pump({});
}

void ProcessHooksScope::install() const {
    install_event_pump(hooks_.event_pump);
    install_message_box_handler(hooks_.message_box);
    install_key_state_query(hooks_.key_state);
    install_ui_dispatcher(hooks_.ui_dispatcher);
}

void ProcessHooksScope::set_message_box(MessageBoxHandler handler) {
    hooks_.message_box = std::move(handler);
    install_message_box_handler(hooks_.message_box);
}

ProcessHooksScope* ProcessHooksScope::current() {
    return innermost.load();
}

}  // namespace trasslo
