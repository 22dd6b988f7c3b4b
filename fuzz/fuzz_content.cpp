// Fuzz target for an EPUB content document: any bytes read as XHTML (or as
// HTML when they are not XML), cut into sentences, without a crash; the one
// reading keeps its promises: each sentence id once and among the document's
// ids, a page mark for each page break with its id, the page shown never
// holding what runs or loads, and the voice finding words for the sentences.
#include "checks.h"
#include "platform/daisyxml/contentdoc.h"
#include "platform/daisyxml/dtbook.h"
#include "platform/daisyxml/phrasetexts.h"

#include <QRegularExpression>
#include <QSet>

using namespace qyr::daisy;

using fuzzcheck::broken;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzcheck::bytesOf(data, size);
    const ContentDoc doc = readContentDoc(bytes);
    const QSet<QString> ids(doc.ids.begin(), doc.ids.end());
    QSet<QString> seen;
    for (const QString &s : doc.sentences) {
        if (seen.contains(s))
            broken("a sentence id given twice");
        seen.insert(s);
        if (!ids.contains(s))
            broken("a sentence missing from the document's ids");
    }
    for (const ContentDoc::PageMark &m : doc.pageMarks)
        if (m.id.isEmpty() || !ids.contains(m.id) || m.label != m.label.simplified())
            broken("a page mark without its id, or its label not normalised");
    // Words are escaped, so every "<" left is a tag the page writer made.
    // An attribute is matched by its name: its value, quoted, may hold any words of the book.
    static const QRegularExpression running(
        QStringLiteral("<(script|iframe|object|embed|link|img|style)\\b|<\\w+(\\s+[\\w-]+=(\"[^\"]*\"|'[^']*'))*\\s+(href|src|on\\w+)="),
        QRegularExpression::CaseInsensitiveOption);
    if (contentHtml(bytes).contains(running))
        broken("the page shown holds something that runs or loads");
    const QHash<QString, QString> words = phraseTexts(bytes);
    for (const QString &s : doc.sentences)
        if (!words.contains(s))
            broken("a sentence the voice has no words for");
    return 0;
}
