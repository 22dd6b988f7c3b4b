#pragma once
// Opens a book folder into a Book. A folder holding ncc.html (any letter
// case) is a DAISY 2.02 book; one holding a package (.opf) whose dc:Format
// is "ANSI/NISO Z39.86-2005" is a DAISY 3 book. File names are found in the
// folder's real listing whatever letter case the links use. A broken book
// opens as far as it can, its problems named in the book's list. A folder
// holding META-INF/container.xml is an EPUB (epub.h).
#include "../../daisy/book.h"
#include "../files.h"

#include <optional>

namespace qyr::daisy {

std::optional<Format> formatOf(IFiles &files, const QString &folder);
// Nothing when the folder holds no DAISY book.
std::optional<Book> openBook(IFiles &files, const QString &folder);
// The book's title, identifier and volume as its NCC says, its phrases unread.
std::optional<Book> volumeOf(IFiles &files, const QString &folder);

} // namespace qyr::daisy
