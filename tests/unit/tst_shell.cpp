// Start-up, the splash, shutdown, the options panel, the layout's limits and the shared feedback helpers, on doubles.
#include "doubles/rig.h"

#include <QLocale>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

QString setting(Rig &r, const QString &name) { return r.reg.get("Player", name); }

// A window past its start-up, on the default settings.
struct Started : Rig { Started() { start(); } };

} // namespace

class TstShell : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void freshStartAwaitsTheBlankPageAndRunsTheSplashOnce()
    {
        Rig r;
        r.browser.readyAfterSleeps = 3;
        r.start();
        // The blank page was awaited, then the about page written once there was a document.
        QCOMPARE(r.browser.navigations, QStringList({"about:blank"}));
        QCOMPARE(r.clock.slept, 300);
        QVERIFY(r.browser.bodies.size() == 1 && r.browser.bodies.first().contains("/libri/demo/include/avvio.jpg"));
        r.clock.advance(4999);
        QCOMPARE(r.browser.navigations.size(), 1);
        r.clock.advance(1);
        QCOMPARE(r.browser.navigations.last(), "/libri/demo/Index.htm");
        r.clock.advance(20000);
        QCOMPARE(r.browser.navigations.size(), 2);
    }

    void playerCreationFailureRetriesOnce()
    {
        // Version 9 fails and the question comes: No gives version 0 and the splash; Yes fails again, silently, no pages.
        for (const Answer a : {Answer::No, Answer::Yes}) {
            const auto named = naming(a == Answer::No ? "No" : "Yes");
            Rig r;
            r.mediaAlwaysFails = true;
            r.dialogs.answers.enqueue(a);
            r.start();
            QCOMPARE(r.dialogs.count("message"), 1);
            if (a == Answer::No)
                QCOMPARE(int(r.f->oPlayer->Versione()), 0);
            for (const QString &n : r.dialogs.errorNames())
                QVERIFY2(n.startsWith("oPl - "), qPrintable(n));
            r.clock.advance(60000);
            QCOMPARE(r.browser.navigations.size(), a == Answer::No ? 2 : 1);
        }
        // A failure the first time only: the retry with version 0 asks, Yes gets version 9.
        Rig r;
        r.mediaFailures = 1;
        r.dialogs.answers.enqueue(Answer::Yes);
        r.start();
        QCOMPARE(int(r.f->oPlayer->Versione()), 1);
        QVERIFY(r.f->oPlayer->hasCurrentPlayer());
        QCOMPARE(setting(r, "Versione"), "1");
    }

    // A damaged value stays stored for the reader to correct, except where start-up stores what a box shows.
    void damagedSettingIsReportedOnceAndItsDefaultUsed()
    {
        using Row = std::tuple<QString, QString, QString>; // key, value, stored after start-up
        // A volume on the other player's scale is found when the player is chosen.
        for (const auto &[key, value, kept] : {Row{"SavePos", "5", "5"}, {"Volume", "abc", "abc"}, {"AvantiIndietro", "x", "10"},
                                               {"Volume", "-200", "100"}}) {
            const QByteArray name = (key + ' ' + value).toUtf8();
            const auto named = naming(name.constData());
            const QString step = value == "-200" ? "Form Load: settings WMP" : "Form Load: caricamento settings";
            Rig r;
            r.reg.put("Player", key, value);
            r.start();
            QCOMPARE(r.dialogs.errorNames(), QStringList({"Form Load - " + step}));
            QCOMPARE(r.dialogs.shown.size(), 1); // no version question either
            QVERIFY(r.f->startup.lastFilledError.startsWith("ERRORE: " + step + ". Codice: 380"));
            // Not left on a display no one hears before the window is up.
            QVERIFY(!r.f->frmOSD.visible() && r.f->lblOSD.caption().isEmpty());
            QVERIFY(r.f->oPlayer && r.f->oPlayer->hasCurrentPlayer() && r.f->TimerSpalsh.enabled());
            QCOMPARE(r.f->chkSavePos.value(), 0);
            QCOMPARE(r.f->oPlayer->Volume().toInt(), 100);
            QCOMPARE(r.f->TextAvantiIndietro.text(), "10");
            QCOMPARE(setting(r, key), kept);
        }
    }

    // The splash lasts at least 1.5 s (a value that is no number keeps the 5 s it starts with), then gives way to the
    // page saved when resume is on, else to the table of contents.
    void splashTimeAndTheSavedPage()
    {
        const QString page = "file:///libri/demo/Libro/cap%201.htm#QYRPLAYER_AUDIO_POS=30";
        struct Case { const char *name, *tempo; int interval; QString savePos, brano; bool resumed; };
        const Case cases[] = {{"resume with anchor", nullptr, 5000, "1", page, true},
                              {"about blank", nullptr, 5000, "1", "about:blank", false},
                              {"resume off", nullptr, 5000, "0", page, false}, {"at least 1.5 s", "0", 1500, "0", "", false},
                              {"1501", "1501", 1501, "0", "", false}, {"no number", "presto", 5000, "0", "", false}};
        for (const Case &c : cases) {
            const auto named = naming(c.name);
            Rig r;
            if (c.tempo)
                r.reg.put("Player", "TempoSp", c.tempo);
            r.reg.put("Player", "SavePos", c.savePos);
            r.reg.put("Player", "Brano", c.brano);
            r.files.add("/libri/demo/Libro/cap 1.htm");
            r.start();
            QCOMPARE(r.f->TimerSpalsh.interval(), c.interval);
            r.clock.advance(c.interval);
            QCOMPARE(r.browser.navigations.last(), c.resumed ? c.brano : r.f->books.indexPage());
            QCOMPARE(r.f->audio.resumePending(), c.resumed);
            if (c.resumed)
                QCOMPARE(r.files.asked.last(), "/libri/demo/Libro/cap 1.htm"); // no anchor
            QVERIFY(r.dialogs.shown.isEmpty());
        }
    }

    void shutdownEdgeCases()
    {
        // The position is stored in the reader's number format.
        QLocale::setDefault(QLocale("it_IT"));
        Started s;
        s.f->chkSavePos.setValue(1);
        s.browser.location = "file:///libri/demo/Libro/cap1.htm";
        s.f->oPlayer->setFileName("/libri/demo/Libro/cap1.mp3");
        s.media()->position = 42.25;
        bool cancel = false;
        s.f->startup.Form_QueryUnload(cancel);
        QCOMPARE(setting(s, "BranoPos"), "42,25");
        // A store that fails is reported under the shutdown's name and the close goes ahead.
        Started t;
        t.reg.failWrites = true;
        t.f->startup.Form_QueryUnload(cancel);
        QVERIFY(!cancel && t.f->startup.closing());
        QCOMPARE(t.dialogs.errorNames(), QStringList({"Form_QueryUnload"}));
        // Ended unasked (a signal, a log-out) on a store that fails: no dialog holds the program, it ends.
        Started w;
        w.f->chkSavePos.setValue(1);
        w.browser.location = "file:///libri/demo/Libro/cap1.htm";
        w.reg.failWrites = true;
        w.f->startup.EndWithoutQuestion();
        QVERIFY(w.f->startup.closing() && w.dialogs.shown.isEmpty());
        // Ended unasked before any book page is on show, the place of the last exit stays.
        Started u;
        u.f->chkSavePos.setValue(1);
        u.reg.put("Player", "Brano", "file:///libri/demo/Libro/cap1.htm");
        u.browser.location = "about:blank";
        u.f->startup.EndWithoutQuestion();
        QVERIFY(u.f->startup.closing() && u.dialogs.shown.isEmpty());
        QCOMPARE(setting(u, "Brano"), "file:///libri/demo/Libro/cap1.htm");
        // A quit queued before start-up runs inside the first event pump, while the options panel rebuilds the facade.
        Rig r;
        bool asked = false;
        r.clock.onPump = [&] {
            if (asked)
                return;
            asked = true;
            bool refused = false;
            r.f->startup.Form_QueryUnload(refused);
            QVERIFY(!refused);
        };
        r.start();
        QVERIFY(asked && r.f->startup.closing() && r.f->oPlayer);
        QCOMPARE(setting(r, "Versione"), "1");
        QVERIFY(r.dialogs.errorNames().isEmpty());
    }

    void optionsPanelStoresEachEditAndRebuildsThePlayer()
    {
        QLocale::setDefault(QLocale("it_IT"));
        Started r;
        frmBrowser &f = *r.f;
        // The other player, which this machine lacks: the old host goes with its facade; the refusal is
        // said once, and version 9 comes back with the same file at the same place, paused as it was.
        f.oPlayer->setAutoStart(true);
        f.oPlayer->setFileName("/libri/demo/Libro/cap1.mp3");
        f.oPlayer->setCurrentPosition(12.5);
        f.oPlayer->Pause_Player();
        f.optPlayer.select(0);
        QCOMPARE(r.dialogs.errorNames(), QStringList({"oPl - EkoPlayer: Versione:", "SetPlayer"}));
        QCOMPARE(int(f.oPlayer->Versione()), 1);
        QCOMPARE(f.optPlayer.selected(), 1);
        QCOMPARE(setting(r, "Versione"), "1");
        QCOMPARE(r.media()->url_, "/libri/demo/Libro/cap1.mp3");
        QCOMPARE(r.media()->position, 12.5);
        QVERIFY(!f.oPlayer->IsPlaying());
        r.dialogs.shown.clear();
        // An empty box or text takes the value stored by the last edit back.
        for (const QString text : {"15", "", "abc"})
            f.TextAvantiIndietro.setText(text);
        QCOMPARE(f.TextAvantiIndietro.text(), "15");
        // The speed box stores a number in the reader's format; text is refused; out of range stays in the box, unstored.
        f.TextRate.setText("1,3");
        QCOMPARE(setting(r, "Rate"), "1,3");
        for (const QString bad : {"abc", ""}) {
            f.TextRate.setText(bad);
            QCOMPARE(f.TextRate.text(), "1,3");
        }
        QCOMPARE(f.lblOSD.caption(), "Velocità non valida: scrivere un numero");
        f.TextRate.setText("0");
        QCOMPARE(f.lblOSD.caption(), "Velocità non valida: da 0,5 a 2");
        QCOMPARE(f.TextRate.text(), "0");
        QCOMPARE(f.feedback.PlayerRate(), 1.3f);
        // The volume box: heard at once and stored; an entry that is no volume yet is waited for, and once finished
        // it is refused with one message and the box shows the volume in force.
        f.TextVolume.setText("40");
        f.frmOSD.setVisible(false);
        for (const QString typed : {"-", "-2", "250"}) {
            f.TextVolume.setText(typed);
            QVERIFY(!f.frmOSD.visible());
        }
        f.TextVolume.EditingDone();
        QCOMPARE(f.lblOSD.caption(), "Volume non valido: da 0 a 100");
        QCOMPARE(f.TextVolume.text(), "40");
        f.TextVolume.setText("abc");
        f.TextVolume.EditingDone();
        QCOMPARE(f.lblOSD.caption(), "Volume non valido: scrivere un numero");
        QCOMPARE(f.TextVolume.text(), "40");
        QCOMPARE(f.oPlayer->Volume().toInt(), 40);
        QCOMPARE(setting(r, "Volume"), "40");
        // Reading off applies at once and is stored as Ctrl+0 stores it.
        f.chkAudioOff.setValue(1);
        QVERIFY(f.feedback.audioOff() && f.oPlayer->AudioOff());
        QCOMPARE(setting(r, "AudioOff"), "True");
        // The program's voice is stored as its index, and read back at start.
        f.optVoce.select(2);
        QCOMPARE(setting(r, "VoceProgramma"), "2");
        QVERIFY(r.dialogs.shown.isEmpty());
        Rig again;
        again.reg.put("Player", "VoceProgramma", "1");
        again.start();
        QCOMPARE(again.f->optVoce.selected(), 1);
    }

    void layoutLimits()
    {
        Started r;
        frmBrowser &f = *r.f;
        f.frmOSD.setVisible(true);
        f.layout.Form_Resize(6000, 4500);
        QVERIFY(!f.frmOSD.visible()); // a resize hides the message band
        const float width = f.objwb.width();
        f.windowState = WindowState::Minimized;
        f.layout.Form_Resize(100, 100);
        QCOMPARE(f.objwb.width(), width);
        f.windowState = WindowState::Normal;
        f.layout.Form_Resize(200, 5000); // too small for the rules: reported
        QCOMPARE(r.dialogs.errorNames(), QStringList({"Form_Resize"}));
        // The window's smallest size leaves every rule room, and the whole options panel.
        r.dialogs.shown.clear();
        f.layout.Form_Resize(Layout::kMinWidth, Layout::kMinHeight);
        QVERIFY(r.dialogs.shown.isEmpty() && f.frmconfigurazione.left() >= 0 && f.frmconfigurazione.top() >= 0);
        QCOMPARE(f.frmconfigurazione.height(), Layout::kOptionsHeight);
        // Shorter windows (a window system may shrink it further): the options panel stays within the page's area.
        for (const float h : {6000.0f, 5700.0f, 5000.0f, 4500.0f, 3000.0f}) {
            f.layout.Form_Resize(Layout::kMinWidth, h);
            const Control &c = f.frmconfigurazione;
            QVERIFY2(c.top() >= f.objwb.top() && c.top() + c.height() <= f.objwb.top() + f.objwb.height() && c.height() > 0,
                     qPrintable(QString("%1: %2 + %3").arg(h).arg(c.top()).arg(c.height())));
        }
    }

    void feedbackHelpers()
    {
        QLocale::setDefault(QLocale("it_IT"));
        Started r;
        Feedback &fb = r.f->feedback;
        // A keep-visible message stays until a normal one has run its time; a repeated message is announced again.
        fb.OSD("Pausa", true);
        r.clock.advance(10000);
        QVERIFY(r.f->frmOSD.visible());
        fb.OSD("Play", false);
        r.clock.advance(1500);
        QVERIFY(!r.f->frmOSD.visible());
        // A message that follows another gets its own full time on screen.
        fb.OSD("Volume - 90", false);
        r.clock.advance(800);
        fb.OSD("Volume - 80", false);
        r.clock.advance(1000);
        QVERIFY(r.f->frmOSD.visible());
        r.clock.advance(500);
        QVERIFY(!r.f->frmOSD.visible());
        int announced = 0;
        r.f->lblOSD.PropertyChanged.connect([&](Prop p) { announced += p == Prop::Caption; });
        fb.OSD("Play", false);
        QCOMPARE(announced, 1);
        // A damaged speed arriving after start-up (an import) is reported once and reads as 1.
        r.reg.put("Player", "Rate", "1,5");
        QCOMPARE(fb.PlayerRate(), 1.5f);
        r.reg.put("Player", "Rate", "veloce");
        QCOMPARE(fb.PlayerRate(), 1.0f);
        QCOMPARE(fb.PlayerRate(), 1.0f);
        QCOMPARE(r.dialogs.errorNames(), QStringList{"PlayerRate"});
        QCOMPARE(setting(r, "Rate"), "veloce");
    }
};

QTEST_GUILESS_MAIN(TstShell)
#include "tst_shell.moc"
