#include "registry.h"

#include <QtEndian>

namespace qyr {

QString fromUtf16Le(const QByteArray &d)
{
    QString s;
    s.reserve(d.size() / 2);
    for (int i = 0; i + 1 < d.size(); i += 2)
        s.append(QChar(char16_t(uchar(d[i]) | (uchar(d[i + 1]) << 8))));
    return s;
}

QByteArray toUtf16Le(const QString &s)
{
    QByteArray out;
    out.reserve(s.size() * 2);
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xff));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

namespace {
// A string value as the registry stores it: UTF-16 LE with its terminator.
QByteArray utf16z(const QString &s) { return toUtf16Le(s) + QByteArray(2, '\0'); }
} // namespace

RegValue RegValue::fromText(const QString &name, const QString &text, quint32 type)
{
    return RegValue{name, type, utf16z(text)};
}

RegValue RegValue::fromDWord(const QString &name, quint32 value)
{
    QByteArray d(4, '\0');
    qToLittleEndian(value, d.data());
    return RegValue{name, regtype::DWord, d};
}

RegValue RegValue::fromMulti(const QString &name, const QStringList &items)
{
    QByteArray d;
    for (const QString &i : items)
        d += utf16z(i);
    d.append('\0').append('\0');
    return RegValue{name, regtype::MultiString, d};
}

QString RegValue::text() const
{
    switch (type) {
    case regtype::String:
    case regtype::ExpandString: {
        QString s = fromUtf16Le(data);
        const int nul = s.indexOf(QChar(0));
        return nul >= 0 ? s.left(nul) : s;
    }
    case regtype::DWord:
        return data.size() >= 4 ? QString::number(qFromLittleEndian<quint32>(data.constData())) : QString();
    case regtype::QWord:
        return data.size() >= 8 ? QString::number(qFromLittleEndian<quint64>(data.constData())) : QString();
    case regtype::MultiString:
        return multi().join(QLatin1Char('\n'));
    default:
        return QString::fromLatin1(data.toHex());
    }
}

QStringList RegValue::multi() const
{
    QStringList items = fromUtf16Le(data).split(QChar(0));
    while (!items.isEmpty() && items.last().isEmpty())
        items.removeLast();
    return items;
}

} // namespace qyr
