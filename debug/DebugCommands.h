#pragma once

#include "run/CgiEnvironment.h"
#include "run/RunCommands.h"

class CBreakpointHost;
class CKestrelView;

// Script > Debug of the editor view: the view's script in the output window under perl's
// debugger, driven by the debugger's engine.
class CDebugCommands
{
public:
    static void Register(CKestrelView *pView);
    static void OnDebug(CKestrelView *pView);

    // A piped run as CRunCommands::RunPiped gives it; where the command line asks for
    // the debugger, the engine drives it over a channel that only the child has, with
    // the breakpoints of `pBreakpoints`.
    static CRunOutcome RunPiped(QWidget *parent, CRunCommandLine::Kind kind, const CRunCommandLine &cl,
                                const QString &strInputs, const QString &strMethod, const QString &strFailure,
                                const QList<CCgiEnvironment::NameValue> &userVariables = {},
                                CBreakpointHost *pBreakpoints = nullptr);
};
