#include "ui/qt/qt_process_hooks.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include "ui/qt/qt_message_box.h"

namespace trasslo {

MessageBoxHandler qt_message_boxes(QWidget* owner) {
    QPointer<QWidget> guarded(owner);
    return [guarded](const MessageRequest& request) {
        return show_qt_message_box(request, guarded.data(), ModelessMessageScope::active());
    };
}

ProcessHooks qt_process_hooks(QObject* receiver) {
    ProcessHooks hooks;
    hooks.event_pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    hooks.message_box = qt_message_boxes(nullptr);
    hooks.key_state = [](ModifierKey key) {
        // Asked twice in a row; the second answer counts, as with the asynchronous query.
        (void)QGuiApplication::queryKeyboardModifiers();
        const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
        return held.testFlag(key == ModifierKey::shift ? Qt::ShiftModifier : Qt::ControlModifier);
    };
    hooks.ui_dispatcher = [receiver](UiTask task) {
        // The receiver outlives every call of this dispatcher: the scope removes the dispatcher
        // before the receiver dies, and removal waits for calls in flight.
        QMetaObject::invokeMethod(receiver, std::move(task), Qt::QueuedConnection);
    };
    return hooks;
}

QtProcessHooks::QtProcessHooks() : scope_(qt_process_hooks(&receiver_)) {}

QtProcessHooks::~QtProcessHooks() = default;

void QtProcessHooks::set_message_box_owner(QWidget* owner) {
    scope_.set_message_box(qt_message_boxes(owner));
}

}  // namespace trasslo
