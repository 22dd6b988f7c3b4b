#include "contentdoc.h"

#include <iterator>

namespace qyr::daisy {

namespace {

// Elements inside a line of text: a sentence runs through them.
const char *const kInline[] = {"a",    "b",    "i",    "u",       "s",     "em",   "strong", "span", "sup",
                               "sub",  "small", "big", "font",    "abbr",  "acronym", "code", "kbd",  "samp",
                               "var",  "dfn",  "cite", "q",       "mark",  "tt",   "bdo",    "bdi",  "time",
                               "ruby", "rt",   "rp",   "del",     "ins",   "img",  "wbr",    "data", "strike"};
// Not text: nothing in them is read.
const char *const kSkipped[] = {"head",  "script", "style", "object", "embed", "svg",    "math",     "template",
                                "audio", "video",  "canvas", "iframe", "form", "select", "textarea", "noscript"};

bool among(const xmlNode *n, const char *const *names, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (xml::is(n, names[i]))
            return true;
    return false;
}
bool isInline(const xmlNode *n) { return among(n, kInline, std::size(kInline)); }
bool isSkipped(const xmlNode *n) { return among(n, kSkipped, std::size(kSkipped)); }
bool isText(const xmlNode *n) { return n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE; }

bool holdsBlock(const xmlNode *n)
{
    for (const xmlNode *c = n->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && (!isInline(c) || holdsBlock(c)))
            return true;
    return false;
}

bool hasWords(const QString &s)
{
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

bool isPageBreak(const xmlNode *n)
{
    if (xml::attr(n, "role").trimmed() == QLatin1String("doc-pagebreak"))
        return true;
    return xml::attr(n, "type").split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(QLatin1String("pagebreak"));
}

class Splitter {
public:
    explicit Splitter(ContentDoc &out) : out_(out) {}

    // Every block below n, its runs of text cut into sentences.
    void split(xmlNode *n)
    {
        std::vector<xmlNode *> run;
        for (xmlNode *c = n->children, *next = nullptr; c; c = next) {
            next = c->next;
            if (isText(c) || (c->type == XML_ELEMENT_NODE && isInline(c) && !holdsBlock(c))) {
                run.push_back(c);
                continue;
            }
            flush(n, run);
            // A line break ends a sentence as a block does (verse, addresses).
            if (c->type == XML_ELEMENT_NODE && !isSkipped(c) && !xml::is(c, "br"))
                split(c);
        }
        flush(n, run);
    }

private:
    // One piece of a sentence: a run's element, or part of one of its texts.
    struct Piece {
        xmlNode *node = nullptr;
        QString text;
    };
    using Sentence = std::vector<Piece>;

    static QString words(const Sentence &s)
    {
        QString w;
        for (const Piece &p : s)
            w += p.node ? xml::text(p.node) : p.text;
        return w;
    }

    void flush(xmlNode *parent, std::vector<xmlNode *> &run)
    {
        if (run.empty())
            return;
        std::vector<Sentence> sentences(1);
        for (xmlNode *c : run) {
            if (!isText(c)) {
                sentences.back().push_back({c, QString()});
                continue;
            }
            const QString text = QString::fromUtf8(reinterpret_cast<const char *>(c->content));
            qsizetype from = 0;
            for (const qsizetype end : sentenceEnds(text)) {
                sentences.back().push_back({nullptr, text.mid(from, end - from)});
                sentences.emplace_back();
                from = end;
            }
            if (from < text.size())
                sentences.back().push_back({nullptr, text.mid(from)});
        }
        // Marks or spaces alone belong to the sentence before them.
        std::vector<std::pair<Sentence, bool>> kept; // a sentence, and whether it has words
        for (Sentence &s : sentences) {
            const bool spoken = hasWords(words(s));
            if (!spoken && !kept.empty() && kept.back().second)
                kept.back().first.insert(kept.back().first.end(), s.begin(), s.end());
            else
                kept.emplace_back(std::move(s), spoken);
        }
        const bool anySpoken = std::any_of(kept.begin(), kept.end(), [](const auto &k) { return k.second; });
        if (anySpoken)
            rebuild(parent, run, kept);
        run.clear();
    }

    // The run's nodes put into the sentences' spans, in place.
    void rebuild(xmlNode *parent, const std::vector<xmlNode *> &run, std::vector<std::pair<Sentence, bool>> &kept)
    {
        xmlDoc *doc = parent->doc;
        xmlNode *marker = xmlNewDocComment(doc, reinterpret_cast<const xmlChar *>(""));
        xmlAddPrevSibling(run.front(), marker);
        for (auto &[sentence, spoken] : kept) {
            xmlNode *holder = nullptr;
            if (spoken) {
                holder = xmlNewDocNode(doc, parent->ns, reinterpret_cast<const xmlChar *>("span"), nullptr);
                const QString id = QStringLiteral("qyr-frase-%1").arg(out_.sentences.size() + 1);
                xmlSetProp(holder, reinterpret_cast<const xmlChar *>("id"), reinterpret_cast<const xmlChar *>(id.toUtf8().constData()));
                out_.sentences << id;
                xmlAddPrevSibling(marker, holder);
            }
            for (Piece &p : sentence) {
                xmlNode *node = p.node;
                if (!node) {
                    const QByteArray utf8 = p.text.toUtf8();
                    node = xmlNewDocTextLen(doc, reinterpret_cast<const xmlChar *>(utf8.constData()), int(utf8.size()));
                } else {
                    xmlUnlinkNode(node);
                }
                if (holder)
                    xmlAddChild(holder, node);
                else
                    xmlAddPrevSibling(marker, node);
            }
        }
        for (xmlNode *c : run) {
            if (isText(c)) {
                xmlUnlinkNode(c);
                xmlFreeNode(c);
            }
        }
        xmlUnlinkNode(marker);
        xmlFreeNode(marker);
    }

    ContentDoc &out_;
};

// The ids in document order, and the page breaks, each given an id.
void index(xmlNode *n, ContentDoc &out)
{
    for (xmlNode *c = xml::firstElement(n->children); c; c = xml::nextElement(c)) {
        if (isSkipped(c))
            continue;
        QString id = xml::attr(c, "id");
        if (isPageBreak(c)) {
            if (id.isEmpty()) {
                id = QStringLiteral("qyr-pagina-%1").arg(out.pageMarks.size() + 1);
                xmlSetProp(c, reinterpret_cast<const xmlChar *>("id"), reinterpret_cast<const xmlChar *>(id.toUtf8().constData()));
            }
            QString label = xml::attr(c, "title").simplified();
            if (label.isEmpty())
                label = xml::attr(c, "aria-label").simplified();
            if (label.isEmpty())
                label = xml::normalized(xml::text(c));
            out.pageMarks.push_back({id, label});
        }
        if (!id.isEmpty())
            out.ids.push_back(id);
        index(c, out);
    }
}

} // namespace

std::vector<qsizetype> sentenceEnds(const QString &text)
{
    static const QString marks = QStringLiteral(".!?\u2026");
    static const QString closers = QStringLiteral(".!?\u2026\"')]\u00bb\u201d\u2019");
    std::vector<qsizetype> ends;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (!marks.contains(text[i]))
            continue;
        qsizetype j = i + 1;
        while (j < n && closers.contains(text[j]))
            ++j;
        if (j >= n || !text[j].isSpace())
            continue;
        while (j < n && text[j].isSpace())
            ++j;
        if (j < n && text[j].isLower())
            continue;
        ends.push_back(j);
        i = j - 1;
    }
    return ends;
}

ContentDoc readContentDoc(const QByteArray &bytes)
{
    ContentDoc out;
    // An EPUB's XHTML is XML (its empty <span/> page marks would swallow the
    // text after them as HTML); older books' HTML and XHTML 1.0, which use
    // HTML's entities, keep HTML's rules.
    const QByteArray head = bytes.left(4096);
    const bool epub = head.contains("http://www.idpf.org/2007/ops") || head.contains("<!DOCTYPE html>") ||
                      head.contains("<!doctype html>");
    const bool older = head.contains("//DTD HTML") || head.contains("//DTD XHTML 1.0") || !head.contains("<?xml");
    const bool xhtml = epub || !older;
    if (xhtml)
        out.doc = xml::readXml(bytes);
    if (!xml::root(out.doc))
        out.doc = xml::readHtml(bytes);
    xmlNode *root = xml::root(out.doc);
    if (!root)
        return out;
    out.body = xml::is(root, "body") ? root : xml::find(root, "body");
    if (!out.body)
        out.body = root;
    // Older books' text always comes with its phrases: nothing to cut.
    if (xhtml)
        Splitter(out).split(out.body);
    index(out.body, out);
    return out;
}

} // namespace qyr::daisy
