#pragma once
// The media control on libmpv. It behaves like the classic control the host
// logic was written for, not like mpv's defaults: the file name stays set
// after the media ends or is stopped, "stop" leaves the file loaded, paused
// at 0, and a position asked for before the file has loaded is kept and
// applied when it loads. Every state change reaches PlayStateChange on the UI
// thread; mpv's events are drained there, never waited for.
#include "../files.h"
#include "../media.h"
#include "../result.h"

#include <QObject>
#include <QString>
#include <functional>

#include <atomic>
#include <cstdint>

struct mpv_handle;
struct mpv_stream_cb_info;
class QWidget;

namespace qyr {

class MpvMediaControl : public QObject, public IMediaControl {
    Q_OBJECT
public:
    // videoSurface: a native child widget that shows video, or nullptr for
    // none. audioOut: "null", "pcm:FILE" or "default". Throws
    // QyrError(err::MediaHost) when libmpv cannot start or audioOut is none
    // of these.
    MpvMediaControl(QWidget *videoSurface, const QString &audioOut);
    ~MpvMediaControl() override;

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
    // (as admitPath names it) is handed to mpv as a stream of the program's
    // own, never unpacked to disk.
    void setPackedFiles(IFiles *files);

    // What the host's uiMode and enabled last asked for (mpv needs neither).
    QString uiMode() const { return uiMode_; }
    bool isEnabled() const { return enabled_; }

private:
    void refuse(const QString &text);
    static int openPacked(void *self, char *uri, ::mpv_stream_cb_info *info);
    IFiles *packed_ = nullptr;
    [[noreturn]] void fail(const QString &text);
    void option(const char *name, const QByteArray &value);
    void setQuietOptions();
    void setVideoOutput(QWidget *videoSurface);
    void setAudioOutput(const QString &audioOut);
    struct Event;
    static void wakeup(void *self);
    void drain();
    void handle(const Event &e);
    void onLoadHook();
    void onFileLoaded();
    void onEndFile(const Event &e);
    void endOfMedia();
    void fileGone();
    void load();
    void setPause(bool on);
    bool seekTo(double seconds);
    bool readDouble(const char *name, double &out);
    qint64 readInt(const char *name);
    void setState(int s);

    mpv_handle *mpv_ = nullptr;
    std::atomic<bool> drainQueued_{false};

    QString url_;                 // kept ourselves: mpv forgets it when idle
    std::int64_t entryId_ = -1;   // playlist entry of our current load
    std::int64_t startedId_ = -1; // entry of the last start-file seen
    bool inMpv_ = false;          // the current file is (being) loaded in mpv
    bool loaded_ = false;         // file-loaded seen for the current entry
    bool wantPlay_ = false;       // playing was asked for and not since undone
    bool heldDuringLoad_ = false; // paused or stopped before it loaded
    bool ended_ = false;          // this run's end has been reported
    double pendingStart_ = -1;    // position to start at when the file loads
    double appliedStart_ = -1;    // what the load hook gave mpv as start
    double seekTarget_ = -1;      // position we put it at, until it plays on
    bool seekPending_ = false;    // mpv has not yet restarted after that seek
    int state_ = playstate::Undefined;
    bool autoStart_ = false;
    bool enabled_ = true;
    QString uiMode_;
};

} // namespace qyr
