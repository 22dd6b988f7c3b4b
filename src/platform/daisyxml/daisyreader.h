#pragma once
// The DAISY reader on libxml2, reaching the disk through the files port.
#include "../daisy.h"
#include "../files.h"

namespace qyr {

class DaisyFolderReader : public IDaisyReader {
public:
    explicit DaisyFolderReader(IFiles &files) : files_(files) {}
    std::optional<daisy::Format> formatOf(const QString &folder) override;
    std::optional<daisy::Book> open(const QString &folder) override;
    std::optional<QString> textAsHtml(const QString &path) override;
    std::optional<daisy::Book> volumeOf(const QString &folder) override;
    QHash<QString, QString> phraseTexts(const QString &path) override;
    QString refusal(const QString &folder) override;

private:
    IFiles &files_;
};

} // namespace qyr
