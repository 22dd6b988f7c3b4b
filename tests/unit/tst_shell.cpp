// Start-up, the splash, shutdown, the options panel, the layout and the
// shared feedback helpers, on doubles.
#include "doubles/rig.h"
#include "platform/convert.h"

#include <QLocale>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {
const QString kQuestion9 = QStringLiteral("Vuoi passare alla versione 9?");
}

class TstShell : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void freshStartUsesDefaults()
    {
        Rig r;
        r.browser.readyAfterSleeps = 3;
        r.start();
        frmBrowser &f = *r.f;
        QVERIFY(r.dialogs.shown.isEmpty());
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Versione")), QStringLiteral("1"));
        QCOMPARE(f.strIndexPage, QStringLiteral("/libri/demo/Index.htm"));
        // The blank page was awaited, then the about page written once there was a document.
        QCOMPARE(r.browser.navigations, QStringList({QStringLiteral("about:blank")}));
        QCOMPARE(r.clock.slept, 300);
        QCOMPARE(r.browser.bodies.size(), 1);
        QVERIFY(r.browser.bodies.first().contains(QStringLiteral("/libri/demo/include/avvio.jpg")));
        QVERIFY(r.browser.bodies.first().startsWith(QStringLiteral("<BODY>")));
        // The splash lasts 5 s, then the table of contents opens.
        QVERIFY(f.TimerSpalsh.enabled());
        QCOMPARE(f.TimerSpalsh.interval(), 5000);
        r.clock.advance(4999);
        QCOMPARE(r.browser.navigations.size(), 1);
        r.clock.advance(1);
        QCOMPARE(r.browser.navigations.last(), f.strIndexPage);
        QVERIFY(!f.bResumePending);
        r.clock.advance(20000);
        QCOMPARE(r.browser.navigations.size(), 2); // it runs once
    }

    void versionQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("version");
        QTest::addRow("yes") << int(Answer::Yes) << "1" << 1;
        QTest::addRow("no") << int(Answer::No) << "0" << 0;
    }
    void versionQuestion()
    {
        QFETCH(int, answer);
        QFETCH(QString, stored);
        QFETCH(int, version);
        Rig r;
        r.reg.put(QStringLiteral("Player"), QStringLiteral("Versione"), QStringLiteral("0"));
        r.dialogs.answers.enqueue(Answer(answer));
        r.start();
        QCOMPARE(r.dialogs.shown.first().kind, QStringLiteral("message"));
        QCOMPARE(r.dialogs.shown.first().title, QStringLiteral("QYR MediaPlayer"));
        QVERIFY(r.dialogs.shown.first().text.contains(kQuestion9));
        QCOMPARE(r.dialogs.count(QStringLiteral("message")), 1);
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Versione")), stored);
        QCOMPARE(int(r.f->oPlayer->Versione()), version);
        if (version == 0) {
            // The empty slot: the facade reports its failures, start-up goes on.
            QCOMPARE(r.f->optPlayer.selected(), 0);
            QCOMPARE(r.f->nVolumeMin, qint16(-4000));
            QVERIFY(r.dialogs.errorNames().contains(QStringLiteral("oPl - EkoPlayer: Versione:")));
            QVERIFY(r.f->TimerSpalsh.enabled());
        } else {
            QVERIFY(r.dialogs.errorNames().isEmpty());
        }
    }

    void playerCreationFailureRetriesOnce()
    {
        // Version 9 fails, the question comes, No gives version 0.
        {
            Rig r;
            r.mediaAlwaysFails = true;
            r.dialogs.answers.enqueue(Answer::No);
            r.start();
            QCOMPARE(r.dialogs.count(QStringLiteral("message")), 1);
            QCOMPARE(int(r.f->oPlayer->Versione()), 0);
            QVERIFY(r.f->TimerSpalsh.enabled());
        }
        // Yes fails again: start-up ends silently, without splash or book page.
        {
            Rig r;
            r.mediaAlwaysFails = true;
            r.dialogs.answers.enqueue(Answer::Yes);
            r.start();
            QCOMPARE(r.dialogs.count(QStringLiteral("message")), 1);
            QVERIFY(!r.f->TimerSpalsh.enabled());
            const int errors = r.dialogs.count(QStringLiteral("error"));
            for (const QString &n : r.dialogs.errorNames())
                QVERIFY2(n.startsWith(QStringLiteral("oPl - ")), qPrintable(n)); // no start-up report
            r.clock.advance(60000);
            QCOMPARE(r.browser.navigations, QStringList({QStringLiteral("about:blank")}));
            QCOMPARE(r.dialogs.count(QStringLiteral("error")), errors);
        }
        // A failure the first time only: the retry with version 0 asks, Yes gets version 9.
        {
            Rig r;
            r.mediaFailures = 1;
            r.dialogs.answers.enqueue(Answer::Yes);
            r.start();
            QCOMPARE(int(r.f->oPlayer->Versione()), 1);
            QVERIFY(r.f->oPlayer->hasCurrentPlayer());
            QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Versione")), QStringLiteral("1"));
        }
    }

    void damagedSettingIsReportedOnceAndItsDefaultUsed_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addRow("SavePos text") << "SavePos" << "abc";
        QTest::addRow("SavePos 5") << "SavePos" << "5";
        QTest::addRow("StyleSheet text") << "StyleSheet" << "uno";
        QTest::addRow("StyleSheet 99999") << "StyleSheet" << "99999";
        QTest::addRow("Versione text") << "Versione" << "9x";
        QTest::addRow("AudioOff text") << "AudioOff" << "forse";
        QTest::addRow("Rate 0") << "Rate" << "0";
        QTest::addRow("Rate -1") << "Rate" << "-1";
        QTest::addRow("Rate NaN") << "Rate" << "NaN";
        QTest::addRow("Rate 1e30") << "Rate" << "1e30";
        QTest::addRow("Volume text") << "Volume" << "abc";
        QTest::addRow("AvantiIndietro text") << "AvantiIndietro" << "dieci";
    }
    void damagedSettingIsReportedOnceAndItsDefaultUsed()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        Rig r;
        r.reg.put(QStringLiteral("Player"), key, value);
        r.start();
        QCOMPARE(r.dialogs.errorNames(), QStringList({QStringLiteral("Form Load - Form Load: caricamento settings")}));
        QCOMPARE(r.dialogs.shown.size(), 1); // no version question either
        QVERIFY(r.dialogs.shown.first().text.contains(QStringLiteral("Codice: 380")));
        QVERIFY(r.f->startup.lastFilledError.startsWith(QStringLiteral("ERRORE: Form Load: caricamento settings. Codice: 380")));
        QCOMPARE(r.f->lblOSD.caption(), r.f->startup.lastFilledError);
        // Start-up went on with the default: the player is there and the book will open.
        frmBrowser &f = *r.f;
        QVERIFY(f.oPlayer && f.oPlayer->hasCurrentPlayer());
        QVERIFY(f.TimerSpalsh.enabled());
        QCOMPARE(f.chkSavePos.value(), 0);
        QCOMPARE(f.nStyleSheet, qint16(1));
        QCOMPARE(f.oPlayer->Rate(), 1.0f);
        QCOMPARE(f.oPlayer->Volume().toInt(), 100);
        QCOMPARE(f.TextAvantiIndietro.text(), QStringLiteral("10"));
        QVERIFY(!f.bAudioOff);
        // Pages read the speed again: the damaged value is not reported twice.
        QCOMPARE(f.feedback.PlayerRate(), 1.0f);
        QCOMPARE(r.dialogs.shown.size(), 1);
        // Left for the reader to correct, except where start-up stores what
        // the control shows (the boxes, the version chosen).
        if (!QStringList({"Volume", "AvantiIndietro", "Versione"}).contains(key))
            QCOMPARE(r.reg.get(QStringLiteral("Player"), key), value);
    }

    void splashTime_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("interval");
        QTest::addRow("absent") << QString() << 5000;
        QTest::addRow("0") << "0" << 1500;
        QTest::addRow("800") << "800" << 1500;
        QTest::addRow("1500") << "1500" << 1500;
        QTest::addRow("1501") << "1501" << 1501;
        QTest::addRow("not a number") << "presto" << 5000;
    }
    void splashTime()
    {
        QFETCH(QString, stored);
        QFETCH(int, interval);
        Rig r;
        if (!stored.isNull())
            r.reg.put(QStringLiteral("Player"), QStringLiteral("TempoSp"), stored);
        r.start();
        QCOMPARE(r.f->TimerSpalsh.interval(), interval);
        QVERIFY(r.dialogs.shown.isEmpty());
    }

    void splashResumesTheSavedPage_data()
    {
        QTest::addColumn<QString>("savePos");
        QTest::addColumn<QString>("brano");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<bool>("resumed");
        const QString page = QStringLiteral("file:///libri/demo/Libro/cap%201.htm#QYRPLAYER_AUDIO_POS=30");
        QTest::addRow("resume with anchor") << "1" << page << true << true;
        QTest::addRow("page deleted") << "1" << page << false << false;
        QTest::addRow("about blank") << "1" << "about:blank" << true << false;
        QTest::addRow("resume off") << "0" << page << true << false;
    }
    void splashResumesTheSavedPage()
    {
        QFETCH(QString, savePos);
        QFETCH(QString, brano);
        QFETCH(bool, fileExists);
        QFETCH(bool, resumed);
        Rig r;
        r.reg.put(QStringLiteral("Player"), QStringLiteral("SavePos"), savePos);
        r.reg.put(QStringLiteral("Player"), QStringLiteral("Brano"), brano);
        if (fileExists)
            r.files.add(QStringLiteral("/libri/demo/Libro/cap 1.htm"));
        r.start();
        r.clock.advance(5000);
        QCOMPARE(r.browser.navigations.last(), resumed ? brano : r.f->strIndexPage);
        QCOMPARE(r.f->bResumePending, resumed);
        if (savePos == QLatin1String("1") && brano != QLatin1String("about:blank"))
            QCOMPARE(r.files.asked.last(), QStringLiteral("/libri/demo/Libro/cap 1.htm")); // no anchor
    }

    void exitQuestionAndResumePoint()
    {
        Rig r;
        r.start();
        r.reg.put(QStringLiteral("Player"), QStringLiteral("Brano"), QStringLiteral("vecchio"));
        r.dialogs.answers.enqueue(Answer::No);
        bool cancel = false;
        r.f->startup.Form_QueryUnload(cancel);
        QVERIFY(cancel);
        QVERIFY(!r.f->closing);
        QCOMPARE(r.dialogs.shown.last().text, QStringLiteral("Sei sicuro di voler uscire?"));
        QCOMPARE(r.dialogs.shown.last().title, QStringLiteral("LUMO Player"));
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Brano")), QStringLiteral("vecchio"));

        // Resume off: both cleared to empty text, and the reading stops.
        r.f->oPlayer->setAutoStart(true);
        r.f->oPlayer->setFileName(QStringLiteral("/libri/demo/Libro/cap1.mp3"));
        QVERIFY(r.f->oPlayer->IsPlaying());
        r.dialogs.answers.enqueue(Answer::Yes);
        cancel = false;
        r.f->startup.Form_QueryUnload(cancel);
        QVERIFY(!cancel);
        QVERIFY(r.f->closing);
        QVERIFY(!r.f->oPlayer->IsPlaying());
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Brano")), QString());
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("BranoPos")), QString());

        // Resume on: the page and the position, in the user's number format.
        QLocale::setDefault(QLocale(QStringLiteral("it_IT")));
        Rig s;
        s.start();
        s.f->chkSavePos.setValue(1);
        QCOMPARE(s.reg.get(QStringLiteral("Player"), QStringLiteral("SavePos")), QStringLiteral("1"));
        s.browser.location = QStringLiteral("file:///libri/demo/Libro/cap1.htm");
        s.f->oPlayer->setFileName(QStringLiteral("/libri/demo/Libro/cap1.mp3"));
        s.media()->position = 42.25;
        s.dialogs.answers.enqueue(Answer::Yes);
        cancel = false;
        s.f->startup.Form_QueryUnload(cancel);
        QCOMPARE(s.reg.get(QStringLiteral("Player"), QStringLiteral("Brano")), QStringLiteral("file:///libri/demo/Libro/cap1.htm"));
        QCOMPARE(s.reg.get(QStringLiteral("Player"), QStringLiteral("BranoPos")), QStringLiteral("42,25"));

        // A store that fails is reported under the shutdown's name and the close goes ahead.
        Rig t;
        t.start();
        t.reg.failWrites = true;
        t.dialogs.answers.enqueue(Answer::Yes);
        cancel = false;
        t.f->startup.Form_QueryUnload(cancel);
        QVERIFY(!cancel);
        QCOMPARE(t.dialogs.errorNames(), QStringList({QStringLiteral("Form_QueryUnload")}));

        // The session ends unasked; before any book page is on show the
        // place of the last exit stays, once one is on show it is saved.
        for (const QString &at : {QStringLiteral("about:blank"), QStringLiteral("file:///libri/demo/Libro/cap2.htm")}) {
            Rig u;
            u.start();
            u.f->chkSavePos.setValue(1);
            u.reg.put(QStringLiteral("Player"), QStringLiteral("Brano"), QStringLiteral("file:///libri/demo/Libro/cap1.htm"));
            u.browser.location = at;
            const int shown = u.dialogs.shown.size();
            u.f->startup.EndWithoutQuestion();
            QVERIFY(u.f->closing);
            QCOMPARE(u.dialogs.shown.size(), shown);
            QCOMPARE(u.reg.get(QStringLiteral("Player"), QStringLiteral("Brano")),
                     at == QLatin1String("about:blank") ? QStringLiteral("file:///libri/demo/Libro/cap1.htm") : at);
        }
    }

    void closeGrantedWhileStartupIsStillUsingThePlayer()
    {
        // A quit queued before start-up runs inside the first event pump,
        // which comes while the options panel rebuilds the facade.
        Rig r;
        bool asked = false;
        r.clock.onPump = [&] {
            if (asked)
                return;
            asked = true;
            r.dialogs.answers.enqueue(Answer::Yes);
            bool cancel = false;
            r.f->startup.Form_QueryUnload(cancel);
            QVERIFY(!cancel);
        };
        r.start();
        QVERIFY(asked);
        QVERIFY(r.f->closing);
        QVERIFY(r.f->oPlayer);
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Versione")), QStringLiteral("1"));
        QVERIFY(r.dialogs.errorNames().isEmpty());
    }

    void disableStateTimer()
    {
        Rig r;
        r.start();
        r.f->bDisableState = true;
        r.f->TimerDisableState.setEnabled(true);
        r.clock.advance(999);
        QVERIFY(r.f->bDisableState);
        r.clock.advance(1);
        QVERIFY(!r.f->bDisableState);
        QVERIFY(!r.f->TimerDisableState.enabled());
    }

    void optionsPanelStoresEachEdit()
    {
        QLocale::setDefault(QLocale(QStringLiteral("it_IT")));
        Rig r;
        r.start();
        frmBrowser &f = *r.f;
        QStringList saved;
        f.settings.Changed.connect([&](const QString &, const QString &k, const QString &v, bool) {
            saved << k + QLatin1Char('=') + v;
        });
        // Typing "15" over the selection stores 1, then 15; an empty box takes the stored value back.
        f.TextAvantiIndietro.setText(QStringLiteral("1"));
        f.TextAvantiIndietro.setText(QStringLiteral("15"));
        f.TextAvantiIndietro.setText(QString());
        QCOMPARE(f.TextAvantiIndietro.text(), QStringLiteral("15"));
        QCOMPARE(saved, QStringList({QStringLiteral("AvantiIndietro=1"), QStringLiteral("AvantiIndietro=15"),
                                     QStringLiteral("AvantiIndietro=15")}));
        // The speed box: a number is stored in the user's format. Text or an
        // empty box is refused with a spoken message and the stored speed
        // comes back; a number out of range stays in the box, not stored.
        f.TextRate.setText(QStringLiteral("1,3"));
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Rate")), QStringLiteral("1,3"));
        for (const QString &bad : {QStringLiteral("abc"), QString()}) {
            f.TextRate.setText(bad);
            QCOMPARE(f.TextRate.text(), QStringLiteral("1,3"));
        }
        QCOMPARE(f.lblOSD.caption(), QStringLiteral("Velocità non valida: scrivere un numero"));
        f.TextRate.setText(QStringLiteral("0"));
        QCOMPARE(f.lblOSD.caption(), QStringLiteral("Velocità non valida: da 0,5 a 2"));
        QCOMPARE(f.TextRate.text(), QStringLiteral("0"));
        QCOMPARE(f.feedback.PlayerRate(), 1.3f);
        // The volume box: heard at once and stored; text or a volume out of
        // the player's range is refused in the same way.
        f.TextVolume.setText(QStringLiteral("40"));
        QCOMPARE(f.oPlayer->Volume().toInt(), 40);
        f.TextVolume.setText(QStringLiteral("250"));
        QCOMPARE(f.lblOSD.caption(), QStringLiteral("Volume non valido: da 0 a 100"));
        f.TextVolume.setText(QStringLiteral("abc"));
        QCOMPARE(f.lblOSD.caption(), QStringLiteral("Volume non valido: scrivere un numero"));
        QCOMPARE(f.TextVolume.text(), QStringLiteral("40"));
        QCOMPARE(f.oPlayer->Volume().toInt(), 40);
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Volume")), QStringLiteral("40"));
        QVERIFY(r.dialogs.shown.isEmpty());
        // Reading off applies at once and is stored as Ctrl+0 stores it.
        f.chkAudioOff.setValue(1);
        QVERIFY(f.bAudioOff);
        QVERIFY(f.oPlayer->AudioOff());
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("AudioOff")), QStringLiteral("True"));
        f.chkAudioOff.setValue(0);
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("AudioOff")), QStringLiteral("False"));
        // The program's voice is stored as its index, and read back at start.
        f.optVoce.select(2);
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("VoceProgramma")), QStringLiteral("2"));
        Rig again;
        again.reg.put(QStringLiteral("Player"), QStringLiteral("VoceProgramma"), QStringLiteral("1"));
        again.start();
        QCOMPARE(again.f->optVoce.selected(), 1);
        f.cmdSetupClose.click();
        QVERIFY(!f.frmconfigurazione.visible());
    }

    void choosingOtherPlayersRebuildsTheFacade()
    {
        Rig r;
        r.start();
        frmBrowser &f = *r.f;
        f.oPlayer->setAutoStart(true);
        f.oPlayer->setFileName(QStringLiteral("/libri/demo/Libro/cap1.mp3"));
        QVERIFY(r.media()->state == playstate::Playing);
        const int before = int(r.mediaLog.size());
        f.optPlayer.select(0);
        QCOMPARE(r.mediaLog.mid(before).first(), QStringLiteral("stop"));
        QVERIFY(r.medias.empty()); // the old host went with its facade
        QCOMPARE(int(f.oPlayer->Versione()), 0);
        QCOMPARE(f.nVolumeMax, qint16(0));
        QCOMPARE(f.nVolumeMin, qint16(-4000));
        QCOMPARE(f.nVolumeStep, qint16(100));
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Versione")), QStringLiteral("0"));
        QCOMPARE(r.dialogs.errorNames(),
                 QStringList({QStringLiteral("oPl - EkoPlayer: Versione:"), QStringLiteral("oPl - Let FileName"),
                              QStringLiteral("oPl - Play_Player")}));
        // Back to version 9: the same file is set on a fresh host and started.
        r.dialogs.shown.clear();
        f.optPlayer.select(1);
        QVERIFY(r.dialogs.errorNames().contains(QStringLiteral("oPl - Get FileName")));
        QCOMPARE(int(f.oPlayer->Versione()), 1);
        QCOMPARE(f.optPlayer.selected(), 1);
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Versione")), QStringLiteral("1"));
    }

    void layoutArithmetic()
    {
        Rig r;
        r.start();
        frmBrowser &f = *r.f;
        f.frmOSD.setVisible(true);
        f.frmOSD.setHeight(1201);
        f.layout.Form_Resize(6000, 4500);
        QCOMPARE(f.objwb.left(), 100.0f);
        QVERIFY(!f.frmOSD.visible()); // a resize hides the message band
        QVERIFY(r.dialogs.shown.isEmpty());

        // Minimised: nothing changes.
        f.windowState = WindowState::Minimized;
        f.layout.Form_Resize(100, 100);
        QCOMPARE(f.objwb.width(), 5700.0f);
        f.windowState = WindowState::Normal;

        // Too small for the rules: reported once; the rules before the failure stay applied.
        f.layout.Form_Resize(200, 5000);
        QCOMPARE(r.dialogs.errorNames(), QStringList({QStringLiteral("Form_Resize")}));
        QCOMPARE(f.objwb.left(), 100.0f);
        QCOMPARE(f.objwb.height(), 3900.0f); // rule 3 was skipped

        // The window's smallest size leaves every rule room, and the whole options panel.
        r.dialogs.shown.clear();
        f.layout.Form_Resize(Layout::kMinWidth, Layout::kMinHeight);
        QVERIFY(r.dialogs.shown.isEmpty());
        QVERIFY(f.frmconfigurazione.left() >= 0 && f.frmconfigurazione.top() >= 0);
    }

    void feedbackHelpers()
    {
        Rig r;
        r.start();
        Feedback &fb = r.f->feedback;
        const QList<QPair<int, QString>> times{{0, "00:00"}, {59, "00:59"}, {60, "01:00"}, {65, "01:05"},
                                               {3599, "59:59"}, {3600, "00:00"}, {3725, "02:05"}};
        for (const auto &[s, text] : times)
            QCOMPARE(fb.strtempo(s), text);

        // Steps land on tenths, though the player keeps the speed in single
        // precision; the ends wrap: above 2 to 0.5, below 0.6 to 2.
        float rate = 1.0f;
        for (int i = 0; i < 10; ++i)
            rate = float(fb.RateChange(rate, true).toDouble());
        QCOMPARE(rate, 2.0f);
        QCOMPARE(float(fb.RateChange(rate, true).toDouble()), 0.5f);
        rate = 1.0f;
        for (int i = 0; i < 4; ++i)
            rate = float(fb.RateChange(rate, false).toDouble());
        QCOMPARE(rate, 0.6f);
        QCOMPARE(fb.RateChange(rate, false).toDouble(), 2.0);

        // The on-screen display: a keep-visible message stays until a normal one has run its time.
        fb.OSD(QStringLiteral("Pausa"), true);
        r.clock.advance(10000);
        QVERIFY(r.f->frmOSD.visible());
        fb.OSD(QStringLiteral("Play"), false);
        QCOMPARE(r.f->lblOSD.caption(), QStringLiteral("Play"));
        r.clock.advance(1499);
        QVERIFY(r.f->frmOSD.visible());
        r.clock.advance(1);
        QVERIFY(!r.f->frmOSD.visible());
        QCOMPARE(r.f->lblOSD.caption(), QStringLiteral("Play"));
        // A second message gets its full time too, counted from when it came.
        fb.OSD(QStringLiteral("Volume - 90"), false);
        r.clock.advance(1000);
        fb.OSD(QStringLiteral("Volume - 100"), false);
        r.clock.advance(1499);
        QVERIFY(r.f->frmOSD.visible());
        r.clock.advance(1);
        QVERIFY(!r.f->frmOSD.visible());

        // A repeated message is announced again.
        int announced = 0;
        r.f->lblOSD.PropertyChanged.connect([&](const char *p) { announced += QByteArray(p) == "caption"; });
        fb.OSD(QStringLiteral("Play"), false);
        QCOMPARE(announced, 1);

        // The persisted speed in the user's format. A damaged one arriving
        // after start-up (an import) is reported once and reads as 1.
        QLocale::setDefault(QLocale(QStringLiteral("it_IT")));
        r.reg.put(QStringLiteral("Player"), QStringLiteral("Rate"), QStringLiteral("1,5"));
        QCOMPARE(fb.PlayerRate(), 1.5f);
        r.reg.put(QStringLiteral("Player"), QStringLiteral("Rate"), QStringLiteral("veloce"));
        QCOMPARE(fb.PlayerRate(), 1.0f);
        QCOMPARE(fb.PlayerRate(), 1.0f);
        QCOMPARE(r.dialogs.errorNames(), QStringList{QStringLiteral("PlayerRate")});
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Rate")), QStringLiteral("veloce"));
    }
};

QTEST_GUILESS_MAIN(TstShell)
#include "tst_shell.moc"
