#pragma once
// Registry text files: the REGEDIT4 lines this program writes, and a reader
// for REGEDIT4 (Windows-1252) and "Windows Registry Editor Version 5.00"
// (UTF-16LE) files, so that an import never needs the registry editor.
#include "../platform/hive.h" // err::InvalidFileFormat
#include "../platform/registry.h"
#include "../platform/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <limits>

namespace qyr {

namespace regfile {

// Windows-1252, the ANSI code page of the files. Characters it cannot hold
// become "?", and *unmappable counts them. The five bytes the code page leaves
// undefined read as the control characters of the same number, as on Windows.
QByteArray toWindows1252(const QString &text, int *unmappable = nullptr);
QString fromWindows1252(const QByteArray &bytes);

// "[name]" and its line break.
QString keyLine(const QString &fullKeyName);
enum class Format { Regedit4, Version5 };

// One value line with its line break: "name"=data, or @=data for the default
// value. A text with a line break goes as hexadecimal bytes: in the ANSI code
// page for REGEDIT4, where characters it cannot hold are added to
// *unmappable (the caller encodes the rest of the text), in UTF-16LE for
// version 5, where nothing is lost.
QString valueLine(const RegValue &value, int *unmappable = nullptr, Format format = Format::Regedit4);

// One line of a file, in file order. Value entries carry the key they belong to.
struct Entry {
    enum Kind {
        Key,         // [key]: the key is made if missing
        DeleteKey,   // [-key]: the key and everything below it go
        SetValue,    // "name"=data
        DeleteValue, // "name"=-
        Skipped,     // a value line with no data, or one under a [-key]: nothing to do
    };
    Kind kind = Key;
    int line = 0;   // where the entry starts, counting from 1
    QString root;   // "HKEY_CURRENT_USER" and the like, as the file spells it
    QString path;   // below the root, names joined by single backslashes
    RegValue value; // SetValue: name, type and data; DeleteValue and Skipped: the name
};

struct Parsed {
    Format format = Format::Regedit4;
    QList<Entry> entries;
};

// Reads a whole file. Fails with err::InvalidFileFormat and a text that
// names the line at fault when the file is not a registry text file, or
// when it holds more than maxEntries key and value lines.
Result<Parsed> tryParse(const QByteArray &bytes, int maxEntries = std::numeric_limits<int>::max());
// The same, raising that failure: for a file known to be sound.
Parsed parse(const QByteArray &bytes, int maxEntries = std::numeric_limits<int>::max());

} // namespace regfile
} // namespace qyr
