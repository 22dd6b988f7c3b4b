#include "mainwindow.h"
#include "../platform/browser/webbrowser.h"
#include "../shell/frmbrowser.h"
#include "accessibility.h"
#include "keycodes.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QWebEngineView>

#include <QTimer>
#include <algorithm>
#include <cmath>

namespace qyr {

MainWindow::MainWindow(IFiles &files, ISpeech &speech) : voice_(speech)
{
    setObjectName(QStringLiteral("frmBrowser"));
    browser_ = new WebBrowser(files, this);
    const double dpiX = logicalDpiX() > 0 ? logicalDpiX() : 96;
    const double dpiY = logicalDpiY() > 0 ? logicalDpiY() : 96;
    twips_.perPixelX = 1440.0 / dpiX;
    twips_.perPixelY = 1440.0 / dpiY;
}

MainWindow::~MainWindow() = default;

namespace {
QLabel *caption(QWidget *parent, const QString &text, float l, float t, float w, const Twips &tw, QWidget *buddy)
{
    auto *lbl = new QLabel(text, parent);
    lbl->setGeometry(int(l / tw.perPixelX), int(t / tw.perPixelY), int(w / tw.perPixelX), int(300 / tw.perPixelY));
    lbl->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    if (buddy)
        lbl->setBuddy(buddy);
    return lbl;
}
} // namespace

// The widgets the focus rules need, made by the panel binders below.
struct MainWindow::Panels {
    QGroupBox *marks = nullptr, *importExport = nullptr, *options = nullptr, *debug = nullptr;
    QListWidget *markList = nullptr, *files = nullptr;
    QPushButton *importButton = nullptr;
    QLineEdit *fileName = nullptr, *url = nullptr;
};

void MainWindow::bind(frmBrowser &f)
{
    f_ = &f;
    // The window sees every key first, whichever of its controls has the
    // focus (the page included), and the control still gets it afterwards.
    qApp->installEventFilter(this);
    bindTitle(f);
    bindControl(f.objwb, browser_->widget(), twips_);
    Panels p;
    bindBookmarkPanel(f, p);
    bindImportExport(f, p);
    bindOptionsPanel(f, p);
    bindMessageBand(f);
    bindDebugPanel(f, p);
    bindFocus(f, p);

    // A page that closes its own window asks the exit question; on Yes the
    // window closes as if the reader had closed it.
    f.ports.browser.WindowClosing.connect([this](bool &) {
        if (f_ && f_->startup.closing())
            QTimer::singleShot(0, this, [this] { close(); });
    });
    // The options panel is the one the reader works in: nothing is drawn
    // over it, neither the message band nor the debug panel.
    p.options->raise();
    // Smaller than this, the layout rules have no room left.
    setMinimumSize(int(std::ceil(Layout::kMinWidth / twips_.perPixelX)),
                   int(std::ceil(Layout::kMinHeight / twips_.perPixelY)));
    resize(int(f.form.width() / twips_.perPixelX), int(f.form.height() / twips_.perPixelY));
}

void MainWindow::bindTitle(frmBrowser &f)
{
    // The window is named by its caption, which carries the page's title:
    // screen readers announce a window by its accessible name.
    setWindowTitle(f.caption());
    setAccessibleName(f.caption());
    setAccessibleDescription(f.form.description());
    // The page's title also shows in a line under the page, announced when
    // it changes: the one announcement screen readers never drop.
    // No description: Orca would say it after every title.
    pageTitle_ = new MessageLabel(this);
    // Hidden until it has a title to say: shown empty with the window, a
    // notification is spoken as an empty "notifica".
    pageTitle_->hide();
    f.form.PropertyChanged.connect([this, &f](Prop prop) {
        // An address such as "about:blank" is no title: the window keeps the
        // words it has (at start-up, the program's name and the book).
        if (prop != Prop::Caption || f.caption().startsWith(QLatin1String("about:"), Qt::CaseInsensitive))
            return;
        setWindowTitle(f.caption());
        setAccessibleName(f.caption());
        // Before the window is on screen its name says it as it appears: the
        // line, a notification, would say it again as it is shown with the window.
        if (!isVisible())
            return;
        pageTitle_->announce(f.caption());
        // The first title brings the line on screen, which says it then.
        pageTitle_->show();
    });
}

void MainWindow::bindBookmarkPanel(frmBrowser &f, Panels &p)
{
    p.marks = new QGroupBox(f.fraMarcatori.caption(), this);
    p.marks->setAutoFillBackground(true);
    bindControl(f.fraMarcatori, p.marks, twips_);
    p.markList = new QListWidget(p.marks);
    bindList(f.ListMarkers, p.markList, twips_);
    bindButton(f.cmdImpExp[0], new QPushButton(p.marks), twips_);
    p.importButton = new QPushButton(p.marks);
    bindButton(f.cmdImpExp[1], p.importButton, twips_);
    bindButton(f.cmdImpExp[4], new QPushButton(p.marks), twips_);
}

// The import/export panel, inside the bookmark panel.
void MainWindow::bindImportExport(frmBrowser &f, Panels &p)
{
    auto *ie = p.importExport = new QGroupBox(f.frmImpExp.accessibleName(), p.marks);
    ie->setAutoFillBackground(true);
    bindControl(f.frmImpExp, ie, twips_);
    // The panel says what it does: export or import.
    f.frmImpExp.PropertyChanged.connect([&f, ie](Prop prop) {
        if (prop != Prop::Caption)
            return;
        const bool exporting = f.frmImpExp.caption().contains(QLatin1String("Esport"));
        ie->setTitle(f.frmImpExp.caption().trimmed());
        ie->setAccessibleName(exporting ? QStringLiteral("Esporta marcatori") : QStringLiteral("Importa marcatori"));
    });
    bindButton(f.cmdImpExp[2], new QPushButton(ie), twips_);
    bindButton(f.cmdImpExp[3], new QPushButton(ie), twips_);
    bindDriveList(f.Drive, new NamedComboBox(ie), twips_);
    // A folder opens with Enter or a double click; a file is chosen with a
    // double click; Enter in the name box confirms.
    auto *dirs = new QListWidget(ie);
    bindPathList(f.Dir, dirs, twips_);
    forwardKeys(dirs, [&f](qint16 code, qint16 mask) { f.impExp.Dir_KeyDown(code, mask); });
    QObject::connect(dirs, &QListWidget::itemDoubleClicked, dirs, [&f] { f.impExp.Dir_KeyDown(13, 0); });
    p.files = new QListWidget(ie);
    bindPathList(f.File, p.files, twips_);
    forwardKeys(p.files, [&f](qint16 code, qint16 mask) { f.impExp.File_KeyDown(code, mask); });
    QObject::connect(p.files, &QListWidget::itemDoubleClicked, p.files, [&f] { f.impExp.File_DblClick(); });
    p.fileName = new QLineEdit(ie);
    bindTextBox(f.TextFileName, p.fileName, twips_);
    forwardKeys(p.fileName, [&f](qint16 code, qint16 mask) { f.impExp.TextFileName_KeyDown(code, mask); });
    auto *lblName = new QLabel(f.lblNomeFile.caption(), ie);
    lblName->setBuddy(p.fileName);
    bindControl(f.lblNomeFile, lblName, twips_);
}

void MainWindow::bindOptionsPanel(frmBrowser &f, Panels &p)
{
    auto *box = p.options = new QGroupBox(f.frmconfigurazione.caption(), this);
    box->setAutoFillBackground(true);
    bindControl(f.frmconfigurazione, box, twips_);
    // The controls lie on a sheet of the panel's full size, which scrolls when
    // the window is too short for it; Tab brings the control with the
    // keyboard into view.
    auto *scroll = new QScrollArea(box);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // the keyboard goes to the controls, not to the sheet
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto *cfg = new QWidget;
    cfg->setFixedSize(int(std::lround(f.frmconfigurazione.width() / twips_.perPixelX)),
                      int(std::lround(Layout::kOptionsHeight / twips_.perPixelY)));
    scroll->setWidget(cfg);
    // Clear, so that the panel's title shows through (setWidget fills it).
    cfg->setAutoFillBackground(false);
    QPointer<QScrollArea> sp(scroll);
    auto fit = [sp, box] {
        if (sp)
            sp->setGeometry(box->rect());
    };
    fit();
    f.frmconfigurazione.PropertyChanged.connect([fit](Prop prop) {
        if (prop == Prop::Geometry)
            fit();
    });
    bindCheckBox(f.chkSavePos, new QCheckBox(cfg), twips_);
    auto *skip = new QLineEdit(cfg);
    bindTextBox(f.TextAvantiIndietro, skip, twips_);
    caption(cfg, QStringLiteral("&Avanzamento audio"), 240, 840, 2100, twips_, skip);
    caption(cfg, QStringLiteral("secondi"), 3400, 840, 1200, twips_, nullptr);
    auto *vol = new QLineEdit(cfg);
    bindTextBox(f.TextVolume, vol, twips_);
    caption(cfg, QStringLiteral("&Volume"), 240, 1320, 2100, twips_, vol);
    auto *rate = new QLineEdit(cfg);
    bindTextBox(f.TextRate, rate, twips_);
    caption(cfg, QStringLiteral("Velocità di &Lettura"), 240, 1800, 2100, twips_, rate);
    bindCheckBox(f.chkAudioOff, new QCheckBox(cfg), twips_);
    auto *player = new QGroupBox(f.fraLettore.caption(), cfg);
    bindControl(f.fraLettore, player, twips_);
    bindOptions(f.optPlayer, {new QRadioButton(player), new QRadioButton(player)}, twips_);
    // A box whose title names the choice the reader is in.
    auto *voice = new QGroupBox(f.fraVoce.caption(), cfg);
    bindControl(f.fraVoce, voice, twips_);
    bindOptions(f.optVoce, {new QRadioButton(voice), new QRadioButton(voice), new QRadioButton(voice)}, twips_);
    bindButton(f.cmdSetupClose, new QPushButton(cfg), twips_);
}

// On-screen display: a band across the middle with a large label, spoken by
// the screen reader and, when chosen, by the program's own voice.
void MainWindow::bindMessageBand(frmBrowser &f)
{
    auto *osd = new QFrame(this);
    osd->setFrameShape(QFrame::Box);
    osd->setAutoFillBackground(true);
    osd->setStyleSheet(QStringLiteral("QFrame { background: #000; } QLabel { color: #ff0; }"));
    bindControl(f.frmOSD, osd, twips_);
    auto *lbl = new MessageLabel(osd);
    QFont big = lbl->font();
    big.setBold(true);
    lbl->setFont(big);
    lbl->setFullSize(28);
    lbl->setAlignment(Qt::AlignCenter);
    bindAnnouncer(f.lblOSD, lbl, twips_, [this, &f](const QString &text) {
        const bool said = voice_.say(text, VoiceMode(f.optVoce.selected()));
        if (said && onSpoken)
            onSpoken(text);
    });
}

void MainWindow::bindDebugPanel(frmBrowser &f, Panels &p)
{
    auto *dbg = p.debug = new QGroupBox(f.fraDebug.accessibleName(), this);
    // Opaque: the page must not show through the panel's controls.
    dbg->setAutoFillBackground(true);
    bindControl(f.fraDebug, dbg, twips_);
    auto *urlLabel = new QLabel(f.Label2.accessibleName(), dbg);
    bindControl(f.Label2, urlLabel, twips_);
    p.url = new QLineEdit(dbg);
    urlLabel->setBuddy(p.url);
    bindTextBox(f.TextURL, p.url, twips_);
    bindButton(f.cmdGO, new QPushButton(dbg), twips_);
    bindTextBox(f.TxtDebFilename, new QLineEdit(dbg), twips_);
    for (Button &b : f.cmdDebug)
        bindButton(b, new QPushButton(dbg), twips_);
    bindButton(f.cmdFileAudio, new QPushButton(dbg), twips_);
    bindTextBox(f.TextAudio, new QLineEdit(dbg), twips_);
    // The key reminder is several lines: shown read-only, as the model holds it.
    auto *reminder = new QPlainTextEdit(dbg);
    reminder->setReadOnly(true);
    bindControl(f.Text1, reminder, twips_);
    reminder->setPlainText(f.Text1.text());
    f.Text1.PropertyChanged.connect([this, reminder](Prop prop) {
        if (prop == Prop::Text && f_)
            reminder->setPlainText(f_->Text1.text());
    });
    bindButton(f.Command1, new QPushButton(dbg), twips_);
}

// A panel that opens takes the keyboard, and gives it back when it closes:
// a reader who cannot see it must land in it.
void MainWindow::bindFocus(frmBrowser &f, const Panels &p)
{
    QListWidget *markList = p.markList;
    // With no bookmarks the list has nothing to offer: importing is what a
    // reader on a new computer came for. (The model is asked: the widget is
    // refilled a moment later.)
    QWidget *importButton = p.importButton;
    ListBox *marks = &f.ListMarkers;
    focusFollows(
        f.fraMarcatori, p.marks,
        [markList, importButton, marks]() -> QWidget * {
            return marks->listCount() > 0 ? static_cast<QWidget *>(markList) : importButton;
        },
        browser_->view());
    // Export starts at the file's name, import at the list of files.
    QLineEdit *name = p.fileName;
    QListWidget *files = p.files;
    auto exportOrImport = [name, files]() -> QWidget * {
        if (name->isVisibleTo(name->parentWidget()))
            return name;
        return files;
    };
    focusFollows(f.frmImpExp, p.importExport, exportOrImport, markList);
    focusFollows(f.frmconfigurazione, p.options, nullptr, browser_->view());
    QLineEdit *url = p.url;
    focusFollows(
        f.fraDebug, p.debug, [url] { return url; }, browser_->view());
}

void MainWindow::relayout()
{
    if (!f_ || !pageTitle_)
        return;
    const QRect fr = frameGeometry();
    // A window system without a window manager lets the window shrink below
    // its minimum size: the panels are then laid out for the minimum and cut.
    const float h = float(fr.height() * twips_.perPixelY);
    f_->layout.Form_Resize(std::max(float(fr.width() * twips_.perPixelX), Layout::kMinWidth),
                           std::max(h, Layout::kMinHeight));
    // The options panel stays within the window that is really there.
    if (h < Layout::kMinHeight)
        f_->layout.placeOptions(h);
    const QRect page = browser_->widget()->geometry();
    pageTitle_->setGeometry(page.left(), page.bottom() + 1, page.width(), std::max(0, height() - page.bottom() - 1));
}

void MainWindow::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    relayout();
}

void MainWindow::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && f_) {
        f_->windowState = isMinimized()   ? WindowState::Minimized
                          : isMaximized() ? WindowState::Maximized
                                          : WindowState::Normal;
        if (!isMinimized())
            relayout();
    }
}

void MainWindow::focusFollows(Control &panel, QWidget *box, std::function<QWidget *()> first, QWidget *back)
{
    QPointer<QWidget> b(box), out(back);
    panel.PropertyChanged.connect([this, &panel, b, first, out](Prop prop) {
        if (prop != Prop::Visible || !b)
            return;
        if (panel.visible()) {
            // Never a hidden control: the keyboard would be lost in it.
            QWidget *target = first ? first() : nullptr;
            if (target && !target->isVisibleTo(b))
                target = nullptr;
            // Otherwise the first control of the panel that takes the focus.
            for (QWidget *w = b->nextInFocusChain(); !target && w && w != b; w = w->nextInFocusChain())
                if (b->isAncestorOf(w) && w->isVisibleTo(b) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
                    target = w;
            if (!target)
                return;
            target->setFocus(Qt::OtherFocusReason);
            // Once more when the panel has settled: filling its lists can pass
            // the focus on under X11.
            QPointer<QWidget> t(target);
            QTimer::singleShot(0, this, [t, b] {
                if (t && b && b->isVisible() && t->isVisible() && QApplication::focusWidget() != t &&
                    b->isAncestorOf(QApplication::focusWidget()))
                    t->setFocus(Qt::OtherFocusReason);
            });
        } else {
            giveFocusBack(b, out);
            // Again once the handler that closed the panel has ended: it may
            // show the page only after hiding the panel (a recall does), and
            // the keyboard must never stay in a hidden list, where arrows and
            // Delete would act unseen.
            QTimer::singleShot(0, this, [this, b, out] {
                if (b && !b->isVisible())
                    giveFocusBack(b, out);
            });
        }
    });
}

void MainWindow::giveFocusBack(QWidget *panel, QWidget *back)
{
    QWidget *now = QApplication::focusWidget();
    // Already somewhere the reader can be: a named control outside the panel
    // (another panel opened meanwhile). Qt itself passes the focus of a
    // hidden panel on to the next widget, often one without a name, where
    // the page's keys no longer reach: that is no place.
    if (now && now->isVisible() && !panel->isAncestorOf(now) && now != panel && !now->accessibleName().isEmpty())
        return;
    // Back on the page, the reader lands in its document, which has a name.
    if (back && back->isVisible() && back != browser_->view())
        back->setFocus(Qt::OtherFocusReason);
    else if (browser_->view()->isVisible())
        browser_->focusDocument();
}

bool MainWindow::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() != QEvent::KeyPress || !f_ || !obj->isWidgetType())
        return false;
    // Once per key: the event is offered again to each parent of a control
    // that lets it pass. Dialogs and the video window keep their own keys.
    // Only where the key lands first, the focus widget: the same event is
    // then offered to each parent of a control that lets it pass, and the
    // page hands keys it did not use back to the view's holder. The window's
    // own focus widget, as the window may not be the active one (a dialog has
    // just closed, or it runs offscreen).
    auto *w = static_cast<QWidget *>(obj);
    QWidget *focus = focusWidget();
    if (w->window() != this || (focus ? w != focus : w != this))
        return false;
    const auto *k = static_cast<QKeyEvent *>(e);
    if (const int vk = keycodes::fromQt(*k))
        f_->keys.Form_KeyDown(qint16(vk), qint16(keycodes::maskFromQt(*k)));
    return false;
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    if (!f_) {
        e->accept();
        return;
    }
    bool cancel = false;
    // Already granted (a page closed its window): the question is not asked twice.
    if (!f_->startup.closing())
        f_->startup.Form_QueryUnload(cancel);
    if (cancel) {
        e->ignore();
        return;
    }
    e->accept();
    if (onClosing)
        onClosing();
}

} // namespace qyr
