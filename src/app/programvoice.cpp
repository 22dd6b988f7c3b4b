#include "programvoice.h"
#include "../platform/speech.h"

#include <QDir>
#include <QFile>
#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(QT_DBUS_LIB)
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>
#endif

namespace qyr {

bool ProgramVoice::screenReaderRunning()
{
#ifdef Q_OS_WIN
    BOOL on = FALSE;
    return SystemParametersInfoW(SPI_GETSCREENREADER, 0, &on, 0) && on;
#elif defined(QT_DBUS_LIB)
    QDBusInterface props(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                         QStringLiteral("org.freedesktop.DBus.Properties"), QDBusConnection::sessionBus());
    if (!props.isValid())
        return false;
    props.setTimeout(200);
    const QDBusReply<QDBusVariant> r =
        props.call(QStringLiteral("Get"), QStringLiteral("org.a11y.Status"), QStringLiteral("ScreenReaderEnabled"));
    if (r.isValid() && r.value().variant().toBool())
        return true;
    // Orca started by hand, outside a desktop that sets the flag.
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (pid.at(0).isDigit() && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "orca")
            return true;
    }
    return false;
#else
    return false;
#endif
}

bool ProgramVoice::say(const QString &text, VoiceMode mode)
{
    if (mode == VoiceMode::Never || text.trimmed().isEmpty())
        return false;
    if (mode == VoiceMode::Automatic) {
        // Asked again at most every two seconds: a reader may start or stop
        // the screen reader while reading, but not between two keys.
        if (!checked_.isValid() || checked_.elapsed() > 2000) {
            readerRunning_ = screenReaderRunning();
            checked_.start();
        }
        if (readerRunning_)
            return false;
    }
    if (!speech_.available())
        return false;
    speech_.message(text);
    return true;
}

} // namespace qyr
