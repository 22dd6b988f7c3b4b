#include "sessionend.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <utility>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qyr {

#ifdef Q_OS_UNIX
namespace {
int wakeFds[2] = {-1, -1};

// Only what is safe inside a signal handler: one byte into the pipe, which
// the event loop reads.
void onSignal(int sig)
{
    const int saved = errno;
    const char c = char(sig);
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &c, 1);
    errno = saved;
}
} // namespace
#endif

SessionEnd::SessionEnd(std::function<void()> onEnd) : onEnd_(std::move(onEnd))
{
#ifdef Q_OS_UNIX
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) == 0) {
        notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            char buf[16];
            while (::read(wakeFds[0], buf, sizeof buf) > 0) {
            }
            end();
        });
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGHUP, SIGINT})
            sigaction(sig, &sa, nullptr);
    }
#endif
#if QT_CONFIG(sessionmanager)
    // Logging out: the session manager asks to save before it ends us.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] { end(); });
#endif
    QCoreApplication::instance()->installNativeEventFilter(this);
}

SessionEnd::~SessionEnd()
{
#ifdef Q_OS_UNIX
    // From here on a signal ends the program at once, as by default.
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        sigaction(sig, &sa, nullptr);
    delete notifier_;
    for (int &fd : wakeFds)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
#endif
}

void SessionEnd::end()
{
    if (ended_)
        return;
    ended_ = true;
    onEnd_();
}

bool SessionEnd::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    Q_UNUSED(result);
#ifdef Q_OS_WIN
    // Windows ends the process soon after WM_ENDSESSION has been answered,
    // so the place is saved while handling it (and already at the query,
    // as a session manager that asks may not come back).
    if (eventType == "windows_generic_MSG") {
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_QUERYENDSESSION || (msg->message == WM_ENDSESSION && msg->wParam))
            end();
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false; // Qt goes on with its own handling
}

} // namespace qyr
