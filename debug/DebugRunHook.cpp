#include "debug/DebugRunHook.h"

#include "debug/BreakpointHost.h"
#include "debug/DebugEngine.h"
#include "debug/DebugPanel.h"
#include "run/ChildProcess.h"
#include "run/OutputWindowDlg.h"
#include "run/RunCommandLine.h"
#include "run/SendInputDlg.h"

#include <QDir>

CDebugRunHook::CDebugRunHook(CBreakpointHost *pBreakpoints)
    : m_upEngine(std::make_unique<CDebugEngine>())
    , m_pBreakpoints(pBreakpoints)
{
}

CDebugRunHook::~CDebugRunHook() = default;

bool CDebugRunHook::PrepareChild(CChildProcess &child, const CRunCommandLine &cl, bool bFirst, QString *pError)
{
    // perl's debugger talks to the engine over a channel that only the child has, so
    // that nobody else can listen in or type commands, and the program's standard
    // streams stay the program's. A start again keeps the engine's breakpoints and
    // watches, those set in the window included.
    m_upEngine->SetDirectory(cl.strDirectory.isEmpty() ? QDir::currentPath() : cl.strDirectory);
    if (m_pBreakpoints && bFirst)
        m_upEngine->SetBreakpoints(m_pBreakpoints->Breakpoints());
    return m_upEngine->PrepareChild(child, pError);
}

void CDebugRunHook::AttachWindow(COutputWindowDlg &wnd, const CRunCommandLine &cl, std::function<bool()> fnStartAgain)
{
    CDebugPanel *panel = AttachPanel(wnd, m_upEngine.get(), m_pBreakpoints);
    panel->SetScript(cl.strDocument);
    panel->SetStartAgain(std::move(fnStartAgain));
}

CDebugPanel *CDebugRunHook::AttachPanel(COutputWindowDlg &wnd, CDebugEngine *pEngine, CBreakpointHost *pHost)
{
    auto *panel = new CDebugPanel(pEngine, pHost, &wnd);
    // Room for the source, the output and the three lists: most of the screen, up to a
    // size where the lines of a script are comfortably read.
    wnd.HostPanel(
        panel, [panel](QWidget *pOutput) { panel->SetOutputArea(pOutput); }, kGeometryKey,
        QStringLiteral("Output Window - Debugging"), QSize(1180, 800), [panel] { panel->SizePanes(); });
    QObject::connect(panel, &CDebugPanel::StopRequested, &wnd, &COutputWindowDlg::StopProgram);
    // The debugger's own words, its prompts and the commands sent go to the error pane,
    // where perl -d has always put them, after what the program wrote before them.
    QObject::connect(panel, &CDebugPanel::TranscriptText, &wnd, &COutputWindowDlg::AppendTranscript);
    wnd.m_pDlgSend->m_fnTakeLine = [panel](const QString &strLine) { return panel->TakeTypedLine(strLine); };
    return panel;
}

CDebugPanel *CDebugRunHook::PanelOf(const COutputWindowDlg *pWnd)
{
    return pWnd ? qobject_cast<CDebugPanel *>(pWnd->HostedPanel()) : nullptr;
}
