// The libmpv media control on real files (tones from sox, a tiny video from
// ffmpeg), offscreen, with mpv's null or WAV-writing audio output.
#include "platform/errors.h"
#include "platform/media/mpvmedia.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <memory>

using namespace qyr;

namespace {

constexpr int Wait = 20000; // generous: only a broken control comes near it

// Every state and error the control raises, in order.
struct Recorder {
    explicit Recorder(MpvMediaControl &m)
    {
        m.PlayStateChange.connect([this](int s) { states << s; });
        m.Error.connect([this](const QString &text) { errors << text; });
    }
    int count(int s) const { return int(states.count(s)); }
    QList<int> states;
    QStringList errors;
};

std::unique_ptr<MpvMediaControl> nullOut(bool autoStart)
{
    auto m = std::make_unique<MpvMediaControl>(nullptr, QStringLiteral("null"));
    m->setAutoStart(autoStart);
    return m;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(p.readAll()) + QStringLiteral("\n");
}

} // namespace

class TstMpvMedia : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString tone2_, tone3_, tone4_, bad_, video_;
    QString path(const QString &name) const { return dir_.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
            QSKIP("sox is needed to make the test media");
        tone2_ = path(QStringLiteral("tone2.wav"));
        tone3_ = path(QStringLiteral("tone3.wav"));
        tone4_ = path(QStringLiteral("tone4.wav"));
        for (const auto &[file, seconds] : {std::pair{tone2_, 2}, {tone3_, 3}, {tone4_, 4}})
            QVERIFY(!run(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                                                 QStringLiteral("-c"), QStringLiteral("1"), file, QStringLiteral("synth"),
                                                 QString::number(seconds), QStringLiteral("sine"), QStringLiteral("440")})
                         .isEmpty());
        // Random bytes under an audio name: mpv finds no stream in them.
        bad_ = path(QStringLiteral("bad.mp3"));
        QFile f(bad_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QRandomGenerator gen(20240611);
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        gen.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        f.write(bytes);
        f.close();
        // An Italian locale of our own, since the system may have none.
        if (!QStandardPaths::findExecutable(QStringLiteral("localedef")).isEmpty()) {
            QDir(dir_.path()).mkdir(QStringLiteral("locales"));
            run(QStringLiteral("localedef"), {QStringLiteral("-i"), QStringLiteral("it_IT"), QStringLiteral("-f"),
                                              QStringLiteral("UTF-8"), path(QStringLiteral("locales/it_IT.UTF-8"))});
        }
        if (!QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
            video_ = path(QStringLiteral("v.avi"));
            run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                                           QStringLiteral("lavfi"), QStringLiteral("-i"),
                                           QStringLiteral("testsrc=size=64x48:rate=10"), QStringLiteral("-t"),
                                           QStringLiteral("1"), video_});
        }
    }

    void propertiesWithoutAndWithAFile()
    {
        // Qt gives the process the reader's numeric locale (a decimal comma
        // in Italian); libmpv refuses to start under it unless the control
        // sets "C" for itself.
        if (QFile::exists(path(QStringLiteral("locales/it_IT.UTF-8")))) {
            qputenv("LOCPATH", QFile::encodeName(path(QStringLiteral("locales"))));
            QVERIFY(std::setlocale(LC_NUMERIC, "it_IT.UTF-8"));
        } else {
            qWarning("no Italian locale could be made: the locale case is not covered");
        }
        auto m = nullOut(false);
        QVERIFY(m->versionInfo().startsWith(QLatin1String("mpv ")));
        QVERIFY_THROWS_EXCEPTION(QyrError, MpvMediaControl(nullptr, QStringLiteral("nosuchoutput")));
        // Asked before any file: no failure, nothing known.
        QCOMPARE(m->playState(), playstate::Undefined);
        QCOMPARE(m->currentPosition(), 0.0);
        QCOMPARE(m->duration(), 0.0);
        QCOMPARE(m->imageSourceWidth(), 0);
        m->play();
        m->pause();
        m->stop();
        QCOMPARE(m->playState(), playstate::Undefined);
        QCOMPARE(m->url(), QString());

        m->setVolume(40);
        QCOMPARE(m->volume(), 40);
        m->setVolume(150);
        QCOMPARE(m->volume(), 100);
        m->setVolume(-5);
        QCOMPARE(m->volume(), 0);
        m->setRate(1.5f);
        QCOMPARE(m->rate(), 1.5f);
        QVERIFY_THROWS_EXCEPTION(QyrError, m->setRate(0.0f));
        QCOMPARE(m->rate(), 1.5f);
        m->setUiMode(QStringLiteral("none"));
        m->setEnabled(false);
        QCOMPARE(m->uiMode(), QStringLiteral("none"));
        QVERIFY(!m->isEnabled());

        // Auto-start off: the file loads paused, ready, with its duration.
        Recorder r(*m);
        m->setUrl(tone3_);
        QTRY_COMPARE_WITH_TIMEOUT(r.states, QList<int>({playstate::Ready}), Wait);
        QCOMPARE(m->playState(), playstate::Ready);
        QVERIFY(qAbs(m->duration() - 3.0) < 0.05);
        QCOMPARE(m->currentPosition(), 0.0);
        QCOMPARE(m->imageSourceWidth(), 0);
        QCOMPARE(m->imageSourceHeight(), 0);
        // Rate and volume are the control's, not the file's.
        QCOMPARE(m->rate(), 1.5f);
        QCOMPARE(m->volume(), 0);

        // An empty name unloads.
        m->setUrl(QString());
        QCOMPARE(m->url(), QString());
        QCOMPARE(m->playState(), playstate::Stopped);
        QTRY_COMPARE_WITH_TIMEOUT(m->duration(), 0.0, Wait);
        m->play();
        QCOMPARE(m->playState(), playstate::Stopped);
    }

    void playsToTheEndOnceAndPlaysAgain()
    {
        auto m = nullOut(true);
        Recorder r(*m);
        QElapsedTimer clock;
        qint64 latency = -1;
        m->PlayStateChange.connect([&](int s) {
            if (s == playstate::Playing && latency < 0)
                latency = clock.elapsed();
        });
        clock.start();
        m->setUrl(tone2_);
        QCOMPARE(m->playState(), playstate::Playing); // asked for: playing
        QTRY_COMPARE_WITH_TIMEOUT(r.states, QList<int>({playstate::Playing}), Wait);
        qDebug("setUrl to playing: %lld ms (local WAV, ao=null)", latency);

        QTRY_VERIFY_WITH_TIMEOUT(r.states.size() >= 3, Wait);
        QTest::qWait(500); // room for a second, wrong, end
        QCOMPARE(r.states, QList<int>({playstate::Playing, playstate::MediaEnded, playstate::Stopped}));
        QCOMPARE(m->playState(), playstate::Stopped);
        QCOMPARE(m->url(), tone2_);
        QVERIFY(m->currentPosition() < 0.05);
        QVERIFY(qAbs(m->duration() - 2.0) < 0.05);

        // Play after the end starts the file again from its beginning.
        r.states.clear();
        m->play();
        QCOMPARE(m->playState(), playstate::Playing);
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > 0.1, Wait);
        QVERIFY(m->currentPosition() < 1.5);
        QTRY_VERIFY_WITH_TIMEOUT(r.states.size() >= 3, Wait);
        QTest::qWait(500);
        QCOMPARE(r.states, QList<int>({playstate::Playing, playstate::MediaEnded, playstate::Stopped}));
    }

    void aNewFileReplacesTheOldWithoutAnEnd()
    {
        auto m = nullOut(true);
        Recorder r(*m);
        // Over a playing file: the old one stops, the new one plays and ends.
        m->setUrl(tone3_);
        QTRY_COMPARE_WITH_TIMEOUT(r.states, QList<int>({playstate::Playing}), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > 0.3, Wait);
        m->setUrl(tone2_);
        QTRY_VERIFY_WITH_TIMEOUT(r.count(playstate::Stopped) == 2, Wait);
        QTest::qWait(500);
        QCOMPARE(r.states, QList<int>({playstate::Playing, playstate::Stopped, playstate::Playing,
                                       playstate::MediaEnded, playstate::Stopped}));
        QCOMPARE(m->url(), tone2_);
        QVERIFY(qAbs(m->duration() - 2.0) < 0.05);

        // A load replaced before it started leaves no trace of its own.
        r.states.clear();
        m->setUrl(tone3_);
        m->setUrl(tone2_);
        QTRY_VERIFY_WITH_TIMEOUT(r.count(playstate::Stopped) == 1, Wait);
        QTest::qWait(500);
        QCOMPARE(r.states, QList<int>({playstate::Playing, playstate::MediaEnded, playstate::Stopped}));
        QVERIFY(qAbs(m->duration() - 2.0) < 0.05);
        QVERIFY(r.errors.isEmpty());
    }

    void stopAndPauseKeepTheFile()
    {
        auto m = nullOut(true);
        Recorder r(*m);
        m->setUrl(tone4_);
        QTRY_COMPARE_WITH_TIMEOUT(r.states, QList<int>({playstate::Playing}), Wait);

        // Pause holds the position; play goes on from there.
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > 0.5, Wait);
        m->pause();
        QCOMPARE(m->playState(), playstate::Paused);
        QTest::qWait(100);
        const double held = m->currentPosition();
        QTest::qWait(400);
        QCOMPARE(m->currentPosition(), held);
        m->play();
        QCOMPARE(m->playState(), playstate::Playing);
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > held + 0.1, Wait);

        // Stop: paused at 0 with the file kept; play starts it from 0.
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > 1.5, Wait);
        m->stop();
        QCOMPARE(m->playState(), playstate::Stopped);
        QCOMPARE(m->currentPosition(), 0.0);
        QCOMPARE(m->url(), tone4_);
        QVERIFY(qAbs(m->duration() - 4.0) < 0.05);
        m->play();
        QTRY_VERIFY_WITH_TIMEOUT(m->currentPosition() > 0.1, Wait);
        QVERIFY(m->currentPosition() < 1.0);
        QCOMPARE(r.states, QList<int>({playstate::Playing, playstate::Paused, playstate::Playing,
                                       playstate::Stopped, playstate::Playing}));
    }

    void stoppedRightAfterLoadingNeverSounds()
    {
        // The host stops an audio file at once when reading is off. mpv's
        // WAV output writes what plays as fast as it can, so any sound that
        // slipped out would be in the file.
        const QString out = path(QStringLiteral("silence.wav"));
        {
            MpvMediaControl m(nullptr, QStringLiteral("pcm:") + out);
            Recorder r(m);
            m.setAutoStart(true);
            m.setUrl(tone2_);
            QCOMPARE(m.playState(), playstate::Playing);
            m.stop();
            QCOMPARE(m.playState(), playstate::Stopped);
            QTRY_VERIFY_WITH_TIMEOUT(m.duration() > 0, Wait);
            QTest::qWait(500);
            QCOMPARE(m.currentPosition(), 0.0);
            QCOMPARE(r.states, QList<int>({playstate::Stopped}));
        }
        const QString samples = run(QStringLiteral("soxi"), {QStringLiteral("-s"), out});
        QCOMPARE(samples.trimmed(), QStringLiteral("0"));
    }

    void positionAskedBeforeTheFileLoads()
    {
        // Set before any file, auto-start off: the file opens there, ready.
        auto m = nullOut(false);
        Recorder r(*m);
        m->setCurrentPosition(1.5);
        QCOMPARE(m->currentPosition(), 1.5);
        m->setUrl(tone3_);
        QCOMPARE(m->currentPosition(), 1.5);
        QTRY_COMPARE_WITH_TIMEOUT(r.states, QList<int>({playstate::Ready}), Wait);
        QVERIFY(m->currentPosition() >= 1.49);
        m->play();
        QTRY_COMPARE_WITH_TIMEOUT(m->playState(), playstate::Playing, Wait);
        QVERIFY(m->currentPosition() >= 1.49);

        // Set right after loading with auto-start on: playing starts there.
        double atStart = -1;
        m->PlayStateChange.connect([&](int s) {
            if (s == playstate::Playing && atStart < 0)
                atStart = m->currentPosition();
        });
        r.states.clear();
        m->setAutoStart(true);
        m->setUrl(tone4_);
        m->setCurrentPosition(2.5);
        QTRY_VERIFY_WITH_TIMEOUT(atStart >= 0, Wait);
        QVERIFY2(atStart >= 2.49 && atStart < 3.5, qPrintable(QString::number(atStart)));
        // A position for the old file does not carry over to the next one.
        m->setUrl(tone3_);
        atStart = -1;
        QTRY_VERIFY_WITH_TIMEOUT(atStart >= 0, Wait);
        QVERIFY2(atStart < 1.0, qPrintable(QString::number(atStart)));
    }

    void rateKeepsThePitch()
    {
        const QString out = path(QStringLiteral("out.wav"));
        {
            MpvMediaControl m(nullptr, QStringLiteral("pcm:") + out);
            Recorder r(m);
            m.setRate(1.4f);
            m.setAutoStart(true);
            m.setUrl(tone4_);
            QTRY_VERIFY_WITH_TIMEOUT(r.states.contains(playstate::Stopped), Wait);
            QCOMPARE(r.states, QList<int>({playstate::Playing, playstate::MediaEnded, playstate::Stopped}));
            QCOMPARE(m.rate(), 1.4f);
        } // mpv completes the WAV header when it closes
        const QString stat = run(QStringLiteral("sox"), {out, QStringLiteral("-n"), QStringLiteral("stat")});
        const auto freq = QRegularExpression(QStringLiteral("Rough\\s+frequency:\\s+(\\d+)")).match(stat);
        const auto len = QRegularExpression(QStringLiteral("Length \\(seconds\\):\\s+([\\d.]+)")).match(stat);
        QVERIFY2(freq.hasMatch() && len.hasMatch(), qPrintable(stat));
        const double hz = freq.captured(1).toDouble();
        const double seconds = len.captured(1).toDouble();
        qDebug("rate 1.4: %.0f Hz, %.3f s written", hz, seconds);
        QVERIFY2(qAbs(hz - 440) <= 440 * 0.02, qPrintable(stat));
        QVERIFY2(qAbs(seconds - 4 / 1.4) <= 4 / 1.4 * 0.03, qPrintable(stat));
    }

    void unplayableFilesReportAnError()
    {
        auto m = nullOut(true);
        Recorder r(*m);
        m->setUrl(bad_);
        QTRY_COMPARE_WITH_TIMEOUT(r.errors.size(), 1, Wait);
        QVERIFY2(r.errors.first().startsWith(QStringLiteral("Impossibile riprodurre il file ") + bad_ + QLatin1Char(':')),
                 qPrintable(r.errors.first()));
        QCOMPARE(r.states, QList<int>({playstate::Stopped}));
        QCOMPARE(m->playState(), playstate::Stopped);
        QCOMPARE(m->url(), bad_);
        QCOMPARE(m->duration(), 0.0);

        // Playing it again tries again and fails again.
        m->play();
        QTRY_COMPARE_WITH_TIMEOUT(r.errors.size(), 2, Wait);
        QCOMPARE(m->playState(), playstate::Stopped);

        const QString missing = path(QStringLiteral("missing.mp3"));
        m->setUrl(missing);
        QTRY_COMPARE_WITH_TIMEOUT(r.errors.size(), 3, Wait);
        QVERIFY(r.errors.last().contains(missing));

        // The control still plays a good file afterwards.
        m->setUrl(tone2_);
        QTRY_VERIFY_WITH_TIMEOUT(r.states.contains(playstate::Playing), Wait);
        QCOMPARE(r.errors.size(), 3);
    }

    void videoSizeIsKnownWhenPlaying()
    {
        if (video_.isEmpty() || !QFile::exists(video_))
            QSKIP("ffmpeg is needed to make the test video");
        auto m = nullOut(true);
        Recorder r(*m);
        // The host places the video window while it handles the playing state.
        int w = -1, h = -1;
        m->PlayStateChange.connect([&](int s) {
            if (s == playstate::Playing) {
                w = m->imageSourceWidth();
                h = m->imageSourceHeight();
            }
        });
        m->setUrl(video_);
        QTRY_VERIFY_WITH_TIMEOUT(w >= 0, Wait);
        QCOMPARE(w, 64);
        QCOMPARE(h, 48);
        QTRY_VERIFY_WITH_TIMEOUT(r.states.contains(playstate::MediaEnded), Wait);
        QVERIFY(r.errors.isEmpty());
    }

    void destroyedAtAnyMoment()
    {
        // While a file loads.
        {
            auto m = nullOut(true);
            m->setUrl(tone2_);
        }
        // From a handler of its own signal, while mpv still has events for it.
        auto m = nullOut(true);
        int seen = 0;
        MpvMediaControl *raw = m.get();
        raw->PlayStateChange.connect([&](int s) {
            ++seen;
            if (s == playstate::Playing)
                m.reset();
        });
        raw->setUrl(tone2_);
        QTRY_VERIFY_WITH_TIMEOUT(!m, Wait);
        QTest::qWait(300);
        QCOMPARE(seen, 1);
    }
};

QTEST_MAIN(TstMpvMedia)
#include "tst_mpvmedia.moc"
