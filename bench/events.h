#pragma once
// The benchmarks' runs of the program: its environment, and the reading of
// its automation events.
#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <optional>

namespace bench {

// The program's environment for a run without a screen, unless the caller's
// environment says otherwise.
inline QProcessEnvironment offscreen()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!env.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")))
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
    return env;
}

// Starts the program (QYR_PLAYER, else the build's) on book with the settings
// file, its automation channel open, without sound.
inline void startProgram(QProcess &p, const QString &built, const QString &settings, const QString &book,
                         const QProcessEnvironment &extra = QProcessEnvironment())
{
    QProcessEnvironment env = offscreen();
    for (const QString &name : extra.keys())
        env.insert(name, extra.value(name));
    p.setProcessEnvironment(env);
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(qEnvironmentVariable("QYR_PLAYER", built),
            {QStringLiteral("--automation"), QStringLiteral("--settings"), settings, QStringLiteral("--book"), book,
             QStringLiteral("--audio-out"), QStringLiteral("null")});
}

// Reads event lines until one named `name` arrives; its object, or nothing
// when the program ends or timeoutMs passes first.
inline std::optional<QJsonObject> readUntil(QProcess &p, const QString &name, QByteArray &buffer, int timeoutMs)
{
    QElapsedTimer limit;
    limit.start();
    for (;;) {
        int nl;
        while ((nl = buffer.indexOf('\n')) >= 0) {
            const QJsonObject o = QJsonDocument::fromJson(buffer.left(nl)).object();
            buffer.remove(0, nl + 1);
            if (o.value(QStringLiteral("event")).toString() == name)
                return o;
        }
        if (limit.elapsed() > timeoutMs || p.state() == QProcess::NotRunning)
            return std::nullopt;
        p.waitForReadyRead(50);
        buffer += p.readAllStandardOutput();
    }
}

} // namespace bench
