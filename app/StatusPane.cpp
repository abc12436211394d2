#include "app/StatusPane.h"

#include <QFontMetrics>

namespace {

// Room between the text and the sunken frame on either side.
const int kPadding = 4;

} // namespace

CStatusPane::CStatusPane(const QString &strWidestSample, QWidget *parent)
    : QLabel(parent)
    , m_strSample(strWidestSample)
{
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

QString CStatusPane::WidestText() const
{
    const QFontMetrics fm = fontMetrics();
    QChar widest = QLatin1Char('0');
    for (char c = '1'; c <= '9'; ++c) {
        if (fm.horizontalAdvance(QLatin1Char(c)) > fm.horizontalAdvance(widest))
            widest = QLatin1Char(c);
    }
    QString text = m_strSample;
    for (QChar &c : text) {
        if (c.isDigit())
            c = widest;
    }
    return text;
}

int CStatusPane::SampleWidth() const
{
    const QMargins m = contentsMargins();
    return fontMetrics().horizontalAdvance(WidestText()) + m.left() + m.right() + 2 * margin() + 2 * kPadding;
}

// A text wider than the sample still fits: the pane then grows with it.
QSize CStatusPane::sizeHint() const
{
    QSize size = QLabel::sizeHint();
    size.setWidth(qMax(size.width() + 2 * kPadding, SampleWidth()));
    return size;
}

QSize CStatusPane::minimumSizeHint() const
{
    QSize size = QLabel::minimumSizeHint();
    size.setWidth(qMax(size.width() + 2 * kPadding, SampleWidth()));
    return size;
}
