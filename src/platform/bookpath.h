#pragma once
// Book paths are built the Windows way by the program's logic ("\" between
// folders, "file:///" prefixes, "%20" for spaces). The adapters turn them into
// native paths here, once, instead of scattering replacements in the logic.
#include <QString>

namespace qyr {

QString toNativeBookPath(const QString &path);
// True for texts that name a page by address rather than by file path.
bool hasUrlScheme(const QString &text);

} // namespace qyr
