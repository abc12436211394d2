#pragma once

#include "run/DebugBreakpoint.h"

#include <QString>

class QsciScintilla;

// The debugger's marks in a symbol margin: the editor's and the debug window's source
// pane draw them alike. Their numbers keep clear of the message marks (20 and 21).
class CBreakpointMarks
{
public:
    static constexpr int kBreakpoint = 22;
    static constexpr int kConditional = 23;
    static constexpr int kRefused = 24;
    static constexpr int kArrow = 25;
    static constexpr int kCurrentLine = 26;

    // The bits of all the breakpoint marks (not the arrow or the current line).
    static constexpr unsigned kBreakpointMask = (1u << kBreakpoint) | (1u << kConditional) | (1u << kRefused);

    // Defines the marks on a control; the margin must be a symbol margin that shows them.
    static void Define(QsciScintilla *pControl);
    // The mark a breakpoint is drawn with.
    static int MarkerFor(const CDebugBreakpoint &bp);
    // What a breakpoint's state says, for a tooltip or a list: "Set", "Moved to line 7",
    // "Refused: ...".
    static QString StateText(const CDebugBreakpoint &bp);
    // The tooltip of a breakpoint's mark.
    static QString Tooltip(const CDebugBreakpoint &bp);
};
