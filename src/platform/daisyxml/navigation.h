#pragma once
// The files that say what a book holds and in what order: the ncc.html of a
// DAISY 2.02 book; the package (.opf) and the navigation file (.ncx) of a DAISY 3 book.
#include "../../daisy/book.h"

#include <QByteArray>

namespace qyr::daisy {

// Headings and pages with targets as written (SMIL file, id) and no phrase yet.
struct Navigation {
    QString title;
    std::vector<Heading> headings;
    std::vector<Page> pages;
    QStringList smilOrder; // DAISY 2.02: the SMIL files in the order the ncc first names them
    int stoppedAt = 0;     // the line where a damaged file stopped being read, 0 when read whole
    QString identifier;    // dc:identifier
    QString language;      // dc:language, as written ("it", "en-GB")
    int volume = 0, volumes = 0; // ncc:setInfo "n of m"; 0 when not given
};

Navigation readNcc(const QByteArray &bytes);
Navigation readNcx(const QByteArray &bytes);

struct Package {
    QString title;
    QString format;    // dc:Format, "ANSI/NISO Z39.86-2005" for a DAISY 3 book
    QString language;  // dc:Language, as written
    QStringList spine; // the SMIL files in reading order, as written
    QString ncx;       // the navigation file, as written
};
Package readOpf(const QByteArray &bytes);

bool isDaisy3Format(const QString &format);

} // namespace qyr::daisy
