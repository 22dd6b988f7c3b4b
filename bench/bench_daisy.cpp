// A DAISY book of 2,000 headings, 600 SMIL files and 20,000 phrases (tools/make_daisy.sh --large): how long its
// model takes to read, how long the program takes from showing its contents to its first audio playing, how soon a
// move key has the new place playing (median of 20), and how much more memory the program holds with it than with the
// sample book; the same book zipped with 600 MB of audio, read in place: its model, its first audio, and what the
// program wrote to disk meanwhile; the same book as text alone, read by the voice: from the program ready to the first
// phrase handed to the voice and to its words reaching the speech server; an EPUB of the same size (tools/make_epub.sh
// --large), zipped: its model, its first audio and its moves. Prints figures with the aims beside them; it asserts
// nothing.
#include "doubles/speechlog.h"
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
#include <QRegularExpression>
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

// The large book's audio made heavy, as a library's is: each of its three files some 216 MB (silence at 320 kbit/s,
// joined frame to frame), stored in the zip as packers store MP3. Its path, empty when ffmpeg fails.
QString heavyAudio(const QString &dir)
{
    const QString part = dir + QStringLiteral("/dieci_minuti.mp3"), whole = dir + QStringLiteral("/pesante.mp3");
    if (QProcess::execute(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo",
                                                      "-t", "600", "-codec:a", "libmp3lame", "-b:a", "320k", "-write_xing", "0",
                                                      "-id3v2_version", "0", part}) != 0)
        return QString();
    QFile in(part), out(whole);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return QString();
    const QByteArray chunk = in.readAll();
    for (int i = 0; i < 9; ++i)
        out.write(chunk);
    return whole;
}

// The large book as text alone: its SMIL files without audio, its text file a paragraph for each phrase.
bool textOnlyCopy(const QString &large, const QString &text)
{
    QDir().mkpath(text);
    static const QRegularExpression audio(QStringLiteral("<audio[^>]*/>"));
    for (const QFileInfo &f : QDir(large).entryInfoList({"*.smil", "ncc.html"}, QDir::Files)) {
        QFile in(f.filePath()), out(text + '/' + f.fileName());
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        out.write(QString::fromUtf8(in.readAll()).remove(audio).toUtf8());
    }
    QFile t(text + QStringLiteral("/t.html"));
    if (!t.open(QIODevice::WriteOnly))
        return false;
    t.write("<html><head><meta charset='utf-8'><title>Solo testo</title></head><body>\n");
    for (int i = 0; i < 20000; ++i)
        t.write(QStringLiteral("<p id='x%1'>Questa è la frase numero %1 del libro di solo testo.</p>\n").arg(i).toUtf8());
    return t.write("</body></html>\n") > 0;
}

// From the program ready (its splash skipped) to the first phrase handed to the voice, and to its words written by
// the speech server; -1 when they never come.
std::pair<double, double> firstWord(const QString &book, const QString &settings)
{
    SpeechLog voice;
    if (!voice.ready())
        return {-1, -1};
    QProcess p;
    QProcessEnvironment env;
    for (const auto &[name, value] : voice.env())
        env.insert(name, value);
    bench::startProgram(p, QStringLiteral(QYRPLAYER_BIN), settings, book, env);
    QByteArray buffer;
    const auto ready = bench::readUntil(p, QStringLiteral("ready"), buffer, kTimeoutMs);
    QElapsedTimer sinceReady;
    sinceReady.start();
    const auto handed = ready ? bench::readUntil(p, QStringLiteral("voice"), buffer, kTimeoutMs) : std::nullopt;
    const double handedMs = handed ? handed->value("t").toDouble() - ready->value("t").toDouble() : -1;
    const bool heard = handed && voice.hears(handed->value("text").toString());
    const double heardMs = heard ? double(sinceReady.nsecsElapsed()) / 1e6 : -1;
    p.kill();
    p.waitForFinished(kTimeoutMs);
    return {handedMs, heardMs};
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
    const QString heavy = heavyAudio(dir.path());
    testzip::Maker packed(zip);
    packed.addFolder(large, QString());
    for (const char *name : {"silence0.mp3", "silence1.mp3", "silence2.mp3"})
        packed.addFile(QString::fromLatin1(name), heavy);
    if (!book || heavy.isEmpty() || !packed.close() || !archives.openArchive(zip)) {
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
    const QString text = dir.filePath(QStringLiteral("testo"));
    std::optional<daisy::Book> textBook;
    std::vector<double> wordsRead;
    if (textOnlyCopy(large, text)) {
        DaisyFolderReader reader(disk);
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            reader.phraseTexts(text + QStringLiteral("/t.html"));
            wordsRead.push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }
    const std::vector<double> textOpens = modelOpens(disk, text, textBook);
    const auto [handedMs, heardMs] = firstWord(text, settingsFile(dir.filePath(QStringLiteral("t.sqlite"))));
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
    std::printf("libro di solo testo (%d frasi): lettura del libro (mediana di 5)  %.0f ms; parole del file di testo "
                "(mediana di 5)  %.0f ms\n",
                textBook ? int(textBook->phrases.size()) : 0, median(textOpens), median(wordsRead));
    std::printf("libro di solo testo: dal programma pronto alla prima frase data alla voce  %.0f ms (con la presentazione, "
                "almeno 1500 ms); alle sue parole scritte dal server della voce  %.0f ms\n",
                handedMs, heardMs);
    std::printf("libro di solo testo: apertura fino alla prima parola (libro, parole del testo, server della voce)  %.0f ms\n",
                median(textOpens) + median(wordsRead) + (heardMs - handedMs));
    // The EPUB of the same size: 2,000 headings and 20,000 overlay sentences in 200 content documents, zipped.
    QProcess makeEpub;
    makeEpub.start(QStringLiteral("bash"), {QStringLiteral(QYR_SOURCE_DIR "/tools/make_epub.sh"), dir.path(), QStringLiteral("--large")});
    const QString epub = dir.filePath(QStringLiteral("large-epub.epub"));
    std::optional<daisy::Book> epubBook;
    if (makeEpub.waitForFinished(600000) && makeEpub.exitCode() == 0 && archives.openArchive(epub)) {
        const std::vector<double> epubOpens = modelOpens(archives, epub, epubBook);
        const Run epubRun = run(epub, settingsFile(dir.filePath(QStringLiteral("e.sqlite"))), true);
        std::printf("EPUB zippato (%d titoli, %d pagine, %d frasi): lettura del libro (mediana di 5)  %.0f ms\n",
                    epubBook ? int(epubBook->headings.size()) : 0, epubBook ? int(epubBook->pages.size()) : 0,
                    epubBook ? int(epubBook->phrases.size()) : 0, median(epubOpens));
        std::printf("EPUB zippato: apertura fino al primo audio  %.0f ms   (obiettivo: meno di 400 ms)\n",
                    median(epubOpens) + epubRun.startToPlayingMs);
        std::printf("EPUB zippato: tasto di spostamento, nuovo punto (mediana di %d)  %.0f ms   (obiettivo: meno di 100 ms)\n",
                    int(epubRun.moveMs.size()), median(epubRun.moveMs));
    } else {
        std::printf("l'EPUB di prova non si è potuto fare o aprire\n");
    }
    std::printf("memoria: libro DAISY %.0f MB, libro di esempio %.0f MB, in più %.0f MB   (obiettivo: al massimo 30 MB)\n",
                daisyRun.memoryMb, sampleRun.memoryMb, daisyRun.memoryMb - sampleRun.memoryMb);
    return 0;
}
