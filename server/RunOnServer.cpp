#include "server/RunOnServer.h"

#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "server/RemoteRun.h"
#include "server/ServerDlg.h"
#include "server/TransferQuestionBox.h"
#include "server/ShellQuote.h"

#include <QFileInfo>
#include <QProcess>

void CRunOnServer::Register(CKestrelView *pView)
{
    pView->Commands().On(Cmd::ID_SCRIPT_RUN_ON_SERVER, [pView] {
        // An SSH server runs the script through the kept connection, in the output window.
        if (CRemoteRun::IsSsh(g_settings)) {
            CRemoteRun::OnRun(pView, &CTransferQuestionBox::Instance());
            return;
        }
        auto *frame = qobject_cast<CMainFrame *>(pView->window());
        CKestrelDoc *doc = pView->GetDocument();
        QString error;
        if (!Run(g_settings, doc ? doc->GetPathName() : QString(), frame ? frame->ServerDlg() : nullptr, &error))
            AfxMessageBox(pView, error);
    });
    pView->Commands().On(Cmd::ID_SCRIPT_CHECK_ON_SERVER, [pView] {
        if (CRemoteRun::IsSsh(g_settings))
            CRemoteRun::OnCheck(pView, &CTransferQuestionBox::Instance());
        else
            AfxMessageBox(pView, QObject::tr("Check on Server needs an SSH server (Tools > Options, server type ssh)."));
    });
}

QString CRunOnServer::ScriptName(const QString &strPath)
{
    qsizetype i = strPath.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    i = qMax(i, strPath.lastIndexOf(QLatin1Char('\\')));
#endif
    return strPath.mid(i + 1);
}

bool CRunOnServer::UsesClient(const CSettings &settings)
{
    return settings.SERVER_TYPE == QLatin1String("telnet") && !settings.SERVER_CLIENT_EXEPATH.isEmpty();
}

QStringList CRunOnServer::ClientArguments(const CSettings &settings)
{
    return {settings.SERVER_HOST, QString::number(settings.SERVER_PORT_NUMBER)};
}

QString CRunOnServer::ServerCommand(const CSettings &settings, const QString &strPath)
{
    // The server's shell reads the line: a name it would split or expand is quoted.
    return settings.REMOTE_PERL_EXE + QLatin1Char(' ') + CShellQuote::Word(ScriptName(strPath));
}

bool CRunOnServer::StartClient(const CSettings &settings, QString *pError)
{
    QProcess process;
    process.setProgram(settings.SERVER_CLIENT_EXEPATH);
    process.setArguments(ClientArguments(settings));
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    if (pError) {
        const QFileInfo info(settings.SERVER_CLIENT_EXEPATH);
        QString reason = !info.exists()       ? QObject::tr("The file does not exist.")
                         : !info.isExecutable() ? QObject::tr("The file is not executable.")
                                                : process.errorString();
        *pError = QObject::tr("Could not run %1\n%2").arg(settings.SERVER_CLIENT_EXEPATH, reason);
    }
    return false;
}

bool CRunOnServer::Run(const CSettings &settings, const QString &strPath, CServerDlg *pDlg, QString *pError)
{
    if (UsesClient(settings))
        return StartClient(settings, pError);
    if (!pDlg)
        return true;
    pDlg->m_strHost = settings.SERVER_HOST;
    pDlg->m_nPort = settings.SERVER_PORT_NUMBER;
    pDlg->SendCommand(ServerCommand(settings, strPath));
    pDlg->show();
    pDlg->raise();
    return true;
}
