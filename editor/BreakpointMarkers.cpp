#include "editor/BreakpointMarkers.h"

#include "app/KestrelDoc.h"
#include "editor/KestrelView.h"
#include "editor/MessageMarkers.h"
#include "debug/BreakpointMarks.h"
#include "debug/BreakpointsDlg.h"
#include "debug/DebugBreakpointList.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QInputDialog>
#include <QMenu>
#include <QToolTip>

CBreakpointMarkers::CBreakpointMarkers(CKestrelView *pView)
    : QObject(pView)
    , m_pView(pView)
{
    CBreakpointMarks::Define(m_pView);
    m_pView->setMarginSensitivity(CMessageMarkers::kSymbolMargin, true);
    connect(m_pView, &QsciScintilla::marginClicked, this, [this](int margin, int line, Qt::KeyboardModifiers) {
        if (margin == CMessageMarkers::kSymbolMargin)
            Toggle(line);
    });
    m_pViewport = m_pView->viewport();
    m_pViewport->installEventFilter(this);
}

QString CBreakpointMarkers::DocumentPath() const
{
    CKestrelDoc *pDoc = m_pView->GetDocument();
    return pDoc ? pDoc->GetPathName() : QString();
}

int CBreakpointMarkers::LineOf(const CEntry &e) const
{
    return m_pView->markerLine(e.nHandle);
}

int CBreakpointMarkers::Find(int nLine) const
{
    for (int i = 0; i < m_entries.size(); ++i)
        if (LineOf(m_entries[i]) == nLine)
            return i;
    return -1;
}

void CBreakpointMarkers::Mark(CEntry &e, int nLine)
{
    if (e.nHandle >= 0)
        m_pView->markerDeleteHandle(e.nHandle);
    e.nHandle = m_pView->markerAdd(nLine, CBreakpointMarks::MarkerFor(e.bp));
}

bool CBreakpointMarkers::HasBreakpoint(int nLine) const
{
    return Find(nLine) >= 0;
}

QList<int> CBreakpointMarkers::Lines() const
{
    QList<int> lines;
    for (int line = m_pView->markerFindNext(0, CBreakpointMarks::kBreakpointMask); line >= 0;
         line = m_pView->markerFindNext(line + 1, CBreakpointMarks::kBreakpointMask))
        lines << line;
    return lines;
}

void CBreakpointMarkers::Toggle(int nLine)
{
    if (nLine < 0 || nLine >= m_pView->lines())
        return;
    if (HasBreakpoint(nLine)) {
        RemoveAt(nLine);
        return;
    }
    CEntry e;
    e.bp.nLine = nLine + 1;
    Mark(e, nLine);
    m_entries << e;
    emit BreakpointsChanged();
}

void CBreakpointMarkers::ToggleAtCaret()
{
    int line = 0, index = 0;
    m_pView->getCursorPosition(&line, &index);
    Toggle(line);
}

void CBreakpointMarkers::SetCondition(int nLine, const QString &strCondition)
{
    if (nLine < 0 || nLine >= m_pView->lines())
        return;
    int i = Find(nLine);
    if (i < 0) {
        m_entries << CEntry{};
        i = int(m_entries.size()) - 1;
    }
    CEntry &e = m_entries[i];
    e.bp.strCondition = strCondition.trimmed();
    e.bp.state = CDebugBreakpoint::State::Pending;
    e.bp.strReason.clear();
    e.nMovedFrom = 0;
    Mark(e, nLine);
    emit BreakpointsChanged();
}

void CBreakpointMarkers::EditConditionAt(int nLine)
{
    if (nLine < 0 || nLine >= m_pView->lines())
        return;
    const CDebugBreakpoint bp = BreakpointAt(nLine);
    bool ok = false;
    const QString condition = QInputDialog::getText(
        m_pView->window(), QStringLiteral("Conditional Breakpoint"),
        QStringLiteral("Stop at line %1 only when this Perl expression is true\n(leave it empty to stop every time):")
            .arg(nLine + 1),
        QLineEdit::Normal, bp.strCondition, &ok);
    if (ok)
        SetCondition(nLine, condition);
}

void CBreakpointMarkers::EditConditionAtCaret()
{
    int line = 0, index = 0;
    m_pView->getCursorPosition(&line, &index);
    EditConditionAt(line);
}

void CBreakpointMarkers::RemoveAt(int nLine)
{
    bool removed = false;
    for (int i = int(m_entries.size()) - 1; i >= 0; --i) {
        if (LineOf(m_entries[i]) == nLine) {
            m_pView->markerDeleteHandle(m_entries[i].nHandle);
            m_entries.removeAt(i);
            removed = true;
        }
    }
    if (removed)
        emit BreakpointsChanged();
}

void CBreakpointMarkers::Clear()
{
    for (int marker : {CBreakpointMarks::kBreakpoint, CBreakpointMarks::kConditional, CBreakpointMarks::kRefused})
        m_pView->markerDeleteAll(marker);
    const bool had = !m_entries.isEmpty();
    m_entries.clear();
    if (had)
        emit BreakpointsChanged();
}

CDebugBreakpoint CBreakpointMarkers::BreakpointAt(int nLine) const
{
    const int i = Find(nLine);
    if (i < 0)
        return {};
    CDebugBreakpoint bp = m_entries[i].bp;
    bp.strFile = DocumentPath();
    bp.nLine = nLine + 1;
    if (m_entries[i].nMovedFrom > 0)
        bp.nLine = m_entries[i].nMovedFrom;
    return bp;
}

QString CBreakpointMarkers::TooltipAt(int nLine) const
{
    return HasBreakpoint(nLine) ? CBreakpointMarks::Tooltip(BreakpointAt(nLine)) : QString();
}

QList<CDebugBreakpoint> CBreakpointMarkers::Breakpoints() const
{
    const QString path = DocumentPath();
    QList<CDebugBreakpoint> list;
    QList<int> seen;
    for (const CEntry &e : m_entries) {
        const int line = LineOf(e);
        if (line < 0 || seen.contains(line))
            continue;
        seen << line;
        CDebugBreakpoint bp = e.bp;
        bp.strFile = path;
        bp.nLine = line + 1;
        list << bp;
    }
    std::sort(list.begin(), list.end(),
              [](const CDebugBreakpoint &a, const CDebugBreakpoint &b) { return a.nLine < b.nLine; });
    return list;
}

bool CBreakpointMarkers::KeepsFile(const QString &strFile) const
{
    return CDebugBreakpointList::SamePath(strFile, DocumentPath());
}

void CBreakpointMarkers::AddBreakpoint(const CDebugBreakpoint &bp)
{
    if (!KeepsFile(bp.strFile))
        return;
    const int line = CDebugBreakpointList::ShownLine(bp) - 1;
    if (line < 0 || line >= m_pView->lines() || HasBreakpoint(line))
        return;
    CEntry e;
    e.bp = bp;
    e.bp.strFile.clear();
    e.bp.nLine = line + 1;
    Mark(e, line);
    m_entries << e;
    emit BreakpointsChanged();
}

void CBreakpointMarkers::RemoveBreakpoint(const QString &strFile, int nLine)
{
    if (!KeepsFile(strFile))
        return;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].nMovedFrom == nLine) {
            RemoveAt(LineOf(m_entries[i]));
            return;
        }
    }
    RemoveAt(nLine - 1);
}

void CBreakpointMarkers::RemoveAllBreakpoints()
{
    Clear();
}

void CBreakpointMarkers::BreakpointChanged(const CDebugBreakpoint &bp)
{
    if (!KeepsFile(bp.strFile))
        return;
    int i = -1;
    for (int k = 0; k < m_entries.size() && i < 0; ++k)
        if (m_entries[k].nMovedFrom == bp.nLine)
            i = k;
    if (i < 0)
        i = Find(bp.nLine - 1);
    if (i < 0)
        return;
    CEntry &e = m_entries[i];
    const int from = e.nMovedFrom > 0 ? e.nMovedFrom : LineOf(e) + 1;
    e.bp.state = bp.state;
    e.bp.strReason = bp.strReason;
    e.bp.nActualLine = bp.nActualLine;
    int line = LineOf(e);
    if (bp.state == CDebugBreakpoint::State::Moved && bp.nActualLine > 0 && bp.nActualLine <= m_pView->lines()) {
        // The mark goes where perl really stops; its tooltip says where it came from.
        e.nMovedFrom = from;
        e.bp.nLine = from;
        line = bp.nActualLine - 1;
    }
    Mark(e, line);
    emit BreakpointsChanged();
}

void CBreakpointMarkers::ShowList()
{
    CBreakpointsDlg dlg(this, m_pView->window());
    dlg.exec();
}

int CBreakpointMarkers::MarginLineAt(const QPoint &pos) const
{
    int left = 0;
    for (int margin = 0; margin < CMessageMarkers::kSymbolMargin; ++margin)
        left += m_pView->marginWidth(margin);
    if (pos.x() < left || pos.x() >= left + m_pView->marginWidth(CMessageMarkers::kSymbolMargin))
        return -1;
    const long position = m_pView->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                                 (unsigned long)(left + m_pView->marginWidth(CMessageMarkers::kSymbolMargin)),
                                                 long(pos.y()));
    return int(m_pView->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, position));
}

void CBreakpointMarkers::ShowMarginMenu(int nLine, const QPoint &globalPos)
{
    QMenu menu(m_pView);
    menu.setObjectName(QStringLiteral("BreakpointMenu"));
    const bool has = HasBreakpoint(nLine);
    QAction *toggle = menu.addAction(has ? QStringLiteral("Remove &Breakpoint\tF9") : QStringLiteral("Insert &Breakpoint\tF9"));
    QAction *condition = menu.addAction(has ? QStringLiteral("Edit &Condition...") : QStringLiteral("Insert &Conditional Breakpoint..."));
    menu.addSeparator();
    QAction *list = menu.addAction(QStringLiteral("Brea&kpoints..."));
    QAction *all = menu.addAction(QStringLiteral("Remove &All Breakpoints"));
    all->setEnabled(!m_entries.isEmpty());
    QAction *chosen = menu.exec(globalPos);
    if (chosen == toggle)
        Toggle(nLine);
    else if (chosen == condition)
        EditConditionAt(nLine);
    else if (chosen == list)
        ShowList();
    else if (chosen == all)
        Clear();
}

bool CBreakpointMarkers::eventFilter(QObject *watched, QEvent *event)
{
    // Compared with the viewport kept at the start: events still reach the filter while
    // the view is being destroyed.
    if (watched != m_pViewport)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int line = MarginLineAt(help->pos());
        if (line >= 0 && HasBreakpoint(line)) {
            QString text = TooltipAt(line);
            const QString messages = m_pView->Markers()->MessagesAt(line);
            if (!messages.isEmpty())
                text += QLatin1Char('\n') + messages;
            QToolTip::showText(help->globalPos(), text, m_pViewport);
            return true;
        }
    } else if (event->type() == QEvent::ContextMenu) {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        const int line = MarginLineAt(menuEvent->pos());
        if (line >= 0 && line < m_pView->lines()) {
            ShowMarginMenu(line, menuEvent->globalPos());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
