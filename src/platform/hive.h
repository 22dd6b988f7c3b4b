#pragma once
// Hive port: reads a binary registry hive file (the "regf" format that the
// registry saves a key into) as a tree of keys and typed values.
#include "errors.h"
#include "registry.h"
#include "result.h"

#include <QList>
#include <QString>

namespace qyr {

struct HiveKey {
    QString name;
    QList<RegValue> values; // data exactly as the hive holds it
    QList<HiveKey> subKeys;
};

// How much an imported settings file, a hive or a registry text file, may
// hold. The program's own tree is a few hundred keys and values; past these
// bounds every later start, export and safety copy would slow to a crawl.
struct ImportLimits {
    int maxDepth = 64;                       // levels below the key read
    int maxKeys = 20000;                     // keys in all
    int maxValues = 100000;                  // values in all
    qint64 maxValueBytes = 1024 * 1024;      // data of one value
    qint64 maxTotalBytes = 32 * 1024 * 1024; // data of all values
    qint64 maxFileBytes = 64 * 1024 * 1024;  // the file itself, checked before it is read
};

struct HiveContent {
    HiveKey key;  // the key read, with everything below it
    QString path; // where it was found below the hive's root; empty: the root itself
};

class IHiveReader {
public:
    virtual ~IHiveReader() = default;
    // Reads the hive in file. A key saved on its own is the hive's root; a
    // whole user profile holds the same key deeper down: when the root has
    // the key path `within` below it, that key is read instead of the root.
    // Fails with an Italian description naming the file when it is not a
    // sound hive, or when it goes past the reader's limits.
    virtual Result<HiveContent> read(const QString &file, const QString &within) = 0;
};

} // namespace qyr
