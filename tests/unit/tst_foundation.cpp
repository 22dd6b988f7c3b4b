// Conversions, the error report and the handler convention, and control
// models.
#include "doubles/doubles.h"
#include "platform/convert.h"
#include "platform/errorreport.h"

#include <QLocale>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

class TstFoundation : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void numbers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<int>("int16"); // -99999: overflow or not numeric
        QTest::addRow("it comma") << "it_IT" << "1,5" << true << 2;
        QTest::addRow("it half to even") << "it_IT" << "2,5" << true << 2;
        QTest::addRow("it negative half") << "it_IT" << "-3,5" << true << -4;
        QTest::addRow("it point not grouping") << "it_IT" << "1.500" << false << -99999;
        QTest::addRow("c point") << "C" << "0.5" << true << 0;
        QTest::addRow("spaces") << "C" << "  12 " << true << 12;
        QTest::addRow("empty") << "C" << "" << false << -99999;
        QTest::addRow("letters") << "C" << "abc" << false << -99999;
        QTest::addRow("int16 max") << "C" << "32767" << true << 32767;
        QTest::addRow("int16 overflow") << "C" << "32768" << true << -99999;
    }
    void numbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(int, int16);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(conv::isNumeric(text), numeric);
        if (int16 == -99999) {
            bool threw = false;
            try {
                conv::toInt16(text);
            } catch (const QyrError &e) {
                threw = true;
                QVERIFY(e.number() == err::TypeMismatch || e.number() == err::Overflow);
                QVERIFY(!e.description().isEmpty());
            }
            QVERIFY(threw);
        } else {
            QCOMPARE(int(conv::toInt16(text)), int16);
        }
    }

    void decimalTextsRoundTripInTheUsersLocale()
    {
        QLocale::setDefault(QLocale("it_IT"));
        const float steps[] = {1.0f, 1.1f, 0.7f, 1.9f + 0.1f, 0.5999999f};
        for (float v : steps)
            QCOMPARE(conv::toSingle(conv::fromSingle(v)), v);
        QCOMPARE(conv::fromSingle(1.5f), "1,5");
        QCOMPARE(conv::toDouble(conv::fromDouble(123.456)), 123.456);
        QVERIFY(conv::toBool("True"));
        QVERIFY(!conv::toBool("false"));
        QVERIFY(!conv::toBool("0"));
        QVERIFY(conv::toBool("-1"));
        QVERIFY_THROWS_EXCEPTION(QyrError, conv::toBool("forse"));
    }

    void showErrorTexts()
    {
        ScriptedDialogs d;
        ErrorReporter er(d);
        er.setCurrent(91, "Variabile oggetto non impostata");
        er.ShowError("Playaudio - ", QString());
        QCOMPARE(d.shown.last().text, "Variabile oggetto non impostata\r\nCodice: 91");
        QCOMPARE(d.shown.last().name, "Playaudio - ");

        er.setCurrent(-2147024894, QString());
        er.ShowError("x", QString());
        QCOMPARE(d.shown.last().text, "\r\nCodice: -2147024894");

        er.setCurrent(5, "ignorata");
        er.ShowError("SetPlayer", "Versione Media Player non supportata!");
        QCOMPARE(d.shown.last().text, "Versione Media Player non supportata!");
        QCOMPARE(d.count("error"), 3);
    }

    void guardReportsOnceAndLeaves()
    {
        ScriptedDialogs d;
        ErrorReporter er(d);
        int after = 0;
        StepLabel step{"Playaudio - ", QString()};
        auto proc = [&](bool failEarly) {
            return Guard(er, step, [&] {
                if (failEarly)
                    throw QyrError(err::FileNotFound);
                step.label = "Controllo esistenza file1";
                throw QyrError(err::TypeMismatch, "Tipo non corrispondente");
                ++after; // never reached: the rest of the body is skipped
            });
        };
        QVERIFY(!proc(true));
        QCOMPARE(d.shown.last().name, "Playaudio - ");
        QVERIFY(d.shown.last().text.endsWith("Codice: 53"));
        QVERIFY(!proc(false));
        QCOMPARE(d.shown.last().name, "Playaudio - Controllo esistenza file1");
        QCOMPARE(d.count("error"), 2);
        QCOMPARE(after, 0);
        // The current error is cleared once the handler has left.
        QCOMPARE(er.currentNumber(), 0);
        // A result keeps what was assigned before the failure.
        const int r = GuardValue<int>(er, "f", 0, [](int &v) {
            v = 7;
            throw std::runtime_error("boom");
        });
        QCOMPARE(r, 7);
        QVERIFY(d.shown.last().text.contains("boom"));
        QVERIFY(d.shown.last().text.endsWith("Codice: 3999"));
    }

    void controlModelsRaiseHandlersOnlyOnChange()
    {
        TextBox box("t");
        int changes = 0;
        box.Change.connect([&] {
            ++changes;
            // A handler that writes the box back nests, as a reader's edit would.
            if (box.text() == "x")
                box.setText("10");
        });
        box.setText("x");
        QCOMPARE(box.text(), "10");
        QCOMPARE(changes, 2);
        box.setText("10");
        QCOMPARE(changes, 2);

        Control a("a"), b("b");
        OptionGroup g("g", {&a, &b});
        QList<int> clicks;
        g.Click.connect([&](int i) { clicks << i; });
        g.select(0); // already selected: no click
        g.select(1);
        g.select(1);
        QCOMPARE(clicks, QList<int>({1}));

        Control c("c");
        QVERIFY_THROWS_EXCEPTION(QyrError, c.setWidth(-1));

        ManualClock clock;
        TimerModel t("t", 1500, &clock);
        int ticks = 0;
        t.Timer.connect([&] { ++ticks; });
        t.setEnabled(true);
        clock.advance(1000);
        t.setInterval(1500); // restarts the count
        clock.advance(1000);
        QCOMPARE(ticks, 0);
        clock.advance(500);
        QCOMPARE(ticks, 1);
    }
};

QTEST_GUILESS_MAIN(TstFoundation)
#include "tst_foundation.moc"
