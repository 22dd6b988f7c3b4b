#pragma once
// The hive port on hivex: the file is opened read-only, without hivex's
// heuristics for damaged hives, and walked within limits of our own, since a
// hostile file can describe loops, endless nesting or huge values.
#include "../hive.h"

namespace qyr {

class HivexReader : public IHiveReader {
public:
    using Limits = ImportLimits; // the same bounds as a registry text file's
    HivexReader() = default;
    explicit HivexReader(const Limits &limits) : limits_(limits) {}

    Result<HiveContent> read(const QString &file, const QString &within) override;

private:
    HiveContent readHive(const QString &file, const QString &within);

private:
    Limits limits_;
};

} // namespace qyr
