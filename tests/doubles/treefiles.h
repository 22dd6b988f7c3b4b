#pragma once
// Helpers shared by the tests of exported and imported settings: a whole
// tree as comparable text, and small files read and written whole.
#include "platform/registry.h"

#include <QFile>
#include <QStringList>
#include <QtTest>

namespace qyr::test {

// Every key and value below key, one line each, in a stable order: two
// trees are equal, value for value and type for type, when their dumps are.
inline QStringList dump(IRegistry &reg, const QString &key)
{
    QStringList out{key.toCaseFolded()};
    for (const RegValue &v : reg.values(key))
        out << QStringLiteral("%1 | %2 | %3 | %4")
                   .arg(key.toCaseFolded(), v.name)
                   .arg(v.type)
                   .arg(QString::fromLatin1(v.data.toHex()));
    for (const QString &sub : reg.subKeys(key))
        out += dump(reg, key + QLatin1Char('\\') + sub);
    out.sort();
    return out;
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace qyr::test
