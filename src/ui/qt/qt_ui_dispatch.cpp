#include "ui/qt/qt_ui_dispatch.h"

#include <QMetaObject>

#include "ui/ui_dispatch.h"

namespace trasslo {

QtUiDispatch::QtUiDispatch() {
    QObject* receiver = &receiver_;
    install_ui_dispatcher([receiver](UiTask task) {
        // The receiver outlives every call of this dispatcher: it is removed before the
        // receiver dies, and removal waits for calls in flight.
        QMetaObject::invokeMethod(receiver, std::move(task), Qt::QueuedConnection);
    });
}

QtUiDispatch::~QtUiDispatch() {
    install_ui_dispatcher({});
    discard_posted_ui_tasks();
    // receiver_ goes next, and with it the calls still waiting in the event queue.
}

}  // namespace trasslo
