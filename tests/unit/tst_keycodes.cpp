// Key presses to the key map's codes, as real keyboards send them under X11
// and Windows, in the US and Italian layouts: the digit row is read by
// position, so Shift and the layout do not change which digit it is.
#include "app/keycodes.h"

#include <QKeyEvent>
#include <QtTest>

using namespace qyr::keycodes;

namespace {
constexpr int X11 = int(Platform::X11), Windows = int(Platform::Windows);
const Qt::KeyboardModifiers NoMods, Shift = Qt::ShiftModifier, Ctrl = Qt::ControlModifier, Alt = Qt::AltModifier,
                                  Keypad = Qt::KeypadModifier;

void row(const QString &name, int platform, int qtKey, Qt::KeyboardModifiers mods, quint32 scan, quint32 vk, int code,
         int mask)
{
    QTest::newRow(qPrintable(name)) << platform << qtKey << int(mods) << scan << vk << code << mask;
}
} // namespace

class TstKeycodes : public QObject {
    Q_OBJECT
private slots:
    void keyPresses_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("mods");
        QTest::addColumn<quint32>("scan");
        QTest::addColumn<quint32>("vk");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("mask");

        // The digit row, 1 ... 9, 0: X11 key codes 10 ... 19 (the key symbol is the character), Windows scan
        // codes 2 ... 11 with virtual keys '1' ... '0'. What Shift puts on it in each layout.
        const char digits[] = "1234567890";
        const Qt::Key us[] = {Qt::Key_Exclam,  Qt::Key_At,         Qt::Key_NumberSign, Qt::Key_Dollar,
                              Qt::Key_Percent, Qt::Key_AsciiCircum, Qt::Key_Ampersand,  Qt::Key_Asterisk,
                              Qt::Key_ParenLeft, Qt::Key_ParenRight};
        const Qt::Key it[] = {Qt::Key_Exclam,  Qt::Key_QuoteDbl,  Qt::Key_sterling,  Qt::Key_Dollar,
                              Qt::Key_Percent, Qt::Key_Ampersand, Qt::Key_Slash,     Qt::Key_ParenLeft,
                              Qt::Key_ParenRight, Qt::Key_Equal};
        for (int i = 0; i < 10; ++i) {
            const int d = digits[i];
            const quint32 sc = quint32(10 + i), winScan = quint32(2 + i);
            for (const auto &[layout, shifted] : {std::pair{"us", us}, std::pair{"it", it}}) {
                const QString n = QString("%1 %2 ").arg(layout).arg(QChar(d));
                row(n + "x11", X11, d, NoMods, sc, quint32(d), d, 0);
                row(n + "x11 shift", X11, shifted[i], Shift, sc, quint32(shifted[i]), d, 1);
                row(n + "x11 ctrl", X11, d, Ctrl, sc, quint32(d), d, 2);
                row(n + "x11 ctrl+shift", X11, shifted[i], Ctrl | Shift, sc, quint32(shifted[i]), d, 3);
                row(n + "x11 alt", X11, d, Alt, sc, quint32(d), d, 4);
                row(n + "win shift", Windows, shifted[i], Shift, winScan, quint32(d), d, 1);
                row(n + "win ctrl", Windows, d, Ctrl, winScan, quint32(d), d, 2);
                row(n + "win ctrl+shift", Windows, shifted[i], Ctrl | Shift, winScan, quint32(d), d, 3);
            }
        }
        // The same Shift+3 read with the other system's table: an X11 event carries no Windows key.
        row("x11 shift+3 as windows", Windows, Qt::Key_NumberSign, Shift, 12, 0x23, 0, 1);
        // A key event without native codes (built by a program): the Qt key alone.
        row("x11 ctrl+3 no native codes", X11, Qt::Key_3, Ctrl, 0, 0, '3', 2);
        row("win ctrl+3 no native codes", Windows, Qt::Key_3, Ctrl, 0, 0, '3', 2);

        // "+" and "-": the Italian "+" is a key of its own, the US "+" is Shift on "=".
        row("it + x11", X11, Qt::Key_Plus, NoMods, 35, 0, 187, 0);
        row("us = x11", X11, Qt::Key_Equal, NoMods, 21, 0, 187, 0);
        row("us shift+= x11", X11, Qt::Key_Plus, Shift, 21, 0, 187, 1);
        row("us - x11", X11, Qt::Key_Minus, NoMods, 20, 0, 189, 0);
        row("us shift+- x11", X11, Qt::Key_Underscore, Shift, 20, 0, 189, 1);
        row("it ctrl+- x11", X11, Qt::Key_Minus, Ctrl, 61, 0, 189, 2);
        row("it + win", Windows, Qt::Key_Plus, Ctrl, 27, 187, 187, 2);
        row("us = win", Windows, Qt::Key_Equal, Ctrl, 13, 187, 187, 2);
        row("us shift+= win", Windows, Qt::Key_Plus, Shift, 13, 187, 187, 1);
        row("it - win", Windows, Qt::Key_Minus, Alt, 53, 189, 189, 4);

        // The keypad has codes of its own, so its "+", "-" and digits are not the main block's.
        row("kp + x11", X11, Qt::Key_Plus, Keypad, 86, 0, 107, 0);
        row("kp - x11", X11, Qt::Key_Minus, Keypad, 82, 0, 109, 0);
        row("kp 3 x11", X11, Qt::Key_3, Keypad, 89, 0, 99, 0);
        row("kp ctrl+9 x11", X11, Qt::Key_9, Ctrl | Keypad, 81, 0, 105, 2);
        row("kp 3 without numlock x11", X11, Qt::Key_PageDown, Keypad, 89, 0, 34, 0);
        row("kp enter x11", X11, Qt::Key_Enter, Keypad, 104, 0, 13, 0);
        row("kp + win", Windows, Qt::Key_Plus, Keypad, 78, 107, 107, 0);
        row("kp 3 win", Windows, Qt::Key_3, Keypad, 81, 99, 99, 0);

        // Letters, function keys, Escape, Return.
        row("ctrl+i x11", X11, Qt::Key_I, Ctrl, 31, 'i', 'I', 2);
        row("f1 x11", X11, Qt::Key_F1, NoMods, 67, 0, 112, 0);
        row("escape x11", X11, Qt::Key_Escape, NoMods, 9, 0, 27, 0);
        row("return x11", X11, Qt::Key_Return, NoMods, 36, 0, 13, 0);
        row("ctrl+i win", Windows, Qt::Key_I, Ctrl, 23, 'I', 'I', 2);
        row("f1 win", Windows, Qt::Key_F1, NoMods, 59, 112, 112, 0);

        // A modifier key counts in its own press. Under X11 Alt pressed while Shift is held arrives as Meta; on
        // Windows Meta is the Windows key, not used.
        row("shift x11", X11, Qt::Key_Shift, NoMods, 50, 0, 16, 1);
        row("ctrl after shift x11", X11, Qt::Key_Control, Shift, 37, 0, 17, 3);
        row("alt after ctrl+shift x11", X11, Qt::Key_Alt, Ctrl | Shift, 64, 0, 18, 7);
        row("alt after shift x11", X11, Qt::Key_Meta, Shift, 64, 0, 18, 5);
        row("ctrl win", Windows, Qt::Key_Control, Ctrl, 29, 17, 17, 2);
        row("alt after shift win", Windows, Qt::Key_Alt, Shift, 56, 18, 18, 5);
        row("windows key win", Windows, Qt::Key_Meta, Shift, 91, 91, 0, 1);

        // Keys the program does not use.
        row("comma x11", X11, Qt::Key_Comma, Ctrl, 59, 0, 0, 2);
        row("it shift++ x11", X11, Qt::Key_Asterisk, Shift, 35, 0, 0, 1);
    }
    void keyPresses()
    {
        QFETCH(int, platform);
        QFETCH(int, qtKey);
        QFETCH(int, mods);
        QFETCH(quint32, scan);
        QFETCH(quint32, vk);
        QFETCH(int, code);
        QFETCH(int, mask);
        const KeyPress k{qtKey, Qt::KeyboardModifiers::fromInt(mods), scan, vk};
        QCOMPARE(virtualKey(k, Platform(platform)), code);
        QCOMPARE(qyr::keycodes::mask(k, Platform(platform)), mask);
    }

    // A key event of this system is read with its native codes: the same Ctrl+Shift+3 is key 51 under X11 (by
    // its key code) and on Windows (by its virtual key). The automation channel builds a key from a code and a mask:
    // read back, it is that code and that mask, on either system; a code with no key of its own is refused.
    void eventsAndAutomationKeys()
    {
        const QKeyEvent shift3(QEvent::KeyPress, Qt::Key_NumberSign, Ctrl | Shift, 12, '3', 0, "#");
        QCOMPARE(fromQt(shift3), '3');
        QCOMPARE(maskFromQt(shift3), 3);
        const QKeyEvent shiftKey(QEvent::KeyPress, Qt::Key_Shift, Ctrl, 50, 16, 0);
        QCOMPARE(fromQt(shiftKey), 16);
        QCOMPARE(maskFromQt(shiftKey), 3);

        QList<int> codes{8, 9, 13, 27, 32, 33, 34, 35, 36, 37, 38, 39, 40, 45, 46, 187, 189};
        for (int c = '0'; c <= '9'; ++c)
            codes << c;
        for (int c = 'A'; c <= 'Z'; ++c)
            codes << c;
        for (int c = 112; c <= 135; ++c)
            codes << c;
        for (const Platform p : {Platform::X11, Platform::Windows})
            for (const int code : codes)
                for (int m = 0; m < 8; ++m) {
                    const KeyPress k{toQt(code), modifiersFromMask(m)};
                    QVERIFY2(virtualKey(k, p) == code && qyr::keycodes::mask(k, p) == m,
                             qPrintable(QString("code %1 mask %2").arg(code).arg(m)));
                }
        for (const int code : {16, 17, 18})
            QCOMPARE(qyr::keycodes::mask({toQt(code), {}}, Platform::X11), 1 << (code - 16));
        for (const int code : {0, 96, 107, 109, 136, 91})
            QCOMPARE(toQt(code), Qt::Key_unknown);
    }
};

QTEST_GUILESS_MAIN(TstKeycodes)
#include "tst_keycodes.moc"
