#include "layout.h"
#include "frmbrowser.h"

#include <algorithm>
#include <cmath>

namespace qyr {

void Layout::Form_Resize(float W, float H)
{
    if (f.windowState == WindowState::Minimized)
        return;
    Guard(f.er, QStringLiteral("Form_Resize"), [&] {
        auto &wb = f.objwb;
        auto &cfg = f.frmconfigurazione;
        auto &osd = f.frmOSD;
        auto &ok = f.cmdImpExp[2];
        auto &cancel = f.cmdImpExp[3];
        auto &ie = f.frmImpExp;
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
        f.lblOSD.setWidth(osd.width());
        f.fraMarcatori.setGeometry(wb.left(), wb.top(), wb.width(), wb.height());
        auto &lm = f.ListMarkers;
        lm.setLeft(100);
        lm.setTop(f.cmdImpExp[1].top() + f.cmdImpExp[1].height() + 150.0f);
        lm.setWidth(f.fraMarcatori.width() - 200.0f);
        lm.setHeight(f.fraMarcatori.height() - 800.0f);
        ie.setTop(lm.top());
        ie.setLeft(lm.left());
        ie.setHeight(lm.height());
        ie.setWidth(lm.width());
        ok.setLeft(ie.width() - (ok.width() + 100.0f));
        cancel.setLeft(ie.width() - (cancel.width() + 100.0f));
        f.Drive.setLeft(100);
        f.Drive.setTop(ie.height() - (f.Drive.height() + 100.0f));
        f.Drive.setWidth((ie.width() - (ok.width() + 400.0f)) / 2.0f);
        f.Dir.setLeft(100);
        f.Dir.setWidth(f.Drive.width());
        f.Dir.setHeight(ie.height() - (f.Drive.height() + 200.0f + f.Dir.top()));
        f.File.setTop(cancel.top());
        f.File.setLeft(f.Dir.width() + f.Dir.left() + 200.0f);
        f.File.setHeight(ie.height() - (f.File.top() + 200.0f));
        f.File.setWidth(ok.left() - (f.Dir.width() + 400.0f));
        f.TextFileName.setTop(ok.top());
        f.TextFileName.setLeft(f.File.left());
        f.TextFileName.setWidth(f.File.width());
        f.lblNomeFile.setLeft(f.TextFileName.left());
    });
}

// Centred, and never past the page's area: a window too short for the whole
// panel shows it from its top, and it scrolls.
void Layout::placeOptions(float H)
{
    auto &cfg = f.frmconfigurazione;
    const float top = f.objwb.top();
    const float room = std::max(0.0f, H - 600.0f);
    const float h = std::min(kOptionsHeight, room);
    cfg.setHeight(h);
    cfg.setTop(std::max(top, std::min(std::trunc((H - h) / 2.0f), top + room - h)));
}

} // namespace qyr
