#include "bookview.h"

#include <QCryptographicHash>
#include <QDir>

namespace qyr {

namespace {

const QString kPreferences = QStringLiteral("Player");
const QString kFolderValue = QStringLiteral("Cartella");
const QString kLastBookValue = QStringLiteral("UltimoLibro");

bool same(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

void copyTree(IRegistry &store, const QString &from, const QString &to)
{
    for (const RegValue &v : store.values(from))
        store.setValue(to, v);
    for (const QString &sub : store.subKeys(from))
        copyTree(store, from + QLatin1Char('\\') + sub, to + QLatin1Char('\\') + sub);
}

} // namespace

BookView::BookView(IRegistry &store) : store_(store) {}

QString BookView::booksKey() { return QStringLiteral("Software\\qyrplayer\\Libri"); }

QString BookView::bookKey(const QString &folder)
{
    QString form = QDir::cleanPath(QDir::fromNativeSeparators(folder));
#ifdef Q_OS_WIN
    form = form.toLower(); // one folder, whatever the letter case it was typed in
#endif
    const QByteArray hash = QCryptographicHash::hash(form.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return booksKey() + QLatin1Char('\\') + QString::fromLatin1(hash);
}

// The resume point belongs to the book; every other value of "Player" is a
// preference of the reader.
bool BookView::ownsValue(const QString &name)
{
    return same(name, QStringLiteral("Brano")) || same(name, QStringLiteral("BranoPos")) ||
           same(name, QStringLiteral("BranoAudio"));
}

void BookView::openBook(const QString &folder)
{
    const QString key = bookKey(folder);
    // Written only the first time: a start must not wait for a durable save.
    const auto known = store_.value(key, kFolderValue);
    if (!known || known->text() != folder) {
        store_.transaction([&] {
            if (!store_.keyExists(booksKey())) {
                bookKey_ = key;
                adoptOldSettings();
            }
            store_.setValue(key, RegValue::fromText(kFolderValue, folder));
        });
    }
    folder_ = folder;
    bookKey_ = key;
}

void BookView::adoptOldSettings()
{
    const QString program = programKey();
    for (const QString &sub : store_.subKeys(program)) {
        if (same(sub, kPreferences))
            continue;
        copyTree(store_, program + QLatin1Char('\\') + sub, bookKey_ + QLatin1Char('\\') + sub);
        store_.deleteKey(program + QLatin1Char('\\') + sub);
    }
    const QString preferences = program + QLatin1Char('\\') + kPreferences;
    for (const RegValue &v : store_.values(preferences)) {
        if (!ownsValue(v.name))
            continue;
        store_.setValue(bookKey_ + QLatin1Char('\\') + kPreferences, v);
        store_.deleteValue(preferences, v.name);
    }
}

QString BookView::lastBook()
{
    const auto v = store_.value(QStringLiteral("Software\\qyrplayer"), kLastBookValue);
    return v ? v->text() : QString();
}

void BookView::setLastBook(const QString &folder)
{
    if (lastBook() == folder)
        return;
    store_.setValue(QStringLiteral("Software\\qyrplayer"), RegValue::fromText(kLastBookValue, folder));
}

BookView::Route BookView::route(const QString &key) const
{
    static const QString program = programKey(); // read at every settings access
    if (bookKey_.isEmpty())
        return {Place::Outside, key};
    if (same(key, program))
        return {Place::Root, program};
    if (!key.startsWith(program + QLatin1Char('\\'), Qt::CaseInsensitive))
        return {Place::Outside, key};
    const QString rel = key.mid(program.size() + 1);
    if (same(rel, kPreferences))
        return {Place::Preferences, key};
    if (same(rel.section(QLatin1Char('\\'), 0, 0), kPreferences))
        return {Place::Outside, key}; // below the preferences: nothing of the book's
    return {Place::Book, bookKey_ + QLatin1Char('\\') + rel};
}

std::optional<RegValue> BookView::value(const QString &key, const QString &name)
{
    const Route r = route(key);
    if (r.place == Place::Preferences && ownsValue(name))
        return store_.value(bookKey_ + QLatin1Char('\\') + kPreferences, name);
    return store_.value(r.key, name);
}

void BookView::setValue(const QString &key, const RegValue &value)
{
    const Route r = route(key);
    if (r.place == Place::Preferences && ownsValue(value.name))
        store_.setValue(bookKey_ + QLatin1Char('\\') + kPreferences, value);
    else
        store_.setValue(r.key, value);
}

void BookView::deleteValue(const QString &key, const QString &name)
{
    const Route r = route(key);
    if (r.place == Place::Preferences && ownsValue(name))
        store_.deleteValue(bookKey_ + QLatin1Char('\\') + kPreferences, name);
    else
        store_.deleteValue(r.key, name);
}

void BookView::deleteKey(const QString &key)
{
    const Route r = route(key);
    switch (r.place) {
    case Place::Root:
        // The whole tree as seen: the preferences and this book's keys; the
        // other books keep theirs.
        store_.transaction([&] {
            store_.deleteKey(r.key);
            for (const QString &sub : store_.subKeys(bookKey_))
                store_.deleteKey(bookKey_ + QLatin1Char('\\') + sub);
            for (const RegValue &v : store_.values(bookKey_))
                if (!same(v.name, kFolderValue))
                    store_.deleteValue(bookKey_, v.name);
        });
        return;
    case Place::Preferences:
        store_.transaction([&] {
            store_.deleteKey(r.key);
            store_.deleteKey(bookKey_ + QLatin1Char('\\') + kPreferences);
        });
        return;
    default:
        store_.deleteKey(r.key);
    }
}

bool BookView::keyExists(const QString &key)
{
    const Route r = route(key);
    if (r.place == Place::Preferences)
        return store_.keyExists(r.key) || store_.keyExists(bookKey_ + QLatin1Char('\\') + kPreferences);
    if (r.place == Place::Root)
        return store_.keyExists(r.key) || !store_.subKeys(bookKey_).isEmpty();
    return store_.keyExists(r.key);
}

QStringList BookView::subKeys(const QString &key)
{
    const Route r = route(key);
    if (r.place != Place::Root)
        return store_.subKeys(r.key);
    // Only the preferences are kept in the program's key itself; the rest is the book's.
    QStringList out;
    for (const QString &sub : store_.subKeys(r.key))
        if (same(sub, kPreferences))
            out << sub;
    const bool listed = !out.isEmpty();
    for (const QString &sub : store_.subKeys(bookKey_))
        if (!same(sub, kPreferences))
            out << sub;
        else if (!listed)
            out.prepend(sub);
    return out;
}

QList<RegValue> BookView::values(const QString &key)
{
    const Route r = route(key);
    if (r.place != Place::Preferences)
        return store_.values(r.key);
    QList<RegValue> out;
    for (const RegValue &v : store_.values(r.key))
        if (!ownsValue(v.name))
            out << v;
    for (const RegValue &v : store_.values(bookKey_ + QLatin1Char('\\') + kPreferences))
        if (ownsValue(v.name))
            out << v;
    return out;
}

void BookView::transaction(const std::function<void()> &body) { store_.transaction(body); }

} // namespace qyr
