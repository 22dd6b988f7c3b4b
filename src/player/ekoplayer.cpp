#include "ekoplayer.h"
#include "../platform/errors.h"
#include "../platform/errorreport.h"

namespace qyr {

namespace {
QString name(const char *member) { return QStringLiteral("oPl - ") + QLatin1String(member); }
} // namespace

oEkoPlayer::oEkoPlayer(ErrorReporter &er, HostFactory createHost, HostFactory createOther)
    : er_(er), createHost_(std::move(createHost)), createOther_(std::move(createOther)),
      alive_(std::make_shared<bool>(true))
{
}

oEkoPlayer::~oEkoPlayer()
{
    *alive_ = false;
    oCurrent = nullptr;
    IgnoreFailure([&] { unloadOther(); });
    IgnoreFailure([&] { unloadHost(); });
}

void oEkoPlayer::missing(const char *member) { er_.report(name(member), err::ObjectNotSet); }

// Rate and AutoStart get go by the selected version, not by the current
// player: the version's own player, or none for any other version number.
IPlayer *oEkoPlayer::byVersion() const
{
    return mVersione == 1 ? o9.get() : mVersione == 0 ? oOther.get() : nullptr;
}

// Each member below is where the rest of the program meets the player: with
// no player behind the facade it reports under its own name and gives its
// empty value; the hosts report their own failures the same way, so nothing
// is thrown past a member.
float oEkoPlayer::Rate()
{
    if (IPlayer *p = byVersion())
        return p->Rate();
    return knownVersion() ? missing("Get Rate", 0.0f) : 0.0f;
}

void oEkoPlayer::setRate(float v)
{
    if (IPlayer *p = byVersion())
        p->setRate(v);
    else if (knownVersion())
        missing("Let Rate");
}

bool oEkoPlayer::AutoStart()
{
    if (IPlayer *p = byVersion())
        return p->AutoStart();
    return knownVersion() ? missing("Get AutoStart", false) : false;
}

void oEkoPlayer::setAutoStart(bool v)
{
    mAutoStart = v;
    if (!oCurrent)
        return missing("Let AutoStart");
    oCurrent->setAutoStart(mAutoStart);
}

void oEkoPlayer::setFullScreen(bool v)
{
    mFullScreen = v;
    if (!oCurrent)
        return missing("Let FullScreen");
    oCurrent->setFullScreen(mFullScreen);
}

bool oEkoPlayer::FullScreen() { return oCurrent ? oCurrent->FullScreen() : missing("Get FullScreen", false); }

bool oEkoPlayer::AudioOff() { return oCurrent ? oCurrent->AudioOff() : missing("Get AudioOff", false); }

void oEkoPlayer::setAudioOff(bool v)
{
    mAudioOff = v;
    if (!oCurrent)
        return missing("Let AudioOff");
    oCurrent->setAudioOff(v);
    if (mAudioOff)
        oCurrent->Stop_Player();
}

QString oEkoPlayer::FileName() { return oCurrent ? oCurrent->FileName() : missing("Get FileName", QString()); }

void oEkoPlayer::setFileName(const QString &v)
{
    if (!oCurrent)
        return missing("Let FileName");
    if (oCurrent->FileName() != v) {
        const auto alive = alive_;
        PlayFileChange(v);
        if (!*alive)
            return; // the handler replaced this facade
        if (!oCurrent)
            return missing("Let FileName");
    }
    oCurrent->setFileName(v);
}

void oEkoPlayer::Stop_Player()
{
    if (!oCurrent)
        return missing("Stop_Player");
    oCurrent->Stop_Player();
}

void oEkoPlayer::Play_Player()
{
    if (!oCurrent)
        return missing("Play_Player");
    oCurrent->Play_Player();
}

double oEkoPlayer::CurrentPosition()
{
    if (FileName().isEmpty())
        return 0.0; // nothing loaded (or no player, said by FileName): 0 without asking the player
    return oCurrent ? oCurrent->CurrentPosition() : missing("Get CurrentPosition", 0.0);
}

void oEkoPlayer::setCurrentPosition(double v)
{
    if (!oCurrent)
        return missing("Let CurrentPosition");
    oCurrent->setCurrentPosition(v);
}

QVariant oEkoPlayer::Duration()
{
    if (!oCurrent)
        return missing("Get Duration", QVariant());
    if (oCurrent->FileName().trimmed().isEmpty())
        return QVariant::fromValue<qint16>(0);
    return oCurrent->Duration();
}

void oEkoPlayer::StopPlay()
{
    if (!oCurrent)
        return missing("StopPlay");
    oCurrent->StopPlay();
}

QVariant oEkoPlayer::Volume() { return oCurrent ? oCurrent->Volume() : missing("Get Volume", QVariant()); }

void oEkoPlayer::setVolume(const QVariant &v)
{
    if (!oCurrent)
        return missing("Let Volume");
    oCurrent->setVolume(v);
}

bool oEkoPlayer::IsPlaying() { return oCurrent ? oCurrent->IsPlaying() : missing("IsPlaying", false); }

void oEkoPlayer::Pause_Player()
{
    if (!oCurrent)
        return missing("Pause_Player");
    oCurrent->Pause_Player();
}

bool oEkoPlayer::Versione9Presente()
{
    er_.clearCurrent();
    return oCurrent != nullptr;
}

void oEkoPlayer::unloadHost()
{
    if (o9) {
        auto host = std::move(o9);
        host->Unload();
    }
}

void oEkoPlayer::unloadOther()
{
    if (oOther) {
        auto other = std::move(oOther);
        other->Unload();
    }
}

void oEkoPlayer::subscribe(IPlayer &p, void (oEkoPlayer::*handler)(qint32))
{
    const auto alive = alive_;
    p.PlayStateChange.connect([this, alive, handler](qint32 mode) {
        if (*alive)
            (this->*handler)(mode);
    });
}

void oEkoPlayer::setVersione(qint16 v)
{
    Guard(er_, QStringLiteral("oPl - EkoPlayer: Versione:"), [&] {
        mVersione = v;
        if (v == 1) {
            oCurrent = nullptr;
            IgnoreFailure([&] { unloadOther(); });
            IgnoreFailure([&] { unloadHost(); });
            if (!createHost_)
                throw QyrError(err::CannotCreateObject);
            o9 = createHost_();
            if (!o9)
                throw QyrError(err::CannotCreateObject);
            subscribe(*o9, &oEkoPlayer::o9_PlayStateChange);
            o9->Load();
            oCurrent = o9.get();
        } else if (v == 0) {
            oCurrent = nullptr;
            IgnoreFailure([&] { unloadHost(); });
            IgnoreFailure([&] { unloadOther(); });
            // Without a player of other versions, loading this one fails.
            if (!createOther_)
                throw QyrError(err::ObjectNotSet,
                               QStringLiteral("Variabile oggetto non impostata: nessun lettore di altre versioni è disponibile"));
            oOther = createOther_();
            if (!oOther)
                throw QyrError(err::CannotCreateObject);
            subscribe(*oOther, &oEkoPlayer::oOther_PlayStateChange);
            oOther->Load();
            oCurrent = oOther.get();
        }
    });
}

} // namespace qyr
