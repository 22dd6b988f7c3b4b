#include "qtmedia.h"
#include "../errors.h"

#include <QAudioOutput>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <cmath>

namespace qyr {

namespace {
// Qt Multimedia's failures in the reader's language; GStreamer's own English
// words only after an Italian sentence.
QString describe(QMediaPlayer::Error error, const QString &message)
{
    switch (error) {
    case QMediaPlayer::FormatError: return QStringLiteral("formato del file non riconosciuto o non riproducibile");
    case QMediaPlayer::ResourceError: return QStringLiteral("il file non si può aprire (manca, o permesso negato)");
    case QMediaPlayer::AccessDeniedError: return QStringLiteral("permesso negato");
    case QMediaPlayer::NetworkError: return QStringLiteral("errore di rete");
    default: return QStringLiteral("errore del motore multimediale: %1").arg(message);
    }
}
} // namespace

QtVideoSurface::QtVideoSurface(QWidget *parent) : QWidget(parent), sink_(new QVideoSink(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame &f) { onFrame(f); });
}

void QtVideoSurface::onFrame(const QVideoFrame &frame)
{
    // Frames come while the window is hidden too: only a shown one is drawn.
    if (!isVisible())
        return;
    frame_ = frame.toImage();
    update();
}

// The frame as large as fits, in its own proportions, on black.
void QtVideoSurface::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (frame_.isNull())
        return;
    const QSize size = frame_.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, frame_);
}

QtMediaControl::QtMediaControl(QtVideoSurface *video, const QString &audioOut)
    : player_(new QMediaPlayer(this)), audio_(new QAudioOutput(this)), video_(video)
{
    if (!player_->isAvailable())
        throw QyrError(err::MediaHost,
                       QStringLiteral("Qt Multimedia non ha un motore di riproduzione su questo sistema"));
    if (audioOut == QLatin1String("null") || audioOut.startsWith(QLatin1String("pcm:")))
        audio_->setMuted(true); // real timing, no sound
    else if (!audioOut.isEmpty() && audioOut != QLatin1String("default"))
        throw QyrError(
            err::MediaHost,
            QStringLiteral("Uscita audio sconosciuta: %1 (valori ammessi: null, pcm:FILE, default)").arg(audioOut));
    player_->setAudioOutput(audio_);
    if (video_) {
        player_->setVideoSink(video_->sink());
        // The window is placed by the video's size, known with its first frame.
        connect(video_->sink(), &QVideoSink::videoSizeChanged, this, [this] { sync(); });
    }
    connect(player_, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus s) { onStatus(int(s)); });
    connect(player_, &QMediaPlayer::playbackStateChanged, this, [this] { sync(); });
    connect(player_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error error, const QString &message) { onError(describe(error, message)); });
    connect(player_, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (seekTarget_ >= 0 && std::abs(double(ms) / 1000.0 - seekTarget_) < 1.0)
            seekTarget_ = -1; // the player has got there: its own position counts again
    });
}

QtMediaControl::~QtMediaControl()
{
    // Nothing the player says while it shuts down concerns anyone any more.
    player_->disconnect(this);
    if (video_)
        video_->sink()->disconnect(this);
    player_->stop();
}

bool QtMediaControl::loaded() const
{
    switch (player_->mediaStatus()) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::StalledMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia: return true;
    default: return false;
    }
}

void QtMediaControl::setState(int s)
{
    if (s == state_)
        return;
    state_ = s;
    PlayStateChange(s);
}

namespace {

// A packed book's file as the device Qt Multimedia reads.
class PackedDevice : public QIODevice {
public:
    PackedDevice(std::unique_ptr<IReadStream> stream, QObject *parent) : QIODevice(parent), stream_(std::move(stream)) {}
    bool isSequential() const override { return false; }
    qint64 size() const override { return stream_->size(); }
    bool seek(qint64 pos) override { return stream_->seek(pos) && QIODevice::seek(pos); }

protected:
    qint64 readData(char *data, qint64 max) override { return stream_->read(data, max); }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    std::unique_ptr<IReadStream> stream_;
};

} // namespace

void QtMediaControl::load()
{
    failed_ = false;
    // Book paths come the Windows way ("\", "file:///", any letter case).
    QString file = url_;
    if (admitPath) {
        const Result<QString> admitted = admitPath(url_);
        if (!admitted) {
            // Nothing of it is opened; it ends as a file that cannot be played.
            player_->setSource(QUrl());
            QTimer::singleShot(0, this, [this, url = url_, text = admitted.failure().description] {
                if (url_ != url || failed_)
                    return;
                failed_ = true;
                wantPlay_ = false;
                pendingStart_ = seekTarget_ = -1;
                const QPointer<QtMediaControl> alive(this);
                setState(playstate::Stopped);
                if (alive)
                    Error(text);
            });
            return;
        }
        file = *admitted;
    }
    QIODevice *old = std::exchange(packedDevice_, nullptr);
    std::unique_ptr<IReadStream> stream = packed_ && packed_->isPacked(file) ? packed_->openStream(file) : nullptr;
    if (stream) {
        packedDevice_ = new PackedDevice(std::move(stream), this);
        packedDevice_->open(QIODevice::ReadOnly);
        // The name tells the player what kind of file it is.
        player_->setSourceDevice(packedDevice_, QUrl::fromLocalFile(file));
    } else {
        player_->setSource(QUrl::fromLocalFile(file));
    }
    // Once the player has let it go.
    if (old)
        old->deleteLater();
}

// Brings what was asked for into effect once the player is able to: the
// kept position, and the playing state once sound (and a video's first
// frame) really flows.
void QtMediaControl::sync()
{
    if (!loaded() || player_->playbackState() == QMediaPlayer::StoppedState)
        return;
    if (pendingStart_ >= 0) {
        const double s = pendingStart_;
        pendingStart_ = -1;
        seekTarget_ = s;
        player_->setPosition(qint64(std::llround(s * 1000)));
    }
    if (!wantPlay_ || player_->playbackState() != QMediaPlayer::PlayingState)
        return;
    if (video_ && player_->hasVideo() && video_->sink()->videoSize().isEmpty())
        return;
    if (player_->playbackRate() != qreal(rate_))
        player_->setPlaybackRate(rate_);
    setState(playstate::Playing);
}

void QtMediaControl::onStatus(int status)
{
    if (status == QMediaPlayer::EndOfMedia) {
        if (ended_ || url_.isEmpty() || failed_)
            return;
        // The end of the file before can reach the new one just after it has
        // started (a video's last stream ending late): an end far from the
        // file's length is not its end, and playing goes on.
        const qint64 length = player_->duration();
        if (length > 0 && player_->position() < length - 1000) {
            if (wantPlay_)
                player_->play();
            return;
        }
        endOfMedia();
        return;
    }
    sync();
}

void QtMediaControl::onError(const QString &message)
{
    if (url_.isEmpty() || failed_)
        return;
    failed_ = true;
    wantPlay_ = false;
    pendingStart_ = seekTarget_ = -1;
    const QString text = QStringLiteral("Impossibile riprodurre il file %1: %2").arg(url_, message);
    const QPointer<QtMediaControl> alive(this);
    setState(playstate::Stopped);
    if (alive)
        Error(text);
}

// The natural end: 8 once, then stopped at 0 with the file kept.
void QtMediaControl::endOfMedia()
{
    ended_ = true;
    wantPlay_ = false;
    pendingStart_ = 0;
    seekTarget_ = -1;
    const QPointer<QtMediaControl> alive(this);
    setState(playstate::MediaEnded);
    // A handler may already have moved on (a new file, play again).
    if (alive && state_ == playstate::MediaEnded && !wantPlay_)
        setState(playstate::Stopped);
}

QString QtMediaControl::url() { return url_; }

void QtMediaControl::setUrl(const QString &name)
{
    const int before = state_;
    // A position asked for the old file does not carry over; one asked while
    // no file was set is where the new one starts.
    if (!url_.isEmpty())
        pendingStart_ = -1;
    url_ = name;
    ended_ = false;
    seekTarget_ = -1;
    if (name.isEmpty()) {
        wantPlay_ = failed_ = false;
        pendingStart_ = -1;
        player_->setSource(QUrl());
        if (before != playstate::Undefined)
            setState(playstate::Stopped);
        return;
    }
    wantPlay_ = autoStart_;
    const QPointer<QtMediaControl> alive(this);
    load();
    // The old file's run is over: each file that starts then reports its
    // own playing state (the host shows or hides the video window on them).
    if (alive && (before == playstate::Playing || before == playstate::Paused))
        setState(playstate::Stopped);
    if (alive && wantPlay_ && !failed_) {
        player_->play();
        sync();
    }
}

// Every source replaces the last one, so there is never a queue to clear.
void QtMediaControl::clearPlaylist() {}

void QtMediaControl::play()
{
    if (url_.isEmpty())
        return;
    ended_ = false;
    wantPlay_ = true;
    const QPointer<QtMediaControl> alive(this);
    if (failed_)
        load(); // after an error: try the file again
    if (!alive || failed_)
        return;
    player_->play();
    sync();
}

void QtMediaControl::pause()
{
    if (url_.isEmpty() || playState() != playstate::Playing)
        return;
    wantPlay_ = false;
    player_->pause();
    setState(playstate::Paused);
}

void QtMediaControl::stop()
{
    if (url_.isEmpty())
        return;
    wantPlay_ = false;
    ended_ = false;
    seekTarget_ = -1;
    pendingStart_ = 0;
    // Paused rather than stopped, so that the file stays loaded at 0.
    if (player_->playbackState() != QMediaPlayer::StoppedState && !failed_) {
        player_->pause();
        sync();
    }
    setState(playstate::Stopped);
}

// Playing from the moment it is asked for, as the classic control answered;
// the signal still waits for the player to really play.
int QtMediaControl::playState() { return wantPlay_ ? playstate::Playing : state_; }

double QtMediaControl::currentPosition()
{
    if (pendingStart_ >= 0)
        return pendingStart_;
    if (seekTarget_ >= 0)
        return seekTarget_;
    if (!loaded() || player_->playbackState() == QMediaPlayer::StoppedState)
        return 0.0;
    return double(player_->position()) / 1000.0;
}

void QtMediaControl::setCurrentPosition(double seconds)
{
    if (!(seconds > 0))
        seconds = 0; // also NaN
    ended_ = false;
    pendingStart_ = seconds;
    sync(); // at once when the file is open, else when it plays
}

double QtMediaControl::duration()
{
    const qint64 ms = player_->duration();
    return ms > 0 ? double(ms) / 1000.0 : 0.0;
}

float QtMediaControl::rate() { return rate_; }

void QtMediaControl::setRate(float rate)
{
    if (!std::isfinite(rate) || rate <= 0)
        throw QyrError(err::InvalidPropertyValue, QStringLiteral("Velocità di riproduzione non valida (%1)").arg(rate));
    rate_ = rate;
    player_->setPlaybackRate(rate);
}

int QtMediaControl::volume() { return int(std::lround(audio_->volume() * 100)); }

void QtMediaControl::setVolume(int volume) { audio_->setVolume(float(qBound(0, volume, 100)) / 100.0f); }

void QtMediaControl::setGain(double gain)
{
    audio_->setVolume(float(std::isfinite(gain) ? qBound(0.0, gain, 1.0) : 0.0));
}

void QtMediaControl::setAutoStart(bool on) { autoStart_ = on; }
void QtMediaControl::setUiMode(const QString &mode) { uiMode_ = mode; }
void QtMediaControl::setEnabled(bool on) { enabled_ = on; }

int QtMediaControl::imageSourceWidth()
{
    const QSize s = video_ ? video_->sink()->videoSize() : QSize();
    return s.isValid() ? s.width() : player_->metaData().value(QMediaMetaData::Resolution).toSize().width();
}

int QtMediaControl::imageSourceHeight()
{
    const QSize s = video_ ? video_->sink()->videoSize() : QSize();
    return s.isValid() ? s.height() : player_->metaData().value(QMediaMetaData::Resolution).toSize().height();
}

QString QtMediaControl::versionInfo() { return QStringLiteral("Qt Multimedia %1").arg(QLatin1String(qVersion())); }

} // namespace qyr
