#include "OutputWindowWatch.h"
#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "debug/BreakpointHost.h"
#include "debug/BreakpointMarks.h"
#include "run/ChildProcess.h"
#include "debug/DebugBreakpointList.h"
#include "debug/DebugConsole.h"
#include "debug/DebugEngine.h"
#include "debug/DebugPanel.h"
#include "debug/DebugWatchStore.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "run/RedirectPipe.h"
#include "run/RunCommandLine.h"
#include "run/RunCommands.h"
#include "debug/DebugCommands.h"
#include "debug/DebugRunHook.h"
#include "run/SendInputDlg.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

#include <unistd.h>

namespace {

// What the user saw in the window at the end of the session.
struct CSeen
{
    bool bWindow = false;
    bool bActed = false;
    QByteArray out;
    QByteArray err;
    QString status;
};

// Acts in the debug window once it is open, waits for the run's end, notes what the
// window shows and closes it.
void WhenWindowOpens(std::shared_ptr<CSeen> seen, std::function<void(COutputWindowDlg *)> act)
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
        wnd->activateWindow();
        (void)QTest::qWaitForWindowActive(wnd);
        act(wnd);
        seen->bActed = !QTest::currentTestFailed();
        if (!wnd->IsRunOver()) {
            QSignalSpy spy(wnd, &COutputWindowDlg::RunOver);
            spy.wait(60000);
        }
        seen->out = wnd->StdOutPane()->TextBytes();
        seen->err = wnd->StdErrPane()->TextBytes();
        seen->status = wnd->StatusLine()->text();
        wnd->OnClose();
    });
}

// The editor's side as the debugger sees it: a list of breakpoints.
class CListHost : public CBreakpointHost
{
public:
    QList<CDebugBreakpoint> Breakpoints() const override { return m_list.All(); }
    bool KeepsFile(const QString &) const override { return true; }
    void AddBreakpoint(const CDebugBreakpoint &bp) override { m_list.Add(bp); }
    void RemoveBreakpoint(const QString &strFile, int nLine) override { m_list.Remove(strFile, nLine); }
    void RemoveAllBreakpoints() override { m_list.Clear(); }
    void BreakpointChanged(const CDebugBreakpoint &bp) override { m_list.Update(bp); }

    CDebugBreakpointList m_list;
};

void SendLine(COutputWindowDlg *wnd, const QString &line)
{
    wnd->OnSendInput();
    wnd->m_pDlgSend->findChild<QLineEdit *>(QStringLiteral("edit_1081"))->setText(line);
    wnd->m_pDlgSend->accept();
}

QString ValueOf(QTreeWidget *tree, const QString &name)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->text(0) == name)
            return tree->topLevelItem(i)->text(1);
    return QStringLiteral("<none>");
}

bool IsStoppedAt(CDebugPanel *panel, const QString &fileName, int nLine)
{
    return QFileInfo(panel->ShownFile()).fileName() == fileName && panel->ArrowLine() == nLine
        && panel->findChild<QAction *>(QStringLiteral("action_33225"))->isEnabled();
}

} // namespace

// The debug window with real perl and the real engine: breakpoints that stop, the
// source pane, the step keys, Locals, Stop, and where typed lines go.
class TestDebugWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stopsStepsAndEnds();
    void typedLinesGoToTheProgramOrTheDebugger();
    void stopEndsTheProgram();
    void firstStatementWithoutBreakpoints();
    void conditionWatchMovedAndRunToCursor();
    void consoleRoutesAndTranscribes();
    void typedLineBeforeTheFirstStop_data();
    void typedLineBeforeTheFirstStop();
    void debugCommandShowsNoNotice();
    void watchColumnShowsTheExpressionWhole();
    void watchesAreKeptPerScript();
    void restartAfterTheEnd();
    void programErrorsComeBeforeTheStop();

private:
    QString Script(const QString &name, const QByteArray &text);
    CSeen Debug(const QString &path, CListHost *host, std::function<void(COutputWindowDlg *)> act);
    CDebugBreakpoint At(const QString &path, int nLine, const QString &condition = QString());

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel debug XXXXXX")};
};

void TestDebugWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_settings = CSettings();
    g_settings.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QVERIFY(!g_settings.LOCAL_PERL_EXE.isEmpty());
}

QString TestDebugWindow::Script(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

CDebugBreakpoint TestDebugWindow::At(const QString &path, int nLine, const QString &condition)
{
    CDebugBreakpoint bp;
    bp.strFile = path;
    bp.nLine = nLine;
    bp.strCondition = condition;
    return bp;
}

CSeen TestDebugWindow::Debug(const QString &path, CListHost *host, std::function<void(COutputWindowDlg *)> act)
{
    const CRunCommandLine cl = CRunCommandLine::Compose(CRunCommandLine::Kind::Debug, path,
                                                        QFileInfo(path).fileName(), g_settings,
                                                        CRunCommands::RunHoldPath());
    auto seen = std::make_shared<CSeen>();
    WhenWindowOpens(seen, act);
    CDebugCommands::RunPiped(nullptr, CRunCommandLine::Kind::Debug, cl, QString(), QString(),
                             QStringLiteral("Could not start debugging : "), {}, host);
    return *seen;
}

void TestDebugWindow::stopsStepsAndEnds()
{
    const QString lib = Script(QStringLiteral("Twice.pm"),
                               "package Twice;\n"
                               "sub twice {\n"
                               "    my ($v) = @_;\n"
                               "    my $r = $v * 2;\n"
                               "    return $r;\n"
                               "}\n"
                               "1;\n");
    const QString path = Script(QStringLiteral("main.pl"),
                                "use strict;\n"
                                "require '" + lib.toUtf8() + "';\n"
                                "my $x = 20;\n"
                                "my @list = (1, 2, 3);\n"
                                "my $y = Twice::twice($x);\n"
                                "print \"y is $y\\n\";\n"
                                "my $z = Twice::twice($y);\n"
                                "print \"z is $z\\n\";\n"
                                "exit 7;\n");
    CListHost host;
    host.AddBreakpoint(At(path, 5));
    host.AddBreakpoint(At(path, 7));
    const CSeen seen = Debug(path, &host, [&](COutputWindowDlg *wnd) {
        CDebugPanel *panel = CDebugRunHook::PanelOf(wnd);
        QVERIFY(panel);
        // Runs to the first breakpoint: the source pane shows its line with the arrow.
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("main.pl"), 5), 30000);
        QVERIFY(panel->SourcePane()->markersAtLine(4) & (1u << CBreakpointMarks::kCurrentLine));
        // The margin shows the arrow and the breakpoints (Scintilla keeps 25 to 31 for folding).
        const unsigned shown = unsigned(panel->SourcePane()->marginMarkerMask(1));
        QCOMPARE(shown & ((1u << CBreakpointMarks::kArrow) | CBreakpointMarks::kBreakpointMask),
                 (1u << CBreakpointMarks::kArrow) | CBreakpointMarks::kBreakpointMask);
        QVERIFY(panel->SourcePane()->markersAtLine(4) & (1u << CBreakpointMarks::kBreakpoint));
        QVERIFY(panel->SourcePane()->markersAtLine(6) & (1u << CBreakpointMarks::kBreakpoint));
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Locals(), QStringLiteral("$x")), QStringLiteral("20"), 10000);
        // The array is folded, its elements under it.
        QTreeWidgetItem *list = panel->Locals()->findItems(QStringLiteral("@list"), Qt::MatchExactly).value(0);
        QVERIFY(list);
        QCOMPARE(list->childCount(), 3);
        QVERIFY(!list->isExpanded());
        QVERIFY(panel->CallStack()->topLevelItemCount() >= 1);

        // Step Into (F11): the sub's file and line.
        QTest::keyClick(wnd, Qt::Key_F11);
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("Twice.pm"), 3), 30000);
        QVERIFY(panel->CallStack()->topLevelItemCount() >= 2);
        QCOMPARE(panel->CallStack()->topLevelItem(0)->text(0), QStringLiteral("Twice::twice"));
        // A click on the caller's frame shows its line, in its file.
        panel->ShowFrame(1);
        QCOMPARE(QFileInfo(panel->ShownFile()).fileName(), QStringLiteral("main.pl"));
        int line = 0, index = 0;
        panel->SourcePane()->getCursorPosition(&line, &index);
        QCOMPARE(line + 1, 5);
        panel->ShowFrame(0);
        // Step Over (F10) in the sub, then Step Out (Shift+F11) back to the caller.
        QTest::keyClick(wnd, Qt::Key_F10);
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("Twice.pm"), 4), 30000);
        QTest::keyClick(wnd, Qt::Key_F11, Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(panel->ShownFile()).fileName() == QStringLiteral("main.pl")
                                     && panel->ArrowLine() >= 5,
                                 30000);
        // Continue (F5) to the second breakpoint, where $y has its value.
        QTRY_VERIFY_WITH_TIMEOUT(panel->findChild<QAction *>(QStringLiteral("action_33224"))->isEnabled(), 30000);
        QTest::keyClick(wnd, Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("main.pl"), 7), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Locals(), QStringLiteral("$y")), QStringLiteral("40"), 10000);
        QTest::keyClick(wnd, Qt::Key_F5);
    });
    QVERIFY(seen.bWindow);
    QVERIFY(seen.bActed);
    QCOMPARE(seen.out, QByteArray("y is 40\nz is 80\n"));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 7."));
}

void TestDebugWindow::typedLinesGoToTheProgramOrTheDebugger()
{
    const QString path = Script(QStringLiteral("reads.pl"),
                                "my $first = <STDIN>;\n"
                                "my $second = <STDIN>;\n"
                                "chomp($first, $second);\n"
                                "my $both = \"$first+$second\";\n"
                                "print \"got $both\\n\";\n");
    CListHost host;
    host.AddBreakpoint(At(path, 4));
    const CSeen seen = Debug(path, &host, [&](COutputWindowDlg *wnd) {
        CDebugPanel *panel = CDebugRunHook::PanelOf(wnd);
        // The program runs to the breakpoint and waits for its input on the way.
        QTRY_VERIFY_WITH_TIMEOUT(panel->findChild<QLabel *>(QStringLiteral("label_DebugState"))->text()
                                     == QStringLiteral("Running..."),
                                 30000);
        SendLine(wnd, QStringLiteral("alpha"));
        SendLine(wnd, QStringLiteral("beta"));
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("reads.pl"), 4), 30000);
        // Stopped, a typed line is the debugger's.
        SendLine(wnd, QStringLiteral("p \"[$first/$second]\""));
        QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("[alpha/beta]"), 30000);
        // So is one typed into the command box.
        panel->CommandBox()->setText(QStringLiteral("p length $first"));
        QTest::keyClick(panel->CommandBox(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(wnd->StdErrPane()->TextBytes().contains("5\n"), 30000);
        QVERIFY(panel->CommandBox()->text().isEmpty());
        // Enter in the command box is not the Send Input dialog's Send, which is open.
        QVERIFY(wnd->m_pDlgSend->isVisible());
        QCOMPARE(panel->StateLabel()->text(), QStringLiteral("Stopped at reads.pl line 4"));
        panel->OnContinue();
    });
    QVERIFY(seen.bActed);
    QVERIFY2(seen.out == "got alpha+beta\n", qPrintable(seen.status + "\n" + seen.err + "\nout: " + seen.out));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 0."));
}

void TestDebugWindow::stopEndsTheProgram()
{
    const QString path = Script(QStringLiteral("stop.pl"),
                                "my $n = 1;\n"
                                "print \"before\\n\";\n"
                                "$n++;\n"
                                "print \"after\\n\";\n");
    CListHost host;
    host.AddBreakpoint(At(path, 3));
    const CSeen seen = Debug(path, &host, [&](COutputWindowDlg *wnd) {
        CDebugPanel *panel = CDebugRunHook::PanelOf(wnd);
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("stop.pl"), 3), 30000);
        QTest::keyClick(wnd, Qt::Key_F5, Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(wnd->IsRunOver(), 30000);
        // The window stays open to be read.
        QVERIFY(wnd->isVisible());
        QVERIFY(!panel->findChild<QAction *>(QStringLiteral("action_33224"))->isEnabled());
        // What was shown of the program is gone with it.
        QTRY_COMPARE_WITH_TIMEOUT(panel->CallStack()->topLevelItemCount(), 0, 10000);
        QCOMPARE(panel->Locals()->topLevelItem(0)->text(0), QStringLiteral("The program has ended."));
    });
    QVERIFY(seen.bActed);
    QCOMPARE(seen.out, QByteArray("before\n"));
    QVERIFY2(seen.status.startsWith(QStringLiteral("Process")) && !seen.status.contains(QStringLiteral("still")),
             qPrintable(seen.status));
}

void TestDebugWindow::firstStatementWithoutBreakpoints()
{
    const QString path = Script(QStringLiteral("first.pl"),
                                "my $a = 1;\n"
                                "my $b = 2;\n"
                                "print $a + $b, \"\\n\";\n");
    CListHost host;
    const CSeen seen = Debug(path, &host, [&](COutputWindowDlg *wnd) {
        CDebugPanel *panel = CDebugRunHook::PanelOf(wnd);
        // Typed at once, before perl's debugger is there: held for it, not given to
        // the program.
        SendLine(wnd, QStringLiteral("n"));
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("first.pl"), 2), 30000);
        // A breakpoint set in the source pane's margin stops the run there.
        panel->ToggleBreakpoint(3);
        QVERIFY(panel->SourcePane()->markersAtLine(2) & CBreakpointMarks::kBreakpointMask);
        QVERIFY(panel->SessionBreakpoints().At(panel->ShownFile(), 3));
        panel->OnContinue();
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("first.pl"), 3), 30000);
        panel->OnContinue();
    });
    QVERIFY(seen.bActed);
    QCOMPARE(seen.out, QByteArray("3\n"));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 0."));
    // The host (the editor) got the breakpoint set in the window.
    QCOMPARE(host.Breakpoints().size(), 1);
    QCOMPARE(host.Breakpoints()[0].nLine, 3);
}

void TestDebugWindow::conditionWatchMovedAndRunToCursor()
{
    const QString path = Script(QStringLiteral("loop.pl"),
                                "my $sum = 0;\n"
                                "for my $i (1 .. 5) {\n"
                                "    $sum += $i;\n"
                                "}\n"
                                "# the total\n"
                                "my $shown = \"sum=$sum\";\n"
                                "my $done = 1;\n"
                                "print \"$shown\\n\";\n");
    CListHost host;
    host.AddBreakpoint(At(path, 3, QStringLiteral("$i == 3")));
    host.AddBreakpoint(At(path, 5));
    const CSeen seen = Debug(path, &host, [&](COutputWindowDlg *wnd) {
        CDebugPanel *panel = CDebugRunHook::PanelOf(wnd);
        // The condition holds once: $i is 3 there.
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("loop.pl"), 3), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Locals(), QStringLiteral("$i")), QStringLiteral("3"), 10000);
        QVERIFY(panel->SourcePane()->markersAtLine(2) & (1u << CBreakpointMarks::kConditional));
        // The comment's breakpoint went to the next line perl can stop on; the editor's
        // side hears of it and the source pane marks that line.
        const CDebugBreakpoint *moved = host.m_list.At(path, 5);
        QVERIFY(moved);
        QTRY_COMPARE_WITH_TIMEOUT(int(host.m_list.At(path, 5)->state), int(CDebugBreakpoint::State::Moved), 10000);
        QCOMPARE(host.m_list.At(path, 5)->nActualLine, 6);
        QVERIFY(panel->SourcePane()->markersAtLine(5) & (1u << CBreakpointMarks::kBreakpoint));
        QCOMPARE(panel->SourcePane()->markersAtLine(4) & CBreakpointMarks::kBreakpointMask, 0u);
        // A watch, evaluated at once and at every stop.
        panel->findChild<QLineEdit *>(QStringLiteral("edit_AddWatch"))->setText(QStringLiteral("$sum * 10"));
        QTest::keyClick(panel->findChild<QLineEdit *>(QStringLiteral("edit_AddWatch")), Qt::Key_Return);
        QCOMPARE(panel->WatchExpressions(), QStringList{QStringLiteral("$sum * 10")});
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Watches(), QStringLiteral("$sum * 10")), QStringLiteral("30"), 10000);
        panel->OnContinue();
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("loop.pl"), 6), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Watches(), QStringLiteral("$sum * 10")), QStringLiteral("150"), 10000);
        // Run to Cursor: the caret's line in the source pane.
        panel->SourcePane()->setCursorPosition(7, 0);
        QTest::keyClick(wnd, Qt::Key_F10, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("loop.pl"), 8), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Locals(), QStringLiteral("$done")), QStringLiteral("1"), 10000);
        panel->OnContinue();
    });
    QVERIFY(seen.bActed);
    QCOMPARE(seen.out, QByteArray("sum=15\n"));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 0."));
}

void TestDebugWindow::consoleRoutesAndTranscribes()
{
    using R = CDebugConsole::Route;
    CDebugConsole console(false);
    // With breakpoints the program runs first: its input is its own.
    QCOMPARE(console.RouteTypedLine(QStringLiteral("alpha")), R::Program);
    QCOMPARE(console.OnDebuggerText(QStringLiteral("main::(x.pl:4):\n4:\tmy $y = 2;")),
             QByteArray("main::(x.pl:4):\n4:\tmy $y = 2;\n"));
    // Words of the debugger before the first stop do not make it a prompt yet.
    QVERIFY(!console.AtPrompt());
    QCOMPARE(console.OnStopped(), QByteArray("  DB<1> "));
    // A second report of the same stop shows no second prompt.
    QCOMPARE(console.OnStopped(), QByteArray());
    QCOMPARE(console.RouteTypedLine(QStringLiteral("p $y")), R::Debugger);
    QCOMPARE(console.Echo(QStringLiteral("p $y")), QByteArray("p $y\n"));
    QCOMPARE(console.OnDebuggerText(QStringLiteral("2")), QByteArray("2\n"));
    QCOMPARE(console.OnStopped(), QByteArray("  DB<2> "));
    QCOMPARE(console.Echo(QStringLiteral("n")), QByteArray("n\n"));
    console.OnRunning();
    // Typed while the step runs: the program's.
    QCOMPARE(console.RouteTypedLine(QStringLiteral("beta")), R::Program);
    // The stop line is back: perl is at its prompt again, whatever the report still says.
    QCOMPARE(console.OnDebuggerText(QStringLiteral("main::(x.pl:5):\n")), QByteArray("main::(x.pl:5):\n"));
    QCOMPARE(console.RouteTypedLine(QStringLiteral("p 1")), R::Debugger);
    // A command sent before its prompt shows carries the prompt with it.
    QCOMPARE(console.Echo(QStringLiteral("c")), QByteArray("  DB<3> c\n"));
    QCOMPARE(console.PromptNumber(), 4);
    // Text after a shown prompt starts on a line of its own.
    QCOMPARE(console.OnStopped(), QByteArray("  DB<4> "));
    QCOMPARE(console.OnDebuggerText(QStringLiteral("Debugged program terminated.")),
             QByteArray("\nDebugged program terminated.\n"));
    console.OnEnded();
    QVERIFY(!console.AtPrompt());
    QCOMPARE(console.RouteTypedLine(QStringLiteral("q")), R::Nowhere);
    QCOMPARE(console.OnStopped(), QByteArray());

    // Without breakpoints: held until the first stop, in order.
    CDebugConsole first(true);
    QCOMPARE(first.RouteTypedLine(QStringLiteral("n")), R::Held);
    QCOMPARE(first.RouteTypedLine(QStringLiteral("p $x")), R::Held);
    QCOMPARE(first.OnStopped(), QByteArray("  DB<1> "));
    QCOMPARE(first.TakeHeld(), QStringLiteral("n"));
    QCOMPARE(first.TakeHeld(), QStringLiteral("p $x"));
    QVERIFY(!first.HasHeld());
    QCOMPARE(first.RouteTypedLine(QStringLiteral("s")), R::Debugger);
}

void TestDebugWindow::typedLineBeforeTheFirstStop_data()
{
    QTest::addColumn<bool>("breakpoints");
    QTest::addColumn<bool>("debuggers");
    // Without breakpoints the session stops at the first statement before the program
    // reads anything: the line is a command for that stop.
    QTest::newRow("no breakpoints: held for the debugger") << false << true;
    // With breakpoints the program runs from its start and may read its input first.
    QTest::newRow("breakpoints: the program's input") << true << false;
}

void TestDebugWindow::typedLineBeforeTheFirstStop()
{
    QFETCH(bool, breakpoints);
    QFETCH(bool, debuggers);
    CListHost host;
    if (breakpoints)
        host.AddBreakpoint(At(m_dir.filePath(QStringLiteral("any.pl")), 2));
    CDebugEngine engine;
    CDebugPanel panel(&engine, &host);
    QCOMPARE(panel.TakeTypedLine(QStringLiteral("n")), debuggers);
    // Nothing is stopped, so the command box sends nothing and says why.
    panel.CommandBox()->setText(QStringLiteral("p 1"));
    panel.OnCommandEntered();
    QCOMPARE(panel.CommandBox()->text(), QStringLiteral("p 1"));
    QVERIFY(panel.StateLabel()->text().contains(QStringLiteral("running")));
}

// Debug from the editor goes straight to the debug window: no message box comes first.
void TestDebugWindow::debugCommandShowsNoNotice()
{
    const QString path = Script(QStringLiteral("direct.pl"), "my $a = 1;\nprint \"$a\\n\";\n");
    CKestrelDoc doc;
    CKestrelView view(&doc);
    doc.SetView(&view);
    QVERIFY(doc.OnOpenDocument(path));
    QStringList boxes;
    bool window = false;
    std::function<void()> watch = [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                boxes << box->text();
                box->done(QMessageBox::Ok);
            }
        }
        if (COutputWindowDlg *wnd = OpenOutputWindow()) {
            window = QTest::qWaitFor([wnd] { return IsStoppedAt(CDebugRunHook::PanelOf(wnd), QStringLiteral("direct.pl"), 1); },
                                     30000);
            wnd->OnClose();
            return;
        }
        QTimer::singleShot(10, watch);
    };
    QTimer::singleShot(0, watch);
    QVERIFY(view.Commands().Execute(Cmd::ID_SCRIPT_DEBUG));
    QVERIFY(window);
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(QLatin1Char('\n'))));
}

// A long expression is read whole in Watches; the user's own width stays while the
// expressions do.
void TestDebugWindow::watchColumnShowsTheExpressionWhole()
{
    CDebugEngine engine;
    CDebugPanel panel(&engine, nullptr);
    panel.resize(1100, 700);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QString expression = QStringLiteral("scalar(keys %ENV) + length($0) * 2");
    auto *edit = panel.findChild<QLineEdit *>(QStringLiteral("edit_AddWatch"));
    edit->setText(expression);
    QTest::keyClick(edit, Qt::Key_Return);
    QTreeWidget *watches = panel.Watches();
    QCOMPARE(watches->topLevelItemCount(), 1);
    const QRect cell = watches->visualRect(watches->model()->index(0, 0));
    QVERIFY2(cell.width() >= watches->fontMetrics().horizontalAdvance(expression),
             qPrintable(QStringLiteral("column %1 px for %2 px of text")
                            .arg(cell.width())
                            .arg(watches->fontMetrics().horizontalAdvance(expression))));
    QCOMPARE(watches->header()->sectionResizeMode(0), QHeaderView::Interactive);
    // The user narrows it; the next stop's values leave it so.
    watches->setColumnWidth(0, 60);
    CDebugValue value;
    value.strName = expression;
    value.strValue = QStringLiteral("42");
    emit engine.watchesChanged({value});
    QCOMPARE(watches->topLevelItem(0)->text(1), QStringLiteral("42"));
    QCOMPARE(watches->columnWidth(0), 60);
}

// The watches of a script come back in its next session, from the IDE's settings, and
// nothing is written beside the script.
void TestDebugWindow::watchesAreKeptPerScript()
{
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/kestrel watches XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("kept.pl"));
    const QString other = folder.filePath(QStringLiteral("other.pl"));
    for (const QString &p : {path, other}) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1;\n");
    }
    const QStringList filesBefore = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    {
        CDebugEngine engine;
        CDebugPanel panel(&engine, nullptr);
        panel.SetScript(path);
        QVERIFY(panel.WatchExpressions().isEmpty());
        auto *edit = panel.findChild<QLineEdit *>(QStringLiteral("edit_AddWatch"));
        for (const char *e : {"$total", "scalar(@list)", "$h{'a/b'}"}) {
            edit->setText(QLatin1String(e));
            QTest::keyClick(edit, Qt::Key_Return);
        }
        // One removed: it does not come back.
        panel.Watches()->setCurrentItem(panel.Watches()->topLevelItem(1));
        panel.OnRemoveWatch();
    }
    const QStringList expected{QStringLiteral("$total"), QStringLiteral("$h{'a/b'}")};
    CDebugEngine engine;
    CDebugPanel again(&engine, nullptr);
    again.SetScript(path);
    QCOMPARE(again.WatchExpressions(), expected);
    QCOMPARE(again.Watches()->topLevelItemCount(), 2);
    CDebugPanel otherPanel(&engine, nullptr);
    otherPanel.SetScript(other);
    QVERIFY(otherPanel.WatchExpressions().isEmpty());
    QCOMPARE(QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).value(CDebugWatchStore::Key(path)).toStringList(),
             expected);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), filesBefore);
}

// Restart once the program has ended runs it again, with its breakpoints and watches;
// the next session of the script has the watches too.
void TestDebugWindow::restartAfterTheEnd()
{
    const QString path = Script(QStringLiteral("again.pl"),
                                "my $n = 6;\n"
                                "my $m = $n + 1;\n"
                                "print \"m=$m\\n\";\n"
                                "exit 3;\n");
    QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).remove(CDebugWatchStore::Key(path));
    CListHost host;
    host.AddBreakpoint(At(path, 2));
    const CSeen seen = Debug(path, &host, [&](COutputWindowDlg *wnd) {
        CDebugPanel *panel = CDebugRunHook::PanelOf(wnd);
        QAction *restart = panel->findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_DEBUG_RESTART));
        QVERIFY(restart);
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("again.pl"), 2), 30000);
        auto *edit = panel->findChild<QLineEdit *>(QStringLiteral("edit_AddWatch"));
        edit->setText(QStringLiteral("$n * 7"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Watches(), QStringLiteral("$n * 7")), QStringLiteral("42"), 10000);
        panel->OnContinue();
        QTRY_VERIFY_WITH_TIMEOUT(wnd->IsRunOver(), 30000);
        QCOMPARE(wnd->StatusLine()->text(), QStringLiteral("Process completed with exit code 3."));
        // Ended: Restart starts it again, to the same breakpoint, with the watch.
        QTRY_VERIFY_WITH_TIMEOUT(restart->isEnabled(), 10000);
        restart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("again.pl"), 2), 30000);
        QVERIFY(!wnd->IsRunOver());
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Watches(), QStringLiteral("$n * 7")), QStringLiteral("42"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(wnd->StdOutPane()->TextBytes() == "m=7\n", 10000);
        panel->OnContinue();
    });
    QVERIFY(seen.bActed);
    // Both runs wrote to the panes; the status is the second's.
    QCOMPARE(seen.out, QByteArray("m=7\nm=7\n"));
    QCOMPARE(seen.status, QStringLiteral("Process completed with exit code 3."));

    // The next session of the script: the watch is there at the first stop.
    const CSeen next = Debug(path, &host, [&](COutputWindowDlg *wnd) {
        CDebugPanel *panel = CDebugRunHook::PanelOf(wnd);
        QCOMPARE(panel->WatchExpressions(), QStringList{QStringLiteral("$n * 7")});
        QTRY_VERIFY_WITH_TIMEOUT(IsStoppedAt(panel, QStringLiteral("again.pl"), 2), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(ValueOf(panel->Watches(), QStringLiteral("$n * 7")), QStringLiteral("42"), 10000);
        panel->OnContinue();
    });
    QVERIFY(next.bActed);
}

// What the program wrote to standard error before a stop stands before the debugger's
// words and prompt of that stop, though it comes by a pipe and they by the debugger's
// own way, whichever arrives first.
void TestDebugWindow::programErrorsComeBeforeTheStop()
{
    const QString path = Script(QStringLiteral("order.pl"), "warn \"careful\\n\";\nmy $x = 1;\n");
    CDebugEngine engine;
    CRedirectPipe stdErr;
    QVERIFY(stdErr.Open());
    // The window reads the program's streams; this one's error stream is the test's pipe.
    CChildProcess program(QStringLiteral("/bin/true"), {});
    program.SetRedirection(nullptr, nullptr, &stdErr);
    COutputWindowDlg wnd;
    wnd.m_pProcess = &program;
    CDebugRunHook::AttachPanel(wnd, &engine, nullptr);
    wnd.OnInitDialog();
    // The program's warning is in the pipe when the debugger's stop is read.
    const QByteArray warning("careful at order.pl line 1.\n");
    QCOMPARE(::write(stdErr.GetWriteHandle(), warning.constData(), size_t(warning.size())), ssize_t(warning.size()));
    emit engine.debuggerText(QStringLiteral("main::(order.pl:2):\t my $x = 1;\n"));
    emit engine.stopped(path, 2);
    QCOMPARE(wnd.StdErrPane()->TextBytes(), warning + "main::(order.pl:2):\t my $x = 1;\n  DB<1> ");
}

QTEST_MAIN(TestDebugWindow)
#include "test_debugwindow.moc"
