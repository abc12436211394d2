#include "FixtureServer.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "framework/CommandIds.h"
#include "server/ServerDlg.h"
#include "server/ServerSocket.h"
#include "server/ShellOutputPane.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <QLoggingCategory>

#include <unistd.h>

namespace {
const char *const kScript = "print \"hello from \", 6 * 7, \"\\n\";\n";
const QString kPassword = QStringLiteral("Kestrel-pw-7");
}

// The remote shell window and Run on Server against real servers on 127.0.0.1: a plain
// shell server (socat running sh on a terminal, the "wrenshell" kind) and busybox
// telnetd logging in through /bin/login.
class TestShellServers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void shellCommandAndAnswer();
    void shellEscapesNotShown();
    void shellInterrupt();
    void shellServerClose();
    void shellRunOnServer_data();
    void shellRunOnServer();
    void shellFloodThenInterrupt();

    void telnetLoginAndDirectory();
    void telnetLoginLeavesNoPasswordInTraces();
    void telnetRunOnServer();
    void telnetDisconnect();
    void telnetServerClose();
    void telnetFloodThenPrompt();

private:
    void SendCommand(const QString &command);
    bool ConnectTo(int nPort);
    bool ConnectToShell();
    void StartTelnetSession();
    void FloodThenPrompt(const QString &strCommand, bool bInterrupt);
    QString Output() const { return m_pDlg->OutputPane()->Text(); }

    QTemporaryDir m_workDir;
    CFixtureServer m_shellServer;
    CFixtureServer m_telnetServer;
    QString m_strTelnetSkip;
    QString m_strUser;
    QString m_strRemoteDir;
    CMainFrame *m_pFrame = nullptr;
    CServerDlg *m_pDlg = nullptr;
};

void TestShellServers::initTestCase()
{
    QVERIFY(m_workDir.isValid());
    QFile script(m_workDir.filePath(QStringLiteral("hello.pl")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(kScript);
    script.close();
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty(), "socat is needed (tools/install-deps)");
    QVERIFY(m_shellServer.Start(QStringLiteral(KESTREL_FIXTURES_DIR "/shell-server.sh"), m_workDir.path()));

    // busybox telnetd logs users in with /bin/login: a real user with a password is
    // needed, and only root can make one and run the daemon.
    if (::geteuid() != 0) {
        m_strTelnetSkip = QStringLiteral("busybox telnetd needs root to start /bin/login and a throwaway user; "
                                         "run the tests as root to include it");
        return;
    }
    QProcess probe;
    probe.start(QStringLiteral("busybox"), {QStringLiteral("telnetd"), QStringLiteral("--help")});
    probe.waitForFinished(5000);
    QVERIFY2(probe.error() != QProcess::FailedToStart && probe.readAllStandardError().contains("telnetd"),
             "busybox has no telnetd applet: busybox-static is needed (tools/install-deps)");
    m_strUser = QStringLiteral("ktst%1").arg(::getpid());
    QCOMPARE(QProcess::execute(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-user.sh"),
                               {QStringLiteral("add"), m_strUser, kPassword}),
             0);
    // The login's user must be able to enter the folder and read the script.
    m_strRemoteDir = m_workDir.path();
    QFile::setPermissions(m_strRemoteDir, QFile::permissions(m_strRemoteDir) | QFile::ExeOther | QFile::ReadOther);
    QVERIFY(m_telnetServer.Start(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-server.sh")));
}

void TestShellServers::cleanupTestCase()
{
    m_shellServer.Stop();
    m_telnetServer.Stop();
    if (!m_strUser.isEmpty())
        QProcess::execute(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-user.sh"), {QStringLiteral("remove"), m_strUser});
}

void TestShellServers::init()
{
    g_settings = CSettings();
    g_settings.SERVER_HOST = QStringLiteral("127.0.0.1");
    m_pFrame = new CMainFrame;
    m_pDlg = m_pFrame->ServerDlg();
}

void TestShellServers::cleanup()
{
    // Let the server see the end of the session before the next one starts.
    m_pDlg->Socket()->Close();
    delete m_pFrame;
    m_pFrame = nullptr;
    m_pDlg = nullptr;
}

bool TestShellServers::ConnectTo(int nPort)
{
    g_settings.SERVER_PORT_NUMBER = nPort;
    m_pDlg->findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_SERVER_CONNECT))->trigger();
    return QTest::qWaitFor([this] { return m_pDlg->Socket()->IsConnected(); });
}

// Connects and waits for the shell's first prompt: the shell then has its terminal set
// up and takes the interrupt as a user's.
bool TestShellServers::ConnectToShell()
{
    return ConnectTo(m_shellServer.Port())
           && QTest::qWaitFor([this] { return Output().contains(QLatin1String("$ ")); });
}

void TestShellServers::SendCommand(const QString &command)
{
    m_pDlg->findChild<QComboBox *>(QStringLiteral("combo_1027"))->setEditText(command);
    QTest::mouseClick(m_pDlg->findChild<QPushButton *>(QStringLiteral("button_1079")), Qt::LeftButton);
}

void TestShellServers::shellCommandAndAnswer()
{
    QVERIFY(ConnectToShell());
    SendCommand(QStringLiteral("echo $((6*7))"));
    QTRY_VERIFY2(Output().contains(QLatin1String("\n42\n")), qPrintable(Output()));
    // The terminal's CR LF line ends arrive as plain line ends.
    QVERIFY(!Output().contains(QLatin1Char('\r')));
}

void TestShellServers::shellEscapesNotShown()
{
    QVERIFY(ConnectToShell());
    SendCommand(QStringLiteral("t=ti; printf \"\\033]0;${t}tle-xyz\\007\\033[1;31mred\\033[0m plain\\n\""));
    QTRY_VERIFY2(Output().contains(QLatin1String("red plain\n")), qPrintable(Output()));
    QVERIFY(!Output().contains(QChar(0x1b)));
    QVERIFY(!Output().contains(QLatin1String("title-xyz")));
}

void TestShellServers::shellInterrupt()
{
    QVERIFY(ConnectToShell());
    SendCommand(QStringLiteral("sleep 1000; echo not-reached"));
    // The terminal echoes the line once the shell's terminal has it.
    QTRY_VERIFY(Output().contains(QLatin1String("sleep 1000; echo not-reached\n")));
    QTest::mouseClick(m_pDlg->findChild<QPushButton *>(QStringLiteral("button_1080")), Qt::LeftButton);
    // The interrupt flushes what the terminal has not yet read: the next line is typed
    // at the shell's new prompt, as a user would.
    QTRY_VERIFY2(Output().section(QLatin1String("not-reached\n"), 1).contains(QLatin1String("$ ")), qPrintable(Output()));
    SendCommand(QStringLiteral("echo after-$((4+4))"));
    QTRY_VERIFY2(Output().contains(QLatin1String("after-8\n")), qPrintable(Output()));
    QVERIFY(!Output().contains(QLatin1String("\nnot-reached")));
}

void TestShellServers::shellServerClose()
{
    QVERIFY(ConnectToShell());
    SendCommand(QStringLiteral("exit"));
    QTRY_VERIFY2(Output().endsWith(QLatin1String("Server closed the connection.\n")), qPrintable(Output()));
    QVERIFY(!m_pDlg->Socket()->IsOpen());
}

void TestShellServers::shellRunOnServer_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain name") << "hello.pl";
    QTest::newRow("name with blanks") << "my hello script.pl";
    QTest::newRow("name the shell would expand") << "it's $HOME & (1) *.pl";
    QTest::newRow("name like an option") << "-hello.pl";
}

void TestShellServers::shellRunOnServer()
{
    QFETCH(QString, name);
    const QString serverCopy = m_workDir.filePath(name);
    if (!QFile::exists(serverCopy))
        QVERIFY(QFile::copy(m_workDir.filePath(QStringLiteral("hello.pl")), serverCopy));
    g_settings.SERVER_TYPE = QStringLiteral("wrenshell");
    g_settings.REMOTE_PERL_EXE = QStringLiteral("perl");
    QVERIFY(ConnectToShell());
    // The local copy's folder is of no concern to the server: it runs its own copy.
    m_pFrame->GetDocument()->SetPathName(QStringLiteral("/home/someone/scripts/") + name);
    QVERIFY(!m_pDlg->isVisible());
    QVERIFY(m_pFrame->RouteCommand(Cmd::ID_SCRIPT_RUN_ON_SERVER));
    QVERIFY(m_pDlg->isVisible());
    QTRY_VERIFY2(Output().contains(QLatin1String("hello from 42\n")), qPrintable(Output()));
}

void TestShellServers::StartTelnetSession()
{
    g_settings.SERVER_USER = m_strUser;
    g_settings.SERVER_PASS = kPassword;
    g_settings.REMOTE_DIRECTORY = m_strRemoteDir;
    QVERIFY(ConnectTo(m_telnetServer.Port()));
    QTRY_VERIFY2(Output().contains(QLatin1String("login: ")), qPrintable(Output()));
    m_pDlg->findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_SERVER_LOGIN))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!m_pDlg->Socket()->IsLoggingIn(), 15000);
    QTRY_VERIFY2(Output().contains(QLatin1String("$ ")), qPrintable(Output()));
    QVERIFY2(!Output().contains(QLatin1String("Login incorrect")), qPrintable(Output()));
}

#define START_TELNET_SESSION()                                                                                   \
    do {                                                                                                         \
        if (!m_strTelnetSkip.isEmpty())                                                                          \
            QSKIP(qPrintable(m_strTelnetSkip));                                                                  \
        StartTelnetSession();                                                                                    \
        if (QTest::currentTestFailed())                                                                          \
            return;                                                                                              \
    } while (false)

void TestShellServers::telnetLoginAndDirectory()
{
    START_TELNET_SESSION();
    SendCommand(QStringLiteral("pwd; id -un"));
    QTRY_VERIFY2(Output().contains(m_strRemoteDir + QLatin1Char('\n') + m_strUser + QLatin1Char('\n')),
                 qPrintable(Output()));
}

namespace {
QStringList g_traced;
void KeepTrace(QtMsgType, const QMessageLogContext &, const QString &strMessage)
{
    g_traced << strMessage;
}
} // namespace

// With the diagnostic traces on (a debug build, or a user's QT_LOGGING_RULES), what
// the user types for the server is never written to them, neither the login's password
// nor a line typed at a remote prompt (sudo, passwd): a trace ends up in bug reports
// and terminal scroll-back.
void TestShellServers::telnetLoginLeavesNoPasswordInTraces()
{
    if (!m_strTelnetSkip.isEmpty())
        QSKIP(qPrintable(m_strTelnetSkip));
    const QString typed = QStringLiteral("typed-secret-9");
    g_traced.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("kestrel.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(KeepTrace);
    StartTelnetSession();
    SendCommand(QStringLiteral("read -r answer; echo \"answered ${#answer}\""));
    SendCommand(typed);
    QTRY_VERIFY2(Output().contains(QLatin1String("answered 14")), qPrintable(Output()));
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    QVERIFY2(!g_traced.isEmpty(), "the traces were not on");
    for (const QString &line : g_traced) {
        QVERIFY2(!line.contains(kPassword), qPrintable(line));
        QVERIFY2(!line.contains(typed), qPrintable(line));
    }
}

void TestShellServers::telnetRunOnServer()
{
    START_TELNET_SESSION();
    g_settings.SERVER_TYPE = QStringLiteral("telnet");
    g_settings.REMOTE_PERL_EXE = QStringLiteral("perl");
    m_pFrame->GetDocument()->SetPathName(QStringLiteral("/elsewhere/hello.pl"));
    QVERIFY(m_pFrame->RouteCommand(Cmd::ID_SCRIPT_RUN_ON_SERVER));
    QTRY_VERIFY2(Output().contains(QLatin1String("hello from 42\n")), qPrintable(Output()));
}

void TestShellServers::telnetDisconnect()
{
    START_TELNET_SESSION();
    m_pDlg->findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_SERVER_DISCONNECT))->trigger();
    QCOMPARE(Output(), QStringLiteral("\nServer closed the connection."));
    QVERIFY(!m_pDlg->Socket()->IsOpen());
    // A new connection gets a new login prompt.
    QVERIFY(ConnectTo(m_telnetServer.Port()));
    QTRY_VERIFY(Output().contains(QLatin1String("login: ")));
}

void TestShellServers::telnetServerClose()
{
    START_TELNET_SESSION();
    SendCommand(QStringLiteral("exit"));
    QTRY_VERIFY2(Output().endsWith(QLatin1String("Server closed the connection.\n")), qPrintable(Output()));
    QVERIFY(!m_pDlg->Socket()->IsOpen());
}

// A command floods the window until it ends or Cancel Request stops it: the area
// keeps its limit, and the prompt that follows is shown without anyone asking the area
// for its text.
void TestShellServers::FloodThenPrompt(const QString &strCommand, bool bInterrupt)
{
    CShellOutputPane *pane = m_pDlg->OutputPane();
    SendCommand(strCommand);
    QTRY_VERIFY_WITH_TIMEOUT(pane->DroppedBytes() > 0, 60000);
    if (bInterrupt)
        QTest::mouseClick(m_pDlg->findChild<QPushButton *>(QStringLiteral("button_1080")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(pane->ShownText().endsWith(QLatin1String("$ ")) && !pane->HasPendingText(), 60000);
    QVERIFY(pane->ShownText().toUtf8().size() <= CShellOutputPane::kMaxBytes + 100);
    SendCommand(QStringLiteral("echo after-$((4+4))"));
    QTRY_VERIFY2(Output().contains(QLatin1String("after-8\n")), qPrintable(Output().right(200)));
}

void TestShellServers::shellFloodThenInterrupt()
{
    QVERIFY(ConnectToShell());
    FloodThenPrompt(QStringLiteral("yes"), true);
}

// busybox telnetd does not turn the interrupt into the terminal's interrupt
// character, so the flood here ends by itself.
void TestShellServers::telnetFloodThenPrompt()
{
    START_TELNET_SESSION();
    FloodThenPrompt(QStringLiteral("yes | head -c 30000000"), false);
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestShellServers test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shellservers.moc"
