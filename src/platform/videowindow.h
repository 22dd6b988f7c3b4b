#pragma once
// The media host's own window, hidden while audio plays and shown for video.
// Sizes in twips, like the rest of the window logic.
#include "media.h"
#include "signal.h"

#include <memory>

namespace qyr {

class IVideoWindow {
public:
    virtual ~IVideoWindow() = default;
    virtual bool visible() = 0;
    virtual void setVisible(bool on) = 0;
    virtual void setMaximized(bool on) = 0; // false: the normal window state
    virtual void setGeometryTwips(float left, float top, float width, float height) = 0;
    virtual float screenWidthTwips() = 0;
    virtual float screenHeightTwips() = 0;
    virtual double twipsPerPixelX() = 0;
    virtual double twipsPerPixelY() = 0;

    Signal<int /*virtual-key code*/> KeyDown;
};

// What a new version 9 host is made of: the control and the window that shows its video.
struct MediaHostParts {
    std::unique_ptr<IMediaControl> control;
    std::unique_ptr<IVideoWindow> window;
};

} // namespace qyr
