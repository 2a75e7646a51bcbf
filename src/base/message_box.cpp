#include "base/message_box.h"

#include <mutex>

namespace trasslo {
namespace {

std::mutex handler_mutex;
MessageBoxHandler& handler() {
    static MessageBoxHandler h;
    return h;
}

MessageAnswer default_answer(const MessageRequest& request) {
    switch (request.buttons) {
        case MessageButtons::ok:
            return MessageAnswer::ok;
        case MessageButtons::ok_cancel:
            return MessageAnswer::cancel;
        case MessageButtons::yes_no:
            return MessageAnswer::no;
    }
    return MessageAnswer::ok;
}

}  // namespace

void install_message_box_handler(MessageBoxHandler h) {
    std::lock_guard lock(handler_mutex);
    handler() = std::move(h);
}

MessageAnswer show_message(const MessageRequest& request) {
    MessageBoxHandler h;
    {
        std::lock_guard lock(handler_mutex);
        h = handler();
    }
    return h ? h(request) : default_answer(request);
}

}  // namespace trasslo
