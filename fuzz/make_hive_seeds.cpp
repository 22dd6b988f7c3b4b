// Writes the hive seeds of the hive fuzz target with the tests' regf writer:
// a few small sound hives (one with value kinds hivex has no name for), one
// whose child list leads back to its root, and one cut short.
// Usage: make_hive_seeds <folder>
#include "doubles/regf_writer.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstdio>

using namespace qyr;
using qyr::test::RegfWriter;

namespace {

RegValue raw(const QString &name, quint32 type, const QByteArray &data) { return RegValue{name, type, data}; }

// The program's key with a value of every kind and a few levels of keys.
HiveKey settings()
{
    QByteArray qword(8, '\0');
    qToLittleEndian<quint64>(0x0102030405060708ull, qword.data());
    HiveKey player{QStringLiteral("Player"),
                   {RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("80")),
                    RegValue::fromText(QStringLiteral("Cartella"), QStringLiteral("%USERPROFILE%\\Libri"),
                                       regtype::ExpandString),
                    RegValue::fromDWord(QStringLiteral("Velocità"), 3),
                    RegValue::fromMulti(QStringLiteral("Recenti"), {QStringLiteral("a.htm"), QStringLiteral("b.htm")}),
                    raw(QStringLiteral("Grande"), regtype::QWord, qword),
                    raw(QStringLiteral("Dati"), regtype::Binary, QByteArray("\x00\x01\xFE\xFF\x10", 5)),
                    raw(QStringLiteral("Vuoto"), regtype::None, QByteArray()),
                    RegValue::fromText(QString(), QStringLiteral("predefinito"))},
                   {}};
    HiveKey page{QStringLiteral("CAPITOLO1.HTM"), {RegValue::fromText(QStringLiteral("Segno"), QStringLiteral("12"))}, {}};
    HiveKey greek{QStringLiteral("Ελληνικά"), {RegValue::fromText(QStringLiteral("Ωmega"), QStringLiteral("ω"))}, {}};
    return HiveKey{QStringLiteral("QYR MediaPlayer"),
                   {RegValue::fromText(QStringLiteral("Versione"), QStringLiteral("1"))},
                   {player, HiveKey{QStringLiteral("LIBRO"), {}, {page}}, greek}};
}

// A whole user profile, with the program's key deep inside and a neighbour.
HiveKey profile()
{
    HiveKey other{QStringLiteral("Microsoft"), {RegValue::fromText(QStringLiteral("x"), QStringLiteral("y"))}, {}};
    HiveKey vb{QStringLiteral("VB and VBA Program Settings"), {}, {HiveKey{QStringLiteral("Altro"), {}, {}}, settings()}};
    return HiveKey{QStringLiteral("ROOT"), {}, {HiveKey{QStringLiteral("Software"), {}, {other, vb}}}};
}

bool save(const QString &folder, const char *name, const QByteArray &bytes)
{
    QFile f(QDir(folder).filePath(QString::fromLatin1(name)));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", name);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    const QByteArray own = RegfWriter(settings()).bytes();
    const QByteArray whole = RegfWriter(profile()).bytes();
    const QByteArray empty = RegfWriter(HiveKey{QStringLiteral("QYR MediaPlayer"), {}, {}}).bytes();

    // Kinds hivex has no name for: types are any 32-bit number in a file.
    const QByteArray odd = RegfWriter(HiveKey{QStringLiteral("QYR MediaPlayer"),
                                              {raw(QStringLiteral("Risorse"), 8, QByteArray("\x01\x02", 2)),
                                               raw(QStringLiteral("Applicazione"), 0xFFFF0000u, QByteArray("abcdef")),
                                               raw(QStringLiteral("Quarantasei"), 46, QByteArray(1, '\0'))},
                                              {}})
                                  .bytes();

    // The first subkey's list entry points back at the root.
    RegfWriter loop(settings());
    loop.patch(loop.nodes[0].lf, 4, loop.nodes[0].nk);

    // Cut inside the first hbin, after the base block.
    const QByteArray cut = own.left(0x1000 + 0x180);

    bool ok = save(folder, "own-key.hiv", own) && save(folder, "profile.hiv", whole) &&
              save(folder, "empty-key.hiv", empty) && save(folder, "loop.hiv", loop.bytes()) && save(folder, "odd-types.hiv", odd) &&
              save(folder, "truncated.hiv", cut);
    return ok ? 0 : 1;
}
