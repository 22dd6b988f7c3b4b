// Fuzz target for the names a book uses: the input is a SMIL file of a book
// on disk whose folder has a file outside it beside, and a link inside that
// leads out. Whatever names the SMIL writes, every text and audio name the
// book keeps leads inside its folder, and the rule for a book's files never
// takes a path outside it. The first line is also asked of the rule as a name.
#include "checks.h"
#include "platform/bookpath.h"
#include "platform/daisyxml/reader.h"
#include "platform/files/diskfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using fuzzcheck::broken;
using qyr::joinPath;

namespace {

struct Place {
    QTemporaryDir dir;
    QString root = dir.filePath("libro");
    Place()
    {
        QDir().mkpath(root);
        QFile out(dir.filePath("segreto.mp3"));
        out.open(QIODevice::WriteOnly);
        QFile ncc(root + "/ncc.html");
        ncc.open(QIODevice::WriteOnly);
        ncc.write("<html><body><h1><a href='s.smil#a'>Uno</a></h1></body></html>");
        QFile::link(dir.filePath("segreto.mp3"), root + "/fuori.mp3");
        QFile(root + "/a.mp3").open(QIODevice::WriteOnly);
    }
};

void inside(const QString &root, const QString &name, const char *what)
{
    if (name.isEmpty())
        return;
    const QString real = QFileInfo(joinPath(root, name)).canonicalFilePath();
    const QString path = real.isEmpty() ? QDir::cleanPath(joinPath(root, name)) : real;
    if (!path.startsWith(root + QLatin1Char('/')))
        broken(what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Place place;
    static qyr::DiskFiles files;
    const QByteArray bytes = fuzzcheck::bytesOf(data, size);
    const QString root = QFileInfo(place.root).canonicalFilePath();

    const QString first = QString::fromUtf8(bytes.left(bytes.indexOf('\n')));
    if (const auto real = files.admit(root, joinPath(root, first), qyr::BookFileKind::Audio); real.ok())
        if (!real.value().startsWith(root + QLatin1Char('/')))
            broken("the rule took a file outside the book");

    QFile smil(root + "/s.smil");
    if (!smil.open(QIODevice::WriteOnly) || smil.write(bytes) != bytes.size())
        return 0;
    smil.close();
    const std::optional<qyr::daisy::Book> book = qyr::daisy::openBook(files, root);
    if (!book)
        broken("a book with its ncc.html not read");
    for (const qyr::daisy::Phrase &p : book->phrases) {
        inside(root, p.textFile, "a text name that leads out of the book");
        inside(root, p.audio, "an audio name that leads out of the book");
    }
    return 0;
}
