#include "registryexchange.h"

#include "../shell/errorreport.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace qyr {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kUnchanged = QStringLiteral("Le impostazioni non sono state modificate.");
// A settings file is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxTextFile = 64 * 1024 * 1024;

QString normalized(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

bool insideProgramTree(const QString &root, const QString &path)
{
    if (root.compare(QLatin1String("HKEY_CURRENT_USER"), Qt::CaseInsensitive) != 0)
        return false;
    const QString own = RegistryExchange::programKey();
    const QString p = normalized(path);
    return p.compare(own, Qt::CaseInsensitive) == 0 || p.startsWith(own + QLatin1Char('\\'), Qt::CaseInsensitive);
}

// Runs body; a failure comes out with the reader told that nothing changed
// (true because every change runs in one transaction, after all reading).
template <typename Body>
auto nothingChangedOnFailure(const QString &context, Body &&body)
{
    try {
        return body();
    } catch (const QyrError &e) {
        QString text = context.isEmpty() ? e.description() : context + kCrLf + e.description();
        throw QyrError(e.number(), text + kCrLf + kUnchanged);
    }
}

QString writeProblem(const QString &file, QFileDevice::FileError error)
{
    switch (error) {
    case QFileDevice::PermissionsError:
        return QStringLiteral("Impossibile scrivere il file %1: permesso negato.").arg(file);
    case QFileDevice::OpenError:
        return QStringLiteral("Impossibile creare il file %1: la cartella non esiste o non è accessibile.").arg(file);
    case QFileDevice::ResourceError:
    case QFileDevice::WriteError:
        return QStringLiteral("Scrittura del file %1 non riuscita: il disco potrebbe essere pieno.").arg(file);
    default:
        return QStringLiteral("Scrittura del file %1 non riuscita.").arg(file);
    }
}

void checkNames(const HiveKey &key, const QString &file, bool isRoot)
{
    if (!isRoot && (key.name.isEmpty() || key.name.contains(QLatin1Char('\\'))))
        throw QyrError(err::InvalidFileFormat,
                       QStringLiteral("Il file %1 contiene una chiave con un nome non valido (\"%2\").")
                           .arg(file, key.name));
    for (const HiveKey &sub : key.subKeys)
        checkNames(sub, file, false);
}

void countTree(const HiveKey &key, int &keys, int &values)
{
    ++keys;
    values += int(key.values.size());
    for (const HiveKey &sub : key.subKeys)
        countTree(sub, keys, values);
}

QString counted(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
}

} // namespace

QString ImportResult::notice() const
{
    QStringList parts;
    if (ignoredKeys > 0)
        parts << QStringLiteral("Chiavi ignorate perché esterne alle impostazioni del lettore: %1 (con %2).")
                     .arg(ignoredKeys)
                     .arg(counted(ignoredValues, "valore", "valori"));
    if (emptyValues > 0)
        parts << QStringLiteral("Valori ignorati perché senza dati o in una chiave cancellata: %1.").arg(emptyValues);
    return parts.join(QLatin1Char(' '));
}

RegistryExchange::RegistryExchange(IRegistry &registry, IHiveReader *hives) : registry_(registry), hives_(hives) {}

QString RegistryExchange::programKey()
{
    return settingsRoot() + QStringLiteral("\\QYR MediaPlayer");
}

QString RegistryExchange::rootName(quint32 root)
{
    switch (root) {
    case hkey::ClassesRoot: return QStringLiteral("HKEY_CLASSES_ROOT\\");
    case hkey::CurrentUser: return QStringLiteral("HKEY_CURRENT_USER\\");
    case hkey::LocalMachine: return QStringLiteral("HKEY_LOCAL_MACHINE\\");
    case hkey::Users: return QStringLiteral("HKEY_USERS\\");
    case hkey::CurrentConfig: return QStringLiteral("HKEY_CURRENT_CONFIG\\");
    default: return QString();
    }
}

ExportResult RegistryExchange::exportKey(quint32 root, const QString &keyPath, const QString &file, bool recurse,
                                         bool append)
{
    ExportResult r;
    QByteArray bytes;
    if (append) {
        QFile old(file);
        if (old.open(QIODevice::ReadOnly))
            bytes = old.readAll();
    }
    QString text;
    if (!append || !bytes.contains("REGEDIT4"))
        text = QStringLiteral("REGEDIT4") + kCrLf + kCrLf;
    exportBlock(root, keyPath, recurse, text, r);
    int lost = 0;
    bytes += regfile::toWindows1252(text, &lost);
    r.unrepresentable += lost;

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        r.problem = writeProblem(file, out.error());
        return r;
    }
    r.written = true;
    return r;
}

void RegistryExchange::exportBlock(quint32 root, const QString &path, bool recurse, QString &out, ExportResult &r)
{
    out += regfile::keyLine(rootName(root) + path);
    ++r.keys;
    // The port holds the current user's keys only: under any other root
    // there is nothing to read, as with a key that cannot be opened.
    const bool readable = root == hkey::CurrentUser;
    QList<RegValue> values;
    bool read = !readable;
    if (readable)
        IgnoreFailure([&] {
            values = registry_.values(path);
            read = true;
        });
    if (!read)
        ++r.unreadable;
    for (const RegValue &v : values) {
        out += regfile::valueLine(v, &r.unrepresentable);
        ++r.values;
    }
    out += kCrLf + kCrLf; // an empty line ends the block, and one more follows it
    if (!recurse || !readable)
        return;
    QStringList subKeys;
    read = false;
    IgnoreFailure([&] {
        subKeys = registry_.subKeys(path);
        read = true;
    });
    if (!read)
        ++r.unreadable;
    for (const QString &name : subKeys)
        exportBlock(root, path + QLatin1Char('\\') + name, true, out, r);
}

ImportResult RegistryExchange::importTextFile(const QString &file)
{
    const QFileInfo info(file);
    if (info.isDir())
        return {};
    const QByteArray bytes = nothingChangedOnFailure(QString(), [&] {
        if (!info.exists())
            throw QyrError(err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(file));
        if (info.size() > kMaxTextFile)
            throw QyrError(err::InvalidFileFormat,
                           QStringLiteral("Il file %1 è troppo grande per essere un file di impostazioni.").arg(file));
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            throw QyrError(err::PathAccess, QStringLiteral("Impossibile leggere il file %1.").arg(file));
        return in.readAll();
    });
    const regfile::Parsed parsed =
        nothingChangedOnFailure(QStringLiteral("Il file %1 non è un file di registro valido.").arg(file),
                                [&] { return regfile::parse(bytes); });
    return apply(parsed);
}

ImportResult RegistryExchange::apply(const regfile::Parsed &parsed)
{
    using regfile::Entry;
    ImportResult r;
    QList<const Entry *> own;
    for (const Entry &e : parsed.entries) {
        const bool inside = insideProgramTree(e.root, e.path);
        if (e.kind == Entry::Key || e.kind == Entry::DeleteKey) {
            if (!inside)
                ++r.ignoredKeys;
        } else if (!inside) {
            ++r.ignoredValues;
            continue;
        } else if (e.kind == Entry::Skipped) {
            ++r.emptyValues;
            continue;
        }
        if (inside)
            own.append(&e);
    }
    if (own.isEmpty())
        return r;
    nothingChangedOnFailure(QString(), [&] {
        registry_.transaction([&] {
            for (const Entry *e : own) {
                switch (e->kind) {
                case Entry::Key:
                    ensureKey(e->path);
                    ++r.keys;
                    break;
                case Entry::DeleteKey:
                    registry_.deleteKey(e->path);
                    ++r.keys;
                    break;
                case Entry::SetValue:
                    registry_.setValue(e->path, e->value);
                    ++r.values;
                    break;
                case Entry::DeleteValue:
                    registry_.deleteValue(e->path, e->value.name);
                    ++r.values;
                    break;
                case Entry::Skipped:
                    break;
                }
            }
        });
    });
    r.applied = true;
    return r;
}

ImportResult RegistryExchange::restoreHive(const QString &keyPath, const QString &file, quint32 root)
{
    return nothingChangedOnFailure(QString(), [&] {
        if (!hives_)
            throw QyrError(err::CannotCreateObject,
                           QStringLiteral("La lettura dei file hive del registro non è disponibile."));
        const QString target = normalized(keyPath);
        const HiveContent content = hives_->read(file, target);
        checkNames(content.key, file, true);
        ImportResult r;
        if (root != hkey::CurrentUser || !insideProgramTree(QStringLiteral("HKEY_CURRENT_USER"), target)) {
            countTree(content.key, r.ignoredKeys, r.ignoredValues);
            return r;
        }
        registry_.transaction([&] {
            registry_.deleteKey(target);
            writeTree(target, content.key, r);
        });
        r.applied = true;
        return r;
    });
}

void RegistryExchange::ensureKey(const QString &key)
{
    if (registry_.keyExists(key))
        return;
    // The port makes keys only as a side effect of a save: an empty key is
    // made with a placeholder value that goes again at once.
    const QString placeholder = QStringLiteral("\x01qyr-nuova-chiave");
    registry_.setValue(key, RegValue::fromText(placeholder, QString()));
    registry_.deleteValue(key, placeholder);
}

void RegistryExchange::writeTree(const QString &path, const HiveKey &key, ImportResult &r)
{
    ensureKey(path);
    ++r.keys;
    for (const RegValue &v : key.values) {
        registry_.setValue(path, v);
        ++r.values;
    }
    for (const HiveKey &sub : key.subKeys)
        writeTree(path + QLatin1Char('\\') + sub.name, sub, r);
}

} // namespace qyr
