#pragma once
// Reading DAISY books (DAISY 2.02 and DAISY 3) and EPUB 3 books into their model: the
// navigation, package and SMIL files are parsed by an adapter, since they
// need an XML and HTML parser the logic does not link.
#include "../daisy/book.h"

#include <QHash>
#include <QString>
#include <optional>

namespace qyr {

class IDaisyReader {
public:
    virtual ~IDaisyReader() = default;
    // The kind of DAISY book the folder holds, or nothing.
    virtual std::optional<daisy::Format> formatOf(const QString &folder) = 0;
    // The book read as far as it can be; its problems are named in its list.
    // Nothing when the folder holds no DAISY book.
    virtual std::optional<daisy::Book> open(const QString &folder) = 0;
    // A DAISY 3 book's text (DTBook, which a browser does not show as text)
    // as the body of a plain HTML page: its element ids kept, nothing in it
    // that runs. Nothing when the file cannot be read.
    virtual std::optional<QString> textAsHtml(const QString &path) = 0;
    // What the folder's navigation file says of the book it belongs to
    // (title, identifier, volume n of m), without reading the book: nothing
    // when the folder holds no DAISY 2.02 book.
    virtual std::optional<daisy::Book> volumeOf(const QString &folder) = 0;
    // The words of each element with an id in a text file (HTML, or a DAISY
    // 3 book's DTBook), by id, as the program's voice reads a phrase without
    // audio. Empty when the file cannot be read.
    virtual QHash<QString, QString> phraseTexts(const QString &path) = 0;
    // Why a book in the folder cannot be read although it is there (an EPUB
    // protected against copying), in Italian; empty otherwise.
    virtual QString refusal(const QString &folder) = 0;
};

} // namespace qyr
