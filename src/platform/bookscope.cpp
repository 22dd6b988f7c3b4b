#include "bookscope.h"
#include "errors.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace qyr {

namespace {

QString sizeText(qint64 bytes)
{
    constexpr qint64 mb = 1024 * 1024;
    return bytes >= mb ? QStringLiteral("%1 MB").arg((bytes + mb - 1) / mb) : QStringLiteral("%1 byte").arg(bytes);
}

QString kindText(BookFileKind kind)
{
    switch (kind) {
    case BookFileKind::Text: return QStringLiteral("un testo del libro");
    case BookFileKind::Audio: return QStringLiteral("un file audio");
    case BookFileKind::Image: return QStringLiteral("un'immagine");
    }
    return QString();
}

} // namespace

qint64 bookFileLimit(BookFileKind kind)
{
    constexpr qint64 mb = 1024 * 1024;
    switch (kind) {
    // The largest NCC of a real book (an encyclopaedia) is some 10 MB.
    case BookFileKind::Text: return 64 * mb;
    // A whole book read into one file at a high rate stays under 2 GB.
    case BookFileKind::Audio: return 2048 * mb;
    case BookFileKind::Image: return 16 * mb;
    }
    return 0;
}

bool liesBelow(const QString &root, const QString &real)
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (root.isEmpty() || real.isEmpty())
        return false;
    return real.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'), cs);
}

Result<QString> admitBookFile(const QString &root, const QString &path, BookFileKind kind)
{
    const QString folder = root.isEmpty() ? QString() : QFileInfo(root).canonicalFilePath();
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return Failure{err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path)};
    if (!liesBelow(folder, real))
        return Failure{err::PathAccess, QStringLiteral("Il file %1 è fuori dal libro: non viene aperto.").arg(path)};
    std::error_code ec;
#ifdef Q_OS_WIN
    const std::filesystem::path native(real.toStdWString());
#else
    const std::filesystem::path native(QFile::encodeName(real).toStdString());
#endif
    const std::filesystem::file_status st = std::filesystem::status(native, ec);
    if (ec || !std::filesystem::is_regular_file(st))
        return Failure{err::InvalidFileFormat,
                       std::filesystem::is_directory(st)
                           ? QStringLiteral("%1 è una cartella, non un file.").arg(path)
                           : QStringLiteral("%1 non è un file ma un dispositivo, una pipe o un socket: non è stato "
                                            "letto.")
                                 .arg(path)};
    const auto size = std::filesystem::file_size(native, ec);
    if (!ec && qint64(size) > bookFileLimit(kind))
        return bookFileTooLarge(path, qint64(size), kind);
    return real;
}

Failure bookFileTooLarge(const QString &path, qint64 size, BookFileKind kind)
{
    return Failure{err::InvalidFileFormat, QStringLiteral("Il file %1 è di %2, oltre il limite di %3 per %4.")
                                               .arg(path, sizeText(size), sizeText(bookFileLimit(kind)), kindText(kind))};
}

} // namespace qyr
