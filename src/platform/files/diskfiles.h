#pragma once
// Files on disk. On case-sensitive file systems a name is matched without
// regard to letter case, one path component at a time, since books made on
// Windows say CAP1.MP3 for cap1.mp3; of two names differing in case alone,
// the one CaseNames picks.
#include "../files.h"

namespace qyr {

class DiskFiles : public IFiles {
public:
    bool fileExists(const QString &path) override;
    bool folderExists(const QString &path) override;
    QString resolve(const QString &path) override;
    QStringList folders(const QString &folder) override;
    QStringList files(const QString &folder, const QString &pattern = QString()) override;
    bool deleteFile(const QString &path) override;
    QStringList volumes() override;
    Result<QByteArray> readFile(const QString &path, qint64 maxSize) override;
    Result<Done> writeFile(const QString &path, const QByteArray &bytes) override;
    bool makeFolder(const QString &path) override;
    bool makeWritable(const QString &path) override;
    bool sameFile(const QString &a, const QString &b) override;
    Result<QString> admit(const QString &root, const QString &path, BookFileKind kind) override;
    QString ownFolder() override;

private:
    QByteArray readWhole(const QString &path, qint64 maxSize);
};

} // namespace qyr
