#pragma once
// An EPUB content document (XHTML, or HTML a careless tool wrote) read for
// reading aloud: each run of text in a block is cut into sentences, each
// wrapped in a span of its own id ("qyr-frase-N", numbered in document
// order), so that a book without recorded audio can be read and marked
// sentence by sentence (an older book's HTML, which names its phrases
// itself, is left as it is). The book's reader, the text shown and the voice's
// words all start from this one reading, so their sentences are the same.
#include "xml.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace qyr::daisy {

struct ContentDoc {
    xml::Doc doc;
    xmlNode *body = nullptr;  // the <body>, else the root; null when nothing could be read
    std::vector<QString> ids; // every element id, in document order
    QStringList sentences;    // the sentence spans' ids, in reading order
    // Page breaks the text marks (epub:type "pagebreak", role "doc-pagebreak"),
    // in order; one without an id is given one ("qyr-pagina-N").
    struct PageMark {
        QString id, label;
    };
    std::vector<PageMark> pageMarks;
};

ContentDoc readContentDoc(const QByteArray &bytes);

// Where a sentence ends in a run of text: after its closing mark (. ! ? …,
// with quotes or brackets closing after it) and the spaces that follow, when
// what comes next does not begin in lower case (the text's end too: an
// element after it begins the next). The positions, in order.
std::vector<qsizetype> sentenceEnds(const QString &text);

} // namespace qyr::daisy
