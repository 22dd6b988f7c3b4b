#include "daisyreader.h"

#include "reader.h"

namespace qyr {

std::optional<daisy::Format> DaisyFolderReader::formatOf(const QString &folder)
{
    return daisy::formatOf(files_, folder);
}

std::optional<daisy::Book> DaisyFolderReader::open(const QString &folder) { return daisy::openBook(files_, folder); }

} // namespace qyr
