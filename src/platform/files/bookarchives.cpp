#include "bookarchives.h"
#include "../bookpath.h"
#include "../errors.h"

#include <QDir>
#include <QFileInfo>

namespace qyr {

namespace {

constexpr int kKeptOpen = 4; // the book read and a few before it

QString clean(const QString &path)
{
    const QString p = pathFromAddress(path);
    return p.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(p));
}

// A file that opens a book: its navigation file, its package, its index page.
bool opensABook(const QString &name)
{
    const QString n = name.toLower();
    return n == QLatin1String("ncc.html") || n == QLatin1String("ncc.htm") || n.endsWith(QLatin1String(".opf")) ||
           n == QLatin1String("index.htm") || n == QLatin1String("index.html");
}

Failure refusedInside(const QString &path)
{
    return Failure{err::PathAccess, QStringLiteral("Il file %1 è dentro un archivio: non vi si scrive.").arg(path)};
}

} // namespace

bool BookArchives::isArchive(const QString &path)
{
    const QString p = clean(path);
    if (p.isEmpty() || !QFileInfo(p).isFile())
        return false;
    const QString suffix = QFileInfo(p).suffix().toLower();
    return suffix == QLatin1String("zip") || suffix == QLatin1String("daisy") || suffix == QLatin1String("epub") || looksLikeZip(p);
}

Result<QString> BookArchives::openArchive(const QString &path)
{
    const QString p = clean(path);
    const QFileInfo info(p);
    {
        // Asked again (the chooser, then the opening): the same zip unchanged is not read again.
        const std::lock_guard<std::mutex> hold(lock_);
        for (const Opened &o : std::as_const(open_))
            if (o.zip->path() == p && o.stamp == info.lastModified() && o.size == info.size())
                return p;
    }
    Result<std::shared_ptr<ZipArchive>> opened = ZipArchive::open(p);
    if (!opened)
        return opened.failure();
    const std::shared_ptr<ZipArchive> zip = *opened;
    // The book at the top of the zip, or in the one folder holding it all
    // (a zip made by packing the book's folder).
    QString base;
    const auto holdsBook = [&zip](const QString &inner) {
        const QStringList names = zip->files(inner);
        if (std::any_of(names.cbegin(), names.cend(), opensABook))
            return true;
        // An EPUB names its package in META-INF/container.xml.
        const QString meta = inner.isEmpty() ? QStringLiteral("META-INF") : inner + QStringLiteral("/META-INF");
        const QStringList inMeta = zip->files(meta);
        return std::any_of(inMeta.cbegin(), inMeta.cend(),
                           [](const QString &n) { return n.compare(QLatin1String("container.xml"), Qt::CaseInsensitive) == 0; });
    };
    if (!holdsBook(QString())) {
        QStringList top = zip->folders(QString());
        top.removeAll(QStringLiteral("__MACOSX")); // left by one system's packer
        if (top.size() == 1 && zip->files(QString()).isEmpty() && holdsBook(top.first()))
            base = top.first();
        else
            return Failure{err::InvalidFileFormat,
                           QStringLiteral("L'archivio %1 non contiene un libro: non vi si trova né ncc.html, né il "
                                          "pacchetto .opf, né META-INF/container.xml, né Index.htm, all'inizio o in "
                                          "un'unica cartella.")
                               .arg(p)};
    }
    const std::lock_guard<std::mutex> hold(lock_);
    for (int i = int(open_.size()) - 1; i >= 0; --i)
        if (open_.at(i).zip->path() == p)
            open_.removeAt(i);
    open_.append(Opened{zip, base, info.lastModified(), info.size()});
    while (open_.size() > kKeptOpen)
        open_.removeFirst();
    return p;
}

std::optional<BookArchives::Inside> BookArchives::inside(const QString &path) const
{
    const QString p = clean(path);
    if (p.isEmpty())
        return std::nullopt;
    const std::lock_guard<std::mutex> hold(lock_);
    for (const Opened &o : open_) {
        const QString &book = o.zip->path();
        if (p != book && !(p.startsWith(book) && p.at(book.size()) == QLatin1Char('/')))
            continue;
        const QString rest = p.mid(book.size() + 1);
        return Inside{o.zip, o.base.isEmpty() ? rest : rest.isEmpty() ? o.base : o.base + QLatin1Char('/') + rest,
                      book, o.base, p == book};
    }
    return std::nullopt;
}

// The path a reader of the book uses for an entry of the zip.
static QString pathOf(const BookArchives::Inside &in, const QString &entry)
{
    return in.book + QLatin1Char('/') + (in.base.isEmpty() ? entry : entry.mid(in.base.size() + 1));
}

bool BookArchives::fileExists(const QString &path)
{
    const auto in = inside(path);
    if (!in || in->isBook)
        return disk_.fileExists(path);
    return in->zip->find(in->inner) != nullptr;
}

bool BookArchives::folderExists(const QString &path)
{
    const auto in = inside(path);
    return in ? in->zip->isFolder(in->inner) : disk_.folderExists(path);
}

QString BookArchives::resolve(const QString &path)
{
    const auto in = inside(path);
    if (!in || in->isBook)
        return disk_.resolve(path);
    if (const ZipArchive::Entry *e = in->zip->find(in->inner))
        return pathOf(*in, e->name);
    return in->zip->isFolder(in->inner) ? clean(path) : QString();
}

QStringList BookArchives::folders(const QString &folder)
{
    const auto in = inside(folder);
    return in ? in->zip->folders(in->inner) : disk_.folders(folder);
}

QStringList BookArchives::files(const QString &folder, const QString &pattern)
{
    const auto in = inside(folder);
    if (!in)
        return disk_.files(folder, pattern);
    QStringList names = in->zip->files(in->inner);
    if (!pattern.isEmpty())
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&pattern](const QString &n) { return !QDir::match(pattern, n); }),
                    names.end());
    return names;
}

bool BookArchives::deleteFile(const QString &path) { return !inside(path) && disk_.deleteFile(path); }

Result<QByteArray> BookArchives::readFile(const QString &path, qint64 maxSize)
{
    const auto in = inside(path);
    if (!in || in->isBook)
        return disk_.readFile(path, maxSize);
    const ZipArchive::Entry *e = in->zip->find(in->inner);
    if (!e)
        return Failure{err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path)};
    return in->zip->read(*e, maxSize);
}

Result<Done> BookArchives::writeFile(const QString &path, const QByteArray &bytes)
{
    if (inside(path))
        return refusedInside(path);
    return disk_.writeFile(path, bytes);
}

bool BookArchives::makeFolder(const QString &path) { return !inside(path) && disk_.makeFolder(path); }

bool BookArchives::makeWritable(const QString &path) { return !inside(path) && disk_.makeWritable(path); }

bool BookArchives::sameFile(const QString &a, const QString &b)
{
    const auto inA = inside(a), inB = inside(b);
    if (!inA && !inB)
        return disk_.sameFile(a, b);
    return inA && inB && inA->zip == inB->zip && resolve(a) == resolve(b);
}

Result<QString> BookArchives::admit(const QString &root, const QString &path, BookFileKind kind)
{
    const auto inRoot = inside(root);
    const auto in = inside(path);
    if (!inRoot && !in)
        return disk_.admit(root, path, kind);
    // A packed book reaches its own entries; a book on disk none of a zip.
    const QString p = clean(path);
    if (!inRoot || !in || in->zip != inRoot->zip || !(p == clean(root) || liesBelow(clean(root), p)))
        return Failure{err::PathAccess, QStringLiteral("Il file %1 è fuori dal libro: non viene aperto.").arg(path)};
    const ZipArchive::Entry *e = in->zip->find(in->inner);
    if (!e)
        return Failure{err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path)};
    if (e->size > bookFileLimit(kind))
        return bookFileTooLarge(path, e->size, kind);
    return pathOf(*in, e->name);
}

bool BookArchives::isPacked(const QString &path)
{
    const auto in = inside(path);
    return in && !in->isBook;
}

std::unique_ptr<IReadStream> BookArchives::openStream(const QString &path)
{
    const auto in = inside(path);
    const ZipArchive::Entry *e = in && !in->isBook ? in->zip->find(in->inner) : nullptr;
    return e ? in->zip->stream(*e) : nullptr;
}

} // namespace qyr
