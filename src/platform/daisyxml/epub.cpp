#include "reader.h"
#include "assembler.h"
#include "contentdoc.h"
#include "navigation.h"
#include "xml.h"

#include <functional>
#include <map>
#include <memory>

namespace qyr::daisy {

namespace {

const QString kContainer = QStringLiteral("META-INF/container.xml");

struct Item {
    QString href;    // as the package writes it, relative to the package
    QString disk;    // relative to the book's folder, as on disk; empty when missing
    QString overlay; // the id of its media overlay
    QStringList properties;
};

struct Package {
    QString title, language, identifier;
    QHash<QString, Item> items; // by id
    std::vector<std::pair<QString, bool>> spine; // idref, linear
    QString ncx; // the id of an NCX the spine names (older books)
};

// The first element child of n with the name, or null.
xmlNode *child(xmlNode *n, const char *name)
{
    for (xmlNode *c = n ? xml::firstElement(n->children) : nullptr; c; c = xml::nextElement(c))
        if (xml::is(c, name))
            return c;
    return nullptr;
}

QStringList tokens(const QString &value) { return value.split(QLatin1Char(' '), Qt::SkipEmptyParts); }

Package readPackage(const QByteArray &bytes)
{
    Package pkg;
    const xml::Doc doc = xml::readXml(bytes);
    xmlNode *root = xml::root(doc);
    xmlNode *metadata = child(root, "metadata"), *manifest = child(root, "manifest");
    for (xmlNode *m = xml::firstElement(metadata ? metadata->children : nullptr); m; m = xml::nextElement(m)) {
        QString *field = xml::is(m, "title") ? &pkg.title
                         : xml::is(m, "language") ? &pkg.language
                         : xml::is(m, "identifier") ? &pkg.identifier
                                                    : nullptr;
        if (field && field->isEmpty())
            *field = xml::normalized(xml::text(m));
    }
    for (xmlNode *i = xml::firstElement(manifest ? manifest->children : nullptr); i; i = xml::nextElement(i)) {
        if (xml::is(i, "item"))
            pkg.items.insert(xml::attr(i, "id"),
                             Item{xml::attr(i, "href"), QString(), xml::attr(i, "media-overlay"), tokens(xml::attr(i, "properties"))});
    }
    xmlNode *spine = child(root, "spine");
    pkg.ncx = xml::attr(spine, "toc");
    for (xmlNode *r = xml::firstElement(spine ? spine->children : nullptr); r; r = xml::nextElement(r))
        if (xml::is(r, "itemref"))
            pkg.spine.emplace_back(xml::attr(r, "idref"), xml::attr(r, "linear").trimmed() != QLatin1String("no"));
    return pkg;
}

// The package's name as container.xml gives it.
QString packageName(const QByteArray &container)
{
    const xml::Doc doc = xml::readXml(container);
    xmlNode *rootfiles = child(xml::root(doc), "rootfiles");
    QString any;
    for (xmlNode *r = xml::firstElement(rootfiles ? rootfiles->children : nullptr); r; r = xml::nextElement(r)) {
        if (!xml::is(r, "rootfile"))
            continue;
        const QString path = xml::attr(r, "full-path");
        if (xml::attr(r, "media-type").trimmed() == QLatin1String("application/oebps-package+xml"))
            return path;
        if (any.isEmpty())
            any = path;
    }
    return any;
}

// The navigation document's lists: the contents by nesting, the print pages.
class NavReader {
public:
    Navigation nav;

    void read(xmlNode *n)
    {
        for (xmlNode *c = xml::firstElement(n ? n->children : nullptr); c; c = xml::nextElement(c)) {
            if (!xml::is(c, "nav")) {
                read(c);
                continue;
            }
            const QStringList kind = tokens(xml::attr(c, "type"));
            if (kind.contains(QLatin1String("toc")) && nav.headings.empty())
                list(xml::find(c, "ol"), 1, false);
            else if (kind.contains(QLatin1String("page-list")) && nav.pages.empty())
                list(xml::find(c, "ol"), 1, true);
        }
    }

private:
    void list(xmlNode *ol, int level, bool pages)
    {
        for (xmlNode *li = xml::firstElement(ol ? ol->children : nullptr); li; li = xml::nextElement(li)) {
            if (!xml::is(li, "li"))
                continue;
            xmlNode *label = child(li, "a");
            if (!label)
                label = child(li, "span");
            const QString text = xml::normalized(xml::text(label));
            const auto [file, fragment] = splitReference(xml::attr(label, "href"));
            if (pages)
                nav.pages.push_back(Page{text, Target{file, fragment, -1}});
            else if (!text.isEmpty())
                nav.headings.push_back(Heading{text, std::min(level, 6), Target{file, fragment, -1}});
            if (xmlNode *inner = child(li, "ol"))
                list(inner, level + 1, pages);
        }
    }
};

class EpubBook {
public:
    EpubBook(IFiles &files, Folder &folder, Book &book) : files_(files), folder_(folder), book_(book) {}

    void read(const QString &opf)
    {
        const Result<QByteArray> bytes = folder_.read(opf);
        if (!bytes) {
            book_.addProblem(QStringLiteral("File non leggibile: %1 (%2)").arg(opf, bytes.failure().description));
            return;
        }
        pkg_ = readPackage(*bytes);
        base_ = Folder::dirOf(opf);
        book_.title = pkg_.title;
        book_.language = pkg_.language;
        book_.identifier = pkg_.identifier;
        for (Item &item : pkg_.items) {
            item.disk = folder_.resolve(base_, splitReference(item.href).first);
            if (!item.disk.isEmpty())
                hrefOf_.insert(item.disk, splitReference(item.href).first);
        }
        readSpine();
        if (book_.phrases.empty())
            book_.addProblem(QStringLiteral("Il libro non ha frasi da leggere: %1 non porta a nessun testo.").arg(opf));
        Navigation nav = navigation();
        place(nav.headings);
        if (nav.pages.empty())
            nav.pages = pageMarks();
        place(nav.pages);
        book_.headings = std::move(nav.headings);
        book_.pages = std::move(nav.pages);
        anchorTexts();
    }

private:
    void readSpine()
    {
        Assembler smil(files_, folder_, book_);
        for (const auto &[idref, linear] : pkg_.spine) {
            const auto item = pkg_.items.constFind(idref);
            // Items out of the reading order (notes, a cover page) are not read.
            if (!linear || item == pkg_.items.constEnd())
                continue;
            if (item->disk.isEmpty()) {
                book_.addProblem(QStringLiteral("File mancante: %1").arg(item->href));
                continue;
            }
            const int first = int(book_.phrases.size());
            const auto overlay = pkg_.items.constFind(item->overlay);
            if (overlay != pkg_.items.constEnd()) {
                smil.readSmilFiles(base_, {splitReference(overlay->href).first});
                nameByText(first, *item);
            } else {
                sentences(*item);
            }
            ranges_.insert(item->disk, {first, int(book_.phrases.size())});
        }
    }

    // A sentence of an overlay is named by the text it reads, as the package names that.
    void nameByText(int first, const Item &item)
    {
        for (size_t i = size_t(first); i < book_.phrases.size(); ++i) {
            Phrase &p = book_.phrases[i];
            p.smil = p.textFile.isEmpty() ? splitReference(item.href).first : hrefOf_.value(p.textFile, p.textFile);
            if (!p.textFragment.isEmpty())
                p.id = p.textFragment;
        }
    }

    // Read aloud by the program's voice, sentence by sentence.
    void sentences(const Item &item)
    {
        const ContentDoc *doc = content(item.disk);
        if (!doc)
            return;
        const QString href = splitReference(item.href).first;
        for (const QString &id : doc->sentences) {
            Phrase p;
            p.smil = href;
            p.id = id;
            p.textFile = item.disk;
            p.textFragment = id;
            book_.phrases.push_back(std::move(p));
        }
    }

    // A content document read once, when something needs it; null when it cannot be read.
    const ContentDoc *content(const QString &disk)
    {
        auto it = docs_.find(disk);
        if (it == docs_.end()) {
            std::unique_ptr<ContentDoc> doc;
            const Result<QByteArray> bytes = folder_.read(disk);
            if (bytes)
                doc = std::make_unique<ContentDoc>(readContentDoc(*bytes));
            else
                book_.addProblem(QStringLiteral("File non leggibile: %1 (%2)").arg(disk, bytes.failure().description));
            it = docs_.emplace(disk, std::move(doc)).first;
        }
        return it->second.get();
    }

    Navigation navigation()
    {
        for (const Item &item : std::as_const(pkg_.items)) {
            if (!item.properties.contains(QLatin1String("nav")) || item.disk.isEmpty())
                continue;
            const Result<QByteArray> bytes = folder_.read(item.disk);
            if (!bytes)
                break;
            const xml::Doc doc = xml::readXml(*bytes);
            NavReader r;
            r.read(xml::root(doc));
            navBase_ = Folder::dirOf(item.disk);
            if (!r.nav.headings.empty() || !r.nav.pages.empty())
                return std::move(r.nav);
        }
        // A book made for older readers lists its contents in an NCX.
        const auto ncx = pkg_.items.constFind(pkg_.ncx);
        if (ncx != pkg_.items.constEnd() && !ncx->disk.isEmpty()) {
            if (const Result<QByteArray> bytes = folder_.read(ncx->disk)) {
                navBase_ = Folder::dirOf(ncx->disk);
                return readNcx(*bytes);
            }
        }
        return Navigation();
    }

    // Without a page list, the page breaks the text marks, in reading order.
    std::vector<Page> pageMarks()
    {
        std::vector<Page> pages;
        navBase_.clear();
        for (const auto &[idref, linear] : pkg_.spine) {
            const auto item = pkg_.items.constFind(idref);
            if (!linear || item == pkg_.items.constEnd() || item->disk.isEmpty())
                continue;
            if (const ContentDoc *doc = content(item->disk))
                for (const ContentDoc::PageMark &m : doc->pageMarks)
                    pages.push_back(Page{m.label, Target{item->disk, m.id, -1}});
        }
        return pages;
    }

    // Each heading and page to the first sentence at or after the element it names.
    template <typename Items>
    void place(Items &items)
    {
        if (byText_.isEmpty())
            for (int i = 0; i < int(book_.phrases.size()); ++i)
                byText_.insert(book_.phrases[size_t(i)].textFile + QLatin1Char('#') + book_.phrases[size_t(i)].textFragment, i);
        for (auto &item : items) {
            Target &t = item.target;
            const QString disk = folder_.resolve(navBase_, t.smil);
            t.phrase = disk.isEmpty() ? -1 : phraseAt(disk, t.id);
            if (!disk.isEmpty())
                t.smil = hrefOf_.value(disk, disk);
        }
    }

    // Where the text's links lead: each sentence, each file read from its
    // first sentence, and each element of the documents read here to the
    // first sentence at or after it.
    void anchorTexts()
    {
        const int n = int(book_.phrases.size());
        for (int i = 0; i < n; ++i)
            book_.addTextAnchor(book_.phrases[size_t(i)].textFile, book_.phrases[size_t(i)].textFragment, i);
        for (auto range = ranges_.constBegin(); range != ranges_.constEnd(); ++range)
            book_.addTextAnchor(range.key(), QString(),
                                range->first < range->second ? range->first : range->second < n ? range->second : -1);
        for (const auto &[disk, doc] : docs_) {
            if (!doc || !ranges_.contains(disk))
                continue;
            const QString prefix = disk + QLatin1Char('#');
            std::vector<QString> pending;
            for (const QString &id : doc->ids) {
                pending.push_back(id);
                if (const auto found = byText_.constFind(prefix + id); found != byText_.constEnd()) {
                    for (const QString &p : pending)
                        book_.addTextAnchor(disk, p, *found);
                    pending.clear();
                }
            }
            const int after = ranges_.value(disk).second;
            for (const QString &p : pending)
                book_.addTextAnchor(disk, p, after < n ? after : -1);
        }
    }

    int phraseAt(const QString &disk, const QString &id)
    {
        const auto range = ranges_.constFind(disk);
        if (range == ranges_.constEnd())
            return -1;
        const int after = range->second < int(book_.phrases.size()) ? range->second : -1;
        const int first = range->first < range->second ? range->first : after;
        if (id.isEmpty())
            return first;
        const QString prefix = disk + QLatin1Char('#');
        if (const auto direct = byText_.constFind(prefix + id); direct != byText_.constEnd())
            return *direct;
        const ContentDoc *doc = content(disk);
        if (!doc)
            return first;
        const auto at = std::find(doc->ids.begin(), doc->ids.end(), id);
        if (at == doc->ids.end())
            return first;
        for (auto it = at; it != doc->ids.end(); ++it)
            if (const auto found = byText_.constFind(prefix + *it); found != byText_.constEnd())
                return *found;
        return after;
    }

    IFiles &files_;
    Folder &folder_;
    Book &book_;
    Package pkg_;
    QString base_, navBase_;
    QHash<QString, QString> hrefOf_;                   // a file as on disk to its name in the package
    QHash<QString, std::pair<int, int>> ranges_;       // a spine item's phrases, as on disk
    QHash<QString, int> byText_;                       // "text file#id" to its first phrase
    std::map<QString, std::unique_ptr<ContentDoc>> docs_;
};

} // namespace

bool isEpub(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    return !f.resolve(QString(), kContainer).isEmpty();
}

QString epubRefusal(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    const QString name = f.resolve(QString(), QStringLiteral("META-INF/encryption.xml"));
    const Result<QByteArray> bytes = name.isEmpty() ? Result<QByteArray>(Failure{}) : f.read(name);
    if (!bytes)
        return QString();
    // Fonts scrambled against copying (by the EPUB rule or Adobe's) are the
    // only ciphers a book may use and still be read.
    static const QStringList fonts{QStringLiteral("http://www.idpf.org/2008/embedding"),
                                   QStringLiteral("http://ns.adobe.com/pdf/enc#RC")};
    const xml::Doc doc = xml::readXml(*bytes);
    std::function<QString(xmlNode *)> walk = [&](xmlNode *n) -> QString {
        for (xmlNode *c = xml::firstElement(n ? n->children : nullptr); c; c = xml::nextElement(c)) {
            if (!xml::is(c, "EncryptedData")) {
                if (QString found = walk(c); !found.isEmpty())
                    return found;
                continue;
            }
            const QString algorithm = xml::attr(child(c, "EncryptionMethod"), "Algorithm").trimmed();
            if (fonts.contains(algorithm))
                continue;
            const QString file = xml::attr(xml::find(c, "CipherReference"), "URI");
            return QStringLiteral("Il libro %1 è protetto (DRM): il file %2 è cifrato e questo programma non può leggerlo.")
                .arg(folder, file.isEmpty() ? name : file);
        }
        return QString();
    };
    return walk(xml::root(doc));
}

std::optional<Book> openEpub(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    const QString container = f.resolve(QString(), kContainer);
    if (container.isEmpty())
        return std::nullopt;
    Book book;
    book.format = Format::Epub3;
    const Result<QByteArray> bytes = f.read(container);
    const QString written = bytes ? packageName(*bytes) : QString();
    const QString opf = f.resolve(QString(), written);
    if (opf.isEmpty()) {
        book.addProblem(written.isEmpty() ? QStringLiteral("Il file %1 non nomina il pacchetto del libro.").arg(container)
                                          : QStringLiteral("Pacchetto mancante: %1").arg(written));
    } else {
        EpubBook(files, f, book).read(opf);
    }
    if (book.title.isEmpty())
        book.title = folder.section(QLatin1Char('/'), -1);
    book.finish();
    return book;
}

} // namespace qyr::daisy
