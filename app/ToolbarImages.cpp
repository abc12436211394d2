#include "app/ToolbarImages.h"

#include "framework/CommandIds.h"
#include "framework/CommandTable.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace {

struct ThemeIcon
{
    int nId;
    const char *pszTheme;
    QStyle::StandardPixmap fallback;
    const char *pszGlyph;
};

const ThemeIcon kStandardIcons[] = {
    {Cmd::ID_FILE_NEW, "document-new", QStyle::SP_FileIcon, nullptr},
    {Cmd::ID_FILE_OPEN, "document-open", QStyle::SP_DialogOpenButton, nullptr},
    {Cmd::ID_FILE_SAVE, "document-save", QStyle::SP_DialogSaveButton, nullptr},
    {Cmd::ID_EDIT_CUT, "edit-cut", QStyle::SP_CustomBase, "\u2702"},
    {Cmd::ID_EDIT_COPY, "edit-copy", QStyle::SP_CustomBase, "\u2398"},
    {Cmd::ID_EDIT_PASTE, "edit-paste", QStyle::SP_CustomBase, "\u2399"},
    {Cmd::ID_FILE_PRINT, "document-print", QStyle::SP_CustomBase, "\u2399"},
    {Cmd::ID_APP_ABOUT, "help-about", QStyle::SP_MessageBoxQuestion, nullptr},
    {Cmd::ID_SCRIPT_RUN, "media-playback-start", QStyle::SP_MediaPlay, nullptr},
};

} // namespace

QIcon CToolbarImages::Glyph(const QString &strText, const QSize &size, bool bBold)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::TypeWriter);
        font.setBold(bBold);
        // The largest size at which the text fits the button.
        int pixelSize = size.height();
        for (; pixelSize > 6; --pixelSize) {
            font.setPixelSize(pixelSize);
            QFontMetrics fm(font);
            if (fm.horizontalAdvance(strText) <= size.width() - 1 && fm.height() <= size.height() + 3)
                break;
        }
        font.setPixelSize(pixelSize);
        painter.setFont(font);
        painter.setPen(QApplication::palette().color(QPalette::ButtonText));
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, strText);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon CToolbarImages::ForCommand(int nId)
{
    for (const ThemeIcon &t : kStandardIcons) {
        if (t.nId != nId)
            continue;
        QIcon icon = QIcon::fromTheme(QLatin1String(t.pszTheme));
        if (!icon.isNull())
            return icon;
        if (t.fallback != QStyle::SP_CustomBase)
            return QApplication::style()->standardIcon(t.fallback);
        return Glyph(QString::fromUtf8(t.pszGlyph), QSize(16, 16), false);
    }
    const CCommandInfo *info = CCommandTable::Find(nId);
    QString glyph = info ? QString::fromUtf8(info->pszGlyph) : QString();
    if (CCommandTable::OperatorBar().contains(nId))
        return Glyph(glyph, QSize(28, 18));
    return Glyph(glyph, QSize(30, 18));
}
