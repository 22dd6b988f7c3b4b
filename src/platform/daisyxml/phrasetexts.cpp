#include "phrasetexts.h"
#include "contentdoc.h"
#include "xml.h"

#include <iterator>

namespace qyr::daisy {

namespace {

// Elements inside a line of text: no space is put around their words.
const char *const kInline[] = {"a",    "b",    "i",   "u",     "s",      "em",   "strong", "span", "sup",  "sub",
                               "small", "big", "font", "abbr", "acronym", "code", "kbd",    "samp", "var",  "dfn",
                               "cite", "q",    "sent", "w",     "noteref", "annoref", "bdo", "tt",  "mark", "strike"};
// Not read: what runs, what styles, what is not words.
const char *const kSkipped[] = {"head", "script", "style", "object", "embed", "svg", "math", "template"};

bool among(const xmlNode *n, const char *const *names, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (xml::is(n, names[i]))
            return true;
    return false;
}

// The text below n, each element with an id given its own on the way: each
// level adds its words to its parent's, so a long file is read in one pass.
QString collect(xmlNode *n, QHash<QString, QString> &out)
{
    QString words;
    for (xmlNode *c = n->children; c; c = c->next) {
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
            words += QString::fromUtf8(reinterpret_cast<const char *>(c->content));
            continue;
        }
        if (c->type != XML_ELEMENT_NODE || among(c, kSkipped, std::size(kSkipped)))
            continue;
        const bool inLine = among(c, kInline, std::size(kInline));
        QString inner = xml::is(c, "img") ? xml::attr(c, "alt") : collect(c, out);
        if (xml::is(c, "br") || !inLine)
            words += QLatin1Char(' ') + inner + QLatin1Char(' ');
        else
            words += inner;
    }
    if (const QString id = xml::attr(n, "id"); !id.isEmpty() && !out.contains(id))
        out.insert(id, xml::normalized(xml::is(n, "img") ? xml::attr(n, "alt") : words));
    return words;
}

} // namespace

QHash<QString, QString> phraseTexts(const QByteArray &bytes)
{
    QHash<QString, QString> out;
    // A DTBook is XML, which the HTML parser would read with its own rules.
    if (bytes.left(4096).contains("<dtbook")) {
        const xml::Doc doc = xml::readXml(bytes);
        if (xmlNode *root = xml::root(doc))
            collect(root, out);
        return out;
    }
    // Read as the book's reader reads it, so that its sentences are the same.
    const ContentDoc doc = readContentDoc(bytes);
    if (doc.body)
        collect(doc.body, out);
    return out;
}

} // namespace qyr::daisy
