// The player facade over the version 9 host and a scripted media control.
#include "doubles/rig.h"
#include "player/ekoplayer.h"
#include "player/frmother.h"
#include "player/frmwmp9.h"
#include "player/volumescale.h"
#include "platform/errorreport.h"

#include <QtTest>
#include <cmath>

using namespace qyr;
using namespace qyr::test;

namespace {
// The facade over version 9's host, and one with a player of other versions behind version 0, on the bench's controls.
struct PlayerRig : Bench {
    ErrorReporter er{dialogs};
    oEkoPlayer::HostFactory host9 = [this]() -> std::unique_ptr<IPlayer> {
        return std::make_unique<frmWMP9>(er, clock, clock, newMedia());
    };
    oEkoPlayer player{er, host9};
    oEkoPlayer withOther{er, host9,
                         [this]() -> std::unique_ptr<IPlayer> { return std::make_unique<frmOther>(er, clock, clock, newMedia()); }};
};
} // namespace

class TstPlayer : public QObject {
    Q_OBJECT
private slots:
    // A volume keeps its loudness across the two scales (libmpv's cubic percent, hundredths of a decibel), within the
    // new scale's range, and a round trip comes back where it started.
    void volumeScales()
    {
        const struct { double v; int from, to, out; } cases[] = {
            {40, 1, 0, -2388}, {100, 1, 0, 0}, {0, 1, 0, -4000}, {5, 1, 0, -4000}, {-200, 0, 1, 93},
            {0, 0, 1, 100}, {-4000, 0, 1, 22}, {-10000, 0, 1, 2}, {150, 1, 1, 100}, {-200, 1, 1, 0}, {-200, 0, 0, -200}};
        for (const auto &c : cases)
            QVERIFY2(volume::convert(c.v, c.from, c.to) == c.out,
                     qPrintable(QString("%1 from %2 to %3: %4").arg(c.v).arg(c.from).arg(c.to).arg(volume::convert(c.v, c.from, c.to))));
        for (int v = 30; v <= 100; v += 10)
            QCOMPARE(volume::convert(volume::convert(v, 1, 0), 0, 1), v);
    }

    // When the reader changes player, the volume goes over to the new player's scale as loud as it was, shown, stored
    // and heard; and back again.
    void theVolumeFollowsTheSwitch()
    {
        const struct { const char *nine, *other, *back; } cases[] = {{"0", "-4000", "22"}, {"40", "-2388", "40"}, {"100", "0", "100"}};
        for (const auto &c : cases) {
            const auto named = naming(c.nine);
            Rig r("/libri/demo", nullptr, nullptr, true);
            r.start();
            r.f->TextVolume.setText(c.nine);
            for (const auto &[version, volume] : {std::pair{0, c.other}, {1, c.back}}) {
                r.f->optPlayer.select(version);
                QCOMPARE(int(r.f->oPlayer->Versione()), version);
                QCOMPARE(r.f->TextVolume.text(), volume);
                QCOMPARE(r.reg.get("Player", "Volume"), volume);
                QCOMPARE(r.f->oPlayer->Volume().toString(), volume);
            }
            QCOMPARE(r.dialogs.shown.size(), 0);
        }
    }

    void withoutAPlayerEveryMemberReportsOnce()
    {
        PlayerRig r;
        r.player.Play_Player();
        QVERIFY(!r.player.IsPlaying());
        QCOMPARE(r.dialogs.errorNames(), QStringList({"oPl - Play_Player", "oPl - IsPlaying"}));
        QVERIFY(r.dialogs.shown.first().text.endsWith("Codice: 91"));
        r.dialogs.shown.clear();
        // The position asks its own file name first: one report, then 0.
        QCOMPARE(r.player.CurrentPosition(), 0.0);
        QCOMPARE(r.dialogs.errorNames(), QStringList({"oPl - Get FileName"}));
        r.dialogs.shown.clear();
        // Rate goes by the version number: version 0 with no player fails, others give 0 silently.
        r.player.setVersione(2);
        QCOMPARE(r.player.Rate(), 0.0f);
        r.player.setRate(1.5f);
        QVERIFY(!r.player.Versione9Presente());
        QVERIFY(r.dialogs.shown.isEmpty());

        // Version 0 without a player of its own is an empty slot.
        r.player.setVersione(1);
        QVERIFY(r.player.hasCurrentPlayer() && r.player.Versione9Presente());
        r.player.setVersione(0);
        QCOMPARE(r.dialogs.errorNames(), QStringList({"oPl - EkoPlayer: Versione:"}));
        QVERIFY(!r.player.hasCurrentPlayer());
        r.player.Stop_Player();
        QCOMPARE(r.dialogs.errorNames().last(), "oPl - Stop_Player");
        // A host that cannot be made is reported under the version's name text.
        PlayerRig failing;
        failing.mediaAlwaysFails = true;
        failing.player.setVersione(1);
        QCOMPARE(failing.dialogs.errorNames(), QStringList({"oPl - EkoPlayer: Versione:"}));
        QVERIFY(failing.dialogs.shown.first().text.startsWith("lettore non disponibile"));
    }

    // Version 0 plays through its own host, which replaces version 9's; its volume is in hundredths of a decibel.
    void versionZeroHasItsOwnPlayer()
    {
        PlayerRig r;
        oEkoPlayer &p = r.withOther;
        p.setVersione(1);
        p.setVersione(0);
        QVERIFY(p.hasCurrentPlayer() && p.Versione9Presente());
        QCOMPARE(r.medias.size(), size_t(1)); // the version 9 host is gone
        // Kept within -10000..0; -10000 is silence, not the gain the formula gives there.
        struct Row { QVariant given; int kept; double gain; };
        const Row volumes[] = {{-2000.0, -2000, 0.1}, {"100", 0, 1.0}, {-10000, -10000, 0.0}, {"-15000", -10000, 0.0}};
        for (const auto &v : volumes) {
            p.setVolume(v.given);
            QCOMPARE(p.Volume().toInt(), v.kept);
            QVERIFY2(std::abs(r.media()->gain - v.gain) < 1e-6, qPrintable(v.given.toString()));
        }
        p.setVolume("molto");
        QCOMPARE(r.dialogs.errorNames(), QStringList({"oOther - Let Volume"}));
        QCOMPARE(p.Volume().toInt(), -10000);

        QList<qint32> ends;
        p.PlayStateChange.connect([&](qint32 m) { ends << m; });
        p.setAutoStart(true);
        p.setFileName("/libro/cap1.mp3");
        QVERIFY(p.IsPlaying());
        r.media()->end();
        QVERIFY(ends.isEmpty());
        r.clock.advance(1);
        QCOMPARE(ends, QList<qint32>({8}));
    }

    void fileNameChangesAndPositions()
    {
        PlayerRig r;
        r.player.setVersione(1);
        QStringList changes;
        r.player.PlayFileChange.connect([&](const QString &n) { changes << n; });
        for (const char *name : {"/libro/cap1.mp3", "/libro/cap1.mp3", "/libro/CAP1.mp3"})
            r.player.setFileName(name);
        QCOMPARE(changes, QStringList({"/libro/cap1.mp3", "/libro/CAP1.mp3"}));
        // The name is handed to the control every time, even when unchanged.
        QCOMPARE(r.media()->log.filter("url:").size(), 3);
        r.media()->position = 12.5;
        QCOMPARE(r.player.CurrentPosition(), 12.5);
        QCOMPARE(r.player.Duration().toDouble(), 60.0);
        r.player.setFileName("   ");
        QCOMPARE(r.player.Duration(), QVariant::fromValue<qint16>(0));
        r.media()->url_.clear();
        r.media()->position = 9;
        QCOMPARE(r.player.CurrentPosition(), 0.0);
        QVERIFY(r.dialogs.shown.isEmpty());
        // The volume is passed on; each failure is reported once, by the host, and the facade carries on.
        for (const char *volume : {"70", "molto", "150"})
            r.player.setVolume(volume);
        QCOMPARE(r.dialogs.errorNames(), QStringList({"oWMP9 - Let Volume", "oWMP9 - Let Volume"}));
        QCOMPARE(r.player.Volume().toInt(), 70);
    }

    void throughTheVersion9Host()
    {
        PlayerRig r;
        r.player.setVersione(1);
        QCOMPARE(r.window->width, 1024.0f * 15); // loaded over the whole screen, hidden
        QVERIFY(!r.window->shown);
        r.player.setAutoStart(true);
        r.player.setFileName("/libro/cap1.mp3");
        QVERIFY(r.player.IsPlaying());
        QVERIFY(!r.window->shown);
        // The media end comes once, deferred; a stop cancels one still pending.
        QList<qint32> ends;
        r.player.PlayStateChange.connect([&](qint32 m) { ends << m; });
        r.media()->end();
        r.clock.advance(100);
        QCOMPARE(ends, QList<qint32>({8}));
        r.media()->set(playstate::Playing);
        r.media()->end();
        r.player.Stop_Player();
        r.clock.advance(10);
        QCOMPARE(ends.size(), 1);

        // A small video in the corner: 64x48 pixels at 15 twips a pixel.
        r.media()->imageWidth = 64;
        r.media()->imageHeight = 48;
        r.player.setFullScreen(false);
        QCOMPARE(r.media()->uiMode, "mini");
        r.player.setFileName("/libro/film.wmv");
        QVERIFY(r.window->shown);
        QVERIFY(!r.window->maximized);
        QCOMPARE(r.window->width, 960.0f);
        QCOMPARE(r.window->height, 720.0f);
        // A video that merely ends keeps its window until the stop follows, and so does a key other than Escape.
        r.media()->end();
        r.window->KeyDown(65);
        QVERIFY(r.window->shown);

        r.player.setFullScreen(true);
        r.player.setFileName("/libro/FILM.M1V");
        QVERIFY(r.window->shown && r.window->maximized);
        QCOMPARE(r.media()->uiMode, "none");
        r.player.Stop_Player();
        QVERIFY(!r.window->shown && !r.window->maximized);

        // Reading off stops the audio and keeps any other from playing; a video still plays.
        r.player.setFileName("/libro/cap1.mp3");
        QVERIFY(r.player.IsPlaying());
        const int stops = r.media()->log.count("stop");
        r.player.setAudioOff(true);
        QVERIFY(!r.player.IsPlaying());
        QCOMPARE(r.media()->log.count("stop"), stops + 1); // the second stop finds nothing playing
        r.player.setFileName("/libro/cap2.wma");
        QVERIFY(!r.player.IsPlaying());
        r.player.Play_Player();
        QVERIFY(!r.player.IsPlaying());
        r.player.setFileName("/libro/film.AVI.mp3");
        QVERIFY(r.player.IsPlaying());
        r.player.setAudioOff(false);
        r.player.setFileName("/libro/cap3.mp3");
        r.player.Pause_Player();
        r.player.setAudioOff(false);
        QVERIFY(!r.player.IsPlaying()); // switching reading on does not restart it
        r.player.StopPlay();
        QVERIFY(r.player.IsPlaying());
        r.player.StopPlay();
        QVERIFY(!r.player.IsPlaying());
        QVERIFY(r.dialogs.shown.isEmpty());

        QCOMPARE(frmWMP9::PixelsToTwipsX(3, 12.5), 38); // 37.5 to the even neighbour
        QCOMPARE(frmWMP9::PixelsToTwipsY(1, 12.5), 12); // 12.5 to the even neighbour
    }
};

QTEST_GUILESS_MAIN(TstPlayer)
#include "tst_player.moc"
