#pragma once
// Zips made at test time, as libraries and packers make them, and as a
// hostile sender would: entries from bytes or from a folder's files, any
// names, stored or deflated, links.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <zip.h>

namespace testzip {

class Maker {
public:
    explicit Maker(const QString &path)
    {
        int error = 0;
        zip_ = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    }
    ~Maker() { close(); }
    Maker(const Maker &) = delete;
    Maker &operator=(const Maker &) = delete;
    bool close() { return !zip_ || zip_close(std::exchange(zip_, nullptr)) == 0; }

    // An entry holding bytes; stored (not packed) when asked.
    Maker &add(const QString &name, const QByteArray &bytes, bool stored = false)
    {
        char *copy = static_cast<char *>(malloc(size_t(bytes.size()) + 1));
        memcpy(copy, bytes.constData(), size_t(bytes.size()));
        zip_source_t *src = zip_source_buffer(zip_, copy, zip_uint64_t(bytes.size()), 1);
        const zip_int64_t i = zip_file_add(zip_, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (i >= 0 && stored)
            zip_set_file_compression(zip_, zip_uint64_t(i), ZIP_CM_STORE, 0);
        return *this;
    }
    // An entry read from a file when the zip is written, stored: a large audio file without a copy in memory.
    Maker &addFile(const QString &name, const QString &path)
    {
        zip_source_t *src = zip_source_file(zip_, QFile::encodeName(path).constData(), 0, 0); // 0: to its end
        const zip_int64_t i = zip_file_add(zip_, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (i >= 0)
            zip_set_file_compression(zip_, zip_uint64_t(i), ZIP_CM_STORE, 0);
        return *this;
    }
    // A link to target, as packers on Unix store one.
    Maker &link(const QString &name, const QString &target)
    {
        add(name, target.toUtf8(), true);
        const zip_int64_t i = zip_name_locate(zip_, name.toUtf8().constData(), 0);
        zip_file_set_external_attributes(zip_, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777) << 16);
        return *this;
    }
    // Every file below folder, under prefix ("" or "folder/"); names in capitals when asked.
    Maker &addFolder(const QString &folder, const QString &prefix, bool upperNames = false)
    {
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QString name = QDir(folder).relativeFilePath(file);
            add(prefix + (upperNames ? name.toUpper() : name), f.readAll());
        }
        return *this;
    }

private:
    zip_t *zip_ = nullptr;
};

} // namespace testzip
