#include "app/ToolbarImages.h"

#include "framework/CommandIds.h"
#include "framework/CommandTable.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <functional>

using namespace Cmd;

namespace {

struct ThemeIcon
{
    int nId;
    const char *pszTheme;
};

const ThemeIcon kStandardIcons[] = {
    {ID_FILE_NEW, "document-new"},   {ID_FILE_OPEN, "document-open"}, {ID_FILE_SAVE, "document-save"},
    {ID_EDIT_CUT, "edit-cut"},       {ID_EDIT_COPY, "edit-copy"},     {ID_EDIT_PASTE, "edit-paste"},
    {ID_FILE_PRINT, "document-print"}, {ID_APP_ABOUT, "help-about"}, {ID_SCRIPT_RUN, "media-playback-start"},
};

// Stands in a wrapping button's text for the selection its marks go around; drawn as
// a grey block, never as a character (operators use every ASCII mark).
const QChar kSelection(0x25A0);

const QHash<int, QString> &WrapGlyphs()
{
    static const QHash<int, QString> glyphs = {
        {32936, QStringLiteral("(%1)").arg(kSelection)},
        {32937, QStringLiteral("[%1]").arg(kSelection)},
        {32938, QStringLiteral("\"%1\"").arg(kSelection)},
        {32939, QStringLiteral("'%1'").arg(kSelection)},
    };
    return glyphs;
}

QString GlyphText(int nId)
{
    auto it = WrapGlyphs().find(nId);
    if (it != WrapGlyphs().end())
        return *it;
    const CCommandInfo *info = CCommandTable::Find(nId);
    return info ? QString::fromUtf8(info->pszGlyph) : QString();
}

QStringList BarTexts(const QVector<int> &ids)
{
    QStringList texts;
    for (int id : ids) {
        if (id != 0)
            texts << GlyphText(id);
    }
    return texts;
}

QFont GlyphFont(bool bMono, int pixelSize)
{
    QFont font(bMono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    font.setStyleHint(bMono ? QFont::TypeWriter : QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

// The width a text takes, with the selection mark as wide as a narrow letter.
int TextWidth(const QFontMetrics &fm, const QString &text)
{
    QString shown = text;
    shown.replace(kSelection, QLatin1Char('n'));
    return fm.horizontalAdvance(shown);
}

QIcon Paint(const QSize &size, const std::function<void(QPainter &)> &draw)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The standard bar's drawings share one outline colour and line width.
const QColor kOutline(0x40, 0x40, 0x48);

void Page(QPainter &p, const QRectF &r, qreal fold)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(path);
    if (fold > 0) {
        QPainterPath corner;
        corner.moveTo(r.right() - fold, r.top());
        corner.lineTo(r.right() - fold, r.top() + fold);
        corner.lineTo(r.right(), r.top() + fold);
        p.setBrush(Qt::NoBrush);
        p.drawPath(corner);
    }
}

void TextLines(QPainter &p, const QRectF &r)
{
    QPen old = p.pen();
    p.setPen(QPen(QColor(0x8a, 0x8a, 0x96), 1.0));
    for (qreal y = r.top(); y <= r.bottom(); y += 2.5)
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    p.setPen(old);
}

} // namespace

QIcon CToolbarImages::Drawn(int nId)
{
    const QSize size(16, 16);
    const QPen outline(kOutline, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (nId) {
    case ID_FILE_NEW:
        return Paint(size, [&](QPainter &p) {
            p.setPen(outline);
            Page(p, QRectF(3.5, 1.5, 9, 13), 3.5);
        });
    case ID_FILE_OPEN:
        return Paint(size, [&](QPainter &p) {
            p.setPen(outline);
            p.setBrush(QColor(0xd9, 0xa4, 0x2c));
            QPainterPath back;
            back.moveTo(1.5, 13.5);
            back.lineTo(1.5, 3.5);
            back.lineTo(6, 3.5);
            back.lineTo(7.5, 5);
            back.lineTo(13.5, 5);
            back.lineTo(13.5, 13.5);
            back.closeSubpath();
            p.drawPath(back);
            p.setBrush(QColor(0xf5, 0xc8, 0x52));
            QPainterPath front;
            front.moveTo(1.5, 13.5);
            front.lineTo(3.5, 7.5);
            front.lineTo(15, 7.5);
            front.lineTo(13.5, 13.5);
            front.closeSubpath();
            p.drawPath(front);
        });
    case ID_FILE_SAVE:
        return Paint(size, [&](QPainter &p) {
            p.setPen(outline);
            p.setBrush(QColor(0x3b, 0x6e, 0xb4));
            QPainterPath body;
            body.moveTo(1.5, 1.5);
            body.lineTo(12.5, 1.5);
            body.lineTo(14.5, 3.5);
            body.lineTo(14.5, 14.5);
            body.lineTo(1.5, 14.5);
            body.closeSubpath();
            p.drawPath(body);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 1.5, 7.5, 5));
            p.setBrush(QColor(0xd0, 0xd4, 0xdc));
            p.drawRect(QRectF(4, 9.5, 8, 5));
        });
    case ID_EDIT_CUT:
        return Paint(size, [&](QPainter &p) {
            p.setPen(QPen(kOutline, 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4.5, 1.5), QPointF(10.5, 10));
            p.drawLine(QPointF(11.5, 1.5), QPointF(5.5, 10));
            p.setPen(QPen(QColor(0xc0, 0x30, 0x30), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
            p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
        });
    case ID_EDIT_COPY:
        return Paint(size, [&](QPainter &p) {
            p.setPen(outline);
            Page(p, QRectF(1.5, 1.5, 8.5, 10), 0);
            TextLines(p, QRectF(3.5, 4, 4.5, 5));
            Page(p, QRectF(6, 5, 8.5, 10), 0);
            TextLines(p, QRectF(8, 7.5, 4.5, 5.5));
        });
    case ID_EDIT_PASTE:
        return Paint(size, [&](QPainter &p) {
            p.setPen(outline);
            p.setBrush(QColor(0xa8, 0x78, 0x48));
            p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1.2, 1.2);
            p.setBrush(QColor(0xb8, 0xbc, 0xc4));
            p.drawRoundedRect(QRectF(4, 1, 5, 3), 1, 1);
            Page(p, QRectF(6.5, 6, 8, 9), 0);
            TextLines(p, QRectF(8.5, 8.5, 4, 4.5));
        });
    case ID_FILE_PRINT:
        return Paint(size, [&](QPainter &p) {
            p.setPen(outline);
            Page(p, QRectF(4, 1.5, 8, 5), 0);
            p.setBrush(QColor(0x9a, 0xa0, 0xaa));
            p.drawRoundedRect(QRectF(1.5, 6, 13, 6), 1.2, 1.2);
            Page(p, QRectF(4, 10, 8, 4.5), 0);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x3c, 0xb0, 0x50));
            p.drawEllipse(QPointF(12.3, 8), 0.9, 0.9);
        });
    case ID_APP_ABOUT:
        return Paint(size, [&](QPainter &p) {
            p.setPen(QPen(QColor(0x1f, 0x4f, 0x99), 1.0));
            p.setBrush(QColor(0x3b, 0x78, 0xd0));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.setPen(Qt::white);
            p.setFont(GlyphFont(false, 11));
            p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
        });
    case ID_SCRIPT_RUN:
        return Paint(size, [&](QPainter &p) {
            p.setPen(QPen(QColor(0x1e, 0x7a, 0x32), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(QColor(0x34, 0xa8, 0x4c));
            QPainterPath play;
            play.moveTo(3.5, 2);
            play.lineTo(13.5, 8);
            play.lineTo(3.5, 14);
            play.closeSubpath();
            p.drawPath(play);
        });
    default:
        return QIcon();
    }
}

int CToolbarImages::FittingPixelSize(const QStringList &texts, const QSize &size, bool bMono)
{
    int pixelSize = size.height();
    for (; pixelSize > 6; --pixelSize) {
        QFontMetrics fm(GlyphFont(bMono, pixelSize));
        bool fits = fm.ascent() + fm.descent() <= size.height() + 2;
        for (const QString &text : texts)
            fits = fits && TextWidth(fm, text) <= size.width() - 2;
        if (fits)
            break;
    }
    return pixelSize;
}

QIcon CToolbarImages::Glyph(const QString &strText, const QSize &size, const QStringList &fitAll, bool bMono)
{
    const QFont font = GlyphFont(bMono, FittingPixelSize(fitAll, size, bMono));
    const QColor ink = QApplication::palette().color(QPalette::ButtonText);
    return Paint(size, [&](QPainter &p) {
        p.setFont(font);
        p.setPen(ink);
        QFontMetrics fm(font);
        const int width = TextWidth(fm, strText);
        qreal x = (size.width() - width) / 2.0;
        const qreal baseline = (size.height() + fm.ascent() - fm.descent()) / 2.0;
        for (const QChar c : strText) {
            if (c == kSelection) {
                // The selection the marks go around.
                const qreal w = fm.horizontalAdvance(QLatin1Char('n'));
                QColor grey = ink;
                grey.setAlphaF(0.35);
                p.fillRect(QRectF(x + 1, baseline - fm.xHeight(), w - 2, fm.xHeight()), grey);
                x += w;
                continue;
            }
            p.drawText(QPointF(x, baseline), QString(c));
            x += fm.horizontalAdvance(c);
        }
    });
}

QIcon CToolbarImages::ForCommand(int nId)
{
    for (const ThemeIcon &t : kStandardIcons) {
        if (t.nId != nId)
            continue;
        // The theme only when it has the whole set: a mix of styles reads badly.
        static const bool themeHasAll = [] {
            for (const ThemeIcon &each : kStandardIcons) {
                if (!QIcon::hasThemeIcon(QLatin1String(each.pszTheme)))
                    return false;
            }
            return true;
        }();
        return themeHasAll ? QIcon::fromTheme(QLatin1String(t.pszTheme)) : Drawn(nId);
    }
    if (CCommandTable::OperatorBar().contains(nId)) {
        static const QStringList all = BarTexts(CCommandTable::OperatorBar());
        return Glyph(GlyphText(nId), OperatorIconSize(), all, true);
    }
    return QIcon();
}
