// A page's audio on the real libmpv control (no sound card) and the real file system: a stop between the end of a file
// and the chaining, and a corrupt file. Missing files and bad positions need no real player and are tested without one.
#include "app/observedmedia.h"
#include "doubles/doubles.h"
#include "platform/files/diskfiles.h"
#include "platform/media/mpvmedia.h"
#include "platform/ui/qtpump.h"
#include "shell/frmbrowser.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

bool tone(const QString &file, double seconds)
{
    QProcess p;
    p.start("sox", {"-n", "-r", "22050", "-c", "1", file, "synth", QString::number(seconds), "sine", "440"});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

struct Book {
    QTemporaryDir dir;
    MemoryRegistry reg;
    DiskFiles files;
    ScriptedDialogs dialogs;
    QtPump pump;
    FakeBrowser browser;
    QStringList actions; // what the player did or reported, in order
    IMediaControl *control = nullptr; // the newest host's control
    std::unique_ptr<frmBrowser> f;

    Book()
    {
        Ports p{reg, files, dialogs, pump, pump, browser,
                [this]() {
                    auto mpv = std::make_unique<MpvMediaControl>(nullptr, "null");
                    mpv->resolvePath = [this](const QString &name) { return files.resolve(name); };
                    auto observed = std::make_unique<ObservedMedia>(std::move(mpv), [this](const QString &a, const QVariant &v) {
                        // The host names files the Windows way.
                        actions << a + ' ' + v.toString().replace('\\', '/').section('/', -1);
                    });
                    control = observed.get();
                    return MediaHostParts{std::move(observed), nullptr};
                },
                dir.path()};
        f = std::make_unique<frmBrowser>(p);
        f->oPlayer = f->newPlayer();
        f->oPlayer->setVersione(1);
        QDir(dir.path()).mkpath("Libro");
    }
    QString path(const QString &rel) const { return dir.filePath(rel); }
    // The page's audio elements, as the browser would report them.
    void audio(const QString &first, const QString &second = QString())
    {
        browser.elements.insert("qyrplayer_audio", PageElement{"QYRPLAYER_AUDIO", first, {}, {}, true});
        if (!second.isEmpty())
            browser.elements.insert("qyrplayer_audio_1", PageElement{"QYRPLAYER_AUDIO_1", second, {}, {}, true});
    }
    bool play()
    {
        browser.location = "file://" + path("Libro/cap1.htm");
        return f->audio.Playaudio(browser.location, false, false);
    }
    int count(const QString &action) const { return int(actions.count(action)); }
};

} // namespace

class TstPageAudioMpv : public QObject {
    Q_OBJECT
private slots:
    void aStopBeforeTheChainingSuppressesIt()
    {
        Book b;
        QVERIFY(tone(b.path("Libro/uno.wav"), 0.5) && tone(b.path("Libro/due.wav"), 0.5));
        b.audio("uno.wav", "due.wav");
        // The stop comes right after the host has armed its one-shot timer for the end of the first file (handlers run
        // in connection order).
        bool stopped = false;
        b.control->PlayStateChange.connect([&](int state) {
            if (state == playstate::MediaEnded && !stopped) {
                b.f->oPlayer->Stop_Player();
                stopped = true;
            }
        });
        QVERIFY(b.play());
        QTRY_VERIFY_WITH_TIMEOUT(stopped, 20000);
        QTest::qWait(800);
        QCOMPARE(b.count("playing due.wav"), 0);
        QCOMPARE(b.f->audio.audioIndex(), 0);
    }

    // A corrupt file: one error dialog, no crash, no hang; the reading goes on with the page's next audio.
    void aCorruptFileGivesWayToTheNext()
    {
        Book b;
        QFile bad(b.path("Libro/rotto.mp3"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(QByteArray(4096, '\x5a')) == 4096 && bad.flush());
        QVERIFY(tone(b.path("Libro/uno.wav"), 0.5));
        b.audio("rotto.mp3", "uno.wav");
        QVERIFY(b.play());
        QTRY_VERIFY_WITH_TIMEOUT(!b.dialogs.errorNames().isEmpty(), 20000);
        QCOMPARE(b.dialogs.errorNames(), QStringList{"oWMP9 - WMP_MediaError"});
        QVERIFY(b.dialogs.shown.first().text.contains("rotto.mp3"));
        QTRY_COMPARE_WITH_TIMEOUT(b.count("playing uno.wav"), 1, 20000);
        QCOMPARE(b.f->audio.audioIndex(), 1);
    }
};

QTEST_MAIN(TstPageAudioMpv)
#include "tst_pageaudio_mpv.moc"
