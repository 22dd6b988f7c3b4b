#pragma once
// The hive port on hivex: the file is opened read-only, without hivex's
// heuristics for damaged hives, and walked within limits of our own, since a
// hostile file can describe loops, endless nesting or huge values.
#include "../hive.h"

namespace qyr {

class HivexReader : public IHiveReader {
public:
    struct Limits {
        int maxDepth = 64;                     // levels below the key read
        int maxKeys = 20000;                   // keys read in all
        qint64 maxValueBytes = 1024 * 1024;    // data of one value
        qint64 maxTotalBytes = 32 * 1024 * 1024; // data of all values
    };
    HivexReader() = default;
    explicit HivexReader(const Limits &limits) : limits_(limits) {}

    HiveContent read(const QString &file, const QString &within) override;

private:
    Limits limits_;
};

} // namespace qyr
