// A book of 100 pages with 100 bookmarks each (10,000): how long its table of contents, which lists every bookmark of
// the book, takes to open, and how soon after the page has opened the program answers a command. Prints figures with
// the aim beside them; it asserts nothing.
#include "books/bookview.h"
#include "events.h"
#include "platform/store/sqlite/sqliteregistry.h"
#include "services/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

using namespace qyr;

namespace {

constexpr int kPages = 100, kPerPage = 100, kTimeoutMs = 120000;

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// The book's pages and, in the settings file, its bookmarks.
void makeBook(const QString &book, const QString &settings)
{
    QDir().mkpath(book + QStringLiteral("/Libro"));
    QByteArray index = "<html><head><title>Indice</title></head><body><h1>Libro grande</h1>";
    for (int p = 1; p <= kPages; ++p) {
        const QString name = QStringLiteral("p%1.htm").arg(p, 3, 10, QLatin1Char('0'));
        write(book + QStringLiteral("/Libro/") + name, "<html><head><title>Pagina</title></head><body>Testo</body></html>");
        index += "<p><a href='Libro/" + name.toUtf8() + "'>Pagina</a>";
    }
    write(book + QStringLiteral("/Index.htm"), index + "</body></html>");
    auto opened = SqliteRegistry::open(settings);
    BookView view(*opened.store);
    view.openBook(book);
    view.transaction([&] {
        view.setValue(Settings::keyPath(QStringLiteral("QYR MediaPlayer"), QStringLiteral("Player")),
                      RegValue::fromText(QStringLiteral("TempoSp"), QStringLiteral("0")));
        for (int p = 1; p <= kPages; ++p) {
            const QString key = Settings::keyPath(QStringLiteral("QYR MediaPlayer"),
                                                  QStringLiteral("LIBRO\\P%1.HTM").arg(p, 3, 10, QLatin1Char('0')));
            for (int n = 1; n <= kPerPage; ++n) {
                view.setValue(key, RegValue::fromText(QString::number(n), QString::number(n)));
                view.setValue(key, RegValue::fromText(QStringLiteral("%1NOME").arg(n), QStringLiteral("Segno %1").arg(n)));
                view.setValue(key, RegValue::fromText(QStringLiteral("%1NOMEAUDIO").arg(n), QStringLiteral("a.mp3")));
            }
        }
    });
}

std::optional<QJsonObject> readUntil(QProcess &p, const QString &name, QByteArray &buffer)
{
    return bench::readUntil(p, name, buffer, kTimeoutMs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("libro")), settings = dir.filePath(QStringLiteral("s.sqlite"));
    makeBook(book, settings);

    QProcess p;
    bench::startProgram(p, QStringLiteral(QYRPLAYER_BIN), settings, book);
    QByteArray buffer;
    const auto ready = readUntil(p, QStringLiteral("ready"), buffer);
    const auto shown = readUntil(p, QStringLiteral("document"), buffer);
    // At once: the command waits until the program has finished with the page.
    QElapsedTimer answer;
    answer.start();
    p.write(R"({"cmd":"state"})" "\n");
    const auto state = readUntil(p, QStringLiteral("state"), buffer);
    const double answerMs = double(answer.nsecsElapsed()) / 1e6;
    p.write(R"({"cmd":"quit"})" "\n");
    if (readUntil(p, QStringLiteral("dialog"), buffer))
        p.write(R"({"cmd":"answer","button":"yes"})" "\n");
    p.closeWriteChannel();
    if (!p.waitForFinished(kTimeoutMs))
        p.kill();
    if (!ready || !shown || !state) {
        std::printf("il programma non ha risposto\n");
        return 1;
    }
    const double start = ready->value(QStringLiteral("t")).toDouble();
    std::printf("segnalibri nell'elenco del sommario      %d\n", int(state->value(QStringLiteral("list")).toArray().size()));
    std::printf("dal programma pronto al sommario aperto  %.0f ms\n", shown->value(QStringLiteral("t")).toDouble() - start);
    std::printf("risposta a un comando subito dopo        %.0f ms   (obiettivo: meno di 500 ms)\n", answerMs);
    return 0;
}
