#pragma once
// What reading any book of SMIL files shares: the book's folder, listed once
// and searched in any letter case, and the SMIL files read into the book's
// phrases with every name they use resolved inside the book.
#include "../errors.h"
#include "../files.h"
#include "../files/casenames.h"
#include "audioduration.h"
#include "smil.h"

#include <QHash>
#include <QSet>
#include <memory>
#include <optional>

namespace qyr::daisy {

inline const qint64 kMaxText = bookFileLimit(BookFileKind::Text);

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

// A file the parser gave up on before its end: what follows it is missing.
inline void noteStop(Book &book, const QString &file, int line)
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

} // namespace qyr::daisy
