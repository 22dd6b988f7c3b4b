// The contents of a DAISY book of 100,000 headings (Ctrl+I): from the key to
// the last heading in the text the screen reader reads, and the longest the
// program takes meanwhile to answer a command (its state, asked every 300
// ms), median of 3 runs. Prints figures; it asserts nothing.
#include "events.h"

#include <QCoreApplication>
#include <QtEndian>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kHeadings = 100000, kTimeoutMs = 120000;

bool writeBook(const QString &dir)
{
    QFile ncc(dir + QStringLiteral("/ncc.html")), smil(dir + QStringLiteral("/s.smil")), wav(dir + QStringLiteral("/a.wav"));
    if (!ncc.open(QIODevice::WriteOnly) || !smil.open(QIODevice::WriteOnly) || !wav.open(QIODevice::WriteOnly))
        return false;
    ncc.write("<html><head><meta name='dc:title' content='Sommario grande'/></head><body>\n");
    for (int i = 0; i < kHeadings; ++i)
        ncc.write(QStringLiteral("<h1 id='h%1'><a href='s.smil#p%2'>Titolo %1</a></h1>\n").arg(i).arg(i % 100).toUtf8());
    ncc.write("</body></html>\n");
    smil.write("<smil><body><seq>");
    for (int i = 0; i < 100; ++i)
        smil.write(QStringLiteral("<par id='p%1'><audio src='a.wav' clip-begin='npt=%1s' clip-end='npt=%2s'/></par>")
                       .arg(i).arg(i + 1).toUtf8());
    smil.write("</seq></body></smil>");
    // 100 s of silence, 8 kHz mono.
    const quint32 data = 8000 * 2 * 100;
    QByteArray header("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\0\0\0\0", 44);
    qToLittleEndian<quint32>(data + 36, header.data() + 4);
    qToLittleEndian<quint32>(data, header.data() + 40);
    return wav.write(header) == 44 && wav.write(QByteArray(int(data), '\0')) == int(data);
}

struct Run {
    double readyMs = -1, longestAnswerMs = 0;
};

Run run(const QString &book, const QString &settings)
{
    Run r;
    QProcess p;
    bench::startProgram(p, QStringLiteral(QYRPLAYER_BIN), settings, book);
    QByteArray buffer;
    for (;;) {
        const auto e = bench::readUntil(p, QStringLiteral("player"), buffer, kTimeoutMs);
        if (!e)
            return r;
        if (e->value(QStringLiteral("action")).toString() == QLatin1String("playing"))
            break;
    }
    QElapsedTimer since;
    since.start();
    p.write(R"({"cmd":"key","code":73,"mask":2})" "\n");
    const QString last = QStringLiteral("Titolo %1").arg(kHeadings - 1);
    while (since.elapsed() < kTimeoutMs) {
        QThread::msleep(300);
        QElapsedTimer asked;
        asked.start();
        p.write(R"({"cmd":"state"})" "\n");
        const auto st = bench::readUntil(p, QStringLiteral("state"), buffer, kTimeoutMs);
        if (!st)
            break;
        r.longestAnswerMs = std::max(r.longestAnswerMs, double(asked.nsecsElapsed()) / 1e6);
        if (st->value(QStringLiteral("text")).toObject().value(QStringLiteral("all")).toString().contains(last)) {
            r.readyMs = double(since.nsecsElapsed()) / 1e6;
            break;
        }
    }
    p.kill();
    p.waitForFinished(kTimeoutMs);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!writeBook(dir.path())) {
        std::printf("il libro di prova non si è potuto scrivere\n");
        return 1;
    }
    std::vector<double> ready, answer;
    for (int i = 0; i < 3; ++i) {
        const Run r = run(dir.path(), dir.filePath(QStringLiteral("impostazioni%1.sqlite").arg(i)));
        ready.push_back(r.readyMs);
        answer.push_back(r.longestAnswerMs);
        std::printf("prova %d: sommario leggibile dopo %.0f ms, risposta più lenta a un comando %.0f ms\n", i + 1,
                    r.readyMs, r.longestAnswerMs);
    }
    std::sort(ready.begin(), ready.end());
    std::sort(answer.begin(), answer.end());
    std::printf("sommario di %d titoli (Ctrl+I): leggibile dopo %.0f ms (mediana di 3); risposta più lenta %.0f ms\n",
                kHeadings, ready[1], answer[1]);
    return 0;
}
