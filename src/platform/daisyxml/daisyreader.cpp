#include "daisyreader.h"

#include "dtbook.h"
#include "phrasetexts.h"
#include "reader.h"

namespace qyr {

std::optional<daisy::Format> DaisyFolderReader::formatOf(const QString &folder)
{
    return daisy::formatOf(files_, folder);
}

std::optional<daisy::Book> DaisyFolderReader::open(const QString &folder) { return daisy::openBook(files_, folder); }

std::optional<daisy::Book> DaisyFolderReader::volumeOf(const QString &folder)
{
    return daisy::volumeOf(files_, folder);
}

namespace {
constexpr qint64 kMaxText = 64 * 1024 * 1024;
}

std::optional<QString> DaisyFolderReader::textAsHtml(const QString &path)
{
    const Result<QByteArray> bytes = files_.readFile(path, kMaxText);
    if (!bytes)
        return std::nullopt;
    return daisy::contentHtml(*bytes, path);
}

QHash<QString, QString> DaisyFolderReader::phraseTexts(const QString &path)
{
    const Result<QByteArray> bytes = files_.readFile(path, kMaxText);
    return bytes ? daisy::phraseTexts(*bytes) : QHash<QString, QString>();
}

QString DaisyFolderReader::refusal(const QString &folder)
{
    return daisy::isEpub(files_, folder) ? daisy::epubRefusal(files_, folder) : QString();
}

} // namespace qyr
