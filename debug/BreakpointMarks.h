#pragma once

#include "debug/DebugBreakpoint.h"

#include <QString>

#include <functional>

class QPainter;
class QsciScintilla;

// The debugger's marks in a symbol margin: the editor's and the debug window's source
// pane draw them alike. Their numbers keep clear of the message marks (20 and 21) and
// of 25 to 31, which Scintilla keeps for folding. A margin draws higher numbers over
// lower ones, so the arrow shows on a breakpoint's line too.
class CBreakpointMarks
{
public:
    static constexpr int kRefused = 17;
    static constexpr int kConditional = 18;
    static constexpr int kBreakpoint = 19;
    static constexpr int kCurrentLine = 23;
    static constexpr int kArrow = 24;

    // The bits of all the breakpoint marks (not the arrow or the current line).
    static constexpr unsigned kBreakpointMask = (1u << kBreakpoint) | (1u << kConditional) | (1u << kRefused);

    // Defines the marks on a control; the margin must be a symbol margin that shows them.
    static void Define(QsciScintilla *pControl);
    // Defines a mark as a picture of nSize x nSize pixels (at 1x) that `draw` paints in
    // those units, at the control's device pixel ratio, so that it stays sharp on a 2x
    // screen. The message marks are drawn this way too.
    static void DefineDrawn(QsciScintilla *pControl, int nMarker, int nSize,
                            const std::function<void(QPainter &)> &draw);
    // The mark a breakpoint is drawn with.
    static int MarkerFor(const CDebugBreakpoint &bp);
    // What a breakpoint's state says, for a tooltip or a list: "Set", "Moved to line 7",
    // "Refused: ...".
    static QString StateText(const CDebugBreakpoint &bp);
    // The tooltip of a breakpoint's mark.
    static QString Tooltip(const CDebugBreakpoint &bp);
};
