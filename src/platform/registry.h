#pragma once
// Registry port: a tree of keys below the current user's hive, with typed
// values. Key paths are relative to HKEY_CURRENT_USER and nested at each
// backslash; key and value names compare without regard to case.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qyr {

namespace regtype {
constexpr quint32 None = 0;
constexpr quint32 String = 1;
constexpr quint32 ExpandString = 2;
constexpr quint32 Binary = 3;
constexpr quint32 DWord = 4;
constexpr quint32 MultiString = 7;
constexpr quint32 QWord = 11;
} // namespace regtype

// Text in the registry's own encoding, UTF-16 LE (without a terminator).
QString fromUtf16Le(const QByteArray &bytes);
QByteArray toUtf16Le(const QString &text);

// A value as the registry holds it: strings are UTF-16LE with their
// terminating NULs, so imported data of any kind survives a round trip.
struct RegValue {
    QString name; // empty: the key's default value
    quint32 type = regtype::String;
    QByteArray data;

    static RegValue fromText(const QString &name, const QString &text, quint32 type = regtype::String);
    static RegValue fromDWord(const QString &name, quint32 value);
    static RegValue fromMulti(const QString &name, const QStringList &items);
    // The value as a settings text: strings as they are, numbers in decimal.
    QString text() const;
    QStringList multi() const;
    bool operator==(const RegValue &o) const
    {
        return name.compare(o.name, Qt::CaseInsensitive) == 0 && type == o.type && data == o.data;
    }
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Reads never throw for an absent key or value; failures of the store throw QyrError.
    virtual std::optional<RegValue> value(const QString &key, const QString &name) = 0;
    virtual void setValue(const QString &key, const RegValue &value) = 0; // durable when it returns
    virtual void deleteValue(const QString &key, const QString &name) = 0;
    virtual void deleteKey(const QString &key) = 0; // with everything below it
    virtual bool keyExists(const QString &key) = 0;
    virtual QStringList subKeys(const QString &key) = 0;
    virtual QList<RegValue> values(const QString &key) = 0;
    // Runs body as one unit: all of its writes land, or none (body throws).
    virtual void transaction(const std::function<void()> &body) = 0;
};

// Where every value of this program lives, below HKEY_CURRENT_USER.
inline QString settingsRoot() { return QStringLiteral("Software\\VB and VBA Program Settings"); }
// The program's name in that tree, and its key: "...\QYR MediaPlayer".
inline QString programName() { return QStringLiteral("QYR MediaPlayer"); }
inline QString programKey() { return settingsRoot() + QLatin1Char('\\') + programName(); }

} // namespace qyr
