// Where the installed program finds the files installed beside it.
#pragma once

#include <QString>

namespace qyr {

// The sample book's folder: the one installed under share/ next to the
// program's bin/, else the program's own folder when it holds a book, else
// the source tree's book (a program run from its build tree).
QString sampleBookFolder();

} // namespace qyr
