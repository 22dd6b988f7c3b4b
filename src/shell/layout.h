#pragma once
// Places the browser and the panels whenever the main window changes size.
#include "../services/panels.h"
#include <array>
#include <utility>

namespace qyr {

class ErrorReporter;

enum class WindowState { Normal, Minimized, Maximized };

class Layout {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        const WindowState &windowState;
        Control &objwb;
        OptionsControls options;
        OsdControls osd;
        BookmarkControls bookmarks;
        FileChooserControls chooser;
    };

    explicit Layout(Uses uses) : u(std::move(uses)) {}
    // W and H: the window's outer size in twips.
    void Form_Resize(float W, float H);
    // The options panel within a window H twips high (the window system may
    // leave it shorter than the size the other rules are laid out for).
    void placeOptions(float H);

    // The smallest outer size, in twips, at which every rule below still
    // has room and the options panel shows whole; the window keeps to it.
    static constexpr float kMinWidth = 7200;
    static constexpr float kMinHeight = 6600;
    // The options panel's own height, all of its controls in view.
    static constexpr float kOptionsHeight = 5000;

private:
    Uses u;
};

} // namespace qyr
