#include "ui/qt/qt_key_state.h"

#include <QGuiApplication>

#include "ui/key_state.h"

namespace trasslo {

void install_qt_key_state_query() {
    install_key_state_query([](ModifierKey key) {
        // Asked twice in a row; the second answer counts, as with the asynchronous query.
        (void)QGuiApplication::queryKeyboardModifiers();
        const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
        return held.testFlag(key == ModifierKey::shift ? Qt::ShiftModifier : Qt::ControlModifier);
    });
}

}  // namespace trasslo
