// Start-up and settings figures: time from launch to the program's `ready`
// event, and the cost of one settings read and one durable settings save.
// Prints a table with the aim beside each figure; it asserts nothing.
#include "events.h"
#include "platform/store/sqlite/sqliteregistry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace qyr;

namespace {

const QString kPlayerKey = QStringLiteral("Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player");
constexpr int kRuns = 5;
constexpr int kReads = 100000;
constexpr int kSaves = 500;
constexpr int kTimeoutMs = 60000;

struct Launch {
    double wallMs = 0;    // from QProcess::start to the `ready` line read here
    double programMs = 0; // the event's own `t`: from the program's main()
};

std::optional<QJsonObject> readUntil(QProcess &p, const QString &name, QByteArray &buffer)
{
    return bench::readUntil(p, name, buffer, kTimeoutMs);
}

void send(QProcess &p, const QByteArray &line) { p.write(line + '\n'); }

std::optional<Launch> launchOnce()
{
    QTemporaryDir dir;
    QProcess p;
    p.setProcessEnvironment(bench::offscreen());
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardErrorFile(QProcess::nullDevice());

    QElapsedTimer wall;
    wall.start();
    // QYR_PLAYER names another build to compare with.
    p.start(qEnvironmentVariable("QYR_PLAYER", QStringLiteral(QYRPLAYER_BIN)),
            {QStringLiteral("--automation"), QStringLiteral("--settings"), dir.filePath(QStringLiteral("settings.sqlite")),
             QStringLiteral("--book"), QStringLiteral(SAMPLE_BOOK), QStringLiteral("--audio-out"), QStringLiteral("null")});
    QByteArray buffer;
    const auto ready = readUntil(p, QStringLiteral("ready"), buffer);
    Launch l;
    l.wallMs = double(wall.nsecsElapsed()) / 1e6;
    if (ready)
        l.programMs = ready->value(QStringLiteral("t")).toDouble();

    // End the run cleanly so the next one starts from a quiet machine.
    send(p, R"({"cmd":"quit"})");
    if (readUntil(p, QStringLiteral("dialog"), buffer))
        send(p, R"({"cmd":"answer","button":"yes"})");
    p.closeWriteChannel();
    if (!p.waitForFinished(kTimeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    if (!ready)
        return std::nullopt;
    return l;
}

struct Stats {
    double min, median, max;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

void line(const QString &what, const QString &figure, const QString &aim, const QString &verdict)
{
    // Padded as text, not by printf, which counts bytes and misaligns "µ".
    const QString text = what.leftJustified(35) + figure.leftJustified(31) + aim.leftJustified(15) + verdict;
    std::printf("%s\n", text.toUtf8().constData());
}

void row(const char *what, const QString &figure, const char *aim, bool met)
{
    line(QString::fromUtf8(what), figure, QString::fromUtf8(aim), met ? QStringLiteral("sì") : QStringLiteral("NO"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    std::vector<double> wall, program;
    for (int i = 0; i < kRuns; ++i) {
        const auto l = launchOnce();
        if (!l) {
            std::fprintf(stderr, "run %d: no `ready` event from %s\n", i + 1, QYRPLAYER_BIN);
            return 1;
        }
        std::printf("run %d: ready after %.0f ms (program's own clock %.0f ms)\n", i + 1, l->wallMs, l->programMs);
        wall.push_back(l->wallMs);
        program.push_back(l->programMs);
    }

    QTemporaryDir dir;
    auto opened = SqliteRegistry::open(dir.filePath(QStringLiteral("settings.sqlite")));
    if (!opened.store) {
        std::fprintf(stderr, "settings store: %s\n", qPrintable(opened.problem));
        return 1;
    }
    SqliteRegistry &store = *opened.store;
    store.setValue(kPlayerKey, RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("100")));

    QElapsedTimer t;
    qint64 sink = 0; // keeps the reads from being optimised away
    t.start();
    for (int i = 0; i < kReads; ++i)
        sink += store.value(kPlayerKey, QStringLiteral("Volume"))->data.size();
    const double readUs = double(t.nsecsElapsed()) / 1e3 / kReads;

    t.restart();
    for (int i = 0; i < kSaves; ++i)
        store.setValue(kPlayerKey, RegValue::fromText(QStringLiteral("BranoPos"), QString::number(i)));
    const double saveMs = double(t.nsecsElapsed()) / 1e6 / kSaves;
    if (store.value(kPlayerKey, QStringLiteral("BranoPos"))->text() != QString::number(kSaves - 1) || sink == 0) {
        std::fprintf(stderr, "settings store: the saved value did not read back\n");
        return 1;
    }

    const Stats w = stats(wall);
    const Stats pr = stats(program);
    std::printf("\n");
    line(QStringLiteral("misura"), QStringLiteral("valore"), QStringLiteral("obiettivo"), QStringLiteral("raggiunto"));
    row("avvio fino a ready (processo)",
        QStringLiteral("%1 / %2 / %3 ms").arg(w.min, 0, 'f', 0).arg(w.median, 0, 'f', 0).arg(w.max, 0, 'f', 0),
        "< 1000 ms", w.median < 1000);
    row("avvio fino a ready (da main)",
        QStringLiteral("%1 / %2 / %3 ms").arg(pr.min, 0, 'f', 0).arg(pr.median, 0, 'f', 0).arg(pr.max, 0, 'f', 0),
        "< 1000 ms", pr.median < 1000);
    row("lettura di un'impostazione", QStringLiteral("%1 µs (%2 letture)").arg(readUs, 0, 'f', 2).arg(kReads),
        "< 5 µs", readUs < 5);
    row("salvataggio durevole", QStringLiteral("%1 ms (%2 salvataggi)").arg(saveMs, 0, 'f', 3).arg(kSaves), "< 1 ms",
        saveMs < 1);
    std::printf("(avvio: minimo / mediana / massimo su %d esecuzioni, offscreen, impostazioni nuove)\n", kRuns);
    return 0;
}
