// Fuzz target for the registry text reader and the import that applies it.
// Any input either fails with QyrError or parses; what parses is applied to
// an in-memory registry, and every value it holds in a kind the writer has a
// plain form for is written back as a line and read again, since the writer
// promises that what it writes reads back.
#include "doubles/doubles.h"
#include "exchange/regfile.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace qyr;

namespace {

[[noreturn]] void broken(const char *what, const regfile::Entry &e)
{
    std::fprintf(stderr, "line %d: %s\n", e.line, what);
    std::abort();
}

// One value, written as a REGEDIT4 block of its own and read back.
void roundTrip(const regfile::Entry &e)
{
    const quint32 t = e.value.type;
    const bool plain = t == regtype::String || t == regtype::ExpandString || t == regtype::MultiString ||
                       t == regtype::DWord || t == regtype::Binary;
    if (!plain)
        return;
    int lost = 0;
    const QString text = QStringLiteral("REGEDIT4\r\n\r\n") +
                         regfile::keyLine(e.root + QLatin1Char('\\') + e.path) +
                         regfile::valueLine(e.value, &lost);
    int lostInText = 0;
    const QByteArray bytes = regfile::toWindows1252(text, &lostInText);
    regfile::Parsed back;
    try {
        back = regfile::parse(bytes);
    } catch (const QyrError &err) {
        std::fprintf(stderr, "%s\n", err.what());
        broken("a value written by the writer does not read back", e);
    }
    if (back.entries.size() != 2 || back.entries[1].kind != regfile::Entry::SetValue)
        broken("a value written by the writer reads back as something else", e);
    // Characters outside the code page become "?", so only a clean text compares.
    if (lost + lostInText > 0)
        return;
    const RegValue &v = back.entries[1].value;
    if (v.name != e.value.name)
        broken("a value's name changes on the way back", e);
    if (t == regtype::Binary && (v.type != t || v.data != e.value.data))
        broken("a binary value changes on the way back", e);
    // A number is written from its first four bytes, missing ones read as zero.
    if (t == regtype::DWord) {
        QByteArray first = e.value.data.left(4);
        first.append(QByteArray(4 - first.size(), '\0'));
        if (v.type != t || v.data != first)
            broken("a number changes on the way back", e);
    }
}

// Passes everything to a memory registry and stops the run at the first
// write outside the program's own tree, which the import must never make.
class OwnTreeOnly : public IRegistry {
public:
    std::optional<RegValue> value(const QString &key, const QString &name) override { return inner_.value(key, name); }
    void setValue(const QString &key, const RegValue &value) override
    {
        check(key);
        inner_.setValue(key, value);
    }
    void deleteValue(const QString &key, const QString &name) override
    {
        check(key);
        inner_.deleteValue(key, name);
    }
    void deleteKey(const QString &key) override
    {
        check(key);
        inner_.deleteKey(key);
    }
    bool keyExists(const QString &key) override { return inner_.keyExists(key); }
    QStringList subKeys(const QString &key) override { return inner_.subKeys(key); }
    QList<RegValue> values(const QString &key) override { return inner_.values(key); }
    void transaction(const std::function<void()> &body) override { inner_.transaction(body); }
    int writes = 0;

private:
    void check(const QString &key)
    {
        ++writes;
        const QString own = programKey();
        const QString k = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
        if (k.compare(own, Qt::CaseInsensitive) != 0 && !k.startsWith(own + QLatin1Char('\\'), Qt::CaseInsensitive)) {
            std::fprintf(stderr, "import wrote outside its own tree: %s\n", qPrintable(key));
            std::abort();
        }
    }
    test::MemoryRegistry inner_;
};

// True when the entry names a key of the program's tree below HKEY_CURRENT_USER.
bool ownEntry(const regfile::Entry &e)
{
    const QString own = programKey();
    const QString k = e.path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
    return e.root.compare(QStringLiteral("HKEY_CURRENT_USER"), Qt::CaseInsensitive) == 0 &&
           (k.compare(own, Qt::CaseInsensitive) == 0 || k.startsWith(own + QLatin1Char('\\'), Qt::CaseInsensitive));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Raw data, no copy: a read past the end lands on the fuzzer's own guard.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    regfile::Parsed parsed;
    try {
        parsed = regfile::parse(bytes);
    } catch (const QyrError &) {
        return 0;
    }
    for (const regfile::Entry &e : parsed.entries)
        if (e.kind == regfile::Entry::SetValue)
            roundTrip(e);

    OwnTreeOnly registry;
    DiskFiles files;
    RegistryExchange exchange(registry, files);
    bool applied = false;
    if (const Result<ImportResult> r = exchange.apply(parsed)) {
        applied = r->applied;
        (void)r->notice();
    }
    // Keys of the same name under another root must not reach the program's tree.
    bool anyOwn = false;
    for (const regfile::Entry &e : parsed.entries)
        anyOwn = anyOwn || ownEntry(e);
    if (!anyOwn && (applied || registry.writes > 0)) {
        std::fprintf(stderr, "import changed the settings though no line is for the program's own tree\n");
        std::abort();
    }
    return 0;
}
