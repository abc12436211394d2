#include "run/ChildProcess.h"
#include "debug/DebugEngine.h"
#include "debug/DebugReplyParser.h"
#include "run/RedirectPipe.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <signal.h>

namespace {

// A perl -d child started as the output window's runner starts it (its standard streams
// on pipes, standard output on a terminal), talking to an engine over its channel.
struct CDebugSession
{
    QTemporaryDir dir;
    CRedirectPipe in, out, err;
    std::unique_ptr<CChildProcess> child;
    CDebugEngine engine;
    QByteArray baOut, baErr;
    QString strDebugger;
    QList<QPair<QString, int>> stops;
    QList<CDebugFrame> frames;
    QList<CDebugValue> locals;
    QString strWhyNoLocals;
    QList<CDebugValue> watches;
    QList<CDebugBreakpoint> changes;
    int nRunning = 0;
    bool bEnded = false;

    CDebugSession()
    {
        QObject::connect(&engine, &CDebugEngine::stopped, &engine,
                         [this](const QString &f, int l) { stops.append({f, l}); });
        QObject::connect(&engine, &CDebugEngine::framesChanged, &engine, [this](const QList<CDebugFrame> &f) { frames = f; });
        QObject::connect(&engine, &CDebugEngine::localsChanged, &engine,
                         [this](const QList<CDebugValue> &l, const QString &why) {
                             locals = l;
                             strWhyNoLocals = why;
                         });
        QObject::connect(&engine, &CDebugEngine::watchesChanged, &engine, [this](const QList<CDebugValue> &w) { watches = w; });
        QObject::connect(&engine, &CDebugEngine::breakpointChanged, &engine,
                         [this](const CDebugBreakpoint &bp) { changes.append(bp); });
        QObject::connect(&engine, &CDebugEngine::debuggerText, &engine, [this](const QString &t) { strDebugger += t; });
        QObject::connect(&engine, &CDebugEngine::running, &engine, [this] { ++nRunning; });
        QObject::connect(&engine, &CDebugEngine::sessionEnded, &engine, [this] { bEnded = true; });
    }
    ~CDebugSession()
    {
        if (child && !child->HasEnded())
            child->Kill();
    }

    QString Write(const QString &name, const QByteArray &text)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return path;
    }

    bool Start(const QString &script, const QString &strPerlLib = QString())
    {
        engine.SetDirectory(dir.path());
        if (!in.Open() || !(out.OpenTerminal() || out.Open()) || !err.Open())
            return false;
        child = std::make_unique<CChildProcess>(QStandardPaths::findExecutable(QStringLiteral("perl")),
                                                QStringList{QStringLiteral("-d"), QFileInfo(script).fileName()});
        child->SetRedirection(&in, &out, &err);
        child->SetDirectory(dir.path());
        QString error;
        if (!engine.PrepareChild(*child, &error)) {
            qWarning() << error;
            return false;
        }
        if (!strPerlLib.isEmpty())
            child->SetEnvironmentVariable(QStringLiteral("PERL5LIB"), strPerlLib);
        if (!child->Start() || !child->Resume())
            return false;
        child->StartWaiter();
        return true;
    }

    void Drain()
    {
        char buf[4096];
        int n;
        while ((n = out.ReadAvailable(buf, sizeof buf, 0)) > 0)
            baOut.append(buf, n);
        while ((n = err.ReadAvailable(buf, sizeof buf, 0)) > 0)
            baErr.append(buf, n);
    }

    bool WaitFor(const std::function<bool()> &condition, int nMs = 20000)
    {
        return QTest::qWaitFor([&] {
            Drain();
            return condition();
        }, nMs);
    }
    bool WaitForStop(int nCount) { return WaitFor([&] { return stops.size() >= nCount && engine.IsStopped(); }); }
    bool WaitForEnd()
    {
        return WaitFor([&] { return bEnded && child->HasEnded(); });
    }
    QString Context() const
    {
        return QStringLiteral("debugger said:\n%1\nstderr:\n%2\nstdout:\n%3")
            .arg(strDebugger, QString::fromUtf8(baErr), QString::fromUtf8(baOut));
    }
};

CDebugBreakpoint Breakpoint(const QString &file, int line, const QString &condition = QString())
{
    CDebugBreakpoint bp;
    bp.strFile = file;
    bp.nLine = line;
    bp.strCondition = condition;
    return bp;
}

const CDebugValue *Find(const QList<CDebugValue> &values, const QString &name)
{
    for (const CDebugValue &v : values)
        if (v.strName == name)
            return &v;
    return nullptr;
}

const QByteArray kLoop = "use strict;\n"                       // 1
                         "use warnings;\n"                     // 2
                         "my $total = 0;\n"                    // 3
                         "# a comment\n"                       // 4
                         "\n"                                  // 5
                         "for my $i (1 .. 5) {\n"              // 6
                         "    $total += $i;\n"                 // 7
                         "}\n"                                 // 8
                         "print \"total=$total\\n\";\n"        // 9
                         "exit 4;\n";                          // 10

const QByteArray kCalls = "use strict;\n"                      // 1
                          "use warnings;\n"                    // 2
                          "sub twice {\n"                      // 3
                          "    my ($n) = @_;\n"                // 4
                          "    my $r = $n * 2;\n"              // 5
                          "    return $r;\n"                   // 6
                          "}\n"                                // 7
                          "my $a = twice(3);\n"                // 8
                          "my $b = twice($a);\n"               // 9
                          "print \"$a $b\\n\";\n";             // 10

} // namespace

class TestDebugEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stopsAtBreakpoints_data();
    void stopsAtBreakpoints();
    void breakpointInFileRequiredLater();
    void removedBreakpointDoesNotStop();
    void removingOneOfTwoOnTheSameLine();
    void breakpointAddedWhileWaitingForInput_data();
    void breakpointAddedWhileWaitingForInput();
    void interruptAtThePromptIsHarmless();
    void refusedBreakpoint();
    void noBreakpointsStopsAtFirstStatement();
    void stepping();
    void runToLine();
    void locals();
    void localsWithoutPadWalker();
    void watchChanges();
    void typedCommandAndProgramInput();
    void emptyLineAtTheFirstStop();
    void stopAtPrompt();
    void stopWhileRunning_data();
    void stopWhileRunning();
    void fork();
    void forkBeforeTheFirstStatement();
    void programsChildrenDoNotGetTheChannel();
    void syntaxError();
    void dieAtBreakpoint();
    void restart();
    void stopLines_data();
    void stopLines();
    void replyParserCutAnywhere();
};

void TestDebugEngine::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("perl")).isEmpty())
        QSKIP("perl is not installed");
}

void TestDebugEngine::stopsAtBreakpoints_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<int>("actualLine");
    QTest::addColumn<int>("stopCount");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("localValue");

    QTest::newRow("plain statement") << kLoop << 9 << QString() << 9 << 1 << QString() << QString();
    QTest::newRow("first statement") << kLoop << 3 << QString() << 3 << 1 << QString() << QString();
    QTest::newRow("first statement, true condition") << kLoop << 3 << QStringLiteral("$0 =~ /loop/") << 3 << 1
                                                     << QString() << QString();
    QTest::newRow("first statement, false condition") << kLoop << 3 << QStringLiteral("$0 =~ /nothing/") << 3 << 0
                                                      << QString() << QString();
    QTest::newRow("comment moves to the next statement") << kLoop << 4 << QString() << 6 << 1 << QString() << QString();
    QTest::newRow("blank line moves to the next statement") << kLoop << 5 << QString() << 6 << 1 << QString() << QString();
    QTest::newRow("use line moves to the first statement") << kLoop << 1 << QString() << 3 << 1 << QString() << QString();
    QTest::newRow("loop body stops every time") << kLoop << 7 << QString() << 7 << 5 << QStringLiteral("$i")
                                                << QStringLiteral("5");
    QTest::newRow("condition stops once") << kLoop << 7 << QStringLiteral("$i == 3") << 7 << 1 << QStringLiteral("$i")
                                          << QStringLiteral("3");
}

void TestDebugEngine::stopsAtBreakpoints()
{
    QFETCH(QByteArray, script);
    QFETCH(int, line);
    QFETCH(QString, condition);
    QFETCH(int, actualLine);
    QFETCH(int, stopCount);
    QFETCH(QString, local);
    QFETCH(QString, localValue);

    CDebugSession s;
    const QString file = s.Write(QStringLiteral("loop.pl"), script);
    s.engine.SetBreakpoints({Breakpoint(file, line, condition)});
    QVERIFY(s.Start(file));
    for (int n = 1; n <= stopCount; ++n) {
        QVERIFY2(s.WaitForStop(n), qPrintable(s.Context()));
        QCOMPARE(s.stops.last(), qMakePair(file, actualLine));
        if (n < stopCount)
            s.engine.Continue();
    }
    if (stopCount == 0)
        QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY(!s.changes.isEmpty());
    QCOMPARE(s.changes.last().nActualLine, actualLine);
    QCOMPARE(s.changes.last().state,
             actualLine == line ? CDebugBreakpoint::State::Set : CDebugBreakpoint::State::Moved);
    if (!local.isEmpty()) {
        const CDebugValue *v = Find(s.locals, local);
        QVERIFY2(v, qPrintable(s.Context()));
        QCOMPARE(v->strValue, localValue);
    }
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.stops.size(), stopCount);
    QCOMPARE(s.child->GetExitCode(), 4L);
    QVERIFY(s.baOut.contains("total=15"));
}

void TestDebugEngine::breakpointInFileRequiredLater()
{
    CDebugSession s;
    const QString module = s.Write(QStringLiteral("Later.pm"), "package Later;\n"
                                                                "sub add {\n"
                                                                "    my ($x, $y) = @_;\n"
                                                                "\n"
                                                                "    return $x + $y;\n"
                                                                "}\n"
                                                                "1;\n");
    const QString file = s.Write(QStringLiteral("main.pl"), "use lib '.';\n"
                                                            "my $n = 1;\n"
                                                            "require Later;\n"
                                                            "print Later::add($n, 2), \"\\n\";\n");
    // Line 4 is blank: perl stops at the return once the file has loaded.
    s.engine.SetBreakpoints({Breakpoint(module, 4)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last(), qMakePair(module, 5));
    QCOMPARE(s.changes.first().state, CDebugBreakpoint::State::Pending);
    QCOMPARE(s.changes.last().state, CDebugBreakpoint::State::Moved);
    QCOMPARE(s.changes.last().nActualLine, 5);
    QCOMPARE(s.frames.size(), 2);
    QCOMPARE(s.frames[0].strSub, QStringLiteral("Later::add"));
    QCOMPARE(s.frames[1], (CDebugFrame{QStringLiteral("main"), file, 4}));
    QCOMPARE(Find(s.locals, QStringLiteral("$y"))->strValue, QStringLiteral("2"));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY(s.baOut.contains("3"));
}

void TestDebugEngine::removedBreakpointDoesNotStop()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("loop.pl"), kLoop);
    s.engine.SetBreakpoints({Breakpoint(file, 3), Breakpoint(file, 7)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 3);
    s.engine.RemoveBreakpoint(file, 7);
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.stops.size(), 1);
    QCOMPARE(s.child->GetExitCode(), 4L);
}

void TestDebugEngine::removingOneOfTwoOnTheSameLine()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("loop.pl"), kLoop);
    // The comment and the blank line both move to line 6; the one left keeps its condition.
    s.engine.SetBreakpoints({Breakpoint(file, 4), Breakpoint(file, 5, QStringLiteral("$total == 0")), Breakpoint(file, 9)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 6);
    s.engine.RemoveBreakpoint(file, 4);
    s.engine.Restart();
    QVERIFY2(s.WaitForStop(2), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 6);
    s.engine.RemoveBreakpoint(file, 5);
    s.engine.Restart();
    QVERIFY2(s.WaitForStop(3), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 9);
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
}

void TestDebugEngine::breakpointAddedWhileWaitingForInput_data()
{
    QTest::addColumn<QByteArray>("handler");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("stopLine");

    QTest::newRow("on a later line") << QByteArray("1") << 5 << 5;
    QTest::newRow("on the line after the read") << QByteArray("1") << 4 << 4;
    QTest::newRow("program handles SIGINT") << QByteArray("$SIG{INT} = sub { print \"mine\\n\" }") << 5 << 5;
    // A program's own handler of the signal that interrupts is left alone, and never
    // called by the engine: the breakpoint waits for the next stop, which does not come.
    QTest::newRow("program handles SIGURG from the start")
        << QByteArray("BEGIN { $SIG{URG} = sub { print \"mine\\n\" } }") << 5 << 0;
}

void TestDebugEngine::breakpointAddedWhileWaitingForInput()
{
    QFETCH(QByteArray, handler);
    QFETCH(int, line);
    QFETCH(int, stopLine);
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("input.pl"), "$| = 1;\n"
                                                             + handler + ";\n"
                                                             "my $l = <STDIN>;\n"
                                                             "print \"got $l\";\n"
                                                             "my $m = 2;\n"
                                                             "print \"end\\n\";\n");
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    s.engine.Continue();
    QTest::qWait(300);
    s.engine.AddBreakpoint(Breakpoint(file, line));
    QCOMPARE(s.changes.size(), 1);
    QCOMPARE(s.changes.last().state, CDebugBreakpoint::State::Pending);
    QTest::qWait(300);
    QVERIFY(!s.engine.IsStopped());
    s.in.Write("hello\n");
    if (stopLine) {
        QVERIFY2(s.WaitForStop(2), qPrintable(s.Context()));
        QCOMPARE(s.stops.last().second, stopLine);
        QCOMPARE(s.changes.last().state, CDebugBreakpoint::State::Set);
        s.engine.Continue();
    }
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.stops.size(), stopLine ? 2 : 1);
    QVERIFY(s.baOut.contains("got hello"));
    QVERIFY(s.baOut.contains("end"));
    QVERIFY(!s.baOut.contains("mine"));
}

void TestDebugEngine::interruptAtThePromptIsHarmless()
{
    // The engine's interrupt may cross a stop that perl has just reached: perl's prompt
    // neither takes it for a command nor stops again after the next one.
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("calls.pl"), kCalls);
    s.engine.SetBreakpoints({Breakpoint(file, 9)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(::kill(s.child->ProcessId(), SIGURG), 0);
    QTest::qWait(300);
    s.engine.SendCommand(QStringLiteral("p $a * 7"));
    QVERIFY(s.WaitFor([&] { return s.strDebugger.contains(QStringLiteral("42")) && s.engine.IsStopped(); }));
    QCOMPARE(s.stops.last(), qMakePair(file, 9));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.stops.size(), 2);
    QVERIFY(s.baOut.contains("6 12"));
}

void TestDebugEngine::refusedBreakpoint()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("loop.pl"), kLoop + "# the end\n");
    s.engine.SetBreakpoints({Breakpoint(file, 11)});
    QVERIFY(s.Start(file));
    // The only breakpoint cannot stop the program, so the session stops at the start.
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 3);
    QCOMPARE(s.changes.last().state, CDebugBreakpoint::State::Refused);
    QVERIFY(s.changes.last().strReason.contains(QStringLiteral("line 11")));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
}

void TestDebugEngine::noBreakpointsStopsAtFirstStatement()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("loop.pl"), kLoop);
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last(), qMakePair(file, 3));
    QCOMPARE(s.frames.size(), 1);
    QCOMPARE(s.frames[0], (CDebugFrame{QStringLiteral("main"), file, 3}));
    QVERIFY(s.strDebugger.contains(QStringLiteral("main::(loop.pl:3):")));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.child->GetExitCode(), 4L);
}

void TestDebugEngine::stepping()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("calls.pl"), kCalls);
    s.engine.SetBreakpoints({Breakpoint(file, 8)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 8);
    s.engine.StepOver();
    QVERIFY2(s.WaitForStop(2), qPrintable(s.Context()));
    QCOMPARE(s.stops.last(), qMakePair(file, 9));
    QCOMPARE(Find(s.locals, QStringLiteral("$a"))->strValue, QStringLiteral("6"));
    s.engine.StepInto();
    QVERIFY2(s.WaitForStop(3), qPrintable(s.Context()));
    QCOMPARE(s.stops.last(), qMakePair(file, 4));
    QCOMPARE(s.frames.size(), 2);
    QCOMPARE(s.frames[0].strSub, QStringLiteral("main::twice"));
    QCOMPARE(s.frames[1], (CDebugFrame{QStringLiteral("main"), file, 9}));
    s.engine.StepOver();
    QVERIFY2(s.WaitForStop(4), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 5);
    QCOMPARE(Find(s.locals, QStringLiteral("$n"))->strValue, QStringLiteral("6"));
    // The caller's lexicals, for the frame chosen in the call stack.
    s.engine.SelectFrame(1);
    QVERIFY(s.WaitFor([&] { return Find(s.locals, QStringLiteral("$a")) && s.engine.IsStopped(); }));
    s.engine.StepOut();
    QVERIFY2(s.WaitForStop(5), qPrintable(s.Context()));
    QCOMPARE(s.stops.last(), qMakePair(file, 10));
    QCOMPARE(s.frames.size(), 1);
    QVERIFY(s.strDebugger.contains(QStringLiteral("return from main::twice: 12")));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY(s.baOut.contains("6 12"));
    QCOMPARE(s.child->GetExitCode(), 0L);
}

void TestDebugEngine::runToLine()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("calls.pl"), kCalls);
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 8);
    s.engine.RunToLine(file, 6);
    QVERIFY2(s.WaitForStop(2), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 6);
    QCOMPARE(Find(s.locals, QStringLiteral("$r"))->strValue, QStringLiteral("6"));
    // The one-time breakpoint is gone: the second call does not stop there.
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.stops.size(), 2);
    QVERIFY(s.changes.isEmpty());
}

void TestDebugEngine::locals()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("values.pl"),
                                 "my $scalar = 'text';\n"
                                 "my @list = (1, 'two', undef);\n"
                                 "my %hash = (k => 'v', n => 2);\n"
                                 "my $nested = { list => [1, { deep => 'yes' }], self => undef };\n"
                                 "$nested->{self} = $nested;\n"
                                 "my $obj = bless { id => 7 }, 'Thing';\n"
                                 "my ($bytes, $wide, $tab, $long) = (\"caf\\xe9\", \"\\x{263A}\", \"a\\tb\", 'x' x 5000);\n"
                                 "print \"done\\n\";\n");
    s.engine.SetBreakpoints({Breakpoint(file, 8)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QVERIFY2(s.strWhyNoLocals.isEmpty(), qPrintable(s.strWhyNoLocals));
    QCOMPARE(Find(s.locals, QStringLiteral("$scalar"))->strValue, QStringLiteral("'text'"));
    const CDebugValue *list = Find(s.locals, QStringLiteral("@list"));
    QVERIFY(list);
    QCOMPARE(list->strValue, QStringLiteral("(3)"));
    QCOMPARE(list->children.size(), 3);
    QCOMPARE(list->children[1].strName, QStringLiteral("[1]"));
    QCOMPARE(list->children[1].strValue, QStringLiteral("'two'"));
    QCOMPARE(list->children[2].strValue, QStringLiteral("undef"));
    const CDebugValue *hash = Find(s.locals, QStringLiteral("%hash"));
    QVERIFY(hash);
    QCOMPARE(hash->children.size(), 2);
    QCOMPARE(hash->children[0].strName, QStringLiteral("{k}"));
    QCOMPARE(hash->children[0].strValue, QStringLiteral("'v'"));
    const CDebugValue *nested = Find(s.locals, QStringLiteral("$nested"));
    QVERIFY(nested);
    QCOMPARE(nested->strValue, QStringLiteral("HASH(2)"));
    const CDebugValue *inner = Find(nested->children, QStringLiteral("{list}"));
    QVERIFY(inner);
    QCOMPARE(inner->strValue, QStringLiteral("ARRAY(2)"));
    QCOMPARE(inner->children[1].children[0].strName, QStringLiteral("{deep}"));
    QCOMPARE(inner->children[1].children[0].strValue, QStringLiteral("'yes'"));
    // A structure that holds itself is shown once, not followed for ever.
    QVERIFY(Find(nested->children, QStringLiteral("{self}"))->strValue.endsWith(QStringLiteral("(shown above)")));
    QCOMPARE(Find(s.locals, QStringLiteral("$obj"))->strValue, QStringLiteral("Thing=HASH(1)"));
    QCOMPARE(Find(s.locals, QStringLiteral("$bytes"))->strValue, QString::fromUtf8("'caf\xc3\xa9'"));
    QCOMPARE(Find(s.locals, QStringLiteral("$wide"))->strValue, QString::fromUtf8("'\xe2\x98\xba'"));
    QCOMPARE(Find(s.locals, QStringLiteral("$tab"))->strValue, QStringLiteral("'a\tb'"));
    // A long text is cut, and says so.
    QCOMPARE(Find(s.locals, QStringLiteral("$long"))->strValue,
             QLatin1Char('\'') + QString(4000, QLatin1Char('x')) + QStringLiteral("'... (1000 more characters)"));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
}

void TestDebugEngine::localsWithoutPadWalker()
{
    CDebugSession s;
    // A PadWalker that cannot load stands for a perl without the module.
    QDir(s.dir.path()).mkdir(QStringLiteral("lib"));
    s.Write(QStringLiteral("lib/PadWalker.pm"), "die \"not installed here\\n\";\n");
    const QString file = s.Write(QStringLiteral("loop.pl"), kLoop);
    s.engine.SetWatches({QStringLiteral("$total")});
    QVERIFY(s.Start(file, s.dir.filePath(QStringLiteral("lib"))));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QVERIFY(s.locals.isEmpty());
    QVERIFY2(s.strWhyNoLocals.contains(QStringLiteral("PadWalker")), qPrintable(s.strWhyNoLocals));
    // The rest of the stop's report does not depend on it.
    QCOMPARE(s.frames.size(), 1);
    QCOMPARE(s.watches.size(), 1);
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
}

void TestDebugEngine::watchChanges()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("loop.pl"), kLoop);
    s.engine.SetWatches({QStringLiteral("$total * 10"), QStringLiteral("[$total, 'x']"), QStringLiteral("1 +")});
    s.engine.SetBreakpoints({Breakpoint(file, 7)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.watches.size(), 3);
    QCOMPARE(s.watches[0].strName, QStringLiteral("$total * 10"));
    QCOMPARE(s.watches[0].strValue, QStringLiteral("0"));
    QCOMPARE(s.watches[1].children.size(), 2);
    QVERIFY(s.watches[2].strValue.contains(QStringLiteral("syntax error")));
    s.engine.Continue();
    QVERIFY2(s.WaitForStop(2), qPrintable(s.Context()));
    QCOMPARE(s.watches[0].strValue, QStringLiteral("10"));
    QCOMPARE(s.watches[1].children[0].strValue, QStringLiteral("1"));
    // A watch added at a stop is evaluated at once.
    s.engine.SetWatches({QStringLiteral("$i")});
    QVERIFY(s.WaitFor([&] { return s.watches.size() == 1 && s.engine.IsStopped(); }));
    QCOMPARE(s.watches[0].strValue, QStringLiteral("2"));
    s.engine.SetBreakpoints({});
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.stops.size(), 2);
}

void TestDebugEngine::typedCommandAndProgramInput()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("input.pl"), "$| = 1;\n"
                                                             "my $x = 41;\n"
                                                             "my $first = <STDIN>;\n"
                                                             "my $second = <STDIN>;\n"
                                                             "chomp($first, $second);\n"
                                                             "print \"got [$first] [$second]\\n\";\n");
    s.engine.SetBreakpoints({Breakpoint(file, 3), Breakpoint(file, 5)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    s.engine.SendCommand(QStringLiteral("p $x + 1"));
    QVERIFY(s.WaitFor([&] { return s.strDebugger.contains(QStringLiteral("42")) && s.engine.IsStopped(); }));
    // A typed assignment shows in the locals at once.
    s.engine.SendCommand(QStringLiteral("$x = 7"));
    QVERIFY(s.WaitFor([&] { return s.stops.size() == 3 && s.engine.IsStopped(); }));
    QCOMPARE(Find(s.locals, QStringLiteral("$x"))->strValue, QStringLiteral("7"));
    s.engine.Continue();
    // The program waits for its input; the lines go to it, not to the debugger.
    QTest::qWait(200);
    QVERIFY(!s.engine.IsStopped());
    s.in.Write("alpha\nbeta\n");
    QVERIFY2(s.WaitForStop(4), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 5);
    QCOMPARE(Find(s.locals, QStringLiteral("$second"))->strValue, QStringLiteral("'beta\n'"));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY2(s.baOut.contains("got [alpha] [beta]"), s.baOut.constData());
}

// An empty line at perl's prompt repeats the last step; with none taken yet (the session
// reached its breakpoint by the engine's own continue) it must leave the session usable.
void TestDebugEngine::emptyLineAtTheFirstStop()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("empty.pl"), "my $n = 1;\n"
                                                             "$n = 2;\n"
                                                             "$n = 3;\n"
                                                             "$n = 4;\n"
                                                             "exit $n;\n");
    s.engine.SetBreakpoints({Breakpoint(file, 2)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 2);
    s.engine.SendCommand(QString());
    QVERIFY2(s.WaitFor([&] { return s.engine.IsStopped(); }), qPrintable(s.Context()));
    s.engine.StepOver();
    QVERIFY2(s.WaitFor([&] { return s.engine.IsStopped() && s.stops.last().second == 3; }), qPrintable(s.Context()));
    // Now the empty line is a second Step Over.
    s.engine.SendCommand(QString());
    QVERIFY2(s.WaitFor([&] { return s.engine.IsStopped() && s.stops.last().second == 4; }), qPrintable(s.Context()));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.child->GetExitCode(), 4);
}

void TestDebugEngine::stopAtPrompt()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("ends.pl"), "my $x = 1;\n"
                                                            "print \"running\\n\";\n"
                                                            "END { print \"end block\\n\" }\n");
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    s.engine.Stop();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY(!s.baOut.contains("running"));
    QVERIFY(!s.child->WasSignaled());
}

void TestDebugEngine::stopWhileRunning_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::newRow("busy loop") << QByteArray("$| = 1; print \"busy\\n\"; my $n = 0; while (1) { $n++ }\n");
    QTest::newRow("waiting for input") << QByteArray("$| = 1; print \"busy\\n\"; my $line = <STDIN>;\n");
}

void TestDebugEngine::stopWhileRunning()
{
    QFETCH(QByteArray, script);
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("busy.pl"), script);
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    s.engine.Continue();
    QVERIFY(s.WaitFor([&] { return s.baOut.contains("busy"); }));
    QVERIFY(!s.engine.IsStopped());
    // Stop ends the session at once; the runner ends the program, as Close does.
    s.engine.Stop();
    QVERIFY(s.bEnded);
    s.child->Kill();
    QVERIFY(s.WaitFor([&] { return s.child->HasEnded(); }));
    QVERIFY(s.child->WasKilled());
    // Commands after the end do nothing.
    s.engine.StepOver();
    s.engine.SendCommand(QStringLiteral("p 1"));
    QCOMPARE(s.stops.size(), 1);
}

void TestDebugEngine::fork()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("fork.pl"), "$| = 1;\n"
                                                            "my $pid = fork();\n"
                                                            "if ($pid == 0) {\n"
                                                            "    print \"child\\n\";\n"
                                                            "    exit 7;\n"
                                                            "}\n"
                                                            "waitpid($pid, 0);\n"
                                                            "print \"parent saw \", $? >> 8, \"\\n\";\n"
                                                            "exit 2;\n");
    // The child passes a breakpoint too: it must run on, not hang or take the session.
    s.engine.SetBreakpoints({Breakpoint(file, 4), Breakpoint(file, 8)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 8);
    QVERIFY(s.baOut.contains("child"));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY(s.baOut.contains("parent saw 7"));
    QCOMPARE(s.child->GetExitCode(), 2L);
}

void TestDebugEngine::forkBeforeTheFirstStatement()
{
    CDebugSession s;
    // The child's debugger, forked before the engine's support code was there, lets go
    // of the channel and runs on; the parent's session goes on.
    const QString file = s.Write(QStringLiteral("early.pl"),
                                 "BEGIN { if (!fork()) { $DB::single = 1; $| = 1; print \"kid runs\\n\"; exit 5 } }\n"
                                 "$| = 1;\n"
                                 "wait;\n"
                                 "print \"parent \", $? >> 8, \"\\n\";\n");
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last(), qMakePair(file, 2));
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY2(s.baOut.contains("kid runs"), s.baOut.constData());
    QVERIFY2(s.baOut.contains("parent 5"), s.baOut.constData());
    QCOMPARE(s.stops.size(), 1);
}

// The channel is the debugged perl's alone: a perl -d that the program starts inherits the
// debugger's variables, not the channel, and runs without a debugger and without
// disturbing the session; a program left running in the background does not keep the
// session from ending with perl.
void TestDebugEngine::programsChildrenDoNotGetTheChannel()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("spawns.pl"), "$| = 1;\n"
                                                              "system($^X, '-d', '-e', 'print qq(nested ran\\n)');\n"
                                                              "system('sleep 30 &');\n"
                                                              "print \"parent done\\n\";\n"
                                                              "exit 6;\n");
    s.engine.SetBreakpoints({Breakpoint(file, 4)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last(), qMakePair(file, 4));
    QVERIFY2(s.baOut.contains("nested ran\n"), qPrintable(s.Context()));
    s.engine.Continue();
    QVERIFY2(s.WaitFor([&] { return s.bEnded && s.child->HasEnded(); }, 15000), qPrintable(s.Context()));
    QCOMPARE(s.child->GetExitCode(), 6L);
    QVERIFY(s.baOut.contains("parent done\n"));
    QCOMPARE(s.stops.size(), 1);
}

void TestDebugEngine::syntaxError()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("broken.pl"), "my $x = ;\n");
    s.engine.SetBreakpoints({Breakpoint(file, 1)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY(s.stops.isEmpty());
    QVERIFY(s.baErr.contains("syntax error"));
    QCOMPARE(s.child->GetExitCode(), 255L);
}

void TestDebugEngine::dieAtBreakpoint()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("dies.pl"), "my $x = 1;\n"
                                                            "die \"broken at $x\\n\";\n"
                                                            "print \"not reached\\n\";\n");
    s.engine.SetBreakpoints({Breakpoint(file, 2)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 2);
    s.engine.StepOver();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QVERIFY(s.baErr.contains("broken at 1"));
    QVERIFY(!s.baOut.contains("not reached"));
    QCOMPARE(s.child->GetExitCode(), 255L);
}

void TestDebugEngine::restart()
{
    CDebugSession s;
    const QString file = s.Write(QStringLiteral("loop.pl"), kLoop);
    s.engine.SetBreakpoints({Breakpoint(file, 9)});
    QVERIFY(s.Start(file));
    QVERIFY2(s.WaitForStop(1), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 9);
    s.engine.Restart();
    QVERIFY2(s.WaitForStop(2), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 9);
    QCOMPARE(Find(s.locals, QStringLiteral("$total"))->strValue, QStringLiteral("15"));
    QVERIFY(!s.bEnded);
    s.engine.Continue();
    QVERIFY2(s.WaitForEnd(), qPrintable(s.Context()));
    QCOMPARE(s.child->GetExitCode(), 4L);

    // The same engine serves the next Debug, with its breakpoints.
    s.bEnded = false;
    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    CChildProcess again(QStandardPaths::findExecutable(QStringLiteral("perl")), {QStringLiteral("-d"), file});
    again.SetRedirection(&in, &out, &err);
    QVERIFY(s.engine.PrepareChild(again));
    QVERIFY(again.Start() && again.Resume());
    again.StartWaiter();
    QVERIFY2(s.WaitForStop(3), qPrintable(s.Context()));
    QCOMPARE(s.stops.last().second, 9);
    s.engine.Continue();
    QVERIFY(s.WaitFor([&] { return s.bEnded && again.HasEnded(); }));
    QCOMPARE(again.GetExitCode(), 4L);
}

void TestDebugEngine::stopLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("isStop");
    QTest::addColumn<QString>("sub");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("lineNumber");

    QTest::newRow("main") << QStringLiteral("main::(x.pl:5):\tmy $a = 1;") << true << QStringLiteral("main")
                          << QStringLiteral("x.pl") << 5;
    QTest::newRow("sub") << QStringLiteral("Pkg::Sub::go(/p/M.pm:12):\treturn;") << true << QStringLiteral("Pkg::Sub::go")
                         << QStringLiteral("/p/M.pm") << 12;
    QTest::newRow("long form ends the line") << QStringLiteral("main::a_very_long_sub_name(/a/long/path/file.pl:130):")
                                             << true << QStringLiteral("main::a_very_long_sub_name")
                                             << QStringLiteral("/a/long/path/file.pl") << 130;
    QTest::newRow("colons and parentheses in the file")
        << QStringLiteral("main::(/tmp/a:b (1)/x.pl:7):\t1;") << true << QStringLiteral("main")
        << QStringLiteral("/tmp/a:b (1)/x.pl") << 7;
    QTest::newRow("eval") << QStringLiteral("main::((eval 9)[x.pl:3]:1):\t$x") << true << QStringLiteral("main")
                          << QStringLiteral("(eval 9)[x.pl:3]") << 1;
    QTest::newRow("continuation line") << QStringLiteral("6:\t  5;") << false << QString() << QString() << 0;
    QTest::newRow("return value") << QStringLiteral("scalar context return from main::f: 2") << false << QString()
                                  << QString() << 0;
    QTest::newRow("no line number") << QStringLiteral("main::(x.pl:):") << false << QString() << QString() << 0;
}

void TestDebugEngine::stopLines()
{
    QFETCH(QString, line);
    QFETCH(bool, isStop);
    QFETCH(QString, sub);
    QFETCH(QString, file);
    QFETCH(int, lineNumber);
    QString gotSub, gotFile;
    int gotLine = 0;
    QCOMPARE(CDebugReplyParser::ParseStopLine(line, &gotSub, &gotFile, &gotLine), isStop);
    if (isStop) {
        QCOMPARE(gotSub, sub);
        QCOMPARE(gotFile, file);
        QCOMPARE(gotLine, lineNumber);
    }
}

void TestDebugEngine::replyParserCutAnywhere()
{
    // A reply with words, records (one holding escaped tab, line end and backslash) and a
    // prompt: however the bytes are cut, the same pieces come out.
    const QByteArray reply = "main::(x.pl:3):\tmy $x;\n"
                             "\x1fK\tlocal\t0\t$s\t'a\\x09b\\x0ac\\x5c'\n"
                             "\x1fK\tend\n"
                             "  DB<12> ";
    for (int cut = 0; cut <= reply.size(); ++cut) {
        CDebugReplyParser parser;
        QList<CDebugReplyParser::Event> events = parser.Feed(reply.left(cut));
        events += parser.Feed(reply.mid(cut));
        QString text;
        QList<QStringList> records;
        int prompts = 0, command = 0;
        for (const auto &e : events) {
            if (e.kind == CDebugReplyParser::Event::Kind::Text)
                text += e.strText;
            else if (e.kind == CDebugReplyParser::Event::Kind::Record)
                records.append(e.fields);
            else {
                ++prompts;
                command = e.nCommand;
            }
        }
        QCOMPARE(text, QStringLiteral("main::(x.pl:3):\tmy $x;\n"));
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0], (QStringList{QStringLiteral("local"), QStringLiteral("0"), QStringLiteral("$s"),
                                          QStringLiteral("'a\tb\nc\\'")}));
        QCOMPARE(prompts, 1);
        QCOMPARE(command, 12);
    }
    // A nested debugger's prompt, and a forked one's.
    CDebugReplyParser nested;
    const auto e1 = nested.Feed("x\n  DB<<3>> ");
    QCOMPARE(e1.last().nLevel, 2);
    CDebugReplyParser forked;
    const auto e2 = forked.Feed("[1->2]  DB<1> ");
    QCOMPARE(e2.last().kind, CDebugReplyParser::Event::Kind::Prompt);
    // Text that only looks like a prompt inside a line is not one.
    CDebugReplyParser inline_;
    const auto e3 = inline_.Feed("say DB<1> ");
    QVERIFY(e3.isEmpty() || e3.last().kind != CDebugReplyParser::Event::Kind::Prompt);
}

QTEST_GUILESS_MAIN(TestDebugEngine)
#include "test_debugengine.moc"
