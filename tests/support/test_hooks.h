// The process hooks of a test: one scope that installs the test's parts (a pump, answered
// message boxes, the Shift/Ctrl state it sets) and takes every hook back when the test ends.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "base/process_hooks.h"

namespace trasslo::support {

class TestHooks {
  public:
    // `base` gives the parts the test does not answer itself: the pump and the UI dispatch.
    explicit TestHooks(ProcessHooks base = {});
    // Only a pump, for tests that count or act on the pumping; messages get the default answers.
    explicit TestHooks(std::function<void()> pump);

    // The answers given to the next message boxes, in order; OK / Yes when none is left.
    std::deque<MessageAnswer> answers;
    // Every message shown, in order; `on_message` runs inside the box, before it is answered.
    std::vector<MessageRequest> messages;
    std::function<void(const MessageRequest&)> on_message;
    bool shift_held = false;
    bool ctrl_held = false;

  private:
    ProcessHooksScope scope_;
};

}  // namespace trasslo::support
