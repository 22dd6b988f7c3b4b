#include "xml.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <mutex>

namespace qyr::daisy::xml {

namespace {

xmlParserInputPtr refuseExternal(const char *, const char *, xmlParserCtxtPtr) { return nullptr; }

void init()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // No file or address named inside a book is ever opened by the parser.
        xmlSetExternalEntityLoader(refuseExternal);
    });
}

bool known(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    xmlCharEncodingHandlerPtr h = xmlFindCharEncodingHandler(name.constData());
    if (!h)
        return false;
    xmlCharEncCloseFunc(h);
    return true;
}

// Names that old books write for what is really windows-1252, as browsers read them.
QByteArray usable(QByteArray name)
{
    name = name.trimmed().toLower();
    static const char *const western[] = {"iso-8859-1", "iso8859-1", "latin1", "latin-1",
                                          "us-ascii",   "ascii",     "cp1252"};
    for (const char *w : western)
        if (name == w)
            return "windows-1252";
    // A declaration read as ASCII cannot be in a 16- or 32-bit encoding
    // (a BOM would say so): the bytes are judged instead, as browsers do.
    if (name.startsWith("utf-16") || name.startsWith("utf16") || name.startsWith("utf-32") || name.startsWith("ucs"))
        return QByteArray();
    return known(name) ? name : QByteArray();
}

Encoding bom(const QByteArray &b)
{
    if (b.startsWith("\xEF\xBB\xBF"))
        return {"UTF-8", 3};
    if (b.startsWith("\xFF\xFE"))
        return {"UTF-16LE", 2};
    if (b.startsWith("\xFE\xFF"))
        return {"UTF-16BE", 2};
    return {};
}

QByteArray declared(const QByteArray &b)
{
    static const QRegularExpression decl(
        QStringLiteral(R"(^\s*<\?xml[^>]*?\sencoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])"));
    const QRegularExpressionMatch m = decl.match(QString::fromLatin1(b.left(256)));
    return m.hasMatch() ? usable(m.captured(1).toLatin1()) : QByteArray();
}

// Qt's decoder judges: no overlong form, encoded surrogate, value past U+10FFFF or cut sequence.
bool validUtf8(const QByteArray &b, bool &anyHigh)
{
    anyHigh = std::any_of(b.cbegin(), b.cend(), [](char c) { return uchar(c) >= 0x80; });
    if (!anyHigh)
        return true;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = utf8.decode(b);
    return !utf8.hasError();
}

QByteArray guess(const QByteArray &b)
{
    bool high = false;
    return validUtf8(b, high) && high ? QByteArrayLiteral("UTF-8") : QByteArrayLiteral("windows-1252");
}

} // namespace

Encoding htmlEncoding(const QByteArray &bytes)
{
    if (Encoding e = bom(bytes); !e.name.isEmpty())
        return e;
    if (QByteArray d = declared(bytes); !d.isEmpty())
        return {d, 0};
    // The head, where the <meta> elements are; its markup is ASCII in every encoding met here.
    QByteArray head = bytes.left(65536).toLower();
    if (const qsizetype body = head.indexOf("<body"); body >= 0)
        head.truncate(body);
    const QString h = QString::fromLatin1(head);
    static const QRegularExpression meta(QStringLiteral("<meta\\b[^>]*>"));
    static const QRegularExpression charset(QStringLiteral(R"((?<![:\w])charset\s*=\s*["']?\s*([a-z0-9._:-]+))"));
    static const QRegularExpression content(QStringLiteral(R"(\bcontent\s*=\s*["']?\s*([a-z0-9._:-]+))"));
    QByteArray fromMeta, fromNcc;
    for (auto it = meta.globalMatch(h); it.hasNext();) {
        const QString tag = it.next().captured(0);
        if (tag.contains(QLatin1String("ncc:charset"))) {
            if (fromNcc.isEmpty())
                fromNcc = usable(content.match(tag).captured(1).toLatin1());
        } else if (fromMeta.isEmpty()) {
            fromMeta = usable(charset.match(tag).captured(1).toLatin1());
        }
    }
    if (!fromMeta.isEmpty())
        return {fromMeta, 0};
    if (!fromNcc.isEmpty())
        return {fromNcc, 0};
    return {guess(bytes), 0};
}

Encoding xmlEncoding(const QByteArray &bytes)
{
    if (Encoding e = bom(bytes); !e.name.isEmpty())
        return e;
    if (QByteArray d = declared(bytes); !d.isEmpty())
        return {d, 0};
    bool high = false;
    return {validUtf8(bytes, high) ? QByteArrayLiteral("UTF-8") : QByteArrayLiteral("windows-1252"), 0};
}

namespace {

// The text the parser reads: a NUL byte in an 8-bit text (a damaged file)
// would end it there, with everything after it lost.
QByteArray parsable(const QByteArray &bytes, const Encoding &e)
{
    QByteArray text = bytes.mid(e.skip);
    if (!e.name.toUpper().startsWith("UTF-16") && !e.name.toUpper().startsWith("UTF-32"))
        text.replace('\0', ' ');
    return text;
}

// The line where the parser gave up before the end, 0 when it read it all.
int stoppedAt(xmlParserCtxtPtr ctxt)
{
    if (!ctxt->disableSAX)
        return 0;
    const xmlError *e = xmlCtxtGetLastError(ctxt);
    return e && e->line > 0 ? e->line : 1;
}

} // namespace

Doc readHtml(const QByteArray &bytes, int *stopped)
{
    init();
    const Encoding e = htmlEncoding(bytes);
    const QByteArray text = parsable(bytes, e);
    const std::unique_ptr<htmlParserCtxt, void (*)(htmlParserCtxtPtr)> ctxt(htmlNewParserCtxt(), htmlFreeParserCtxt);
    if (!ctxt)
        return Doc();
    // HUGE lifts the depth of 256 elements, which pages nested in lists of
    // headings pass; the HTML parser expands no entity of the book's own.
    Doc doc(htmlCtxtReadMemory(ctxt.get(), text.constData(), int(text.size()), nullptr, e.name.constData(),
                               HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                                   HTML_PARSE_COMPACT | XML_PARSE_HUGE));
    if (stopped)
        *stopped = stoppedAt(ctxt.get());
    return doc;
}

Doc readXml(const QByteArray &bytes, int *stopped)
{
    init();
    const Encoding e = xmlEncoding(bytes);
    const QByteArray text = parsable(bytes, e);
    const std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt)
        return Doc();
    // No XML_PARSE_NOENT, DTDLOAD or DTDATTR: entities stay unexpanded and no
    // DTD is read; nor HUGE, which would let an entity grow without end.
    Doc doc(xmlCtxtReadMemory(ctxt.get(), text.constData(), int(text.size()), nullptr, e.name.constData(),
                              XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                  XML_PARSE_COMPACT));
    if (stopped)
        *stopped = stoppedAt(ctxt.get());
    return doc;
}

xmlNode *root(const Doc &doc) { return doc ? xmlDocGetRootElement(doc.get()) : nullptr; }

bool is(const xmlNode *node, const char *name)
{
    if (!node || node->type != XML_ELEMENT_NODE || !node->name)
        return false;
    // A prefix whose namespace is never declared stays in the name ("dc:Format").
    const xmlChar *n = node->name;
    if (const xmlChar *colon = xmlStrchr(n, ':'))
        n = colon + 1;
    return xmlStrcasecmp(n, reinterpret_cast<const xmlChar *>(name)) == 0;
}

namespace {

// The attribute's own name, without a prefix libxml2 may have left in it (HTML keeps "ncc:charset" whole).
const xmlAttr *findAttr(const xmlNode *node, const char *name)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return nullptr;
    const auto *want = reinterpret_cast<const xmlChar *>(name);
    for (const xmlAttr *a = node->properties; a; a = a->next) {
        const xmlChar *n = a->name;
        if (const xmlChar *colon = xmlStrchr(n, ':'))
            n = colon + 1;
        if (xmlStrcasecmp(n, want) == 0 || xmlStrcasecmp(a->name, want) == 0)
            return a;
    }
    return nullptr;
}

void collect(const xmlNode *n, QString &out)
{
    for (; n; n = n->next) {
        if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content)
            out += QString::fromUtf8(reinterpret_cast<const char *>(n->content));
        else if (n->type == XML_ELEMENT_NODE)
            collect(n->children, out);
    }
}

} // namespace

bool hasAttr(const xmlNode *node, const char *name) { return findAttr(node, name) != nullptr; }

QByteArray rawAttr(const xmlNode *node, const char *name)
{
    const xmlAttr *a = findAttr(node, name);
    if (!a || !a->children)
        return QByteArray();
    const xmlNode *c = a->children;
    if (!c->next && c->type == XML_TEXT_NODE && c->content) {
        const char *v = reinterpret_cast<const char *>(c->content);
        return QByteArray::fromRawData(v, qsizetype(qstrlen(v)));
    }
    xmlChar *joined = xmlNodeListGetString(a->doc, c, 1);
    const QByteArray out(reinterpret_cast<const char *>(joined));
    xmlFree(joined);
    return out;
}

QString attr(const xmlNode *node, const char *name)
{
    const xmlAttr *a = findAttr(node, name);
    if (!a || !a->children)
        return QString();
    const xmlNode *c = a->children;
    if (!c->next && c->type == XML_TEXT_NODE && c->content)
        return QString::fromUtf8(reinterpret_cast<const char *>(c->content));
    xmlChar *joined = xmlNodeListGetString(a->doc, c, 1);
    const QString out = QString::fromUtf8(reinterpret_cast<const char *>(joined));
    xmlFree(joined);
    return out;
}

QString text(const xmlNode *node)
{
    QString out;
    if (node)
        collect(node->children, out);
    return out;
}

QString normalized(const QString &text)
{
    QString t = text;
    t.replace(QChar(0x00A0), QLatin1Char(' '));
    return t.simplified();
}

xmlNode *find(xmlNode *node, const char *name)
{
    for (xmlNode *c = node ? node->children : nullptr; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        if (is(c, name))
            return c;
        if (xmlNode *below = find(c, name))
            return below;
    }
    return nullptr;
}

} // namespace qyr::daisy::xml
