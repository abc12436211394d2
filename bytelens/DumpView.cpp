#include "bytelens/DumpView.h"

#include "bytelens/DumpSource.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QRect>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

// The longest line: a 20-digit offset, two blanks, the hexadecimal area, two blanks
// and sixteen characters.
constexpr int kMaxLineChars = 20 + 2 + 48 + 2 + 16;

} // namespace

CDumpView::CDumpView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &CDumpView::OnVerticalScroll);
    changeEvent(nullptr);
}

CDumpView::~CDumpView() = default;

void CDumpView::SetSource(std::shared_ptr<CDumpSource> source)
{
    if (source == m_pSource)
        return;
    m_pSource = std::move(source);
    m_anchor = m_caret = CPos();
    m_nFirstLine = 0;
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

// The listing ends with a line break, after which the box has one more, empty line.
uint64_t CDumpView::LineCount() const { return m_pSource ? m_pSource->LineCount() + 1 : 0; }

int CDumpView::VisibleLines() const { return std::max(1, viewport()->height() / m_nLineHeight); }

uint64_t CDumpView::MaxFirstLine() const
{
    const uint64_t lines = LineCount();
    return lines > uint64_t(VisibleLines()) ? lines - uint64_t(VisibleLines()) : 0;
}

void CDumpView::SetFirstLine(uint64_t nLine)
{
    const uint64_t maxFirst = MaxFirstLine();
    m_nFirstLine = std::min(nLine, maxFirst);
    QScrollBar *v = verticalScrollBar();
    m_bSettingScrollBar = true;
    v->setValue(m_nFirstLine == maxFirst ? v->maximum() : int(m_nFirstLine / m_nLinesPerStep));
    m_bSettingScrollBar = false;
    viewport()->update();
}

void CDumpView::OnVerticalScroll(int nValue)
{
    if (m_bSettingScrollBar)
        return;
    // The bar's end is the listing's end, even when its steps are several lines.
    const QScrollBar *v = verticalScrollBar();
    m_nFirstLine = nValue >= v->maximum() ? MaxFirstLine() : std::min(MaxFirstLine(), uint64_t(nValue) * m_nLinesPerStep);
    viewport()->update();
}

void CDumpView::UpdateScrollBars()
{
    const uint64_t maxFirst = MaxFirstLine();
    m_nLinesPerStep = maxFirst / uint64_t(INT_MAX) + 1;
    QScrollBar *v = verticalScrollBar();
    m_bSettingScrollBar = true;
    v->setRange(0, int((maxFirst + m_nLinesPerStep - 1) / m_nLinesPerStep));
    v->setPageStep(std::max(1, int(uint64_t(VisibleLines()) / m_nLinesPerStep)));
    v->setSingleStep(1);
    m_bSettingScrollBar = false;
    SetFirstLine(m_nFirstLine);
    // The widest lines are the last ones, whose offsets have the most digits.
    int chars = 0;
    if (m_pSource)
        for (uint64_t line = m_pSource->LineCount() >= 2 ? m_pSource->LineCount() - 2 : 0; line < m_pSource->LineCount(); ++line)
            chars = std::max(chars, m_pSource->LineLength(line));
    // Two pixels before the first column and after the caret behind the last one.
    const int width = chars * m_nCharWidth;
    horizontalScrollBar()->setRange(0, std::max(0, width + 4 - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_nCharWidth);
}

void CDumpView::changeEvent(QEvent *event)
{
    if (event)
        QAbstractScrollArea::changeEvent(event);
    if (!event || event->type() == QEvent::FontChange) {
        QFontMetrics fm(font());
        m_nCharWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
        m_nLineHeight = std::max(1, fm.height());
        UpdateScrollBars();
    }
}

void CDumpView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

QRect CDumpView::CellRect(uint64_t nLine, int nCol) const
{
    // A line far out of sight is placed just outside the viewport.
    const int64_t row = nLine >= m_nFirstLine ? int64_t(std::min<uint64_t>(nLine - m_nFirstLine, uint64_t(VisibleLines()) + 1))
                                              : -1;
    return QRect(2 - horizontalScrollBar()->value() + nCol * m_nCharWidth, int(row) * m_nLineHeight, m_nCharWidth,
                 m_nLineHeight);
}

void CDumpView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    if (!m_pSource)
        return;
    const QPalette &pal = palette();
    const uint64_t first = FirstVisibleLine();
    const uint64_t last = std::min<uint64_t>(LineCount(), first + uint64_t(VisibleLines()) + 1);
    const CPos selFrom = std::min(m_anchor, m_caret);
    const CPos selTo = std::max(m_anchor, m_caret);
    const int ascent = QFontMetrics(font()).ascent();
    for (uint64_t line = first; line < last; ++line) {
        const QString text = CDumpSource::ToDisplay(m_pSource->Line(line));
        if (HasSelection() && line >= selFrom.nLine && line <= selTo.nLine) {
            const int from = line == selFrom.nLine ? selFrom.nCol : 0;
            // A selected line break shows as one selected cell.
            const int to = line == selTo.nLine ? selTo.nCol : int(text.size()) + 1;
            const QRect start = CellRect(line, from);
            painter.fillRect(start.x(), start.y(), (to - from) * m_nCharWidth, m_nLineHeight,
                             pal.brush(QPalette::Highlight));
        }
        // Each character in its own cell keeps the columns aligned whatever glyphs
        // the font lacks.
        for (int i = 0; i < text.size(); ++i) {
            const CPos cell{line, i};
            const bool selected = HasSelection() && !(cell < selFrom) && cell < selTo;
            painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
            const QRect rect = CellRect(line, i);
            painter.drawText(rect.x(), rect.y() + ascent, QString(text[i]));
        }
    }
    if (hasFocus() && m_caret.nLine >= first && m_caret.nLine < last) {
        const QRect rect = CellRect(m_caret.nLine, m_caret.nCol);
        painter.fillRect(rect.x(), rect.y(), 1, m_nLineHeight, pal.color(QPalette::Text));
    }
}

CDumpView::CPos CDumpView::HitTest(const QPoint &point) const
{
    if (!m_pSource)
        return CPos();
    const int row = point.y() < 0 ? -1 - (-point.y() - 1) / m_nLineHeight : point.y() / m_nLineHeight;
    const int64_t line = std::clamp<int64_t>(int64_t(FirstVisibleLine()) + row, 0, int64_t(LineCount()) - 1);
    const int x = point.x() - 2 + horizontalScrollBar()->value();
    const int col = std::clamp((x + m_nCharWidth / 2) / m_nCharWidth, 0, m_pSource->LineLength(uint64_t(line)));
    return CPos{uint64_t(line), col};
}

void CDumpView::MoveCaret(CPos pos, bool bExtend)
{
    m_caret = pos;
    if (!bExtend)
        m_anchor = pos;
    EnsureCaretVisible();
    viewport()->update();
}

void CDumpView::EnsureCaretVisible()
{
    const uint64_t first = FirstVisibleLine();
    if (m_caret.nLine < first)
        SetFirstLine(m_caret.nLine);
    else if (m_caret.nLine >= first + uint64_t(VisibleLines()))
        SetFirstLine(m_caret.nLine - uint64_t(VisibleLines()) + 1);
    QScrollBar *h = horizontalScrollBar();
    const int x = m_caret.nCol * m_nCharWidth;
    if (x < h->value())
        h->setValue(x);
    else if (x + m_nCharWidth > h->value() + viewport()->width())
        h->setValue(x + m_nCharWidth - viewport()->width() + 4);
}

void CDumpView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    if (!m_pSource) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const uint64_t lastLine = LineCount() - 1;
    CPos pos = m_caret;
    auto clampCol = [this](CPos p) {
        p.nCol = std::min(p.nCol, m_pSource->LineLength(p.nLine));
        return p;
    };
    switch (event->key()) {
    case Qt::Key_Left:
        if (pos.nCol > 0)
            --pos.nCol;
        else if (pos.nLine > 0)
            pos = CPos{pos.nLine - 1, m_pSource->LineLength(pos.nLine - 1)};
        break;
    case Qt::Key_Right:
        if (pos.nCol < m_pSource->LineLength(pos.nLine))
            ++pos.nCol;
        else if (pos.nLine < lastLine)
            pos = CPos{pos.nLine + 1, 0};
        break;
    case Qt::Key_Up:
        if (pos.nLine > 0)
            pos = clampCol(CPos{pos.nLine - 1, pos.nCol});
        break;
    case Qt::Key_Down:
        if (pos.nLine < lastLine)
            pos = clampCol(CPos{pos.nLine + 1, pos.nCol});
        break;
    case Qt::Key_PageUp:
        pos = clampCol(CPos{pos.nLine - std::min<uint64_t>(pos.nLine, uint64_t(VisibleLines())), pos.nCol});
        break;
    case Qt::Key_PageDown:
        pos = clampCol(CPos{std::min<uint64_t>(lastLine, pos.nLine + uint64_t(VisibleLines())), pos.nCol});
        break;
    case Qt::Key_Home:
        pos = ctrl ? CPos() : CPos{pos.nLine, 0};
        break;
    case Qt::Key_End:
        pos = ctrl ? CPos{lastLine, m_pSource->LineLength(lastLine)} : CPos{pos.nLine, m_pSource->LineLength(pos.nLine)};
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    MoveCaret(pos, extend);
}

void CDumpView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        MoveCaret(HitTest(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void CDumpView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        MoveCaret(HitTest(event->position().toPoint()), true);
}

void CDumpView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pSource)
        return;
    const CPos hit = HitTest(event->position().toPoint());
    m_anchor = CPos{hit.nLine, 0};
    MoveCaret(CPos{hit.nLine, m_pSource->LineLength(hit.nLine)}, true);
}

void CDumpView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(tr("&Copy"), this, &CDumpView::Copy);
    copy->setEnabled(HasSelection());
    QAction *all = menu.addAction(tr("Select &All"), this, &CDumpView::SelectAll);
    all->setEnabled(m_pSource != nullptr);
    menu.exec(event->globalPos());
}

void CDumpView::SelectAll()
{
    if (!m_pSource)
        return;
    const uint64_t last = LineCount() - 1;
    m_anchor = CPos();
    m_caret = CPos{last, m_pSource->LineLength(last)};
    viewport()->update();
}

QByteArray CDumpView::RangeBytes(CPos from, CPos to) const
{
    if (!m_pSource)
        return QByteArray();
    return m_pSource->Text(from.nLine, from.nCol, to.nLine, to.nCol);
}

QString CDumpView::Text() const
{
    if (!m_pSource)
        return QString();
    return CDumpSource::ToDisplay(RangeBytes(CPos(), CPos{LineCount() - 1, 0}));
}

QString CDumpView::SelectedText() const
{
    return CDumpSource::ToDisplay(RangeBytes(std::min(m_anchor, m_caret), std::max(m_anchor, m_caret)));
}

void CDumpView::Copy()
{
    if (!HasSelection())
        return;
    const CPos from = std::min(m_anchor, m_caret);
    const CPos to = std::max(m_anchor, m_caret);
    // Lines are at most 88 characters, which bounds the text before it is built.
    if (qint64(to.nLine - from.nLine) * (kMaxLineChars + 2) > kMaxCopyChars) {
        emit CopyRefused();
        return;
    }
    QApplication::clipboard()->setText(SelectedText());
}
