#include "registryexchange.h"

#include "../bookmarks/bookmarkstore.h"
#include "../platform/errorreport.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace qyr {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kUnchanged = QStringLiteral("Le impostazioni non sono state modificate.");

QString normalized(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

bool insideProgramTree(const QString &root, const QString &path)
{
    if (root.compare(QLatin1String("HKEY_CURRENT_USER"), Qt::CaseInsensitive) != 0)
        return false;
    const QString own = programKey();
    const QString p = normalized(path);
    return p.compare(own, Qt::CaseInsensitive) == 0 || p.startsWith(own + QLatin1Char('\\'), Qt::CaseInsensitive);
}

// A refusal as the reader hears it: with what it was about, and that nothing
// changed (true because every change runs in one transaction, after all reading).
Failure nothingChanged(const Failure &f, const QString &context = QString())
{
    const QString text = context.isEmpty() ? f.description : context + kCrLf + f.description;
    return Failure{f.number, text + kCrLf + kUnchanged};
}

// A page and a DAISY book keep 100 bookmarks at most, and list only those:
// a bookmark of a slot past them would be kept where the reader can never
// reach it, so a file that holds one is refused, as it says.
Result<Done> checkSlot(const QString &valueName, const QString &file, const QString &where)
{
    static const QRegularExpression slot(QStringLiteral("^0*([0-9]+)(NOME|NOMEAUDIO|FRASE)?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = slot.match(valueName); 
    if (!m.hasMatch() || (m.captured(1).size() <= 3 && m.captured(1).toInt() <= BookmarkStore::kSlots))
        return Done{};
    return Failure{err::InvalidFileFormat,
                   QStringLiteral("%1: il segnalibro numero %2 del file %3 è oltre i %4 che una pagina o un libro DAISY "
                                  "tiene, e non si potrebbe ritrovare.")
                       .arg(where, m.captured(1), file)
                       .arg(BookmarkStore::kSlots)};
}

Result<Done> checkNames(const HiveKey &key, const QString &file, bool isRoot)
{
    if (!isRoot && (key.name.isEmpty() || key.name.contains(QLatin1Char('\\'))))
        return Failure{
            err::InvalidFileFormat,
            QStringLiteral("Il file %1 contiene una chiave con un nome non valido (\"%2\").").arg(file, key.name)};
    for (const HiveKey &sub : key.subKeys)
        if (const Result<Done> named = checkNames(sub, file, false); !named)
            return named;
    return Done{};
}

Result<Done> checkSlots(const HiveKey &key, const QString &file)
{
    for (const RegValue &v : key.values)
        if (const Result<Done> kept = checkSlot(v.name, file, QStringLiteral("Chiave %1").arg(key.name)); !kept)
            return kept;
    for (const HiveKey &sub : key.subKeys)
        if (const Result<Done> kept = checkSlots(sub, file); !kept)
            return kept;
    return Done{};
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

QString nothingOfOurs(const QString &file)
{
    return QStringLiteral("Il file %1 non contiene impostazioni né segnalibri di QYR MediaPlayer: "
                          "non è stato importato.")
        .arg(file);
}

bool holdsOwnTree(const regfile::Parsed &parsed)
{
    return std::any_of(parsed.entries.begin(), parsed.entries.end(),
                       [](const regfile::Entry &e) { return insideProgramTree(e.root, e.path); });
}

// A bookmark's description value: "1NOME", "2NOME" and so on.
const QRegularExpression &descriptionName()
{
    static const QRegularExpression re(QStringLiteral("^([0-9]+)NOME$"), QRegularExpression::CaseInsensitiveOption);
    return re;
}

// Bookmarks by "page\nslot" (page in lower case, as the store ignores case),
// each with its description.
using Bookmarks = QMap<QString, QString>;

void noteBookmark(Bookmarks &marks, const QString &path, const QString &name, const QString *description)
{
    const QRegularExpressionMatch m = descriptionName().match(name);
    if (!m.hasMatch())
        return;
    const QString key = normalized(path).toLower() + QLatin1Char('\n') + m.captured(1);
    if (description && *description != QLatin1String("vuoto"))
        marks.insert(key, *description);
    else
        marks.remove(key);
}

void storedBookmarks(IRegistry &registry, const QString &path, Bookmarks &marks)
{
    for (const RegValue &v : registry.values(path)) {
        const QString text = v.text();
        noteBookmark(marks, path, v.name, &text);
    }
    for (const QString &sub : registry.subKeys(path))
        storedBookmarks(registry, path + QLatin1Char('\\') + sub, marks);
}

void hiveBookmarks(const HiveKey &key, const QString &path, Bookmarks &marks)
{
    for (const RegValue &v : key.values) {
        const QString text = v.text();
        noteBookmark(marks, path, v.name, &text);
    }
    for (const HiveKey &sub : key.subKeys)
        hiveBookmarks(sub, path + QLatin1Char('\\') + sub.name, marks);
}

// A hive saved from the program's key has its "Player" settings or at least
// one bookmark; any other hive is someone else's.
bool looksLikeOwnTree(const HiveKey &root)
{
    for (const HiveKey &sub : root.subKeys)
        if (sub.name.compare(QLatin1String("Player"), Qt::CaseInsensitive) == 0)
            return true;
    Bookmarks marks;
    hiveBookmarks(root, QString(), marks);
    return !marks.isEmpty();
}

// Descriptions that are on a page before and on the same page no more.
int lostBookmarks(const Bookmarks &before, const Bookmarks &after)
{
    QSet<QString> kept;
    for (auto it = after.begin(); it != after.end(); ++it)
        kept.insert(it.key().section(QLatin1Char('\n'), 0, 0) + QLatin1Char('\n') + it.value());
    int lost = 0;
    for (auto it = before.begin(); it != before.end(); ++it)
        lost += kept.contains(it.key().section(QLatin1Char('\n'), 0, 0) + QLatin1Char('\n') + it.value()) ? 0 : 1;
    return lost;
}

// The hive reader's bounds, on the part of a text file that would be
// written: a few kilobytes of text can name a key thousands of levels deep,
// and a few megabytes a million values.
Result<Done> checkLimits(const regfile::Parsed &parsed, const ImportLimits &limits, const QString &file)
{
    using regfile::Entry;
    auto refuse = [&](const QString &what) {
        return Failure{err::InvalidFileFormat, QStringLiteral("Il file %1 %2").arg(file, what)};
    };
    const int ownDepth = int(programKey().count(QLatin1Char('\\')));
    QSet<QString> keys; // in lower case, with the keys above them that a line makes too
    int values = 0;
    qint64 total = 0;
    for (const Entry &e : parsed.entries) {
        if (!insideProgramTree(e.root, e.path))
            continue;
        if (e.kind == Entry::Key) {
            QString path = normalized(e.path).toLower();
            const int depth = int(path.count(QLatin1Char('\\'))) - ownDepth;
            if (depth > limits.maxDepth)
                return refuse(QStringLiteral("contiene chiavi annidate per più di %1 livelli (riga %2).")
                                  .arg(limits.maxDepth)
                                  .arg(e.line));
            for (int level = depth; level >= 0 && !keys.contains(path); --level) {
                keys.insert(path);
                path.truncate(path.lastIndexOf(QLatin1Char('\\')));
            }
            if (keys.size() > limits.maxKeys)
                return refuse(QStringLiteral("contiene più di %1 chiavi.").arg(limits.maxKeys));
        } else if (e.kind == Entry::SetValue) {
            if (const Result<Done> kept = checkSlot(e.value.name, file, QStringLiteral("Riga %1").arg(e.line)); !kept)
                return kept;
            if (++values > limits.maxValues)
                return refuse(QStringLiteral("contiene più di %1 valori.").arg(limits.maxValues));
            const qint64 bytes = e.value.data.size();
            if (bytes > limits.maxValueBytes)
                return refuse(QStringLiteral("contiene un valore di %1 byte, oltre il limite di %2 byte (riga %3).")
                                  .arg(bytes)
                                  .arg(limits.maxValueBytes)
                                  .arg(e.line));
            total += bytes;
            if (total > limits.maxTotalBytes)
                return refuse(
                    QStringLiteral("contiene valori che superano in tutto %1 byte.").arg(limits.maxTotalBytes));
        }
    }
    return Done{};
}

QByteArray utf16Le(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (QChar c : text)
        out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return out;
}

const QString kHeader4 = QStringLiteral("REGEDIT4");
const QString kHeader5 = QStringLiteral("Windows Registry Editor Version 5.00");

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

RegistryExchange::RegistryExchange(IRegistry &registry, IFiles &files, IHiveReader *hives, const ImportLimits &limits)
    : registry_(registry), files_(files), hives_(hives), limits_(limits)
{
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
    QByteArray old;
    // An old file that cannot be read is written over, not added to.
    if (append && files_.fileExists(file))
        if (const Result<QByteArray> read = files_.readFile(file, limits_.maxFileBytes))
            old = *read;
    const bool oldIs5 = old.startsWith("\xFF\xFE");
    const bool oldIs4 = !old.isEmpty() && !oldIs5;

    // REGEDIT4 as long as it loses nothing; otherwise version 5, unless the
    // blocks go after a REGEDIT4 file's content (the format of a file is one).
    auto build = [&](regfile::Format format, ExportResult &r) {
        const bool five = format == regfile::Format::Version5;
        QString text;
        if (five ? !oldIs5 : !old.contains("REGEDIT4"))
            text = (five ? kHeader5 : kHeader4) + kCrLf + kCrLf;
        exportBlock(root, keyPath, recurse, text, r, format);
        return text;
    };
    ExportResult r;
    QString text = build(oldIs5 ? regfile::Format::Version5 : regfile::Format::Regedit4, r);
    QByteArray bytes;
    if (oldIs5) {
        r.version5 = true;
    } else {
        int lost = 0;
        bytes = regfile::toWindows1252(text, &lost);
        r.unrepresentable += lost;
        if (r.unrepresentable > 0 && !oldIs4) {
            r = ExportResult();
            text = build(regfile::Format::Version5, r);
            r.version5 = true;
        }
    }
    if (r.version5)
        bytes = (oldIs5 ? QByteArray() : QByteArray("\xFF\xFE")) + utf16Le(text);
    bytes.prepend(old);

    const Result<Done> written = files_.writeFile(file, bytes);
    r.written = written.ok();
    if (!written)
        r.problem = written.failure().description;
    return r;
}

void RegistryExchange::exportBlock(quint32 root, const QString &path, bool recurse, QString &out, ExportResult &r,
                                   regfile::Format format)
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
        out += regfile::valueLine(v, &r.unrepresentable, format);
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
        exportBlock(root, path + QLatin1Char('\\') + name, true, out, r, format);
}

ImportResult RegistryExchange::importTextFile(const QString &file)
{
    return carryOut(planTextFile(file).value()).value();
}

Result<ImportPlan> RegistryExchange::planTextFile(const QString &file)
{
    const Result<QByteArray> bytes = files_.readFile(file, limits_.maxFileBytes);
    if (!bytes)
        return nothingChanged(bytes.failure());
    const Result<regfile::Parsed> parsed = regfile::tryParse(*bytes, limits_.maxKeys + limits_.maxValues);
    if (!parsed)
        return nothingChanged(parsed.failure(),
                              QStringLiteral("Il file %1 non è un file di registro valido.").arg(file));
    ImportPlan plan;
    plan.file = file;
    plan.text = *parsed;
    if (!holdsOwnTree(plan.text))
        return nothingChanged(Failure{err::InvalidFileFormat, nothingOfOurs(file)});
    if (const Result<Done> bounded = checkLimits(plan.text, limits_, file); !bounded)
        return nothingChanged(bounded.failure());
    return countDeletedBookmarks(plan);
}

Result<ImportPlan> RegistryExchange::planHive(const QString &keyPath, const QString &file, quint32 root)
{
    if (!hives_)
        return nothingChanged(Failure{
            err::CannotCreateObject,
            QStringLiteral("L'importazione dei file hive del registro non è disponibile in questa installazione.")});
    ImportPlan plan;
    plan.file = file;
    plan.hive = true;
    plan.target = normalized(keyPath);
    const Result<HiveContent> content = hives_->read(file, plan.target);
    if (!content)
        return nothingChanged(content.failure());
    plan.content = *content;
    if (const Result<Done> named = checkNames(plan.content.key, file, true); !named)
        return nothingChanged(named.failure());
    plan.outsideOwnTree =
        root != hkey::CurrentUser || !insideProgramTree(QStringLiteral("HKEY_CURRENT_USER"), plan.target);
    if (plan.outsideOwnTree)
        return plan;
    if (const Result<Done> kept = checkSlots(plan.content.key, file); !kept)
        return nothingChanged(kept.failure());
    // A whole profile without the program's key gives its own root, and
    // any other saved key would replace every setting and bookmark.
    if (plan.content.path.isEmpty() && !looksLikeOwnTree(plan.content.key))
        return nothingChanged(Failure{err::InvalidFileFormat, nothingOfOurs(file)});
    return countDeletedBookmarks(plan);
}

// The plan with what it would cost in bookmarks; the store's failure to read
// them refuses it.
Result<ImportPlan> RegistryExchange::countDeletedBookmarks(ImportPlan &plan)
{
    const Result<Done> counted = resultOf([&] {
        countBookmarks(plan);
        return Done{};
    });
    if (!counted)
        return nothingChanged(counted.failure());
    return plan;
}

void RegistryExchange::countBookmarks(ImportPlan &plan)
{
    Bookmarks before;
    if (registry_.keyExists(programKey()))
        storedBookmarks(registry_, programKey(), before);
    Bookmarks after;
    if (plan.hive) {
        hiveBookmarks(plan.content.key, plan.target, after);
    } else {
        // The file's lines, in order, over what is stored now.
        after = before;
        using regfile::Entry;
        for (const Entry &e : plan.text.entries) {
            if (!insideProgramTree(e.root, e.path))
                continue;
            if (e.kind == Entry::DeleteKey) {
                const QString gone = normalized(e.path).toLower();
                for (auto it = after.begin(); it != after.end();)
                    it = it.key().startsWith(gone + QLatin1Char('\n')) || it.key().startsWith(gone + QLatin1Char('\\'))
                             ? after.erase(it)
                             : std::next(it);
            } else if (e.kind == Entry::DeleteValue) {
                noteBookmark(after, e.path, e.value.name, nullptr);
            } else if (e.kind == Entry::SetValue) {
                const QString text = e.value.text();
                noteBookmark(after, e.path, e.value.name, &text);
            }
        }
    }
    plan.bookmarks = int(before.size());
    plan.bookmarksDeleted = lostBookmarks(before, after);
}

Result<ImportResult> RegistryExchange::carryOut(const ImportPlan &plan)
{
    if (!plan.hive)
        return apply(plan.text);
    ImportResult r;
    if (plan.outsideOwnTree) {
        countTree(plan.content.key, r.ignoredKeys, r.ignoredValues);
        return r;
    }
    const Result<Done> written = resultOf([&] {
        registry_.transaction([&] {
            registry_.deleteKey(plan.target);
            writeTree(plan.target, plan.content.key, r);
        });
        return Done{};
    });
    if (!written)
        return nothingChanged(written.failure());
    r.applied = true;
    return r;
}

Result<ImportResult> RegistryExchange::apply(const regfile::Parsed &parsed)
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
        return nothingChanged(Failure{err::InvalidFileFormat, QStringLiteral("Il file non contiene impostazioni né "
                                                                             "segnalibri di QYR MediaPlayer: non è "
                                                                             "stato importato.")});
    const Result<Done> written = resultOf([&] {
        registry_.transaction([&] {
            for (const Entry *e : own)
                applyEntry(*e, r);
        });
        return Done{};
    });
    if (!written)
        return nothingChanged(written.failure());
    r.applied = true;
    return r;
}

void RegistryExchange::applyEntry(const regfile::Entry &e, ImportResult &r)
{
    using regfile::Entry;
    switch (e.kind) {
    case Entry::Key:
        ensureKey(e.path);
        ++r.keys;
        break;
    case Entry::DeleteKey:
        registry_.deleteKey(e.path);
        ++r.keys;
        break;
    case Entry::SetValue:
        registry_.setValue(e.path, e.value);
        ++r.values;
        break;
    case Entry::DeleteValue:
        registry_.deleteValue(e.path, e.value.name);
        ++r.values;
        break;
    case Entry::Skipped: break;
    }
}

ImportResult RegistryExchange::restoreHive(const QString &keyPath, const QString &file, quint32 root)
{
    return carryOut(planHive(keyPath, file, root).value()).value();
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
