// The window's real message boxes behind the message-box seam of base/message_box.h.
#pragma once

class QWidget;

namespace trasslo {

struct MessageRequest;
enum class MessageAnswer;

// While one of these lives on the user-interface thread, the boxes the installed handler shows
// block no window (the run's no-engine question: the user ticks engines while it is open).
class ModelessMessageScope {
  public:
    ModelessMessageScope();
    ~ModelessMessageScope();
    ModelessMessageScope(const ModelessMessageScope&) = delete;
    ModelessMessageScope& operator=(const ModelessMessageScope&) = delete;
    static bool active();
};

// Shows one box and waits for the answer; a request without a caption is titled
// "Tandel·Trasslo". With `keep_owner_usable` the box blocks nothing: the
// caller waits in a local event loop, so the other windows stay usable while it is open.
MessageAnswer show_qt_message_box(const MessageRequest& request, QWidget* owner,
                                  bool keep_owner_usable = false);

}  // namespace trasslo
