#include "server/FtpCommands.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/CommandMap.h"
#include "framework/MessageBox.h"
#include "framework/Trace.h"
#include "server/FtpBrowserDlg.h"
#include "server/FtpTransfer.h"
#include "server/FtpWorker.h"
#include "server/ServerLoginDlg.h"
#include "server/TransferQuestionBox.h"

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>

QString CFtpCommands::s_strActiveAddress;

namespace {

const int kConnectWaitPasses = 29;

QString PutBackFailedText()
{
    return QObject::tr("The file could not be put back on the server. You may be lacking permissions to replace this "
                       "file. Please ensure you are the owner or have the required rights to the file in question and "
                       "retry the operation.");
}

// Replies with which a server refuses a store it does not allow: not logged in, no
// account for storing, file unavailable (no access), file name not allowed.
bool IsRefusalForRights(int nReplyCode)
{
    return nReplyCode == 530 || nReplyCode == 532 || nReplyCode == 550 || nReplyCode == 553;
}

// The name of a path as the server gets it: the text after the last separator.
QString NameOf(const QString &strPath)
{
    int slash = qMax(strPath.lastIndexOf(QLatin1Char('/')), strPath.lastIndexOf(QLatin1Char('\\')));
    return slash < 0 ? strPath : strPath.mid(slash + 1);
}

QString WithReason(const QString &strText, const CFtpResult &result)
{
    return result.m_strReason.isEmpty() ? strText : strText + QLatin1Char('\n') + result.m_strReason;
}

} // namespace

CFtpCommands::CFtpCommands(CKestrelView *pView)
    : QObject(pView)
    , m_pView(pView)
{
}

void CFtpCommands::Register(CKestrelView *pView)
{
    auto *commands = new CFtpCommands(pView);
    CCommandMap &map = pView->Commands();
    map.On(Cmd::ID_FILE_LOAD_FROM_SERVER, [commands] { commands->OnLoadFromServer(); });
    map.On(Cmd::ID_FILE_PUT_ON_SERVER, [commands] { commands->OnPutOnServer(); });
    map.On(Cmd::ID_FILE_PUT_BACK, [commands] { commands->OnPutBack(); },
           [commands](CCmdUI &ui) { commands->OnUpdatePutBack(ui); });
}

QWidget *CFtpCommands::Window() const { return m_pView->window(); }

void CFtpCommands::SetStatus(const QString &strText) const
{
    if (auto *frame = qobject_cast<QMainWindow *>(m_pView->window()))
        frame->statusBar()->showMessage(strText);
}

CFtpConnectionParams CFtpCommands::ParamsFromSettings()
{
    CFtpConnectionParams params;
    params.m_strHost = g_settings.FTP_HOST_NAME;
    params.m_nPort = g_settings.FTP_PORT_NUMBER & 0xFFFF;
    params.m_strUser = g_settings.FTP_USER_NAME;
    params.m_strPassword = g_settings.FTP_USER_PASS;
    if (!s_strActiveAddress.isEmpty())
        params.m_strActiveAddress = s_strActiveAddress;
    params.m_pQuestions = &CTransferQuestionBox::Instance();
    // The wait in Connect() gives up after its last pass; libcurl's own limit only
    // stands behind it.
    params.m_nConnectTimeoutSec = kConnectWaitPasses + 5;
    return params;
}

std::unique_ptr<CFtpConnection> CFtpCommands::Connect(CFtpBrowserDlg &dlg)
{
    CServerLoginDlg login(Window());
    login.m_strHost = g_settings.FTP_HOST_NAME;
    login.m_strUserName = g_settings.FTP_USER_NAME;
    login.m_strPassword = g_settings.FTP_USER_PASS;
    if (login.DoModal() != QDialog::Accepted)
        return nullptr;
    g_settings.FTP_USER_NAME = login.m_strUserName;
    g_settings.FTP_USER_PASS = login.m_strPassword;

    const QString trying = tr("Trying to connect to host ") + g_settings.FTP_HOST_NAME + QLatin1Char('.');
    SetStatus(trying);
    auto connection = std::make_unique<CFtpConnection>(ParamsFromSettings());
    CFtpConnection *pConnection = connection.get();

    // The status counts the seconds: first nothing after the full stop, then 1, 2 ...
    // After the last pass the attempt is cancelled; the worker then ends by itself.
    int n = 1;
    bool timedOut = false;
    SetStatus(trying + QLatin1Char(' '));
    dlg.m_bConnecting = true;
    CFtpResult result = CFtpWorker::Run(
        [&dlg, pConnection] {
            CFtpResult r = pConnection->Open();
            if (r) {
                dlg.m_pFtpConnection = pConnection;
                TRACE() << "Got FTP Connection";
            } else {
                TRACE() << "No FTP Connection";
            }
            dlg.m_bConnected = bool(r);
            dlg.m_bConnecting = false;
            TRACE() << "FTP Connection getting thread returning";
            return r;
        },
        1000,
        [&] {
            ++n;
            if (n > kConnectWaitPasses) {
                timedOut = true;
                pConnection->Cancel();
                return;
            }
            SetStatus(trying + QLatin1Char(' ') + QString::number(n - 1));
        });

    if (!result) {
        dlg.m_pFtpConnection = nullptr;
        SetStatus(tr("Could not connect."));
        QString reason = timedOut ? tr("No answer within %1 seconds.").arg(kConnectWaitPasses) : result.m_strReason;
        AfxMessageBox(Window(), tr("Could not connect to host %1:\n%2").arg(g_settings.FTP_HOST_NAME, reason));
        return nullptr;
    }
    SetStatus(tr("Connected."));
    return connection;
}

void CFtpCommands::OnLoadFromServer()
{
    CFtpBrowserDlg dlg(Window());
    dlg.m_bLoadMode = true;
    std::unique_ptr<CFtpConnection> connection = Connect(dlg);
    if (!connection)
        return;
    dlg.m_pFtpConnection = connection.get();
    if (dlg.DoModal() != QDialog::Accepted) {
        connection->Close();
        return;
    }
    const QString name = dlg.m_strRemoteFile;
    // "No Item selected" has been said already.
    if (name.isEmpty())
        return;
    const int type = dlg.m_bAutoDetect ? CKestrelApp::GetTransferType(name) : int(dlg.m_nTransferType);
    if (!CFtpConnection::IsPlainFileName(name)) {
        AfxMessageBox(Window(), tr("The server file name %1 is refused: it would leave the local folder.").arg(name));
        return;
    }
    const QString localPath = CFtpTransfer::LocalPathFor(g_settings.LOCAL_DIRECTORY, name);
    const QString label = tr("Loading %1 from the server...").arg(name);

    if (dlg.m_bToEditor) {
        QByteArray text;
        CFtpResult result = CFtpWorker::RunWithProgress(Window(), *connection, label, [&] {
            return CFtpTransfer::LoadBytes(*connection, name, type, text);
        });
        connection->Close();
        if (!result) {
            AfxMessageBox(Window(), WithReason(tr("Could not load %1 from the server.").arg(name), result));
            return;
        }
        CKestrelDoc *doc = m_pView->GetDocument();
        // The user cancelled the question about unsaved changes: the text stays.
        if (!doc->SaveModified())
            return;
        doc->OnNewDocument();
        m_pView->OnInitialUpdate();
        m_pView->SetTextBytes(text);
        doc->SetModifiedFlag(true);
        doc->m_strServerDir = dlg.m_strCurrentDir;
        doc->SetPathName(localPath);
        m_pView->SelectLexerFor(localPath);
        if (CKestrelApp *app = CKestrelApp::Instance())
            app->AddToRecentFileList(localPath);
        return;
    }

    CFtpResult result = CFtpWorker::RunWithProgress(Window(), *connection, label, [&] {
        return CFtpTransfer::LoadToFile(*connection, name, type, localPath);
    });
    connection->Close();
    if (!result)
        AfxMessageBox(Window(), WithReason(tr("Could not load %1 from the server into %2.")
                                               .arg(name, QDir::toNativeSeparators(localPath)),
                                           result));
}

void CFtpCommands::OnPutOnServer()
{
    const QString path = m_pView->GetDocument()->GetPathName();
    const QString name = NameOf(path);
    CFtpBrowserDlg dlg(Window());
    dlg.m_bLoadMode = false;
    dlg.m_strLocalFile = name;
    std::unique_ptr<CFtpConnection> connection = Connect(dlg);
    if (!connection)
        return;
    dlg.m_pFtpConnection = connection.get();
    dlg.m_nTransferType = unsigned(CKestrelApp::GetTransferType(name));
    dlg.m_bAutoDetect = false;
    if (dlg.DoModal() != QDialog::Accepted) {
        connection->Close();
        return;
    }
    const int type = dlg.m_bAutoDetect ? CKestrelApp::GetTransferType(name) : int(dlg.m_nTransferType);
    const QString remoteDir = g_settings.REMOTE_DIRECTORY;
    CFtpResult result = CFtpWorker::Run([&] {
        QString current;
        CFtpResult r = connection->GetCurrentDirectory(current);
        if (r && !remoteDir.isEmpty() && current != remoteDir)
            r = connection->SetCurrentDirectory(remoteDir);
        return r;
    });
    if (!result) {
        AfxMessageBox(Window(), WithReason(tr("Could not set directory to") + remoteDir, result),
                      QMessageBox::Ok | QMessageBox::Cancel);
        connection->Close();
        return;
    }
    result = CFtpWorker::RunWithProgress(Window(), *connection, tr("Putting %1 on the server...").arg(name), [&] {
        return CFtpTransfer::PutFile(*connection, path, name, type);
    });
    if (!result)
        AfxMessageBox(Window(), WithReason(tr("Error putting file on server"), result),
                      QMessageBox::Ok | QMessageBox::Cancel);
    connection->Close();
}

void CFtpCommands::OnPutBack()
{
    CKestrelDoc *doc = m_pView->GetDocument();
    const QString path = doc->GetPathName();
    const QString name = NameOf(path);
    const QString serverDir = doc->m_strServerDir;
    // A local file that cannot be read (a loaded file never saved) is the whole story:
    // said first, without connecting.
    if (CFtpResult readable = CFtpTransfer::CheckReadable(path); !readable) {
        QString text = readable.m_strReason + QStringLiteral("\n\n") + tr("Nothing was put back on the server.");
        if (!path.isEmpty() && !QFileInfo::exists(path))
            text += QLatin1Char(' ') + tr("Save the document, then put it back.");
        AfxMessageBox(Window(), text);
        return;
    }
    CFtpConnection connection(ParamsFromSettings());
    CFtpResult result = CFtpWorker::Run([&] { return connection.Open(); });
    if (!result) {
        AfxMessageBox(Window(), tr("Could not connect to host %1:\n%2").arg(g_settings.FTP_HOST_NAME, result.m_strReason));
        return;
    }
    result = CFtpWorker::Run([&] { return connection.SetCurrentDirectory(serverDir); });
    if (!result) {
        AfxMessageBox(Window(), WithReason(tr("Could not set directory to") + serverDir, result));
        return;
    }
    result = CFtpWorker::RunWithProgress(Window(), connection, tr("Putting %1 back on the server...").arg(name), [&] {
        return CFtpTransfer::PutFile(connection, path, name, CKestrelApp::GetTransferType(name));
    });
    if (!result) {
        // The server's answer comes first; the hint about rights only where the answer
        // is a refusal it could explain.
        QString text;
        if (result.m_nReplyCode) {
            text = tr("The server refused to store %1 in %2:\n%3").arg(name, serverDir, result.m_strReason);
            if (IsRefusalForRights(result.m_nReplyCode))
                text += QStringLiteral("\n\n") + PutBackFailedText();
        } else {
            text = tr("Could not put back %1 into %2 on the server:\n%3").arg(name, serverDir, result.m_strReason);
        }
        AfxMessageBox(Window(), text);
    }
    connection.Close();
}

void CFtpCommands::OnUpdatePutBack(CCmdUI &ui) const { ui.Enable(!m_pView->GetDocument()->m_strServerDir.isEmpty()); }
