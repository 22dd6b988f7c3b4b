#include "diskfiles.h"
#include "../bookpath.h"
#include "../errors.h"
#include "casenames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qyr {

QString DiskFiles::resolve(const QString &path)
{
    const QString native = QDir::fromNativeSeparators(pathFromAddress(path));
    if (native.isEmpty())
        return QString();
    if (QFileInfo::exists(native))
        return native;
#ifdef Q_OS_WIN
    return QString();
#else
    const QStringList parts = native.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = QStringLiteral("/");
    for (const QString &part : parts) {
        const QString direct = QDir(current).filePath(part);
        if (QFileInfo::exists(direct)) {
            current = direct;
            continue;
        }
        const QString match =
            CaseNames(QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
                .find(part);
        if (match.isEmpty())
            return QString();
        current = QDir(current).filePath(match);
    }
    return current;
#endif
}

bool DiskFiles::fileExists(const QString &path)
{
    const QString r = resolve(path);
    return !r.isEmpty() && QFileInfo(r).isFile();
}

bool DiskFiles::folderExists(const QString &path)
{
    const QString r = resolve(path);
    return !r.isEmpty() && QFileInfo(r).isDir();
}

QStringList DiskFiles::folders(const QString &folder)
{
    const QString r = resolve(folder);
    if (r.isEmpty())
        return {};
    return QDir(r).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QStringList DiskFiles::files(const QString &folder, const QString &pattern)
{
    const QString r = resolve(folder);
    if (r.isEmpty())
        return {};
    QDir d(r);
    QStringList filters;
    if (!pattern.isEmpty())
        filters = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    d.setNameFilters(filters);
    return d.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
}

bool DiskFiles::deleteFile(const QString &path)
{
    const QString r = resolve(path);
    return !r.isEmpty() && QFile::remove(r);
}

QStringList DiskFiles::volumes()
{
    QStringList roots;
#ifdef Q_OS_WIN
    for (char letter = 'C'; letter <= 'Z'; ++letter)
        roots << QString(QLatin1Char(letter)) + QLatin1Char(':');
#else
    auto children = [](const QString &folder) {
        QStringList out;
        const QDir d(folder);
        for (const QString &e : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            out << d.filePath(e);
        return out;
    };
    // Desktops mount removable volumes as /media/LABEL, /media/USER/LABEL or
    // /run/media/USER/LABEL; the user folders themselves are harmless extra roots.
    for (const QString &base : {QStringLiteral("/media"), QStringLiteral("/run/media")})
        for (const QString &child : children(base))
            roots << child << children(child);
    roots << children(QStringLiteral("/mnt"));
    roots << QDir::homePath();
#endif
    return roots;
}

namespace {

// In megabytes (rounded up) from one on, else in bytes.
QString sizeText(qint64 bytes)
{
    constexpr qint64 mb = 1024 * 1024;
    return bytes >= mb ? QStringLiteral("%1 MB").arg((bytes + mb - 1) / mb) : QStringLiteral("%1 byte").arg(bytes);
}

// size < 0: a file that grew past the limit while it was read.
[[noreturn]] void tooLarge(const QString &path, qint64 maxSize, qint64 size = -1)
{
    const QString limit = QStringLiteral("il limite di %1 per un file di impostazioni.").arg(sizeText(maxSize));
    throw QyrError(err::InvalidFileFormat,
                   size < 0 ? QStringLiteral("Il file %1 supera %2").arg(path, limit)
                            : QStringLiteral("Il file %1 è di %2, oltre %3").arg(path, sizeText(size), limit));
}

[[noreturn]] void notAFile(const QString &path, bool folder)
{
    throw QyrError(
        err::InvalidFileFormat,
        folder
            ? QStringLiteral("%1 è una cartella, non un file.").arg(path)
            : QStringLiteral("%1 non è un file ma un dispositivo, una pipe o un socket: non è stato letto.").arg(path));
}

#ifndef Q_OS_WIN
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};
#endif

} // namespace

// A regular file only, after following links, and never more than maxSize
// bytes whatever size it reports: a link to /dev/zero or a growing file
// would otherwise be read without end.
Result<QByteArray> DiskFiles::readFile(const QString &path, qint64 maxSize)
{
    return resultOf([&] { return readWhole(path, maxSize); });
}

QByteArray DiskFiles::readWhole(const QString &path, qint64 maxSize)
{
    QByteArray bytes;
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (!info.exists())
        throw QyrError(err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path));
    if (!info.isFile())
        notAFile(path, info.isDir());
    if (info.size() > maxSize)
        tooLarge(path, maxSize, info.size());
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw QyrError(err::PathAccess, QStringLiteral("Impossibile leggere il file %1.").arg(path));
    bytes = in.read(maxSize + 1);
#else
    // Without O_NONBLOCK, opening a named pipe nobody writes to would wait
    // forever; the kind is checked on what was opened, so a link changed in
    // between cannot slip through.
    const Descriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    const int fd = file.fd;
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw QyrError(err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path));
        throw QyrError(err::PathAccess, QStringLiteral("Impossibile leggere il file %1.").arg(path));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0)
        throw QyrError(err::PathAccess, QStringLiteral("Impossibile leggere il file %1.").arg(path));
    if (!S_ISREG(st.st_mode))
        notAFile(path, S_ISDIR(st.st_mode));
    if (qint64(st.st_size) > maxSize)
        tooLarge(path, maxSize, st.st_size);
    bytes.resize(qsizetype(qMin<qint64>(st.st_size, maxSize) + 1));
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > maxSize)
                break;
            bytes.resize(qsizetype(qMin<qint64>(got * 2 + 4096, maxSize + 1)));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw QyrError(err::PathAccess, QStringLiteral("Impossibile leggere il file %1.").arg(path));
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(qsizetype(got));
#endif
    if (bytes.size() > maxSize) // grown since its size was asked
        tooLarge(path, maxSize);
    return bytes;
}

namespace {

QString writeProblem(const QString &file, QFileDevice::FileError error)
{
    switch (error) {
    case QFileDevice::PermissionsError:
        return QStringLiteral("Impossibile scrivere il file %1: permesso negato.").arg(file);
    case QFileDevice::OpenError:
        return QStringLiteral("Impossibile creare il file %1: la cartella non esiste o non è accessibile.").arg(file);
    case QFileDevice::ResourceError:
    case QFileDevice::WriteError:
        return QStringLiteral("Scrittura del file %1 non riuscita: il disco potrebbe essere pieno.").arg(file);
    default: return QStringLiteral("Scrittura del file %1 non riuscita.").arg(file);
    }
}

} // namespace

Result<Done> DiskFiles::writeFile(const QString &path, const QByteArray &bytes)
{
    // Written beside the old file and put in its place only when whole.
    // Unbuffered, so that a full disk fails the write itself rather than a
    // flush whose failure the commit may not see; and the file put in place
    // is checked to hold every byte.
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && out.write(bytes) == bytes.size() && out.commit() &&
        QFileInfo(path).size() == bytes.size())
        return Done{};
    const QString problem =
        writeProblem(path, out.error() == QFileDevice::NoError ? QFileDevice::WriteError : out.error());
    out.cancelWriting();
    return Failure{err::PathAccess, problem};
}

bool DiskFiles::makeFolder(const QString &path) { return QDir().mkpath(path); }

bool DiskFiles::makeWritable(const QString &path)
{
    return QFileInfo(path).isWritable() ||
           QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::WriteUser);
}

bool DiskFiles::sameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

Result<QString> DiskFiles::admit(const QString &root, const QString &path, BookFileKind kind)
{
    const QString found = resolve(path);
    return admitBookFile(root, found.isEmpty() ? pathFromAddress(path) : found, kind);
}

QString DiskFiles::ownFolder()
{
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                    QStringLiteral("/qyrplayer"));
}

} // namespace qyr
