// The Shift/Ctrl key state read from the real keyboard.
#pragma once

namespace trasslo {

// Installs a key-state query over QGuiApplication::queryKeyboardModifiers().
void install_qt_key_state_query();

}  // namespace trasslo
