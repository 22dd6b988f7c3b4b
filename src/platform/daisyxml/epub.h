#pragma once
// EPUB 3 books, unpacked or a .epub read in place: the package found through
// META-INF/container.xml, the spine in order, each item with a media overlay
// read from its SMIL file as a DAISY book's phrases are, each item without
// one cut into sentences for the program's voice; the navigation document's
// contents (toc) and page list, else the page breaks the text marks. A
// sentence is named by its content document as the package writes it and
// its id ("text/cap1.xhtml#s3").
#include "../../daisy/book.h"
#include "../files.h"

#include <optional>

namespace qyr::daisy {

// The folder holds META-INF/container.xml (any letter case).
bool isEpub(IFiles &files, const QString &folder);
// Why the EPUB in the folder cannot be read, in Italian: its files are
// encrypted (DRM; font obfuscation is not). Empty when it can be read.
QString epubRefusal(IFiles &files, const QString &folder);
// Nothing when the folder holds no EPUB; else the book as far as it can be read.
std::optional<Book> openEpub(IFiles &files, const QString &folder);

} // namespace qyr::daisy
