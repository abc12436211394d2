#pragma once

#include "debug/DebugBreakpoint.h"

#include <QList>
#include <QString>

// Where the debugger finds the breakpoints the user set in the editor, and reports
// what became of them, without the runner knowing the editor. Files are absolute
// paths and lines 1-based.
class CBreakpointHost
{
public:
    virtual ~CBreakpointHost() = default;

    // The breakpoints on the lines where they are now.
    virtual QList<CDebugBreakpoint> Breakpoints() const = 0;
    // Whether the host keeps the breakpoints of this file (the editor keeps those of
    // its document only).
    virtual bool KeepsFile(const QString &strFile) const = 0;
    virtual void AddBreakpoint(const CDebugBreakpoint &bp) = 0;
    virtual void RemoveBreakpoint(const QString &strFile, int nLine) = 0;
    virtual void RemoveAllBreakpoints() = 0;
    // What the debugger made of a breakpoint: set, moved to another line, or refused.
    virtual void BreakpointChanged(const CDebugBreakpoint &bp) = 0;
};
