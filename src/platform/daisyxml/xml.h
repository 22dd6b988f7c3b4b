#pragma once
// The book's files through libxml2: a well-kept library whose HTML parser
// reads the broken HTML of old books (unclosed tags, undeclared entities)
// as a browser would, and whose XML parser recovers from small faults.
// Books are untrusted: nothing is fetched from the network and no external
// entity or DTD is ever loaded. Each file's encoding is worked out here and
// handed to the parser by name.
#include <QByteArray>
#include <QString>
#include <libxml/tree.h>
#include <memory>

namespace qyr::daisy::xml {

// Where the text begins (after a byte-order mark) and its encoding's name.
struct Encoding {
    QByteArray name;
    int skip = 0;
};
// Byte-order mark, XML declaration, <meta> charset, ncc:charset, else
// UTF-8 when the bytes are valid UTF-8 with some non-ASCII, else windows-1252.
Encoding htmlEncoding(const QByteArray &bytes);
// Byte-order mark, XML declaration, else UTF-8 when valid, else windows-1252.
Encoding xmlEncoding(const QByteArray &bytes);

struct FreeDoc {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, FreeDoc>;

// A whole file read; stopped, when given, gets the line where the parser
// gave up before the end (nesting too deep, an entity without end), else 0.
Doc readHtml(const QByteArray &bytes, int *stopped = nullptr);
Doc readXml(const QByteArray &bytes, int *stopped = nullptr);

xmlNode *root(const Doc &doc);
// The element's name without prefix, compared without regard to letter case.
bool is(const xmlNode *node, const char *name);
QString attr(const xmlNode *node, const char *name); // any prefix, any letter case
bool hasAttr(const xmlNode *node, const char *name);
// The value's UTF-8 bytes, without a copy when it can: valid while the document lives.
QByteArray rawAttr(const xmlNode *node, const char *name);
QString text(const xmlNode *node);                   // all text below, as written
QString normalized(const QString &text);             // no-break spaces as spaces, whitespace collapsed
// The first element below node (depth first) with the given name, or null.
xmlNode *find(xmlNode *node, const char *name);

inline xmlNode *firstElement(xmlNode *n)
{
    while (n && n->type != XML_ELEMENT_NODE)
        n = n->next;
    return n;
}
inline xmlNode *nextElement(xmlNode *n) { return firstElement(n ? n->next : nullptr); }

} // namespace qyr::daisy::xml
