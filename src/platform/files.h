#pragma once
// Files port. The real adapter takes a path in any form the book may write
// (a file:// address, "\" between names) through pathFromAddress, and on
// case-sensitive file systems finds a file whatever the letter case asked for.
#include "bookscope.h"
#include "result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace qyr {

// A file read piece by piece from where it lies (inside a zip): what a
// player reads a sound with.
class IReadStream {
public:
    virtual ~IReadStream() = default;
    virtual qint64 size() const = 0;
    // Bytes read (0 at the end), or -1.
    virtual qint64 read(char *to, qint64 max) = 0;
    virtual bool seek(qint64 position) = 0;
};

class IFiles {
public:
    virtual ~IFiles() = default;
    virtual bool fileExists(const QString &path) = 0;
    virtual bool folderExists(const QString &path) = 0;
    // The path as it exists on disk (letter case resolved), or empty.
    virtual QString resolve(const QString &path) = 0;
    virtual QStringList folders(const QString &folder) = 0; // names only, sorted
    virtual QStringList files(const QString &folder, const QString &pattern = QString()) = 0;
    [[nodiscard]] virtual bool deleteFile(const QString &path) = 0;
    // The roots searched, in order, for a book moved to another drive: the
    // drives C: to Z: on Windows; elsewhere the volumes mounted below /media,
    // /run/media and /mnt, then the home folder.
    virtual QStringList volumes() = 0;

    // Whole files, for the settings files exported and imported. readFile
    // fails, naming the file, when it is missing, unreadable, not a regular
    // file once links are followed (a folder, a device, a pipe) or larger
    // than maxSize, which it never reads past whatever size the file
    // reports. writeFile puts the new content in place only once written
    // whole; its failure says why in Italian.
    virtual Result<QByteArray> readFile(const QString &path, qint64 maxSize) = 0;
    virtual Result<Done> writeFile(const QString &path, const QByteArray &bytes) = 0;
    [[nodiscard]] virtual bool makeFolder(const QString &path) = 0; // with any folder above it
    [[nodiscard]] virtual bool makeWritable(const QString &path) = 0;
    virtual bool sameFile(const QString &a, const QString &b) = 0;
    // A file of the book whose folder is root, named in any letter case, as
    // the one rule for a book's files (bookscope.h) takes it: its real path,
    // or why it is refused.
    virtual Result<QString> admit(const QString &root, const QString &path, BookFileKind kind) = 0;
    // Where the program keeps its own files (safety copies, test exports).
    virtual QString ownFolder() = 0;
    // A file of a book packed in a zip (read in place, never from the disk by
    // its path), and a stream of it; a file on disk is opened by its path.
    virtual bool isPacked(const QString &) { return false; }
    virtual std::unique_ptr<IReadStream> openStream(const QString &) { return nullptr; }
};

// Opening a packed book: the part of the program that opens books asks this,
// and needs nothing else of the zip.
class IBookArchives {
public:
    virtual ~IBookArchives() = default;
    // True for a file a library hands books out in (a zip, whatever its name).
    virtual bool isArchive(const QString &path) = 0;
    // Opens the zip for reading in place; the folder of the book inside it
    // (the zip itself, or the one folder holding everything), or why it is
    // refused, in Italian.
    virtual Result<QString> openArchive(const QString &path) = 0;
};

} // namespace qyr
