#pragma once

#include "run/RunSessionHook.h"

#include <memory>

class CBreakpointHost;
class CDebugEngine;
class CDebugPanel;

// The debugger's part of a piped run: each child gets the engine's private channel, and
// the output window gets the debug panel, which shows what the engine reports. One
// object serves one debug session, starts again included.
class CDebugRunHook : public CRunSessionHook
{
public:
    // The debug window is larger than the output window and is remembered apart.
    static constexpr const char *kGeometryKey = "DebugWindow/Geometry";

    // The breakpoints come from the host, which may be null.
    explicit CDebugRunHook(CBreakpointHost *pBreakpoints);
    ~CDebugRunHook() override;

    bool PrepareChild(CChildProcess &child, const CRunCommandLine &cl, bool bFirst, QString *pError) override;
    void AttachWindow(COutputWindowDlg &wnd, const CRunCommandLine &cl, std::function<bool()> fnStartAgain) override;

    CDebugEngine &Engine() const { return *m_upEngine; }

    // Puts a panel for `pEngine` into the window: the output area under its source, its
    // transcript on the error pane, its Stop ending the program, typed lines offered to
    // it first.
    static CDebugPanel *AttachPanel(COutputWindowDlg &wnd, CDebugEngine *pEngine, CBreakpointHost *pHost);
    // The debug panel of a window; null in a plain run's window.
    static CDebugPanel *PanelOf(const COutputWindowDlg *pWnd);

private:
    std::unique_ptr<CDebugEngine> m_upEngine;
    CBreakpointHost *m_pBreakpoints;
};
