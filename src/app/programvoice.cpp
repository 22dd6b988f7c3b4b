#include "programvoice.h"

#include <QLocale>
#include <QTextToSpeech>
#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(QT_DBUS_LIB)
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>
#endif

namespace qyr {

ProgramVoice::ProgramVoice() = default;
ProgramVoice::~ProgramVoice() = default;

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
    return r.isValid() && r.value().variant().toBool();
#else
    return false;
#endif
}

bool ProgramVoice::say(const QString &text, VoiceMode mode)
{
    if (mode == VoiceMode::Never || text.trimmed().isEmpty())
        return false;
    if (mode == VoiceMode::Automatic && screenReaderRunning())
        return false;
    // Made on first use: the speech engine connects to its server, which
    // start-up need not wait for.
    if (!tried_) {
        tried_ = true;
        speech_ = std::make_unique<QTextToSpeech>();
        speech_->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    }
    if (!speech_ || speech_->state() == QTextToSpeech::Error)
        return false;
    speech_->stop();
    speech_->say(text);
    return true;
}

} // namespace qyr
