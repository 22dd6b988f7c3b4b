#include "reader.h"
#include "assembler.h"
#include "navigation.h"

namespace qyr::daisy {

namespace {

// Production tools write ncc.html, NCC.HTM, Ncc.htm...: every spelling.
QString findNcc(Folder &folder)
{
    const QString html = folder.resolve(QString(), QStringLiteral("ncc.html"));
    return html.isEmpty() ? folder.resolve(QString(), QStringLiteral("ncc.htm")) : html;
}

// The first package in the folder that says it is a DAISY 3 book.
std::optional<std::pair<QString, Package>> findPackage(Folder &folder)
{
    QStringList names = folder.names();
    names.sort();
    for (const QString &n : names) {
        if (!n.endsWith(QLatin1String(".opf"), Qt::CaseInsensitive))
            continue;
        const Result<QByteArray> bytes = folder.read(n);
        if (!bytes.ok())
            continue;
        Package pkg = readOpf(*bytes);
        if (isDaisy3Format(pkg.format))
            return std::make_pair(n, std::move(pkg));
    }
    return std::nullopt;
}

// The SMIL files read in reading order, the headings and pages placed on
// their phrases: navBase is the folder the navigation's links start from,
// smilBase the one the reading order's do.
void assemble(IFiles &files, Folder &folder, Book &book, Navigation nav, const QString &navBase,
              const QString &smilBase, const QStringList &smilOrder, const QString &orderFile)
{
    Assembler a(files, folder, book);
    a.want(navBase, nav.headings);
    a.want(navBase, nav.pages);
    a.readSmilFiles(smilBase, smilOrder);
    if (book.phrases.empty())
        book.addProblem(QStringLiteral("Il libro non ha frasi da leggere: %1 non porta a nessun file SMIL che ne abbia.")
                            .arg(orderFile.isEmpty() ? QStringLiteral("il libro") : orderFile));
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
    const Result<QByteArray> bytes = folder.read(ncc);
    if (!bytes.ok()) {
        book.addProblem(QStringLiteral("File non leggibile: %1 (%2)").arg(ncc, bytes.failure().description));
        book.finish();
        return book;
    }
    Navigation nav = readNcc(*bytes);
    noteStop(book, ncc, nav.stoppedAt);
    book.title = nav.title;
    book.identifier = nav.identifier;
    book.language = nav.language;
    book.volume = nav.volume;
    book.volumes = nav.volumes;
    const QString base = Folder::dirOf(ncc);
    const QStringList order = nav.smilOrder;
    assemble(files, folder, book, std::move(nav), base, base, order, ncc);
    return book;
}

Book daisy3(IFiles &files, Folder &folder, const QString &opf, const Package &pkg)
{
    Book book;
    book.format = Format::Daisy3;
    book.title = pkg.title;
    book.language = pkg.language;
    const QString base = Folder::dirOf(opf);
    Navigation nav;
    const QString ncx = folder.resolve(base, splitReference(pkg.ncx).first);
    if (ncx.isEmpty()) {
        book.addProblem(pkg.ncx.isEmpty() ? QStringLiteral("File NCX mancante")
                                          : QStringLiteral("File NCX mancante: %1").arg(pkg.ncx));
    } else if (const Result<QByteArray> bytes = folder.read(ncx); bytes.ok()) {
        nav = readNcx(*bytes);
        noteStop(book, ncx, nav.stoppedAt);
    } else {
        book.addProblem(QStringLiteral("File non leggibile: %1 (%2)").arg(ncx, bytes.failure().description));
    }
    if (book.title.isEmpty())
        book.title = nav.title;
    // The navigation file's links are relative to its own folder.
    assemble(files, folder, book, std::move(nav), Folder::dirOf(ncx), base, pkg.spine, opf);
    return book;
}

} // namespace

std::optional<Format> formatOf(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    if (!findNcc(f).isEmpty())
        return Format::Daisy2;
    if (isEpub(files, folder))
        return epubRefusal(files, folder).isEmpty() ? std::optional<Format>(Format::Epub3) : std::nullopt;
    if (findPackage(f))
        return Format::Daisy3;
    return std::nullopt;
}

std::optional<Book> volumeOf(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    const QString ncc = findNcc(f);
    const Result<QByteArray> bytes = ncc.isEmpty() ? Result<QByteArray>(Failure{}) : f.read(ncc);
    if (!bytes)
        return std::nullopt;
    const Navigation nav = readNcc(*bytes);
    Book book;
    book.title = nav.title;
    book.identifier = nav.identifier;
    book.volume = nav.volume;
    book.volumes = nav.volumes;
    return book;
}

std::optional<Book> openBook(IFiles &files, const QString &folder)
{
    Folder f(files, folder);
    if (const QString ncc = findNcc(f); !ncc.isEmpty())
        return daisy2(files, f, ncc);
    if (isEpub(files, folder))
        return epubRefusal(files, folder).isEmpty() ? openEpub(files, folder) : std::nullopt;
    if (const auto pkg = findPackage(f))
        return daisy3(files, f, pkg->first, pkg->second);
    return std::nullopt;
}

} // namespace qyr::daisy
