#pragma once
// Reading DAISY books (DAISY 2.02 and DAISY 3) into their model: the
// navigation, package and SMIL files are parsed by an adapter, since they
// need an XML and HTML parser the logic does not link.
#include "../daisy/book.h"

#include <QString>
#include <optional>

namespace qyr {

class IDaisyReader {
public:
    virtual ~IDaisyReader() = default;
    // The kind of DAISY book the folder holds, or nothing.
    virtual std::optional<daisy::Format> formatOf(const QString &folder) = 0;
    // The book read as far as it can be; its problems are named in its list.
    // Nothing when the folder holds no DAISY book.
    virtual std::optional<daisy::Book> open(const QString &folder) = 0;
};

} // namespace qyr
