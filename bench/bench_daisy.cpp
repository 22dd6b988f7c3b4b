// A DAISY book of 2,000 headings, 600 SMIL files and 20,000 phrases (tools/make_daisy.sh --large): how long its
// model takes to read, how long the program takes from showing its contents to its first audio playing, how soon a
// move key has the new place playing (median of 20), and how much more memory the program holds with it than with the
// sample book; the same book zipped, read in place: its model, its first audio, and what the program wrote to disk
// meanwhile. Prints figures with the aims beside them; it asserts nothing.
#include "doubles/zipmaker.h"
#include "events.h"
#include "platform/daisyxml/daisyreader.h"
#include "platform/files/bookarchives.h"
#include "platform/files/diskfiles.h"
#include "platform/store/sqlite/sqliteregistry.h"
#include "books/bookview.h"
#include "services/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qyr;

namespace {

constexpr int kTimeoutMs = 120000;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The program's resident memory, in MB.
double residentMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

QString settingsFile(const QString &file)
{
    auto opened = SqliteRegistry::open(file);
    BookView view(*opened.store);
    view.setValue(Settings::keyPath(QStringLiteral("QYR MediaPlayer"), QStringLiteral("Player")),
                  RegValue::fromText(QStringLiteral("TempoSp"), QStringLiteral("0")));
    return file;
}

struct Run {
    double startToPlayingMs = -1, memoryMb = 0;
    std::vector<double> moveMs;
};

// Megabytes in the files below folder.
double folderMb(const QString &folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
    }
    return double(bytes) / (1024.0 * 1024.0);
}

std::vector<double> modelOpens(IFiles &files, const QString &book, std::optional<daisy::Book> &read)
{
    DaisyFolderReader reader(files);
    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        read = reader.open(book);
        opens.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return opens;
}

// One run of the program on book: its memory once shown; for a DAISY book also its first audio and 20 move keys.
Run run(const QString &book, const QString &settings, bool daisyBook, const QString &home = QString())
{
    Run r;
    QProcess p;
    // Every place the program or its engines could write to, in one folder to weigh afterwards.
    QProcessEnvironment places;
    if (!home.isEmpty())
        for (const char *name : {"HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "TMPDIR"})
            places.insert(QString::fromLatin1(name), home);
    bench::startProgram(p, QStringLiteral(QYRPLAYER_BIN), settings, book, places);
    QByteArray buffer;
    if (!bench::readUntil(p, QStringLiteral("ready"), buffer, kTimeoutMs))
        return r;
    if (!daisyBook) {
        // The sample book: its contents page shown and settled.
        bench::readUntil(p, QStringLiteral("document"), buffer, kTimeoutMs);
        QThread::msleep(3000);
        r.memoryMb = residentMb(p.processId());
        p.kill();
        p.waitForFinished(kTimeoutMs);
        return r;
    }
    // After the splash, the reading place opens: the first thing the player is told, to the audio playing.
    std::optional<QJsonObject> first;
    for (;;) {
        const auto e = bench::readUntil(p, QStringLiteral("player"), buffer, kTimeoutMs);
        if (!e)
            return r;
        if (!first)
            first = e;
        if (e->value(QStringLiteral("action")).toString() == QLatin1String("playing")) {
            r.startToPlayingMs = e->value(QStringLiteral("t")).toDouble() - first->value(QStringLiteral("t")).toDouble();
            break;
        }
    }
    QThread::msleep(3000);
    r.memoryMb = residentMb(p.processId());
    // Alt+8 (next heading), Ctrl+7 (next page), Ctrl+Shift+2 (next phrase): from the key sent to the seek made in
    // the audio playing (the book's phrases share a few audio files, as large books' chapters share theirs).
    const char *keys[] = {R"({"cmd":"key","code":56,"mask":4})", R"({"cmd":"key","code":55,"mask":2})",
                          R"({"cmd":"key","code":50,"mask":3})"};
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        p.write(QByteArray(keys[i % 3]) + "\n");
        for (;;) {
            const auto e = bench::readUntil(p, QStringLiteral("player"), buffer, kTimeoutMs);
            if (!e)
                return r;
            if (e->value(QStringLiteral("action")).toString() == QLatin1String("seek"))
                break;
        }
        r.moveMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    p.write(R"({"cmd":"quit"})" "\n");
    if (bench::readUntil(p, QStringLiteral("dialog"), buffer, kTimeoutMs))
        p.write(R"({"cmd":"answer","button":"yes"})" "\n");
    p.closeWriteChannel();
    if (!p.waitForFinished(kTimeoutMs))
        p.kill();
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcess make;
    make.start(QStringLiteral("bash"), {QStringLiteral(QYR_SOURCE_DIR "/tools/make_daisy.sh"), dir.path(), QStringLiteral("--large")});
    if (!make.waitForFinished(600000) || make.exitCode() != 0) {
        std::printf("i libri DAISY di prova non si sono potuti fare (espeak-ng, sox, ffmpeg?)\n");
        return 1;
    }
    const QString large = dir.filePath(QStringLiteral("large"));
    DiskFiles disk;
    std::optional<daisy::Book> book, zipped;
    const std::vector<double> opens = modelOpens(disk, large, book);
    const QString zip = dir.filePath(QStringLiteral("large.zip"));
    BookArchives archives(disk);
    if (!book || !testzip::Maker(zip).addFolder(large, QString()).close() || !archives.openArchive(zip)) {
        std::printf("il libro grande non si apre\n");
        return 1;
    }
    const std::vector<double> zipOpens = modelOpens(archives, zip, zipped);
    const Run daisyRun = run(large, settingsFile(dir.filePath(QStringLiteral("d.sqlite"))), true);
    const QString home = dir.filePath(QStringLiteral("casa"));
    QDir().mkpath(home);
    const Run zipRun = run(zip, settingsFile(dir.filePath(QStringLiteral("z.sqlite"))), true, home);
    const double written = folderMb(home);
    const Run sampleRun = run(QStringLiteral(SAMPLE_BOOK), settingsFile(dir.filePath(QStringLiteral("s.sqlite"))), false);
    std::printf("libro: %d titoli, %d pagine, %d frasi\n", int(book->headings.size()), int(book->pages.size()),
                int(book->phrases.size()));
    std::printf("lettura del libro (mediana di 5)          %.0f ms\n", median(opens));
    std::printf("dalla lettura avviata al primo audio        %.0f ms\n", daisyRun.startToPlayingMs);
    std::printf("apertura fino al primo audio (le due)      %.0f ms   (obiettivo: meno di 300 ms)\n",
                median(opens) + daisyRun.startToPlayingMs);
    std::printf("tasto di spostamento, nuovo punto (mediana di %d)  %.0f ms   (obiettivo: meno di 100 ms)\n",
                int(daisyRun.moveMs.size()), median(daisyRun.moveMs));
    std::printf("libro zippato (%.0f MB, %d frasi): lettura del libro (mediana di 5)  %.0f ms\n",
                double(QFileInfo(zip).size()) / (1024.0 * 1024.0), zipped ? int(zipped->phrases.size()) : 0,
                median(zipOpens));
    std::printf("libro zippato: apertura fino al primo audio  %.0f ms   (obiettivo: meno di 400 ms)\n",
                median(zipOpens) + zipRun.startToPlayingMs);
    std::printf("libro zippato: tasto di spostamento (mediana di %d)  %.0f ms\n", int(zipRun.moveMs.size()),
                median(zipRun.moveMs));
    std::printf("libro zippato: scritto su disco dal programma  %.1f MB   (obiettivo: meno di 10 MB)\n", written);
    std::printf("memoria: libro DAISY %.0f MB, libro di esempio %.0f MB, in più %.0f MB   (obiettivo: al massimo 30 MB)\n",
                daisyRun.memoryMb, sampleRun.memoryMb, daisyRun.memoryMb - sampleRun.memoryMb);
    return 0;
}
