#pragma once
// A book packed in one zip file (a library hands books out as .zip or
// .daisy), read in place: entries are found by name in any letter case and
// read whole (texts) or as a stream (sound); nothing is unpacked to disk.
// A zip is someone else's: it is checked whole when opened, and one that
// could reach outside itself or swell past reason is refused.
#include "../files.h"
#include "../result.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

typedef struct zip zip_t;
typedef struct zip_file zip_file_t;

namespace qyr {

// One entry's data read from its own handle, for a player's thread.
class ZipStream : public IReadStream {
public:
    ZipStream(const QString &archive, qint64 index, qint64 size, bool stored);
    ~ZipStream();
    ZipStream(const ZipStream &) = delete;
    ZipStream &operator=(const ZipStream &) = delete;
    bool isOpen() const { return file_ != nullptr; }
    qint64 size() const override { return size_; }
    qint64 read(char *to, qint64 max) override;
    // A packed entry cannot jump: it is read again from its start up to the
    // place asked for.
    bool seek(qint64 position) override;

private:
    bool reopen();
    zip_t *zip_ = nullptr;
    zip_file_t *file_ = nullptr;
    qint64 index_ = 0, size_ = 0, position_ = 0;
    bool stored_ = false;
};

class ZipArchive {
public:
    struct Entry {
        QString name; // as in the zip, "/" between folders
        qint64 index = 0;
        qint64 size = 0;
        qint64 packed = 0;
        bool stored = false;
    };

    // Checks the whole zip: every name stays inside it (no "..", no absolute
    // name), no entry is a link, none of more than 1 MB swells past 100 times
    // its packed size, none past 4 GiB. The failure says in Italian what is wrong, naming it.
    static Result<std::shared_ptr<ZipArchive>> open(const QString &path);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    const QString &path() const { return path_; }
    // The entry named inner ("a/b.smil", any letter case), or null.
    const Entry *find(const QString &inner) const;
    bool isFolder(const QString &inner) const;
    // Names directly inside a folder of the zip ("" for its top), sorted.
    QStringList files(const QString &folder) const;
    QStringList folders(const QString &folder) const;
    // The entry whole; refused past maxSize.
    Result<QByteArray> read(const Entry &entry, qint64 maxSize) const;
    std::unique_ptr<ZipStream> stream(const Entry &entry) const;

private:
    ZipArchive() = default;
    void addFolder(QString folder);
    QString path_;
    zip_t *zip_ = nullptr;
    mutable std::mutex lock_; // one handle, read from the reader's threads
    QList<Entry> entries_;
    QHash<QString, int> byName_;               // folded name -> entry
    QHash<QString, QStringList> filesIn_;      // folded folder -> file names
    QHash<QString, QStringList> foldersIn_;    // folded folder -> folder names
};

// The largest an entry may grow when unpacked, and the most an entry of
// more than a megabyte may grow against its packed size.
constexpr qint64 kZipEntryLimit = qint64(4) * 1024 * 1024 * 1024;
constexpr qint64 kZipRatioLimit = 100;
constexpr qint64 kZipSwellFloor = 1024 * 1024; // below this, the ratio is not asked

// True when the file starts as a zip does.
bool looksLikeZip(const QString &path);

} // namespace qyr
