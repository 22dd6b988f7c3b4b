#pragma once
// The keys that move through the book: help page, table of contents, the
// page's index entries ("LumoIndex_" + n) and the next or previous page file.
#include <QString>

#include <QtGlobal>
#include <utility>

namespace qyr {

class IBrowser;
class IFiles;
class PlayerSlot;
class Feedback;
class OpenBook;

class NavigationKeys {
public:
    // What it works with.
    struct Uses {
        IBrowser &browser;
        IFiles &files;
        PlayerSlot &player;
        Feedback &feedback;
        const OpenBook &book;
        qint16 &nIndexAnchor;
    };

    explicit NavigationKeys(Uses uses) : u(std::move(uses)) {}
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
    Uses u;
};

} // namespace qyr
