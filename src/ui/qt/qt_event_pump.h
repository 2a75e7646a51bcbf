// The Qt side of the "process pending events" hook: long work on the user-interface thread
// pumps Qt's event queue through it.
#pragma once

namespace trasslo {

// Installs QCoreApplication::processEvents as the pump of the calling (user-interface) thread.
void install_qt_event_pump();

// Removes it again (the hook then does nothing).
void remove_qt_event_pump();

}  // namespace trasslo
