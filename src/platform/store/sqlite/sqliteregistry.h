#pragma once
// The settings tree in an SQLite file: keys nested at each backslash, names
// compared without regard to case (full Unicode case folding), typed values,
// every write durable when it returns (WAL, synchronous=FULL).
#include "../../registry.h"

#include <QElapsedTimer>
#include <QHash>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace qyr {

class SqliteRegistry : public IRegistry {
public:
    struct Opened {
        std::unique_ptr<SqliteRegistry> store;
        QString movedAside; // where a damaged file was kept, if one was
        QString problem;    // what was wrong with it
    };
    // Opens (or creates) the file. A damaged file is renamed beside itself,
    // never deleted, and a new one made; any other failure (a folder, a full
    // disk, no permission, another program's database) changes nothing and
    // gives no store, with the reason in problem.
    static Opened open(const QString &file);
    ~SqliteRegistry() override;

    std::optional<RegValue> value(const QString &key, const QString &name) override;
    void setValue(const QString &key, const RegValue &value) override;
    void deleteValue(const QString &key, const QString &name) override;
    void deleteKey(const QString &key) override;
    bool keyExists(const QString &key) override;
    QStringList subKeys(const QString &key) override;
    QList<RegValue> values(const QString &key) override;
    void transaction(const std::function<void()> &body) override;

    const QString &fileName() const { return file_; }

private:
    explicit SqliteRegistry(sqlite3 *db, QString file);
    struct Problem {
        QString text; // empty when fine
        bool damaged = false;
    };
    static Problem prepareSchema(sqlite3 *db);
    static Problem checkOwnDatabase(sqlite3 *db, const QStringList &tables);
    static Problem tryOpen(const QString &file, sqlite3 *&db);
    std::optional<RegValue> readValue(const QString &key, const QString &name);
    sqlite3_stmt *stmt(int which);
    void forEachRow(const QString &key, int which, const QString &what, const std::function<void(sqlite3_stmt *)> &row);
    qint64 childId(qint64 parent, const QString &name, const QString &key);
    qint64 findKey(const QString &key);          // -1 when absent
    qint64 ensureKey(const QString &key);
    void exec(const char *sql);
    [[noreturn]] void fail(const QString &what);

    sqlite3 *db_;
    QString file_;
    bool cacheStillValid();
    QHash<QString, qint64> keyCache_;
    // Values already read. Another process writing the same file changes
    // SQLite's data_version, which empties the cache (seen within 50 ms, and
    // at once when a write transaction begins); our own writes empty it at once.
    QHash<QString, QHash<QString, RegValue>> valueCache_; // folded key -> folded name -> value
    QString lastKey_;                                     // the key last read, as the caller wrote it
    const QHash<QString, RegValue> *lastValues_ = nullptr; // its values in the cache
    void dropValues();
    qint64 dataVersion_ = -1;
    QElapsedTimer checked_;
    sqlite3_stmt *stmts_[12] = {};
    sqlite3_stmt *versionStmt_ = nullptr;
    int txDepth_ = 0;
};

} // namespace qyr
