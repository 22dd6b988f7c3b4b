#pragma once
// The event pump and timers on Qt's own event loop.
#include "../pump.h"

#include <QElapsedTimer>
#include <QHash>

class QTimer;

namespace qyr {

class QtPump : public IEventPump, public ITimerService {
public:
    QtPump();
    ~QtPump() override;
    void processEvents() override;
    void sleep(int ms) override;
    qint64 nowMs() override { return clock_.elapsed(); }
    void start(TimerModel *timer) override;
    void stop(TimerModel *timer) override;
    void forget(TimerModel *timer) override;

private:
    QElapsedTimer clock_;
    QHash<TimerModel *, QTimer *> timers_;
};

} // namespace qyr
