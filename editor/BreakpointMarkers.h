#pragma once

#include "debug/BreakpointHost.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

class CKestrelView;
class QWidget;

// The breakpoints of the editor's document, drawn in the symbol margin. They are
// Scintilla marks, so they move with their lines as the user edits; they last while
// the document is open and are not saved in the file. A click in the margin or F9
// toggles one; the margin's context menu adds a condition and opens the list.
class CBreakpointMarkers : public QObject, public CBreakpointHost
{
    Q_OBJECT

public:
    explicit CBreakpointMarkers(CKestrelView *pView);

    // Lines are 0-based here, as the control counts them.
    void Toggle(int nLine);
    void ToggleAtCaret();
    // Sets a breakpoint with this condition on the line (an empty one stops always).
    void SetCondition(int nLine, const QString &strCondition);
    // Asks for the condition of a line's breakpoint.
    void EditConditionAt(int nLine);
    void EditConditionAtCaret();
    void RemoveAt(int nLine);
    void Clear();
    // The list of all breakpoints, to look at and remove from.
    void ShowList();
    QList<int> Lines() const;
    bool HasBreakpoint(int nLine) const;
    // The breakpoint of a line (0-based), or one with nLine 0.
    CDebugBreakpoint BreakpointAt(int nLine) const;
    QString TooltipAt(int nLine) const;

    // CBreakpointHost (1-based lines, absolute paths).
    QList<CDebugBreakpoint> Breakpoints() const override;
    bool KeepsFile(const QString &strFile) const override;
    void AddBreakpoint(const CDebugBreakpoint &bp) override;
    void RemoveBreakpoint(const QString &strFile, int nLine) override;
    void RemoveAllBreakpoints() override;
    void BreakpointChanged(const CDebugBreakpoint &bp) override;

signals:
    void BreakpointsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct CEntry
    {
        int nHandle = -1;
        CDebugBreakpoint bp;
        // The line (1-based) the debugger moved it from, so that later reports about it
        // still find it.
        int nMovedFrom = 0;
    };
    int LineOf(const CEntry &e) const;
    int Find(int nLine) const;
    void Mark(CEntry &e, int nLine);
    QString DocumentPath() const;
    int MarginLineAt(const QPoint &pos) const;
    void ShowMarginMenu(int nLine, const QPoint &globalPos);

    CKestrelView *m_pView;
    QWidget *m_pViewport;
    QList<CEntry> m_entries;
};
