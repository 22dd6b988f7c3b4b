#include "diskfiles.h"
#include "../bookpath.h"
#include "../errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

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
        QString match;
        const QStringList entries = QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &e : entries) {
            if (e.compare(part, Qt::CaseInsensitive) == 0) {
                match = e;
                break;
            }
        }
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

QByteArray DiskFiles::readFile(const QString &path, qint64 maxSize)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw QyrError(err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path));
    if (info.size() > maxSize)
        throw QyrError(err::InvalidFileFormat,
                       QStringLiteral("Il file %1 è troppo grande per essere un file di impostazioni.").arg(path));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw QyrError(err::PathAccess, QStringLiteral("Impossibile leggere il file %1.").arg(path));
    return in.readAll();
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
    default:
        return QStringLiteral("Scrittura del file %1 non riuscita.").arg(file);
    }
}

} // namespace

bool DiskFiles::writeFile(const QString &path, const QByteArray &bytes, QString *problem)
{
    // Written beside the old file and put in its place only when whole.
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    if (problem)
        *problem = writeProblem(path, out.error());
    return false;
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

QString DiskFiles::ownFolder()
{
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                    QStringLiteral("/qyrplayer"));
}

} // namespace qyr
