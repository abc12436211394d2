#include "debug/DebugCommands.h"

#include "debug/DebugRunHook.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"

void CDebugCommands::Register(CKestrelView *pView)
{
    pView->Commands().On(Cmd::ID_SCRIPT_DEBUG, [pView] { OnDebug(pView); });
}

void CDebugCommands::OnDebug(CKestrelView *pView)
{
    if (!CRunCommands::SaveFirst(pView))
        return;
    // A console run has no channel and no panel: runhold runs perl -d at the terminal.
    CDebugRunHook hook(pView->BreakpointHost());
    CRunCommands::RunFromView(pView, CRunCommandLine::Kind::Debug, QStringLiteral("Could not start debugging : "),
                              &hook);
}

CRunOutcome CDebugCommands::RunPiped(QWidget *parent, CRunCommandLine::Kind kind, const CRunCommandLine &cl,
                                     const QString &strInputs, const QString &strMethod, const QString &strFailure,
                                     const QList<CCgiEnvironment::NameValue> &userVariables,
                                     CBreakpointHost *pBreakpoints)
{
    if (!cl.bDebugger)
        return CRunCommands::RunPiped(parent, kind, cl, strInputs, strMethod, strFailure, userVariables);
    CDebugRunHook hook(pBreakpoints);
    return CRunCommands::RunPiped(parent, kind, cl, strInputs, strMethod, strFailure, userVariables, &hook);
}
