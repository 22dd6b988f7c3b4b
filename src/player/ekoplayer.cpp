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

IPlayer &oEkoPlayer::current()
{
    if (!oCurrent)
        throw QyrError(err::ObjectNotSet);
    return *oCurrent;
}

// Rate and AutoStart get go by the selected version, not by the current
// player: the version's own player, or none for any other version number.
IPlayer *oEkoPlayer::byVersion()
{
    IPlayer *p = mVersione == 1 ? o9.get() : mVersione == 0 ? oOther.get() : nullptr;
    if ((mVersione == 1 || mVersione == 0) && !p)
        throw QyrError(err::ObjectNotSet);
    return p;
}

float oEkoPlayer::Rate()
{
    return GuardValue<float>(er_, name("Get Rate"), 0.0f, [&](float &r) {
        if (IPlayer *p = byVersion())
            r = p->Rate();
    });
}

void oEkoPlayer::setRate(float v)
{
    Guard(er_, name("Let Rate"), [&] {
        if (IPlayer *p = byVersion())
            p->setRate(v);
    });
}

bool oEkoPlayer::AutoStart()
{
    return GuardValue<bool>(er_, name("Get AutoStart"), false, [&](bool &r) {
        if (IPlayer *p = byVersion())
            r = p->AutoStart();
    });
}

void oEkoPlayer::setAutoStart(bool v)
{
    Guard(er_, name("Let AutoStart"), [&] {
        mAutoStart = v;
        current().setAutoStart(mAutoStart);
    });
}

void oEkoPlayer::setFullScreen(bool v)
{
    Guard(er_, name("Let FullScreen"), [&] {
        mFullScreen = v;
        current().setFullScreen(mFullScreen);
    });
}

bool oEkoPlayer::FullScreen()
{
    return GuardValue<bool>(er_, name("Get FullScreen"), false, [&](bool &r) { r = current().FullScreen(); });
}

bool oEkoPlayer::AudioOff()
{
    return GuardValue<bool>(er_, name("Get AudioOff"), false, [&](bool &r) { r = current().AudioOff(); });
}

void oEkoPlayer::setAudioOff(bool v)
{
    Guard(er_, name("Let AudioOff"), [&] {
        mAudioOff = v;
        current().setAudioOff(v);
        if (mAudioOff)
            current().Stop_Player();
    });
}

QString oEkoPlayer::FileName()
{
    return GuardValue<QString>(er_, name("Get FileName"), QString(), [&](QString &r) { r = current().FileName(); });
}

void oEkoPlayer::setFileName(const QString &v)
{
    Guard(er_, name("Let FileName"), [&] {
        IPlayer &p = current();
        if (p.FileName() != v) {
            const auto alive = alive_;
            PlayFileChange(v);
            if (!*alive)
                return; // the handler replaced this facade
        }
        current().setFileName(v);
    });
}

void oEkoPlayer::Stop_Player()
{
    Guard(er_, name("Stop_Player"), [&] { current().Stop_Player(); });
}

void oEkoPlayer::Play_Player()
{
    Guard(er_, name("Play_Player"), [&] { current().Play_Player(); });
}

double oEkoPlayer::CurrentPosition()
{
    return GuardValue<double>(er_, name("Get CurrentPosition"), 0.0, [&](double &r) {
        if (FileName().isEmpty())
            return; // nothing loaded: 0 without asking the player
        r = current().CurrentPosition();
    });
}

void oEkoPlayer::setCurrentPosition(double v)
{
    Guard(er_, name("Let CurrentPosition"), [&] { current().setCurrentPosition(v); });
}

QVariant oEkoPlayer::Duration()
{
    return GuardValue<QVariant>(er_, name("Get Duration"), QVariant(), [&](QVariant &r) {
        IPlayer &p = current();
        if (p.FileName().trimmed().isEmpty())
            r = QVariant::fromValue<qint16>(0);
        else
            r = p.Duration();
    });
}

void oEkoPlayer::StopPlay()
{
    Guard(er_, name("StopPlay"), [&] { current().StopPlay(); });
}

QVariant oEkoPlayer::Volume()
{
    return GuardValue<QVariant>(er_, name("Get Volume"), QVariant(), [&](QVariant &r) { r = current().Volume(); });
}

void oEkoPlayer::setVolume(const QVariant &v)
{
    Guard(er_, name("Let Volume"), [&] { current().setVolume(v); });
}

bool oEkoPlayer::IsPlaying()
{
    return GuardValue<bool>(er_, name("IsPlaying"), false, [&](bool &r) { r = current().IsPlaying(); });
}

void oEkoPlayer::Pause_Player()
{
    Guard(er_, name("Pause_Player"), [&] { current().Pause_Player(); });
}

bool oEkoPlayer::Versione9Presente()
{
    er_.clearCurrent();
    try {
        (void)(current().WMPVersionInfo() == QString());
        return true;
    } catch (...) {
        return false;
    }
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
