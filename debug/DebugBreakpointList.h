#pragma once

#include "debug/DebugBreakpoint.h"

#include <QList>
#include <QString>

// The breakpoints of a debug session, in all files: the editor's and those the user
// sets in the debug window's source pane (in modules, say). A breakpoint is known by
// its file and the line the user gave it; one the debugger moved is found by either
// line.
class CDebugBreakpointList
{
public:
    void Assign(const QList<CDebugBreakpoint> &list);
    const QList<CDebugBreakpoint> &All() const { return m_list; }
    bool IsEmpty() const { return m_list.isEmpty(); }

    // The breakpoint on a line (given or moved to), or -1.
    int IndexOf(const QString &strFile, int nLine) const;
    const CDebugBreakpoint *At(const QString &strFile, int nLine) const;
    // Adds a breakpoint on a line that has none and returns true; removes the one there
    // and returns false. *pBreakpoint gets the breakpoint added or removed.
    bool Toggle(const QString &strFile, int nLine, CDebugBreakpoint *pBreakpoint = nullptr);
    void Add(const CDebugBreakpoint &bp);
    bool Remove(const QString &strFile, int nLine, CDebugBreakpoint *pRemoved = nullptr);
    void Clear() { m_list.clear(); }
    // Takes what the debugger made of a breakpoint; false when it is not in the list.
    bool Update(const CDebugBreakpoint &bp);
    QList<CDebugBreakpoint> InFile(const QString &strFile) const;

    // The line a breakpoint stops at as far as is known: where it was moved, else where
    // it was set.
    static int ShownLine(const CDebugBreakpoint &bp);
    static bool SamePath(const QString &a, const QString &b);

private:
    QList<CDebugBreakpoint> m_list;
};
