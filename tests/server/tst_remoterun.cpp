#include "OutputWindowWatch.h"
#include "SshTestServer.h"
#include "TestQuestions.h"
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "run/RedirectPipe.h"
#include "server/RemoteProcess.h"
#include "server/RemoteRun.h"
#include "server/SshConnection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {
// Long enough for a login on a loaded machine; nothing here measures time.
constexpr int kWaitMs = 60000;

QString SshDir()
{
    return QDir::homePath() + QStringLiteral("/.ssh");
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// What a remote program left: its two streams, read to their end, and its end.
struct CResult
{
    QByteArray out, err;
    long nExitCode = CRunProcess::kStillActive;
    QString strEnd;
    bool bEnded = false;
};

// Reads both streams to their end; `onOut` sees standard output as it grows.
CResult Collect(CRemoteProcess &process, const std::function<void(const QByteArray &)> &onOut = {})
{
    CResult r;
    bool outDone = false, errDone = false;
    char buffer[4096];
    QDeadlineTimer deadline(kWaitMs);
    while ((!outDone || !errDone) && !deadline.hasExpired()) {
        if (!outDone) {
            const int n = process.StdOut()->ReadAvailable(buffer, sizeof buffer, 20);
            if (n == CRedirectPipe::kEnd)
                outDone = true;
            else if (n > 0) {
                r.out.append(buffer, n);
                if (onOut)
                    onOut(r.out);
            }
        }
        if (!errDone) {
            const int n = process.StdErr()->ReadAvailable(buffer, sizeof buffer, 20);
            if (n == CRedirectPipe::kEnd)
                errDone = true;
            else if (n > 0)
                r.err.append(buffer, n);
        }
    }
    while (!process.HasEnded() && !deadline.hasExpired())
        QThread::msleep(10);
    r.bEnded = process.HasEnded();
    r.nExitCode = process.GetExitCode();
    r.strEnd = process.EndDescription();
    return r;
}

bool Alive(long pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}
} // namespace

class TestRemoteRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void runOnTheServer_data();
    void runOnTheServer();
    void typedInputReachesTheProgram();
    void cancelEndsTheProgramAndWhatItStarted_data();
    void cancelEndsTheProgramAndWhatItStarted();
    void putOnlyWhenChanged();
    void secondRunReusesTheConnection();
    void messagesLeadToTheLocalLine_data();
    void messagesLeadToTheLocalLine();
    void serverKilledDuringARun();
    void theViewsCommands();
    void hostKeyAndLoginRules_data();
    void hostKeyAndLoginRules();

private:
    std::shared_ptr<CSshConnection> Connection(CSshTestServer &server);
    QString LocalScript(const QString &name, const QByteArray &text);

    CSshTestServer m_server;
    CTestQuestions m_questions;
    std::shared_ptr<CSshConnection> m_connection;
    QTemporaryDir m_local;
};

void TestRemoteRun::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("sshd is started as root only");
    qunsetenv("SSH_AUTH_SOCK");
    QVERIFY(m_server.Start());
    QDir().mkpath(SshDir());
    const QString key = SshDir() + QStringLiteral("/id_ed25519");
    QVERIFY(WriteFile(key, ReadFile(m_server.KeyFile())));
    QVERIFY(QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(WriteFile(key + QStringLiteral(".pub"), ReadFile(m_server.KeyFile() + QStringLiteral(".pub"))));
    QVERIFY(m_server.TrustInHome());
    m_connection = Connection(m_server);
}

void TestRemoteRun::init()
{
    g_settings = CSettings();
    g_settings.SERVER_TYPE = QStringLiteral("ssh");
    g_settings.SERVER_HOST = QStringLiteral("127.0.0.1");
    g_settings.SERVER_PORT_NUMBER = m_server.Port();
    g_settings.SERVER_USER = m_server.User();
    g_settings.REMOTE_DIRECTORY = m_server.Files();
    g_settings.REMOTE_PERL_EXE = QStringLiteral("/usr/bin/perl");
}

std::shared_ptr<CSshConnection> TestRemoteRun::Connection(CSshTestServer &server)
{
    CSshLogin login;
    login.strHost = QStringLiteral("127.0.0.1");
    login.nPort = server.Port();
    login.strUser = server.User();
    login.strSshDir = SshDir();
    // Each server has keys of its own; the password logs in to any.
    login.strPassword = server.Password();
    return std::make_shared<CSshConnection>(login, &m_questions);
}

QString TestRemoteRun::LocalScript(const QString &name, const QByteArray &text)
{
    const QString path = m_local.filePath(name);
    WriteFile(path, text);
    return path;
}

// The script's two streams each reach their own pane, the saved inputs its standard
// input as a local run feeds them, a simulated request its CGI variables, and its exit
// code the status line; a value of the request never appears on the server's command
// line, where every user of the server can read it.
void TestRemoteRun::runOnTheServer_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<long>("exitCode");

    QTest::newRow("both streams and the exit code")
        << QByteArray("$|=1; print \"to out\\n\"; print STDERR \"to err\\n\"; exit 3;\n") << QString() << QString()
        << QByteArray("to out\n") << QByteArray("to err\n") << 3L;
    QTest::newRow("saved input")
        << QByteArray("my $l = <STDIN>; print \"got $l\";\n") << QStringLiteral("first line\nsecond\n") << QString()
        << QByteArray("got first line\n") << QByteArray() << 0L;
    QTest::newRow("GET")
        << QByteArray("print \"$ENV{REQUEST_METHOD} $ENV{QUERY_STRING} $ENV{SCRIPT_FILENAME}\\n\";"
                      "print defined(<STDIN>) ? \"input\\n\" : \"no input\\n\";\n")
        << QStringLiteral("name=a b\nsecret=hush") << QStringLiteral("GET")
        << QByteArray("GET name=a b&secret=hush ") + m_server.PathOf(QStringLiteral("cgi.pl")).toUtf8()
               + "\nno input\n"
        << QByteArray() << 0L;
    QTest::newRow("POST")
        << QByteArray("read(STDIN, my $b, $ENV{CONTENT_LENGTH}); print \"$ENV{REQUEST_METHOD} $ENV{CONTENT_LENGTH} $b\\n\";\n")
        << QStringLiteral("secret=hush&x=1") << QStringLiteral("POST") << QByteArray("POST 15 secret=hush&x=1\n")
        << QByteArray() << 0L;
    QTest::newRow("the program's own command line")
        << QByteArray("open my $f, '<', \"/proc/$$/cmdline\"; local $/; my $c = <$f>; $c =~ tr/\\0/ /;"
                      "print $c =~ /hush/ ? \"seen\\n\" : \"unseen\\n\"; print \"$ENV{QUERY_STRING}\\n\";\n")
        << QStringLiteral("secret=hush") << QStringLiteral("GET") << QByteArray("unseen\nsecret=hush\n") << QByteArray()
        << 0L;
}

void TestRemoteRun::runOnTheServer()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, inputs);
    QFETCH(QString, method);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(long, exitCode);
    const QString local = LocalScript(QStringLiteral("cgi.pl"), script);
    auto process = std::make_shared<CRemoteProcess>(CRemoteRun::RunPlan(g_settings, local, script, inputs, method, {}));
    QVERIFY(!process->CommandLine().contains(QLatin1String("hush")));
    QVERIFY(process->Start(m_connection));
    CRunCommands::FeedStdIn(CRunCommandLine::Kind::Run, *process->StdIn(), inputs, method);
    const CResult r = Collect(*process);
    QVERIFY2(r.bEnded, r.err.constData());
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err);
    QCOMPARE(r.nExitCode, exitCode);
    QCOMPARE(r.strEnd, QStringLiteral("Process completed with exit code %1.").arg(exitCode));
}

// A line sent while the program runs reaches it after its prompt, and the end of
// input ends its loop.
void TestRemoteRun::typedInputReachesTheProgram()
{
    const QByteArray script = "$| = 1; print \"name?\\n\"; while (my $l = <STDIN>) { print \"hello $l\" } print \"done\\n\";\n";
    const QString local = LocalScript(QStringLiteral("typed.pl"), script);
    auto process = std::make_shared<CRemoteProcess>(CRemoteRun::RunPlan(g_settings, local, script, {}, {}, {}));
    QVERIFY(process->Start(m_connection));
    bool sent = false, closed = false;
    const CResult r = Collect(*process, [&](const QByteArray &out) {
        if (!sent && out.contains("name?\n")) {
            sent = true;
            process->StdIn()->Write("Ada\n");
        } else if (sent && !closed && out.contains("hello Ada\n")) {
            closed = true;
            process->StdIn()->Close();
        }
    });
    QCOMPARE(r.out, QByteArray("name?\nhello Ada\ndone\n"));
    QCOMPARE(r.nExitCode, 0L);
}

// Cancel interrupts the program's process group and then kills it: a loop ends, one
// that ignores the interrupt too, and so does a program it started.
void TestRemoteRun::cancelEndsTheProgramAndWhatItStarted_data()
{
    QTest::addColumn<QByteArray>("prelude");
    QTest::newRow("a plain loop") << QByteArray();
    QTest::newRow("interrupt ignored") << QByteArray("$SIG{INT} = 'IGNORE';");
    QTest::newRow("a child of its own")
        << QByteArray("my $c = fork; if (!$c) { sleep 300; exit } print \"child $c\\n\";");
}

void TestRemoteRun::cancelEndsTheProgramAndWhatItStarted()
{
    QFETCH(QByteArray, prelude);
    const QByteArray script = "$| = 1; " + prelude + " print \"pid $$\\n\"; while (1) { select(undef, undef, undef, 0.1) }\n";
    const QString local = LocalScript(QStringLiteral("loop.pl"), script);
    auto process = std::make_shared<CRemoteProcess>(CRemoteRun::RunPlan(g_settings, local, script, {}, {}, {}));
    QVERIFY(process->Start(m_connection));
    bool cancelled = false;
    const CResult r = Collect(*process, [&](const QByteArray &out) {
        if (!cancelled && out.contains("pid ")) {
            cancelled = true;
            process->Kill();
        }
    });
    QVERIFY(cancelled);
    QVERIFY(r.bEnded);
    QCOMPARE(r.strEnd, QStringLiteral("Process was terminated."));
    // The server is this machine: what ran there is looked at directly.
    for (const QByteArray &line : r.out.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2)
            QTRY_VERIFY_WITH_TIMEOUT(!Alive(words[1].toLong()), 10000);
    }
}

// The script is put on the server when its bytes differ from the server's copy, and
// only then.
void TestRemoteRun::putOnlyWhenChanged()
{
    const QString remote = m_server.PathOf(QStringLiteral("put.pl"));
    QFile::remove(remote);
    struct Step
    {
        QByteArray text;
        bool bPut;
    };
    const QList<Step> steps = {{"print \"one\\n\";\n", true},
                               {"print \"one\\n\";\n", false},
                               {"print \"two\\n\";\n", true},
                               {"print \"owt\\n\";\n", true}};  // same size, other bytes
    for (const Step &step : steps) {
        const QString local = LocalScript(QStringLiteral("put.pl"), step.text);
        auto process = std::make_shared<CRemoteProcess>(CRemoteRun::RunPlan(g_settings, local, step.text, {}, {}, {}));
        QVERIFY(process->Start(m_connection));
        const CResult r = Collect(*process);
        QCOMPARE(r.out, step.text.mid(7, 3) + "\n");
        QCOMPARE(process->Uploaded(), step.bPut);
        QCOMPARE(ReadFile(remote), step.text);
    }
}

// Only the first run logs in: the second takes the kept connection, and sshd's log
// has one login for both.
void TestRemoteRun::secondRunReusesTheConnection()
{
    auto connection = Connection(m_server);
    const int before = int(m_server.Log().count("Accepted publickey"));
    const QByteArray script = "print \"ran\\n\";\n";
    const QString local = LocalScript(QStringLiteral("twice.pl"), script);
    for (int i = 0; i < 2; ++i) {
        auto process = std::make_shared<CRemoteProcess>(CRemoteRun::RunPlan(g_settings, local, script, {}, {}, {}));
        QVERIFY(process->Start(connection));
        QCOMPARE(Collect(*process).out, QByteArray("ran\n"));
    }
    QCOMPARE(connection->LoginCount(), 1);
    QCOMPARE(int(m_server.Log().count("Accepted publickey")), before + 1);
}

// In the output window, a message that names the server's path of the script leads to
// the local document's line; Check on Server's messages about the text it was given
// on standard input lead there too.
void TestRemoteRun::messagesLeadToTheLocalLine_data()
{
    QTest::addColumn<bool>("check");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("inPane");
    QTest::addColumn<int>("exitCode");  // die's: $! when set, else 255
    QTest::newRow("run: die") << false << QByteArray("use strict;\nmy $x = 1;\ndie \"broken\";\n") << 3
                              << QStringLiteral("broken at %1 line 3.") << 255;
    QTest::newRow("check: syntax error") << true << QByteArray("use strict;\nmy $x = ;\nprint 1;\n") << 2
                                         << QStringLiteral("syntax error at %1 line 2") << 255;
    // The workstation may have the module; the server's perl and @INC decide.
    QTest::newRow("check: a module the server lacks")
        << true << QByteArray("use strict;\nuse Kestrel::NotOnTheServer;\n") << 2
        << QStringLiteral("Can't locate Kestrel/NotOnTheServer.pm in @INC") << 2;
    QTest::newRow("check: undeclared") << true << QByteArray("use strict;\n\n$y = 2;\n") << 3
                                       << QStringLiteral("Global symbol \"$y\" requires explicit package name") << 255;
}

void TestRemoteRun::messagesLeadToTheLocalLine()
{
    QFETCH(bool, check);
    QFETCH(QByteArray, script);
    QFETCH(int, line);
    QFETCH(QString, inPane);
    QFETCH(int, exitCode);
    const QString local = LocalScript(QStringLiteral("shop.pl"), script);
    const CRemoteProcess::Plan plan = check ? CRemoteRun::CheckPlan(g_settings)
                                            : CRemoteRun::RunPlan(g_settings, local, script, {}, {}, {});
    QString pane;
    QString status;
    WhenRunIsOver([&](COutputWindowDlg *wnd) {
        pane = QString::fromUtf8(wnd->StdErrPane()->TextBytes());
        status = wnd->StatusLine()->text();
    });
    const CRunOutcome outcome = CRemoteRun::RunInWindow(
        nullptr, m_connection, plan, CRemoteRun::PathMap(g_settings, local), QFileInfo(local).absolutePath(),
        check ? CRunCommandLine::Kind::Compile : CRunCommandLine::Kind::Run,
        check ? QString::fromUtf8(CRemoteRun::CheckInput(g_settings, local, QString::fromUtf8(script))) : QString(),
        QString());
    if (inPane.contains(QLatin1String("%1")))
        inPane = inPane.arg(m_server.PathOf(QStringLiteral("shop.pl")));
    QVERIFY2(pane.contains(inPane), qPrintable(pane));
    QVERIFY2(status.endsWith(QStringLiteral("exit code %1.").arg(exitCode)), qPrintable(status));
    QVERIFY(!outcome.messages.isEmpty());
    QCOMPARE(outcome.messages.first().strPath, local);
    QCOMPARE(outcome.messages.first().nLine, line);
    QCOMPARE(outcome.messages.first().nSeverity, CFileLineMessage::Error);
}

// A server that goes away during a run: the run ends with a message that says so, and
// what the program wrote before stays.
void TestRemoteRun::serverKilledDuringARun()
{
    CSshTestServer doomed;
    QVERIFY(doomed.Start());
    QVERIFY(doomed.TrustInHome());
    auto connection = Connection(doomed);
    g_settings.REMOTE_DIRECTORY = doomed.Files();
    // The warning comes well before the line the test waits for, which both streams
    // then hold.
    const QByteArray script =
        "$| = 1; print STDERR \"warned\\n\"; select(undef, undef, undef, 0.5); print \"before\\n\"; sleep 300;\n";
    const QString local = LocalScript(QStringLiteral("lost.pl"), script);
    auto process = std::make_shared<CRemoteProcess>(CRemoteRun::RunPlan(g_settings, local, script, {}, {}, {}));
    QVERIFY(process->Start(connection));
    bool killed = false;
    const CResult r = Collect(*process, [&](const QByteArray &out) {
        if (!killed && out.contains("before\n")) {
            killed = true;
            doomed.Kill();
        }
    });
    QVERIFY(killed);
    QVERIFY(r.bEnded);
    QCOMPARE(r.out, QByteArray("before\n"));
    QCOMPARE(r.err, QByteArray("warned\n"));
    QVERIFY2(r.strEnd.contains(QLatin1String("connection to 127.0.0.1 was lost")), qPrintable(r.strEnd));
    QVERIFY2(r.strEnd.contains(QLatin1String("What the program wrote up to then is shown.")), qPrintable(r.strEnd));
}

// Script > Run on Server with an SSH server saves the script, puts it and shows its run
// in the output window; Check on Server checks the editor's text as it stands, unsaved
// too, and puts nothing.
void TestRemoteRun::theViewsCommands()
{
    const QString local = m_local.filePath(QStringLiteral("view.pl"));
    const QString remote = m_server.PathOf(QStringLiteral("view.pl"));
    QFile::remove(remote);
    CMainFrame frame;
    CKestrelView *view = frame.GetActiveView();
    frame.GetDocument()->SetPathName(local);
    view->setText(QStringLiteral("print \"from the view\\n\";\n"));
    QByteArray out;
    WhenRunIsOver([&](COutputWindowDlg *wnd) { out = wnd->StdOutPane()->TextBytes(); });
    QVERIFY(frame.RouteCommand(Cmd::ID_SCRIPT_RUN_ON_SERVER));
    QCOMPARE(out, QByteArray("from the view\n"));
    QCOMPARE(ReadFile(local), QByteArray("print \"from the view\\n\";\n"));
    QCOMPARE(ReadFile(remote), ReadFile(local));

    view->setText(QStringLiteral("print 1;\nmy $x = ;\n"));
    QByteArray err;
    WhenRunIsOver([&](COutputWindowDlg *wnd) { err = wnd->StdErrPane()->TextBytes(); });
    QVERIFY(frame.RouteCommand(Cmd::ID_SCRIPT_CHECK_ON_SERVER));
    QVERIFY2(err.contains("syntax error at " + remote.toUtf8() + " line 2"), err.constData());
    QCOMPARE(ReadFile(remote), QByteArray("print \"from the view\\n\";\n"));
}

// The kept connection logs in by the SSH shell's rules: an unknown host is asked about
// (and recorded when trusted), a changed key is refused without a question, and a run
// that cannot log in ends with the reason in its status.
void TestRemoteRun::hostKeyAndLoginRules_data()
{
    QTest::addColumn<QString>("knownHosts");  // "none", "other key"
    QTest::addColumn<bool>("trust");
    QTest::addColumn<bool>("password");
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("end");  // the start of the end's words
    QTest::newRow("unknown host refused") << "none" << false << true << 1
                                          << "Could not connect to 127.0.0.1: the host key was not accepted.";
    QTest::newRow("unknown host trusted") << "none" << true << true << 1 << "Process completed with exit code 0.";
    QTest::newRow("changed key") << "other key" << true << true << 0 << "Could not connect to 127.0.0.1: ";
    QTest::newRow("no way to log in") << "known" << false << false << 1 << "Could not connect to 127.0.0.1: ";
}

void TestRemoteRun::hostKeyAndLoginRules()
{
    QFETCH(QString, knownHosts);
    QFETCH(bool, trust);
    QFETCH(bool, password);
    QFETCH(int, asked);
    QFETCH(QString, end);
    QTemporaryDir sshDir;
    if (knownHosts == QLatin1String("known"))
        QVERIFY(WriteFile(sshDir.filePath(QStringLiteral("known_hosts")), m_server.KnownHostsLine()));
    else if (knownHosts == QLatin1String("other key"))
        QVERIFY(WriteFile(sshDir.filePath(QStringLiteral("known_hosts")),
                          QStringLiteral("[127.0.0.1]:%1 %2\n").arg(m_server.Port()).arg(m_server.OtherHostKey()).toUtf8()));
    CTestQuestions questions;
    questions.m_bTrustHostKey = trust;
    CSshLogin login;
    login.strHost = QStringLiteral("127.0.0.1");
    login.nPort = m_server.Port();
    login.strUser = m_server.User();
    login.strSshDir = sshDir.path();  // no key of the user's there
    if (password)
        login.strPassword = m_server.Password();
    auto connection = std::make_shared<CSshConnection>(login, &questions);
    const QByteArray script = "exit 0;\n";
    const QString local = LocalScript(QStringLiteral("rules.pl"), script);
    auto process = std::make_shared<CRemoteProcess>(CRemoteRun::RunPlan(g_settings, local, script, {}, {}, {}));
    QVERIFY(process->Start(connection));
    const CResult r = Collect(*process);
    QVERIFY(r.bEnded);
    QVERIFY2(r.strEnd.startsWith(end), qPrintable(r.strEnd));
    QCOMPARE(int(questions.m_asked.size()), asked);
    if (trust && knownHosts == QLatin1String("none"))
        QVERIFY(ReadFile(sshDir.filePath(QStringLiteral("known_hosts"))).contains(m_server.HostKey().section(QLatin1Char(' '), 1, 1).toLatin1()));
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestRemoteRun test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_remoterun.moc"
