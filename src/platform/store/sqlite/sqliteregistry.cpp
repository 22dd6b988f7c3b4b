#include "sqliteregistry.h"
#include "../../errors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace qyr {

namespace {

enum Stmt {
    FindChild,
    InsertKey,
    GetValue,
    UpsertValue,
    DeleteValue,
    ListChildren,
    ListValues,
    Count
};

const char *const kSql[] = {
    "SELECT id FROM keys WHERE parent=?1 AND fold=?2",
    "INSERT INTO keys(parent,name,fold) VALUES(?1,?2,?3)",
    "SELECT name,type,data FROM vals WHERE key=?1 AND fold=?2",
    "INSERT INTO vals(key,name,fold,type,data) VALUES(?1,?2,?3,?4,?5) "
    "ON CONFLICT(key,fold) DO UPDATE SET name=excluded.name,type=excluded.type,data=excluded.data",
    "DELETE FROM vals WHERE key=?1 AND fold=?2",
    "SELECT id,name FROM keys WHERE parent=?1 ORDER BY fold",
    "SELECT name,type,data FROM vals WHERE key=?1 ORDER BY rowid",
};

const char *const kMarker = "qyrplayer-settings-1";

QStringList parts(const QString &key)
{
    return key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// Names compare without regard to case in every alphabet; most are plain
// ASCII, where lower case is the same and much cheaper.
QString fold(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return s.toCaseFolded();
    return s.toLower();
}

void bindText(sqlite3_stmt *s, int i, const QString &t)
{
    const QByteArray u = t.toUtf8();
    sqlite3_bind_text(s, i, u.constData(), u.size(), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt *s, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, i)), sqlite3_column_bytes(s, i));
}

QByteArray columnBlob(sqlite3_stmt *s, int i)
{
    const void *p = sqlite3_column_blob(s, i);
    return p ? QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(s, i)) : QByteArray();
}

struct Reset {
    sqlite3_stmt *s;
    ~Reset()
    {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
};

// What went wrong, in the reader's language; SQLite's own words only for
// the rare failures that have no name here.
QString describe(int rc, sqlite3 *db)
{
    switch (rc & 0xff) {
    case SQLITE_FULL: return QStringLiteral("il disco è pieno");
    case SQLITE_READONLY: return QStringLiteral("il file è di sola lettura");
    case SQLITE_PERM:
    case SQLITE_AUTH: return QStringLiteral("mancano i permessi per usarlo");
    case SQLITE_CANTOPEN: return QStringLiteral("il file non si può aprire né creare (permessi o percorso)");
    case SQLITE_IOERR: return QStringLiteral("errore di lettura o scrittura sul disco");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("il file è bloccato da un altro programma");
    case SQLITE_NOMEM: return QStringLiteral("memoria insufficiente");
    case SQLITE_NOTADB: return QStringLiteral("il file non è un database di impostazioni");
    case SQLITE_CORRUPT: return QStringLiteral("il database è danneggiato");
    default:
        return QStringLiteral("errore %1 di SQLite: %2")
            .arg(rc)
            .arg(db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)));
    }
}

// Damage is what the file's own bytes say, never a failure of the disk or
// of the permissions around it.
bool damage(int rc)
{
    return (rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT;
}

} // namespace

// An existing database: ours, in our format and sound, or why not.
SqliteRegistry::Problem SqliteRegistry::checkOwnDatabase(sqlite3 *db, const QStringList &tables)
{
    auto failed = [db](int rc) { return Problem{describe(rc, db), damage(rc)}; };
    // A sound database that is not ours belongs to some other program:
    // it is left alone.
    if (!tables.contains(QLatin1String("meta")))
        return {QStringLiteral("il file è un database di un altro programma"), false};
    sqlite3_stmt *m = nullptr;
    QString marker;
    if (sqlite3_prepare_v2(db, "SELECT v FROM meta WHERE k='format'", -1, &m, nullptr) == SQLITE_OK &&
        sqlite3_step(m) == SQLITE_ROW)
        marker = columnText(m, 0);
    sqlite3_finalize(m);
    if (marker != QLatin1String(kMarker))
        return {QStringLiteral("formato delle impostazioni sconosciuto (forse di una versione più recente)"), false};
    sqlite3_stmt *q = nullptr;
    QString check;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &q, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(q)) == SQLITE_ROW)
        check = columnText(q, 0);
    sqlite3_finalize(q);
    if (check.isEmpty())
        return failed(rc);
    if (check != QLatin1String("ok"))
        return {QStringLiteral("il database è danneggiato (%1)").arg(check), true};
    return {};
}

SqliteRegistry::Problem SqliteRegistry::prepareSchema(sqlite3 *db)
{
    auto failed = [db](int rc) { return Problem{describe(rc, db), damage(rc)}; };
    auto run = [&](const char *sql) -> Problem {
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        return rc == SQLITE_OK ? Problem{} : failed(rc);
    };
    // Any read of a file that is not a database fails here.
    sqlite3_stmt *s = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table'", -1, &s, nullptr);
    if (rc != SQLITE_OK)
        return failed(rc);
    QStringList tables;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        tables << columnText(s, 0);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        return failed(rc);
    if (!tables.isEmpty()) {
        const Problem p = checkOwnDatabase(db, tables);
        if (!p.text.isEmpty())
            return p;
    }
    for (const char *sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=OFF"}) {
        Problem p = run(sql);
        if (!p.text.isEmpty())
            return p;
    }
    return run("BEGIN;"
               "CREATE TABLE IF NOT EXISTS meta(k TEXT PRIMARY KEY, v TEXT);"
               "INSERT OR IGNORE INTO meta(k,v) VALUES('format','qyrplayer-settings-1');"
               "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, "
               " name TEXT NOT NULL, fold TEXT NOT NULL, UNIQUE(parent,fold));"
               "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL, "
               " type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key,fold));"
               "COMMIT;");
}

namespace {

// What one attempt to open the settings creates on disk (the file, its
// folders), so that a failure can leave the disk as it was.
struct Creation {
    explicit Creation(const QString &file) : file(file), info(file), existed(info.exists())
    {
        if (file == QLatin1String(":memory:")) // SQLite's name for a store without a file
            return;
        firstMade = info.absolutePath();
        // A root that is not there (a missing drive) is its own parent: the climb stops at it.
        for (QString up; !QFileInfo::exists(up = QFileInfo(firstMade).absolutePath()) && up != firstMade;)
            firstMade = up;
        madeFolders = !QFileInfo::exists(firstMade);
    }
    void undo() const
    {
        if (existed)
            return;
        for (const char *sfx : {"", "-wal", "-shm", "-journal"})
            QFile::remove(file + QLatin1String(sfx));
        if (!madeFolders)
            return;
        for (QString d = info.absolutePath(); d.size() >= firstMade.size(); d = QFileInfo(d).absolutePath())
            if (!QDir().rmdir(d))
                break;
    }
    QString file;
    QFileInfo info;
    bool existed;
    bool madeFolders = false;
    QString firstMade;
};

// Keeps a damaged file (and its journal) beside the new one; its new name,
// or empty when it cannot be moved.
QString setAside(const QString &file)
{
    const QString aside =
        file + QStringLiteral(".danneggiato-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(file, aside))
        return QString();
    for (const char *sfx : {"-wal", "-shm"})
        if (QFile::exists(file + QLatin1String(sfx)))
            QFile::rename(file + QLatin1String(sfx), aside + QLatin1String(sfx));
    return aside;
}

} // namespace

SqliteRegistry::Problem SqliteRegistry::tryOpen(const QString &file, sqlite3 *&db)
{
    db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return {describe(rc, db), false};
    sqlite3_busy_timeout(db, 2000);
    return prepareSchema(db);
}

SqliteRegistry::Opened SqliteRegistry::open(const QString &file)
{
    Opened result;
    if (QFileInfo(file).isDir()) {
        result.problem = QStringLiteral("è una cartella, non un file");
        return result;
    }
    const Creation made(file);
    if (made.madeFolders && !QDir().mkpath(made.info.absolutePath())) {
        result.problem = QStringLiteral("la cartella %1 non si può creare").arg(made.info.absolutePath());
        return result;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3 *db = nullptr;
        const Problem problem = tryOpen(file, db);
        if (problem.text.isEmpty()) {
            result.store.reset(new SqliteRegistry(db, file));
            return result;
        }
        sqlite3_close_v2(db);
        if (attempt == 1) {
            result.problem += QStringLiteral("; anche il nuovo file non si apre: ") + problem.text;
            return result;
        }
        // Only a file that is really damaged is set aside: a full disk, a
        // file we may not write or someone else's database stays as it is.
        result.problem = problem.text;
        if (!problem.damaged || !made.existed) {
            made.undo();
            return result;
        }
        result.movedAside = setAside(file);
        if (result.movedAside.isEmpty()) {
            result.problem += QStringLiteral("; il file non può essere spostato");
            return result;
        }
    }
    return result;
}

SqliteRegistry::SqliteRegistry(sqlite3 *db, QString file) : db_(db), file_(std::move(file)) {}

SqliteRegistry::~SqliteRegistry()
{
    for (auto *s : stmts_)
        sqlite3_finalize(s);
    sqlite3_finalize(versionStmt_);
    sqlite3_close_v2(db_);
}

void SqliteRegistry::fail(const QString &what)
{
    throw QyrError(err::SettingsStore,
                   QStringLiteral("Archivio delle impostazioni: %1 (%2)").arg(what, describe(sqlite3_extended_errcode(db_), db_)));
}

sqlite3_stmt *SqliteRegistry::stmt(int which)
{
    if (!stmts_[which] && sqlite3_prepare_v3(db_, kSql[which], -1, SQLITE_PREPARE_PERSISTENT, &stmts_[which], nullptr) != SQLITE_OK)
        fail(QStringLiteral("istruzione non valida"));
    return stmts_[which];
}

void SqliteRegistry::exec(const char *sql)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QString::fromUtf8(sql));
}

// The id of a key's child by name, or -1 when there is none.
qint64 SqliteRegistry::childId(qint64 parent, const QString &name, const QString &key)
{
    sqlite3_stmt *s = stmt(FindChild);
    Reset r{s};
    sqlite3_bind_int64(s, 1, parent);
    bindText(s, 2, fold(name));
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE)
        return -1;
    if (rc != SQLITE_ROW)
        fail(QStringLiteral("lettura della chiave %1").arg(key));
    return sqlite3_column_int64(s, 0);
}

qint64 SqliteRegistry::findKey(const QString &key)
{
    const QString f = fold(parts(key).join(QLatin1Char('\\')));
    const auto it = keyCache_.constFind(f);
    if (it != keyCache_.constEnd())
        return it.value();
    qint64 id = 0;
    for (const QString &p : parts(key)) {
        id = childId(id, p, key);
        if (id < 0)
            break;
    }
    // Absent keys are remembered too (most staging sections never exist);
    // making a key replaces the entry.
    keyCache_.insert(f, id < 0 ? -1 : id);
    return id < 0 ? -1 : id;
}

qint64 SqliteRegistry::ensureKey(const QString &key)
{
    const qint64 found = findKey(key);
    if (found >= 0)
        return found;
    qint64 id = 0;
    QString path;
    for (const QString &p : parts(key)) {
        path += (path.isEmpty() ? QString() : QStringLiteral("\\")) + p;
        qint64 child = childId(id, p, key);
        if (child < 0) {
            sqlite3_stmt *s = stmt(InsertKey);
            Reset r{s};
            sqlite3_bind_int64(s, 1, id);
            bindText(s, 2, p);
            bindText(s, 3, fold(p));
            if (sqlite3_step(s) != SQLITE_DONE)
                fail(QStringLiteral("creazione della chiave %1").arg(key));
            child = sqlite3_last_insert_rowid(db_);
        }
        // Every key on the way may have been remembered as absent.
        keyCache_.insert(fold(path), child);
        id = child;
    }
    return id;
}

void SqliteRegistry::dropValues()
{
    valueCache_.clear();
    lastValues_ = nullptr;
}

bool SqliteRegistry::cacheStillValid()
{
    // Asking SQLite costs more than the read itself, so another process's
    // writes are looked for at most every 50 ms.
    if (checked_.isValid() && checked_.elapsed() < 50)
        return true;
    checked_.start();
    if (!versionStmt_ && sqlite3_prepare_v3(db_, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT, &versionStmt_,
                                            nullptr) != SQLITE_OK)
        return false;
    qint64 v = -2;
    if (sqlite3_step(versionStmt_) == SQLITE_ROW)
        v = sqlite3_column_int64(versionStmt_, 0);
    sqlite3_reset(versionStmt_);
    if (v != dataVersion_) {
        dataVersion_ = v;
        dropValues();
        keyCache_.clear();
        return false;
    }
    return true;
}

std::optional<RegValue> SqliteRegistry::value(const QString &key, const QString &name)
{
    if (txDepth_ > 0)
        return readValue(key, name); // inside our own writes: the file itself
    cacheStillValid();
    // A key's values are read all at once, the first time one is asked for:
    // a page's bookmarks are read slot by slot, most of them absent, so
    // asking SQLite for each would cost far more than the one query.
    // Reads come in runs on one key: the last one is remembered as written.
    if (!lastValues_ || key != lastKey_) {
        const QString folded = fold(parts(key).join(QLatin1Char('\\')));
        auto it = valueCache_.find(folded);
        if (it == valueCache_.end()) {
            QHash<QString, RegValue> all;
            for (RegValue &v : values(key))
                all.insert(fold(v.name), std::move(v));
            it = valueCache_.insert(folded, std::move(all));
        }
        lastKey_ = key;
        lastValues_ = &it.value();
    }
    const auto hit = lastValues_->constFind(fold(name));
    if (hit == lastValues_->constEnd())
        return std::nullopt;
    return hit.value();
}

std::optional<RegValue> SqliteRegistry::readValue(const QString &key, const QString &name)
{
    const qint64 id = findKey(key);
    if (id < 0)
        return std::nullopt;
    sqlite3_stmt *s = stmt(GetValue);
    Reset r{s};
    sqlite3_bind_int64(s, 1, id);
    bindText(s, 2, fold(name));
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE)
        return std::nullopt;
    if (rc != SQLITE_ROW)
        fail(QStringLiteral("lettura del valore %1").arg(name));
    return RegValue{columnText(s, 0), quint32(sqlite3_column_int64(s, 1)), columnBlob(s, 2)};
}

void SqliteRegistry::setValue(const QString &key, const RegValue &v)
{
    dropValues();
    transaction([&] {
        const qint64 id = ensureKey(key);
        sqlite3_stmt *s = stmt(UpsertValue);
        Reset r{s};
        sqlite3_bind_int64(s, 1, id);
        bindText(s, 2, v.name);
        bindText(s, 3, fold(v.name));
        sqlite3_bind_int64(s, 4, v.type);
        sqlite3_bind_blob(s, 5, v.data.constData(), int(v.data.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(s) != SQLITE_DONE)
            fail(QStringLiteral("salvataggio del valore %1").arg(v.name));
    });
}

void SqliteRegistry::deleteValue(const QString &key, const QString &name)
{
    dropValues();
    // Inside a transaction, so that the key is looked up as the file holds it now.
    transaction([&] {
        const qint64 id = findKey(key);
        if (id < 0)
            return;
        sqlite3_stmt *s = stmt(DeleteValue);
        Reset r{s};
        sqlite3_bind_int64(s, 1, id);
        bindText(s, 2, fold(name));
        if (sqlite3_step(s) != SQLITE_DONE)
            fail(QStringLiteral("cancellazione del valore %1").arg(name));
    });
}

void SqliteRegistry::deleteKey(const QString &key)
{
    dropValues();
    transaction([&] {
        const qint64 id = findKey(key);
        if (id <= 0)
            return; // absent, or the root, which is never deleted
        sqlite3_stmt *s = nullptr;
        const char *sql =
            "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent=sub.id) "
            "SELECT id FROM sub";
        if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK)
            fail(QStringLiteral("cancellazione della chiave %1").arg(key));
        QList<qint64> ids;
        sqlite3_bind_int64(s, 1, id);
        while (sqlite3_step(s) == SQLITE_ROW)
            ids << sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        for (qint64 k : ids) {
            sqlite3_stmt *d = nullptr;
            sqlite3_prepare_v2(db_, "DELETE FROM vals WHERE key=?1", -1, &d, nullptr);
            sqlite3_bind_int64(d, 1, k);
            const int rc1 = sqlite3_step(d);
            sqlite3_finalize(d);
            sqlite3_prepare_v2(db_, "DELETE FROM keys WHERE id=?1", -1, &d, nullptr);
            sqlite3_bind_int64(d, 1, k);
            const int rc2 = sqlite3_step(d);
            sqlite3_finalize(d);
            if (rc1 != SQLITE_DONE || rc2 != SQLITE_DONE)
                fail(QStringLiteral("cancellazione della chiave %1").arg(key));
        }
    });
    keyCache_.clear();
}

bool SqliteRegistry::keyExists(const QString &key)
{
    if (txDepth_ == 0)
        cacheStillValid();
    return findKey(key) >= 0;
}

// Each row the listing statement gives for the key, to row; nothing for a
// key that does not exist.
void SqliteRegistry::forEachRow(const QString &key, int which, const QString &what,
                                const std::function<void(sqlite3_stmt *)> &row)
{
    if (txDepth_ == 0)
        cacheStillValid();
    const qint64 id = findKey(key);
    if (id < 0)
        return;
    sqlite3_stmt *s = stmt(which);
    Reset r{s};
    sqlite3_bind_int64(s, 1, id);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        row(s);
    if (rc != SQLITE_DONE)
        fail(what.arg(key));
}

QStringList SqliteRegistry::subKeys(const QString &key)
{
    QStringList out;
    forEachRow(key, ListChildren, QStringLiteral("elenco delle chiavi di %1"),
               [&](sqlite3_stmt *s) { out << columnText(s, 1); });
    return out;
}

QList<RegValue> SqliteRegistry::values(const QString &key)
{
    QList<RegValue> out;
    forEachRow(key, ListValues, QStringLiteral("elenco dei valori di %1"), [&](sqlite3_stmt *s) {
        out << RegValue{columnText(s, 0), quint32(sqlite3_column_int64(s, 1)), columnBlob(s, 2)};
    });
    return out;
}

void SqliteRegistry::transaction(const std::function<void()> &body)
{
    if (txDepth_ > 0) {
        body();
        return;
    }
    exec("BEGIN IMMEDIATE");
    // Holding the write lock, the file is the truth: whatever another copy
    // of the program committed since our last look must be seen now, not up
    // to 50 ms later, or a slot it has just filled would look free.
    checked_.invalidate();
    cacheStillValid();
    ++txDepth_;
    try {
        body();
        --txDepth_;
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            ++txDepth_; // rolled back below, as a failed body is
            fail(QStringLiteral("conferma delle modifiche"));
        }
    } catch (...) {
        --txDepth_;
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        keyCache_.clear(); // ids of keys made in the rolled-back work are gone
        dropValues();
        throw;
    }
}

} // namespace qyr
