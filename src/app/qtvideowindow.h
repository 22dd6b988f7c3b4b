#pragma once
// The media host's window: a top-level window with a surface that shows the
// video, hidden until a video plays. The surface is a native child that
// libmpv draws into, or the widget a player of its own gives.
#include "../platform/videowindow.h"

#include <QWidget>
#include <functional>

namespace qyr {

class VideoWindow : public QWidget, public IVideoWindow {
public:
    // surface: the widget that shows the video; none: a native child for libmpv.
    explicit VideoWindow(QWidget *surface = nullptr);
    QWidget *surface() const { return surface_; }

    bool visible() override { return isVisible(); }
    void setVisible(bool on) override;
    void setMaximized(bool on) override;
    void setGeometryTwips(float left, float top, float width, float height) override;
    float screenWidthTwips() override;
    float screenHeightTwips() override;
    double twipsPerPixelX() override;
    double twipsPerPixelY() override;

    std::function<void(bool shown)> onShown;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    QWidget *surface_;
};

} // namespace qyr
