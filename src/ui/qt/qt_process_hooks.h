// The window program's process hooks: Qt's event loop as the event pump, the real keyboard's
// Shift and Ctrl, QMessageBox for messages and the Qt event loop of the user-interface thread
// for tasks posted by worker threads.
#pragma once

#include <QObject>

#include "base/process_hooks.h"

class QWidget;

namespace trasslo {

// The Qt parts, for a test that replaces some of them: tasks are queued to `dispatch_receiver`
// (which must outlive the scope they are installed by); message boxes are centred on the screen.
ProcessHooks qt_process_hooks(QObject* dispatch_receiver);

// Message boxes centred on `owner` while it exists (none: on the screen).
MessageBoxHandler qt_message_boxes(QWidget* owner);

// Make it on the user-interface thread, before the main window, and let it end after the window:
// its end removes every hook and drops the UI tasks still queued, so none runs afterwards.
class QtProcessHooks {
  public:
    QtProcessHooks();
    ~QtProcessHooks();
    QtProcessHooks(const QtProcessHooks&) = delete;
    QtProcessHooks& operator=(const QtProcessHooks&) = delete;

    // Centres message boxes on `owner` while it exists (until then: on the screen).
    void set_message_box_owner(QWidget* owner);

  private:
    // Receives the queued calls of the dispatcher; Qt deletes its pending calls together with it.
    QObject receiver_;
    ProcessHooksScope scope_;
};

}  // namespace trasslo
