// Fuzz target for SMIL files and the book built from them: any bytes read
// without a crash into phrases whose clips never run backwards, anchors that
// lead to a phrase, and a book whose lookups agree with its phrases. The
// first line is also read as a clip time.
#include "daisy/book.h"
#include "daisy/clock.h"
#include "checks.h"
#include "platform/daisyxml/smil.h"

#include <cmath>

using namespace qyr::daisy;

using fuzzcheck::broken;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzcheck::bytesOf(data, size);
    if (const std::optional<double> t = parseClock(QString::fromLatin1(bytes.left(bytes.indexOf('\n')))))
        if (!std::isfinite(*t) || *t < 0)
            broken("a clock value that is not a time");

    SmilFile file = readSmil(bytes);
    const int n = int(file.phrases.size());
    for (const auto &anchor : file.anchors)
        if (anchor.second < 0 || anchor.second > n)
            broken("an anchor past the phrases");
    Book book;
    book.phrases = std::move(file.phrases);
    for (const auto &anchor : file.anchors)
        book.headings.push_back({anchor.first, 1 + int(anchor.second % 6), {QString(), anchor.first, anchor.second}});
    book.finish();
    double at = 0;
    for (int i = 0; i < n; ++i) {
        const Phrase &p = book.phrases[size_t(i)];
        if (!(p.clipBegin >= 0) || !(p.clipEnd >= p.clipBegin) || !std::isfinite(p.clipEnd))
            broken("a clip that runs backwards or is not a time");
        if (p.start != at)
            broken("a phrase's offset is not the sum of the clips before it");
        if (p.length() > 0 && book.phraseAt(p.start) != i)
            broken("the phrase at a phrase's own start is another");
        const int end = book.runEnd(i);
        if (end < i || end >= n)
            broken("a run that ends outside the book");
        at += p.length();
    }
    for (int level = 0; level <= 6; ++level) {
        for (int i = 0; i < n; ++i) {
            const int next = book.nextHeading(i, level), previous = book.previousHeading(i, level);
            if (next >= 0 && book.headings[size_t(next)].target.phrase <= i)
                broken("the next heading is not after the phrase");
            if (previous >= 0 && book.headings[size_t(previous)].target.phrase >= i)
                broken("the previous heading is not before the phrase");
        }
    }
    return 0;
}
