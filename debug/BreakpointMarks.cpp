#include "debug/BreakpointMarks.h"

#include <Qsci/qsciscintilla.h>

#include <QImage>
#include <QPainter>
#include <QPen>

namespace {

constexpr int kSize = 14;

void Dot(QPainter &p, const QColor &fill, const QColor &rim, bool bCondition)
{
    p.setPen(QPen(rim, 1.2));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, kSize - 3, kSize - 3));
    if (bCondition) {
        // A conditional breakpoint: a white bar across the dot, as in most debuggers.
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 6, kSize - 8, 2));
    }
}

void Ring(QPainter &p)
{
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 2, kSize - 4, kSize - 4));
    p.drawLine(QPointF(4, 4), QPointF(kSize - 4, kSize - 4));
}

void Arrow(QPainter &p)
{
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x00), 1));
    p.setBrush(QColor(0xff, 0xd0, 0x20));
    const QPointF points[] = {{1, 4.5}, {7, 4.5}, {7, 1}, {13, 7}, {7, 13}, {7, 9.5}, {1, 9.5}};
    p.drawPolygon(points, 7);
}

const QColor kBreakpointFill(0xe0, 0x20, 0x20);
const QColor kBreakpointRim(0x90, 0x10, 0x10);

} // namespace

void CBreakpointMarks::DefineDrawn(QsciScintilla *pControl, int nMarker, int nSize,
                                   const std::function<void(QPainter &)> &draw)
{
    // A picture of the screen's own pixels, so that the mark is sharp on a 2x screen as
    // on a 1x one: Qt draws it at the mark's size by its pixel ratio, and Scintilla
    // centres it in the margin by the scale in force when the mark is defined.
    const qreal ratio = qMax<qreal>(1.0, pControl->devicePixelRatioF());
    const int pixels = qRound(nSize * ratio);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(qreal(pixels) / nSize, qreal(pixels) / nSize);
        draw(p);
    }
    image.setDevicePixelRatio(qreal(pixels) / nSize);
    pControl->SendScintilla(QsciScintillaBase::SCI_RGBAIMAGESETSCALE, long(qRound(100 * qreal(pixels) / nSize)));
    pControl->markerDefine(image, nMarker);
    pControl->SendScintilla(QsciScintillaBase::SCI_RGBAIMAGESETSCALE, 100L);
}

void CBreakpointMarks::Define(QsciScintilla *pControl)
{
    DefineDrawn(pControl, kBreakpoint, kSize, [](QPainter &p) { Dot(p, kBreakpointFill, kBreakpointRim, false); });
    DefineDrawn(pControl, kConditional, kSize, [](QPainter &p) { Dot(p, kBreakpointFill, kBreakpointRim, true); });
    DefineDrawn(pControl, kRefused, kSize, Ring);
    DefineDrawn(pControl, kArrow, kSize, Arrow);
    pControl->markerDefine(QsciScintilla::Background, kCurrentLine);
    pControl->setMarkerBackgroundColor(QColor(0xff, 0xf3, 0xb0), kCurrentLine);
}

int CBreakpointMarks::MarkerFor(const CDebugBreakpoint &bp)
{
    if (bp.state == CDebugBreakpoint::State::Refused)
        return kRefused;
    return bp.strCondition.trimmed().isEmpty() ? kBreakpoint : kConditional;
}

QString CBreakpointMarks::StateText(const CDebugBreakpoint &bp)
{
    switch (bp.state) {
    case CDebugBreakpoint::State::Set:
        return QStringLiteral("Set");
    case CDebugBreakpoint::State::Moved:
        return QStringLiteral("Moved to line %1").arg(bp.nActualLine);
    case CDebugBreakpoint::State::Refused:
        return bp.strReason.isEmpty() ? QStringLiteral("Refused") : QStringLiteral("Refused: ") + bp.strReason;
    case CDebugBreakpoint::State::Pending:
        break;
    }
    return bp.strReason.isEmpty() ? QStringLiteral("Set when debugging starts")
                                   : QStringLiteral("Pending: ") + bp.strReason;
}

QString CBreakpointMarks::Tooltip(const CDebugBreakpoint &bp)
{
    QString text = bp.strCondition.trimmed().isEmpty()
        ? QStringLiteral("Breakpoint")
        : QStringLiteral("Breakpoint when %1").arg(bp.strCondition.trimmed());
    switch (bp.state) {
    case CDebugBreakpoint::State::Moved:
        text += QStringLiteral("\nMoved here from line %1, where perl cannot stop").arg(bp.nLine);
        break;
    case CDebugBreakpoint::State::Refused:
        text += QStringLiteral("\nRefused by the debugger: ")
            + (bp.strReason.isEmpty() ? QStringLiteral("no reason given") : bp.strReason);
        break;
    case CDebugBreakpoint::State::Pending:
        if (!bp.strReason.isEmpty())
            text += QStringLiteral("\nPending: ") + bp.strReason;
        break;
    case CDebugBreakpoint::State::Set:
        break;
    }
    return text;
}
