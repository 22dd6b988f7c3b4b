#pragma once
// Files port. The real adapter takes a path in any form the book may write
// (a file:// address, "\" between names) through pathFromAddress, and on
// case-sensitive file systems finds a file whatever the letter case asked for.
#include <QString>
#include <QStringList>

namespace qyr {

class IFiles {
public:
    virtual ~IFiles() = default;
    virtual bool fileExists(const QString &path) = 0;
    virtual bool folderExists(const QString &path) = 0;
    // The path as it exists on disk (letter case resolved), or empty.
    virtual QString resolve(const QString &path) = 0;
    virtual QStringList folders(const QString &folder) = 0; // names only, sorted
    virtual QStringList files(const QString &folder, const QString &pattern = QString()) = 0;
    virtual bool deleteFile(const QString &path) = 0;
    // The roots searched, in order, for a book moved to another drive: the
    // drives C: to Z: on Windows; elsewhere the volumes mounted below /media,
    // /run/media and /mnt, then the home folder.
    virtual QStringList volumes() = 0;
};

} // namespace qyr
