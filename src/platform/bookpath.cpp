#include "bookpath.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

namespace qyr {

bool hasUrlScheme(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    // A drive letter ("C:") is a path, not a scheme.
    return re.match(text).hasMatch() && !QRegularExpression(QStringLiteral("^[A-Za-z]:")).match(text).hasMatch();
}

QString toNativeBookPath(const QString &path)
{
    QString p = path;
    if (p.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        p = p.mid(5);
        while (p.startsWith(QLatin1String("//")))
            p.remove(0, 1);
    }
    p.replace(QLatin1String("%20"), QLatin1String(" "));
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
#ifdef Q_OS_WIN
    if (p.startsWith(QLatin1Char('/')) && p.size() > 2 && p.at(2) == QLatin1Char(':'))
        p.remove(0, 1);
    return QDir::toNativeSeparators(p);
#else
    // Book paths on this system are absolute; the Windows-style forms lose
    // their leading slash when "file:///" is cut off.
    if (!p.isEmpty() && !p.startsWith(QLatin1Char('/')))
        p.prepend(QLatin1Char('/'));
    while (p.contains(QLatin1String("//")))
        p.replace(QLatin1String("//"), QLatin1String("/"));
    return p;
#endif
}

} // namespace qyr
