#include "run/RunCommands.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/MessageTarget.h"
#include "framework/MessageBox.h"
#include "run/BreakpointHost.h"
#include "run/ChildProcess.h"
#include "run/DebugEngine.h"
#include "run/ConsoleWindow.h"
#include "run/OutputWindowDlg.h"
#include "run/RedirectPipe.h"
#include "run/ScriptInputsDlg.h"
#include "run/SendInputDlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QProcessEnvironment>

#include <memory>

void CRunCommands::Register(CKestrelView *pView)
{
    CCommandMap &map = pView->Commands();
    map.On(Cmd::ID_SCRIPT_RUN, [pView] { OnRun(pView); });
    map.On(Cmd::ID_SCRIPT_COMPILE, [pView] { OnCompile(pView); });
    map.On(Cmd::ID_SCRIPT_DEBUG, [pView] { OnDebug(pView); });
    map.On(Cmd::ID_SCRIPT_SPECIFY_INPUTS, [pView] { OnSpecifyInputs(pView); });
}

QString CRunCommands::RunHoldPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("runhold"));
}

void CRunCommands::FeedStdIn(CRunCommandLine::Kind kind, CRedirectPipe &stdIn, const QString &strInputs,
                             const QString &strMethod)
{
    QByteArray text = CCgiEnvironment::InputBytes(strInputs);
    switch (kind) {
    case CRunCommandLine::Kind::Run:
        if (strMethod.isEmpty() || strMethod == QLatin1String("POST"))
            stdIn.Write(text);
        if (strMethod == QLatin1String("POST") || strMethod == QLatin1String("GET"))
            stdIn.Close();
        break;
    case CRunCommandLine::Kind::Compile:
        stdIn.Write(text);
        stdIn.Flush();
        stdIn.Close();
        break;
    case CRunCommandLine::Kind::Debug:
        stdIn.Write(text);
        stdIn.Flush();
        break;
    }
}

namespace {

bool SaveFirst(CKestrelView *pView)
{
    CKestrelDoc *pDoc = pView->GetDocument();
    return pDoc && pDoc->SaveScript() && !pDoc->GetPathName().isEmpty();
}

CRunCommandLine Compose(CKestrelView *pView, CRunCommandLine::Kind kind)
{
    CKestrelDoc *pDoc = pView->GetDocument();
    return CRunCommandLine::Compose(kind, pDoc->GetPathName(), pDoc->GetTitle(), g_settings,
                                    CRunCommands::RunHoldPath());
}

void RunCommand(CKestrelView *pView, CRunCommandLine::Kind kind, const QString &strFailure)
{
    CRunCommandLine cl = Compose(pView, kind);
    QWidget *parent = pView->window();
    CMessageTarget *target = pView->MessageTarget();
    if (cl.bConsole) {
        target->ShowMessages({});
        CRunCommands::RunInConsole(parent, cl);
        return;
    }
    CScriptInputsDlg &inputs = *pView->m_dlgScriptInputs;
    const CRunOutcome outcome = CRunCommands::RunPiped(parent, kind, cl, inputs.m_strInputs, inputs.m_strMethod,
                                                       strFailure, CRunCommands::UserVariables(inputs),
                                                       pView->BreakpointHost());
    target->ShowMessages(outcome.messages);
    if (outcome.bChosen)
        target->GoToFileLine(outcome.chosen.strPath, outcome.chosen.nLine);
}

} // namespace

void CRunCommands::OnRun(CKestrelView *pView)
{
    if (!SaveFirst(pView))
        return;
    RunCommand(pView, CRunCommandLine::Kind::Run, QStringLiteral("Could not run "));
}

void CRunCommands::OnCompile(CKestrelView *pView)
{
    if (!SaveFirst(pView))
        return;
    RunCommand(pView, CRunCommandLine::Kind::Compile, QStringLiteral("Could not compile "));
}

void CRunCommands::OnDebug(CKestrelView *pView)
{
    if (!SaveFirst(pView))
        return;
    AfxMessageBox(pView->window(), QStringLiteral("The Debugger option is not fully Implemented in Kestrel Yet !"),
                  QMessageBox::Ok, QMessageBox::Information);
    RunCommand(pView, CRunCommandLine::Kind::Debug, QStringLiteral("Could not start debugging : "));
}

void CRunCommands::OnSpecifyInputs(CKestrelView *pView)
{
    pView->m_dlgScriptInputs->m_bViewMode = false;
    pView->m_dlgScriptInputs->m_strScriptPath = pView->GetDocument()->GetPathName();
    pView->m_dlgScriptInputs->exec();
}

void CRunCommands::RunInConsole(QWidget *parent, const CRunCommandLine &cl)
{
    QString strError;
    if (!CConsoleWindow::RunAndWait(QStringList{cl.strProgram} + cl.arguments, cl.strDirectory, &strError))
        AfxMessageBox(parent, QStringLiteral("Could not run ") + cl.Display() + QStringLiteral("\n\n") + strError);
}

QList<CCgiEnvironment::NameValue> CRunCommands::UserVariables(const CScriptInputsDlg &inputs)
{
    QList<CCgiEnvironment::NameValue> vars;
    for (int i = 0; i < inputs.m_nVars && i < CScriptInputsDlg::kMaxVars; ++i)
        vars.append({inputs.m_strVarNames[i], inputs.m_strVarValues[i]});
    return vars;
}

QStringList CRunCommands::ChildEnvironment(CRunCommandLine::Kind kind, const CRunCommandLine &cl,
                                           const QString &strInputs, const QString &strMethod,
                                           const QList<CCgiEnvironment::NameValue> &userVariables)
{
    if (kind == CRunCommandLine::Kind::Compile || !CCgiEnvironment::IsSimulated(strMethod) || cl.strDocument.isEmpty())
        return {};
    CCgiEnvironment::Request request = CCgiEnvironment::FromInputs(cl.strDocument, strMethod, strInputs, userVariables);
    return CCgiEnvironment::Apply(QProcessEnvironment::systemEnvironment(), request).toStringList();
}

CRunOutcome CRunCommands::RunPiped(QWidget *parent, CRunCommandLine::Kind kind, const CRunCommandLine &cl,
                                   const QString &strInputs,
                                   const QString &strMethod, const QString &strFailure,
                                   const QList<CCgiEnvironment::NameValue> &userVariables,
                                   CBreakpointHost *pBreakpoints)
{
    // Declared in this order so that they go in the reverse one: the child (its waiter
    // joined) before the window that listens to it, the window (its readers joined)
    // before the pipes they read and the engine it shows.
    CDebugEngine engine;
    CRedirectPipe stdIn, stdOut, stdErr;
    std::unique_ptr<COutputWindowDlg> upWnd;
    CChildProcess child(cl.strProgram, cl.arguments);
    CRunOutcome outcome;

    auto fail = [&](const QString &reason) {
        AfxMessageBox(parent, strFailure + cl.Display() + QStringLiteral("\n\n") + reason);
    };
    // Standard output is a terminal, so that the child's lines come as it writes them
    // rather than when its buffer fills; a pipe serves where no terminal can be had.
    if (!(stdIn.OpenTerminalInput() || stdIn.Open()) || !(stdOut.OpenTerminal() || stdOut.Open()) || !stdErr.Open()) {
        fail(QStringLiteral("The pipes for the standard streams could not be created."));
        return outcome;
    }
    child.SetRedirection(&stdIn, &stdOut, &stdErr);
    child.SetDirectory(cl.strDirectory);
    const QStringList environment = ChildEnvironment(kind, cl, strInputs, strMethod, userVariables);
    if (!environment.isEmpty())
        child.SetEnvironment(environment);
    if (cl.bDebugger) {
        // perl's debugger talks to the engine over a loopback socket of its own, so the
        // program's standard streams stay the program's.
        QString strError;
        if (!engine.Listen(&strError)) {
            fail(QStringLiteral("The debugger's loopback port could not be opened: ") + strError);
            return outcome;
        }
        engine.SetDirectory(cl.strDirectory.isEmpty() ? QDir::currentPath() : cl.strDirectory);
        if (pBreakpoints)
            engine.SetBreakpoints(pBreakpoints->Breakpoints());
        child.SetEnvironmentVariable(QStringLiteral("PERLDB_OPTS"), engine.DebuggerOptions());
    }
    if (!child.Start()) {
        fail(child.LastError());
        return outcome;
    }
    upWnd = std::make_unique<COutputWindowDlg>(parent);
    if (cl.bDebugger)
        upWnd->SetDebugEngine(&engine, pBreakpoints);
    upWnd->m_pProcess = &child;
    upWnd->m_pStdIn = &stdIn;
    upWnd->m_pStdOut = &stdOut;
    upWnd->m_pStdErr = &stdErr;
    child.m_pListener = upWnd.get();
    if (!child.Resume()) {
        child.m_pListener = nullptr;
        upWnd.reset();
        fail(child.LastError());
        return outcome;
    }
    FeedStdIn(kind, stdIn, strInputs, strMethod);
    child.StartWaiter();
    upWnd->m_pDlgInputs->m_strInputs = strInputs;
    upWnd->m_pDlgInputs->m_bViewMode = true;
    upWnd->m_strBaseDir = cl.strDirectory.isEmpty() ? QDir::currentPath() : cl.strDirectory;
    upWnd->DoModal();
    outcome.messages = upWnd->ErrorMessages();
    // A script that failed was ended by its last message, whatever its words.
    if (child.HasEnded() && !child.WasSignaled() && child.GetExitCode() != 0)
        CFileLineParser::MarkFatalEnd(outcome.messages);
    outcome.bChosen = upWnd->HasChosenMessage();
    outcome.chosen = upWnd->ChosenMessage();
    return outcome;
}
