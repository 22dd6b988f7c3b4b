#include "hivexreader.h"

#include <QFile>
#include <QSet>
#include <QStringList>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <hivex.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace qyr {

namespace {

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, FreeDeleter>;

QString reason(int error)
{
    switch (error) {
    case EFAULT: return QStringLiteral("un riferimento interno punta fuori dal file");
    case ELOOP: return QStringLiteral("la struttura delle chiavi è circolare");
    case ERANGE: return QStringLiteral("un campo ha un valore fuori dall'intervallo ammesso");
    case ENOTSUP: return QStringLiteral("la struttura del file non è quella di un hive");
    case EINVAL: return QStringLiteral("l'intestazione o una voce del file non è valida");
    case ENOMEM: return QStringLiteral("memoria esaurita");
    default: return QStringLiteral("errore %1").arg(error);
    }
}

// hivex stores a value's type, any 32-bit number a file holds, in its enum;
// reading that back as the enum is undefined for numbers outside the named
// kinds, so the stored bytes are copied out instead.
static_assert(sizeof(hive_type) == sizeof(quint32), "hive_type holds a registry type");
quint32 typeCode(const hive_type &type)
{
    quint32 code = 0;
    std::memcpy(&code, &type, sizeof code);
    return code;
}

class Walk {
public:
    Walk(hive_h *h, const HivexReader::Limits &limits, const QString &file) : h_(h), limits_(limits), file_(file) {}

    HiveKey key(hive_node_h node, int depth)
    {
        if (depth > limits_.maxDepth)
            refuse(QStringLiteral("Il file %1 contiene chiavi annidate per più di %2 livelli.")
                       .arg(file_)
                       .arg(limits_.maxDepth));
        if (++keys_ > limits_.maxKeys)
            refuse(QStringLiteral("Il file %1 contiene più di %2 chiavi.").arg(file_).arg(limits_.maxKeys));
        // A child list that leads back to a key already read would make the
        // walk endless; a sound hive reaches every key exactly once.
        if (seen_.contains(node))
            damaged(QStringLiteral("una chiave compare in più punti della struttura"));
        seen_.insert(node);

        HiveKey k;
        if (depth > 0) {
            errno = 0;
            Owned<char> name(hivex_node_name(h_, node));
            if (!name)
                damaged(reason(errno));
            k.name = QString::fromUtf8(name.get());
        }
        errno = 0;
        Owned<hive_value_h> values(hivex_node_values(h_, node));
        if (!values)
            damaged(reason(errno));
        for (hive_value_h *v = values.get(); *v; ++v)
            if (++values_ > limits_.maxValues)
                refuse(QStringLiteral("Il file %1 contiene più di %2 valori.").arg(file_).arg(limits_.maxValues));
        for (hive_value_h *v = values.get(); *v; ++v)
            k.values.append(value(*v));

        errno = 0;
        Owned<hive_node_h> children(hivex_node_children(h_, node));
        if (!children)
            damaged(reason(errno));
        std::vector<hive_node_h> list;
        for (hive_node_h *c = children.get(); *c; ++c)
            list.push_back(*c);
        children.reset();
        for (hive_node_h c : list)
            k.subKeys.append(key(c, depth + 1));
        return k;
    }

private:
    RegValue value(hive_value_h v)
    {
        hive_type type;
        size_t len = 0;
        errno = 0;
        if (hivex_value_type(h_, v, &type, &len) != 0)
            damaged(reason(errno));
        // Checked before hivex copies the data, so a false length costs nothing.
        if (qint64(len) > limits_.maxValueBytes)
            refuse(QStringLiteral("Il file %1 contiene un valore di %2 byte, oltre il limite di %3 byte.")
                       .arg(file_)
                       .arg(qint64(len))
                       .arg(limits_.maxValueBytes));
        total_ += qint64(len);
        if (total_ > limits_.maxTotalBytes)
            refuse(QStringLiteral("I valori del file %1 superano in tutto %2 byte.")
                       .arg(file_)
                       .arg(limits_.maxTotalBytes));
        errno = 0;
        Owned<char> name(hivex_value_key(h_, v));
        if (!name)
            damaged(reason(errno));
        errno = 0;
        Owned<char> data(hivex_value_value(h_, v, &type, &len));
        if (!data && (len > 0 || errno != 0))
            damaged(reason(errno));
        return RegValue{QString::fromUtf8(name.get()), typeCode(type), QByteArray(data.get(), int(len))};
    }

    [[noreturn]] void refuse(const QString &text) { throw QyrError(err::InvalidFileFormat, text); }
    [[noreturn]] void damaged(const QString &why)
    {
        throw QyrError(err::InvalidFileFormat, QStringLiteral("Il file %1 è danneggiato: %2.").arg(file_, why));
    }

    hive_h *h_;
    const HivexReader::Limits &limits_;
    const QString &file_;
    QSet<hive_node_h> seen_;
    int keys_ = 0;
    int values_ = 0;
    qint64 total_ = 0;
};

// In megabytes (rounded up) from one on, else in bytes.
QString sizeText(qint64 bytes)
{
    constexpr qint64 mb = 1024 * 1024;
    return bytes >= mb ? QStringLiteral("%1 MB").arg((bytes + mb - 1) / mb) : QStringLiteral("%1 byte").arg(bytes);
}

// hivex maps or reads the whole file and would wait forever on a named
// pipe: the kind and size are checked first, after following links.
void checkFile(const QString &file, const QByteArray &name, qint64 maxBytes)
{
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw QyrError(err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(file));
        throw QyrError(err::PathAccess, QStringLiteral("Impossibile leggere il file %1.").arg(file));
    }
    if (S_ISDIR(st.st_mode))
        throw QyrError(err::InvalidFileFormat, QStringLiteral("%1 è una cartella, non un file.").arg(file));
    if (!S_ISREG(st.st_mode))
        throw QyrError(
            err::InvalidFileFormat,
            QStringLiteral("%1 non è un file ma un dispositivo, una pipe o un socket: non è stato letto.").arg(file));
    if (qint64(st.st_size) > maxBytes)
        throw QyrError(err::InvalidFileFormat,
                       QStringLiteral("Il file %1 è di %2, oltre il limite di %3 per un file di impostazioni.")
                           .arg(file, sizeText(st.st_size), sizeText(maxBytes)));
}

} // namespace

Result<HiveContent> HivexReader::read(const QString &file, const QString &within)
{
    return resultOf([&] { return readHive(file, within); });
}

HiveContent HivexReader::readHive(const QString &file, const QString &within)
{
    const QByteArray name = QFile::encodeName(file);
    checkFile(file, name, limits_.maxFileBytes);
    errno = 0;
    // Flags 0: read-only, and no guessing over damaged parts of the file.
    std::unique_ptr<hive_h, int (*)(hive_h *)> h(hivex_open(name.constData(), 0), hivex_close);
    if (!h) {
        const int error = errno;
        if (error == ENOENT)
            throw QyrError(err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(file));
        if (error == EACCES || error == EPERM)
            throw QyrError(err::PathAccess,
                           QStringLiteral("Impossibile leggere il file %1: permesso negato.").arg(file));
        throw QyrError(err::InvalidFileFormat,
                       QStringLiteral("Il file %1 non è un file hive del registro valido oppure è danneggiato (%2).")
                           .arg(file, reason(error)));
    }
    errno = 0;
    const hive_node_h root = hivex_root(h.get());
    if (!root)
        throw QyrError(err::InvalidFileFormat,
                       QStringLiteral("Il file %1 è danneggiato: manca la chiave principale.").arg(file));

    HiveContent out;
    hive_node_h start = root;
    const QStringList parts = within.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    hive_node_h node = root;
    for (const QString &part : parts) {
        errno = 0;
        node = hivex_node_get_child(h.get(), node, part.toUtf8().constData());
        if (!node)
            break;
    }
    if (node && !parts.isEmpty()) {
        start = node;
        out.path = parts.join(QLatin1Char('\\'));
    }
    Walk walk(h.get(), limits_, file);
    out.key = walk.key(start, 0);
    return out;
}

} // namespace qyr
