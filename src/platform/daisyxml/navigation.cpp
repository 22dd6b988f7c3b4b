#include "navigation.h"
#include "smil.h"
#include "xml.h"

#include <QRegularExpression>
#include <algorithm>

namespace qyr::daisy {

namespace {

Target targetOf(const QString &href)
{
    const auto [file, fragment] = splitReference(href);
    return Target{file, fragment, -1};
}

bool isSmil(const QString &file) { return file.endsWith(QLatin1String(".smil"), Qt::CaseInsensitive); }

int headingLevel(const xmlNode *n)
{
    if (n->type != XML_ELEMENT_NODE || !n->name || (n->name[0] != 'h' && n->name[0] != 'H'))
        return 0;
    const xmlChar d = n->name[1];
    return d >= '1' && d <= '6' && n->name[2] == 0 ? d - '0' : 0;
}

bool isPageSpan(const xmlNode *n)
{
    if (!xml::is(n, "span"))
        return false;
    const QString cls = xml::attr(n, "class");
    return cls.contains(QLatin1String("page-normal"), Qt::CaseInsensitive) ||
           cls.contains(QLatin1String("page-front"), Qt::CaseInsensitive) ||
           cls.contains(QLatin1String("page-special"), Qt::CaseInsensitive);
}

class NccReader {
public:
    Navigation nav;

    void walk(xmlNode *node)
    {
        for (xmlNode *n = xml::firstElement(node); n; n = xml::nextElement(n)) {
            if (const int level = headingLevel(n)) {
                Heading h;
                h.text = xml::normalized(xml::text(n));
                h.level = level;
                h.target = firstLink(n);
                nav.headings.push_back(std::move(h));
            } else if (isPageSpan(n)) {
                Page p;
                p.label = xml::normalized(xml::text(n));
                p.target = firstLink(n);
                nav.pages.push_back(std::move(p));
            }
            if (xml::is(n, "a"))
                note(targetOf(xml::attr(n, "href")).smil);
            walk(n->children);
        }
    }

private:
    QSet<QString> seen_;

    void note(const QString &file)
    {
        if (isSmil(file) && !seen_.contains(file.toLower())) {
            seen_.insert(file.toLower());
            nav.smilOrder << file;
        }
    }
    static Target firstLink(xmlNode *n)
    {
        const xmlNode *a = xml::is(n, "a") ? n : xml::find(n, "a");
        return a ? targetOf(xml::attr(a, "href")) : Target{};
    }
};

// The element's first child element of that name.
xmlNode *child(xmlNode *n, const char *name)
{
    for (xmlNode *c = xml::firstElement(n ? n->children : nullptr); c; c = xml::nextElement(c))
        if (xml::is(c, name))
            return c;
    return nullptr;
}

QString labelOf(xmlNode *point)
{
    return xml::normalized(xml::text(child(child(point, "navLabel"), "text")));
}

// The playOrder an element gives, -1 when it gives none.
int playOrderOf(xmlNode *n)
{
    bool ok = false;
    const int order = xml::attr(n, "playOrder").trimmed().toInt(&ok);
    return ok ? order : -1;
}

// Items in the reading order their playOrder gives, which the file's own
// order need not follow; left as written unless every item gives one.
template <typename Item>
void byPlayOrder(std::vector<Item> &items, const std::vector<int> &orders)
{
    if (orders.size() != items.size() || std::find(orders.begin(), orders.end(), -1) != orders.end())
        return;
    std::vector<size_t> index(items.size());
    for (size_t i = 0; i < index.size(); ++i)
        index[i] = i;
    std::stable_sort(index.begin(), index.end(), [&](size_t a, size_t b) { return orders[a] < orders[b]; });
    std::vector<Item> sorted;
    sorted.reserve(items.size());
    for (const size_t i : index)
        sorted.push_back(std::move(items[i]));
    items = std::move(sorted);
}

void navPoints(xmlNode *parent, int level, Navigation &nav, std::vector<int> &orders)
{
    for (xmlNode *c = xml::firstElement(parent->children); c; c = xml::nextElement(c)) {
        if (!xml::is(c, "navPoint"))
            continue;
        Heading h;
        h.text = labelOf(c);
        h.level = std::min(level, 6);
        h.target = targetOf(xml::attr(child(c, "content"), "src"));
        nav.headings.push_back(std::move(h));
        orders.push_back(playOrderOf(c));
        navPoints(c, level + 1, nav, orders);
    }
}

} // namespace

// "1 of 2" (as the standard writes it; "1 di 2" and "1/2" too): volume 1 of a set of 2.
void setInfo(const QString &text, Navigation &nav)
{
    static const QRegularExpression re(QStringLiteral(R"(^\s*(\d{1,4})\s*(?:of|di|/)\s*(\d{1,4})\s*$)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    const int n = m.captured(1).toInt(), of = m.captured(2).toInt();
    if (m.hasMatch() && n >= 1 && n <= of) {
        nav.volume = n;
        nav.volumes = of;
    }
}

Navigation readNcc(const QByteArray &bytes)
{
    NccReader r;
    const xml::Doc doc = xml::readHtml(bytes, &r.nav.stoppedAt);
    xmlNode *root = xml::root(doc);
    if (!root)
        return {};
    if (xmlNode *head = xml::find(root, "head")) {
        for (xmlNode *m = xml::firstElement(head->children); m; m = xml::nextElement(m)) {
            if (!xml::is(m, "meta"))
                continue;
            const QString name = xml::attr(m, "name").toLower();
            if (name == QLatin1String("dc:title"))
                r.nav.title = xml::normalized(xml::attr(m, "content"));
            else if (name == QLatin1String("dc:identifier"))
                r.nav.identifier = xml::normalized(xml::attr(m, "content"));
            else if (name == QLatin1String("dc:language") && r.nav.language.isEmpty())
                r.nav.language = xml::normalized(xml::attr(m, "content"));
            else if (name == QLatin1String("ncc:setinfo"))
                setInfo(xml::attr(m, "content"), r.nav);
        }
        if (r.nav.title.isEmpty())
            r.nav.title = xml::normalized(xml::text(xml::find(head, "title")));
    }
    xmlNode *body = xml::find(root, "body");
    r.walk(body ? body->children : root->children);
    if (r.nav.title.isEmpty() && !r.nav.headings.empty())
        r.nav.title = r.nav.headings.front().text;
    return std::move(r.nav);
}

Navigation readNcx(const QByteArray &bytes)
{
    Navigation nav;
    const xml::Doc doc = xml::readXml(bytes, &nav.stoppedAt);
    xmlNode *root = xml::root(doc);
    if (!root)
        return nav;
    nav.title = xml::normalized(xml::text(child(child(root, "docTitle"), "text")));
    std::vector<int> orders;
    if (xmlNode *map = child(root, "navMap"))
        navPoints(map, 1, nav, orders);
    byPlayOrder(nav.headings, orders);
    orders.clear();
    if (xmlNode *list = child(root, "pageList")) {
        for (xmlNode *c = xml::firstElement(list->children); c; c = xml::nextElement(c)) {
            if (!xml::is(c, "pageTarget"))
                continue;
            Page p;
            p.label = labelOf(c);
            p.target = targetOf(xml::attr(child(c, "content"), "src"));
            nav.pages.push_back(std::move(p));
            orders.push_back(playOrderOf(c));
        }
    }
    byPlayOrder(nav.pages, orders);
    return nav;
}

Package readOpf(const QByteArray &bytes)
{
    Package pkg;
    const xml::Doc doc = xml::readXml(bytes);
    xmlNode *root = xml::root(doc);
    if (!root)
        return pkg;
    if (xmlNode *meta = child(root, "metadata")) {
        // dc elements sit in dc-metadata, or straight in metadata in some packages.
        for (xmlNode *holder : {child(meta, "dc-metadata"), meta}) {
            if (!holder)
                continue;
            for (xmlNode *m = xml::firstElement(holder->children); m; m = xml::nextElement(m)) {
                if (xml::is(m, "Title") && pkg.title.isEmpty())
                    pkg.title = xml::normalized(xml::text(m));
                else if (xml::is(m, "Format") && pkg.format.isEmpty())
                    pkg.format = xml::normalized(xml::text(m));
                else if (xml::is(m, "Language") && pkg.language.isEmpty())
                    pkg.language = xml::normalized(xml::text(m));
            }
        }
    }
    QHash<QString, QString> hrefs;
    if (xmlNode *manifest = child(root, "manifest")) {
        for (xmlNode *item = xml::firstElement(manifest->children); item; item = xml::nextElement(item)) {
            if (!xml::is(item, "item"))
                continue;
            const QString href = xml::attr(item, "href");
            hrefs.insert(xml::attr(item, "id"), href);
            if (pkg.ncx.isEmpty() && (xml::attr(item, "media-type") == QLatin1String("application/x-dtbncx+xml")))
                pkg.ncx = href;
        }
    }
    if (xmlNode *spine = child(root, "spine")) {
        const QString toc = xml::attr(spine, "toc");
        if (!toc.isEmpty() && hrefs.contains(toc))
            pkg.ncx = hrefs.value(toc);
        for (xmlNode *ref = xml::firstElement(spine->children); ref; ref = xml::nextElement(ref)) {
            const QString href = hrefs.value(xml::attr(ref, "idref"));
            if (xml::is(ref, "itemref") && isSmil(splitReference(href).first))
                pkg.spine << splitReference(href).first;
        }
    }
    return pkg;
}

bool isDaisy3Format(const QString &format)
{
    return format.simplified().compare(QLatin1String("ANSI/NISO Z39.86-2005"), Qt::CaseInsensitive) == 0;
}

} // namespace qyr::daisy
