#include "installpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qyr {

namespace {

bool holdsBook(const QString &dir) { return QFileInfo::exists(dir + QStringLiteral("/Index.htm")); }

} // namespace

QString sampleBookFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    // The relative path follows the install layout, so a package installed
    // under any prefix (or a copied install tree) still finds its book.
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/" QYR_BOOK_FROM_BIN));
    if (holdsBook(installed))
        return installed;
    if (holdsBook(exeDir))
        return exeDir;
    return QStringLiteral(QYR_SAMPLE_BOOK_DIR);
}

} // namespace qyr
