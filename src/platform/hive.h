#pragma once
// Hive port: reads a binary registry hive file (the "regf" format that the
// registry saves a key into) as a tree of keys and typed values.
#include "errors.h"
#include "registry.h"

#include <QList>
#include <QString>

namespace qyr {

struct HiveKey {
    QString name;
    QList<RegValue> values; // data exactly as the hive holds it
    QList<HiveKey> subKeys;
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
    // Throws QyrError with an Italian description naming the file when it is
    // not a sound hive, or when it goes past the reader's limits.
    virtual HiveContent read(const QString &file, const QString &within) = 0;
};

} // namespace qyr
