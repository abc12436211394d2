#include "run/RunCommands.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/MessageTarget.h"
#include "framework/MessageBox.h"
#include "run/ChildEnvironment.h"
#include "run/ChildProcess.h"
#include "run/ConsoleWindow.h"
#include "run/OutputWindowDlg.h"
#include "run/RedirectPipe.h"
#include "run/RunSessionHook.h"
#include "run/ScriptInputsDlg.h"
#include "run/SendInputDlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QProcessEnvironment>

#include <memory>
#include <vector>

void CRunCommands::Register(CKestrelView *pView)
{
    CCommandMap &map = pView->Commands();
    map.On(Cmd::ID_SCRIPT_RUN, [pView] { OnRun(pView); });
    map.On(Cmd::ID_SCRIPT_COMPILE, [pView] { OnCompile(pView); });
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

bool CRunCommands::SaveFirst(CKestrelView *pView)
{
    CKestrelDoc *pDoc = pView->GetDocument();
    return pDoc && pDoc->SaveScript() && !pDoc->GetPathName().isEmpty();
}

namespace {

CRunCommandLine Compose(CKestrelView *pView, CRunCommandLine::Kind kind)
{
    CKestrelDoc *pDoc = pView->GetDocument();
    return CRunCommandLine::Compose(kind, pDoc->GetPathName(), pDoc->GetTitle(), g_settings,
                                    CRunCommands::RunHoldPath());
}

} // namespace

void CRunCommands::RunFromView(CKestrelView *pView, CRunCommandLine::Kind kind, const QString &strFailure,
                               CRunSessionHook *pHook)
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
                                                       strFailure, CRunCommands::UserVariables(inputs), pHook);
    target->ShowMessages(outcome.messages);
    if (outcome.bChosen)
        target->GoToFileLine(outcome.chosen.strPath, outcome.chosen.nLine);
}

void CRunCommands::OnRun(CKestrelView *pView)
{
    if (!SaveFirst(pView))
        return;
    RunFromView(pView, CRunCommandLine::Kind::Run, QStringLiteral("Could not run "));
}

void CRunCommands::OnCompile(CKestrelView *pView)
{
    if (!SaveFirst(pView))
        return;
    RunFromView(pView, CRunCommandLine::Kind::Compile, QStringLiteral("Could not compile "));
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
    return CCgiEnvironment::Apply(CChildEnvironment::System(), request).toStringList();
}

namespace {

// The standard streams of one start of the program.
struct CStreams
{
    CRedirectPipe stdIn, stdOut, stdErr;
};

} // namespace

CRunOutcome CRunCommands::RunPiped(QWidget *parent, CRunCommandLine::Kind kind, const CRunCommandLine &cl,
                                   const QString &strInputs,
                                   const QString &strMethod, const QString &strFailure,
                                   const QList<CCgiEnvironment::NameValue> &userVariables,
                                   CRunSessionHook *pHook)
{
    // Declared in this order so that they go in the reverse one: the children (their
    // waiters joined) before the window that listens to them, the window (its readers
    // joined) before the pipes they read. A run started again after its end adds a child
    // and its streams; the earlier ones stay, ended, until the window has closed. The
    // hook, the caller's, outlives them all.
    std::vector<std::unique_ptr<CStreams>> streams;
    std::unique_ptr<COutputWindowDlg> upWnd;
    std::vector<std::unique_ptr<CChildProcess>> children;
    CRunOutcome outcome;

    auto fail = [&](const QString &reason) {
        // Over the debug window when a start again fails there.
        AfxMessageBox(upWnd && upWnd->isVisible() ? static_cast<QWidget *>(upWnd.get()) : parent,
                      strFailure + cl.Display() + QStringLiteral("\n\n") + reason);
    };
    // Creates the streams and the child, suspended; null when it cannot (reported).
    auto create = [&]() -> CChildProcess * {
        streams.push_back(std::make_unique<CStreams>());
        CRedirectPipe &stdIn = streams.back()->stdIn, &stdOut = streams.back()->stdOut,
                      &stdErr = streams.back()->stdErr;
        children.push_back(std::make_unique<CChildProcess>(cl.strProgram, cl.arguments));
        CChildProcess &child = *children.back();
        // Standard output is a terminal, so that the child's lines come as it writes them
        // rather than when its buffer fills, and so is standard input, so that perl shows
        // a prompt before it reads the answer; a pipe serves where no terminal can be had.
        if (!(stdIn.OpenTerminalInput() || stdIn.Open()) || !(stdOut.OpenTerminal() || stdOut.Open()) || !stdErr.Open()) {
            fail(QStringLiteral("The pipes for the standard streams could not be created."));
            return nullptr;
        }
        child.SetRedirection(&stdIn, &stdOut, &stdErr);
        child.SetDirectory(cl.strDirectory);
        const QStringList environment = ChildEnvironment(kind, cl, strInputs, strMethod, userVariables);
        if (!environment.isEmpty())
            child.SetEnvironment(environment);
        if (pHook) {
            QString strError;
            if (!pHook->PrepareChild(child, cl, !upWnd, &strError)) {
                fail(strError);
                return nullptr;
            }
        }
        if (!child.Start()) {
            fail(child.LastError());
            return nullptr;
        }
        return &child;
    };
    // Lets the created child run, with the window listening.
    auto resume = [&](CChildProcess &child) {
        child.m_pListener = upWnd.get();
        if (!child.Resume()) {
            child.m_pListener = nullptr;
            fail(child.LastError());
            return false;
        }
        FeedStdIn(kind, streams.back()->stdIn, strInputs, strMethod);
        child.StartWaiter();
        return true;
    };

    CChildProcess *pChild = create();
    if (!pChild)
        return outcome;
    upWnd = std::make_unique<COutputWindowDlg>(parent);
    upWnd->m_pProcess = pChild;
    if (pHook) {
        // A start again: the same command line, inputs and environment in a new child,
        // the window reading its streams.
        pHook->AttachWindow(*upWnd, cl, [&]() {
            CChildProcess *pLast = children.back().get();
            if (!pLast->HasEnded())
                pLast->Kill();
            CChildProcess *pNext = create();
            if (!pNext)
                return false;
            upWnd->FollowRun(pNext);
            if (resume(*pNext))
                return true;
            pNext->Kill();
            return false;
        });
    }
    if (!resume(*pChild)) {
        upWnd.reset();
        return outcome;
    }
    upWnd->m_pDlgInputs->m_strInputs = strInputs;
    upWnd->m_pDlgInputs->m_bViewMode = true;
    upWnd->m_strBaseDir = cl.strDirectory.isEmpty() ? QDir::currentPath() : cl.strDirectory;
    upWnd->DoModal();
    outcome.messages = upWnd->ErrorMessages();
    // A script that failed was ended by its last message, whatever its words.
    CChildProcess &last = *children.back();
    if (last.HasEnded() && !last.WasSignaled() && last.GetExitCode() != 0)
        CFileLineParser::MarkFatalEnd(outcome.messages);
    outcome.bChosen = upWnd->HasChosenMessage();
    outcome.chosen = upWnd->ChosenMessage();
    return outcome;
}
