#include "framework/ScreenFit.h"

#include <QEvent>
#include <QVariant>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

class CScreenFitFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The show event comes before the window is mapped, so the fitted geometry is
        // the one the window manager first sees.
        if (event->type() == QEvent::Show && watched == parent())
            CScreenFit::Apply(static_cast<QWidget *>(watched));
        return false;
    }
};

QScreen *ScreenOf(QWidget *window)
{
    if (window->testAttribute(Qt::WA_Moved)) {
        if (QScreen *at = QGuiApplication::screenAt(window->geometry().center()))
            return at;
    }
    if (QWidget *parent = window->parentWidget())
        return parent->window()->screen();
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

// The frame the window manager puts around the window: known once it has been shown
// under one; before that, a title bar of the usual height and thin borders.
QMargins FrameOf(QWidget *window)
{
    if (const QWindow *handle = window->windowHandle()) {
        const QMargins m = handle->frameMargins();
        if (!m.isNull())
            return m;
    }
    const int border = 4;
    const int title = QFontMetrics(window->font()).height() + 12;
    return QMargins(border, title, border, border);
}

} // namespace

void CScreenFit::Install(QWidget *window)
{
    static const char kInstalled[] = "kestrelScreenFit";
    if (window->property(kInstalled).toBool())
        return;
    window->setProperty(kInstalled, true);
    window->installEventFilter(new CScreenFitFilter(window));
}

void CScreenFit::Apply(QWidget *window)
{
    if (!window->isWindow() || window->isMaximized() || window->isFullScreen())
        return;
    QScreen *screen = ScreenOf(window);
    if (!screen)
        return;
    const QRect now = window->geometry();
    const bool placed = window->testAttribute(Qt::WA_Moved);
    const QRect fitted = Fit(now, FrameOf(window), screen->availableGeometry(), window->minimumSize(), placed);
    if (fitted == now)
        return;
    // Resized only, a window the program did not place is still placed by the window
    // manager, inside the area now that it fits.
    if (placed)
        window->setGeometry(fitted);
    else
        window->resize(fitted.size());
}

QRect CScreenFit::Fit(const QRect &client, const QMargins &frame, const QRect &available, const QSize &minimum,
                      bool bPlaced)
{
    const QSize room(available.width() - frame.left() - frame.right(),
                     available.height() - frame.top() - frame.bottom());
    QSize size = client.size().boundedTo(room).expandedTo(minimum);
    QRect fitted(client.topLeft(), size);
    if (!bPlaced)
        return fitted;
    // Left and top edges win where the window is larger than the area even so: the
    // title bar stays where it can be grabbed.
    QRect outer = fitted.marginsAdded(frame);
    outer.moveRight(std::min(outer.right(), available.right()));
    outer.moveBottom(std::min(outer.bottom(), available.bottom()));
    outer.moveLeft(std::max(outer.left(), available.left()));
    outer.moveTop(std::max(outer.top(), available.top()));
    fitted.moveTopLeft(outer.topLeft() + QPoint(frame.left(), frame.top()));
    return fitted;
}
