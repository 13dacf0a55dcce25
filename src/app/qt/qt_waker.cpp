#include "app/qt/qt_waker.h"

#include <QMetaObject>

namespace lantorvix {

void QtWaker::Wake()
{
    if (pending_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Cleared before serving: a call queued while serving wakes again.
            pending_ = false;
            dispatcher_.ServeQueued();
        },
        Qt::QueuedConnection);
}

} // namespace lantorvix
