// A page's audio on the real libmpv control (no sound card) and the real file system: a corrupt file, and a stop between
// the end of a file and the chaining. Missing files and bad positions need no real player and are tested without one.
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

bool tone(const QString &file)
{
    return QProcess::execute("sox", {"-n", "-r", "22050", "-c", "1", file, "synth", "0.5", "sine", "440"}) == 0;
}

// A page of a book with three audio files, read by a version 1 player on libmpv.
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
                    mpv->admitPath = [this](const QString &name) { return files.admit(dir.path(), name, BookFileKind::Audio); };
                    auto observed = std::make_unique<ObservedMedia>(std::move(mpv), [this](const QString &a, const QVariant &v) {
                        // The host names files the Windows way.
                        actions << a + ' ' + v.toString().replace('\\', '/').section('/', -1);
                    });
                    control = observed.get();
                    return MediaHostParts{std::move(observed), nullptr};
                },
                dir.path()};
        f = std::make_unique<frmBrowser>(p);
        f->oPlayer = f->players.create();
        f->oPlayer->setVersione(1);
        browser.elements.insert("qyrplayer_audio", PageElement{"QYRPLAYER_AUDIO", "rotto.mp3", {}, {}, true});
        browser.elements.insert("qyrplayer_audio_1", PageElement{"QYRPLAYER_AUDIO_1", "uno.wav", {}, {}, true});
        browser.elements.insert("qyrplayer_audio_2", PageElement{"QYRPLAYER_AUDIO_2", "due.wav", {}, {}, true});
        browser.location = "file://" + dir.filePath("Libro/cap1.htm");
    }
};

} // namespace

class TstPageAudioMpv : public QObject {
    Q_OBJECT
private slots:
    // A corrupt file: one error dialog naming it, no crash, no hang; the same control goes on with the page's next audio.
    // A stop at that one's end, right after the host has armed its one-shot timer for the chaining (handlers run in
    // connection order), suppresses the chaining.
    void aCorruptFileGivesWayAndAStopAtTheEndEndsTheChain()
    {
        Book b;
        QVERIFY(QDir(b.dir.path()).mkpath("Libro"));
        QFile bad(b.dir.filePath("Libro/rotto.mp3"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(QByteArray(4096, '\x5a')) == 4096 && bad.flush());
        QVERIFY(tone(b.dir.filePath("Libro/uno.wav")) && tone(b.dir.filePath("Libro/due.wav")));
        IMediaControl *first = b.control;
        bool stopped = false;
        b.control->PlayStateChange.connect([&](int state) {
            if (state == playstate::MediaEnded && !stopped) {
                b.f->oPlayer->Stop_Player();
                stopped = true;
            }
        });
        QVERIFY(b.f->audio.Playaudio(b.browser.location, AudioChoice::OfPage));
        QTRY_VERIFY_WITH_TIMEOUT(stopped, 20000);
        QTest::qWait(800);
        QCOMPARE(b.dialogs.errorNames(), QStringList{"oWMP9 - WMP_MediaError"});
        QVERIFY(b.dialogs.shown.first().text.contains("rotto.mp3"));
        QCOMPARE(b.actions.filter("playing "), QStringList{"playing uno.wav"});
        QVERIFY(b.f->audio.audioIndex() == 1 && b.control == first);
    }
};

QTEST_MAIN(TstPageAudioMpv)
#include "tst_pageaudio_mpv.moc"
