#include "layout.h"

#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"

#include <algorithm>
#include <cmath>

namespace qyr {

void Layout::Form_Resize(float W, float H)
{
    if (u.windowState == WindowState::Minimized)
        return;
    Guard(u.er, QStringLiteral("Form_Resize"), [&] {
        auto &wb = u.objwb;
        auto &cfg = u.options.frmconfigurazione;
        auto &osd = u.osd.frmOSD;
        auto &ok = u.bookmarks.cmdImpExp[2];
        auto &cancel = u.bookmarks.cmdImpExp[3];
        auto &ie = u.chooser.frmImpExp;
        wb.setTop(100);
        wb.setLeft(100);
        wb.setWidth(W - 300.0f);
        wb.setHeight(H - 600.0f);
        placeOptions(H);
        cfg.setLeft(std::max(0.0f, std::trunc((W - cfg.width()) / 2.0f)));
        osd.setLeft(0);
        osd.setWidth(W);
        osd.setTop((H - osd.height()) / 2.0f);
        osd.setVisible(false);
        u.osd.lblOSD.setWidth(osd.width());
        u.bookmarks.fraMarcatori.setGeometry(wb.left(), wb.top(), wb.width(), wb.height());
        auto &lm = u.bookmarks.ListMarkers;
        lm.setLeft(100);
        lm.setTop(u.bookmarks.cmdImpExp[1].top() + u.bookmarks.cmdImpExp[1].height() + 150.0f);
        lm.setWidth(u.bookmarks.fraMarcatori.width() - 200.0f);
        lm.setHeight(u.bookmarks.fraMarcatori.height() - 800.0f);
        ie.setTop(lm.top());
        ie.setLeft(lm.left());
        ie.setHeight(lm.height());
        ie.setWidth(lm.width());
        ok.setLeft(ie.width() - (ok.width() + 100.0f));
        cancel.setLeft(ie.width() - (cancel.width() + 100.0f));
        u.chooser.Drive.setLeft(100);
        u.chooser.Drive.setTop(ie.height() - (u.chooser.Drive.height() + 100.0f));
        u.chooser.Drive.setWidth((ie.width() - (ok.width() + 400.0f)) / 2.0f);
        u.chooser.Dir.setLeft(100);
        u.chooser.Dir.setWidth(u.chooser.Drive.width());
        u.chooser.Dir.setHeight(ie.height() - (u.chooser.Drive.height() + 200.0f + u.chooser.Dir.top()));
        u.chooser.File.setTop(cancel.top());
        u.chooser.File.setLeft(u.chooser.Dir.width() + u.chooser.Dir.left() + 200.0f);
        u.chooser.File.setHeight(ie.height() - (u.chooser.File.top() + 200.0f));
        u.chooser.File.setWidth(ok.left() - (u.chooser.Dir.width() + 400.0f));
        u.chooser.TextFileName.setTop(ok.top());
        u.chooser.TextFileName.setLeft(u.chooser.File.left());
        u.chooser.TextFileName.setWidth(u.chooser.File.width());
        u.chooser.lblNomeFile.setLeft(u.chooser.TextFileName.left());
    });
}

// Centred, and never past the page's area: a window too short for the whole
// panel shows it from its top, and it scrolls.
void Layout::placeOptions(float H)
{
    auto &cfg = u.options.frmconfigurazione;
    const float top = u.objwb.top();
    const float room = std::max(0.0f, H - 600.0f);
    const float h = std::min(kOptionsHeight, room);
    cfg.setHeight(h);
    cfg.setTop(std::max(top, std::min(std::trunc((H - h) / 2.0f), top + room - h)));
}

} // namespace qyr
