#pragma once
// The page's audio: resolves the file an element names, hands it to the
// player and chains to the next audio and the next page.
#include <QString>

namespace qyr {

class frmBrowser;
class oEkoPlayer;

class PageAudio {
public:
    explicit PageAudio(frmBrowser &f) : f(f) {}

    // Subscribes the player handlers below to the owner's facade events.
    // Calling it again changes nothing.
    void connect();

    // Plays the audio of the page at address (or the next or previous audio of
    // the page shown, when address is empty); true when a file was found and
    // handed to the player. f.oAudioElem keeps the name of the element chosen.
    bool Playaudio(const QString &address, bool next, bool previous);

    // The facade's events.
    void oPlayer_PlayStateChange(qint32 NewMode);
    void oPlayer_PlayFileChange(const QString &NewFile);

private:
    QString content(const QString &elementName);
    QString nextPageBase();

    frmBrowser &f;
    bool connected_ = false;
};

} // namespace qyr
