#pragma once
// The real main window: one widget per control model, the web view where the
// browser model says, and the window's own events passed to the logic.
#include "binder.h"
#include "programvoice.h"

#include <QWidget>
#include <functional>

namespace qyr {

class frmBrowser;
class Control;
class IFiles;
class ISpeech;
class WebBrowser;
class MessageLabel;

class MainWindow : public QWidget {
public:
    MainWindow(IFiles &files, ISpeech &speech);
    ~MainWindow() override;
    WebBrowser &browser() { return *browser_; }
    void bind(frmBrowser &f);
    // Called when a close request has been granted, just before the program ends.
    std::function<void()> onClosing;
    // Called with each message the program's own voice has spoken.
    std::function<void(const QString &)> onSpoken;

protected:
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    struct Panels;
    void bindTitle(frmBrowser &f);
    void bindBookmarkPanel(frmBrowser &f, Panels &p);
    void bindImportExport(frmBrowser &f, Panels &p);
    void bindOptionsPanel(frmBrowser &f, Panels &p);
    void bindMessageBand(frmBrowser &f);
    void bindDebugPanel(frmBrowser &f, Panels &p);
    void bindFocus(frmBrowser &f, const Panels &p);
    void relayout();
    void focusFollows(Control &panel, QWidget *box, std::function<QWidget *()> first, QWidget *back);
    // The keyboard leaves a panel that has closed: to back when it is on
    // show, else to the page's document.
    void giveFocusBack(QWidget *panel, QWidget *back);
    frmBrowser *f_ = nullptr;
    WebBrowser *browser_;
    Twips twips_;
    ProgramVoice voice_;
    MessageLabel *pageTitle_ = nullptr;
};

} // namespace qyr
