#include "reader.h"
#include "../files/casenames.h"
#include "navigation.h"
#include "smil.h"

namespace qyr::daisy {

namespace {

constexpr qint64 kMaxNavigation = 64 * 1024 * 1024;
constexpr qint64 kMaxSmil = 16 * 1024 * 1024;

// The book's folders as listed, each read once: names resolved in any letter case
// by the one rule of CaseNames, paths relative to the book's folder with "/" between names.
class Folder {
public:
    Folder(IFiles &files, const QString &root) : files_(files), root_(root)
    {
        while (root_.endsWith(QLatin1Char('/')) && root_.size() > 1)
            root_.chop(1);
    }

    QString path(const QString &relative) const { return root_ + QLatin1Char('/') + relative; }

    // The name as on disk of a file named relative to the folder `base`, or empty.
    QString resolve(const QString &base, const QString &name)
    {
        if (name.isEmpty() || name.contains(QLatin1Char(':')) || name.startsWith(QLatin1Char('/')))
            return QString();
        const QString key = base + QLatin1Char('|') + name;
        const auto cached = resolved_.constFind(key);
        if (cached != resolved_.constEnd())
            return *cached;
        QStringList parts = base.isEmpty() ? QStringList() : base.split(QLatin1Char('/'));
        for (const QString &part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            if (part == QLatin1String("."))
                continue;
            if (part == QLatin1String("..")) {
                if (parts.isEmpty())
                    return remember(key, QString()); // outside the book
                parts.removeLast();
                continue;
            }
            const QString found = listing(parts.join(QLatin1Char('/'))).find(part);
            if (found.isEmpty())
                return remember(key, QString());
            parts << found;
        }
        return remember(key, parts.join(QLatin1Char('/')));
    }

    QStringList names(const QString &dir = QString()) { return listing(dir).names(); }

    static QString dirOf(const QString &relative)
    {
        const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
        return slash < 0 ? QString() : relative.left(slash);
    }

private:
    const CaseNames &listing(const QString &dir)
    {
        auto it = listings_.find(dir);
        if (it == listings_.end()) {
            const QString full = dir.isEmpty() ? root_ : path(dir);
            it = listings_.insert(dir, CaseNames(files_.files(full) + files_.folders(full)));
        }
        return *it;
    }
    QString remember(const QString &key, const QString &value)
    {
        resolved_.insert(key, value);
        return value;
    }

    IFiles &files_;
    QString root_;
    QHash<QString, CaseNames> listings_;
    QHash<QString, QString> resolved_;
};

QString findNcc(Folder &folder) { return folder.resolve(QString(), QStringLiteral("ncc.html")); }

// The first package in the folder that says it is a DAISY 3 book.
std::optional<std::pair<QString, Package>> findPackage(IFiles &files, Folder &folder)
{
    QStringList names = folder.names();
    names.sort();
    for (const QString &n : names) {
        if (!n.endsWith(QLatin1String(".opf"), Qt::CaseInsensitive))
            continue;
        const Result<QByteArray> bytes = files.readFile(folder.path(n), kMaxNavigation);
        if (!bytes.ok())
            continue;
        Package pkg = readOpf(*bytes);
        if (isDaisy3Format(pkg.format))
            return std::make_pair(n, std::move(pkg));
    }
    return std::nullopt;
}

class Assembler {
public:
    Assembler(IFiles &files, Folder &folder, Book &book) : files_(files), folder_(folder), book_(book) {}

    // Notes the ids the headings and pages lead to, before the SMIL files are read.
    template <typename Items>
    void want(const QString &base, const Items &items)
    {
        for (const auto &item : items)
            wanted_[smilKey(base, item.target.smil)].insert(item.target.id.toUtf8());
    }

    // Reads the SMIL files in order; base is the folder their names are relative to.
    void readSmilFiles(const QString &base, const QStringList &order)
    {
        for (const QString &written : order) {
            const QString disk = folder_.resolve(base, written);
            const QString key = smilKey(base, written);
            // One file named twice ("./a.smil", "A.SMIL") is read once.
            if (smilStart_.contains(key))
                continue;
            smilStart_.insert(key, int(book_.phrases.size()));
            if (disk.isEmpty()) {
                book_.addProblem(QStringLiteral("File SMIL mancante: %1").arg(written));
                continue;
            }
            const Result<QByteArray> bytes = files_.readFile(folder_.path(disk), kMaxSmil);
            if (!bytes.ok()) {
                book_.addProblem(QStringLiteral("File SMIL non leggibile: %1").arg(disk));
                continue;
            }
            const auto wanted = wanted_.constFind(key);
            add(disk, readSmil(*bytes, wanted == wanted_.constEnd() ? &none_ : &*wanted));
        }
    }

    // Each heading and page to the phrase its SMIL file and id lead to.
    template <typename Items>
    void place(const QString &base, Items &items)
    {
        for (auto &item : items) {
            Target &t = item.target;
            const QString key = smilKey(base, t.smil);
            const QString disk = folder_.resolve(base, t.smil);
            if (disk.isEmpty()) {
                t.phrase = smilStart_.value(key, -1); // the name stays as written
                continue;
            }
            t.smil = disk;
            const int at = book_.anchor(t.smil, t.id);
            t.phrase = at >= 0 ? at : smilStart_.value(key, -1);
        }
    }

private:
    QString smilKey(const QString &base, const QString &written) const
    {
        const QString disk = folder_.resolve(base, written);
        return (disk.isEmpty() ? base + QLatin1Char('/') + written : disk).toLower();
    }

    void add(const QString &smil, SmilFile &&file)
    {
        const int offset = int(book_.phrases.size());
        const QString dir = Folder::dirOf(smil);
        for (const auto &[id, phrase] : file.anchors)
            book_.addAnchor(smil, id, offset + phrase);
        for (const QString &bad : file.badTimes)
            book_.addProblem(QStringLiteral("Tempo non valido in %1: %2").arg(smil, bad));
        // A file's clips mostly name one audio and one text file: each resolved once in a row.
        QString textWritten, textDisk, audioWritten, audioDisk;
        for (Phrase &p : file.phrases) {
            p.smil = smil;
            if (!p.textFile.isEmpty()) {
                if (p.textFile != textWritten) {
                    textWritten = p.textFile;
                    textDisk = nameOf(dir, p.textFile, nullptr);
                }
                p.textFile = textDisk;
            }
            if (!p.audio.isEmpty()) {
                if (p.audio != audioWritten) {
                    audioWritten = p.audio;
                    audioDisk = nameOf(dir, p.audio, "File audio mancante: %1");
                }
                p.audio = audioDisk;
            }
            book_.phrases.push_back(std::move(p));
        }
    }

    // The name as on disk, else as written (and the problem named once).
    QString nameOf(const QString &dir, const QString &written, const char *missing)
    {
        const QString disk = folder_.resolve(dir, written);
        if (!disk.isEmpty())
            return disk;
        if (missing)
            book_.addProblem(QString::fromLatin1(missing).arg(written));
        return written;
    }

    IFiles &files_;
    Folder &folder_;
    Book &book_;
    QHash<QString, int> smilStart_; // where each SMIL file's phrases begin, or would have
    QHash<QString, QSet<QByteArray>> wanted_;
    const QSet<QByteArray> none_;
};

// The SMIL files read in reading order, the headings and pages placed on
// their phrases: navBase is the folder the navigation's links start from,
// smilBase the one the reading order's do.
void assemble(IFiles &files, Folder &folder, Book &book, Navigation nav, const QString &navBase,
              const QString &smilBase, const QStringList &smilOrder)
{
    Assembler a(files, folder, book);
    a.want(navBase, nav.headings);
    a.want(navBase, nav.pages);
    a.readSmilFiles(smilBase, smilOrder);
    a.place(navBase, nav.headings);
    a.place(navBase, nav.pages);
    book.headings = std::move(nav.headings);
    book.pages = std::move(nav.pages);
    book.finish();
}

Book daisy2(IFiles &files, Folder &folder, const QString &ncc)
{
    Book book;
    book.format = Format::Daisy2;
    const Result<QByteArray> bytes = files.readFile(folder.path(ncc), kMaxNavigation);
    if (!bytes.ok()) {
        book.addProblem(QStringLiteral("File non leggibile: %1").arg(ncc));
        book.finish();
        return book;
    }
    Navigation nav = readNcc(*bytes);
    book.title = nav.title;
    const QString base = Folder::dirOf(ncc);
    const QStringList order = nav.smilOrder;
    assemble(files, folder, book, std::move(nav), base, base, order);
    return book;
}

Book daisy3(IFiles &files, Folder &folder, const QString &opf, const Package &pkg)
{
    Book book;
    book.format = Format::Daisy3;
    book.title = pkg.title;
    const QString base = Folder::dirOf(opf);
    Navigation nav;
    const QString ncx = folder.resolve(base, splitReference(pkg.ncx).first);
    if (ncx.isEmpty()) {
        book.addProblem(pkg.ncx.isEmpty() ? QStringLiteral("File NCX mancante")
                                          : QStringLiteral("File NCX mancante: %1").arg(pkg.ncx));
    } else if (const Result<QByteArray> bytes = files.readFile(folder.path(ncx), kMaxNavigation); bytes.ok()) {
        nav = readNcx(*bytes);
    } else {
        book.addProblem(QStringLiteral("File non leggibile: %1").arg(ncx));
    }
    if (book.title.isEmpty())
        book.title = nav.title;
    // The navigation file's links are relative to its own folder.
    assemble(files, folder, book, std::move(nav), Folder::dirOf(ncx), base, pkg.spine);
    return book;
}

} // namespace

std::optional<Format> formatOf(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    if (!findNcc(f).isEmpty())
        return Format::Daisy2;
    if (findPackage(files, f))
        return Format::Daisy3;
    return std::nullopt;
}

std::optional<Book> openBook(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    if (const QString ncc = findNcc(f); !ncc.isEmpty())
        return daisy2(files, f, ncc);
    if (const auto pkg = findPackage(files, f))
        return daisy3(files, f, pkg->first, pkg->second);
    return std::nullopt;
}

} // namespace qyr::daisy
