// The window's side of ui/ui_dispatch.h: tasks posted from worker threads are queued onto the
// Qt event loop of the user-interface thread, and dropped unrun once the owner is gone.
#pragma once

#include <QObject>

namespace trasslo {

// Installs the Qt dispatcher for as long as it lives. Create it on the user-interface thread
// and keep it as a member of the main window: its destruction removes the dispatcher (waiting
// for any post in flight) and discards every task still queued, so no task runs without the
// window.
class QtUiDispatch {
  public:
    QtUiDispatch();
    ~QtUiDispatch();
    QtUiDispatch(const QtUiDispatch&) = delete;
    QtUiDispatch& operator=(const QtUiDispatch&) = delete;

  private:
    // Receives the queued calls; Qt deletes its pending calls together with it.
    QObject receiver_;
};

}  // namespace trasslo
