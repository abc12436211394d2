#include "framework/FontDialogStyle.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

QFont FontForDialog(const QFont &font)
{
    QFont named = font;
    if (!font.styleName().isEmpty())
        return named;
    const QString style = QFontInfo(font).styleName();
    if (QFontDatabase::styles(font.family()).contains(style))
        named.setStyleName(style);
    return named;
}
