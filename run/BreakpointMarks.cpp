#include "run/BreakpointMarks.h"

#include <Qsci/qsciscintilla.h>

#include <QImage>
#include <QPainter>
#include <QPen>

namespace {

constexpr int kSize = 14;

QImage Blank()
{
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage Dot(const QColor &fill, const QColor &rim, bool bQuestion)
{
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(rim, 1.2));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, kSize - 3, kSize - 3));
    if (bQuestion) {
        // A conditional breakpoint: a white bar across the dot, as in most debuggers.
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 6, kSize - 8, 2));
    }
    return image;
}

QImage Ring()
{
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 2, kSize - 4, kSize - 4));
    p.drawLine(QPointF(4, 4), QPointF(kSize - 4, kSize - 4));
    return image;
}

QImage Arrow()
{
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x00), 1));
    p.setBrush(QColor(0xff, 0xd0, 0x20));
    const QPointF points[] = {{1, 4.5}, {7, 4.5}, {7, 1}, {13, 7}, {7, 13}, {7, 9.5}, {1, 9.5}};
    p.drawPolygon(points, 7);
    return image;
}

} // namespace

void CBreakpointMarks::Define(QsciScintilla *pControl)
{
    pControl->markerDefine(Dot(QColor(0xe0, 0x20, 0x20), QColor(0x90, 0x10, 0x10), false), kBreakpoint);
    pControl->markerDefine(Dot(QColor(0xe0, 0x20, 0x20), QColor(0x90, 0x10, 0x10), true), kConditional);
    pControl->markerDefine(Ring(), kRefused);
    pControl->markerDefine(Arrow(), kArrow);
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
