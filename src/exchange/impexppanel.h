#pragma once
// The bookmark import/export panel: choosing a file, exporting the settings
// tree to it, or importing a registry text file or a hive from it.
#include <QtGlobal>

namespace qyr {

class frmBrowser;

class ImpExpPanel {
public:
    explicit ImpExpPanel(frmBrowser &f) : f(f) {}

    // Subscribes the handlers to the panel's controls. Calling it again
    // changes nothing.
    void connect();

private:
    frmBrowser &f;
    bool connected_ = false;
};

} // namespace qyr
