#pragma once
// Places the browser and the panels whenever the main window changes size.
namespace qyr {

class frmBrowser;

class Layout {
public:
    explicit Layout(frmBrowser &f) : f(f) {}
    // W and H: the window's outer size in twips.
    void Form_Resize(float W, float H);

private:
    frmBrowser &f;
};

} // namespace qyr
