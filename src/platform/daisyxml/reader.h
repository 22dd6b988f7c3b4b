#pragma once
// Opens a book folder into a Book. A folder holding ncc.html (any letter
// case) is a DAISY 2.02 book; one holding a package (.opf) whose dc:Format
// is "ANSI/NISO Z39.86-2005" is a DAISY 3 book. File names are found in the
// folder's real listing whatever letter case the links use. A broken book
// opens as far as it can, its problems named in the book's list. A folder
// holding META-INF/container.xml is an EPUB (below).
#include "../../daisy/book.h"
#include "../files.h"

#include <optional>

namespace qyr::daisy {

std::optional<Format> formatOf(IFiles &files, const QString &folder);
// Nothing when the folder holds no DAISY book.
std::optional<Book> openBook(IFiles &files, const QString &folder);
// The book's title, identifier and volume as its NCC says, its phrases unread.
std::optional<Book> volumeOf(IFiles &files, const QString &folder);

// EPUB 3 books, unpacked or a .epub read in place: the package found through
// META-INF/container.xml, the spine in order, each item with a media overlay
// read from its SMIL file as a DAISY book's phrases are, each item without
// one cut into sentences for the program's voice (contentdoc.h); the
// navigation document's contents (toc) and page list, else the page breaks
// the text marks. A sentence is named by its content document as the
// package writes it and its id ("text/cap1.xhtml#s3").
// The folder holds META-INF/container.xml (any letter case).
bool isEpub(IFiles &files, const QString &folder);
// Why the EPUB in the folder cannot be read, in Italian: its files are
// encrypted (DRM; font obfuscation is not). Empty when it can be read.
QString epubRefusal(IFiles &files, const QString &folder);
// Nothing when the folder holds no EPUB; else the book as far as it can be read.
std::optional<Book> openEpub(IFiles &files, const QString &folder);

} // namespace qyr::daisy
