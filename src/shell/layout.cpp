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
        auto &cfg = u.frmconfigurazione;
        auto &osd = u.frmOSD;
        auto &ok = u.cmdImpExp[2];
        auto &cancel = u.cmdImpExp[3];
        auto &ie = u.frmImpExp;
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
        u.lblOSD.setWidth(osd.width());
        u.fraMarcatori.setGeometry(wb.left(), wb.top(), wb.width(), wb.height());
        auto &lm = u.ListMarkers;
        lm.setLeft(100);
        lm.setTop(u.cmdImpExp[1].top() + u.cmdImpExp[1].height() + 150.0f);
        lm.setWidth(u.fraMarcatori.width() - 200.0f);
        lm.setHeight(u.fraMarcatori.height() - 800.0f);
        ie.setTop(lm.top());
        ie.setLeft(lm.left());
        ie.setHeight(lm.height());
        ie.setWidth(lm.width());
        ok.setLeft(ie.width() - (ok.width() + 100.0f));
        cancel.setLeft(ie.width() - (cancel.width() + 100.0f));
        u.Drive.setLeft(100);
        u.Drive.setTop(ie.height() - (u.Drive.height() + 100.0f));
        u.Drive.setWidth((ie.width() - (ok.width() + 400.0f)) / 2.0f);
        u.Dir.setLeft(100);
        u.Dir.setWidth(u.Drive.width());
        u.Dir.setHeight(ie.height() - (u.Drive.height() + 200.0f + u.Dir.top()));
        u.File.setTop(cancel.top());
        u.File.setLeft(u.Dir.width() + u.Dir.left() + 200.0f);
        u.File.setHeight(ie.height() - (u.File.top() + 200.0f));
        u.File.setWidth(ok.left() - (u.Dir.width() + 400.0f));
        u.TextFileName.setTop(ok.top());
        u.TextFileName.setLeft(u.File.left());
        u.TextFileName.setWidth(u.File.width());
        u.lblNomeFile.setLeft(u.TextFileName.left());
    });
}

// Centred, and never past the page's area: a window too short for the whole
// panel shows it from its top, and it scrolls.
void Layout::placeOptions(float H)
{
    auto &cfg = u.frmconfigurazione;
    const float top = u.objwb.top();
    const float room = std::max(0.0f, H - 600.0f);
    const float h = std::min(kOptionsHeight, room);
    cfg.setHeight(h);
    cfg.setTop(std::max(top, std::min(std::trunc((H - h) / 2.0f), top + room - h)));
}

} // namespace qyr
