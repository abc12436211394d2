#include "framework/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

CDialogUnits::CDialogUnits(const QFont &font)
{
    QFontMetrics fm(font);
    // The average width of the 52 letters, as the dialog base unit is defined.
    int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = qMax(1, (width / 26 + 1) / 2);
    m_nBaseY = qMax(1, fm.height());
}

CDialogUnits::CDialogUnits(const QWidget *widget)
    : CDialogUnits(widget->font())
{
}
