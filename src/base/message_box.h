// Message boxes behind a seam: the window shows real ones, the command-line front end and the
// tests answer them. Texts are local text (GBK bytes), held here as plain byte strings so that
// this bottom layer needs nothing of the text layer.
#pragma once

#include <functional>
#include <string>

namespace trasslo {

enum class MessageButtons { ok, ok_cancel, yes_no };
enum class MessageIcon { none, information, question, warning, error };
enum class MessageAnswer { ok, cancel, yes, no };

struct MessageRequest {
    std::string text;     // local text
    std::string caption;  // local text
    MessageButtons buttons = MessageButtons::ok;
    MessageIcon icon = MessageIcon::none;
};

using MessageBoxHandler = std::function<MessageAnswer(const MessageRequest&)>;

// Installs the process's message-box handler (the window's real boxes, or an answering one).
// An empty handler restores the default, which answers OK, or Cancel/No when asked a question.
void install_message_box_handler(MessageBoxHandler handler);

// Shows a message and returns the answer.
MessageAnswer show_message(const MessageRequest& request);

}  // namespace trasslo
