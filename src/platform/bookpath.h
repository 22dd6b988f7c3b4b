#pragma once
// The one conversion between the addresses a page holds (file:// addresses,
// percent-encoded in UTF-8 as the browser writes them) and the paths of the
// files they name. Paths come out in this system's own form; names written
// in a book with "\" (books made on Windows) work here too.
#include <QString>

namespace qyr {

// A file:// address or a path to the real path of the file on this system.
// An address loses its anchor and query; a plain path is taken whole, so a
// folder named "Libro #1" stays one. Other schemes give an empty text.
QString pathFromAddress(const QString &text);
// The file:// address of a path, encoded as the browser encodes it.
QString addressFromPath(const QString &path);
// A name written in a page (or a relative path) placed in folder.
QString joinPath(const QString &folder, const QString &name);
// The folder that holds path, without a final separator.
QString folderOf(const QString &path);
// The part of path below folder (letter case ignored, as the files are found),
// with "/" between names; empty when path is not inside folder.
QString pathBelow(const QString &folder, const QString &path);
// True for texts that name a page by address rather than by file path.
bool hasUrlScheme(const QString &text);
// A file address: "file:", or the program's own scheme for the files of a
// book packed in a zip ("qyrlibro://libro/…/libro.zip/ncc.html"), which the
// program serves to the web engine itself.
bool isFileAddress(const QString &text);
inline constexpr char kPackedScheme[] = "qyrlibro";
inline constexpr char kPackedHost[] = "libro";
// A data: address holding bytes, typed by their content and the file's name.
QString dataAddress(const QByteArray &bytes, const QString &fileName);

} // namespace qyr
