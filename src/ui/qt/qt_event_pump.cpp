#include "ui/qt/qt_event_pump.h"

#include <QCoreApplication>

#include "ui/event_pump.h"

namespace trasslo {

void install_qt_event_pump() {
    install_event_pump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

void remove_qt_event_pump() {
    install_event_pump({});
}

}  // namespace trasslo
