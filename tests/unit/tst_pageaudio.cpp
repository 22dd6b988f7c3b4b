// The page's audio on doubles: file resolution, start positions, chaining to the next audio and the next page.
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

// The page's audio alone, showing a page, its player made at the speed stored before and its events wired.
struct Book : Parts {
    TextBox TxtDebFilename{"TxtDebFilename"};
    PageAudio audio{{er, browser, files, clock, players, prefs, feedback, books, TxtDebFilename}};
    float rateAtLoad = -1;
    bool autoStartAtLoad = false;
    explicit Book(const QString &url = kPage)
    {
        reg.put("Player", "Rate", conv::fromSingle(1.5f));
        makePlayer();
        players.StateChanged.connect([this](qint32 mode) { audio.oPlayer_PlayStateChange(mode); });
        players.FileChanged.connect([this](const QString &name) { audio.oPlayer_PlayFileChange(name); });
        browser.location = url;
        clearTraces();
        // What the control held when the facade announced a new file.
        players.FileChanged.connect([this](const QString &) {
            rateAtLoad = media()->rate_;
            autoStartAtLoad = media()->autoStart;
        });
    }
    void metas(const QList<std::pair<QString, QString>> &elements)
    {
        for (const auto &[name, content] : elements)
            meta(name, content);
    }
    // The control reports the end of the media; the host passes it on from its timer. What plays next is logged anew.
    void endOfMedia()
    {
        mediaLog.clear();
        media()->end();
        clock.advance(1);
    }
};

} // namespace

class TstPageAudio : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // A name without extension gets the first that exists of a fixed list (a video plays at normal speed). Any audio
    // of a page is looked for beside it, in the book folder, in its Libro folder; a file in two places comes from the
    // first of them (its extension completed at each place in turn); one found nowhere is said.
    void whereTheAudioIsFound()
    {
        const QString base = "/libri/altro/cap1";
        const QStringList all{base + ".wma", base + ".wmv", base + ".mp3", base + ".wav", base + ".m1v", base + ".avi"};
        // later: QYRPLAYER_AUDIO_1 rather than the first; the first file on disk is the one played (none from /altrove);
        // askedFirst: the names looked for first, in order.
        struct Row { bool later; QString named; QStringList onDisk, askedFirst; bool video; };
        const Row cases[] = {
            {false, "cap1", {base + ".avi"}, all, true}, // the last, after every other in order
            {false, "cap1", {base + ".wma", base + ".mp3"}, all.mid(0, 1), false},
            {false, "cap1.avi", {base + ".avi"}, {base + ".avi"}, false}, // named so: no video
            {false, "cap1", {base}, all, false},                           // a file really named without extension
            {false, "audio\\cap1.mp3", {"/libri/altro/audio/cap1.mp3"}, {}, false}, // named the Windows way
            {false, "audio/cap1.mp3", {"/libri/demo/Libro/audio/cap1.mp3"}, {}, false},
            {true, "cap1_2.mp3", {"/libri/altro/cap1_2.mp3", "/libri/demo/cap1_2.mp3", "/libri/demo/Libro/cap1_2.mp3"}, {}, false},
            {true, "cap1_2", {"/libri/demo/Libro/cap1_2.mp3"}, {}, false},
            {false, "cap1", {"/libri/demo/cap1.wav", "/libri/demo/Libro/cap1.mp3"}, {}, false},
            {false, "cap1.mp3", {"/altrove/cap1.mp3"}, {}, false}};
        for (const auto &c : cases) {
            const QString played = c.onDisk[0].startsWith("/altrove") ? QString() : c.onDisk[0];
            Book b;
            b.meta(c.later ? "QYRPLAYER_AUDIO_1" : "QYRPLAYER_AUDIO", c.named);
            for (const QString &p : c.onDisk)
                b.files.add(p);
            const bool found = c.later ? b.audio.Playaudio(QString(), AudioChoice::Next) : b.audio.Playaudio(kPage, AudioChoice::OfPage);
            QVERIFY2(found == !played.isEmpty(), qPrintable(c.onDisk[0]));
            QCOMPARE(b.files.asked.mid(0, c.askedFirst.size()), c.askedFirst);
            QCOMPARE(b.played(), played);
            QVERIFY(b.dialogs.shown.isEmpty());
            QCOMPARE(b.lblOSD.caption(), played.isEmpty() ? "Audio non trovato: " + c.named : QString());
            if (found) {
                QVERIFY(b.autoStartAtLoad);
                QCOMPARE(b.rateAtLoad, c.video ? 1.0f : 1.5f);
                QCOMPARE(b.media()->rate_, 1.5f);
                QCOMPARE(b.media()->state, playstate::Playing);
            }
        }
    }

    // The address beats the page's element, in the user's number format; one that is no number is reported.
    void startPositions()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        struct Row { QString address, element; double position; QStringList errors; };
        const Row cases[] = {{kPage + "#QYRPLAYER_AUDIO_POS=30", "95", 30.0, {}},
                             {kPage, "12,5", 12.5, {}},
                             {kPage, "adesso", 0.0, {"Playaudio - Controllo esistenza file2"}}};
        for (const auto &c : cases) {
            Book b;
            b.metas({{"QYRPLAYER_AUDIO", "cap1"}, {"QYRPLAYER_AUDIO_POS", c.element}});
            b.files.add("/libri/altro/cap1.mp3");
            QVERIFY(b.audio.Playaudio(c.address, AudioChoice::OfPage));
            QCOMPARE(b.media()->position, c.position); // after the load, which starts at 0
            QCOMPARE(b.dialogs.errorNames(), c.errors);
            QCOMPARE(b.media()->state, int(playstate::Playing)); // playback goes on after a failed position
        }
    }

    // Ends chain from the host's timer; the next audio gets its position and extension; an empty one leads to the next page.
    void chainingThroughAPage()
    {
        Book b(kBookPage + "?x=a/b#c/d"); // the next page is beside this one, whatever its query and anchor hold
        b.metas({{"QYRPLAYER_AUDIO", "cap1"}, {"QYRPLAYER_AUDIO_1", "cap1b.mp3"}, {"QYRPLAYER_AUDIO_POS_1", "7"},
                 {"QYRPLAYER_AUDIO_2", "cap1c"}, {"QYRPLAYER_AUDIO_3", QString()}, {"QYRPLAYER_AUDIO_NEXTHTML_3", "cap2.htm"}});
        for (const char *name : {"cap1.mp3", "cap1b.mp3", "cap1c", "cap1c.wma"})
            b.files.add(QString("/libri/demo/Libro/") + name);
        QVERIFY(b.audio.Playaudio(kBookPage, AudioChoice::OfPage));
        b.mediaLog.clear();
        for (qint32 state : {1, 2, 3, 9})
            b.players.StateChanged(state);
        b.media()->end();
        QVERIFY(b.mediaLog.isEmpty());
        b.clock.advance(1);
        QCOMPARE(b.played(), "/libri/demo/Libro/cap1b.mp3");
        QCOMPARE(b.media()->position, 7.0);
        QCOMPARE(b.TxtDebFilename.text(), "/libri/demo/Libro/cap1b.mp3");

        b.endOfMedia();
        QCOMPARE(b.played(), "/libri/demo/Libro/cap1c.wma");
        QCOMPARE(b.media()->position, 0.0);

        b.audio.expectResume(true);
        b.reg.put("Player", "BranoPos", "abc");
        b.endOfMedia();
        QVERIFY(b.played().isEmpty());
        QCOMPARE(b.browser.navigations, QStringList{"file:///libri/demo/Libro/cap2.htm"});
        QCOMPARE(b.audio.audioIndex(), 3);
        QVERIFY(b.audio.resumePending()); // it waits for the call that plays the new page
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    // Back from the first audio there is nothing; audio 1 goes back to the first, at its own position element.
    void previousAudio()
    {
        struct Row { int from, index; QString played; double position; };
        const Row cases[] = {{0, 0, "", 0.0}, {1, 0, "/libri/altro/cap1.mp3", 3.0}, {3, 2, "/libri/altro/cap1c.mp3", 9.0}};
        for (const auto &c : cases) {
            Book b;
            b.metas({{"QYRPLAYER_AUDIO", "/libri/altro/cap1.mp3"}, {"QYRPLAYER_AUDIO_POS", "3"}, {"QYRPLAYER_AUDIO_POS_0", "4"},
                     {"QYRPLAYER_AUDIO_2", "/libri/altro/cap1c.mp3"}, {"QYRPLAYER_AUDIO_POS_2", "9"}});
            b.files.add("/libri/altro/cap1.mp3");
            b.files.add("/libri/altro/cap1c.mp3");
            b.audio.setAudioIndex(c.from);
            QVERIFY2(b.audio.Playaudio(QString(), AudioChoice::Previous) == !c.played.isEmpty(), qPrintable(QString::number(c.from)));
            QCOMPARE(b.audio.audioIndex(), c.index);
            QCOMPARE(b.played(), c.played);
            QCOMPARE(b.media()->position, c.position);
        }
    }

    void heldChainingAndTheEndOfTheAudio()
    {
        Book b;
        b.metas({{"QYRPLAYER_AUDIO", "cap1.mp3"}, {"QYRPLAYER_AUDIO_1", "/libri/altro/cap1.mp3"}});
        b.files.add("/libri/altro/cap1.mp3");
        QVERIFY(b.audio.Playaudio(kPage, AudioChoice::OfPage));
        b.audio.holdChaining(true);
        b.clearTraces();

        QVERIFY(!b.audio.Playaudio(kPage, AudioChoice::OfPage));
        QVERIFY(b.mediaLog.isEmpty()); // not even stopped
        QCOMPARE(b.media()->state, int(playstate::Playing));
        QVERIFY(b.files.asked.isEmpty());

        b.endOfMedia(); // a recall stopping the old file does not chain
        QVERIFY(b.played().isEmpty());
        QCOMPARE(b.audio.audioIndex(), 0);

        // Past the last audio of a page without a next page nothing plays and nothing opens.
        b.audio.holdChaining(false);
        QVERIFY(b.audio.Playaudio(QString(), AudioChoice::Next));
        b.endOfMedia();
        QVERIFY(b.played().isEmpty());
        QCOMPARE(b.audio.audioIndex(), 2);
        QVERIFY(b.browser.navigations.isEmpty());
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    // The saved position beats the page's, once; a page reports one that is no number, a reload says nothing.
    void resumePositionOnce()
    {
        struct Row { bool reload; QString saved; double position; QStringList errors; };
        const Row cases[] = {{false, "42.5", 42.5, {}}, {true, "42.5", 42.5, {}},
                             {false, "x", 95.0, {"Playaudio - do events"}}, {true, "x", 0.0, {}}};
        for (const auto &c : cases) {
            Book b;
            b.metas({{"QYRPLAYER_AUDIO", "cap1.mp3"}, {"QYRPLAYER_AUDIO_POS", "95"}});
            b.files.add("/libri/altro/cap1.mp3");
            if (c.reload)
                QVERIFY(b.audio.Playaudio(kPage, AudioChoice::OfPage));
            b.reg.put("Player", "BranoPos", c.saved);
            b.audio.expectResume(true);
            b.audio.Playaudio(c.reload ? "LOCATION.RELOAD" : kPage, AudioChoice::OfPage);
            QCOMPARE(b.media()->position, c.position);
            QCOMPARE(b.dialogs.errorNames(), c.errors);
            QVERIFY(!b.audio.resumePending());

            b.meta("QYRPLAYER_AUDIO_POS", QString());
            QVERIFY(b.audio.Playaudio(kPage, AudioChoice::OfPage));
            QCOMPARE(b.media()->position, 0.0);
            QCOMPARE(b.dialogs.errorNames(), c.errors);
        }
    }

    // A recalled file takes the reading to the element that names it, however the page names it; a file the page
    // does not name changes nothing. The page's next audio then follows it.
    void aRecalledFileIsFollowed()
    {
        Book b(kBookPage);
        b.metas({{"QYRPLAYER_AUDIO", "cap1.mp3"}, {"QYRPLAYER_AUDIO_1", "cap1b.mp3"}, {"QYRPLAYER_AUDIO_2", "cap1c"}});
        for (const char *name : {"cap1.mp3", "cap1b.mp3", "cap1c.wma"})
            b.files.add(QString("/libri/demo/Libro/") + name);
        QVERIFY(b.audio.Playaudio(kBookPage, AudioChoice::OfPage));
        for (const auto &[file, index] : {std::pair{QString("/altrove/CAP1B.MP3"), 1}, {QString("cap1c.wma"), 2},
                                          {QString("cap1.mp3"), 0}, {QString("cap9.mp3"), 0}, {QString(), 0}}) {
            QCOMPARE(b.audio.followFile(file), !file.contains("cap9") && !file.isEmpty());
            QCOMPARE(b.audio.audioIndex(), index);
        }
        b.audio.followFile("cap1b.mp3");
        b.endOfMedia();
        QCOMPARE(b.played(), "/libri/demo/Libro/cap1c.wma");
        QVERIFY(b.dialogs.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstPageAudio)
#include "tst_pageaudio.moc"
