// Fuzz target for the hive restore: the bytes become a hive file that is
// read with hivex and restored into an in-memory registry, as a key saved on
// its own or as a whole profile holding the program's key deeper down, or,
// under another root, only counted. A file that is not a sound hive must fail
// with QyrError; a crash, a leak or a sanitizer report is a finding.
#include "doubles/doubles.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "platform/hive/hivexreader.h"

#include <QDir>
#include <QtEndian>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace qyr;

namespace {

// One file per process, so parallel runs never share it.
const QString &hivePath()
{
    static const QString path = [] {
        const QString p = QDir::tempPath() + QStringLiteral("/qyr-fuzz-hive-%1.hiv").arg(qint64(::getpid()));
        std::atexit([] { QFile::remove(hivePath()); });
        return p;
    }();
    return path;
}

void writeFile(const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(hivePath());
    FILE *f = std::fopen(name.constData(), "wb");
    if (!f || std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f) != size_t(bytes.size()) ||
        std::fclose(f) != 0) {
        std::perror("cannot write the hive file");
        std::abort();
    }
}

void restore(const QString &file, quint32 root)
{
    test::MemoryRegistry registry;
    HivexReader reader;
    DiskFiles files;
    RegistryExchange exchange(registry, files, &reader);
    try {
        const ImportResult r = exchange.restoreHive(programKey(), file, root);
        (void)r.notice();
    } catch (const QyrError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // hivex refuses a base block whose checksum is wrong before it looks at
    // anything else; setting the checksum lets mutations reach the keys.
    if (bytes.size() >= 0x200) {
        quint32 sum = 0;
        for (int i = 0; i < 0x1FC; i += 4)
            sum ^= qFromLittleEndian<quint32>(bytes.constData() + i);
        qToLittleEndian(sum, bytes.data() + 0x1FC);
    }
    writeFile(bytes);
    // A file of odd length is restored under another root, where it is only counted.
    restore(hivePath(), size % 2 ? hkey::LocalMachine : hkey::CurrentUser);
    return 0;
}
