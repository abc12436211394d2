#include "OutputWindowWatch.h"
#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/BreakpointMarkers.h"
#include "perl/CheckCommands.h"
#include "editor/KestrelView.h"
#include "editor/MessageMarkers.h"
#include "framework/CommandIds.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "perl/ScriptCheck.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QInputDialog>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <functional>
#include <memory>

namespace {

int CaretLine(CKestrelView &view)
{
    int line = 0, index = 0;
    view.getCursorPosition(&line, &index);
    return line + 1;
}

} // namespace

// The marks of messages in the editor: after a run, after a save, after Critique.
class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void runThatDiesMarksItsLines();
    void doubleClickOpensAnotherFile();
    void checkOnSaveMarksAndClears();
    void checkOnSaveCanBeSwitchedOff();
    void typingGoesOnWhileASlowCheckRuns();
    void newerSaveDropsTheRunningCheck();
    void critiqueWithTheUsersProfile();
    void goToLine();
    void marksMoveWithTheirLines();
    void marginTellsBreakpointsAndMessagesApart();

private:
    QString Script(const QString &name, const QByteArray &text);
    void Open(const QString &path);
    bool WaitForCheck(const char *what);

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel marks XXXXXX")};
    std::unique_ptr<CKestrelDoc> m_upDoc;
    std::unique_ptr<CKestrelView> m_upView;
};

void TestMessages::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_settings = CSettings();
    g_settings.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QVERIFY(!g_settings.LOCAL_PERL_EXE.isEmpty());
}

void TestMessages::init()
{
    QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).clear();
    m_upDoc = std::make_unique<CKestrelDoc>();
    m_upView = std::make_unique<CKestrelView>(m_upDoc.get());
    m_upDoc->SetView(m_upView.get());
    m_upView->resize(600, 400);
    m_upView->show();
}

void TestMessages::cleanup()
{
    m_upView.reset();
    m_upDoc.reset();
}

QString TestMessages::Script(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

void TestMessages::Open(const QString &path)
{
    QVERIFY(m_upDoc->OnOpenDocument(path));
    m_upView->OnInitialUpdate();
}

bool TestMessages::WaitForCheck(const char *what)
{
    CCheckCommands *checks = CCheckCommands::Of(m_upView.get());
    CScriptCheck *check = QByteArray(what) == "critique" ? checks->CritiqueCheck() : checks->SyntaxCheck();
    if (!check->IsRunning())
        return true;
    QSignalSpy spy(checks, &CCheckCommands::CheckDone);
    return spy.wait(60000);
}

void TestMessages::runThatDiesMarksItsLines()
{
    const QString path = Script(QStringLiteral("run dies.pl"),
                                "use warnings;\nmy $u;\nprint 1 + $u, \"\\n\";\n\n\nwarn \"late\";\n\n\ndie \"Stop here\";\n");
    Open(path);
    CCheckCommands::SetCheckOnSave(false);
    WhenRunIsOver([](COutputWindowDlg *wnd) {
        // The die, on the pane's third line.
        COutputPane *pane = wnd->StdErrPane();
        const long start = pane->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 2);
        QPoint at(int(pane->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, start + 1)),
                  int(pane->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, start + 1)) + 3);
        QTest::mouseDClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    });
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_SCRIPT_RUN));
    QVERIFY(!OpenOutputWindow());
    // The double-click put the caret on the die's line.
    QCOMPARE(CaretLine(*m_upView), 9);
    CMessageMarkers *marks = m_upView->Markers();
    QCOMPARE(marks->MarkedLines(), (QList<int>{2, 5, 8}));
    QVERIFY(!marks->HasError(2));
    QVERIFY(!marks->HasError(5));
    QVERIFY(marks->HasError(8));
    QVERIFY(marks->MessagesAt(8).startsWith(QStringLiteral("Stop here at ")));
    QVERIFY(m_upView->annotation(8).startsWith(QStringLiteral("Stop here at ")));
    QVERIFY(marks->MessagesAt(5).startsWith(QStringLiteral("late at ")));
    // F4 goes down and round, Shift+F4 up and round.
    QList<int> order;
    for (int i = 0; i < 4; ++i) {
        QVERIFY(m_upView->Commands().Execute(Cmd::ID_NEXT_MESSAGE));
        order << CaretLine(*m_upView);
    }
    QCOMPARE(order, (QList<int>{3, 6, 9, 3}));
    order.clear();
    for (int i = 0; i < 3; ++i) {
        QVERIFY(m_upView->Commands().Execute(Cmd::ID_PREV_MESSAGE));
        order << CaretLine(*m_upView);
    }
    QCOMPARE(order, (QList<int>{9, 6, 3}));
    // The next run replaces the marks.
    Script(QStringLiteral("run dies.pl"), "print 1;\n");
    Open(path);
    WhenRunIsOver([](COutputWindowDlg *) {});
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_SCRIPT_RUN));
    QVERIFY(marks->MarkedLines().isEmpty());
}

void TestMessages::doubleClickOpensAnotherFile()
{
    Script(QStringLiteral("other/lib/Deep.pm"), "package Deep;\n\nsub f {\n    die \"from the module\";\n}\n1;\n");
    const QString path = Script(QStringLiteral("other/main.pl"), "use lib 'lib';\nuse Deep;\nDeep::f();\n");
    Open(path);
    CCheckCommands::SetCheckOnSave(false);
    m_upView->SetTextBytes("use lib 'lib';\nuse Deep;\nDeep::f();\n# edited\n", true);
    m_upDoc->SetModifiedFlag(true);
    WhenRunIsOver([](COutputWindowDlg *wnd) {
        COutputPane *pane = wnd->StdErrPane();
        pane->setFocus();
        pane->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 3L);
        QTest::keyClick(pane, Qt::Key_Return);
    });
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_SCRIPT_RUN));
    // The run saved the script, so no question came; the module is open at the die.
    QCOMPARE(QFileInfo(m_upDoc->GetPathName()).fileName(), QStringLiteral("Deep.pm"));
    QCOMPARE(CaretLine(*m_upView), 4);
    QCOMPARE(m_upView->Markers()->MarkedLines(), QList<int>{3});
    QVERIFY(m_upView->Markers()->HasError(3));
}

void TestMessages::checkOnSaveMarksAndClears()
{
    const QString path = Script(QStringLiteral("check.pl"), "use strict;\nprint 1;\n");
    Open(path);
    QSignalSpy status(m_upView.get(), &CKestrelView::StatusMessage);
    m_upView->SetTextBytes("use strict;\nuse warnings;\nmy $z = 1;\nmy $z = 2;\nmy $x = 1\nprint $x;\n", true);
    QVERIFY(m_upDoc->OnFileSave());
    QVERIFY(CCheckCommands::Of(m_upView.get())->SyntaxCheck()->IsRunning());
    QVERIFY(WaitForCheck("syntax"));
    CMessageMarkers *marks = m_upView->Markers();
    QCOMPARE(marks->MarkedLines(), (QList<int>{3, 5}));
    QVERIFY(!marks->HasError(3));
    QVERIFY(marks->HasError(5));
    QCOMPARE(status.last().first().toString(), QStringLiteral("Syntax check: 2 errors, 1 warning"));
    QVERIFY(!status.isEmpty());
    QVERIFY2(status.last().first().toString().contains(QStringLiteral("error")),
             qPrintable(status.last().first().toString()));
    // Mended: the marks go, and the status bar says so.
    m_upView->SetTextBytes("use strict;\nuse warnings;\nmy $x = 1;\nprint $x;\n", true);
    QVERIFY(m_upDoc->OnFileSave());
    QVERIFY(WaitForCheck("syntax"));
    QVERIFY(marks->MarkedLines().isEmpty());
    QCOMPARE(status.last().first().toString(), QStringLiteral("syntax OK"));
}

void TestMessages::checkOnSaveCanBeSwitchedOff()
{
    const QString path = Script(QStringLiteral("off.pl"), "print 1;\n");
    Open(path);
    CCmdUI ui;
    ui.nId = Cmd::ID_SCRIPT_CHECK_ON_SAVE;
    QVERIFY(m_upView->Commands().Update(ui));
    QVERIFY(ui.bChecked);
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_SCRIPT_CHECK_ON_SAVE));
    QVERIFY(m_upView->Commands().Update(ui));
    QVERIFY(!ui.bChecked);
    QCOMPARE(QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).value(CCheckCommands::kCheckOnSaveKey).toBool(),
             false);
    m_upView->SetTextBytes("print 1\nprint 2;\n", true);
    QVERIFY(m_upDoc->OnFileSave());
    QVERIFY(!CCheckCommands::Of(m_upView.get())->SyntaxCheck()->IsRunning());
    // Not a Perl file: nothing to check either.
    QVERIFY(!CCheckCommands::IsPerlPath(QStringLiteral("/x/Hello.java")));
    QVERIFY(CCheckCommands::IsPerlPath(QStringLiteral("/x/Mod.pm")));
}

void TestMessages::typingGoesOnWhileASlowCheckRuns()
{
    const QString path = Script(QStringLiteral("slow.pl"), "BEGIN { sleep 5 }\nprint 1;\n");
    Open(path);
    QVERIFY(m_upDoc->OnFileSave());
    CScriptCheck *check = CCheckCommands::Of(m_upView.get())->SyntaxCheck();
    QVERIFY(check->IsRunning());
    m_upView->setFocus();
    m_upView->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    // Keys typed while perl sleeps reach the text at once, and timers keep firing.
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(10);
    QTest::keyClicks(m_upView.get(), "# typed");
    QVERIFY(m_upView->GetTextBytes().endsWith("# typed"));
    QTRY_VERIFY(ticks >= 5);
    QVERIFY(check->IsRunning());
    QVERIFY(WaitForCheck("syntax"));
}

void TestMessages::newerSaveDropsTheRunningCheck()
{
    const QString path = Script(QStringLiteral("drop.pl"), "BEGIN { sleep 30 }\nprint 1\nprint 2;\n");
    Open(path);
    QVERIFY(m_upDoc->OnFileSave());
    CScriptCheck *check = CCheckCommands::Of(m_upView.get())->SyntaxCheck();
    QVERIFY(check->IsRunning());
    QSignalSpy status(m_upView.get(), &CKestrelView::StatusMessage);
    m_upView->SetTextBytes("print 1;\n", true);
    QVERIFY(m_upDoc->OnFileSave());
    QVERIFY(WaitForCheck("syntax"));
    // Only the second check reported, long before the first one's sleep would end.
    QStringList said;
    for (const QList<QVariant> &args : status)
        said << args.first().toString();
    QCOMPARE(said, (QStringList{"Checking the syntax of drop.pl...", "syntax OK"}));
}

void TestMessages::critiqueWithTheUsersProfile()
{
    if (QStandardPaths::findExecutable(QStringLiteral("perlcritic")).isEmpty())
        QFAIL("perlcritic is not installed: install the Debian package libperl-critic-perl");
    // The user's profile turns one policy off.
    QFile rc(QDir::home().filePath(QStringLiteral(".perlcriticrc")));
    QVERIFY(rc.open(QIODevice::WriteOnly));
    rc.write("[-InputOutput::ProhibitTwoArgOpen]\n");
    rc.close();
    const QString path = Script(QStringLiteral("critic.pl"), "print 1;\n");
    Open(path);
    CCheckCommands::SetCheckOnSave(false);
    // Unsaved text is what is critiqued.
    m_upView->SetTextBytes("use strict;\nuse warnings;\nopen(FH, \"<x\");\nprint 1;\n", true);
    CCheckCommands::Of(m_upView.get())->Critique(5);
    QVERIFY(WaitForCheck("critique"));
    rc.remove();
    CMessageMarkers *marks = m_upView->Markers();
    QCOMPARE(marks->MarkedLines(), QList<int>{2});
    const QString tip = marks->MessagesAt(2);
    QVERIFY2(tip.contains(QStringLiteral("[InputOutput::ProhibitBarewordFileHandles] Bareword file handle opened. "
                                         "See pages 202,204 of PBP")),
             qPrintable(tip));
    QVERIFY2(!tip.contains(QStringLiteral("ProhibitTwoArgOpen")), qPrintable(tip));
    QVERIFY(!marks->HasError(2));

    // The severity the user picks is remembered.
    QTimer::singleShot(50, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dlg = qobject_cast<QInputDialog *>(w); dlg && dlg->isVisible()) {
                dlg->setTextValue(dlg->comboBoxItems().value(2));
                dlg->accept();
            }
    });
    CCheckCommands::Of(m_upView.get())->OnCritique();
    QVERIFY(WaitForCheck("critique"));
    QCOMPARE(CCheckCommands::CritiqueSeverity(), 3);
    QVERIFY(marks->MessagesAt(2).contains(QStringLiteral("RequireCheckedOpen")));
}

void TestMessages::goToLine()
{
    const QString path = Script(QStringLiteral("goto.pl"), QByteArray("print 1;\n").repeated(50));
    Open(path);
    QTimer::singleShot(50, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dlg = qobject_cast<QInputDialog *>(w); dlg && dlg->isVisible()) {
                dlg->setIntValue(37);
                dlg->accept();
            }
    });
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_EDIT_GO_TO_LINE));
    QCOMPARE(CaretLine(*m_upView), 37);
    QCOMPARE(g_nCurLine, 37);
    m_upView->GoToLine(500);
    QCOMPARE(CaretLine(*m_upView), 51);
}

void TestMessages::marksMoveWithTheirLines()
{
    const QString path = Script(QStringLiteral("move.pl"), "a;\nb;\nc;\n");
    Open(path);
    CFileLineMessage m;
    m.strFile = m.strPath = path;
    m.nLine = 3;
    m.nSeverity = CFileLineMessage::Error;
    m.strText = QStringLiteral("syntax error at move.pl line 3, near \"c\"");
    m_upView->Markers()->Show({m});
    QCOMPARE(m_upView->Markers()->MarkedLines(), QList<int>{2});
    m_upView->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0L);
    m_upView->SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 4UL, "x;\n\n");
    QCOMPARE(m_upView->Markers()->MarkedLines(), QList<int>{4});
    QCOMPARE(m_upView->Markers()->MessagesAt(4), m.strText);
    QCOMPARE(m_upView->annotation(4), m.strText);
    // The mark's tooltip, over the symbol margin.
    const long lineStart = m_upView->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 4L);
    const QPoint over(m_upView->marginWidth(0) + m_upView->marginWidth(CMessageMarkers::kSymbolMargin) / 2,
                      int(m_upView->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, lineStart)) + 3);
    QHelpEvent help(QEvent::ToolTip, over, m_upView->viewport()->mapToGlobal(over));
    QApplication::sendEvent(m_upView->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), m.strText);
    // Another document takes them away.
    Open(path);
    QVERIFY(m_upView->Markers()->MarkedLines().isEmpty());
}

// A breakpoint, an error, a warning and a breakpoint with an error on one line look
// different in the margin, at the screen's pixel ratio (the test also runs at 2x): the
// breakpoint is a red dot, a message an orange or yellow triangle, and a line with both
// shows both whole.
void TestMessages::marginTellsBreakpointsAndMessagesApart()
{
    const QString path = Script(QStringLiteral("marks.pl"), "a();\nb();\nc();\nd();\ne();\n");
    Open(path);
    auto message = [&](int nLine, CFileLineMessage::Severity severity) {
        CFileLineMessage m;
        m.strFile = m.strPath = path;
        m.nLine = nLine;
        m.nSeverity = severity;
        m.strText = QStringLiteral("something at marks.pl line %1.").arg(nLine);
        return m;
    };
    m_upView->Breakpoints()->Toggle(0);
    m_upView->Breakpoints()->Toggle(2);
    m_upView->Markers()->Show({message(2, CFileLineMessage::Error), message(3, CFileLineMessage::Error),
                               message(4, CFileLineMessage::Warning)});
    QVERIFY(QTest::qWaitForWindowExposed(m_upView.get()));
    const QImage image = m_upView->viewport()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    int marginsRight = 0;
    for (int margin = 0; margin < m_upView->margins(); ++margin)
        marginsRight += m_upView->marginWidth(margin);
    struct CCount
    {
        int red = 0;
        int amber = 0;
    };
    // The pixels of the breakpoint's red and of the triangles' orange and yellow in the
    // margins (the line numbers left out) beside a line (0-based).
    auto count = [&](int nLine) {
        const long pos = m_upView->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, long(nLine));
        const int top = int(m_upView->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, pos));
        const int height = int(m_upView->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, long(nLine)));
        CCount c;
        for (int y = qRound(top * ratio); y < qRound((top + height) * ratio); ++y) {
            for (int x = qRound(m_upView->marginWidth(0) * ratio); x < qRound(marginsRight * ratio); ++x) {
                const QColor px = image.pixelColor(x, y);
                // The dot's red has as much blue as green; the orange has none.
                if (px.red() >= 170 && px.green() <= 90 && px.blue() <= 90 && qAbs(px.green() - px.blue()) <= 24)
                    ++c.red;
                else if (px.red() >= 200 && px.green() >= 100 && px.blue() <= 90)
                    ++c.amber;
            }
        }
        return c;
    };
    const CCount breakpoint = count(0), error = count(1), both = count(2), warning = count(3), none = count(4);
    const QString seen = QStringLiteral("red/amber: breakpoint %1/%2, error %3/%4, both %5/%6, warning %7/%8, none %9/%10")
                             .arg(breakpoint.red).arg(breakpoint.amber).arg(error.red).arg(error.amber)
                             .arg(both.red).arg(both.amber).arg(warning.red).arg(warning.amber)
                             .arg(none.red).arg(none.amber);
    const int enough = qRound(20 * ratio * ratio);
    QVERIFY2(breakpoint.red >= enough && breakpoint.amber == 0, qPrintable(seen));
    QVERIFY2(error.amber >= enough && error.red == 0, qPrintable(seen));
    QVERIFY2(warning.amber >= enough && warning.red == 0, qPrintable(seen));
    QVERIFY2(none.red == 0 && none.amber == 0, qPrintable(seen));
    // Neither covers the other.
    QVERIFY2(both.red >= breakpoint.red * 9 / 10 && both.amber >= error.amber * 9 / 10, qPrintable(seen));
}

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
