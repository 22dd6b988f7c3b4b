#include "qtpump.h"
#include "../controls.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace qyr {

QtPump::QtPump() { clock_.start(); }

QtPump::~QtPump() { qDeleteAll(timers_); }

void QtPump::processEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

// The web engine does its work through the UI thread's event loop; a blocked
// thread would stall a page load that the caller is waiting for, so the
// sleep waits inside a local event loop.
void QtPump::sleep(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void QtPump::start(TimerModel *timer)
{
    QTimer *&t = timers_[timer];
    if (!t) {
        t = new QTimer;
        QObject::connect(t, &QTimer::timeout, t, [timer] { timer->fire(); });
    }
    t->start(timer->interval());
}

void QtPump::stop(TimerModel *timer)
{
    if (QTimer *t = timers_.value(timer))
        t->stop();
}

} // namespace qyr

namespace qyr {
void QtPump::forget(TimerModel *timer) { delete timers_.take(timer); }
} // namespace qyr
