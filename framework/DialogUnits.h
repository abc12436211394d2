#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

// Converts dialog units into pixels for a font: x * average character width / 4 and
// y * character height / 8, so that dialogs keep their designed proportions whatever
// font the desktop uses.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont &font);
    explicit CDialogUnits(const QWidget *widget);

    int X(int du) const { return (du * m_nBaseX + 2) / 4; }
    int Y(int du) const { return (du * m_nBaseY + 4) / 8; }
    QSize Size(int cx, int cy) const { return QSize(X(cx), Y(cy)); }
    QRect Rect(int x, int y, int cx, int cy) const { return QRect(X(x), Y(y), X(cx), Y(cy)); }

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

private:
    int m_nBaseX = 6;
    int m_nBaseY = 13;
};
