#include "editor/MessageMarkers.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "editor/KestrelView.h"
#include "debug/BreakpointMarks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMap>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int kMarkSize = 12;

unsigned MarkerMask()
{
    return (1u << CMessageMarkers::kErrorMarker) | (1u << CMessageMarkers::kWarningMarker);
}

// A warning triangle with an exclamation mark: nothing like the breakpoint's red dot,
// in shape or in colour.
void Triangle(QPainter &p, const QColor &fill, const QColor &rim, const QColor &mark)
{
    const qreal s = kMarkSize;
    p.setPen(QPen(rim, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    const QPointF corners[] = {{s / 2, 0.8}, {s - 0.6, s - 1.2}, {0.6, s - 1.2}};
    p.drawPolygon(corners, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(mark);
    p.drawRect(QRectF(s / 2 - 0.8, 3.6, 1.6, 3.8));
    p.drawEllipse(QPointF(s / 2, 8.9), 0.9, 0.9);
}

} // namespace

CMessageMarkers::CMessageMarkers(CKestrelView *pView)
    : QObject(pView)
    , m_pView(pView)
    , m_styleError(-1, QStringLiteral("Error message"), QColor(0x80, 0x00, 0x00), QColor(0xff, 0xe4, 0xe4),
                   pView->font())
    , m_styleWarning(-1, QStringLiteral("Warning message"), QColor(0x60, 0x40, 0x00), QColor(0xff, 0xf2, 0xcc),
                     pView->font())
{
    m_pView->setMarginType(kSymbolMargin, QsciScintilla::SymbolMargin);
    m_pView->setMarginWidth(kSymbolMargin, 16);
    m_pView->setMarginMarkerMask(kSymbolMargin, ~int(QsciScintillaBase::SC_MASK_FOLDERS) & ~int(MarkerMask()));
    m_pView->setMarginType(kMessageMargin, QsciScintilla::SymbolMargin);
    m_pView->setMarginWidth(kMessageMargin, kMarkSize + 2);
    m_pView->setMarginMarkerMask(kMessageMargin, int(MarkerMask()));
    CBreakpointMarks::DefineDrawn(m_pView, kErrorMarker, kMarkSize, [](QPainter &p) {
        Triangle(p, QColor(0xf5, 0x7a, 0x00), QColor(0x8c, 0x40, 0x00), Qt::white);
    });
    CBreakpointMarks::DefineDrawn(m_pView, kWarningMarker, kMarkSize, [](QPainter &p) {
        Triangle(p, QColor(0xf8, 0xd2, 0x2a), QColor(0x8a, 0x6d, 0x00), QColor(0x40, 0x30, 0x00));
    });
    m_pView->setAnnotationDisplay(QsciScintilla::AnnotationIndented);
    m_pViewport = m_pView->viewport();
    m_pViewport->installEventFilter(this);
}

bool CMessageMarkers::SamePath(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo fa(a), fb(b);
    const QString ca = fa.canonicalFilePath(), cb = fb.canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

QString CMessageMarkers::DisplayText(const CFileLineMessage &message)
{
    if (message.nForm == CFileLineMessage::Critic) {
        // "FILE:LINE:COLUMN: " says nothing the mark doesn't.
        const qsizetype at = message.strText.indexOf(QLatin1String(": ["));
        return at >= 0 ? message.strText.mid(at + 2) : message.strText;
    }
    return message.strText;
}

void CMessageMarkers::Clear()
{
    m_pView->markerDeleteAll(kErrorMarker);
    m_pView->markerDeleteAll(kWarningMarker);
    m_pView->clearAnnotations();
    const bool had = !m_entries.isEmpty();
    m_entries.clear();
    if (had)
        emit MarkersChanged();
}

void CMessageMarkers::ShowMessages(const QList<CFileLineMessage> &messages)
{
    emit RunMessagesShown();
    Show(messages);
}

void CMessageMarkers::Show(const QList<CFileLineMessage> &messages, bool bAllOfThisScript)
{
    Clear();
    m_lastMessages = messages;
    CKestrelDoc *pDoc = m_pView->GetDocument();
    const QString docPath = pDoc ? pDoc->GetPathName() : QString();
    const int lines = m_pView->lines();
    // Line -> its messages and whether one is an error.
    QMap<int, QPair<QStringList, bool>> byLine;
    for (const CFileLineMessage &m : messages) {
        if (m.bFrame || m.nLine < 1 || m.nLine > lines || (!bAllOfThisScript && !SamePath(m.strPath, docPath)))
            continue;
        const int line = m.nLine - 1;
        const QString text = DisplayText(m);
        const bool error = m.nSeverity == CFileLineMessage::Error;
        const int handle = m_pView->markerAdd(line, error ? kErrorMarker : kWarningMarker);
        m_entries << CEntry{handle, m.nSeverity, text};
        auto &slot = byLine[line];
        if (!slot.first.contains(text))
            slot.first << text;
        slot.second = slot.second || error;
    }
    for (auto it = byLine.begin(); it != byLine.end(); ++it)
        m_pView->annotate(it.key(), it->first.join(QLatin1Char('\n')), it->second ? m_styleError : m_styleWarning);
    emit MarkersChanged();
}

QList<int> CMessageMarkers::MarkedLines() const
{
    QList<int> lines;
    for (int line = m_pView->markerFindNext(0, MarkerMask()); line >= 0;
         line = m_pView->markerFindNext(line + 1, MarkerMask()))
        lines << line;
    return lines;
}

QString CMessageMarkers::MessagesAt(int nLine) const
{
    QStringList texts;
    for (const CEntry &e : m_entries)
        if (m_pView->markerLine(e.nHandle) == nLine && !texts.contains(e.strText))
            texts << e.strText;
    return texts.join(QLatin1Char('\n'));
}

bool CMessageMarkers::HasError(int nLine) const
{
    return nLine >= 0 && (m_pView->markersAtLine(nLine) & (1u << kErrorMarker));
}

void CMessageMarkers::GoToMarked(int nLine)
{
    if (nLine < 0)
        return;
    m_pView->GoToLine(nLine + 1);
    emit m_pView->StatusMessage(MessagesAt(nLine).section(QLatin1Char('\n'), 0, 0));
}

void CMessageMarkers::GoToNext()
{
    int line = 0, index = 0;
    m_pView->getCursorPosition(&line, &index);
    int next = m_pView->markerFindNext(line + 1, MarkerMask());
    if (next < 0)
        next = m_pView->markerFindNext(0, MarkerMask());
    GoToMarked(next);
}

void CMessageMarkers::GoToPrevious()
{
    int line = 0, index = 0;
    m_pView->getCursorPosition(&line, &index);
    int previous = line > 0 ? m_pView->markerFindPrevious(line - 1, MarkerMask()) : -1;
    if (previous < 0)
        previous = m_pView->markerFindPrevious(m_pView->lines() - 1, MarkerMask());
    GoToMarked(previous);
}

void CMessageMarkers::GoToFileLine(const QString &strPath, int nLine)
{
    CKestrelDoc *pDoc = m_pView->GetDocument();
    if (!pDoc)
        return;
    if (!SamePath(strPath, pDoc->GetPathName())) {
        const QList<CFileLineMessage> messages = m_lastMessages;
        if (auto *app = qobject_cast<CKestrelApp *>(QCoreApplication::instance())) {
            if (!app->OpenDocumentFile(strPath))
                return;
        } else {
            if (!pDoc->SaveModified() || !pDoc->OnOpenDocument(strPath))
                return;
            m_pView->OnInitialUpdate();
        }
        Show(messages);
    }
    m_pView->GoToLine(nLine);
    m_pView->setFocus();
}

int CMessageMarkers::MarginLineAt(const QPoint &pos) const
{
    // Over the message margin, or over the symbol margin where the messages of a
    // line join its breakpoint's tooltip.
    int left = 0;
    bool over = false;
    for (int margin = 0; margin < m_pView->margins(); ++margin) {
        const int width = m_pView->marginWidth(margin);
        if ((margin == kSymbolMargin || margin == kMessageMargin) && pos.x() >= left && pos.x() < left + width)
            over = true;
        left += width;
    }
    if (!over)
        return -1;
    // The text's left edge, where the line under the pointer is measured.
    const long position = m_pView->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                                 (unsigned long)left, long(pos.y()));
    return int(m_pView->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, position));
}

bool CMessageMarkers::eventFilter(QObject *watched, QEvent *event)
{
    // Compared with the viewport kept at the start: events still reach the filter while
    // the view is being destroyed, when the view's own members may no longer be called.
    if (event->type() == QEvent::ToolTip && watched == m_pViewport) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int line = MarginLineAt(help->pos());
        const QString text = line >= 0 ? MessagesAt(line) : QString();
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, m_pView->viewport());
            return true;
        }
        if (line >= 0) {
            QToolTip::hideText();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
