#pragma once
// Books packed in a zip, read as folders: once opened, the zip's path stands
// for the book's folder and each of its files is a file below it
// ("…/libro.zip/ncc.html"), also when the zip holds the book in one folder.
// Every other path goes to the files on disk. Nothing in a zip is written.
#include "../archive/ziparchive.h"
#include "../files.h"

#include <QDateTime>
#include <QList>

#include <memory>
#include <mutex>

namespace qyr {

class BookArchives : public IFiles, public IBookArchives {
public:
    explicit BookArchives(IFiles &disk) : disk_(disk) {}

    bool isArchive(const QString &path) override;
    Result<QString> openArchive(const QString &path) override;
    // The zip holding path and the name inside it, when path lies in one opened.
    struct Inside {
        std::shared_ptr<ZipArchive> zip;
        QString inner; // the entry's name in the zip
        QString book;  // the zip's path, which stands for the book's folder
        QString base;  // the folder inside the zip that holds the book, or ""
        bool isBook = false; // the path is the zip's own
    };
    std::optional<Inside> inside(const QString &path) const;

    bool fileExists(const QString &path) override;
    bool folderExists(const QString &path) override;
    QString resolve(const QString &path) override;
    QStringList folders(const QString &folder) override;
    QStringList files(const QString &folder, const QString &pattern = QString()) override;
    bool deleteFile(const QString &path) override;
    QStringList volumes() override { return disk_.volumes(); }
    Result<QByteArray> readFile(const QString &path, qint64 maxSize) override;
    Result<Done> writeFile(const QString &path, const QByteArray &bytes) override;
    bool makeFolder(const QString &path) override;
    bool makeWritable(const QString &path) override;
    bool sameFile(const QString &a, const QString &b) override;
    Result<QString> admit(const QString &root, const QString &path, BookFileKind kind) override;
    QString ownFolder() override { return disk_.ownFolder(); }
    bool isPacked(const QString &path) override;
    std::unique_ptr<IReadStream> openStream(const QString &path) override;

private:
    IFiles &disk_;
    struct Opened {
        std::shared_ptr<ZipArchive> zip;
        QString base;     // the folder inside the zip that holds the book, or ""
        QDateTime stamp;  // the zip as it was when opened
        qint64 size = 0;
    };
    mutable std::mutex lock_; // opened on the main thread, read from others
    QList<Opened> open_;
};

} // namespace qyr
