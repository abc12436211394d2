#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

// Keeps a top-level window inside the free area of its screen (the screen less its
// panels and docks) whenever it is shown: a size chosen for a larger screen, or a
// geometry saved on one, would otherwise put part of the window, often its bottom
// with the buttons, out of reach.
class CScreenFit
{
public:
    // From now on, each showing of `window` fits it to its screen first.
    static void Install(QWidget *window);
    // Fits `window` to its screen at once.
    static void Apply(QWidget *window);

    // The client rectangle that fits: `client` is the window without its frame,
    // `frame` the window manager's title bar and borders around it, `available` the
    // screen's free area. The size shrinks to what fits, never below `minimum`; with
    // `bPlaced` (a position the program chose or restored) the window moves inside
    // the area, otherwise its position is left to the window manager.
    static QRect Fit(const QRect &client, const QMargins &frame, const QRect &available, const QSize &minimum,
                     bool bPlaced);
};
