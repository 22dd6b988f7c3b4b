#pragma once
// The benchmarks' reading of the program's automation events.
#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <optional>

namespace bench {

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
