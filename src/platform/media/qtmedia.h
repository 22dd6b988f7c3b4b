#pragma once
// The media control on Qt Multimedia (QMediaPlayer, with GStreamer on Linux),
// the engine of the player of other versions. It keeps the same contract as
// the libmpv control: the file name stays set after the media ends or is
// stopped, "stop" leaves the file loaded at 0, a position asked for before the
// file plays is kept and applied when it does, and playing is reported when
// sound really flows, not when it is asked for.
#include "../files.h"
#include "../media.h"
#include "../result.h"

#include <QImage>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>

class QAudioOutput;
class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

namespace qyr {

// Shows the player's video frames, painted as images. Qt's own video widget
// draws through OpenGL, and with GStreamer on a display without a GPU (Xvfb,
// offscreen) its first frame blocks the program for good; a frame painted
// by the widget itself shows on every display.
class QtVideoSurface : public QWidget {
public:
    explicit QtVideoSurface(QWidget *parent = nullptr);
    QVideoSink *sink() const { return sink_; }

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    void onFrame(const QVideoFrame &frame);
    QVideoSink *sink_;
    QImage frame_;
};

class QtMediaControl : public QObject, public IMediaControl {
    Q_OBJECT
public:
    // video: the widget that shows video, or nullptr for none. audioOut:
    // "null" and "pcm:FILE" play silently (Qt Multimedia writes no sound
    // file), "default" to the sound card. Throws QyrError(err::MediaHost)
    // when Qt Multimedia has no working backend.
    QtMediaControl(QtVideoSurface *video, const QString &audioOut);
    ~QtMediaControl() override;

    QString url() override;
    void setUrl(const QString &url) override;
    void clearPlaylist() override;
    void play() override;
    void pause() override;
    void stop() override;
    int playState() override;
    double currentPosition() override;
    void setCurrentPosition(double seconds) override;
    double duration() override;
    float rate() override;
    void setRate(float rate) override;
    int volume() override;
    void setVolume(int volume) override;
    void setGain(double gain) override;
    void setAutoStart(bool on) override;
    void setUiMode(const QString &mode) override;
    void setEnabled(bool on) override;
    int imageSourceWidth() override;
    int imageSourceHeight() override;
    QString versionInfo() override;

    // Turns the name the host gives into the file to open, or refuses it
    // (a file the open book may not reach): the refusal is reported as an
    // Error and nothing is opened. Unset: the name as given.
    std::function<Result<QString>(const QString &)> admitPath;
    // Where the files of a book packed in a zip are read from: such a file
    // is handed to the player as a device of the program's own.
    void setPackedFiles(IFiles *files) { packed_ = files; }

private:
    IFiles *packed_ = nullptr;
    QIODevice *packedDevice_ = nullptr; // the packed file playing: a child made after the player, so deleted after it
    void load();
    void sync();
    void onStatus(int status);
    void onError(const QString &message);
    void endOfMedia();
    bool loaded() const;
    void setState(int s);

    QMediaPlayer *player_;
    QAudioOutput *audio_;
    QtVideoSurface *video_;
    QString url_; // kept ourselves, as the classic control does
    int state_ = playstate::Undefined;
    bool wantPlay_ = false;    // playing was asked for and not since undone
    bool ended_ = false;       // this run's end has been reported
    bool failed_ = false;      // the file could not be played: play() loads it again
    double pendingStart_ = -1; // position to go to once the file plays or pauses
    double seekTarget_ = -1;   // where we put it, until the player reports it there
    float rate_ = 1;
    bool autoStart_ = false;
    bool enabled_ = true;
    QString uiMode_;
};

} // namespace qyr
