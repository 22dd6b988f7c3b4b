#pragma once
// The one rule for every name a book uses (its text, audio, pictures, style
// sheets, links): a book is someone else's folder, and reaches its own files
// and nothing else. A name is taken only when, once ".." and links are
// followed, it lies inside the book's folder, is a regular file (not a pipe,
// device or socket, which would hold a reader forever) and is no larger than
// any real file of its kind. The reader of the book's files, the web page's
// request filter, the player and the pages the program writes all ask here.
#include "result.h"

#include <QString>

namespace qyr {

enum class BookFileKind {
    Text,  // a page, a SMIL, NCC, NCX or package file, a style sheet
    Audio, // a sound or video the player opens
    Image, // a picture a page shows
};

// The largest file of each kind a book may hold.
qint64 bookFileLimit(BookFileKind kind);

// The real path of path (a file that exists, named in its real letter case)
// when the rule takes it for the book whose folder is root; else the failure,
// naming the file in Italian. An empty root takes nothing.
Result<QString> admitBookFile(const QString &root, const QString &path, BookFileKind kind);

// The refusal of a file larger than any real file of its kind, naming it.
Failure bookFileTooLarge(const QString &path, qint64 size, BookFileKind kind);

// True when real (a real path) lies below the real folder root.
bool liesBelow(const QString &root, const QString &real);

} // namespace qyr
