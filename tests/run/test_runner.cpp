#include "run/ChildProcess.h"
#include "run/ProcessListener.h"
#include "run/RedirectPipe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <memory>

#include <unistd.h>

namespace {

const QString kHelper = QStringLiteral(KESTREL_TEST_BIN_DIR "/childhelper");

struct CCountingListener : CProcessListener
{
    std::atomic<int> nCalls{0};
    void OnProcessEnded() override { ++nCalls; }
};

// Reads a pipe to its end.
QByteArray ReadToEnd(CRedirectPipe &pipe)
{
    QByteArray all;
    char buf[4096];
    for (;;) {
        int n = pipe.ReadAvailable(buf, sizeof buf, 1000);
        if (n == CRedirectPipe::kEnd)
            return all;
        if (n > 0)
            all.append(buf, n);
    }
}

struct CRun
{
    CRedirectPipe in, out, err;
    CCountingListener listener;
    std::unique_ptr<CChildProcess> child;

    bool Start(const QStringList &args, bool bTerminal = false, const QString &dir = QString(), bool bTerminalIn = false)
    {
        if (!(bTerminalIn ? in.OpenTerminalInput() : in.Open()) || !(bTerminal ? out.OpenTerminal() : out.Open())
            || !err.Open())
            return false;
        child = std::make_unique<CChildProcess>(kHelper, args);
        child->SetRedirection(&in, &out, &err);
        child->SetDirectory(dir);
        child->m_pListener = &listener;
        return child->Start() && child->Resume();
    }
};

QString ExeOf(pid_t pid)
{
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void startsSuspended();
    void exitCodeAndBothStreams_data();
    void exitCodeAndBothStreams();
    void stdoutOnTerminal();
    void workingFolder();
    void emptyFolderIsCurrent();
    void pwdNamesTheWorkingFolder_data();
    void pwdNamesTheWorkingFolder();
    void argumentsStayWhole();
    void startFailures_data();
    void startFailures();
    void missingFolderFailsStart();
    void killBeforeResume();
    void stillActiveWhileRunning();
    void killReportsTerminated();
    void killEndsTheGroup();
    void crashIsNotSuccess();
    void writeAndEof();
    void terminalInputArrivesWhole_data();
    void terminalInputArrivesWhole();
    void emptyWriteWritesNothing();
    void writeToChildThatNeverReads();
    void idlePipeTimesOut();
    void readInPieces();
    void closedReadEndEndsAtOnce();
    void destroyingRunningChildKillsIt();
};

void TestRunner::startsSuspended()
{
    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    CChildProcess child(kHelper, {QStringLiteral("both"), QStringLiteral("o"), QStringLiteral("e"), QStringLiteral("0")});
    child.SetRedirection(&in, &out, &err);
    QVERIFY(child.Start());
    // Before Resume the child has not run its program: it is still a copy of this one.
    QCOMPARE(ExeOf(child.ProcessId()), QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    QCOMPARE(getpgid(child.ProcessId()) == getpgid(0), false);
    char c;
    QCOMPARE(out.ReadAvailable(&c, 1, 0), 0);
    QVERIFY(child.Resume());
    QCOMPARE(ReadToEnd(out), QByteArray("o"));
    child.StartWaiter();
    QTRY_VERIFY(child.HasEnded());
    QCOMPARE(child.GetExitCode(), 0L);
}

void TestRunner::exitCodeAndBothStreams_data()
{
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("code");
    QTest::newRow("exit 3 with both streams") << QStringLiteral("to out\n") << QStringLiteral("to err\n") << 3;
    QTest::newRow("exit 0, nothing printed") << QString() << QString() << 0;
    QTest::newRow("exit 255") << QStringLiteral("x") << QString() << 255;
}

void TestRunner::exitCodeAndBothStreams()
{
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, code);
    CRun run;
    QVERIFY(run.Start({QStringLiteral("both"), out, err, QString::number(code)}));
    run.child->StartWaiter();
    QCOMPARE(ReadToEnd(run.out), out.toUtf8());
    QCOMPARE(ReadToEnd(run.err), err.toUtf8());
    QTRY_VERIFY(run.child->HasEnded());
    QCOMPARE(run.child->GetExitCode(), long(code));
    QCOMPARE(run.child->EndDescription(), QStringLiteral("Process completed with exit code %1.").arg(code));
    QCOMPARE(run.listener.nCalls.load(), 1);
    QVERIFY(!run.child->WasKilled());
}

void TestRunner::stdoutOnTerminal()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("istty")}, true));
    run.child->StartWaiter();
    // Raw mode: the line end arrives as it was written, without a carriage return.
    QCOMPARE(ReadToEnd(run.out), QByteArray("tty\n"));
    QTRY_VERIFY(run.child->HasEnded());
}

void TestRunner::workingFolder()
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/work dir XXXXXX"));
    QVERIFY(dir.isValid());
    CRun run;
    QVERIFY(run.Start({QStringLiteral("pwd")}, false, dir.path()));
    QCOMPARE(ReadToEnd(run.out), QFileInfo(dir.path()).canonicalFilePath().toUtf8() + '\n');
}

void TestRunner::emptyFolderIsCurrent()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("pwd")}));
    QCOMPARE(ReadToEnd(run.out), QDir::current().canonicalPath().toUtf8() + '\n');
}

void TestRunner::pwdNamesTheWorkingFolder_data()
{
    // What the folder is given as, and what PWD and the physical working folder must then
    // be; "<current>" is the test's own folder.
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("pwd");
    QTest::addColumn<QString>("physical");
    QTest::newRow("a folder with a blank") << "work dir" << "work dir" << "work dir";
    QTest::newRow("through a symbolic link: the path as given") << "link" << "link" << "real/sub";
    QTest::newRow("a symbolic link before ..: the physical path") << "link/.." << "real" << "real";
    QTest::newRow("no folder: the IDE's own") << QString() << "<current>" << "<current>";
}

// Against real perl: $ENV{PWD} and Cwd::getcwd agree on the folder the child starts in,
// whatever PWD the IDE itself was started with.
void TestRunner::pwdNamesTheWorkingFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, pwd);
    QFETCH(QString, physical);
    QString perl = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QVERIFY(!perl.isEmpty());
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/pwd test XXXXXX"));
    QVERIFY(tmp.isValid());
    const QString base = QFileInfo(tmp.path()).canonicalFilePath();
    QVERIFY(QDir(base).mkpath(QStringLiteral("work dir")) && QDir(base).mkpath(QStringLiteral("real/sub")));
    QVERIFY(QFile::link(base + QStringLiteral("/real/sub"), base + QStringLiteral("/link")));
    auto resolve = [&base](const QString &name) {
        return name == QLatin1String("<current>") ? QDir::current().canonicalPath() : base + QLatin1Char('/') + name;
    };

    const QByteArray savedPwd = qgetenv("PWD");
    qputenv("PWD", "/");
    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    CChildProcess child(perl, {QStringLiteral("-e"), QStringLiteral("use Cwd; print \"$ENV{PWD}\\n\", getcwd(), \"\\n\";")});
    child.SetRedirection(&in, &out, &err);
    child.SetDirectory(folder.isEmpty() ? QString() : resolve(folder));
    bool bStarted = child.Start() && child.Resume();
    qputenv("PWD", savedPwd);
    QVERIFY2(bStarted, qPrintable(child.LastError()));
    child.StartWaiter();
    QCOMPARE(ReadToEnd(out), (resolve(pwd) + QLatin1Char('\n') + resolve(physical) + QLatin1Char('\n')).toUtf8());
    QCOMPARE(ReadToEnd(err), QByteArray());
}

void TestRunner::argumentsStayWhole()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("args"), QStringLiteral("a b"), QString(), QStringLiteral("$HOME;`x`"),
                       QStringLiteral("\"q\"")}));
    QCOMPARE(ReadToEnd(run.out), QByteArray("a b\n\n$HOME;`x`\n\"q\"\n"));
}

void TestRunner::startFailures_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("empty path") << QString();
    QTest::newRow("missing file") << QStringLiteral("/nonexistent/perl");
    QTest::newRow("not executable") << QStringLiteral(KESTREL_SOURCE_DIR "/CMakeLists.txt");
    QTest::newRow("a folder") << QStringLiteral("/tmp");
    QTest::newRow("name not on the PATH") << QStringLiteral("no-such-program-here");
}

void TestRunner::startFailures()
{
    QFETCH(QString, program);
    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    CChildProcess child(program, {});
    child.SetRedirection(&in, &out, &err);
    QVERIFY(!child.Start());
    QVERIFY(!child.LastError().isEmpty());
    QCOMPARE(child.ProcessId(), pid_t(-1));
    QCOMPARE(child.GetExitCode(), CChildProcess::kUnknown);
}

void TestRunner::missingFolderFailsStart()
{
    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    CChildProcess child(kHelper, {QStringLiteral("pwd")});
    child.SetRedirection(&in, &out, &err);
    child.SetDirectory(QStringLiteral("/nonexistent/folder"));
    QVERIFY(!child.Start());
    QVERIFY(child.LastError().contains(QStringLiteral("/nonexistent/folder")));
    QVERIFY(!child.Resume());
}

void TestRunner::killBeforeResume()
{
    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    CCountingListener listener;
    CChildProcess child(kHelper, {QStringLiteral("hang")});
    child.SetRedirection(&in, &out, &err);
    child.m_pListener = &listener;
    QVERIFY(child.Start());
    child.StartWaiter();
    child.Kill();
    QTRY_VERIFY(child.HasEnded());
    // Resuming a child that is gone fails quietly instead of ending the IDE.
    QVERIFY(!child.Resume());
    QVERIFY(child.WasKilled());
    QCOMPARE(listener.nCalls.load(), 1);
}

void TestRunner::stillActiveWhileRunning()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("hang")}));
    run.child->StartWaiter();
    QCOMPARE(run.child->GetExitCode(), CChildProcess::kStillActive);
    QCOMPARE(run.child->EndDescription(), QStringLiteral("Process is still active."));
    run.child->Kill();
    QTRY_VERIFY(run.child->HasEnded());
}

void TestRunner::killReportsTerminated()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("hang")}));
    run.child->StartWaiter();
    run.child->Kill();
    QTRY_VERIFY(run.child->HasEnded());
    QVERIFY(run.child->WasKilled());
    QCOMPARE(run.child->EndDescription(), QStringLiteral("Process was terminated."));
    QCOMPARE(ReadToEnd(run.out), QByteArray());
    // Killing again changes nothing, and the listener heard of the end once.
    run.child->Kill();
    QTRY_COMPARE(run.listener.nCalls.load(), 1);
}

void TestRunner::killEndsTheGroup()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("fork")}));
    run.child->StartWaiter();
    QTRY_VERIFY(run.child->HasEnded());
    char buf[64] = {};
    int n = run.out.ReadAvailable(buf, sizeof buf - 1, 5000);
    QVERIFY(n > 0);
    pid_t grandchild = pid_t(QByteArray(buf, n).trimmed().toInt());
    QVERIFY(grandchild > 0);
    QCOMPARE(::kill(grandchild, 0), 0);
    // The grandchild still holds the output, so the stream has not ended.
    QCOMPARE(run.out.ReadAvailable(buf, sizeof buf, 100), 0);
    run.child->Kill();
    QCOMPARE(ReadToEnd(run.out), QByteArray());
    QTRY_VERIFY(::kill(grandchild, 0) != 0);
    QCOMPARE(run.child->EndDescription(), QStringLiteral("Process completed with exit code 0."));
}

void TestRunner::crashIsNotSuccess()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("crash")}));
    run.child->StartWaiter();
    QTRY_VERIFY(run.child->HasEnded());
    QVERIFY(run.child->WasSignaled());
    QVERIFY(!run.child->WasKilled());
    QCOMPARE(run.child->TermSignal(), SIGSEGV);
    QVERIFY(run.child->EndDescription().startsWith(QStringLiteral("Process was terminated by signal 11")));
    QVERIFY(run.child->GetExitCode() != 0);
}

void TestRunner::writeAndEof()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("echo")}));
    QCOMPARE(run.in.Write("abc\n"), 0);
    run.in.Write("def");
    run.in.Close();
    QCOMPARE(ReadToEnd(run.out), QByteArray("abc\ndef<EOF>\n"));
    // A write after the close goes nowhere.
    QCOMPARE(run.in.Write("lost"), 0);
}

void TestRunner::terminalInputArrivesWhole_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QByteArray every;
    for (int i = 0; i < 256; ++i)
        every += char(i);
    QByteArray longLine(10000, 'x');
    longLine[4095] = 'y';
    QTest::newRow("lines") << QList<QByteArray>{"abc\n", "def\n"};
    QTest::newRow("a last line without its end") << QList<QByteArray>{"abc\n", "def"};
    QTest::newRow("nothing") << QList<QByteArray>{};
    // Longer than the terminal takes in one line, in one write and in pieces.
    QTest::newRow("10000 bytes in a line") << QList<QByteArray>{longLine + '\n'};
    QTest::newRow("a long line in pieces") << QList<QByteArray>{longLine.left(3000), longLine.mid(3000), "\n"};
    QTest::newRow("a long line without its end") << QList<QByteArray>{longLine};
    // Editing, signal, flow control, end of file and quoting characters, CR and NUL.
    QTest::newRow("every byte") << QList<QByteArray>{every, every};
    QTest::newRow("control characters at line starts")
        << QList<QByteArray>{QByteArray("\x04\n\x16\n\x03\x1a\x1c\x7f\x15\x17\x12\n\r\n\0\n", 16)};
}

void TestRunner::terminalInputArrivesWhole()
{
    QFETCH(QList<QByteArray>, writes);
    CRun run;
    QVERIFY(run.Start({QStringLiteral("echo")}, false, QString(), true));
    QByteArray all;
    for (const QByteArray &w : writes) {
        run.in.Write(w);
        all += w;
    }
    run.in.Close();
    // Every byte as written, no echo, no mapping; end of input is end of file.
    QCOMPARE(ReadToEnd(run.out), all + "<EOF>\n");
    run.child->StartWaiter();
    QTRY_VERIFY(run.child->HasEnded());
}

void TestRunner::emptyWriteWritesNothing()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("echo")}));
    QCOMPARE(run.in.Write(QByteArray()), 0);
    QVERIFY(run.in.Flush());
    run.in.Close();
    QCOMPARE(ReadToEnd(run.out), QByteArray("<EOF>\n"));
}

void TestRunner::writeToChildThatNeverReads()
{
    CRun run;
    QVERIFY(run.Start({QStringLiteral("hang")}));
    run.child->StartWaiter();
    // Far more than a pipe holds: the call must come back although nobody reads.
    QByteArray big(8 * 1024 * 1024, 'z');
    QCOMPARE(run.in.Write(big), 0);
    QVERIFY(!run.in.Flush());
    run.in.Close();
    run.child->Kill();
    QTRY_VERIFY(run.child->HasEnded());
    // The writer sees the child gone and lets the queued bytes go.
    QTRY_VERIFY(run.in.Flush());
}

void TestRunner::idlePipeTimesOut()
{
    CRedirectPipe pipe;
    QVERIFY(pipe.Open());
    char buf[16];
    QCOMPARE(pipe.ReadAvailable(buf, sizeof buf, 50), 0);
    pipe.CloseWriteEnd();
    QCOMPARE(pipe.ReadAvailable(buf, sizeof buf, 50), CRedirectPipe::kEnd);
}

void TestRunner::readInPieces()
{
    CRedirectPipe pipe;
    QVERIFY(pipe.Open());
    QCOMPARE(::write(pipe.GetWriteHandle(), "0123456789", 10), ssize_t(10));
    char buf[16];
    QCOMPARE(pipe.ReadAvailable(buf, 4, 100), 4);
    QCOMPARE(QByteArray(buf, 4), QByteArray("0123"));
    QCOMPARE(pipe.ReadAvailable(buf, sizeof buf, 100), 6);
    QCOMPARE(QByteArray(buf, 6), QByteArray("456789"));
}

void TestRunner::closedReadEndEndsAtOnce()
{
    CRedirectPipe pipe;
    QVERIFY(pipe.Open());
    pipe.CloseReadEnd();
    pipe.CloseReadEnd();
    QCOMPARE(pipe.GetReadHandle(), -1);
    char buf[4];
    QCOMPARE(pipe.ReadAvailable(buf, sizeof buf, 5000), CRedirectPipe::kEnd);
}

void TestRunner::destroyingRunningChildKillsIt()
{
    pid_t pid;
    {
        CRun run;
        QVERIFY(run.Start({QStringLiteral("hang")}));
        run.child->StartWaiter();
        pid = run.child->ProcessId();
    }
    QCOMPARE(::kill(pid, 0), -1);
}

QTEST_GUILESS_MAIN(TestRunner)
#include "test_runner.moc"
