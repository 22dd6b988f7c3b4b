// A page's audio on the real libmpv control (no sound card) and the real file
// system: the first file, the second, then the next page; a stop between the
// end of a file and the chaining; missing, corrupt and badly positioned files.
#include "app/observedmedia.h"
#include "doubles/doubles.h"
#include "platform/files/diskfiles.h"
#include "platform/media/mpvmedia.h"
#include "platform/ui/qtpump.h"
#include "shell/frmbrowser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

bool tone(const QString &file, double seconds)
{
    QProcess p;
    p.start(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"),
                                    QStringLiteral("-c"), QStringLiteral("1"), file, QStringLiteral("synth"),
                                    QString::number(seconds), QStringLiteral("sine"), QStringLiteral("440")});
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
                    auto mpv = std::make_unique<MpvMediaControl>(nullptr, QStringLiteral("null"));
                    mpv->resolvePath = [this](const QString &name) { return files.resolve(name); };
                    auto observed = std::make_unique<ObservedMedia>(std::move(mpv),
                                                        [this](const QString &a, const QVariant &v) {
                                                            // The host names files the Windows way.
                                                            QString n = v.toString();
                                                            n.replace(QLatin1Char('\\'), QLatin1Char('/'));
                                                            actions << a + QLatin1Char(' ') + n.section(QLatin1Char('/'), -1);
                                                        });
                    control = observed.get();
                    return MediaHostParts{std::move(observed), nullptr};
                },
                dir.path()};
        f = std::make_unique<frmBrowser>(p);
        f->strAppName = QStringLiteral("QYR MediaPlayer");
        f->oPlayer = f->newPlayer();
        f->oPlayer->setVersione(1);
        QDir(dir.path()).mkpath(QStringLiteral("Libro"));
    }
    QString path(const QString &rel) const { return dir.path() + QLatin1Char('/') + rel; }
    void element(const QString &name, const QString &content)
    {
        browser.elements.insert(name.toLower(), PageElement{name, content, {}, {}, true});
    }
    // The page as the browser would report it.
    QString open(const QString &rel)
    {
        browser.location = QStringLiteral("file://") + path(rel);
        return browser.location;
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
        QVERIFY(tone(b.path(QStringLiteral("Libro/uno.wav")), 0.5));
        QVERIFY(tone(b.path(QStringLiteral("Libro/due.wav")), 0.5));
        b.element(QStringLiteral("QYRPLAYER_AUDIO"), QStringLiteral("uno.wav"));
        b.element(QStringLiteral("QYRPLAYER_AUDIO_1"), QStringLiteral("due.wav"));
        // The stop comes right after the host has armed its one-shot timer
        // for the end of the first file (handlers run in connection order).
        bool stopped = false;
        b.control->PlayStateChange.connect([&](int state) {
            if (state == playstate::MediaEnded && !stopped) {
                b.f->oPlayer->Stop_Player();
                stopped = true;
            }
        });
        QVERIFY(b.f->audio.Playaudio(b.open(QStringLiteral("Libro/cap1.htm")), false, false));
        QTRY_VERIFY_WITH_TIMEOUT(stopped, 20000);
        QTest::qWait(800);
        QVERIFY(stopped);
        QCOMPARE(b.count(QStringLiteral("playing due.wav")), 0);
        QCOMPARE(b.f->nAudioIndex, 0);
    }

    void missingCorruptAndBadlyPositionedFiles()
    {
        Book b;
        // Missing everywhere: no dialog, nothing played, a word on screen.
        b.element(QStringLiteral("QYRPLAYER_AUDIO"), QStringLiteral("assente"));
        QVERIFY(!b.f->audio.Playaudio(b.open(QStringLiteral("Libro/cap1.htm")), false, false));
        QVERIFY(b.dialogs.shown.isEmpty());
        QCOMPARE(b.f->lblOSD.caption(), QStringLiteral("Audio non trovato: assente"));
        QCOMPARE(b.actions.filter(QStringLiteral("file")).size(), 0);

        // A position that is not a number: reported, and the file plays from its start.
        QVERIFY(tone(b.path(QStringLiteral("Libro/uno.wav")), 2));
        b.element(QStringLiteral("QYRPLAYER_AUDIO"), QStringLiteral("uno.wav"));
        b.element(QStringLiteral("QYRPLAYER_AUDIO_POS"), QStringLiteral("dieci"));
        QVERIFY(b.f->audio.Playaudio(b.open(QStringLiteral("Libro/cap1.htm")), false, false));
        QCOMPARE(b.dialogs.errorNames().size(), 1);
        QVERIFY(b.dialogs.errorNames().first().startsWith(QStringLiteral("Playaudio - ")));
        QTRY_VERIFY_WITH_TIMEOUT(b.count(QStringLiteral("playing uno.wav")) == 1, 20000);
        QVERIFY(b.f->oPlayer->CurrentPosition() < 1.5);

        // A corrupt file: one error dialog, no crash, no hang; the reading
        // goes on with the page's next audio.
        QFile bad(b.path(QStringLiteral("Libro/rotto.mp3")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(4096, '\x5a'));
        bad.close();
        b.dialogs.shown.clear();
        b.element(QStringLiteral("QYRPLAYER_AUDIO"), QStringLiteral("rotto.mp3"));
        b.element(QStringLiteral("QYRPLAYER_AUDIO_1"), QStringLiteral("uno.wav"));
        b.browser.elements.remove(QStringLiteral("qyrplayer_audio_pos"));
        const int before = b.count(QStringLiteral("playing uno.wav"));
        QVERIFY(b.f->audio.Playaudio(b.open(QStringLiteral("Libro/cap1.htm")), false, false));
        QTRY_VERIFY_WITH_TIMEOUT(!b.dialogs.errorNames().isEmpty(), 20000);
        QCOMPARE(b.dialogs.errorNames(), QStringList({QStringLiteral("oWMP9 - WMP_MediaError")}));
        QVERIFY(b.dialogs.shown.first().text.contains(QStringLiteral("rotto.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(b.count(QStringLiteral("playing uno.wav")) == before + 1, 20000);
        QCOMPARE(b.f->nAudioIndex, 1);
    }
};

QTEST_MAIN(TstPageAudioMpv)
#include "tst_pageaudio_mpv.moc"
