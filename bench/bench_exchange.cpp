// Export and import of a settings tree holding 5,000 bookmarks (1,000 pages
// of 5), on the real SQLite store: the REGEDIT4 file written, the tree
// deleted, the file read back in one transaction. Prints figures; asserts
// nothing.
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "platform/store/sqlite/sqliteregistry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qyr;

namespace {

int countValues(IRegistry &reg, const QString &key)
{
    int n = int(reg.values(key).size());
    for (const QString &sub : reg.subKeys(key))
        n += countValues(reg, key + QLatin1Char('\\') + sub);
    return n;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    auto opened = SqliteRegistry::open(dir.filePath(QStringLiteral("impostazioni.sqlite")));
    if (!opened.store) {
        std::fprintf(stderr, "settings store: %s\n", qPrintable(opened.problem));
        return 1;
    }
    SqliteRegistry &reg = *opened.store;
    const QString program = programKey();
    reg.transaction([&] {
        reg.setValue(program + QStringLiteral("\\Player"), RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("80")));
        for (int p = 1; p <= 1000; ++p) {
            const QString section = program + QStringLiteral("\\LIBRO\\CAPITOLO%1.HTM").arg(p);
            for (int n = 1; n <= 5; ++n) {
                const QString s = QString::number(n);
                reg.setValue(section, RegValue::fromText(s, QString::number(n * 61)));
                reg.setValue(section, RegValue::fromText(s + QStringLiteral("NOME"),
                                                         QStringLiteral("Perché è qui, segno %1").arg(n)));
                reg.setValue(section, RegValue::fromText(s + QStringLiteral("NOMEAUDIO"), QStringLiteral("cap%1.mp3").arg(p)));
            }
        }
    });
    const int before = countValues(reg, program);

    DiskFiles files;
    RegistryExchange ex(reg, files);
    const QString file = dir.filePath(QStringLiteral("segnalibri.reg"));
    std::vector<double> exportMs, importMs;
    int after = 0;
    qint64 bytes = 0;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        const ExportResult e = ex.exportKey(hkey::CurrentUser, program, file, true, false);
        exportMs.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!e.written) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(e.problem));
            return 1;
        }
        bytes = QFileInfo(file).size();
        reg.deleteKey(program);
        t.restart();
        ex.importTextFile(file);
        importMs.push_back(double(t.nsecsElapsed()) / 1e6);
        after = countValues(reg, program);
    }
    std::printf("5 runs, milliseconds                  min    median     max   aim\n");
    std::printf("export of 5,000 bookmarks      %9.1f %9.1f %9.1f   < 100  (%lld bytes)\n",
                *std::min_element(exportMs.begin(), exportMs.end()), median(exportMs),
                *std::max_element(exportMs.begin(), exportMs.end()), static_cast<long long>(bytes));
    std::printf("import of the same file        %9.1f %9.1f %9.1f   < 100\n",
                *std::min_element(importMs.begin(), importMs.end()), median(importMs),
                *std::max_element(importMs.begin(), importMs.end()));
    std::printf("values before %d, after the last import %d\n", before, after);
    return 0;
}
