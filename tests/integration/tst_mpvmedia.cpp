// The libmpv media control on real files (sox tones, an ffmpeg video), offscreen, with mpv's null or WAV-writing output.
#include "platform/errors.h"
#include "platform/media/mpvmedia.h"

#include <QStandardPaths>
#include <QtTest>

#include <clocale>
#include <memory>
#include <utility>

using namespace qyr;
using namespace qyr::playstate;

namespace {

constexpr int Wait = 20000; // generous: only a broken control comes near it
const QList<int> PlayedThrough{Playing, MediaEnded, Stopped};

// Every state and error the control raises, in order.
struct Recorder {
    explicit Recorder(MpvMediaControl &m)
    {
        m.PlayStateChange.connect([this](int s) { states << s; });
        m.Error.connect([this](const QString &text) { errors << text; });
    }
    // Waits for n states, then a little longer so that a wrong extra one shows.
    QList<int> settled(int n)
    {
        (void)QTest::qWaitFor([&] { return states.size() >= n; }, Wait);
        QTest::qWait(500);
        return std::exchange(states, {});
    }
    QList<int> states;
    QStringList errors;
};

std::unique_ptr<MpvMediaControl> nullOut(bool autoStart)
{
    auto m = std::make_unique<MpvMediaControl>(nullptr, "null");
    m->setAutoStart(autoStart);
    return m;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    const bool ok = p.waitForFinished(60000) && p.exitCode() == 0;
    return ok ? QString::fromLocal8Bit(p.readAllStandardOutput()) + '\n' : QString();
}

bool near(double value, double expected) { return qAbs(value - expected) < 0.05; }

} // namespace

class TstMpvMedia : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString tone2_ = dir_.filePath("tone2.wav"), tone3_ = dir_.filePath("tone3.wav"),
            tone4_ = dir_.filePath("tone4.wav"), bad_ = dir_.filePath("bad.mp3"), video_ = dir_.filePath("v.avi");

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("sox").isEmpty())
            QSKIP("sox is needed to make the test media");
        for (const auto &[file, seconds] : {std::pair{tone2_, 2}, {tone3_, 3}, {tone4_, 4}})
            QVERIFY(!run("sox", {"-n", "-r", "44100", "-c", "1", file, "synth", QString::number(seconds), "sine", "440"})
                         .isEmpty());
        // Bytes of no format under an audio name: mpv finds no stream in them.
        QFile f(bad_);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(64 * 1024, '\x5a')) == 64 * 1024 && f.flush());
        // An Italian locale of our own, since the system may have none.
        if (QDir(dir_.path()).mkdir("locales"))
            run("localedef", {"-i", "it_IT", "-f", "UTF-8", dir_.filePath("locales/it_IT.UTF-8")});
        run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=10", "-t", "1", video_});
    }

    void propertiesWithoutAndWithAFile()
    {
        // Qt gives the process the reader's numeric locale (a decimal comma in Italian), which libmpv refuses.
        if (QFile::exists(dir_.filePath("locales/it_IT.UTF-8"))) {
            qputenv("LOCPATH", QFile::encodeName(dir_.filePath("locales")));
            QVERIFY(std::setlocale(LC_NUMERIC, "it_IT.UTF-8"));
        } else {
            qWarning("no Italian locale could be made: the locale case is not covered");
        }
        QVERIFY_THROWS_EXCEPTION(QyrError, MpvMediaControl(nullptr, "nosuchoutput"));
        auto m = nullOut(false);
        // Asked before any file: no failure, nothing known.
        m->play();
        m->pause();
        m->stop();
        QCOMPARE(m->playState(), Undefined);
        for (const auto &[asked, kept] : {std::pair{150, 100}, {-5, 0}}) {
            m->setVolume(asked);
            QCOMPARE(m->volume(), kept);
        }
        QVERIFY_THROWS_EXCEPTION(QyrError, m->setRate(0.0f));

        // Auto-start off, a position set before the file: it loads paused there, ready, with its duration.
        Recorder r(*m);
        m->setCurrentPosition(1.5);
        m->setUrl(tone3_);
        QCOMPARE(m->currentPosition(), 1.5);
        QTRY_COMPARE_WITH_TIMEOUT(r.states, QList<int>{Ready}, Wait);
        QVERIFY(near(m->duration(), 3.0) && m->currentPosition() >= 1.49);
        m->play();
        QTRY_COMPARE_WITH_TIMEOUT(m->playState(), Playing, Wait);
        QVERIFY(m->currentPosition() >= 1.49);

        // An empty name unloads.
        m->setUrl(QString());
        QCOMPARE(m->playState(), Stopped);
        QTRY_COMPARE_WITH_TIMEOUT(m->duration(), 0.0, Wait);
    }

    // Pause holds the position; stop goes back to 0 keeping the file; the end is raised once, and play after a stop or
    // the end starts from 0.
    void pauseStopTheEndAndANewFile()
    {
        auto m = nullOut(true);
        Recorder r(*m);
        m->setUrl(tone3_);
        QCOMPARE(m->playState(), Playing); // asked for: playing, before mpv says so
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > 0.5, Wait);
        m->pause();
        QCOMPARE(m->playState(), Paused);
        QTest::qWait(100);
        const double held = m->currentPosition();
        QTest::qWait(400);
        QCOMPARE(m->currentPosition(), held);
        m->play();
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > held + 0.1, Wait);
        m->stop();
        QVERIFY(m->playState() == Stopped && m->currentPosition() == 0.0);
        QCOMPARE(r.settled(4), (QList<int>{Playing, Paused, Playing, Stopped}));
        for (int round = 0; round < 2; ++round) {
            m->play();
            QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > 0.1, Wait);
            QVERIFY(m->currentPosition() < 1.0);
            QCOMPARE(r.settled(3), PlayedThrough);
            QVERIFY(m->playState() == Stopped && m->url() == tone3_ && m->currentPosition() < 0.05 && near(m->duration(), 3));
        }

        // A new file over a playing one, or over one still loading: the old one stops without an end or its position.
        double atStart = -1;
        m->PlayStateChange.connect([&](int s) {
            if (s == Playing && atStart < 0)
                atStart = m->currentPosition();
        });
        // A position set right after loading with auto-start on: playing starts there.
        m->setUrl(tone4_);
        m->setCurrentPosition(2.5);
        QTRY_VERIFY_WITH_TIMEOUT(atStart >= 0, Wait);
        QVERIFY2(atStart >= 2.49 && atStart < 3.5, qPrintable(QString::number(atStart)));
        atStart = -1;
        m->setUrl(tone2_);
        QCOMPARE(r.settled(5), (QList<int>{Playing, Stopped, Playing, MediaEnded, Stopped}));
        QVERIFY2(atStart < 1.0, qPrintable(QString::number(atStart)));
        QVERIFY(m->url() == tone2_ && near(m->duration(), 2.0));

        m->setUrl(tone3_);
        m->setUrl(tone2_);
        QCOMPARE(r.settled(3), PlayedThrough);
        QVERIFY(near(m->duration(), 2.0) && r.errors.isEmpty());
    }

    void stoppedRightAfterLoadingNeverSounds()
    {
        // The host stops an audio file at once when reading is off. mpv's WAV output writes what plays as fast as it
        // can, so any sound that slipped out would be in the file.
        const QString out = dir_.filePath("silence.wav");
        {
            MpvMediaControl m(nullptr, "pcm:" + out);
            Recorder r(m);
            m.setAutoStart(true);
            m.setUrl(tone2_);
            m.stop();
            QTRY_VERIFY_WITH_TIMEOUT(m.duration() > 0, Wait);
            QTest::qWait(500);
            QCOMPARE(r.states, QList<int>{Stopped});
        } // mpv completes the WAV header when it closes
        QCOMPARE(run("soxi", {"-s", out}).trimmed(), "0");
    }

    // Its text names the file, playing it again tries again, and the control still plays a video after it, its size
    // known when the host places the video window, as it handles the playing state.
    void unplayableFilesReportAnErrorVideosTheirSize()
    {
        auto m = nullOut(true);
        Recorder r(*m);
        m->setUrl(bad_);
        QTRY_COMPARE_WITH_TIMEOUT(r.errors.size(), 1, Wait);
        QVERIFY2(r.errors.first() == "Impossibile riprodurre il file " + bad_ + ": formato del file non riconosciuto",
                 qPrintable(r.errors.first()));
        QCOMPARE(r.states, QList<int>{Stopped});
        m->play();
        QTRY_COMPARE_WITH_TIMEOUT(r.errors.size(), 2, Wait);
        QCOMPARE(m->playState(), Stopped);
        if (!QFile::exists(video_))
            QSKIP("ffmpeg is needed to make the test video");
        QSize size;
        m->PlayStateChange.connect([&](int s) {
            if (s == Playing)
                size = QSize(m->imageSourceWidth(), m->imageSourceHeight());
        });
        m->setUrl(video_);
        QTRY_VERIFY_WITH_TIMEOUT(r.states.contains(MediaEnded), Wait);
        QCOMPARE(size, QSize(64, 48));
        QCOMPARE(r.errors.size(), 2);
    }

    void destroyedAtAnyMoment()
    {
        nullOut(true)->setUrl(tone2_); // while a file loads
        // From a handler of its own signal, while mpv still has events for it.
        auto m = nullOut(true);
        int seen = 0;
        m->PlayStateChange.connect([&](int s) {
            ++seen;
            if (s == Playing)
                m.reset();
        });
        m->setUrl(tone2_);
        QTRY_VERIFY_WITH_TIMEOUT(!m, Wait);
        QTest::qWait(300);
        QCOMPARE(seen, 1);
    }
};

QTEST_MAIN(TstMpvMedia)
#include "tst_mpvmedia.moc"
