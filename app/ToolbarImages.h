#pragma once

#include <QIcon>
#include <QSize>
#include <QString>
#include <QStringList>

// Button images of the toolbars. The standard bar uses the desktop's icon theme when
// the theme has every one of its images, and otherwise draws all of them itself, so
// the bar never mixes styles or shows an empty box. Script and operator buttons show
// their keyword or operator itself, one type size for a whole bar, drawn crisply at
// any scale, so `<=>` and `=>` are told apart at a glance.
class CToolbarImages
{
public:
    static QIcon ForCommand(int nId);

    // The image sizes of the scripting and operators bars' buttons.
    static QSize ScriptIconSize() { return QSize(36, 18); }
    static QSize OperatorIconSize() { return QSize(28, 18); }

    // strText drawn at the largest pixel size at which every text of `fitAll` fits
    // size. A wrapping button's text marks where the selection goes, drawn as a small
    // grey block.
    static QIcon Glyph(const QString &strText, const QSize &size, const QStringList &fitAll, bool bMono);
    static int FittingPixelSize(const QStringList &texts, const QSize &size, bool bMono);

    // The standard bar's own drawings, by command id; a null icon for other ids.
    static QIcon Drawn(int nId);
};
