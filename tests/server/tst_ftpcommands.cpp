#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "server/FtpWorker.h"

#include "FtpTestServer.h"
#include "ModalDriver.h"
#include "ScriptedServer.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpServer>
#include <QTest>
#include <QTreeWidget>

#include <memory>

// Load from server, Put on server and Put Back through the main frame's commands,
// against a real server, with a user answering every window.
class TestFtpCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CFtpTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_upLocal;

    CMainFrame *Frame() const { return CKestrelApp::Instance()->MainFrame(); }
    CKestrelDoc *Doc() const { return Frame()->GetDocument(); }
    CKestrelView *View() const { return Frame()->GetActiveView(); }
    QString LocalPath(const QString &name) const { return m_upLocal->filePath(name); }

    static QByteArray RandomBytes(int n) { return CFtpTestServer::RandomBytes(n); }

    bool StartServer(int nThrottle = 0)
    {
        m_server = std::make_unique<CFtpTestServer>();
        if (!m_server->Start(nThrottle))
            return false;
        g_settings.FTP_PORT_NUMBER = m_server->Port();
        return true;
    }

    // The login prompt: checks what it shows and logs in with the right password.
    static void ExpectLogin(CModalDriver &driver, const QString &strPassword = QString::fromLatin1(CFtpTestServer::kPassword))
    {
        driver.Expect(QStringLiteral("ServerLoginDlg"), [strPassword](QWidget *w) {
            auto *host = w->findChild<QLineEdit *>(QStringLiteral("edit_1033"));
            if (!host->isReadOnly() || host->text() != QLatin1String("127.0.0.1"))
                return;
            w->findChild<QLineEdit *>(QStringLiteral("edit_1032"))->setText(strPassword);
            CModalDriver::Click(w, QStringLiteral("button_1"));
        });
    }

    // The browser: picks the row (if any), the radio buttons named, then Load or Put.
    static void ExpectBrowser(CModalDriver &driver, const QString &strRow, const QStringList &radios = {})
    {
        driver.Expect(QStringLiteral("FtpBrowserDlg"), [strRow, radios](QWidget *w) {
            auto *list = w->findChild<QTreeWidget *>(QStringLiteral("list_1008"));
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                if (list->topLevelItem(i)->text(0) == strRow)
                    list->topLevelItem(i)->setSelected(true);
            }
            for (const QString &r : radios)
                w->findChild<QRadioButton *>(r)->click();
            CModalDriver::Click(w, QStringLiteral("button_1012"));
        });
    }

    void Load(CModalDriver &driver, const QString &strRow, const QStringList &radios = {})
    {
        ExpectLogin(driver);
        ExpectBrowser(driver, strRow, radios);
        driver.ExpectMessage(); // "... will be downloaded"
    }

    // A whole Load into the editor; its driver is gone before the next one starts, so
    // that only one answers the windows that come later.
    void LoadAnswered(const QString &strRow)
    {
        CModalDriver driver;
        Load(driver, strRow);
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
    }

    static void Check(const CModalDriver &driver)
    {
        QVERIFY2(driver.Failures().isEmpty(), qPrintable(driver.Failures().join(QLatin1Char('\n'))));
        QVERIFY2(driver.Done(), qPrintable(driver.Seen().join(QLatin1Char(','))));
    }

    void SaveDocumentAs(const QString &path, const QByteArray &data)
    {
        View()->SetTextBytes(data);
        QVERIFY(Doc()->OnSaveDocument(path));
        Doc()->SetPathName(path);
    }

    bool PutBackEnabled() const
    {
        Frame()->UpdateCommandUI();
        return Frame()->Action(Cmd::ID_FILE_PUT_BACK)->isEnabled();
    }

private slots:
    void initTestCase()
    {
        CFtpWorker::s_nProgressDelayMs = 200;
    }

    void init()
    {
        QVERIFY(StartServer());
        m_upLocal = std::make_unique<QTemporaryDir>();
        g_settings.FTP_HOST_NAME = QStringLiteral("127.0.0.1");
        g_settings.FTP_USER_NAME = QString::fromLatin1(CFtpTestServer::kUser);
        g_settings.FTP_USER_PASS.clear();
        g_settings.LOCAL_DIRECTORY = m_upLocal->path();
        g_settings.REMOTE_DIRECTORY.clear();
        Doc()->SetModifiedFlag(false);
        Doc()->OnNewDocument();
    }
    void cleanup()
    {
        Doc()->SetModifiedFlag(false);
        m_server.reset();
        m_upLocal.reset();
    }

    // Runs first: nothing has been loaded yet in this program.
    void putBackIsDisabledUntilALoad()
    {
        QVERIFY(Doc()->m_strServerDir.isEmpty());
        QVERIFY(!PutBackEnabled());
        QVERIFY(Frame()->Action(Cmd::ID_FILE_LOAD_FROM_SERVER)->isEnabled());
        QVERIFY(Frame()->Action(Cmd::ID_FILE_PUT_ON_SERVER)->isEnabled());
    }

    void loadIntoTheEditor_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QStringList>("radios");
        QTest::addColumn<QByteArray>("editor");
        QTest::newRow("script by auto detection: ASCII, native line ends")
            << "script.pl" << QByteArray("print 1;\r\nprint 2;") << QStringList{} << QByteArray("print 1;\nprint 2;\n");
        QTest::newRow("upper-case .HTML is detected as binary")
            << "PAGE.HTML" << QByteArray("<p>\r\n</p>") << QStringList{} << QByteArray("<p>\r\n</p>");
        QTest::newRow("binary chosen keeps every byte")
            << "data.pl" << QByteArray("a\r\nb\xff\x00\xe9", 7) << QStringList{"radio_1022"}
            << QByteArray("a\r\nb\xff\x00\xe9", 7);
        QTest::newRow("ASCII chosen for any name")
            << "notes.dat" << QByteArray("x\r\ny\r\n") << QStringList{"radio_1053"} << QByteArray("x\ny\n");
        QTest::newRow("empty file") << "empty.pl" << QByteArray() << QStringList{} << QByteArray();
        QTest::newRow("non-ASCII name") << QString::fromUtf8("caf\xc3\xa9.pl") << QByteArray("1\n") << QStringList{}
                                        << QByteArray("1\n");
    }
    void loadIntoTheEditor()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, server);
        QFETCH(QStringList, radios);
        QFETCH(QByteArray, editor);
        m_server->MakeDir(QStringLiteral("scripts"));
        m_server->WriteFile(QStringLiteral("scripts/") + name, server);
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/scripts");
        QSignalSpy status(Frame()->statusBar(), &QStatusBar::messageChanged);
        CModalDriver driver;
        Load(driver, name, radios);
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QCOMPARE(driver.Messages(), QStringList{name + QStringLiteral(" will be downloaded")});
        QVERIFY(View()->GetTextBytes() == editor);
        QVERIFY(Doc()->IsModified());
        QCOMPARE(Doc()->m_strServerDir, QStringLiteral("/scripts"));
        QString path = QDir(m_upLocal->path()).absoluteFilePath(name);
        QCOMPARE(Doc()->GetPathName(), path);
        QCOMPARE(Doc()->GetTitle(), name);
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(CKestrelApp::Instance()->RecentFiles().value(0), path);
        QVERIFY(PutBackEnabled());
        QStringList texts;
        for (const QList<QVariant> &args : status)
            texts << args.value(0).toString();
        QCOMPARE(texts.value(0), QStringLiteral("Trying to connect to host 127.0.0.1."));
        QCOMPARE(texts.value(1), QStringLiteral("Trying to connect to host 127.0.0.1. "));
        QCOMPARE(texts.last(), QStringLiteral("Connected."));
    }

    void loadToAFileOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QByteArray>("local");
        QTest::newRow("binary, byte for byte") << "blob.bin" << RandomBytes(1024 * 1024 + 3) << QByteArray();
        QTest::newRow("ASCII, native line ends") << "s.pl" << QByteArray("a\r\nb") << QByteArray("a\nb\n");
    }
    void loadToAFileOnly()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, server);
        QFETCH(QByteArray, local);
        if (local.isEmpty())
            local = server;
        m_server->WriteFile(name, server);
        // An older copy is replaced.
        CFtpTestServer::WriteLocal(LocalPath(name), "old");
        View()->SetTextBytes("unsaved text\n");
        Doc()->SetModifiedFlag(true);
        CModalDriver driver;
        Load(driver, name, {QStringLiteral("radio_1060")});
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QVERIFY(CFtpTestServer::ReadLocal(LocalPath(name)) == local);
        QCOMPARE(View()->GetTextBytes(), QByteArray("unsaved text\n"));
        QVERIFY(Doc()->GetPathName().isEmpty());
    }

    void cancelledSaveQuestionKeepsTheUnsavedText()
    {
        m_server->WriteFile(QStringLiteral("s.pl"), "server text\n");
        View()->SetTextBytes("my unsaved work\n");
        Doc()->SetModifiedFlag(true);
        CModalDriver driver;
        Load(driver, QStringLiteral("s.pl"));
        driver.ExpectMessage(false, QMessageBox::Cancel); // "Save changes to Untitled?"
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QVERIFY(driver.Messages().value(1).startsWith(QLatin1String("Save changes")));
        QCOMPARE(View()->GetTextBytes(), QByteArray("my unsaved work\n"));
        QVERIFY(Doc()->GetPathName().isEmpty());
        QVERIFY(Doc()->IsModified());
    }

    void cancelledLoginDoesNothing()
    {
        Frame()->statusBar()->showMessage(QStringLiteral("before"));
        QSignalSpy status(Frame()->statusBar(), &QStatusBar::messageChanged);
        CModalDriver driver;
        driver.Expect(QStringLiteral("ServerLoginDlg"), [](QWidget *w) { CModalDriver::Click(w, QStringLiteral("button_2")); });
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QCOMPARE(status.count(), 0);
        QCOMPARE(Frame()->statusBar()->currentMessage(), QStringLiteral("before"));
        QVERIFY(g_settings.FTP_USER_PASS.isEmpty());
    }

    void loginAcceptedKeepsNameAndPasswordInMemory()
    {
        CModalDriver driver;
        ExpectLogin(driver);
        driver.Expect(QStringLiteral("FtpBrowserDlg"), [](QWidget *w) { CModalDriver::Click(w, QStringLiteral("button_2")); });
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QCOMPARE(g_settings.FTP_USER_PASS, QString::fromLatin1(CFtpTestServer::kPassword));
    }

    void failedConnectionsAreReportedAtOnce_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("port with nothing listening") << true << "connect";
        QTest::newRow("wrong password") << false << "530";
    }
    void failedConnectionsAreReportedAtOnce()
    {
        QFETCH(bool, refused);
        QFETCH(QString, reasonPart);
        if (refused) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            g_settings.FTP_PORT_NUMBER = probe.serverPort();
        }
        QSignalSpy status(Frame()->statusBar(), &QStatusBar::messageChanged);
        CModalDriver driver;
        ExpectLogin(driver, refused ? QString::fromLatin1(CFtpTestServer::kPassword) : QStringLiteral("wrong"));
        driver.ExpectMessage();
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QCOMPARE(status.last().value(0).toString(), QStringLiteral("Could not connect."));
        QVERIFY2(driver.Messages().value(0).contains(reasonPart, Qt::CaseInsensitive),
                 qPrintable(driver.Messages().value(0)));
        // Reported when it failed, not after the whole wait: no second was counted.
        for (const QList<QVariant> &args : status)
            QVERIFY(!args.value(0).toString().endsWith(QLatin1String(". 1")));
    }

    // Load from server against the port of an SSH server: said at once, with the
    // banner, not after the whole wait.
    void sshServerIsNamedAtOnce()
    {
        CScriptedServer ssh;
        ssh.SetGreeting("SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n");
        g_settings.FTP_PORT_NUMBER = ssh.Port();
        QSignalSpy status(Frame()->statusBar(), &QStatusBar::messageChanged);
        CModalDriver driver;
        ExpectLogin(driver);
        driver.ExpectMessage();
        QElapsedTimer clock;
        clock.start();
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        const qint64 elapsed = clock.elapsed();
        Check(driver);
        QCOMPARE(driver.Messages().value(0),
                 QStringLiteral("Could not connect to host 127.0.0.1:\n127.0.0.1 port %1 speaks SSH, not FTP. Its "
                                "greeting was:\nSSH-2.0-OpenSSH_9.2p1 Debian-2\nFor SFTP, choose the protocol SFTP (a host name of "
                                "the form sftp://host).")
                     .arg(ssh.Port()));
        QCOMPARE(status.last().value(0).toString(), QStringLiteral("Could not connect."));
        QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
    }

    // A server that accepts the connection but never greets: the status counts the
    // seconds up to 28 and the attempt ends after the 29th.
    void silentServerCostsTheWholeWait()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        g_settings.FTP_PORT_NUMBER = silent.serverPort();
        QSignalSpy status(Frame()->statusBar(), &QStatusBar::messageChanged);
        CModalDriver driver;
        ExpectLogin(driver);
        driver.ExpectMessage();
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QStringList expected = {QStringLiteral("Trying to connect to host 127.0.0.1."),
                                QStringLiteral("Trying to connect to host 127.0.0.1. ")};
        for (int i = 1; i <= 28; ++i)
            expected << QStringLiteral("Trying to connect to host 127.0.0.1. %1").arg(i);
        expected << QStringLiteral("Could not connect.");
        QStringList texts;
        for (const QList<QVariant> &args : status)
            texts << args.value(0).toString();
        QCOMPARE(texts, expected);
        QCOMPARE(driver.Messages().value(0),
                 QStringLiteral("Could not connect to host 127.0.0.1:\nNo answer within 29 seconds."));
    }

    void putOnServerUsesTheChosenType_data()
    {
        QTest::addColumn<QStringList>("radios");
        QTest::addColumn<QByteArray>("stored");
        const QByteArray local("a\r\nb\xff\n", 6);
        QTest::newRow("preset by the name (.pl is ASCII)") << QStringList{} << QByteArray("a\nb\xff\n", 5);
        QTest::newRow("Binary chosen") << QStringList{"radio_1022"} << local;
        QTest::newRow("Auto Detect chosen") << QStringList{"radio_1023"} << QByteArray("a\nb\xff\n", 5);
    }
    void putOnServerUsesTheChosenType()
    {
        QFETCH(QStringList, radios);
        QFETCH(QByteArray, stored);
        m_server->MakeDir(QStringLiteral("target"));
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/target");
        SaveDocumentAs(LocalPath(QStringLiteral("up.pl")), QByteArray("a\r\nb\xff\n", 6));
        CModalDriver driver;
        ExpectLogin(driver);
        driver.Expect(QStringLiteral("FtpBrowserDlg"), [radios](QWidget *w) {
            if (w->windowTitle() != QLatin1String("Put on Server - up.pl"))
                return;
            for (const QString &r : radios)
                w->findChild<QRadioButton *>(r)->click();
            CModalDriver::Click(w, QStringLiteral("button_1012"));
        });
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_ON_SERVER);
        Check(driver);
        QVERIFY(m_server->ReadFile(QStringLiteral("target/up.pl")) == stored);
    }

    void putOnServerIntoAMissingDirectory()
    {
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/gone");
        SaveDocumentAs(LocalPath(QStringLiteral("up.pl")), "x\n");
        CModalDriver driver;
        ExpectLogin(driver);
        driver.ExpectMessage(); // Error setting remote directory
        driver.Expect(QStringLiteral("FtpBrowserDlg"), [](QWidget *w) { CModalDriver::Click(w, QStringLiteral("button_1012")); });
        driver.ExpectMessage(); // Could not set directory to/gone
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_ON_SERVER);
        Check(driver);
        QVERIFY(driver.Messages().value(0).startsWith(QLatin1String("Error setting remote directory")));
        QVERIFY(driver.Messages().value(1).startsWith(QLatin1String("Could not set directory to/gone")));
        QVERIFY(!QFileInfo::exists(m_server->PathOf(QStringLiteral("up.pl"))));
    }

    void putOnServerOfAnUnsavedDocument()
    {
        CModalDriver driver;
        ExpectLogin(driver);
        driver.Expect(QStringLiteral("FtpBrowserDlg"), [](QWidget *w) { CModalDriver::Click(w, QStringLiteral("button_1012")); });
        driver.ExpectMessage();
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_ON_SERVER);
        Check(driver);
        QVERIFY(driver.Messages().value(0).startsWith(QLatin1String("Error putting file on server")));
    }

    void putBackGoesToTheFolderOfTheLoad()
    {
        m_server->MakeDir(QStringLiteral("web/cgi"));
        m_server->WriteFile(QStringLiteral("web/cgi/form.pl"), "old\n");
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/web/cgi");
        LoadAnswered(QStringLiteral("form.pl"));
        // The user edits and saves; the browser's folder setting moves on meanwhile.
        QString path = Doc()->GetPathName();
        SaveDocumentAs(path, "new\r\n");
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/");
        CModalDriver none;
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_BACK);
        Check(none);
        QCOMPARE(m_server->ReadFile(QStringLiteral("web/cgi/form.pl")), QByteArray("new\n"));
        // A new document keeps the folder, and Put Back stays enabled.
        Doc()->OnNewDocument();
        QVERIFY(PutBackEnabled());
    }

    // A failed Put Back leads with its cause; the hint about rights follows only a
    // refusal by the server that it could explain.
    void putBackFailureLeadsWithItsCause_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<bool>("rightsHint");
        QTest::newRow("loaded file never saved") << "never saved"
                                                 << "Cannot read file %1:\nNo such file or directory.\n\n"
                                                    "Nothing was put back on the server. Save the document, then put it "
                                                    "back."
                                                 << false;
        QTest::newRow("server refuses the store") << "folder in the way"
                                                  << "The server refused to store f.pl in /d:\n550 " << true;
        QTest::newRow("server stops during the put") << "server stops"
                                                     << "Could not put back f.pl into /d on the server:\nThe connection "
                                                        "to the server was lost after "
                                                     << false;
    }
    void putBackFailureLeadsWithItsCause()
    {
        QFETCH(QString, fault);
        QFETCH(QString, headline);
        QFETCH(bool, rightsHint);
        if (fault == QLatin1String("server stops"))
            QVERIFY(StartServer(256 * 1024));
        m_server->MakeDir(QStringLiteral("d"));
        m_server->WriteFile(QStringLiteral("d/f.pl"), "1\n");
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/d");
        LoadAnswered(QStringLiteral("f.pl"));
        const QString path = Doc()->GetPathName();
        if (fault == QLatin1String("folder in the way")) {
            SaveDocumentAs(path, "2\n");
            QVERIFY(QFile::remove(m_server->PathOf(QStringLiteral("d/f.pl"))));
            m_server->MakeDir(QStringLiteral("d/f.pl"));
        } else if (fault == QLatin1String("server stops")) {
            SaveDocumentAs(path, QByteArray(4 * 1024 * 1024, 'x'));
        }
        CModalDriver failing;
        if (fault == QLatin1String("server stops"))
            failing.Expect(QStringLiteral("FtpProgressDlg"), [this](QWidget *) { m_server->Kill(); });
        failing.ExpectMessage();
        Frame()->RouteCommand(Cmd::ID_FILE_PUT_BACK);
        Check(failing);
        const QString message = failing.Messages().value(0);
        if (headline.contains(QLatin1String("%1")))
            headline = headline.arg(QDir::toNativeSeparators(path));
        QVERIFY2(message.startsWith(headline), qPrintable(message));
        const QString hint = QStringLiteral("\n\nThe file could not be put back on the server. You may be lacking "
                                            "permissions to replace this file.");
        QCOMPARE(message.contains(hint), rightsHint);
        if (fault == QLatin1String("never saved")) {
            QCOMPARE(message, headline);
            QCOMPARE(m_server->ReadFile(QStringLiteral("d/f.pl")), QByteArray("1\n"));
        }
    }

    void serverStoppingDuringALoadLeavesTheEditor()
    {
        QVERIFY(StartServer(256 * 1024));
        m_server->WriteFile(QStringLiteral("big.pl"), RandomBytes(8 * 1024 * 1024));
        View()->SetTextBytes("keep me\n");
        Doc()->SetModifiedFlag(false);
        CModalDriver driver;
        Load(driver, QStringLiteral("big.pl"), {QStringLiteral("radio_1022")});
        driver.Expect(QStringLiteral("FtpProgressDlg"), [this](QWidget *) { m_server->Kill(); });
        driver.ExpectMessage();
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QVERIFY(driver.Messages().value(1).startsWith(QLatin1String("Could not load big.pl from the server.")));
        QCOMPARE(View()->GetTextBytes(), QByteArray("keep me\n"));
        QVERIFY(Doc()->GetPathName().isEmpty());
    }

    void cancelInTheProgressDialogKeepsTheLocalFile()
    {
        QVERIFY(StartServer(256 * 1024));
        m_server->WriteFile(QStringLiteral("big.bin"), RandomBytes(8 * 1024 * 1024));
        CFtpTestServer::WriteLocal(LocalPath(QStringLiteral("big.bin")), "old copy");
        CModalDriver driver;
        Load(driver, QStringLiteral("big.bin"), {QStringLiteral("radio_1060")});
        driver.Expect(QStringLiteral("FtpProgressDlg"), [](QWidget *w) {
            auto *progress = static_cast<QProgressDialog *>(w);
            QTimer::singleShot(300, progress, [progress] {
                if (auto *cancel = progress->findChild<QPushButton *>())
                    cancel->click();
            });
        });
        driver.ExpectMessage();
        Frame()->RouteCommand(Cmd::ID_FILE_LOAD_FROM_SERVER);
        Check(driver);
        QVERIFY2(driver.Messages().value(1).contains(QLatin1String("Cancelled.")), qPrintable(driver.Messages().value(1)));
        QCOMPARE(CFtpTestServer::ReadLocal(LocalPath(QStringLiteral("big.bin"))), QByteArray("old copy"));
        QCOMPARE(QDir(m_upLocal->path()).entryList(QDir::Files), QStringList{QStringLiteral("big.bin")});
    }
};

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    // The test's own arguments (test function names) are no files to open.
    int appArgc = 1;
    CKestrelApp app(appArgc, argv);
    if (!app.InitInstance())
        return 1;
    TestFtpCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ftpcommands.moc"
