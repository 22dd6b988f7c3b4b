#pragma once
// The commands a page carries in its link addresses (stop, pause, play, key
// replay, video, reload), carried out before the browser navigates.
#include <QString>

#include "../platform/controls.h"
#include "../platform/result.h"
#include <functional>
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class PlayerSlot;
class Feedback;
class OpenBook;
class UrlHelpers;
class PageAudio;

class LinkCommands {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        PlayerSlot &player;
        Feedback &feedback;
        const OpenBook &book;
        UrlHelpers &urls;
        PageAudio &audio;
        TextBox &TextURL;
        // Replays a key as if the reader had pressed it (the key map).
        std::function<void(qint16 KeyCode, qint16 Shift)> pressKey;
        // Jumps to a heading of a DAISY book (its contents page's links).
        std::function<void(int heading)> goToHeading;
    };

    explicit LinkCommands(Uses uses) : u(std::move(uses)) {}

    // Sets Cancel when the address was a command.
    void objWB_BeforeNavigate2(const QString &URL, bool &Cancel);
    // A link the browser would not follow out of the book.
    void refused(const QString &url);

private:
    bool playerCommand(const QString &URL, bool &Cancel);
    // A key that is no number, and the dictionary's video without its
    // element, are refused.
    Result<bool> keyCommand(const QString &URL, bool &Cancel);
    bool personalVideo(const QString &URL, bool &Cancel);
    Result<Done> videoLink(const QString &URL, bool &Cancel);
    Result<QString> dictionaryVideo();

    Uses u;
};

} // namespace qyr
