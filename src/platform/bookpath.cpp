#include "bookpath.h"

#include <QDir>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

namespace qyr {

namespace {

// "/" between names, no doubled or trailing separators, "." and ".." gone.
QString cleanForm(QString p)
{
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // A network share keeps its leading pair.
    const bool share = p.startsWith(QLatin1String("//"));
    p = QDir::cleanPath(p);
    if (share && !p.startsWith(QLatin1String("//")))
        p.prepend(QLatin1Char('/'));
    return p;
}

} // namespace

bool hasUrlScheme(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    // A drive letter ("C:") is a path, not a scheme.
    return scheme.match(text).hasMatch() && !drive.match(text).hasMatch();
}

bool isFileAddress(const QString &text)
{
    return text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String(kPackedScheme) + QLatin1Char(':'), Qt::CaseInsensitive);
}

QString pathFromAddress(const QString &text)
{
    QString p;
    if (isFileAddress(text)) {
        // A book path written as an address by hand ("file:///C:\Libro\...")
        // gets its separators straightened first, so the parser sees a path.
        QString address = text;
        const int tail = address.indexOf(QRegularExpression(QStringLiteral("[#?]")));
        address.replace(0, tail < 0 ? address.size() : tail,
                        address.left(tail < 0 ? address.size() : tail).replace(QLatin1Char('\\'), QLatin1Char('/')));
        QUrl url(address);
        if (url.scheme().compare(QLatin1String(kPackedScheme), Qt::CaseInsensitive) == 0) {
            url.setScheme(QStringLiteral("file"));
            url.setHost(QString());
        }
        p = url.toLocalFile();
    } else if (hasUrlScheme(text)) {
        return QString();
    } else {
        p = text;
    }
    if (p.isEmpty())
        return QString();
    return QDir::toNativeSeparators(cleanForm(p));
}

QString addressFromPath(const QString &path)
{
    return QUrl::fromLocalFile(cleanForm(pathFromAddress(path))).toString(QUrl::FullyEncoded);
}

QString joinPath(const QString &folder, const QString &name)
{
    const QString n = name.trimmed();
    if (QDir::isAbsolutePath(cleanForm(n)) || n.startsWith(QLatin1Char('\\')))
        return pathFromAddress(n);
    const bool ends = folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'));
    return pathFromAddress(ends ? folder + n : folder + QLatin1Char('/') + n);
}

QString folderOf(const QString &path)
{
    const QString p = cleanForm(path);
    const int slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return QDir::toNativeSeparators(slash == 0 ? QStringLiteral("/") : p.left(slash));
}

QString pathBelow(const QString &folder, const QString &path)
{
    QString root = cleanForm(folder);
    const QString p = cleanForm(path);
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    if (!p.startsWith(root, Qt::CaseInsensitive))
        return QString();
    return p.mid(root.size());
}

} // namespace qyr

namespace qyr {

QString dataAddress(const QByteArray &bytes, const QString &fileName)
{
    const QString mime = QMimeDatabase().mimeTypeForFileNameAndData(fileName, bytes).name();
    return QStringLiteral("data:%1;base64,%2").arg(mime, QString::fromLatin1(bytes.toBase64()));
}

} // namespace qyr
