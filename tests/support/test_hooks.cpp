#include "support/test_hooks.h"

#include <utility>

namespace trasslo::support {
namespace {

ProcessHooks pump_only(std::function<void()> pump) {
    ProcessHooks hooks;
    hooks.event_pump = std::move(pump);
    return hooks;
}

}  // namespace

TestHooks::TestHooks(std::function<void()> pump) : scope_(pump_only(std::move(pump))) {}

TestHooks::TestHooks(ProcessHooks base)
    : scope_([this, &base] {
          base.message_box = [this](const MessageRequest& request) {
              messages.push_back(request);
              if (on_message) on_message(request);
              MessageAnswer answer = request.buttons == MessageButtons::yes_no ? MessageAnswer::yes
                                                                               : MessageAnswer::ok;
              if (!answers.empty()) {
                  answer = answers.front();
                  answers.pop_front();
              }
              return answer;
          };
          base.key_state = [this](ModifierKey key) {
              return key == ModifierKey::shift ? shift_held : ctrl_held;
          };
          return std::move(base);
      }()) {}

}  // namespace trasslo::support
