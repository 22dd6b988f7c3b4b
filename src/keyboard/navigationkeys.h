#pragma once
// The keys that move through the book: help page, table of contents, the
// page's index entries ("LumoIndex_" + n) and the next or previous page file.
#include "../platform/result.h"

#include <QString>
#include <QtGlobal>
#include <optional>
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
    // An entry position that is no number, or beyond 16 bits, and an entry
    // number past 16 bits, are refused.
    Result<Done> nextIndexEntry();
    Result<Done> previousIndexEntry();
    // next: the page named by "QYRPLAYER_AUDIO_NEXTHTML_1", else by
    // "QYRPLAYER_AUDIO_PREVHTML".
    void pageFile(bool next);

private:
    QString entryAddress(qint16 n);
    Result<bool> startsBefore(const QString &start, std::optional<qint16> &position);
    bool bookReachable();
    Uses u;
};

} // namespace qyr
