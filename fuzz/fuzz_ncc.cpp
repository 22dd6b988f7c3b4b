// Fuzz target for the DAISY 2.02 navigation file (ncc.html): any bytes read
// as broken HTML in whatever encoding they seem to be, without a crash, and
// what comes out keeps its promises: levels 1 to 6, texts normalised, each
// SMIL file named once in the reading order.
#include "checks.h"
#include "platform/daisyxml/navigation.h"

#include <QSet>

using namespace qyr::daisy;

using fuzzcheck::broken;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzcheck::bytesOf(data, size);
    const Navigation nav = readNcc(bytes);
    for (const Heading &h : nav.headings) {
        if (h.level < 1 || h.level > 6)
            broken("a heading level outside 1..6");
        if (h.text != h.text.simplified() || h.text.contains(QChar(0x00A0)))
            broken("a heading text not normalised");
    }
    for (const Page &p : nav.pages)
        if (p.label != p.label.simplified())
            broken("a page label not normalised");
    QSet<QString> seen;
    for (const QString &smil : nav.smilOrder) {
        if (seen.contains(smil.toLower()))
            broken("a SMIL file named twice in the reading order");
        seen.insert(smil.toLower());
    }
    return 0;
}
