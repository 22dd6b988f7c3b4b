#include "dtbook.h"
#include "contentdoc.h"
#include "smil.h"
#include "xml.h"

#include <QDir>
#include <QUrl>

namespace qyr::daisy {

namespace {

// DTBook elements shown as the HTML element of the same name.
const char *const kSame[] = {"p",       "em",      "strong", "sub",   "sup",   "br",         "q",      "cite", "abbr",
                             "acronym", "code",    "kbd",    "dfn",   "samp",  "blockquote", "dl",     "dt",   "dd",
                             "table",   "caption", "thead",  "tbody", "tfoot", "tr",         "td",     "th",   "h1",
                             "h2",      "h3",      "h4",     "h5",    "h6",    "hr",         "address",
                             // HTML of an EPUB's content documents, kept as it is.
                             "ul",      "ol",      "pre",    "b",     "i",     "u",          "s",      "small",
                             "mark",    "section", "article", "aside", "header", "footer",   "nav",    "main",
                             "figure",  "figcaption", "var", "del",   "ins",   "ruby",       "rt",     "rp",
                             "bdi",     "time",    "wbr"};
// Blocks shown as a div: parts of the book and groups that hold others.
const char *const kBlocks[] = {"frontmatter", "bodymatter", "rearmatter", "level",    "level1",   "level2",
                               "level3",      "level4",     "level5",     "level6",   "div",      "note",
                               "annotation",  "sidebar",    "prodnote",   "epigraph", "byline",   "dateline",
                               "author",      "linegroup",  "poem",       "line",     "imggroup", "docauthor",
                               "covertitle",  "bridgehead"};
// Dropped with all they hold: what runs, what is fetched, what is not text.
const char *const kDropped[] = {"head",   "script", "style", "object", "embed",   "iframe", "frame",
                                "applet", "math",   "svg",   "form",   "input",   "button", "textarea",
                                "select", "link",   "meta",  "col",    "colgroup", "template", "audio",  "video",
                                "source", "track",  "canvas", "noscript", "title", "base"};

bool among(const xmlNode *n, const char *const *names, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (xml::is(n, names[i]))
            return true;
    return false;
}
template <size_t N>
bool among(const xmlNode *n, const char *const (&names)[N])
{
    return among(n, names, N);
}

// Where a link of a content document leads, as a file address the reading
// recognises; none for an address of another scheme (the web, a script).
QString linkAddress(const QString &documentPath, const QString &href)
{
    const QString h = href.trimmed();
    if (h.isEmpty() || documentPath.isEmpty())
        return QString();
    const qsizetype colon = h.indexOf(QLatin1Char(':')), slash = h.indexOf(QLatin1Char('/'));
    if (colon >= 0 && (slash < 0 || colon < slash))
        return QString();
    const auto [file, fragment] = splitReference(h);
    const QString dir = documentPath.left(documentPath.lastIndexOf(QLatin1Char('/')));
    QUrl url = QUrl::fromLocalFile(file.isEmpty() ? documentPath : QDir::cleanPath(dir + QLatin1Char('/') + file));
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    return url.toString(QUrl::FullyEncoded);
}

class Writer {
public:
    QString out;
    QString document; // the content document's path, for its links; empty: links are words

    void element(xmlNode *n, int depth)
    {
        if (among(n, kDropped))
            return;
        QString tag = QStringLiteral("span");
        QString extra;
        if (xml::is(n, "img")) {
            // The picture is not fetched; its description is read instead.
            const QString alt = xml::attr(n, "alt");
            open(n, QStringLiteral("span"), QString());
            out += alt.toHtmlEscaped();
            out += QStringLiteral("</span>");
            return;
        }
        if (xml::is(n, "a")) {
            if (const QString to = linkAddress(document, xml::attr(n, "href")); !to.isEmpty()) {
                tag = QStringLiteral("a");
                extra = QStringLiteral(" href=\"") + to.toHtmlEscaped() + QLatin1Char('"');
            }
        } else if (xml::is(n, "doctitle")) {
            tag = QStringLiteral("h1");
        } else if (xml::is(n, "hd") || xml::is(n, "levelhd")) {
            tag = QStringLiteral("h%1").arg(qBound(1, depth, 6));
        } else if (xml::is(n, "list")) {
            tag = xml::attr(n, "type").compare(QLatin1String("ol"), Qt::CaseInsensitive) == 0 ? QStringLiteral("ol")
                                                                                              : QStringLiteral("ul");
        } else if (xml::is(n, "li")) {
            tag = QStringLiteral("li");
        } else if (xml::is(n, "pagenum")) {
            // Inline or not in the book, a line of its own on the page.
            extra = QStringLiteral(" class='pagenum' style='display:block'");
        } else if (among(n, kSame)) {
            tag = QString::fromUtf8(reinterpret_cast<const char *>(n->name));
            if (const int colon = tag.indexOf(QLatin1Char(':')); colon >= 0)
                tag = tag.mid(colon + 1);
            tag = tag.toLower();
            for (const char *span : {"colspan", "rowspan"}) {
                bool ok = false;
                const int v = xml::attr(n, span).toInt(&ok);
                if (ok && v > 0 && v < 1000)
                    extra += QStringLiteral(" %1='%2'").arg(QLatin1String(span)).arg(v);
            }
        } else if (among(n, kBlocks)) {
            tag = QStringLiteral("div");
        }
        // The depth of the headings inside: levelN says it, level counts.
        int inner = depth;
        if (xml::is(n, "level"))
            inner = depth + 1;
        for (int level = 1; level <= 6; ++level)
            if (xml::is(n, QByteArray("level" + QByteArray::number(level)).constData()))
                inner = level;
        open(n, tag, extra);
        if (tag == QLatin1String("br") || tag == QLatin1String("hr"))
            return;
        children(n, inner);
        out += QStringLiteral("</") + tag + QLatin1Char('>');
    }

    void children(xmlNode *n, int depth)
    {
        for (xmlNode *c = n->children; c; c = c->next) {
            if (c->type == XML_ELEMENT_NODE)
                element(c, depth);
            else if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content)
                out += QString::fromUtf8(reinterpret_cast<const char *>(c->content)).toHtmlEscaped();
        }
    }

private:
    // Only the id and the language go over: every other attribute could be
    // a handler, a style or an address.
    void open(xmlNode *n, const QString &tag, const QString &extra)
    {
        out += QLatin1Char('<') + tag;
        const QString id = xml::attr(n, "id");
        if (!id.isEmpty())
            out += QStringLiteral(" id=\"") + id.toHtmlEscaped() + QLatin1Char('"');
        const QString lang = xml::attr(n, "lang");
        if (!lang.isEmpty())
            out += QStringLiteral(" lang=\"") + lang.toHtmlEscaped() + QLatin1Char('"');
        out += extra + QLatin1Char('>');
    }
};

} // namespace

QString dtbookHtml(const QByteArray &bytes)
{
    const xml::Doc doc = xml::readXml(bytes);
    xmlNode *top = xml::root(doc);
    if (!top)
        return QString();
    // The book itself; a file without <book> is shown whole.
    xmlNode *book = xml::find(top, "book");
    Writer w;
    w.children(book ? book : top, 0);
    return w.out;
}

QString contentHtml(const QByteArray &bytes, const QString &path)
{
    if (bytes.left(4096).contains("<dtbook"))
        return dtbookHtml(bytes);
    const ContentDoc doc = readContentDoc(bytes);
    if (!doc.body)
        return QString();
    Writer w;
    w.document = path;
    w.children(doc.body, 0);
    return w.out;
}

} // namespace qyr::daisy
