#pragma once
// Passes every call to the real media control and tells the automation
// channel what the player did or reported.
#include "../platform/media.h"

#include <QVariant>
#include <functional>
#include <memory>

namespace qyr {

class ObservedMedia : public IMediaControl {
public:
    using Report = std::function<void(const QString &action, const QVariant &value)>;
    ObservedMedia(std::unique_ptr<IMediaControl> inner, Report report)
        : inner_(std::move(inner)), report_(std::move(report))
    {
        inner_->PlayStateChange.connect([this](int s) {
            if (s == playstate::Playing)
                report_(QStringLiteral("playing"), inner_->url());
            else if (s == playstate::MediaEnded)
                report_(QStringLiteral("ended"), inner_->url());
            PlayStateChange(s);
        });
        inner_->Error.connect([this](const QString &m) { Error(m); });
    }
    QString url() override { return inner_->url(); }
    void setUrl(const QString &url) override
    {
        report_(QStringLiteral("file"), url);
        inner_->setUrl(url);
    }
    void clearPlaylist() override { inner_->clearPlaylist(); }
    void play() override
    {
        report_(QStringLiteral("play"), QVariant());
        inner_->play();
    }
    void pause() override
    {
        report_(QStringLiteral("pause"), QVariant());
        inner_->pause();
    }
    void stop() override
    {
        report_(QStringLiteral("stop"), QVariant());
        inner_->stop();
    }
    int playState() override { return inner_->playState(); }
    double currentPosition() override { return inner_->currentPosition(); }
    void setCurrentPosition(double s) override
    {
        report_(QStringLiteral("seek"), s);
        inner_->setCurrentPosition(s);
    }
    double duration() override { return inner_->duration(); }
    float rate() override { return inner_->rate(); }
    void setRate(float r) override
    {
        report_(QStringLiteral("rate"), double(r));
        inner_->setRate(r);
    }
    int volume() override { return inner_->volume(); }
    void setVolume(int v) override
    {
        report_(QStringLiteral("volume"), v);
        inner_->setVolume(v);
    }
    void setGain(double g) override
    {
        report_(QStringLiteral("volume"), g);
        inner_->setGain(g);
    }
    void setAutoStart(bool on) override { inner_->setAutoStart(on); }
    void setUiMode(const QString &m) override { inner_->setUiMode(m); }
    void setEnabled(bool on) override { inner_->setEnabled(on); }
    int imageSourceWidth() override { return inner_->imageSourceWidth(); }
    int imageSourceHeight() override { return inner_->imageSourceHeight(); }
    QString versionInfo() override { return inner_->versionInfo(); }

private:
    std::unique_ptr<IMediaControl> inner_;
    Report report_;
};

} // namespace qyr
