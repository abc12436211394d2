#include "OutputWindowWatch.h"
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "run/ChildProcess.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "run/RunCommandLine.h"
#include "run/RunCommands.h"
#include "debug/DebugCommands.h"
#include "run/ScriptInputsDlg.h"
#include "run/SendInputDlg.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(CRunCommandLine::Kind)

namespace {

// What the user saw in a run's window.
struct CSeen
{
    bool bWindow = false;
    QByteArray out;
    QByteArray err;
    QString status;
};

// Acts on the run's window once it is open: `act` (may be empty) while the child runs,
// then waits until the run is over, notes what the window shows and closes it.
// The watch ends when the caller lets go of `seen`.
void WhenWindowOpens(std::shared_ptr<CSeen> seen, std::function<void(COutputWindowDlg *)> act = {})
{
    QTimer::singleShot(20, [seen, act] {
        if (seen.use_count() == 1)
            return;
        COutputWindowDlg *wnd = OpenOutputWindow();
        if (!wnd) {
            WhenWindowOpens(seen, act);
            return;
        }
        seen->bWindow = true;
        if (act)
            act(wnd);
        if (!wnd->IsRunOver()) {
            QSignalSpy spy(wnd, &COutputWindowDlg::RunOver);
            spy.wait(120000);
        }
        seen->out = wnd->StdOutPane()->TextBytes();
        seen->err = wnd->StdErrPane()->TextBytes();
        seen->status = wnd->StatusLine()->text();
        wnd->OnClose();
    });
}

void AnswerMessageBox(QString *text)
{
    QTimer::singleShot(20, [text] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                *text = box->text();
                box->accept();
                return;
            }
        }
        AnswerMessageBox(text);
    });
}

// Sets an environment variable of the IDE for as long as it lives.
class CEnvironmentScope
{
public:
    CEnvironmentScope(const char *name, const QByteArray &value)
        : m_name(name)
        , m_bWasSet(qEnvironmentVariableIsSet(name))
        , m_saved(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~CEnvironmentScope()
    {
        if (m_bWasSet)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_bWasSet;
    QByteArray m_saved;
};

void SendLine(COutputWindowDlg *wnd, const QString &line)
{
    wnd->OnSendInput();
    QLineEdit *edit = wnd->m_pDlgSend->findChild<QLineEdit *>(QStringLiteral("edit_1081"));
    edit->setText(line);
    wnd->m_pDlgSend->accept();
}

} // namespace

class TestRunCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runBothStreamsExit3();
    void stdinByMethod_data();
    void stdinByMethod();
    void lineShowsBeforeTheEnd();
    void promptShowsBeforeTheAnswer_data();
    void promptShowsBeforeTheAnswer();
    void compilePerl_data();
    void compilePerl();
    void javaCompileAndRun();
    void debuggerOverThePipes();
    void debugStartsInTheScriptFolder();
    void perlOptionsTakeEffect_data();
    void perlOptionsTakeEffect();
    void childrenGetTheUsersEnvironment_data();
    void childrenGetTheUsersEnvironment();
    void environmentProbe();
    void startFailure_data();
    void startFailure();
    void viewCommandsSaveAndRun();
    void consoleRunThroughRunHold_data();
    void consoleRunThroughRunHold();
    void pwdIsTheScriptFolder_data();
    void pwdIsTheScriptFolder();
    void secondRunBlockedWhileOneRuns();

private:
    QString Script(const QString &name, const QByteArray &text);
    CSeen Run(CRunCommandLine::Kind kind, const QString &path, const QString &inputs = QString(),
              const QString &method = QString(), std::function<void(COutputWindowDlg *)> act = {});

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel run XXXXXX")};
    QString m_strPerl;
};

void TestRunCommands::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strPerl = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QVERIFY(!m_strPerl.isEmpty());
    g_settings = CSettings();
    g_settings.LOCAL_PERL_EXE = m_strPerl;
    g_settings.LOCAL_JAVA_EXE = QStandardPaths::findExecutable(QStringLiteral("java"));
    g_settings.LOCAL_JAVAC_EXE = QStandardPaths::findExecutable(QStringLiteral("javac"));
}

QString TestRunCommands::Script(const QString &name, const QByteArray &text)
{
    QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

CSeen TestRunCommands::Run(CRunCommandLine::Kind kind, const QString &path, const QString &inputs,
                           const QString &method, std::function<void(COutputWindowDlg *)> act)
{
    CRunCommandLine cl = CRunCommandLine::Compose(kind, path, QFileInfo(path).fileName(), g_settings,
                                                  CRunCommands::RunHoldPath());
    auto seen = std::make_shared<CSeen>();
    WhenWindowOpens(seen, act);
    CDebugCommands::RunPiped(nullptr, kind, cl, inputs, method, QStringLiteral("Could not run "));
    return *seen;
}

void TestRunCommands::runBothStreamsExit3()
{
    QString path = Script(QStringLiteral("my scripts/both streams.pl"),
                          "use Cwd; print \"out line\\n\"; print STDERR \"err line\\n\"; print getcwd(), \"\\n\"; exit 3;\n");
    CSeen seen = Run(CRunCommandLine::Kind::Run, path);
    QVERIFY(seen.bWindow);
    QCOMPARE(seen.out, "out line\n" + QFileInfo(path).absolutePath().toUtf8() + '\n');
    QCOMPARE(seen.err, QByteArray("err line\n"));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 3."));
}

void TestRunCommands::stdinByMethod_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("eofNeeded");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty method sends the text, stdin stays open") << "" << true << QByteArray("got a\ngot b\nEOF\n");
    QTest::newRow("POST sends the text, then end of file") << "POST" << false << QByteArray("got a\ngot b\nEOF\n");
    QTest::newRow("GET closes stdin at once") << "GET" << false << QByteArray("EOF\n");
    QTest::newRow("another method sends nothing, stdin stays open") << "PUT" << true << QByteArray("EOF\n");
}

void TestRunCommands::stdinByMethod()
{
    QFETCH(QString, method);
    QFETCH(bool, eofNeeded);
    QFETCH(QByteArray, expected);
    QString path = Script(QStringLiteral("stdin.pl"), "while (<STDIN>) { print \"got $_\"; } print \"EOF\\n\";\n");
    CSeen seen = Run(CRunCommandLine::Kind::Run, path, QStringLiteral("a\nb\n"), method, [eofNeeded](COutputWindowDlg *wnd) {
        if (!eofNeeded)
            return;
        // Until the user signals end of file the script waits for more.
        QVERIFY(!wnd->m_pProcess->HasEnded());
        wnd->OnSendInput();
        wnd->m_pDlgSend->findChild<QPushButton *>(QStringLiteral("button_1065"))->click();
    });
    QCOMPARE(seen.out, expected);
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 0."));
}

void TestRunCommands::lineShowsBeforeTheEnd()
{
    // An unchanged script that prints a line and then waits: the line is shown at once.
    QString path = Script(QStringLiteral("live.pl"), "print \"first line\\n\"; my $in = <STDIN>; print \"then $in\";\n");
    CSeen seen = Run(CRunCommandLine::Kind::Run, path, QString(), QString(), [](COutputWindowDlg *wnd) {
        QTRY_COMPARE_WITH_TIMEOUT(wnd->StdOutPane()->TextBytes(), QByteArray("first line\n"), 30000);
        QVERIFY(!wnd->m_pProcess->HasEnded());
        SendLine(wnd, QStringLiteral("second"));
    });
    QCOMPARE(seen.out, QByteArray("first line\nthen second\n"));
}

void TestRunCommands::promptShowsBeforeTheAnswer_data()
{
    QTest::addColumn<CRunCommandLine::Kind>("kind");
    QTest::newRow("Run") << CRunCommandLine::Kind::Run;
    QTest::newRow("Debug") << CRunCommandLine::Kind::Debug;
}

void TestRunCommands::promptShowsBeforeTheAnswer()
{
    QFETCH(CRunCommandLine::Kind, kind);
    // A prompt without a line end, then the answer, then lines up to end of file.
    QString path = Script(QStringLiteral("prompt.pl"), "print \"Name? \"; my $n = <STDIN>; print \"Hello $n\";\n"
                                                       "my $c = 0; $c++ while <STDIN>; print \"lines after: $c\\n\";\n");
    CSeen seen = Run(kind, path, QString(), QString(), [kind](COutputWindowDlg *wnd) {
        if (kind == CRunCommandLine::Kind::Debug) {
            QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("DB<1>"), 30000);
            SendLine(wnd, QStringLiteral("c"));
        }
        // As at a terminal, the prompt is there before anything is typed.
        QTRY_COMPARE_WITH_TIMEOUT(wnd->StdOutPane()->TextBytes(), QByteArray("Name? "), 30000);
        QVERIFY(!wnd->m_pProcess->HasEnded());
        SendLine(wnd, QStringLiteral("Bob"));
        QTRY_COMPARE_WITH_TIMEOUT(wnd->StdOutPane()->TextBytes(), QByteArray("Name? Hello Bob\n"), 30000);
        SendLine(wnd, QStringLiteral("one more"));
        wnd->OnSendInput();
        wnd->m_pDlgSend->findChild<QPushButton *>(QStringLiteral("button_1065"))->click();
    });
    // The typed lines are not echoed into the output, and end of file ends the loop.
    QCOMPARE(seen.out, QByteArray("Name? Hello Bob\nlines after: 1\n"));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 0."));
}

void TestRunCommands::compilePerl_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("status");
    QTest::newRow("good script") << QByteArray("my $x = 1;\nprint $x;\n") << QByteArray("syntax OK")
                                 << "Process completed with exit code 0.";
    QTest::newRow("bad script") << QByteArray("my $x = ;\n") << QByteArray("syntax error")
                                << "Process completed with exit code 255.";
}

void TestRunCommands::compilePerl()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, err);
    QFETCH(QString, status);
    QString path = Script(QStringLiteral("compile me.pl"), script);
    CSeen seen = Run(CRunCommandLine::Kind::Compile, path);
    QVERIFY2(seen.err.contains(err), seen.err.constData());
    QCOMPARE(seen.out, QByteArray());
    QCOMPARE(seen.status, status);
}

void TestRunCommands::javaCompileAndRun()
{
    QVERIFY2(!g_settings.LOCAL_JAVAC_EXE.isEmpty() && !g_settings.LOCAL_JAVA_EXE.isEmpty(),
             "javac and java are needed (default-jdk-headless, tools/install-deps)");
    QString path = Script(QStringLiteral("java src/Hello.java"),
                          "public class Hello { public static void main(String[] a) {"
                          " System.out.println(\"Hello, Kestrel\"); System.exit(4); } }\n");
    CSeen compiled = Run(CRunCommandLine::Kind::Compile, path);
    QCOMPARE(compiled.status, QStringLiteral("Process completed with exit code 0."));
    QVERIFY(QFile::exists(QFileInfo(path).absolutePath() + QStringLiteral("/Hello.class")));
    CSeen ran = Run(CRunCommandLine::Kind::Run, path);
    QCOMPARE(ran.out, QByteArray("Hello, Kestrel\n"));
    QCOMPARE(ran.status, QStringLiteral("Process completed with exit code 4."));
}

void TestRunCommands::debuggerOverThePipes()
{
    QString path = Script(QStringLiteral("debug me.pl"), "my $x = 41;\n$x++;\nprint \"x is $x\\n\";\n");
    CSeen seen = Run(CRunCommandLine::Kind::Debug, path, QString(), QString(), [](COutputWindowDlg *wnd) {
        QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("DB<1>"), 30000);
        QVERIFY(wnd->StdErrPane()->TextBytes().contains("main::(") );
        SendLine(wnd, QStringLiteral("n"));
        // A line typed while the program runs is the program's: the next command waits
        // for the debugger's next prompt.
        QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("DB<2>"), 30000);
        SendLine(wnd, QStringLiteral("n"));
        QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("print \"x is $x\\n\""), 30000);
        SendLine(wnd, QStringLiteral("p $x"));
        QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("42\n"), 30000);
        SendLine(wnd, QStringLiteral("q"));
    });
    // The prompts carry no escape codes, and q ends the debugger before the print ran.
    QVERIFY(!seen.err.contains('\x1b'));
    QCOMPARE(seen.out, QByteArray());
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 0."));
}

namespace {

// At the debugger's first prompt, the user lets the program run.
void ContinueAtFirstPrompt(COutputWindowDlg *wnd)
{
    QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("DB<1>"), 30000);
    SendLine(wnd, QStringLiteral("c"));
}

// The IDE's current folder for as long as it lives.
class CCurrentFolderScope
{
public:
    explicit CCurrentFolderScope(const QString &strFolder) : m_strSaved(QDir::currentPath()) { QDir::setCurrent(strFolder); }
    ~CCurrentFolderScope() { QDir::setCurrent(m_strSaved); }

private:
    QString m_strSaved;
};

} // namespace

// Debug starts the script in its own folder, as Run does, whatever folder the IDE runs in:
// "use lib 'lib'" and relative file names work under the debugger too.
void TestRunCommands::debugStartsInTheScriptFolder()
{
    Script(QStringLiteral("with lib/lib/My/Util.pm"), "package My::Util;\nsub Greeting { 'hello from My::Util' }\n1;\n");
    Script(QStringLiteral("with lib/data.txt"), "data line\n");
    const QString path = Script(QStringLiteral("with lib/uses lib.pl"),
                                "use lib 'lib';\n"
                                "use My::Util;\n"
                                "open(my $f, '<', 'data.txt') or die \"data.txt: $!\\n\";\n"
                                "print My::Util::Greeting(), \"\\n\", scalar(<$f>);\n");
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    CCurrentFolderScope ide(elsewhere.path());
    const CSeen seen = Run(CRunCommandLine::Kind::Debug, path, QString(), QString(), ContinueAtFirstPrompt);
    QVERIFY2(!seen.err.contains("Can't locate"), seen.err.constData());
    QCOMPARE(seen.out, QByteArray("hello from My::Util\ndata line\n"));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 0."));
}

void TestRunCommands::perlOptionsTakeEffect_data()
{
    QTest::addColumn<CRunCommandLine::Kind>("kind");
    QTest::newRow("piped Run") << CRunCommandLine::Kind::Run;
    QTest::newRow("Debug") << CRunCommandLine::Kind::Debug;
}

// Tools > Options > Perl's parameters reach the interpreter of the output window's runs.
void TestRunCommands::perlOptionsTakeEffect()
{
    QFETCH(CRunCommandLine::Kind, kind);
    const QString path = Script(QStringLiteral("warns.pl"), "my @a;\nmy $x = 'v' . $a[3];\nprint \"done\\n\";\n");
    g_settings.LOCAL_PERL_PRM = QStringLiteral("-w");
    const CSeen seen = Run(kind, path, QString(), QString(),
                           kind == CRunCommandLine::Kind::Debug ? ContinueAtFirstPrompt : std::function<void(COutputWindowDlg *)>());
    g_settings.LOCAL_PERL_PRM.clear();
    QVERIFY2(seen.err.contains("Use of uninitialized value"), seen.err.constData());
    QCOMPARE(seen.out, QByteArray("done\n"));
}

void TestRunCommands::childrenGetTheUsersEnvironment_data()
{
    QTest::addColumn<bool>("userHadIt");
    QTest::newRow("set by the IDE for itself: its children do not see it") << false;
    QTest::newRow("set by the user before the IDE started: they see the user's value") << true;
}

// The IDE puts variables into its own environment for its browser engine; the programs it
// runs get the user's environment, not those.
void TestRunCommands::childrenGetTheUsersEnvironment()
{
    QFETCH(bool, userHadIt);
    // The IDE's code started afresh with the user's environment: this program again,
    // running only the probe below.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    if (userHadIt)
        environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("the user's own"));
    const QString seenFile = m_dir.filePath(QStringLiteral("environment seen"));
    QFile::remove(seenFile);
    environment.insert(QStringLiteral("KESTREL_ENVIRONMENT_PROBE"), seenFile);
    QProcess ide;
    ide.setProcessEnvironment(environment);
    ide.setProcessChannelMode(QProcess::ForwardedChannels);
    ide.start(QCoreApplication::applicationFilePath(), {QStringLiteral("environmentProbe")});
    QVERIFY(ide.waitForFinished(180000));
    QCOMPARE(ide.exitCode(), 0);
    QFile f(seenFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray value = userHadIt ? "the user's own" : "unset";
    QCOMPARE(f.readAll(), "Run: " + value + "\nDebug: " + value + "\n");
}

// Run by childrenGetTheUsersEnvironment in a program of its own.
void TestRunCommands::environmentProbe()
{
    const QString seenFile = qEnvironmentVariable("KESTREL_ENVIRONMENT_PROBE");
    if (seenFile.isEmpty())
        QSKIP("Runs only as part of childrenGetTheUsersEnvironment.");
    // As the IDE does for its browser engine when it runs as the superuser.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    const QString path = Script(QStringLiteral("environment.pl"),
                                "print exists $ENV{QTWEBENGINE_DISABLE_SANDBOX} ? $ENV{QTWEBENGINE_DISABLE_SANDBOX} : 'unset', "
                                "\"\\n\";\n");
    const CSeen run = Run(CRunCommandLine::Kind::Run, path);
    const CSeen debug = Run(CRunCommandLine::Kind::Debug, path, QString(), QString(), ContinueAtFirstPrompt);
    QFile f(seenFile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Run: " + run.out + "Debug: " + debug.out);
}

void TestRunCommands::startFailure_data()
{
    QTest::addColumn<QString>("perl");
    QTest::newRow("empty interpreter path") << QString();
    QTest::newRow("missing interpreter") << QStringLiteral("/nonexistent/bin/perl");
    QTest::newRow("interpreter not executable") << QStringLiteral(KESTREL_SOURCE_DIR "/CMakeLists.txt");
}

void TestRunCommands::startFailure()
{
    QFETCH(QString, perl);
    QString path = Script(QStringLiteral("never runs.pl"), "print 1;\n");
    g_settings.LOCAL_PERL_EXE = perl;
    QString text;
    AnswerMessageBox(&text);
    CSeen seen = Run(CRunCommandLine::Kind::Run, path);
    g_settings.LOCAL_PERL_EXE = m_strPerl;
    QVERIFY(!seen.bWindow);
    CRunCommandLine cl = CRunCommandLine::Compose(CRunCommandLine::Kind::Run, path, QString(), CSettings{{}}, QString());
    cl.strProgram = perl;
    QVERIFY2(text.startsWith(QStringLiteral("Could not run ") + cl.Display()), qPrintable(text));
}

void TestRunCommands::viewCommandsSaveAndRun()
{
    QString path = Script(QStringLiteral("view run.pl"), "print \"old\\n\";\n");
    CKestrelDoc doc;
    CKestrelView view(&doc);
    doc.SetView(&view);
    QVERIFY(doc.OnOpenDocument(path));
    view.SetTextBytes("print \"edited \", scalar(<STDIN>);\n");
    doc.SetModifiedFlag(true);
    view.m_dlgScriptInputs->m_strInputs = QStringLiteral("from inputs\n");
    view.m_dlgScriptInputs->m_strMethod = QStringLiteral("POST");
    auto seen = std::make_shared<CSeen>();
    WhenWindowOpens(seen);
    QVERIFY(view.Commands().Execute(Cmd::ID_SCRIPT_RUN));
    // The run saved the script first and ran what the editor held.
    QVERIFY(!doc.IsModified());
    QCOMPARE(seen->out, QByteArray("edited from inputs\n"));
    QVERIFY(view.Commands().Has(Cmd::ID_SCRIPT_COMPILE));
    QVERIFY(view.Commands().Has(Cmd::ID_SCRIPT_DEBUG));
    QVERIFY(view.Commands().Has(Cmd::ID_SCRIPT_SPECIFY_INPUTS));
}

void TestRunCommands::consoleRunThroughRunHold_data()
{
    QTest::addColumn<CRunCommandLine::Kind>("kind");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Run with an empty option setting runs the script")
        << CRunCommandLine::Kind::Run << QString() << QByteArray("args: \nPerl script execution completed.\n");
    QTest::newRow("Run with options passes them split by their quotes")
        << CRunCommandLine::Kind::Run << QStringLiteral("-w \"-I/tmp/lib dir\"")
        << QByteArray("args: \ninc has /tmp/lib dir\nPerl script execution completed.\n");
}

// The console form, with a stand-in terminal that needs no display: the script's path has
// blanks and still reaches perl as one argument.
void TestRunCommands::consoleRunThroughRunHold()
{
    QFETCH(CRunCommandLine::Kind, kind);
    QFETCH(QString, options);
    QFETCH(QByteArray, expected);
    QString path = Script(QStringLiteral("console dir/my console.pl"),
                          "print \"args: @ARGV\\n\"; print \"inc has $_\\n\" for grep { / / } @INC;\n");
    QString out = m_dir.filePath(QStringLiteral("console.out"));
    QFile::remove(out);
    qputenv("TERMINAL", KESTREL_FIXTURES_DIR "/fake-terminal");
    qputenv("KESTREL_FAKE_TERMINAL_OUT", out.toLocal8Bit());
    CSettings settings = g_settings;
    settings.RUN_IN_DOS_WINDOW = QStringLiteral("Y");
    settings.LOCAL_PERL_PRM = options;
    CRunCommandLine cl = CRunCommandLine::Compose(kind, path, QFileInfo(path).fileName(), settings,
                                                  QStringLiteral(KESTREL_BIN_DIR "/runhold"));
    QVERIFY(cl.bConsole);
    CRunCommands::RunInConsole(nullptr, cl);
    qunsetenv("TERMINAL");
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), expected);
}

void TestRunCommands::pwdIsTheScriptFolder_data()
{
    QTest::addColumn<bool>("console");
    QTest::newRow("piped Run") << false;
    QTest::newRow("console Run through runhold") << true;
}

// The script starts in its own folder, and its PWD says so, whatever PWD the IDE has.
void TestRunCommands::pwdIsTheScriptFolder()
{
    QFETCH(bool, console);
    QString path = Script(QStringLiteral("pwd dir/where am i.pl"), "use Cwd; print \"$ENV{PWD}\\n\", getcwd(), \"\\n\";\n");
    const QString folder = QFileInfo(path).absolutePath();
    QByteArray expected = (folder + QLatin1Char('\n') + QFileInfo(folder).canonicalFilePath() + QLatin1Char('\n')).toUtf8();
    CEnvironmentScope idePwd("PWD", "/");
    QByteArray got;
    if (console) {
        QString out = m_dir.filePath(QStringLiteral("pwd console.out"));
        QFile::remove(out);
        CEnvironmentScope terminal("TERMINAL", KESTREL_FIXTURES_DIR "/fake-terminal");
        CEnvironmentScope terminalOut("KESTREL_FAKE_TERMINAL_OUT", out.toLocal8Bit());
        CSettings settings = g_settings;
        settings.RUN_IN_DOS_WINDOW = QStringLiteral("Y");
        CRunCommandLine cl = CRunCommandLine::Compose(CRunCommandLine::Kind::Run, path, QFileInfo(path).fileName(),
                                                      settings, QStringLiteral(KESTREL_BIN_DIR "/runhold"));
        QVERIFY(cl.bConsole);
        CRunCommands::RunInConsole(nullptr, cl);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        got = f.readAll();
        expected += "Perl script execution completed.\n";
    } else {
        got = Run(CRunCommandLine::Kind::Run, path).out;
    }
    QCOMPARE(got, expected);
}

// The toolbar's Run, clicked again while a run's window is open, starts nothing: the
// main window takes no input, keys included, until the window closes.
void TestRunCommands::secondRunBlockedWhileOneRuns()
{
    QString path = Script(QStringLiteral("one at a time.pl"), "my $in = <STDIN>; print \"got $in\";\n");
    CMainFrame frame;
    QVERIFY(frame.GetDocument()->OnOpenDocument(path));
    frame.GetActiveView()->OnInitialUpdate();
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.GetActiveView()->setFocus();
    QWidget *runButton = frame.ToolBar()->widgetForAction(frame.Action(Cmd::ID_SCRIPT_RUN));
    QVERIFY(runButton);
    const QPoint runAt = runButton->mapTo(&frame, runButton->rect().center());
    const QByteArray text = frame.GetActiveView()->GetTextBytes();

    bool bFirstIsActiveModal = false;
    int nOtherWindows = 0;
    auto seen = std::make_shared<CSeen>();
    WhenWindowOpens(seen, [&](COutputWindowDlg *wnd) {
        bFirstIsActiveModal = QApplication::activeModalWidget() == wnd;
        // A second run would open its window inside the click below; closing it there
        // ends that run and the click returns.
        QTimer guard;
        guard.setInterval(10);
        QObject::connect(&guard, &QTimer::timeout, wnd, [wnd, &nOtherWindows] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *other = qobject_cast<COutputWindowDlg *>(w);
                if (other && other != wnd && other->isVisible()) {
                    ++nOtherWindows;
                    other->OnClose();
                }
            }
        });
        guard.start();
        QTest::mouseClick(frame.windowHandle(), Qt::LeftButton, {}, runAt);
        QTest::keyClick(frame.windowHandle(), 'x');
        guard.stop();
        SendLine(wnd, QStringLiteral("done"));
    });
    QTest::mouseClick(frame.windowHandle(), Qt::LeftButton, {}, runAt);

    QVERIFY(seen->bWindow);
    QVERIFY(bFirstIsActiveModal);
    QCOMPARE(nOtherWindows, 0);
    QCOMPARE(frame.GetActiveView()->GetTextBytes(), text);
    QCOMPARE(seen->out, QByteArray("got done\n"));
}

int main(int argc, char *argv[])
{
    // The main frame needs the application object of the IDE.
    QStandardPaths::setTestModeEnabled(true);
    CKestrelApp app(argc, argv);
    TestRunCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_runcommands.moc"
