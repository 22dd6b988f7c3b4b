#pragma once
// Places the browser and the panels whenever the main window changes size.
namespace qyr {

class frmBrowser;

class Layout {
public:
    explicit Layout(frmBrowser &f) : f(f) {}
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
    frmBrowser &f;
};

} // namespace qyr
