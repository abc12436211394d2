#include "server/RemoteRun.h"

#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/MessageBox.h"
#include "framework/MessageTarget.h"
#include "run/OutputWindowDlg.h"
#include "run/ProcessListener.h"
#include "run/RunCommandLine.h"
#include "run/ScriptInputsDlg.h"
#include "server/SshConnection.h"
#include "server/SshConnectionPool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

namespace {
constexpr int kSshPort = 22;
} // namespace

bool CRemoteRun::IsSsh(const CSettings &settings)
{
    return settings.SERVER_TYPE == QLatin1String("ssh");
}

CSshLogin CRemoteRun::Login(const CSettings &settings)
{
    CSshLogin login;
    login.strHost = settings.SERVER_HOST;
    login.nPort = settings.SERVER_PORT_NUMBER > 0 ? settings.SERVER_PORT_NUMBER : kSshPort;
    login.strUser = settings.SERVER_USER;
    login.strPassword = settings.SERVER_PASS;
    login.strSshDir = QDir::homePath() + QStringLiteral("/.ssh");
    return login;
}

QString CRemoteRun::RemotePath(const CSettings &settings, const QString &strLocalPath)
{
    const QString name = QFileInfo(strLocalPath).fileName();
    QString dir = settings.REMOTE_DIRECTORY;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    // Without a folder the script lies in the login's home, where the program starts.
    if (dir.isEmpty())
        return name;
    return dir == QLatin1String("/") ? dir + name : dir + QLatin1Char('/') + name;
}

QString CRemoteRun::ScriptArgument(const CSettings &settings, const QString &strLocalPath)
{
    // The program starts in REMOTE_DIRECTORY: a folder given relative to the login's
    // home is left behind by then, and the name alone finds the script.
    const QString remote = RemotePath(settings, strLocalPath);
    return remote.startsWith(QLatin1Char('/')) ? remote : QFileInfo(strLocalPath).fileName();
}

CPathMap CRemoteRun::PathMap(const CSettings &settings, const QString &strLocalPath)
{
    CPathMap map;
    map.AddFile(RemotePath(settings, strLocalPath), strLocalPath);
    map.AddFile(ScriptArgument(settings, strLocalPath), strLocalPath);
    if (!settings.REMOTE_DIRECTORY.isEmpty())
        map.AddFolder(settings.REMOTE_DIRECTORY, QFileInfo(strLocalPath).absolutePath());
    return map;
}

CRemoteProcess::Plan CRemoteRun::RunPlan(const CSettings &settings, const QString &strLocalPath,
                                         const QByteArray &baScript, const QString &strInputs,
                                         const QString &strMethod,
                                         const QList<CCgiEnvironment::NameValue> &userVariables)
{
    CRemoteProcess::Plan plan;
    plan.strPerl = settings.REMOTE_PERL_EXE;
    plan.strDirectory = settings.REMOTE_DIRECTORY;
    const QString remote = RemotePath(settings, strLocalPath);
    plan.program = QStringList{settings.REMOTE_PERL_EXE} + CRunCommandLine::SplitOptions(settings.REMOTE_PERL_PRM)
                   + QStringList{ScriptArgument(settings, strLocalPath)};
    plan.bUpload = true;
    plan.strUploadPath = remote;
    plan.baUpload = baScript;
    if (CCgiEnvironment::IsSimulated(strMethod)) {
        const CCgiEnvironment::Request request =
            CCgiEnvironment::FromInputs(remote, strMethod, strInputs, userVariables);
        for (const CCgiEnvironment::NameValue &var : CCgiEnvironment::Variables(request))
            plan.environment << var.first + QLatin1Char('=') + var.second;
    }
    return plan;
}

CRemoteProcess::Plan CRemoteRun::CheckPlan(const CSettings &settings)
{
    CRemoteProcess::Plan plan;
    plan.strPerl = settings.REMOTE_PERL_EXE;
    plan.strDirectory = settings.REMOTE_DIRECTORY;
    plan.program = {settings.REMOTE_PERL_EXE, QStringLiteral("-c"), QStringLiteral("-w"), QStringLiteral("-")};
    return plan;
}

QByteArray CRemoteRun::CheckInput(const CSettings &settings, const QString &strLocalPath, const QString &strText)
{
    // perl's #line takes a name in double quotes, without one inside.
    QString name = ScriptArgument(settings, strLocalPath);
    if (name.contains(QLatin1Char('"')) || name.contains(QLatin1Char('\n')))
        name = QStringLiteral("script");
    return "#line 1 \"" + name.toUtf8() + "\"\n" + strText.toUtf8();
}

namespace {

// Lets go of the window before it goes: the process may outlive it on the connection.
struct CListenerRelease
{
    CRemoteProcess &process;
    ~CListenerRelease() { process.SetListener(nullptr); }
};

} // namespace

CRunOutcome CRemoteRun::RunInWindow(QWidget *parent, const std::shared_ptr<CSshConnection> &connection,
                                    const CRemoteProcess::Plan &plan, const CPathMap &map,
                                    const QString &strLocalDir, CRunCommandLine::Kind kind,
                                    const QString &strInputs, const QString &strMethod)
{
    CRunOutcome outcome;
    auto process = std::make_shared<CRemoteProcess>(plan);
    COutputWindowDlg wnd(parent);
    CListenerRelease release{*process};
    process->SetListener(&wnd);
    wnd.m_pProcess = process.get();
    wnd.SetPathMap(map);
    wnd.m_strBaseDir = strLocalDir;
    wnd.m_pDlgInputs->m_strInputs = strInputs;
    wnd.m_pDlgInputs->m_bViewMode = true;
    wnd.StatusLine()->setText(QStringLiteral("%1@%2: ").arg(connection->Login().strUser, connection->Login().strHost));
    if (!process->Start(connection)) {
        AfxMessageBox(parent, process->LastError());
        return outcome;
    }
    if (kind == CRunCommandLine::Kind::Compile) {
        process->StdIn()->Write(strInputs.toUtf8());
        process->StdIn()->Close();
    } else {
        CRunCommands::FeedStdIn(kind, *process->StdIn(), strInputs, strMethod);
    }
    wnd.DoModal();
    outcome.messages = wnd.ErrorMessages();
    if (process->HasEnded() && process->GetExitCode() != 0 && process->GetExitCode() != CRunProcess::kUnknown)
        CFileLineParser::MarkFatalEnd(outcome.messages);
    outcome.bChosen = wnd.HasChosenMessage();
    outcome.chosen = wnd.ChosenMessage();
    return outcome;
}

namespace {

void ShowOutcome(CKestrelView *pView, const CRunOutcome &outcome)
{
    CMessageTarget *target = pView->MessageTarget();
    target->ShowMessages(outcome.messages);
    if (outcome.bChosen)
        target->GoToFileLine(outcome.chosen.strPath, outcome.chosen.nLine);
}

} // namespace

void CRemoteRun::OnRun(CKestrelView *pView, CTransferQuestions *pQuestions)
{
    if (!CRunCommands::SaveFirst(pView))
        return;
    const QString path = pView->GetDocument()->GetPathName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        AfxMessageBox(pView, QStringLiteral("Could not read %1\n\n%2").arg(path, file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    CScriptInputsDlg &inputs = *pView->m_dlgScriptInputs;
    const CRemoteProcess::Plan plan = RunPlan(g_settings, path, bytes, inputs.m_strInputs, inputs.m_strMethod,
                                              CRunCommands::UserVariables(inputs));
    auto connection = CSshConnectionPool::Instance().For(Login(g_settings), pQuestions);
    const CRunOutcome outcome = RunInWindow(pView->window(), connection, plan, PathMap(g_settings, path),
                                            QFileInfo(path).absolutePath(), CRunCommandLine::Kind::Run,
                                            inputs.m_strInputs, inputs.m_strMethod);
    ShowOutcome(pView, outcome);
}

void CRemoteRun::OnCheck(CKestrelView *pView, CTransferQuestions *pQuestions)
{
    CKestrelDoc *pDoc = pView->GetDocument();
    if (!pDoc)
        return;
    // The text as it stands in the editor, saved or not: nothing is put on the server.
    const QString path = pDoc->GetPathName().isEmpty() ? pDoc->GetTitle() : pDoc->GetPathName();
    auto connection = CSshConnectionPool::Instance().For(Login(g_settings), pQuestions);
    const CRunOutcome outcome =
        RunInWindow(pView->window(), connection, CheckPlan(g_settings), PathMap(g_settings, path),
                    QFileInfo(path).absolutePath(), CRunCommandLine::Kind::Compile,
                    QString::fromUtf8(CheckInput(g_settings, path, pView->text())), QString());
    ShowOutcome(pView, outcome);
}
