#include "smil.h"
#include "../../daisy/clock.h"
#include "xml.h"

#include <QUrl>
#include <algorithm>
#include <cmath>

namespace qyr::daisy {

std::pair<QString, QString> splitReference(const QString &href)
{
    const QString h = href.trimmed();
    const qsizetype hash = h.indexOf(QLatin1Char('#'));
    QString file = hash < 0 ? h : h.left(hash);
    const QString fragment = hash < 0 ? QString() : h.mid(hash + 1);
    if (file.contains(QLatin1Char('%')))
        file = QUrl::fromPercentEncoding(file.toUtf8());
    file.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return {file, fragment};
}

namespace {

class Reader {
public:
    explicit Reader(const QSet<QByteArray> *wanted) : wanted_(wanted) {}
    SmilFile out;

    void walk(xmlNode *node, bool skippable)
    {
        for (xmlNode *n = xml::firstElement(node); n; n = xml::nextElement(n)) {
            const bool skip = skippable || optional(n);
            if (xml::is(n, "par")) {
                par(n, skip);
            } else if (xml::is(n, "audio") || xml::is(n, "text")) {
                anchorsBelow(n, int(out.phrases.size()));
                Phrase p;
                p.id = xml::attr(n, "id");
                p.skippable = skip;
                if (xml::is(n, "audio"))
                    clip(n, p);
                else
                    textOf(n, p);
                out.phrases.push_back(std::move(p));
            } else {
                anchor(n, int(out.phrases.size()));
                walk(n->children, skip);
            }
        }
    }

private:
    // Page numbers, notes, sidebars and producer's notes, which a reader may
    // choose to skip: named by a test in DAISY books, by their kind in EPUB ones.
    static bool optional(const xmlNode *n)
    {
        if (xml::hasAttr(n, "system-required") || xml::hasAttr(n, "customTest"))
            return true;
        static const QStringList kinds{QStringLiteral("pagebreak"), QStringLiteral("note"),
                                       QStringLiteral("footnote"),  QStringLiteral("endnote"),
                                       QStringLiteral("rearnote"),  QStringLiteral("sidebar"),
                                       QStringLiteral("annotation")};
        const QStringList named = xml::attr(n, "type").split(QLatin1Char(' '), Qt::SkipEmptyParts);
        return std::any_of(named.begin(), named.end(), [](const QString &k) { return kinds.contains(k); });
    }

    // Only the ids the navigation names are kept: a big book has tens of thousands.
    void anchor(const xmlNode *n, int phrase)
    {
        if (wanted_ && wanted_->isEmpty())
            return;
        const QByteArray id = xml::rawAttr(n, "id");
        if (!id.isEmpty() && (!wanted_ || wanted_->contains(id)))
            out.anchors.emplace_back(QString::fromUtf8(id), phrase);
    }
    void anchorsBelow(xmlNode *n, int phrase)
    {
        if (wanted_ && wanted_->isEmpty())
            return;
        anchor(n, phrase);
        for (xmlNode *c = xml::firstElement(n->children); c; c = xml::nextElement(c))
            anchorsBelow(c, phrase);
    }

    static void textOf(const xmlNode *text, Phrase &p)
    {
        auto [file, fragment] = splitReference(xml::attr(text, "src"));
        p.textFile = file;
        p.textFragment = fragment;
    }

    void collectAudio(xmlNode *node, std::vector<xmlNode *> &audio)
    {
        for (xmlNode *c = xml::firstElement(node); c; c = xml::nextElement(c)) {
            if (xml::is(c, "audio"))
                audio.push_back(c);
            else
                collectAudio(c->children, audio);
        }
    }

    void par(xmlNode *par, bool skippable)
    {
        const int first = int(out.phrases.size());
        xmlNode *text = xml::find(par, "text");
        std::vector<xmlNode *> audio;
        collectAudio(par->children, audio);
        Phrase base;
        base.id = xml::attr(par, "id");
        if (text) {
            textOf(text, base);
            if (base.id.isEmpty())
                base.id = xml::attr(text, "id");
        }
        base.skippable = skippable;
        anchorsBelow(par, first);
        if (audio.empty()) {
            out.phrases.push_back(std::move(base));
            return;
        }
        // One phrase for the par: a clip that follows straight on from the one
        // before in the same file lengthens it; any other goes on after it.
        for (xmlNode *a : audio) {
            Phrase p = base;
            p.skippable = skippable || optional(a);
            clip(a, p);
            if (a != audio.front()) {
                Phrase &last = out.phrases.back();
                if (p.audio == last.audio && std::abs(p.clipBegin - last.clipEnd) < 0.0015 &&
                    p.skippable == last.skippable) {
                    anchor(a, int(out.phrases.size()) - 1);
                    last.clipEnd = std::max(last.clipEnd, p.clipEnd);
                    continue;
                }
                p.continues = true;
                // An audio element's own id leads to its own clip.
                anchor(a, int(out.phrases.size()));
            }
            out.phrases.push_back(std::move(p));
        }
    }

    struct Time {
        QString written; // null when the attribute is absent
        std::optional<double> seconds;
    };
    static Time time(const xmlNode *n, const char *dashed, const char *camel)
    {
        Time t{xml::attr(n, camel), std::nullopt};
        if (t.written.isNull())
            t.written = xml::attr(n, dashed);
        if (!t.written.isNull())
            t.seconds = parseClock(t.written);
        return t;
    }

    const QSet<QByteArray> *wanted_;

    void clip(const xmlNode *audio, Phrase &p)
    {
        p.audio = splitReference(xml::attr(audio, "src")).first;
        const Time begin = time(audio, "clip-begin", "clipBegin");
        const Time end = time(audio, "clip-end", "clipEnd");
        const bool badBegin = !begin.written.isNull() && !begin.seconds;
        const bool badEnd = !end.written.isNull() && !end.seconds;
        if (badBegin)
            out.badTimes << begin.written;
        if (badEnd)
            out.badTimes << end.written;
        // A time that cannot be read leaves a clip of no length, which playing
        // passes over; without an end the clip runs to the end of its file,
        // not known here (the reader of the book fills it in).
        p.clipBegin = begin.seconds.value_or(0);
        p.clipEnd = end.seconds.value_or(p.clipBegin);
        p.toFileEnd = end.written.isNull() && !badBegin;
        if (badBegin)
            p.clipBegin = p.clipEnd;
        if (p.clipEnd < p.clipBegin) {
            out.badTimes << end.written;
            p.clipEnd = p.clipBegin;
        }
    }
};

} // namespace

SmilFile readSmil(const QByteArray &bytes, const QSet<QByteArray> *wanted)
{
    Reader r(wanted);
    const xml::Doc doc = xml::readXml(bytes, &r.out.stoppedAt);
    xmlNode *root = xml::root(doc);
    if (!root)
        return std::move(r.out);
    xmlNode *body = xml::is(root, "body") ? root : xml::find(root, "body");
    r.walk(body ? body->children : root->children, false);
    return std::move(r.out);
}

} // namespace qyr::daisy
