#include "ziparchive.h"
#include "../errors.h"

#include <QFile>

#include <zip.h>

#include <algorithm>

namespace qyr {

namespace {

QString folded(const QString &name) { return name.toCaseFolded(); }

QString sizeText(qint64 bytes)
{
    constexpr qint64 mb = 1024 * 1024;
    return QStringLiteral("%1 MB").arg((bytes + mb - 1) / mb);
}

// The folder part of an entry's name ("" at the top).
QString folderOf(const QString &name)
{
    const int slash = int(name.lastIndexOf(QLatin1Char('/')));
    return slash < 0 ? QString() : name.left(slash);
}

// The name with "/" between its parts, or empty when it would lead outside
// the zip: an absolute name, a drive, a "..".
QString safeName(QString name)
{
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.startsWith(QLatin1Char('/')) || (name.size() >= 2 && name.at(1) == QLatin1Char(':')))
        return QString();
    QStringList kept;
    for (const QString &part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            return QString();
        if (part != QLatin1String("."))
            kept << part;
    }
    return kept.join(QLatin1Char('/'));
}

} // namespace

bool looksLikeZip(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray head = f.read(4);
    return head == QByteArray("PK\x03\x04", 4) || head == QByteArray("PK\x05\x06", 4);
}

Result<std::shared_ptr<ZipArchive>> ZipArchive::open(const QString &path)
{
    const auto refused = [&path](const QString &why) {
        return Failure{err::InvalidFileFormat, QStringLiteral("L'archivio %1 non viene aperto: %2").arg(path, why)};
    };
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!zip)
        return refused(QStringLiteral("non è un archivio zip leggibile (danneggiato o di un altro tipo)."));
    std::shared_ptr<ZipArchive> a(new ZipArchive);
    a->path_ = path;
    a->zip_ = zip;
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            return refused(QStringLiteral("una voce dell'archivio è illeggibile."));
        const QString written = QString::fromUtf8(st.name);
        const QString name = safeName(written);
        if (name.isEmpty() && !written.isEmpty() && written != QLatin1String("/"))
            return refused(QStringLiteral("il nome «%1» porta fuori dall'archivio.").arg(written));
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(zip, zip_uint64_t(i), 0, &system, &attributes) == 0 &&
            system == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0170000) == 0120000)
            return refused(QStringLiteral("«%1» è un collegamento ad altri file.").arg(written));
        const bool folder = written.endsWith(QLatin1Char('/')) || written.endsWith(QLatin1Char('\\'));
        if (folder || name.isEmpty()) {
            // A folder's own entry: listed, even when empty.
            a->addFolder(name);
            continue;
        }
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            return refused(QStringLiteral("«%1» è cifrato.").arg(written));
        const qint64 size = qint64(st.size), packed = qint64(st.comp_size);
        if (size > kZipEntryLimit)
            return refused(QStringLiteral("«%1» occuperebbe %2, oltre 4 GB.").arg(written, sizeText(size)));
        // A small entry cannot swell to any harm: a second of silence packs a thousand times.
        if (size > kZipSwellFloor && size > kZipRatioLimit * std::max<qint64>(packed, 1))
            return refused(QStringLiteral("«%1» si espanderebbe a %2, più di 100 volte la sua dimensione compressa.")
                               .arg(written, sizeText(size)));
        if (a->byName_.contains(folded(name)))
            continue; // the first of two names differing in case alone
        a->byName_.insert(folded(name), int(a->entries_.size()));
        a->entries_.append(Entry{name, i, size, packed, st.comp_method == ZIP_CM_STORE});
        const QString up = folderOf(name);
        a->filesIn_[folded(up)] << name.mid(up.isEmpty() ? 0 : up.size() + 1);
        a->addFolder(up);
    }
    for (QStringList &names : a->filesIn_)
        names.sort(Qt::CaseInsensitive);
    for (QStringList &names : a->foldersIn_)
        names.sort(Qt::CaseInsensitive);
    return a;
}

// The folder and each one above it, in the listing of the one above.
void ZipArchive::addFolder(QString folder)
{
    while (!folder.isEmpty()) {
        const QString parent = folderOf(folder);
        QStringList &in = foldersIn_[folded(parent)];
        const QString last = folder.mid(parent.isEmpty() ? 0 : parent.size() + 1);
        if (!in.contains(last))
            in << last;
        filesIn_[folded(folder)]; // an empty folder is a folder all the same
        folder = parent;
    }
}

ZipArchive::~ZipArchive()
{
    if (zip_)
        zip_discard(zip_);
}

const ZipArchive::Entry *ZipArchive::find(const QString &inner) const
{
    const auto it = byName_.constFind(folded(safeName(inner)));
    return it == byName_.constEnd() ? nullptr : &entries_.at(it.value());
}

bool ZipArchive::isFolder(const QString &inner) const
{
    const QString name = safeName(inner);
    if (name.isEmpty())
        return inner.isEmpty() || inner == QLatin1String("/");
    return filesIn_.contains(folded(name));
}

QStringList ZipArchive::files(const QString &folder) const { return filesIn_.value(folded(safeName(folder))); }

QStringList ZipArchive::folders(const QString &folder) const { return foldersIn_.value(folded(safeName(folder))); }

Result<QByteArray> ZipArchive::read(const Entry &entry, qint64 maxSize) const
{
    const QString named = path_ + QLatin1Char('/') + entry.name;
    if (entry.size > maxSize)
        return Failure{err::InvalidFileFormat,
                       QStringLiteral("Il file %1 è troppo grande (%2): non è stato letto.").arg(named, sizeText(entry.size))};
    const std::lock_guard<std::mutex> hold(lock_);
    zip_file_t *f = zip_fopen_index(zip_, zip_uint64_t(entry.index), 0);
    QByteArray bytes(qsizetype(entry.size), Qt::Uninitialized);
    qint64 got = 0;
    if (f) {
        while (got < entry.size) {
            const zip_int64_t n = zip_fread(f, bytes.data() + got, zip_uint64_t(entry.size - got));
            if (n <= 0)
                break;
            got += n;
        }
        // The checksum is checked at the end of the data.
        char more;
        if (got == entry.size && zip_fread(f, &more, 1) != 0)
            got = -1;
        zip_fclose(f);
    }
    if (!f || got != entry.size)
        return Failure{err::FileNotFound, QStringLiteral("Il file %1 nell'archivio è danneggiato.").arg(named)};
    return bytes;
}

std::unique_ptr<ZipStream> ZipArchive::stream(const Entry &entry) const
{
    auto s = std::make_unique<ZipStream>(path_, entry.index, entry.size, entry.stored);
    return s->isOpen() ? std::move(s) : nullptr;
}

ZipStream::ZipStream(const QString &archive, qint64 index, qint64 size, bool stored)
    : index_(index), size_(size), stored_(stored)
{
    int error = 0;
    zip_ = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
    reopen();
}

ZipStream::~ZipStream()
{
    if (file_)
        zip_fclose(file_);
    if (zip_)
        zip_discard(zip_);
}

bool ZipStream::reopen()
{
    if (file_)
        zip_fclose(file_);
    file_ = zip_ ? zip_fopen_index(zip_, zip_uint64_t(index_), 0) : nullptr;
    position_ = 0;
    return file_ != nullptr;
}

qint64 ZipStream::read(char *to, qint64 max)
{
    if (!file_)
        return -1;
    const zip_int64_t n = zip_fread(file_, to, zip_uint64_t(std::min(max, size_ - position_)));
    if (n > 0)
        position_ += n;
    return n;
}

bool ZipStream::seek(qint64 position)
{
    if (!file_ || position < 0 || position > size_)
        return false;
    if (stored_) {
        if (zip_fseek(file_, position, SEEK_SET) != 0)
            return false;
        position_ = position;
        return true;
    }
    if (position < position_ && !reopen())
        return false;
    char skip[65536];
    while (position_ < position) {
        const qint64 n = read(skip, std::min<qint64>(sizeof skip, position - position_));
        if (n <= 0)
            return false;
    }
    return true;
}

} // namespace qyr
