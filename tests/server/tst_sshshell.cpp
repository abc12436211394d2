#include "ModalDriver.h"
#include "SshTestServer.h"

#include "app/Settings.h"
#include "server/HostKeyQuestion.h"
#include "server/RunOnServer.h"
#include "server/ServerDlg.h"
#include "server/ServerSocket.h"
#include "server/ShellOutputPane.h"
#include "server/SshShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <sys/stat.h>

namespace {
// Waits long enough for a login on a loaded machine; nothing here measures time.
constexpr int kWaitMs = 30000;

QString SshDir()
{
    return QDir::homePath() + QStringLiteral("/.ssh");
}

int Mode(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes, QFile::Permissions perms = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(bytes);
    f.close();
    return perms == QFile::Permissions() || f.setPermissions(perms);
}

// Installs a client key of the test server as the user's own ~/.ssh key.
bool InstallKey(const QString &keyFile)
{
    QDir().mkpath(SshDir());
    const QString target = SshDir() + QStringLiteral("/id_ed25519");
    return WriteFile(target, ReadFile(keyFile), QFile::ReadOwner | QFile::WriteOwner)
           && WriteFile(target + QStringLiteral(".pub"), ReadFile(keyFile + QStringLiteral(".pub")));
}
}

// A CSshShell with everything it reports gathered, and the questions answered as the
// test says.
class CShellProbe : public QObject
{
public:
    explicit CShellProbe(const CSshLogin &login)
    {
        shell.SetLogin(login);
        connect(&shell, &CShellConnection::TextReceived, this, [this](const QString &s) { text += s; });
        connect(&shell, &CShellConnection::ConnectionFailed, this, [this](const QString &s) { failed << s; });
        connect(&shell, &CShellConnection::ConnectionLost, this, [this](const QString &s) { lost << s; });
        connect(&shell, &CShellConnection::ConnectionClosed, this, [this] { ++nClosed; });
        connect(&shell, &CShellConnection::HostKeyQuestion, this, [this](const QString &q) {
            hostKeyQuestions << q;
            shell.AnswerHostKey(bTrustHostKey);
        });
        connect(&shell, &CShellConnection::SecretQuestion, this, [this](const QString &prompt) {
            secretPrompts << prompt;
            if (secretAnswers.isEmpty())
                shell.AnswerSecret(false, QString());
            else
                shell.AnswerSecret(true, secretAnswers.takeFirst());
        });
    }

    bool Ended() const { return !failed.isEmpty() || !lost.isEmpty() || nClosed > 0; }
    bool WaitConnected() { return QTest::qWaitFor([this] { return shell.IsConnected() || Ended(); }, kWaitMs) && shell.IsConnected(); }
    bool WaitFailed() { return QTest::qWaitFor([this] { return Ended(); }, kWaitMs) && !failed.isEmpty(); }
    // The shell prompts: what is sent now is echoed (a line typed before the shell has
    // set up its terminal may not be).
    bool WaitPrompt() { return QTest::qWaitFor([this] { return text.endsWith(QLatin1String("$ ")) || Ended(); }, kWaitMs) && !Ended(); }
    bool WaitText(const QString &s) { return QTest::qWaitFor([&] { return text.contains(s) || Ended(); }, kWaitMs) && text.contains(s); }

    CSshShell shell;
    QString text;
    QStringList failed, lost, hostKeyQuestions, secretPrompts, secretAnswers;
    int nClosed = 0;
    bool bTrustHostKey = false;
};

// The remote shell over SSH against OpenSSH's sshd on 127.0.0.1 (started as root by
// tests/fixtures/sshd-server.sh): logins by password and by key, commands, the
// interrupt, the change of folder, Run on Server, host key checks and the failures a
// user must be told about. The server's key is trusted only by writing it into the
// test's own ~/.ssh/known_hosts.
class TestSshShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void loginWithPassword();
    void terminalSizeFollows();
    void loginWithKey();
    void keyPassphrase_data();
    void keyPassphrase();
    void passwordAskedWhenNoneSet();
    void wrongLogin_data();
    void wrongLogin();
    void loginWithAgent();
    void keyboardInteractiveOnly();
    void interruptSleep();
    void hostKeyUnknown_data();
    void hostKeyUnknown();
    void hostKeyChanged();
    void hostKeyRevoked_data();
    void hostKeyRevoked();
    void connectionRefused();
    void silentServer();
    void notAnSshServer();
    void cancelWhileAsking();
    void noDescriptorLeft_data();
    void noDescriptorLeft();

    void windowLoginDirectoryAndCommand();
    void windowRunOnServer();
    void windowServerKilledDuringCommand();
    void windowFollowsServerType();
    void windowHostKeyQuestion_data();
    void windowHostKeyQuestion();
    void windowAsksForPassword_data();
    void windowAsksForPassword();

private:
    CSshLogin Login(const QString &strPassword) const;
    CServerDlg *NewWindow(const QString &strPassword);

    CSshTestServer m_server;
};

void TestSshShell::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("sshd is started as root only");
    // The user's agent would change which key logs in.
    qunsetenv("SSH_AUTH_SOCK");
    QVERIFY(m_server.Start());
}

void TestSshShell::init()
{
    QDir(SshDir()).removeRecursively();
    QVERIFY(m_server.TrustInHome());
    g_settings = CSettings();
}

CSshLogin TestSshShell::Login(const QString &strPassword) const
{
    CSshLogin login;
    login.strUser = m_server.User();
    login.strPassword = strPassword;
    login.strSshDir = SshDir();
    login.strHost = QStringLiteral("127.0.0.1");
    login.nPort = m_server.Port();
    return login;
}

void TestSshShell::loginWithPassword()
{
    CShellProbe probe(Login(m_server.Password()));
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    // A line sent while the session opens waits for the shell.
    QVERIFY(probe.shell.IsOpen());
    QVERIFY(probe.shell.SendLine(QStringLiteral("echo early-$((6*7))")));
    QVERIFY2(probe.WaitConnected(), qPrintable(probe.failed.join('\n')));
    QVERIFY2(probe.WaitText(QStringLiteral("early-42")), qPrintable(probe.text));
    QVERIFY(probe.shell.SendLine(QStringLiteral("echo answer-$((6*7))")));
    QVERIFY2(probe.WaitText(QStringLiteral("answer-42")), qPrintable(probe.text));
    // The terminal type asks for plain text: no escape sequence, no carriage return.
    QVERIFY(!probe.text.contains(QChar(0x1b)));
    QVERIFY(!probe.text.contains(QLatin1Char('\r')));
    QVERIFY(probe.shell.SendLine(QStringLiteral("echo $TERM-term")));
    QVERIFY2(probe.WaitText(QStringLiteral("dumb-term")), qPrintable(probe.text));
    QVERIFY(probe.hostKeyQuestions.isEmpty());
    QVERIFY(probe.secretPrompts.isEmpty());
}

// True when the text holds the answer of `stty size` for the size, on a line of its
// own or after a prompt (a line typed before the shell prompted is not echoed).
static bool HasSttySize(const QString &text, int nRows, int nColumns)
{
    return text.contains(QRegularExpression(QStringLiteral("(^|\\n|\\$ )%1 %2\\n").arg(nRows).arg(nColumns)));
}

void TestSshShell::terminalSizeFollows()
{
    CSshLogin login = Login(m_server.Password());
    login.nColumns = 132;
    login.nRows = 43;
    CShellProbe probe(login);
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY2(probe.WaitConnected(), qPrintable(probe.failed.join('\n')));
    probe.shell.SendLine(QStringLiteral("stty size"));
    QTRY_VERIFY2_WITH_TIMEOUT(HasSttySize(probe.text, 43, 132), qPrintable(probe.text), kWaitMs);
    probe.shell.SetTerminalSize(90, 30);
    probe.shell.SendLine(QStringLiteral("stty size"));
    QTRY_VERIFY2_WITH_TIMEOUT(HasSttySize(probe.text, 30, 90), qPrintable(probe.text), kWaitMs);

    // The window gives the size of its output area, and a new one when it is resized.
    std::unique_ptr<CServerDlg> dlg(NewWindow(m_server.Password()));
    dlg->OnConnect();
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Socket()->IsConnected() || !dlg->Socket()->IsOpen(), kWaitMs);
    const QFontMetrics metrics(dlg->OutputPane()->font());
    const auto rows = [&] { return dlg->OutputPane()->viewport()->height() / metrics.lineSpacing(); };
    const auto columns = [&] { return dlg->OutputPane()->viewport()->width() / metrics.horizontalAdvance(QLatin1Char('M')); };
    dlg->SendCommand(QStringLiteral("stty size"));
    QTRY_VERIFY2_WITH_TIMEOUT(HasSttySize(dlg->OutputPane()->Text(), rows(), columns()),
                              qPrintable(QStringLiteral("%1 %2: ").arg(rows()).arg(columns()) + dlg->OutputPane()->Text()),
                              kWaitMs);
    const int nRowsBefore = rows();
    dlg->resize(dlg->size() + QSize(200, 100));
    QTRY_VERIFY(rows() > nRowsBefore);
    dlg->SendCommand(QStringLiteral("stty size"));
    QTRY_VERIFY2_WITH_TIMEOUT(HasSttySize(dlg->OutputPane()->Text(), rows(), columns()),
                              qPrintable(QStringLiteral("%1 %2: ").arg(rows()).arg(columns()) + dlg->OutputPane()->Text()),
                              kWaitMs);
}

void TestSshShell::loginWithKey()
{
    QVERIFY(InstallKey(m_server.KeyFile()));
    // No password at all: the key is enough, and nothing is asked.
    CShellProbe probe(Login(QString()));
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY2(probe.WaitConnected(), qPrintable(probe.failed.join('\n')));
    QVERIFY(probe.secretPrompts.isEmpty());
    probe.shell.SendLine(QStringLiteral("echo key-$((2*21))"));
    QVERIFY2(probe.WaitText(QStringLiteral("key-42")), qPrintable(probe.text));
}

void TestSshShell::keyPassphrase_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("loggedIn");
    QTest::newRow("right passphrase") << QStringList{QStringLiteral("<phrase>")} << true;
    QTest::newRow("wrong, then right") << QStringList{QStringLiteral("nope"), QStringLiteral("<phrase>")} << true;
    QTest::newRow("wrong three times") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")} << false;
    QTest::newRow("cancelled") << QStringList() << false;
}

void TestSshShell::keyPassphrase()
{
    QFETCH(QStringList, answers);
    QFETCH(bool, loggedIn);
    answers.replaceInStrings(QStringLiteral("<phrase>"), m_server.Passphrase());
    QVERIFY(InstallKey(m_server.PhraseKeyFile()));
    CShellProbe probe(Login(QString()));
    probe.secretAnswers = answers;
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    if (loggedIn) {
        QVERIFY2(probe.WaitConnected(), qPrintable(probe.failed.join('\n')));
        QVERIFY(probe.secretPrompts.first().contains(SshDir() + QStringLiteral("/id_ed25519")));
        return;
    }
    QVERIFY(probe.WaitFailed());
    const QString message = probe.failed.first();
    QVERIFY2(message.startsWith(QStringLiteral("Permission denied (publickey,password,keyboard-interactive) for the user ")
                                + m_server.User()),
             qPrintable(message));
    if (answers.size() == 3)
        QVERIFY2(message.contains(QStringLiteral("Wrong passphrase for the key ") + SshDir()), qPrintable(message));
    // After the key, the password was asked for (none is set) and not given.
    QVERIFY2(probe.secretPrompts.last().startsWith(QStringLiteral("Password for ")), qPrintable(probe.secretPrompts.join('\n')));
}

void TestSshShell::passwordAskedWhenNoneSet()
{
    CShellProbe probe(Login(QString()));
    probe.secretAnswers = {m_server.Password()};
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY2(probe.WaitConnected(), qPrintable(probe.failed.join('\n')));
    QCOMPARE(probe.secretPrompts, QStringList{QStringLiteral("Password for %1@127.0.0.1:").arg(m_server.User())});
}

void TestSshShell::wrongLogin_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong password") << QString() << QStringLiteral("not the password");
    // sshd answers a user it does not know exactly as a wrong password.
    QTest::newRow("no such user") << QStringLiteral("no-such-user-here") << QStringLiteral("whatever");
}

void TestSshShell::wrongLogin()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    CSshLogin login = Login(password);
    if (!user.isEmpty())
        login.strUser = user;
    CShellProbe probe(login);
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY(probe.WaitFailed());
    QCOMPARE(probe.failed.first(), QStringLiteral("Permission denied (publickey,password,keyboard-interactive) for the user %1.")
                                       .arg(login.strUser));
    QVERIFY(probe.secretPrompts.isEmpty());
    QVERIFY(!probe.shell.IsOpen());
    QVERIFY(!probe.shell.SendLine(QStringLiteral("true")));
}

void TestSshShell::loginWithAgent()
{
    const QString agentSocket = QDir::homePath() + QStringLiteral("/agent.sock");
    QFile::remove(agentSocket);
    QProcess agent;
    agent.start(QStringLiteral("ssh-agent"), {QStringLiteral("-D"), QStringLiteral("-a"), agentSocket});
    QVERIFY(agent.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return QFile::exists(agentSocket); }, kWaitMs));
    QProcess add;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SSH_AUTH_SOCK"), agentSocket);
    add.setProcessEnvironment(env);
    add.start(QStringLiteral("ssh-add"), {m_server.KeyFile()});
    QVERIFY(add.waitForFinished(kWaitMs));
    QCOMPARE(add.exitCode(), 0);

    // No key in ~/.ssh and no password: only the agent can log in.
    qputenv("SSH_AUTH_SOCK", agentSocket.toLocal8Bit());
    CShellProbe probe(Login(QString()));
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    const bool bConnected = probe.WaitConnected();
    qunsetenv("SSH_AUTH_SOCK");
    agent.kill();
    agent.waitForFinished();
    QVERIFY2(bConnected, qPrintable(probe.failed.join('\n')));
    QVERIFY(probe.secretPrompts.isEmpty());
}

void TestSshShell::keyboardInteractiveOnly()
{
    // A second sshd on the test server's configuration that takes no password method:
    // the password goes through keyboard-interactive (PAM's "Password:" prompt).
    const QString config = QFileInfo(m_server.HostKeyFile()).dir().filePath(QStringLiteral("sshd_config"));
    const quint16 nPort = CFixtureServer::FreePort();
    QProcess sshd;
    sshd.setProcessChannelMode(QProcess::MergedChannels);
    // The configuration's own ListenAddress is taken by the first server; this one
    // listens on its own port as well.
    sshd.start(QStringLiteral("/usr/sbin/sshd"),
               {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config, QStringLiteral("-o"),
                QStringLiteral("ListenAddress=127.0.0.1:%1").arg(nPort), QStringLiteral("-o"),
                QStringLiteral("PasswordAuthentication=no"), QStringLiteral("-o"),
                QStringLiteral("PidFile=") + config + QStringLiteral(".kbd.pid")});
    QVERIFY(sshd.waitForStarted());
    QByteArray log;
    QVERIFY(QTest::qWaitFor([&] {
        sshd.waitForReadyRead(50);
        log += sshd.readAll();
        return log.contains(QByteArray("port ") + QByteArray::number(nPort));
    }, kWaitMs));
    QDir().mkpath(SshDir());
    QFile known(SshDir() + QStringLiteral("/known_hosts"));
    QVERIFY(known.open(QIODevice::Append));
    known.write(QStringLiteral("[127.0.0.1]:%1 %2\n").arg(nPort).arg(m_server.HostKey()).toUtf8());
    known.close();

    CShellProbe probe(Login(m_server.Password()));
    probe.shell.Connect(QStringLiteral("127.0.0.1"), nPort);
    const bool bConnected = probe.WaitConnected();
    sshd.waitForReadyRead(200);
    log += sshd.readAll();
    sshd.kill();
    sshd.waitForFinished();
    QVERIFY2(bConnected, qPrintable(probe.failed.join('\n')));
    QVERIFY2(log.contains("Accepted keyboard-interactive"), log.constData());
}

void TestSshShell::interruptSleep()
{
    CShellProbe probe(Login(m_server.Password()));
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY2(probe.WaitConnected(), qPrintable(probe.failed.join('\n')));
    QVERIFY2(probe.WaitPrompt(), qPrintable(probe.text));
    probe.shell.SendLine(QStringLiteral("sleep 100; echo slept-$((1+1))"));
    QVERIFY(probe.WaitText(QStringLiteral("sleep 100")));  // the terminal's echo
    QTest::qWait(300);
    QVERIFY(probe.shell.SendInterrupt());
    // The shell takes the next line only once sleep has ended; the interrupted list
    // does not go on to its echo.
    probe.shell.SendLine(QStringLiteral("echo back-$((40+2))"));
    QVERIFY2(probe.WaitText(QStringLiteral("back-42")), qPrintable(probe.text));
    QVERIFY(!probe.text.contains(QStringLiteral("slept-2")));
}

void TestSshShell::hostKeyUnknown_data()
{
    QTest::addColumn<bool>("trust");
    QTest::addColumn<bool>("withOtherHost");
    QTest::newRow("accepted, no known_hosts yet") << true << false;
    QTest::newRow("accepted, other hosts recorded") << true << true;
    QTest::newRow("refused") << false << true;
    QTest::newRow("refused, no known_hosts yet") << false << false;
}

void TestSshShell::hostKeyUnknown()
{
    QFETCH(bool, trust);
    QFETCH(bool, withOtherHost);
    QDir(SshDir()).removeRecursively();
    const QString knownHosts = SshDir() + QStringLiteral("/known_hosts");
    const QByteArray before = withOtherHost ? QByteArray("[127.0.0.1]:1 ") + m_server.HostKey().toUtf8() + '\n' : QByteArray();
    if (withOtherHost) {
        QDir().mkpath(SshDir());
        QVERIFY(WriteFile(knownHosts, before));
    }
    CShellProbe probe(Login(m_server.Password()));
    probe.bTrustHostKey = trust;
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY(QTest::qWaitFor([&] { return probe.shell.IsConnected() || probe.Ended(); }, kWaitMs));
    QCOMPARE(probe.hostKeyQuestions.size(), 1);
    const QByteArray blob = QByteArray::fromBase64(m_server.HostKey().section(QLatin1Char(' '), 1, 1).toLatin1());
    const QString question = probe.hostKeyQuestions.first();
    QVERIFY2(question.contains(QStringLiteral("127.0.0.1 (port %1)").arg(m_server.Port())), qPrintable(question));
    QVERIFY2(question.contains(CHostKeyQuestion::Fingerprint(blob)), qPrintable(question));
    QVERIFY2(question.contains(QStringLiteral("ED25519")), qPrintable(question));
    if (trust) {
        QVERIFY2(probe.shell.IsConnected(), qPrintable(probe.failed.join('\n')));
        const QByteArray after = ReadFile(knownHosts);
        QVERIFY(after.startsWith(before));
        QVERIFY2(CHostKeyQuestion::FindHostLine(after, QStringLiteral("127.0.0.1"), m_server.Port(), QStringLiteral("ssh-ed25519")) > 0,
                 after.constData());
        // Added as the user's OpenSSH adds it: hashed when its configuration says so
        // (Debian's does), found by ssh-keygen, trusted by ssh.
        const QByteArray added = after.mid(before.size());
        QVERIFY2(added.endsWith(' ' + m_server.HostKey().toUtf8() + '\n') && added.count('\n') == 1, added.constData());
        QCOMPARE(added.startsWith("|1|"), m_server.OpenSshHashesNames());
        QVERIFY(m_server.SshKeygenFinds(knownHosts));
        QByteArray out;
        QVERIFY2(m_server.OpenSshLogsIn(knownHosts, &out), out.constData());
        if (!withOtherHost) {
            // Made for the user only.
            QCOMPARE(Mode(knownHosts), 0600);
            QCOMPARE(Mode(SshDir()), 0700);
        }
        // Trusted from now on: the next connection asks nothing.
        CShellProbe again(Login(m_server.Password()));
        again.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
        QVERIFY(again.WaitConnected());
        QVERIFY(again.hostKeyQuestions.isEmpty());
    } else {
        QVERIFY(probe.WaitFailed());
        QCOMPARE(probe.failed.first(), QStringLiteral("the host key was not accepted."));
        QCOMPARE(ReadFile(knownHosts), before);
        QCOMPARE(QFile::exists(knownHosts), withOtherHost);
    }
}

void TestSshShell::hostKeyChanged()
{
    const QString knownHosts = SshDir() + QStringLiteral("/known_hosts");
    const QByteArray recorded = "# kept by the user\n" + QStringLiteral("[127.0.0.1]:%1 %2\n").arg(m_server.Port()).arg(m_server.OtherHostKey()).toUtf8();
    QVERIFY(WriteFile(knownHosts, recorded));
    CShellProbe probe(Login(m_server.Password()));
    probe.bTrustHostKey = true;  // never asked
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY(probe.WaitFailed());
    QVERIFY(probe.hostKeyQuestions.isEmpty());
    const QString message = probe.failed.first();
    QVERIFY2(message.contains(QStringLiteral("has changed")), qPrintable(message));
    QVERIFY2(message.contains(knownHosts + QStringLiteral(", line 2")),
             qPrintable(message));
    QCOMPARE(ReadFile(knownHosts), recorded);
}

void TestSshShell::hostKeyRevoked_data()
{
    QTest::addColumn<bool>("alsoRecorded");
    QTest::addColumn<int>("line");
    QTest::newRow("recorded and revoked") << true << 3;
    QTest::newRow("revoked only") << false << 2;
}

// A key that known_hosts marks as revoked is refused, naming the file and line, and is
// never offered for trust, whatever other lines say.
void TestSshShell::hostKeyRevoked()
{
    QFETCH(bool, alsoRecorded);
    QFETCH(int, line);
    const QString knownHosts = SshDir() + QStringLiteral("/known_hosts");
    const QByteArray name = QStringLiteral("[127.0.0.1]:%1 ").arg(m_server.Port()).toUtf8();
    const QByteArray recorded = "# kept by the user\n" + (alsoRecorded ? name + m_server.HostKey().toUtf8() + '\n' : QByteArray())
                                + "@revoked * " + m_server.HostKey().toUtf8() + '\n';
    QVERIFY(WriteFile(knownHosts, recorded));
    CShellProbe probe(Login(m_server.Password()));
    probe.bTrustHostKey = true;  // never asked
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY(probe.WaitFailed());
    QVERIFY2(probe.hostKeyQuestions.isEmpty(), qPrintable(probe.hostKeyQuestions.join('\n')));
    const QString message = probe.failed.first();
    QVERIFY2(message.contains(QStringLiteral("marked as revoked")), qPrintable(message));
    QVERIFY2(message.contains(knownHosts + QStringLiteral(", line %1").arg(line)), qPrintable(message));
    QCOMPARE(ReadFile(knownHosts), recorded);
    // OpenSSH refuses it just so.
    QByteArray out;
    QVERIFY(!m_server.OpenSshLogsIn(knownHosts, &out));
    QVERIFY2(out.contains("revoked"), out.constData());
}

void TestSshShell::connectionRefused()
{
    CShellProbe probe(Login(m_server.Password()));
    probe.shell.Connect(QStringLiteral("127.0.0.1"), CFixtureServer::FreePort());
    QVERIFY(probe.WaitFailed());
    QCOMPARE(probe.failed.first(), QStringLiteral("Connection refused."));
}

void TestSshShell::silentServer()
{
    // A server that takes the connection and never says a word.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    CSshLogin login = Login(m_server.Password());
    login.nTimeoutSeconds = 2;
    CShellProbe probe(login);
    probe.shell.Connect(QStringLiteral("127.0.0.1"), server.serverPort());
    QVERIFY(probe.WaitFailed());
    QVERIFY2(probe.failed.first().startsWith(QStringLiteral("no answer within 2 seconds")), qPrintable(probe.failed.first()));
}

void TestSshShell::notAnSshServer()
{
    // An FTP server where an SSH server was expected: it greets and hangs up.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, this, [&server] {
        QTcpSocket *socket = server.nextPendingConnection();
        socket->write("220 FTP server ready.\r\n");
        socket->disconnectFromHost();
    });
    CShellProbe probe(Login(m_server.Password()));
    probe.shell.Connect(QStringLiteral("127.0.0.1"), server.serverPort());
    QVERIFY(probe.WaitFailed());
    QVERIFY2(probe.failed.first().startsWith(QStringLiteral("the server closed the connection before the SSH handshake was done"))
                 || probe.failed.first().startsWith(QStringLiteral("the SSH handshake failed")),
             qPrintable(probe.failed.first()));
}

void TestSshShell::cancelWhileAsking()
{
    // The user disconnects while the host key question is up: the worker stops
    // waiting, nothing is written, and a late answer changes nothing.
    QDir(SshDir()).removeRecursively();
    CShellProbe probe(Login(m_server.Password()));
    disconnect(&probe.shell, &CShellConnection::HostKeyQuestion, &probe, nullptr);
    QSignalSpy asked(&probe.shell, &CShellConnection::HostKeyQuestion);
    probe.shell.Connect(QStringLiteral("127.0.0.1"), m_server.Port());
    QVERIFY(asked.wait(kWaitMs));
    probe.shell.Close();
    probe.shell.AnswerHostKey(true);
    QVERIFY(!probe.shell.IsOpen());
    QTest::qWait(100);
    QVERIFY(!probe.Ended());
    QVERIFY(!QFile::exists(SshDir() + QStringLiteral("/known_hosts")));
}

CServerDlg *TestSshShell::NewWindow(const QString &strPassword)
{
    g_settings.SERVER_TYPE = QStringLiteral("ssh");
    g_settings.SERVER_HOST = QStringLiteral("127.0.0.1");
    g_settings.SERVER_PORT_NUMBER = m_server.Port();
    g_settings.SERVER_USER = m_server.User();
    g_settings.SERVER_PASS = strPassword;
    g_settings.REMOTE_DIRECTORY = m_server.Files();
    g_settings.REMOTE_PERL_EXE = QStringLiteral("perl");
    auto *dlg = new CServerDlg(g_settings.SERVER_PORT_NUMBER, g_settings.SERVER_HOST);
    dlg->show();
    return dlg;
}

void TestSshShell::windowLoginDirectoryAndCommand()
{
    std::unique_ptr<CServerDlg> dlg(NewWindow(m_server.Password()));
    QVERIFY(qobject_cast<CSshShell *>(dlg->Socket()));
    dlg->OnConnect();
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Socket()->IsConnected() || !dlg->Socket()->IsOpen(), kWaitMs);
    QVERIFY2(dlg->Socket()->IsConnected(), qPrintable(dlg->OutputPane()->Text()));
    // The shell went to REMOTE_DIRECTORY after the login, as the telnet login does.
    dlg->SendCommand(QStringLiteral("echo at-$(pwd)"));
    QTRY_VERIFY_WITH_TIMEOUT(dlg->OutputPane()->Text().contains(QStringLiteral("at-") + m_server.Files() + QLatin1Char('\n')), kWaitMs);
    // Login again changes to the folder again.
    dlg->SendCommand(QStringLiteral("cd /"));
    dlg->OnLogin();
    dlg->OnClear();
    dlg->SendCommand(QStringLiteral("echo in-$(pwd)"));
    QTRY_VERIFY_WITH_TIMEOUT(dlg->OutputPane()->Text().contains(QStringLiteral("in-") + m_server.Files()), kWaitMs);
    dlg->OnDisconnect();
    QVERIFY(!dlg->Socket()->IsOpen());
    QVERIFY(dlg->OutputPane()->Text().endsWith(QStringLiteral("Server closed the connection.")));
}

void TestSshShell::windowRunOnServer()
{
    QVERIFY(WriteFile(m_server.PathOf(QStringLiteral("hello world.pl")), "print \"hello from \", 6 * 7, \"\\n\";\n"));
    std::unique_ptr<CServerDlg> dlg(NewWindow(m_server.Password()));
    dlg->OnConnect();
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Socket()->IsConnected() || !dlg->Socket()->IsOpen(), kWaitMs);
    QVERIFY2(dlg->Socket()->IsConnected(), qPrintable(dlg->OutputPane()->Text()));
    dlg->hide();
    QString error;
    QVERIFY(CRunOnServer::Run(g_settings, QStringLiteral("/local/folder/hello world.pl"), dlg.get(), &error));
    QVERIFY(dlg->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(dlg->OutputPane()->Text().contains(QStringLiteral("hello from 42\n")), kWaitMs);
}

void TestSshShell::windowServerKilledDuringCommand()
{
    CSshTestServer doomed;
    QVERIFY(doomed.Start());
    QVERIFY(doomed.TrustInHome());
    std::unique_ptr<CServerDlg> dlg(NewWindow(doomed.Password()));
    g_settings.SERVER_PORT_NUMBER = doomed.Port();
    dlg->OnConnect();
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Socket()->IsConnected() || !dlg->Socket()->IsOpen(), kWaitMs);
    QVERIFY2(dlg->Socket()->IsConnected(), qPrintable(dlg->OutputPane()->Text()));
    dlg->SendCommand(QStringLiteral("echo started-$((3*3)); sleep 100"));
    QTRY_VERIFY_WITH_TIMEOUT(dlg->OutputPane()->Text().contains(QStringLiteral("started-9")), kWaitMs);
    doomed.Kill();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg->Socket()->IsOpen(), kWaitMs);
    const QString text = dlg->OutputPane()->Text();
    const QString lost = QStringLiteral("The connection to the server was lost (127.0.0.1 port %1): ").arg(doomed.Port());
    QVERIFY2(text.contains(lost + QStringLiteral("the server went away without ending the session")), qPrintable(text));
    // What came before stays.
    QVERIFY(text.contains(QStringLiteral("started-9")));
}

void TestSshShell::windowFollowsServerType()
{
    std::unique_ptr<CServerDlg> dlg(NewWindow(m_server.Password()));
    QVERIFY(qobject_cast<CSshShell *>(dlg->Socket()));
    // Options changed to telnet: the next Connect uses telnet, and back.
    g_settings.SERVER_TYPE = QStringLiteral("telnet");
    g_settings.SERVER_PORT_NUMBER = CFixtureServer::FreePort();
    dlg->OnConnect();
    QVERIFY(qobject_cast<CServerSocket *>(dlg->Socket()));
    QTRY_VERIFY_WITH_TIMEOUT(dlg->OutputPane()->Text().contains(QStringLiteral("Connection refused")), kWaitMs);
    g_settings.SERVER_TYPE = QStringLiteral("ssh");
    g_settings.SERVER_PORT_NUMBER = m_server.Port();
    dlg->OnConnect();
    QVERIFY(qobject_cast<CSshShell *>(dlg->Socket()));
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Socket()->IsConnected(), kWaitMs);
}

void TestSshShell::windowHostKeyQuestion_data()
{
    QTest::addColumn<QString>("key");  // what the user presses
    QTest::addColumn<bool>("trusted");
    QTest::newRow("Return takes the default, No") << QStringLiteral("Return") << false;
    QTest::newRow("Yes") << QStringLiteral("Yes") << true;
}

void TestSshShell::windowHostKeyQuestion()
{
    QFETCH(QString, key);
    QFETCH(bool, trusted);
    QDir(SshDir()).removeRecursively();
    std::unique_ptr<CServerDlg> dlg(NewWindow(m_server.Password()));
    CModalDriver driver;
    QString question;
    bool bDefaultNo = false;
    driver.Expect(QStringLiteral("AfxMessageBox"), [&](QWidget *w) {
        auto *box = static_cast<QMessageBox *>(w);
        question = box->text();
        bDefaultNo = static_cast<QAbstractButton *>(box->defaultButton()) == box->button(QMessageBox::No);
        if (key == QLatin1String("Return"))
            QTest::keyClick(box, Qt::Key_Return);
        else
            box->button(QMessageBox::Yes)->click();
    });
    dlg->OnConnect();
    QTRY_VERIFY_WITH_TIMEOUT(driver.Done(), kWaitMs);
    QVERIFY(driver.Failures().isEmpty());
    QVERIFY(bDefaultNo);
    QVERIFY2(question.contains(QStringLiteral("SHA256:")), qPrintable(question));
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Socket()->IsConnected() || !dlg->Socket()->IsOpen(), kWaitMs);
    QCOMPARE(dlg->Socket()->IsConnected(), trusted);
    QCOMPARE(QFile::exists(SshDir() + QStringLiteral("/known_hosts")), trusted);
    if (!trusted)
        QCOMPARE(dlg->OutputPane()->Text().trimmed(), QStringLiteral("Could not connect to 127.0.0.1 port %1: the host key was not accepted.")
                                                 .arg(m_server.Port()));
}

// The process's open descriptors, each as "number -> what it is".
static QStringList OpenDescriptors()
{
    QStringList list;
    for (const QFileInfo &fi : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System))
        list << fi.fileName() + QStringLiteral(" -> ") + fi.symLinkTarget();
    return list;
}

void TestSshShell::noDescriptorLeft_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("closed by the user") << QStringLiteral("closed");
    QTest::newRow("login refused") << QStringLiteral("refused login");
    QTest::newRow("connection refused") << QStringLiteral("refused connection");
    QTest::newRow("let go at once") << QStringLiteral("let go");
    QTest::newRow("server went away") << QStringLiteral("exit");
}

void TestSshShell::noDescriptorLeft()
{
    // Sessions that end in every way give their sockets and pipes back.
    QFETCH(QString, ending);
    auto session = [&] {
        const bool bWrong = ending == QLatin1String("refused login");
        CShellProbe probe(Login(bWrong ? QStringLiteral("wrong") : m_server.Password()));
        const int nPort = ending == QLatin1String("refused connection") ? CFixtureServer::FreePort() : m_server.Port();
        probe.shell.Connect(QStringLiteral("127.0.0.1"), nPort);
        if (ending == QLatin1String("let go"))
            return true;
        if (ending == QLatin1String("closed")) {
            if (!probe.WaitConnected())
                return false;
            probe.shell.Close();
            return true;
        }
        if (ending == QLatin1String("exit")) {
            if (!probe.WaitConnected())
                return false;
            probe.shell.SendLine(QStringLiteral("exit"));
            return QTest::qWaitFor([&] { return probe.Ended(); }, kWaitMs) && probe.nClosed == 1;
        }
        return probe.WaitFailed();
    };
    QVERIFY(session());  // whatever a library opens once and keeps
    const QStringList before = OpenDescriptors();
    for (int i = 0; i < 3; ++i)
        QVERIFY(session());
    // Earlier tests' leftovers may close meanwhile; nothing new may stay open.
    QStringList added = OpenDescriptors();
    for (const QString &fd : before)
        added.removeAll(fd);
    QVERIFY2(added.isEmpty(), qPrintable(added.join(QLatin1Char('\n'))));
}

void TestSshShell::windowAsksForPassword_data()
{
    QTest::addColumn<bool>("given");
    QTest::newRow("password typed") << true;
    QTest::newRow("cancelled") << false;
}

void TestSshShell::windowAsksForPassword()
{
    // No password in the settings and no key: the window asks, hiding what is typed.
    QFETCH(bool, given);
    std::unique_ptr<CServerDlg> dlg(NewWindow(QString()));
    CModalDriver driver;
    QString prompt;
    driver.Expect(QStringLiteral("SecretQuestion"), [&](QWidget *w) {
        auto *input = static_cast<QInputDialog *>(w);
        prompt = input->labelText();
        QVERIFY(input->textEchoMode() == QLineEdit::Password);
        if (given) {
            input->setTextValue(m_server.Password());
            input->accept();
        } else {
            input->reject();
        }
    });
    dlg->OnConnect();
    QTRY_VERIFY_WITH_TIMEOUT(driver.Done(), kWaitMs);
    QVERIFY(driver.Failures().isEmpty());
    QCOMPARE(prompt, QStringLiteral("Password for %1@127.0.0.1:").arg(m_server.User()));
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Socket()->IsConnected() || !dlg->Socket()->IsOpen(), kWaitMs);
    QCOMPARE(dlg->Socket()->IsConnected(), given);
    if (!given)
        QVERIFY2(dlg->OutputPane()->Text().contains(QStringLiteral(": Permission denied (publickey,password,keyboard-interactive) "
                                                                   "for the user %1: no password was given.").arg(m_server.User())),
                 qPrintable(dlg->OutputPane()->Text()));
}

QTEST_MAIN(TestSshShell)
#include "tst_sshshell.moc"
