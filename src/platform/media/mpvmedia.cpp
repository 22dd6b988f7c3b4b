#include "mpvmedia.h"
#include "../errors.h"

#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <mpv/client.h>
#include <mpv/stream_cb.h>

#include <clocale>
#include <cmath>

namespace qyr {

namespace {
constexpr std::uint64_t ObserveEof = 1;
// The protocol of the sounds of a packed book: "qyrlibro://" and the path.
constexpr char kPackedProtocol[] = "qyrlibro";
constexpr std::uint64_t ObserveIdle = 2;

// libmpv's failures in the reader's language; its own English words only
// after an Italian sentence, for the failures that have no name here.
QString mpvText(int error)
{
    switch (error) {
    case MPV_ERROR_UNKNOWN_FORMAT: return QStringLiteral("formato del file non riconosciuto");
    case MPV_ERROR_LOADING_FAILED: return QStringLiteral("il file non si può aprire (manca, o permesso negato)");
    case MPV_ERROR_NOTHING_TO_PLAY: return QStringLiteral("il file non contiene audio né video da riprodurre");
    case MPV_ERROR_AO_INIT_FAILED: return QStringLiteral("l'uscita audio non si può aprire");
    case MPV_ERROR_VO_INIT_FAILED: return QStringLiteral("l'uscita video non si può aprire");
    case MPV_ERROR_NOMEM: return QStringLiteral("memoria insufficiente");
    default:
        return QStringLiteral("errore del motore multimediale: %1").arg(QString::fromUtf8(mpv_error_string(error)));
    }
}
} // namespace

// What one mpv event carries, copied out before anything is raised: a
// handler may pump events, and mpv_wait_event invalidates the last event.
struct MpvMediaControl::Event {
    mpv_event_id id = MPV_EVENT_NONE;
    std::uint64_t userdata = 0;
    std::int64_t entryId = -1;
    int reason = 0;
    int error = 0;
    bool flag = false;
    QByteArray hookName;
    std::uint64_t hookId = 0;
};

MpvMediaControl::MpvMediaControl(QWidget *videoSurface, const QString &audioOut)
{
    // libmpv refuses to start under any other numeric locale; the program
    // formats its own numbers through QLocale, which this does not touch.
    std::setlocale(LC_NUMERIC, "C");
    mpv_ = mpv_create();
    if (!mpv_)
        throw QyrError(err::MediaHost, QStringLiteral("Impossibile creare il motore multimediale (libmpv)"));
    setQuietOptions();
    setVideoOutput(videoSurface);
    setAudioOutput(audioOut);
    const int r = mpv_initialize(mpv_);
    if (r < 0)
        fail(QStringLiteral("Impossibile avviare il motore multimediale: %1").arg(mpvText(r)));

    mpv_observe_property(mpv_, ObserveEof, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, ObserveIdle, "idle-active", MPV_FORMAT_FLAG);
    // The start position and pause state of a file are given when mpv is
    // about to open it, so nothing of the old file or of position 0 sounds.
    mpv_hook_add(mpv_, 0, "on_load", 0);
    mpv_set_wakeup_callback(mpv_, &MpvMediaControl::wakeup, this);
}

// Creation failed: the half-made engine goes, and the reason is thrown.
void MpvMediaControl::fail(const QString &text)
{
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    throw QyrError(err::MediaHost, text);
}

void MpvMediaControl::option(const char *name, const QByteArray &value)
{
    const int r = mpv_set_option_string(mpv_, name, value.constData());
    if (r < 0)
        fail(QStringLiteral("Impossibile impostare l'opzione %1=%2 del motore multimediale: %3")
                 .arg(QLatin1String(name), QString::fromUtf8(value), mpvText(r)));
}

// The engine plays what it is given and nothing else: no keys, terminal,
// configuration or scripts of its own.
void MpvMediaControl::setQuietOptions()
{
    option("idle", "yes");
    // The file stays loaded at its end, so that position, duration and play
    // work as on the classic control, and the end is seen once through
    // eof-reached.
    option("keep-open", "yes");
    option("pause", "yes");
    // Keys belong to the program, even over the video window.
    option("input-default-bindings", "no");
    option("input-vo-keyboard", "no");
    // Standard input and the terminal are the program's (the automation
    // channel reads its commands there): mpv must never read them.
    option("terminal", "no");
    option("input-terminal", "no");
    option("osc", "no");
    // No user configuration or scripts: the player must behave the same for
    // every reader.
    option("config", "no");
    option("load-scripts", "no");
    option("ytdl", "no");
    // A book plays its own sound files and reaches nothing else: a playlist,
    // an EDL or a concat file inside it named as audio would make mpv open
    // whatever files or web addresses it lists. mpv opens no reference at
    // all, and the demuxers below it read local files only.
    option("access-references", "no");
    option("demuxer-lavf-o", "protocol_whitelist=file");
    // Cover art in a book's mp3 is not a video.
    option("audio-display", "no");
    option("audio-client-name", "qyrplayer");
}

// Video outputs that draw into our window and nothing else: mpv's own
// fallbacks (SDL, the terminal, DRM) would take the keyboard or the standard
// input the program reads. Without a window system (offscreen) video is
// decoded and not shown.
void MpvMediaControl::setVideoOutput(QWidget *videoSurface)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        option("vo", "gpu,x11");
        // OpenGL only: each time a video starts, mpv's gpu output first
        // tries Vulkan, and where that fails (no Vulkan driver, as under
        // Xvfb) it closes descriptor 0, which it does not own. By the second
        // video that number belongs to a live X connection, and the program
        // dies with "The X11 connection broke".
        option("gpu-api", "opengl");
    } else if (platform == QLatin1String("windows")) {
        option("vo", "gpu,direct3d");
    } else {
        videoSurface = nullptr;
    }
    if (!videoSurface) {
        option("vo", "null");
        return;
    }
    std::int64_t wid = static_cast<std::int64_t>(videoSurface->winId());
    const int r = mpv_set_option(mpv_, "wid", MPV_FORMAT_INT64, &wid);
    if (r < 0)
        fail(QStringLiteral("Impossibile collegare la finestra video: %1").arg(mpvText(r)));
}

void MpvMediaControl::setAudioOutput(const QString &audioOut)
{
    if (audioOut == QLatin1String("null")) {
        option("ao", "null");
    } else if (audioOut.startsWith(QLatin1String("pcm:"))) {
        option("ao", "pcm");
        option("ao-pcm-file", QFile::encodeName(audioOut.mid(4)));
    } else if (!audioOut.isEmpty() && audioOut != QLatin1String("default")) {
        // mpv would accept any name here and fail only when a file plays.
        fail(QStringLiteral("Uscita audio sconosciuta: %1 (valori ammessi: null, pcm:FILE, default)").arg(audioOut));
    }
}

MpvMediaControl::~MpvMediaControl()
{
    if (!mpv_)
        return;
    // mpv calls the callback under the same lock this takes: once it returns,
    // no new queued drain can be posted. One already posted dies with this
    // object, its context.
    mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
}

// Runs on an mpv thread: only posts one drain to the UI thread at a time.
void MpvMediaControl::wakeup(void *p)
{
    auto *self = static_cast<MpvMediaControl *>(p);
    if (!self->drainQueued_.exchange(true))
        QMetaObject::invokeMethod(
            self, [self] { self->drain(); }, Qt::QueuedConnection);
}

void MpvMediaControl::drain()
{
    drainQueued_ = false;
    // A handler of our signals may delete this control.
    const QPointer<MpvMediaControl> alive(this);
    while (mpv_) {
        const mpv_event *ev = mpv_wait_event(mpv_, 0);
        if (ev->event_id == MPV_EVENT_NONE)
            break;
        Event e;
        e.id = ev->event_id;
        e.userdata = ev->reply_userdata;
        switch (ev->event_id) {
        case MPV_EVENT_START_FILE:
            e.entryId = static_cast<const mpv_event_start_file *>(ev->data)->playlist_entry_id;
            break;
        case MPV_EVENT_END_FILE: {
            const auto *f = static_cast<const mpv_event_end_file *>(ev->data);
            e.entryId = f->playlist_entry_id;
            e.reason = f->reason;
            e.error = f->error;
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto *p = static_cast<const mpv_event_property *>(ev->data);
            e.flag = p->format == MPV_FORMAT_FLAG && p->data && *static_cast<const int *>(p->data) != 0;
            break;
        }
        case MPV_EVENT_HOOK: {
            const auto *h = static_cast<const mpv_event_hook *>(ev->data);
            e.hookName = h->name;
            e.hookId = h->id;
            break;
        }
        default: break;
        }
        handle(e);
        if (!alive)
            return;
    }
}

void MpvMediaControl::handle(const Event &e)
{
    switch (e.id) {
    case MPV_EVENT_START_FILE: startedId_ = e.entryId; break;
    case MPV_EVENT_HOOK:
        if (e.hookName == "on_load")
            onLoadHook();
        mpv_hook_continue(mpv_, e.hookId);
        break;
    case MPV_EVENT_FILE_LOADED:
        // It belongs to the last start-file; an older load is none of ours.
        if (inMpv_ && startedId_ == entryId_)
            onFileLoaded();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        if (!loaded_)
            break;
        seekPending_ = false;
        if (wantPlay_) {
            seekTarget_ = -1;
            setState(playstate::Playing);
        }
        break;
    case MPV_EVENT_END_FILE: onEndFile(e); break;
    case MPV_EVENT_PROPERTY_CHANGE:
        // mpv reads an observed value when it delivers the change, so a
        // "true" seen after our file has loaded is about our file.
        if (e.userdata == ObserveEof && e.flag && loaded_ && !ended_)
            endOfMedia();
        else if (e.userdata == ObserveIdle && e.flag && loaded_)
            fileGone();
        break;
    case MPV_EVENT_SHUTDOWN: fileGone(); break;
    default: break;
    }
}

void MpvMediaControl::onLoadHook()
{
    if (!inMpv_ || startedId_ != entryId_)
        return;
    appliedStart_ = pendingStart_;
    if (pendingStart_ > 0)
        mpv_set_property_string(mpv_, "file-local-options/start",
                                QByteArray::number(pendingStart_, 'f', 3).constData());
    setPause(!wantPlay_);
}

void MpvMediaControl::onFileLoaded()
{
    loaded_ = true;
    if (pendingStart_ >= 0 && pendingStart_ != appliedStart_) {
        seekTo(pendingStart_); // asked for after the load hook had run
    } else {
        seekTarget_ = pendingStart_ > 0 ? pendingStart_ : 0;
        seekPending_ = true; // mpv is on its way there
    }
    pendingStart_ = appliedStart_ = -1;
    if (!wantPlay_ && !heldDuringLoad_)
        setState(playstate::Ready);
}

void MpvMediaControl::onEndFile(const Event &e)
{
    if (e.entryId != entryId_ || !inMpv_)
        return; // a load we have since replaced: its end is no end of media
    const bool wasLoaded = loaded_;
    inMpv_ = loaded_ = false;
    seekTarget_ = -1;
    seekPending_ = false;
    if (e.reason == MPV_END_FILE_REASON_ERROR) {
        wantPlay_ = false;
        pendingStart_ = -1;
        const QString text = QStringLiteral("Impossibile riprodurre il file %1: %2").arg(url_, mpvText(e.error));
        const QPointer<MpvMediaControl> alive(this);
        setState(playstate::Stopped);
        if (alive)
            Error(text);
    } else if (e.reason == MPV_END_FILE_REASON_EOF && wasLoaded) {
        // keep-open makes this rare; play() loads the file again.
        if (!ended_)
            endOfMedia();
    } else {
        wantPlay_ = false;
        if (state_ == playstate::Playing || state_ == playstate::Paused)
            setState(playstate::Stopped);
    }
}

// The natural end: 8 once, then stopped at 0 with the file kept.
void MpvMediaControl::endOfMedia()
{
    ended_ = true;
    wantPlay_ = false;
    if (loaded_) {
        setPause(true);
        seekTo(0);
    }
    const QPointer<MpvMediaControl> alive(this);
    setState(playstate::MediaEnded);
    // A handler may already have moved on (a new file, play again).
    if (alive && state_ == playstate::MediaEnded && !wantPlay_)
        setState(playstate::Stopped);
}

void MpvMediaControl::fileGone()
{
    inMpv_ = loaded_ = false;
    wantPlay_ = false;
    seekTarget_ = -1;
    seekPending_ = false;
    if (state_ == playstate::Playing || state_ == playstate::Paused)
        setState(playstate::Stopped);
}

// A file refused before it is opened ends as one that cannot be played,
// once the caller that named it has returned.
void MpvMediaControl::refuse(const QString &text)
{
    inMpv_ = loaded_ = wantPlay_ = false;
    pendingStart_ = -1;
    entryId_ = -1;
    const char *args[] = {"stop", nullptr};
    mpv_command(mpv_, args);
    QTimer::singleShot(0, this, [this, url = url_, text] {
        if (url_ != url || inMpv_)
            return;
        const QPointer<MpvMediaControl> alive(this);
        setState(playstate::Stopped);
        if (alive)
            Error(text);
    });
}

void MpvMediaControl::setPackedFiles(IFiles *files)
{
    packed_ = files;
    if (files)
        mpv_stream_cb_add_ro(mpv_, kPackedProtocol, this, &MpvMediaControl::openPacked);
}

// On mpv's own thread: the stream is the entry's alone, read from its own
// handle on the zip.
int MpvMediaControl::openPacked(void *self, char *uri, mpv_stream_cb_info *info)
{
    auto *control = static_cast<MpvMediaControl *>(self);
    const QByteArray prefix = QByteArray(kPackedProtocol) + "://";
    const QByteArray address(uri);
    if (!control->packed_ || !address.startsWith(prefix))
        return MPV_ERROR_LOADING_FAILED;
    std::unique_ptr<IReadStream> stream =
        control->packed_->openStream(QString::fromUtf8(QByteArray::fromPercentEncoding(address.mid(prefix.size()))));
    if (!stream)
        return MPV_ERROR_LOADING_FAILED;
    info->cookie = stream.release();
    info->read_fn = [](void *cookie, char *buf, uint64_t n) -> int64_t {
        return static_cast<IReadStream *>(cookie)->read(buf, qint64(n));
    };
    info->seek_fn = [](void *cookie, int64_t offset) -> int64_t {
        return static_cast<IReadStream *>(cookie)->seek(offset) ? offset : int64_t(MPV_ERROR_GENERIC);
    };
    info->size_fn = [](void *cookie) -> int64_t { return static_cast<IReadStream *>(cookie)->size(); };
    info->close_fn = [](void *cookie) { delete static_cast<IReadStream *>(cookie); };
    return 0;
}

void MpvMediaControl::load()
{
    // Book paths come the Windows way ("\", "file:///", any letter case).
    QString file = url_;
    if (admitPath) {
        const Result<QString> admitted = admitPath(url_);
        if (!admitted) {
            refuse(admitted.failure().description);
            return;
        }
        file = *admitted;
    }
    const QByteArray path = packed_ && packed_->isPacked(file)
                                ? QByteArray(kPackedProtocol) + "://" + file.toUtf8().toPercentEncoding("/")
                                : QFile::encodeName(file);
    const char *args[] = {"loadfile", path.constData(), "replace", nullptr};
    mpv_node result;
    const int r = mpv_command_ret(mpv_, args, &result);
    if (r < 0) {
        inMpv_ = loaded_ = wantPlay_ = false;
        throw QyrError(err::MediaHost, QStringLiteral("Impossibile aprire il file %1: %2").arg(url_, mpvText(r)));
    }
    entryId_ = -1;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list *map = result.u.list;
        for (int i = 0; i < map->num; ++i)
            if (qstrcmp(map->keys[i], "playlist_entry_id") == 0 && map->values[i].format == MPV_FORMAT_INT64)
                entryId_ = map->values[i].u.int64;
    }
    mpv_free_node_contents(&result);
    inMpv_ = true;
    loaded_ = false;
    appliedStart_ = -1;
    seekTarget_ = -1;
    seekPending_ = false;
}

void MpvMediaControl::setPause(bool on)
{
    int flag = on ? 1 : 0;
    mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
}

bool MpvMediaControl::seekTo(double seconds)
{
    const QByteArray to = QByteArray::number(seconds, 'f', 3);
    const char *args[] = {"seek", to.constData(), "absolute+exact", nullptr};
    if (mpv_command(mpv_, args) < 0)
        return false;
    seekTarget_ = seconds;
    seekPending_ = true;
    return true;
}

bool MpvMediaControl::readDouble(const char *name, double &out)
{
    double v = 0;
    if (mpv_get_property(mpv_, name, MPV_FORMAT_DOUBLE, &v) < 0 || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

qint64 MpvMediaControl::readInt(const char *name)
{
    std::int64_t v = 0;
    return mpv_get_property(mpv_, name, MPV_FORMAT_INT64, &v) < 0 ? 0 : v;
}

void MpvMediaControl::setState(int s)
{
    if (s == state_)
        return;
    state_ = s;
    PlayStateChange(s);
}

QString MpvMediaControl::url() { return url_; }

void MpvMediaControl::setUrl(const QString &name)
{
    const int before = state_;
    // A position asked for the old file does not carry over; one asked while
    // no file was set is where the new one starts.
    if (!url_.isEmpty())
        pendingStart_ = -1;
    url_ = name;
    ended_ = false;
    heldDuringLoad_ = false;
    seekTarget_ = -1;
    seekPending_ = false;
    // Silence the old file at once; the load hook sets the new file's pause.
    setPause(true);
    if (name.isEmpty()) {
        wantPlay_ = false;
        inMpv_ = loaded_ = false;
        entryId_ = -1;
        pendingStart_ = -1;
        const char *args[] = {"stop", nullptr};
        mpv_command(mpv_, args);
        if (before != playstate::Undefined)
            setState(playstate::Stopped);
        return;
    }
    wantPlay_ = autoStart_;
    load();
    // The old file's run is over: each file that starts then reports its
    // own playing state (the host shows or hides the video window on them).
    if (before == playstate::Playing || before == playstate::Paused)
        setState(playstate::Stopped);
}

// Every load replaces mpv's whole playlist, so there is never a queue to
// clear, and the file that setUrl is about to replace may stay.
void MpvMediaControl::clearPlaylist() {}

void MpvMediaControl::play()
{
    if (url_.isEmpty())
        return;
    ended_ = false;
    wantPlay_ = true;
    heldDuringLoad_ = false;
    if (!inMpv_) {
        load(); // after an error, or once mpv let the file go
        return;
    }
    setPause(false);
    if (!seekPending_)
        seekTarget_ = -1; // from here on the position moves
    if (loaded_)
        setState(playstate::Playing);
}

void MpvMediaControl::pause()
{
    if (url_.isEmpty() || playState() != playstate::Playing)
        return;
    wantPlay_ = false;
    setPause(true);
    if (!loaded_)
        heldDuringLoad_ = true;
    setState(playstate::Paused);
}

void MpvMediaControl::stop()
{
    if (url_.isEmpty())
        return;
    wantPlay_ = false;
    ended_ = false;
    if (loaded_) {
        setPause(true);
        seekTo(0);
    } else {
        pendingStart_ = 0; // while loading, or for the load play() makes
        if (inMpv_) {
            setPause(true);
            heldDuringLoad_ = true;
        }
    }
    setState(playstate::Stopped);
}

// Playing from the moment it is asked for, as the classic control answered:
// the host stops an audio file right after loading it when reading is off,
// and that must stop a file whose sound has not begun yet. The signal still
// waits for mpv to really play.
int MpvMediaControl::playState() { return wantPlay_ ? playstate::Playing : state_; }

double MpvMediaControl::currentPosition()
{
    if (!loaded_)
        return pendingStart_ > 0 ? pendingStart_ : 0.0;
    // Where we put it, until it plays from there: mpv reports the old
    // position until a seek is done, and a paused start a few milliseconds
    // off.
    if (seekTarget_ >= 0)
        return seekTarget_;
    double p = 0;
    return readDouble("time-pos", p) && p > 0 ? p : 0.0;
}

void MpvMediaControl::setCurrentPosition(double seconds)
{
    if (!(seconds > 0))
        seconds = 0; // also NaN
    if (!loaded_) {
        pendingStart_ = seconds;
        return;
    }
    ended_ = false;
    if (!seekTo(seconds))
        throw QyrError(err::MediaHost, QStringLiteral("Impossibile spostarsi alla posizione %1").arg(seconds));
}

double MpvMediaControl::duration()
{
    double d = 0;
    return loaded_ && readDouble("duration", d) && d > 0 ? d : 0.0;
}

float MpvMediaControl::rate()
{
    double s = 1;
    return readDouble("speed", s) ? static_cast<float>(s) : 1.0f;
}

void MpvMediaControl::setRate(float rate)
{
    double s = rate;
    const int r =
        std::isfinite(s) ? mpv_set_property(mpv_, "speed", MPV_FORMAT_DOUBLE, &s) : MPV_ERROR_INVALID_PARAMETER;
    if (r < 0)
        throw QyrError(err::InvalidPropertyValue,
                       QStringLiteral("Velocità di riproduzione non valida (%1): %2").arg(rate).arg(mpvText(r)));
}

int MpvMediaControl::volume()
{
    double v = 100;
    readDouble("volume", v);
    return qBound(0, static_cast<int>(std::lround(v)), 100);
}

void MpvMediaControl::setVolume(int volume)
{
    double v = qBound(0, volume, 100);
    const int r = mpv_set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &v);
    if (r < 0)
        throw QyrError(err::MediaHost, QStringLiteral("Impossibile impostare il volume: %1").arg(mpvText(r)));
}

void MpvMediaControl::setAutoStart(bool on) { autoStart_ = on; }
void MpvMediaControl::setUiMode(const QString &mode) { uiMode_ = mode; }
void MpvMediaControl::setEnabled(bool on) { enabled_ = on; }

int MpvMediaControl::imageSourceWidth()
{
    if (!loaded_)
        return 0;
    const qint64 w = readInt("video-params/w");
    return static_cast<int>(w > 0 ? w : readInt("width"));
}

int MpvMediaControl::imageSourceHeight()
{
    if (!loaded_)
        return 0;
    const qint64 h = readInt("video-params/h");
    return static_cast<int>(h > 0 ? h : readInt("height"));
}

QString MpvMediaControl::versionInfo()
{
    char *v = mpv_get_property_string(mpv_, "mpv-version");
    const QString text = v ? QString::fromUtf8(v) : QString();
    mpv_free(v);
    return text;
}

} // namespace qyr
