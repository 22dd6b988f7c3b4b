// The page's audio: file resolution, start positions, chaining to the next
// audio and the next page, on doubles.
#include "doubles/rig.h"
#include "platform/convert.h"

#include <QLocale>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kPage = "file:///libri/altro/cap1.htm";
// A book under the application folder, as pages are addressed on Linux.
const QString kBookPage = "file:///libri/demo/Libro/cap1.htm";

// A started window with a page shown and the page-audio handlers wired to
// the facade. The reading speed is stored before start-up, so the control
// already runs at it when a page's audio is loaded.
struct Book : Rig {
    float rateAtLoad = -1;
    bool autoStartAtLoad = false;
    explicit Book(const QString &url = kPage)
    {
        reg.put("Player", "Rate", conv::fromSingle(1.5f));
        startAt(url);
        f->audio.connect();
        // What the control held when the facade announced a new file.
        f->PlayerFileChanged.connect([this](const QString &) {
            rateAtLoad = media()->rate_;
            autoStartAtLoad = media()->autoStart;
        });
    }
    // The control reports the end of the media; the host passes it on from its timer.
    void endOfMedia()
    {
        media()->end();
        clock.advance(1);
    }
};

} // namespace

class TstPageAudio : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void extensionSearch_data()
    {
        QTest::addColumn<QString>("named");
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QStringList>("askedFirst");
        QTest::addColumn<QString>("played");
        QTest::addColumn<bool>("video");
        const QString base = "/libri/altro/cap1";
        QStringList all;
        for (const char *ext : {".wma", ".wmv", ".mp3", ".wav", ".m1v", ".avi"})
            all << base + QLatin1String(ext);
        auto onDisk = [&](const char *ext) { return QStringList{base + QLatin1String(ext)}; };
        // The last extension is found after every other was asked for, in order.
        QTest::addRow("avi is a video") << "cap1" << onDisk(".avi") << all << base + ".avi" << true;
        QTest::addRow("wmv is a video") << "cap1" << onDisk(".wmv") << all.mid(0, 2) << base + ".wmv" << true;
        QTest::addRow("mp3 after wma and wmv") << "cap1" << onDisk(".mp3") << all.mid(0, 3) << base + ".mp3" << false;
        QTest::addRow("wma before mp3") << "cap1" << QStringList{base + ".mp3", base + ".wma"} << all.mid(0, 1)
                                        << base + ".wma" << false;
        QTest::addRow("named with .avi is no video")
            << "cap1.avi" << onDisk(".avi") << QStringList{base + ".avi"} << base + ".avi" << false;
        QTest::addRow("no extension on disk") << "cap1" << QStringList{base} << all << base << false;
        QTest::addRow("nothing on disk") << "cap1" << QStringList() << all << QString() << false;
    }
    void extensionSearch()
    {
        QFETCH(QString, named);
        QFETCH(QStringList, onDisk);
        QFETCH(QStringList, askedFirst);
        QFETCH(QString, played);
        QFETCH(bool, video);
        Book b;
        b.meta("QYRPLAYER_AUDIO", named);
        for (const QString &p : onDisk)
            b.files.add(p);

        QCOMPARE(b.f->audio.Playaudio(kPage, false, false), !played.isEmpty());
        QCOMPARE(b.files.asked.mid(0, askedFirst.size()), askedFirst);
        QCOMPARE(b.played(), played);
        QVERIFY(b.dialogs.shown.isEmpty());
        if (played.isEmpty())
            return;
        // A video is loaded without auto-start at normal speed; the reading
        // speed comes back once it is loaded.
        QCOMPARE(b.autoStartAtLoad, !video);
        QCOMPARE(b.rateAtLoad, video ? 1.0f : 1.5f);
        QCOMPARE(b.media()->autoStart, !video);
        QCOMPARE(b.media()->rate_, 1.5f);
        QCOMPARE(b.media()->state == playstate::Playing, !video);
    }

    // Every audio of a page, the first or a later one, is looked for beside
    // the page, then in the book folder, then in its Libro folder, its
    // extension completed at each place.
    void searchPlaces_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("later"); // QYRPLAYER_AUDIO_1 rather than the first
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("onDisk"); // and played, unless it is elsewhere
        QTest::addRow("beside the page") << kPage << false << "cap1.mp3" << "/libri/altro/cap1.mp3";
        QTest::addRow("subfolder named the Windows way") << kPage << false << "audio\\cap1.mp3" << "/libri/altro/audio/cap1.mp3";
        QTest::addRow("first audio only in Libro") << kPage << false << "audio/cap1.mp3" << "/libri/demo/Libro/audio/cap1.mp3";
        QTest::addRow("later audio beside a page outside Libro") << kPage << true << "cap1_2.mp3" << "/libri/altro/cap1_2.mp3";
        QTest::addRow("later audio without extension in Libro") << kPage << true << "cap1_2" << "/libri/demo/Libro/cap1_2.mp3";
        QTest::addRow("elsewhere") << kPage << false << "cap1.mp3" << "/altrove/cap1.mp3";
    }
    void searchPlaces()
    {
        QFETCH(QString, page);
        QFETCH(bool, later);
        QFETCH(QString, named);
        QFETCH(QString, onDisk);
        const QString played = onDisk.startsWith("/altrove") ? QString() : onDisk;
        Book b(page);
        b.meta(later ? "QYRPLAYER_AUDIO_1" : "QYRPLAYER_AUDIO", named);
        b.files.add(onDisk);
        QCOMPARE(later ? b.f->audio.Playaudio(QString(), true, false) : b.f->audio.Playaudio(page, false, false),
                 !played.isEmpty());
        QCOMPARE(b.played(), played);
        QVERIFY(b.dialogs.shown.isEmpty()); // a missing file is no error, but it is said
        QCOMPARE(b.f->lblOSD.caption(), played.isEmpty() ? "Audio non trovato: " + named : QString());
        if (!played.isEmpty())
            QCOMPARE(b.f->TxtDebFilename.text(), played);
    }

    // Positions in the user's number format.
    void startPositions_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("pageElement");
        QTest::addColumn<double>("position");
        QTest::addColumn<QStringList>("errors");
        QTest::addRow("page element") << kPage << "95" << 95.0 << QStringList();
        QTest::addRow("no position anywhere") << kPage << "" << 0.0 << QStringList();
        QTest::addRow("address beats the page") << kPage + "#QYRPLAYER_AUDIO_POS=30" << "95" << 30.0 << QStringList();
        QTest::addRow("decimal comma") << kPage << "12,5" << 12.5 << QStringList();
        QTest::addRow("not a number") << kPage << "adesso" << 0.0 << QStringList{"Playaudio - Controllo esistenza file2"};
    }
    void startPositions()
    {
        QFETCH(QString, address);
        QFETCH(QString, pageElement);
        QFETCH(double, position);
        QFETCH(QStringList, errors);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        Book b;
        b.meta("QYRPLAYER_AUDIO", "cap1");
        if (!pageElement.isEmpty())
            b.meta("QYRPLAYER_AUDIO_POS", pageElement);
        b.files.add("/libri/altro/cap1.mp3");
        QVERIFY(b.f->audio.Playaudio(address, false, false));
        QCOMPARE(b.played(), "/libri/altro/cap1.mp3");
        QCOMPARE(b.media()->position, position); // after the load, which starts at 0
        QCOMPARE(b.dialogs.errorNames(), errors);
        QCOMPARE(b.media()->state, int(playstate::Playing));
        QCOMPARE(b.media()->rate_, 1.5f); // playback went on after a failed position
    }

    // The host passes each end on from its timer, not from the control's
    // event; the next audio gets its own position, a later audio named
    // without extension gets it completed, an empty one counts as missing and
    // the next page follows; the facade's other states chain nothing.
    void chainingThroughAPage()
    {
        Book b(kBookPage);
        b.f->audio.connect(); // a second call must not chain twice
        b.meta("QYRPLAYER_AUDIO", "cap1");
        b.meta("QYRPLAYER_AUDIO_1", "cap1b.mp3");
        b.meta("QYRPLAYER_AUDIO_POS_1", "7");
        b.meta("QYRPLAYER_AUDIO_2", "cap1c");
        b.meta("QYRPLAYER_AUDIO_3", QString());
        b.meta("QYRPLAYER_AUDIO_NEXTHTML_3", "cap2.htm");
        for (const char *name : {"cap1.mp3", "cap1b.mp3", "cap1c", "cap1c.wma"})
            b.files.add(QString("/libri/demo/Libro/") + name);
        const int navigations = b.browser.navigations.size();
        QVERIFY(b.f->audio.Playaudio(kBookPage, false, false));
        b.mediaLog.clear();
        for (qint32 state : {1, 2, 3, 9})
            b.f->PlayerStateChanged(state);
        b.media()->end();
        QVERIFY(b.mediaLog.isEmpty());
        QCOMPARE(b.f->audio.audioIndex(), 0);
        b.clock.advance(1);
        QCOMPARE(b.played(), "/libri/demo/Libro/cap1b.mp3");
        QCOMPARE(b.media()->position, 7.0);
        QCOMPARE(b.f->TxtDebFilename.text(), "/libri/demo/Libro/cap1b.mp3");

        b.mediaLog.clear();
        b.endOfMedia();
        QCOMPARE(b.played(), "/libri/demo/Libro/cap1c.wma");
        QCOMPARE(b.f->audio.audioIndex(), 2);
        QCOMPARE(b.media()->position, 0.0);

        b.mediaLog.clear();
        b.endOfMedia();
        QVERIFY(b.played().isEmpty());
        QCOMPARE(b.browser.navigations.size(), navigations + 1);
        QCOMPARE(b.browser.navigations.last(), "file:///libri/demo/Libro/cap2.htm");
        QCOMPARE(b.f->audio.audioIndex(), 3);
        QCOMPARE(b.f->audio.element(), "QYRPLAYER_AUDIO_NEXTHTML_3");

        // The next page's load starts again from its first audio.
        b.browser.elements.clear();
        b.meta("QYRPLAYER_AUDIO", "cap2.mp3");
        b.files.add("/libri/demo/Libro/cap2.mp3");
        QVERIFY(b.f->audio.Playaudio(b.browser.location, false, false));
        QCOMPARE(b.f->audio.audioIndex(), 0);
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    void nextPageAddress_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("expected");
        QTest::addRow("page") << kPage << "file:///libri/altro/cap2.htm";
        QTest::addRow("page with an anchor") << kPage + "#LumoIndex_3" << "file:///libri/altro/cap2.htm";
        QTest::addRow("anchor holding a slash") << kPage + "#a/b" << "file:///libri/altro/cap2.htm";
        QTest::addRow(".html page") << "file:///libri/altro/cap1.html" << "file:///libri/altro/cap2.htm";
        QTest::addRow("query") << kPage + "?x=a/b" << "file:///libri/altro/cap2.htm";
    }
    void nextPageAddress()
    {
        QFETCH(QString, location);
        QFETCH(QString, expected);
        Book b(location);
        b.meta("QYRPLAYER_AUDIO_NEXTHTML_3", "cap2.htm");
        b.f->audio.setAudioIndex(2);
        b.f->audio.expectResume(true);
        b.reg.put("Player", "BranoPos", "abc");

        QVERIFY(!b.f->audio.Playaudio(QString(), true, false));

        QCOMPARE(b.browser.navigations.last(), expected);
        QCOMPARE(b.f->audio.audioIndex(), 3);
        // The resume waits for the call that plays the new page.
        QVERIFY(b.f->audio.resumePending());
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    void endOfTheSequence()
    {
        Book b;
        b.meta("QYRPLAYER_AUDIO", "/libri/altro/cap1.mp3");
        b.meta("QYRPLAYER_AUDIO_1", "/libri/altro/cap1b.mp3");
        b.files.add("/libri/altro/cap1.mp3");
        b.files.add("/libri/altro/cap1b.mp3");
        QVERIFY(b.f->audio.Playaudio(kPage, false, false));
        b.endOfMedia();
        const int navigations = b.browser.navigations.size();
        b.mediaLog.clear();
        b.endOfMedia();
        QVERIFY(b.played().isEmpty());
        QCOMPARE(b.f->audio.audioIndex(), 2); // one past the last audio
        QCOMPARE(b.browser.navigations.size(), navigations);
        QVERIFY(!b.f->audio.Playaudio(QString(), true, false));
        QCOMPARE(b.f->audio.audioIndex(), 3);
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    void previousAudio_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("played");
        QTest::addColumn<double>("position");
        QTest::addRow("the first audio has none before it") << 0 << 0 << "" << 0.0;
        QTest::addRow("1 to the first audio") << 1 << 0 << "/libri/altro/cap1.mp3" << 3.0;
        QTest::addRow("3 to 2") << 3 << 2 << "/libri/altro/cap1c.mp3" << 9.0;
    }
    void previousAudio()
    {
        QFETCH(int, from);
        QFETCH(int, index);
        QFETCH(QString, played);
        QFETCH(double, position);
        Book b;
        b.meta("QYRPLAYER_AUDIO", "/libri/altro/cap1.mp3");
        b.meta("QYRPLAYER_AUDIO_POS", "3");
        b.meta("QYRPLAYER_AUDIO_POS_0", "4");
        b.meta("QYRPLAYER_AUDIO_2", "/libri/altro/cap1c.mp3");
        b.meta("QYRPLAYER_AUDIO_POS_2", "9");
        b.files.add("/libri/altro/cap1.mp3");
        b.files.add("/libri/altro/cap1c.mp3");
        b.f->audio.setAudioIndex(from);

        QCOMPARE(b.f->audio.Playaudio(QString(), false, true), !played.isEmpty());

        QCOMPARE(b.f->audio.audioIndex(), index);
        QCOMPARE(b.played(), played);
        QCOMPARE(b.media()->position, position);
    }

    void disabledStateDoesNothing()
    {
        Book b;
        b.meta("QYRPLAYER_AUDIO", "cap1.mp3");
        b.meta("QYRPLAYER_AUDIO_1", "/libri/altro/cap1.mp3");
        b.files.add("/libri/altro/cap1.mp3");
        QVERIFY(b.f->audio.Playaudio(kPage, false, false));
        b.f->audio.holdChaining(true);
        b.mediaLog.clear();
        b.files.asked.clear();

        QVERIFY(!b.f->audio.Playaudio(kPage, false, false));
        QVERIFY(b.mediaLog.isEmpty()); // not even stopped
        QCOMPARE(b.media()->state, int(playstate::Playing));
        QVERIFY(b.files.asked.isEmpty());

        b.endOfMedia(); // a recall stopping the old file does not chain
        QVERIFY(b.played().isEmpty());
        QCOMPARE(b.f->audio.audioIndex(), 0);
    }

    void resumePositionOnce_data()
    {
        QTest::addColumn<bool>("reload");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<double>("position");
        QTest::addColumn<QStringList>("errors");
        QTest::addRow("page") << false << "42.5" << 42.5 << QStringList();
        QTest::addRow("reload") << true << "42.5" << 42.5 << QStringList();
        QTest::addRow("page, not a number") << false << "x" << 95.0 << QStringList{"Playaudio - do events"};
        QTest::addRow("reload, not a number") << true << "x" << 0.0 << QStringList();
    }
    void resumePositionOnce()
    {
        QFETCH(bool, reload);
        QFETCH(QString, saved);
        QFETCH(double, position);
        QFETCH(QStringList, errors);
        Book b;
        b.meta("QYRPLAYER_AUDIO", "cap1.mp3");
        b.meta("QYRPLAYER_AUDIO_POS", "95");
        b.files.add("/libri/altro/cap1.mp3");
        if (reload)
            QVERIFY(b.f->audio.Playaudio(kPage, false, false));
        b.reg.put("Player", "BranoPos", saved);
        b.f->audio.expectResume(true);

        b.f->audio.Playaudio(reload ? "LOCATION.RELOAD" : kPage, false, false);

        QCOMPARE(b.media()->position, position); // the saved position beats the page's
        QCOMPARE(b.dialogs.errorNames(), errors);
        QVERIFY(!b.f->audio.resumePending());

        b.meta("QYRPLAYER_AUDIO_POS", QString());
        QVERIFY(b.f->audio.Playaudio(kPage, false, false));
        QCOMPARE(b.media()->position, 0.0);
        QCOMPARE(b.dialogs.errorNames(), errors);
    }
};

QTEST_GUILESS_MAIN(TstPageAudio)
#include "tst_pageaudio.moc"
