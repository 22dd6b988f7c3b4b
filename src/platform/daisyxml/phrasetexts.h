#pragma once
// The words of a book's text file as the program's voice reads them: for each
// element with an id (the phrases' targets), the text it holds, words of
// neighbouring blocks kept apart, a picture by its description.
#include <QByteArray>
#include <QHash>
#include <QString>

namespace qyr::daisy {

// An HTML content file, or a DAISY 3 book's DTBook.
QHash<QString, QString> phraseTexts(const QByteArray &bytes);

} // namespace qyr::daisy
