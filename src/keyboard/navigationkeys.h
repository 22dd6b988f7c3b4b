#pragma once
// The keys that move through the book: help page, table of contents, the
// page's index entries ("LumoIndex_" + n) and the next or previous page file.
#include <QString>

namespace qyr {

class frmBrowser;

class NavigationKeys {
public:
    explicit NavigationKeys(frmBrowser &f) : f(f) {}
    void help();
    void tableOfContents();
    // True when they navigated (the key handling ends then).
    bool nextIndexEntry();
    bool previousIndexEntry();
    // next: the page named by "QYRPLAYER_AUDIO_NEXTHTML_1", else by
    // "QYRPLAYER_AUDIO_PREVHTML".
    void pageFile(bool next);

private:
    QString entryAddress(qint16 n);
    bool bookReachable();
    frmBrowser &f;
};

} // namespace qyr
