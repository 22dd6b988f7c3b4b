#pragma once
// oEkoPlayer: the one object through which everything plays. Versione selects
// the player (1 = the version 9 host, 0 = the player of other versions, when
// the program supplies one). Every member reports its own failure ("oPl - ...")
// and yields its type's default; an absent player means one report per call.
#include "../platform/signal.h"
#include "iplayer.h"

#include <QVariant>
#include <functional>
#include <memory>

namespace qyr {

class ErrorReporter;

class oEkoPlayer {
public:
    using HostFactory = std::function<std::unique_ptr<IPlayer>()>;
    // createOther: the version 0 player; without it that version has none.
    oEkoPlayer(ErrorReporter &er, HostFactory createHost, HostFactory createOther = {});
    ~oEkoPlayer();
    oEkoPlayer(const oEkoPlayer &) = delete;
    oEkoPlayer &operator=(const oEkoPlayer &) = delete;

    float Rate();
    void setRate(float v);
    bool AutoStart();
    void setAutoStart(bool v);
    void setFullScreen(bool v);
    bool FullScreen();
    bool AudioOff();
    void setAudioOff(bool v);
    QString FileName();
    void setFileName(const QString &v);
    void Stop_Player();
    void Play_Player();
    double CurrentPosition();
    void setCurrentPosition(double v);
    QVariant Duration();
    void StopPlay();
    QVariant Volume();
    void setVolume(const QVariant &v);
    bool IsPlaying();
    void Pause_Player();
    bool Versione9Presente();
    qint16 Versione() const { return mVersione; }
    void setVersione(qint16 v);

    // Whether a player is behind the facade (start-up checks it after Versione).
    bool hasCurrentPlayer() const { return oCurrent != nullptr; }

    Signal<qint32> PlayStateChange;
    Signal<const QString &> PlayFileChange;

private:
    // The player of the selected version; none for another version number.
    IPlayer *byVersion() const;
    // The selected version is one that has a player (1 or 0).
    bool knownVersion() const { return mVersione == 1 || mVersione == 0; }
    // No player behind the facade: the member says so under its own name
    // (91, the old control's missing object) and gives its empty value.
    void missing(const char *member);
    template <typename T>
    T missing(const char *member, T empty)
    {
        missing(member);
        return empty;
    }
    void o9_PlayStateChange(qint32 newMode) { PlayStateChange(newMode); }
    void oOther_PlayStateChange(qint32 newMode) { PlayStateChange(newMode); }
    void unloadHost();
    void unloadOther();
    void subscribe(IPlayer &p, void (oEkoPlayer::*handler)(qint32));

    ErrorReporter &er_;
    HostFactory createHost_;
    HostFactory createOther_;
    bool mAudioOff = false;
    bool mFullScreen = false;
    bool mAutoStart = false;
    qint16 mVersione = 0;
    std::unique_ptr<IPlayer> oOther; // the version 0 player
    IPlayer *oCurrent = nullptr;
    std::unique_ptr<IPlayer> o9;
    std::shared_ptr<bool> alive_;
};

} // namespace qyr
