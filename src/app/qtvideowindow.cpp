#include "qtvideowindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <cmath>

namespace qyr {

VideoWindow::VideoWindow(QWidget *surface)
{
    setWindowTitle(QStringLiteral("MediaPlayer"));
    setObjectName(QStringLiteral("frmWMP9"));
    setAccessibleName(QStringLiteral("Video"));
    setAccessibleDescription(QStringLiteral("Finestra del video: Esc ferma la riproduzione"));
    setFocusPolicy(Qt::StrongFocus);
    if (surface) {
        surface_ = surface;
        surface_->setParent(this);
    } else {
        surface_ = new QWidget(this);
        surface_->setAttribute(Qt::WA_DontCreateNativeAncestors);
        surface_->setAttribute(Qt::WA_NativeWindow);
        (void)surface_->winId();
    }
    surface_->setAccessibleName(QStringLiteral("Immagine del video"));
    surface_->setAccessibleDescription(QStringLiteral("Il video in riproduzione"));
    surface_->setFocusPolicy(Qt::NoFocus);
}

void VideoWindow::setVisible(bool on)
{
    if (on == isVisible())
        return;
    QWidget::setVisible(on);
    if (on) {
        raise();
        activateWindow();
        setFocus();
    }
    if (onShown)
        onShown(on);
}

void VideoWindow::setMaximized(bool on)
{
    setWindowState(on ? Qt::WindowMaximized : Qt::WindowNoState);
}

void VideoWindow::setGeometryTwips(float left, float top, float width, float height)
{
    setGeometry(int(std::lround(left / twipsPerPixelX())), int(std::lround(top / twipsPerPixelY())),
                int(std::lround(width / twipsPerPixelX())), int(std::lround(height / twipsPerPixelY())));
}

float VideoWindow::screenWidthTwips()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? float(s->geometry().width() * twipsPerPixelX()) : 0.0f;
}

float VideoWindow::screenHeightTwips()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? float(s->geometry().height() * twipsPerPixelY()) : 0.0f;
}

double VideoWindow::twipsPerPixelX() { return 1440.0 / (logicalDpiX() > 0 ? logicalDpiX() : 96); }
double VideoWindow::twipsPerPixelY() { return 1440.0 / (logicalDpiY() > 0 ? logicalDpiY() : 96); }

// The surface sits 10 units in from each edge of the window.
void VideoWindow::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    const int mx = std::max(0, int(std::lround(10 / twipsPerPixelX())));
    const int my = std::max(0, int(std::lround(10 / twipsPerPixelY())));
    surface_->setGeometry(mx, my, std::max(0, width() - 2 * mx), std::max(0, height() - 2 * my));
}

void VideoWindow::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape)
        KeyDown(27);
    else
        QWidget::keyPressEvent(e);
}

} // namespace qyr
