// Conversions, the error report and the handler convention, and control models.
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

    void numbersInTheUsersLocale()
    {
        constexpr int Refused = -99999; // not numeric, or beyond 16 bits
        struct Row { const char *locale, *text; bool numeric; int int16; };
        const Row cases[] = {
            {"it_IT", "1,5", true, 2},          {"it_IT", "2,5", true, 2},  {"it_IT", "-3,5", true, -4},
            {"it_IT", "1.500", false, Refused}, {"C", "0.5", true, 0},      {"C", "  12 ", true, 12},
            {"C", "", false, Refused},          {"C", "32767", true, 32767}, {"C", "32768", true, Refused},
        };
        for (const auto &c : cases) {
            QLocale::setDefault(QLocale(c.locale));
            const QString what = QString("%1 \"%2\"").arg(c.locale, c.text);
            QVERIFY2(conv::isNumeric(c.text) == c.numeric, qPrintable(what));
            try {
                const int got = conv::toInt16(c.text);
                QVERIFY2(got == c.int16, qPrintable(what + " gave " + QString::number(got)));
            } catch (const QyrError &e) {
                const bool kind = e.number() == err::TypeMismatch || e.number() == err::Overflow;
                QVERIFY2(c.int16 == Refused && kind && !e.description().isEmpty(), qPrintable(what + " threw"));
            }
        }
        QLocale::setDefault(QLocale("it_IT"));
        for (float v : {1.1f, 0.7f, 1.9f + 0.1f, 0.5999999f})
            QCOMPARE(conv::toSingle(conv::fromSingle(v)), v);
        QCOMPARE(conv::fromSingle(1.5f), "1,5");
        QCOMPARE(conv::toDouble(conv::fromDouble(123.456)), 123.456);
        for (const auto &[text, value] : {std::pair{"True", true}, {"false", false}, {"0", false}, {"-1", true}})
            QVERIFY2(conv::toBool(text) == value, text);
        QVERIFY_THROWS_EXCEPTION(QyrError, conv::toBool("forse"));
    }

    void errorsReportedOnceAndHandlersLeft()
    {
        ScriptedDialogs d;
        ErrorReporter er(d);
        er.setCurrent(91, "Variabile oggetto non impostata");
        er.ShowError("Playaudio - ", QString());
        QCOMPARE(d.shown.last().text, "Variabile oggetto non impostata\r\nCodice: 91");
        er.setCurrent(5, "ignorata"); // a message of the handler's own wins
        er.ShowError("SetPlayer", "Versione Media Player non supportata!");
        QCOMPARE(d.shown.last().text, "Versione Media Player non supportata!");

        // The label names the step the handler had reached.
        StepLabel step{"Playaudio - ", QString()};
        auto proc = [&](bool failEarly) {
            return Guard(er, step, [&] {
                if (failEarly)
                    throw QyrError(err::FileNotFound);
                step.label = "Controllo esistenza file1";
                throw QyrError(err::TypeMismatch, "Tipo non corrispondente");
            });
        };
        QVERIFY(!proc(true));
        QCOMPARE(d.shown.last().name, "Playaudio - ");
        QVERIFY(d.shown.last().text.endsWith("Codice: 53"));
        QVERIFY(!proc(false));
        QCOMPARE(d.shown.last().name, "Playaudio - Controllo esistenza file1");
        QCOMPARE(d.count("error"), 4);
        QCOMPARE(er.currentNumber(), 0); // cleared once the handler has left
        // A result keeps what was assigned before the failure.
        const int r = GuardValue<int>(er, "f", 0, [](int &v) {
            v = 7;
            throw std::runtime_error("boom");
        });
        QCOMPARE(r, 7);
        QVERIFY(d.shown.last().text.contains("boom") && d.shown.last().text.endsWith("Codice: 3999"));
    }

    void controlModelsRaiseHandlersOnlyOnChange()
    {
        TextBox box("t");
        int changes = 0;
        box.Change.connect([&] { ++changes; });
        box.setText("10");
        box.setText("10");
        QCOMPARE(changes, 1);

        Control a("a"), b("b");
        OptionGroup g("g", {&a, &b});
        QList<int> clicks;
        g.Click.connect([&](int i) { clicks << i; });
        g.select(0); // already selected: no click
        g.select(1);
        g.select(1);
        QCOMPARE(clicks, QList<int>({1}));
        QVERIFY_THROWS_EXCEPTION(QyrError, a.setWidth(-1));

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
