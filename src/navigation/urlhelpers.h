#pragma once
// Page keys and link-to-file conversion, and the browser's housekeeping
// handlers (title change, window closing).
#include <QString>

namespace qyr {

class frmBrowser;

class UrlHelpers {
public:
    explicit UrlHelpers(frmBrowser &f) : f(f) {}

private:
    frmBrowser &f;
};

} // namespace qyr
