#pragma once
// One SMIL file (1.0 of DAISY 2.02 books, 2.0 of DAISY 3 books) read into
// phrases, with file names as the file writes them.
#include "../../daisy/book.h"

#include <QByteArray>
#include <QSet>
#include <utility>
#include <vector>

namespace qyr::daisy {

struct SmilFile {
    std::vector<Phrase> phrases; // smil empty; textFile and audio as written, relative to the file
    // Element ids, with the first phrase at or after the element.
    std::vector<std::pair<QString, int>> anchors;
    QStringList badTimes; // clip times that are not clock values, as written
    int stoppedAt = 0;    // the line where a damaged file stopped being read, 0 when read whole
};

// Anchors are kept for the ids in `wanted` only (UTF-8), for every id when it is null.
SmilFile readSmil(const QByteArray &bytes, const QSet<QByteArray> *wanted = nullptr);

// "file.html#id" split at the first "#", the file's name percent-decoded and with "/" between folders.
std::pair<QString, QString> splitReference(const QString &href);

} // namespace qyr::daisy
