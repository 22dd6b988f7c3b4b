#pragma once
// The commands a page carries in its link addresses (stop, pause, play, key
// replay, video, reload), carried out before the browser navigates.
#include <QString>

namespace qyr {

class frmBrowser;

class LinkCommands {
public:
    explicit LinkCommands(frmBrowser &f) : f(f) {}

    // Subscribes the handler to the browser's before-navigate, and tells the
    // reader when a page was kept inside the book. Calling it again changes
    // nothing.
    void connect();

    // Sets Cancel when the address was a command.
    void objWB_BeforeNavigate2(const QString &URL, bool &Cancel);

private:
    bool playerCommand(const QString &URL, bool &Cancel);
    bool keyCommand(const QString &URL, bool &Cancel);
    bool personalVideo(const QString &URL, bool &Cancel);
    void videoLink(const QString &URL, bool &Cancel);
    QString dictionaryVideo();

    frmBrowser &f;
    bool connected_ = false;
};

} // namespace qyr
