#pragma once

#include <QIcon>
#include <QSize>
#include <QString>
#include <QStringList>

// Button images of the toolbars. The standard bar uses the desktop's icon theme when
// the theme has every one of its images, and otherwise draws all of them itself, so
// the bar never mixes styles or shows an empty box. Operator buttons show the operator
// itself, one type size for the whole bar, drawn crisply at any scale, so `<=>` and
// `=>` are told apart at a glance. Script buttons have no image: their keyword is the
// button's text.
class CToolbarImages
{
public:
    // A null icon for a command without an image.
    static QIcon ForCommand(int nId);

    // The image size of the operators bar's buttons.
    static QSize OperatorIconSize() { return QSize(28, 18); }

    // strText drawn at the largest pixel size at which every text of `fitAll` fits
    // size. A wrapping button's text marks where the selection goes, drawn as a small
    // grey block.
    static QIcon Glyph(const QString &strText, const QSize &size, const QStringList &fitAll, bool bMono);
    static int FittingPixelSize(const QStringList &texts, const QSize &size, bool bMono);

    // The standard bar's own drawings, by command id; a null icon for other ids.
    static QIcon Drawn(int nId);
};
