#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

// Button images of the toolbars. The standard bar uses the desktop's icon theme where
// it has the icon; script and operator buttons show their keyword or operator itself,
// drawn crisply at any scale, so `<=>` and `=>` are told apart at a glance.
class CToolbarImages
{
public:
    static QIcon ForCommand(int nId);
    static QIcon Glyph(const QString &strText, const QSize &size, bool bBold = true);
};
