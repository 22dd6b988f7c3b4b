#include "reader.h"
#include "audioduration.h"
#include "../errors.h"
#include "../files/casenames.h"
#include "navigation.h"
#include "smil.h"

namespace qyr::daisy {

namespace {

const qint64 kMaxText = bookFileLimit(BookFileKind::Text);

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
    const QString &root() const { return root_; }

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

    // True for a name that leads out of the book as written: a full path, an
    // address or a drive, or more ".." than there are folders above it.
    static bool leadsOut(const QString &base, const QString &name)
    {
        if (name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char(':')))
            return true;
        qsizetype depth = base.isEmpty() ? 0 : base.count(QLatin1Char('/')) + 1;
        for (const QString &part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            if (part == QLatin1String(".."))
                --depth;
            else if (part != QLatin1String("."))
                ++depth;
            if (depth < 0)
                return true;
        }
        return false;
    }

    // A file found in the book (relative), as the one rule for a book's files
    // takes it or not: a link out of the book, a pipe, a file too large.
    Result<QString> admit(const QString &relative, BookFileKind kind) const
    {
        return files_.admit(root_, path(relative), kind);
    }

    // Read whole, when the rule takes it.
    Result<QByteArray> read(const QString &relative) const
    {
        const Result<QString> real = admit(relative, BookFileKind::Text);
        if (!real)
            return real.failure();
        return files_.readFile(*real, kMaxText);
    }

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

// A file the parser gave up on before its end: what follows it is missing.
void noteStop(Book &book, const QString &file, int line)
{
    if (line > 0)
        book.addProblem(
            QStringLiteral("Il file %1 è danneggiato: letto solo fino alla riga %2, quel che segue manca.").arg(file).arg(line));
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
            const Result<QByteArray> bytes = folder_.read(disk);
            if (!bytes.ok()) {
                book_.addProblem(
                    QStringLiteral("File SMIL non leggibile: %1 (%2)").arg(disk, bytes.failure().description));
                continue;
            }
            const auto wanted = wanted_.constFind(key);
            SmilFile smil = readSmil(*bytes, wanted == wanted_.constEnd() ? &none_ : &*wanted);
            noteStop(book_, disk, smil.stoppedAt);
            add(disk, std::move(smil));
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
                    textDisk = nameOf(dir, p.textFile, BookFileKind::Text, nullptr);
                }
                p.textFile = textDisk;
            }
            if (!p.audio.isEmpty()) {
                if (p.audio != audioWritten) {
                    audioWritten = p.audio;
                    audioDisk = nameOf(dir, p.audio, BookFileKind::Audio, "File audio mancante: %1");
                }
                p.audio = audioDisk;
                if (p.toFileEnd)
                    toFileEnd(p);
            }
            book_.phrases.push_back(std::move(p));
        }
    }

    // The name as on disk, else as written (and the problem named once); none
    // for a file the book may not reach, which is named once and never opened.
    QString nameOf(const QString &dir, const QString &written, BookFileKind kind, const char *missing)
    {
        if (Folder::leadsOut(dir, written)) {
            refuse(QStringLiteral("File fuori dal libro: %1").arg(written));
            return QString();
        }
        const QString disk = folder_.resolve(dir, written);
        if (disk.isEmpty()) {
            // Not among the book's files: missing, or there but no regular file.
            const QString asWritten = folder_.path(dir.isEmpty() ? written : dir + QLatin1Char('/') + written);
            if (const Result<QString> real = files_.admit(folder_.root(), asWritten, kind);
                !real && real.failure().number != err::FileNotFound) {
                refuse(real.failure().description);
                return QString();
            }
            if (missing)
                book_.addProblem(QString::fromLatin1(missing).arg(written));
            return written;
        }
        if (const Result<QString> real = folder_.admit(disk, kind); !real) {
            refuse(real.failure().description);
            return QString();
        }
        return disk;
    }

    // A clip without an end plays to the end of its file: as long as the file.
    void toFileEnd(Phrase &p)
    {
        if (p.audio.isEmpty() || !folder_.admit(p.audio, BookFileKind::Audio))
            return;
        auto known = durations_.constFind(p.audio);
        if (known == durations_.constEnd()) {
            // A packed book's file is read from the zip, never from the disk by its name.
            const std::unique_ptr<IReadStream> stream = files_.openStream(folder_.path(p.audio));
            known = durations_.insert(p.audio, stream ? audioDuration(*stream) : audioDuration(folder_.path(p.audio)));
        }
        if (*known)
            p.clipEnd = std::max(p.clipBegin, **known);
        else
            refuse(QStringLiteral("Durata del file audio %1 non leggibile: le frasi che lo leggono fino alla fine "
                                  "restano mute.")
                       .arg(p.audio));
    }

    void refuse(const QString &problem)
    {
        if (!refused_.contains(problem)) {
            refused_.insert(problem);
            book_.addProblem(problem);
        }
    }

    IFiles &files_;
    Folder &folder_;
    Book &book_;
    QHash<QString, int> smilStart_; // where each SMIL file's phrases begin, or would have
    QHash<QString, QSet<QByteArray>> wanted_;
    const QSet<QByteArray> none_;
    QSet<QString> refused_;
    QHash<QString, std::optional<double>> durations_; // of the files clips play to the end of
};

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
    if (const auto pkg = findPackage(f))
        return daisy3(files, f, pkg->first, pkg->second);
    return std::nullopt;
}

} // namespace qyr::daisy
