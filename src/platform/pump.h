#pragma once
// Event pump and clock port, and the timers the control models run on.
#include <QtGlobal>

namespace qyr {

class TimerModel;

class IEventPump {
public:
    virtual ~IEventPump() = default;
    virtual void processEvents() = 0; // let pending window events run
    virtual void sleep(int ms) = 0;
    virtual qint64 nowMs() = 0;       // monotonic
};

class ITimerService {
public:
    virtual ~ITimerService() = default;
    // (Re)arms the timer from now for its interval; repeating until stopped.
    virtual void start(TimerModel *timer) = 0;
    virtual void stop(TimerModel *timer) = 0;
    virtual void forget(TimerModel *timer) = 0; // the timer is being destroyed
};

} // namespace qyr
