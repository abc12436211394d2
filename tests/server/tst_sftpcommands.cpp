#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "server/FtpBrowserDlg.h"
#include "server/FtpConnection.h"
#include "server/FtpWorker.h"
#include "server/TransferQuestionBox.h"

#include "FtpTestServer.h"
#include "ModalDriver.h"
#include "SshTestServer.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include <unistd.h>

namespace {

class CTestBrowserDlg : public CFtpBrowserDlg
{
public:
    using CFtpBrowserDlg::CFtpBrowserDlg;
    using CFtpBrowserDlg::OnInitDialog;
};

} // namespace

// Load from server, Put on server and Put Back over SFTP through the main frame's
// commands, against OpenSSH's sshd, with a user answering every window: the host key
// question and the passphrase come from the connection's worker thread.
class TestSftpCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CSshTestServer> m_ssh;
    QTemporaryDir m_local;

    CMainFrame *Frame() const { return CKestrelApp::Instance()->MainFrame(); }
    CKestrelDoc *Doc() const { return Frame()->GetDocument(); }
    CKestrelView *View() const { return Frame()->GetActiveView(); }
    static QString KnownHosts() { return QDir::homePath() + QStringLiteral("/.ssh/known_hosts"); }

    static void Check(const CModalDriver &driver)
    {
        QVERIFY2(driver.Failures().isEmpty(), qPrintable(driver.Failures().join(QLatin1Char('\n'))));
        QVERIFY2(driver.Done(), qPrintable(driver.Seen().join(QLatin1Char(','))));
    }

    void ExpectLogin(CModalDriver &driver, const QString &strPassword)
    {
        driver.Expect(QStringLiteral("ServerLoginDlg"), [strPassword](QWidget *w) {
            w->findChild<QLineEdit *>(QStringLiteral("edit_1032"))->setText(strPassword);
            CModalDriver::Click(w, QStringLiteral("button_1"));
        });
    }

    static void ExpectBrowser(CModalDriver &driver, const QString &strRow)
    {
        driver.Expect(QStringLiteral("FtpBrowserDlg"), [strRow](QWidget *w) {
            auto *list = w->findChild<QTreeWidget *>(QStringLiteral("list_1008"));
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                if (list->topLevelItem(i)->text(0) == strRow)
                    list->topLevelItem(i)->setSelected(true);
            }
            CModalDriver::Click(w, QStringLiteral("button_1012"));
        });
    }

    void ServerWrite(const QString &rel, const QByteArray &data)
    {
        QFile f(m_ssh->PathOf(rel));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
        f.close();
        QProcess::execute(QStringLiteral("chown"), {m_ssh->User(), f.fileName()});
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("sshd runs as root only");
        CFtpWorker::s_nProgressDelayMs = 200;
        m_ssh = std::make_unique<CSshTestServer>();
        QVERIFY(m_ssh->Start());
    }

    void init()
    {
        QFile::remove(KnownHosts());
        g_settings.FTP_HOST_NAME = QStringLiteral("sftp://127.0.0.1");
        g_settings.FTP_PORT_NUMBER = m_ssh->Port();
        g_settings.FTP_USER_NAME = m_ssh->User();
        g_settings.FTP_USER_PASS.clear();
        g_settings.LOCAL_DIRECTORY = m_local.path();
        g_settings.REMOTE_DIRECTORY = m_ssh->Files();
        Doc()->SetModifiedFlag(false);
        Doc()->OnNewDocument();
    }
    void cleanup() { Doc()->SetModifiedFlag(false); }

    // The first load meets an unknown host: the question names the key, Yes records it;
    // the file then comes into the editor, is edited, saved and put back.
    void loadEditPutBack()
    {
        ServerWrite(QStringLiteral("my script.pl"), "print 1;\r\n");
        CModalDriver driver;
        ExpectLogin(driver, m_ssh->Password());
        driver.ExpectMessage(true, QMessageBox::Yes); // the unknown host key
        ExpectBrowser(driver, QStringLiteral("my script.pl"));
        driver.ExpectMessage(); // "... will be downloaded"
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QVERIFY2(driver.Messages().value(0).contains(QLatin1String("SHA256:")), qPrintable(driver.Messages().value(0)));
        QVERIFY(QFile(KnownHosts()).size() > 0);
        QCOMPARE(View()->GetTextBytes(), QByteArray("print 1;\n"));
        QCOMPARE(Doc()->m_strServerDir, m_ssh->Files());

        const QString path = Doc()->GetPathName();
        View()->SetTextBytes("print 2;\n");
        QVERIFY(Doc()->OnSaveDocument(path));
        CModalDriver none;
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_BACK);
        Check(none);
        QCOMPARE(CFtpTestServer::ReadLocal(m_ssh->PathOf(QStringLiteral("my script.pl"))), QByteArray("print 2;\n"));
    }

    // Put on server with a key that has a passphrase: asked for in its own dialog.
    void putWithAKeyPassphrase()
    {
        QVERIFY(m_ssh->TrustInHome());
        const QString key = QDir::homePath() + QStringLiteral("/.ssh/id_ed25519");
        QFile::remove(key);
        QVERIFY(QFile::copy(m_ssh->PhraseKeyFile(), key));
        const QString path = m_local.filePath(QStringLiteral("up load.pl"));
        CFtpTestServer::WriteLocal(path, "print 3;\n");
        Doc()->SetPathName(path);
        CModalDriver driver;
        ExpectLogin(driver, QString());
        const QString phrase = m_ssh->Passphrase();
        driver.Expect(QStringLiteral("PassphraseDlg"), [phrase](QWidget *w) {
            auto *dlg = static_cast<QInputDialog *>(w);
            dlg->setTextValue(phrase);
            dlg->accept();
        });
        driver.Expect(QStringLiteral("FtpBrowserDlg"), [](QWidget *w) { CModalDriver::Click(w, QStringLiteral("button_1012")); });
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_ON_SERVER);
        Check(driver);
        QFile::remove(key);
        QCOMPARE(CFtpTestServer::ReadLocal(m_ssh->PathOf(QStringLiteral("up load.pl"))), QByteArray("print 3;\n"));
    }

    // sshd ends in the middle of a Put Back: the message says the connection was lost;
    // the editor's text and the local file stay as they were.
    void serverKilledDuringAPutBack()
    {
        CSshTestServer doomed;
        QVERIFY(doomed.Start(m_ssh->HostKeyFile()));
        QVERIFY(doomed.TrustInHome());
        g_settings.FTP_PORT_NUMBER = doomed.Port();
        g_settings.FTP_USER_PASS = doomed.Password();
        const QString path = m_local.filePath(QStringLiteral("big.pl"));
        const QByteArray data = CFtpTestServer::RandomBytes(96 * 1024 * 1024);
        CFtpTestServer::WriteLocal(path, data);
        Doc()->SetPathName(path);
        Doc()->m_strServerDir = doomed.Files();
        View()->SetTextBytes("editor text\n");
        CModalDriver driver;
        driver.Expect(QStringLiteral("FtpProgressDlg"), [&doomed](QWidget *) { doomed.Kill(); });
        driver.ExpectMessage();
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_BACK);
        Check(driver);
        QVERIFY2(driver.Messages().value(0).contains(QLatin1String("was lost after")), qPrintable(driver.Messages().value(0)));
        QCOMPARE(View()->GetTextBytes(), QByteArray("editor text\n"));
        QVERIFY(CFtpTestServer::ReadLocal(path) == data);
        Doc()->m_strServerDir.clear();
    }

    // The browser's commands over SFTP, typed into its command box, on names with blanks.
    void browserCommands()
    {
        QVERIFY(m_ssh->TrustInHome());
        QDir(m_ssh->Files()).mkpath(QStringLiteral("sub dir"));
        ServerWrite(QStringLiteral("sub dir/old name.pl"), "1\n");
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), m_ssh->User(), m_ssh->Files()});
        CFtpConnectionParams params;
        params.m_strHost = g_settings.FTP_HOST_NAME;
        params.m_nPort = m_ssh->Port();
        params.m_strUser = m_ssh->User();
        params.m_strPassword = m_ssh->Password();
        params.m_pQuestions = &CTransferQuestionBox::Instance();
        CFtpConnection connection(params);
        QVERIFY(CFtpWorker::Run([&] { return connection.Open(); }));
        CTestBrowserDlg dlg;
        dlg.m_bLoadMode = true;
        dlg.m_pFtpConnection = &connection;
        dlg.show();
        dlg.OnInitDialog();
        // A name with a blank is given by selecting its row: the command box cuts its
        // line at blanks.
        auto run = [&](const QString &line, const QString &row, const std::function<void(CModalDriver &)> &expect) {
            CModalDriver driver;
            if (expect)
                expect(driver);
            // Refresh: the listing as the server has it now.
            dlg.findChild<QPushButton *>(QStringLiteral("button_1010"))->click();
            auto *tree = dlg.findChild<QTreeWidget *>(QStringLiteral("list_1008"));
            tree->clearSelection();
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                if (tree->topLevelItem(i)->text(0) == row)
                    tree->topLevelItem(i)->setSelected(true);
            dlg.findChild<QComboBox *>(QStringLiteral("combo_1030"))->setEditText(line);
            dlg.findChild<QPushButton *>(QStringLiteral("button_1011"))->click();
            Check(driver);
        };
        auto names = [&] {
            QStringList list;
            auto *tree = dlg.findChild<QTreeWidget *>(QStringLiteral("list_1008"));
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                list << tree->topLevelItem(i)->text(0);
            list.sort();
            return list;
        };
        QVERIFY(names().contains(QStringLiteral("sub dir")));
        run(QStringLiteral("CD"), QStringLiteral("sub dir"), {});
        QCOMPARE(connection.CurrentDirectory(), m_ssh->PathOf(QStringLiteral("sub dir")));
        QVERIFY(names().contains(QStringLiteral("old name.pl")));
        run(QStringLiteral("MKDIR"), QString(), [&](CModalDriver &d) {
            d.Expect(QStringLiteral("CreateDirDlg"), [](QWidget *w) {
                w->findChild<QLineEdit *>(QStringLiteral("edit_1035"))->setText(QStringLiteral("new dir"));
                CModalDriver::Click(w, QStringLiteral("button_1"));
            });
            d.ExpectMessage();
        });
        QVERIFY(QFileInfo(m_ssh->PathOf(QStringLiteral("sub dir/new dir"))).isDir());
        run(QStringLiteral("RENAME"), QStringLiteral("old name.pl"), [&](CModalDriver &d) {
            d.Expect(QStringLiteral("RenameFileDlg"), [](QWidget *w) {
                w->findChild<QLineEdit *>(QStringLiteral("edit_1034"))->setText(QStringLiteral("new name.pl"));
                CModalDriver::Click(w, QStringLiteral("button_1"));
            });
            d.ExpectMessage();
        });
        QVERIFY(QFile::exists(m_ssh->PathOf(QStringLiteral("sub dir/new name.pl"))));
        run(QStringLiteral("DELETE"), QStringLiteral("new name.pl"), [](CModalDriver &d) { d.ExpectMessage(true, QMessageBox::Yes); });
        QVERIFY(!QFile::exists(m_ssh->PathOf(QStringLiteral("sub dir/new name.pl"))));
        run(QStringLiteral("RMDIR"), QStringLiteral("new dir"), [](CModalDriver &d) { d.ExpectMessage(true, QMessageBox::Yes); });
        QVERIFY(!QFileInfo::exists(m_ssh->PathOf(QStringLiteral("sub dir/new dir"))));
        run(QStringLiteral("CD .."), QString(), {});
        QCOMPARE(connection.CurrentDirectory(), m_ssh->Files());
    }

    // A refused host key stops the command before any login is sent.
    void refusedHostKeyStops()
    {
        CModalDriver driver;
        ExpectLogin(driver, m_ssh->Password());
        driver.ExpectMessage(false); // No to the host key
        driver.ExpectMessage();      // Could not connect
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QVERIFY2(driver.Messages().value(1).contains(QLatin1String("not trusted")), qPrintable(driver.Messages().value(1)));
        QVERIFY(!QFile::exists(KnownHosts()));
    }
};

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    int appArgc = 1;
    CKestrelApp app(appArgc, argv);
    if (!app.InitInstance())
        return 1;
    TestSftpCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sftpcommands.moc"
