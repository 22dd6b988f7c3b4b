#pragma once
// The end of the reader's session from outside the window: SIGTERM, SIGHUP
// and SIGINT on Unix, the session manager's request to save and quit, and
// Windows' end-of-session messages. Each calls onEnd once, on the UI thread.
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace qyr {

class SessionEnd : public QObject, public QAbstractNativeEventFilter {
public:
    explicit SessionEnd(std::function<void()> onEnd);
    ~SessionEnd() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void end();
    std::function<void()> onEnd_;
    QSocketNotifier *notifier_ = nullptr;
    bool ended_ = false;
};

} // namespace qyr
