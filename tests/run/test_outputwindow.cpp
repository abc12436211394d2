#include "run/ChildProcess.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "run/RedirectPipe.h"
#include "run/ScriptInputsDlg.h"
#include "run/SendInputDlg.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

#include <csignal>

namespace {

const QString kHelper = QStringLiteral(KESTREL_TEST_BIN_DIR "/childhelper");

// One run as the commands set it up: pipes, a child, its window, in the order that
// lets them end safely.
struct CWindowRun
{
    CRedirectPipe in, out, err;
    std::unique_ptr<COutputWindowDlg> wnd;
    std::unique_ptr<CChildProcess> child;

    bool Start(const QStringList &args, bool bTerminal = true)
    {
        if (!in.Open() || !(bTerminal ? out.OpenTerminal() : out.Open()) || !err.Open())
            return false;
        child = std::make_unique<CChildProcess>(kHelper, args);
        child->SetRedirection(&in, &out, &err);
        if (!child->Start())
            return false;
        wnd = std::make_unique<COutputWindowDlg>();
        wnd->m_pProcess = child.get();
        child->m_pListener = wnd.get();
        if (!child->Resume())
            return false;
        child->StartWaiter();
        wnd->OnInitDialog();
        wnd->show();
        return true;
    }
    bool WaitOver()
    {
        QSignalSpy spy(wnd.get(), &COutputWindowDlg::RunOver);
        return wnd->IsRunOver() || spy.wait(60000);
    }
    ~CWindowRun()
    {
        if (wnd)
            wnd->OnClose();
        child.reset();
        wnd.reset();
    }
};

void AnswerMessageBox(QString *text)
{
    QTimer::singleShot(10, [text] {
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

} // namespace

class TestOutputWindow : public QObject
{
    Q_OBJECT

private slots:
    void bothStreamsAndExitCode_data();
    void bothStreamsAndExitCode();
    void everythingArrives_data();
    void everythingArrives();
    void appendsAtEndDespiteSelection();
    void followsOnlyAtBottom();
    void refresh();
    void sendInputAndEof();
    void sendInputAfterEnd();
    void closeKillsRunningChild();
    void escapeAndCloseBoxEndTheRun_data();
    void escapeAndCloseBoxEndTheRun();
    void modalFromItsFirstShowing();
    void crashShownAsTerminated();
    void layout_data();
    void layout();
    void capNotesDroppedOutput();
    void viewInputs();
};

void TestOutputWindow::bothStreamsAndExitCode_data()
{
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("code");
    QTest::newRow("both streams, exit 3") << "hello out\n" << "hello err\n" << 3;
    QTest::newRow("nothing printed, exit 0") << "" << "" << 0;
}

void TestOutputWindow::bothStreamsAndExitCode()
{
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, code);
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("both"), out, err, QString::number(code)}));
    QVERIFY(run.WaitOver());
    QCOMPARE(run.wnd->StdOutPane()->TextBytes(), out.toUtf8());
    QCOMPARE(run.wnd->StdErrPane()->TextBytes(), err.toUtf8());
    QCOMPARE(run.wnd->StatusLine()->text(), QStringLiteral("Process completed with exit code %1.").arg(code));
}

void TestOutputWindow::everythingArrives_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QByteArray>("expected");
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(char(i));
    QTest::newRow("binary bytes through a pipe") << QStringList{"binary"} << false << binary;
    QTest::newRow("binary bytes through the terminal") << QStringList{"binary"} << true << binary;
    QTest::newRow("10 MB line without a line end") << QStringList{"longline", "10000000"} << true
                                                  << QByteArray(10000000, 'x');
}

void TestOutputWindow::everythingArrives()
{
    QFETCH(QStringList, args);
    QFETCH(bool, terminal);
    QFETCH(QByteArray, expected);
    CWindowRun run;
    QVERIFY(run.Start(args, terminal));
    QVERIFY(run.WaitOver());
    QByteArray got = run.wnd->StdOutPane()->TextBytes();
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    QCOMPARE(run.wnd->StatusLine()->text(), QStringLiteral("Process completed with exit code 0."));
}

void TestOutputWindow::appendsAtEndDespiteSelection()
{
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("echo")}));
    run.in.Write("first line\n");
    QTRY_COMPARE(run.wnd->StdOutPane()->TextBytes(), QByteArray("first line\n"));
    run.wnd->StdOutPane()->setSelection(0, 0, 0, 5);
    run.in.Write("second line\n");
    run.in.Close();
    QVERIFY(run.WaitOver());
    QCOMPARE(run.wnd->StdOutPane()->TextBytes(), QByteArray("first line\nsecond line\n<EOF>\n"));
}

void TestOutputWindow::followsOnlyAtBottom()
{
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("echo")}));
    COutputPane *pane = run.wnd->StdOutPane();
    QByteArray lines;
    for (int i = 0; i < 200; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    run.in.Write(lines);
    QTRY_COMPARE(pane->TextBytes().size(), lines.size());
    QVERIFY(pane->IsAtBottom());
    // The user scrolls up: new output must not take the view away.
    pane->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, 10L);
    run.in.Write(lines);
    QTRY_COMPARE(pane->TextBytes().size(), 2 * lines.size());
    QCOMPARE(pane->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE), 10L);
    run.in.Close();
    QVERIFY(run.WaitOver());
}

void TestOutputWindow::refresh()
{
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("echo")}));
    run.wnd->findChild<QAction *>(QStringLiteral("action_33014"))->trigger();
    QCOMPARE(run.wnd->StatusLine()->text(), QStringLiteral("Process is still active."));
    run.in.Close();
    QVERIFY(run.WaitOver());
    // The end is added beside what Refresh left there; Refresh then replaces the line.
    QCOMPARE(run.wnd->StatusLine()->text(),
             QStringLiteral("Process is still active.Process completed with exit code 0."));
    run.wnd->OnRefresh();
    QCOMPARE(run.wnd->StatusLine()->text(), QStringLiteral("Process completed with exit code 0."));
}

void TestOutputWindow::sendInputAndEof()
{
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("echo")}));
    run.wnd->findChild<QAction *>(QStringLiteral("action_33015"))->trigger();
    CSendInputDlg *send = run.wnd->m_pDlgSend;
    QVERIFY(send->isVisible());
    auto *edit = send->findChild<QLineEdit *>(QStringLiteral("edit_1081"));
    QTest::keyClicks(edit, QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(run.wnd->StdOutPane()->TextBytes(), QByteArray("abc\n"));
    send->findChild<QPushButton *>(QStringLiteral("button_1065"))->click();
    QVERIFY(run.WaitOver());
    QCOMPARE(run.wnd->StdOutPane()->TextBytes(), QByteArray("abc\n<EOF>\n"));
}

void TestOutputWindow::sendInputAfterEnd()
{
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("both"), QString(), QString(), QStringLiteral("0")}));
    QVERIFY(run.WaitOver());
    QString text;
    AnswerMessageBox(&text);
    run.wnd->OnSendInput();
    QCOMPARE(text, QStringLiteral("Completed script cannot receive inputs."));
    QVERIFY(!run.wnd->m_pDlgSend->isVisible());
}

void TestOutputWindow::closeKillsRunningChild()
{
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("hang")}));
    // A child that never reads its input must not hold the window up.
    run.in.Write(QByteArray(4 * 1024 * 1024, 'q'));
    pid_t pid = run.child->ProcessId();
    run.wnd->findChild<QAction *>(QStringLiteral("action_32992"))->trigger();
    QVERIFY(!run.wnd->isVisible());
    QTRY_VERIFY(run.child->HasEnded());
    QVERIFY(run.child->WasKilled());
    QCOMPARE(::kill(pid, 0), -1);
}

// Escape from wherever the focus is, and the close box, do what Close does.
void TestOutputWindow::escapeAndCloseBoxEndTheRun_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("Escape in the output pane") << QStringLiteral("edit_1005");
    QTest::newRow("Escape in the error pane") << QStringLiteral("edit_1006");
    QTest::newRow("Escape in the status line") << QStringLiteral("edit_1066");
    QTest::newRow("close box") << QString();
}

void TestOutputWindow::escapeAndCloseBoxEndTheRun()
{
    QFETCH(QString, focus);
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("hang")}));
    pid_t pid = run.child->ProcessId();
    if (focus.isEmpty()) {
        QVERIFY(run.wnd->close());
    } else {
        auto *target = run.wnd->findChild<QWidget *>(focus);
        QVERIFY(target);
        run.wnd->activateWindow();
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(target, Qt::Key_Escape);
    }
    QVERIFY(!run.wnd->isVisible());
    QTRY_VERIFY(run.child->HasEnded());
    QVERIFY(run.child->WasKilled());
    QCOMPARE(::kill(pid, 0), -1);
}

// The window of a run is modal as soon as it shows, as the commands show it: the
// main window takes no input while it is open.
void TestOutputWindow::modalFromItsFirstShowing()
{
    QWidget mainWindow;
    auto *edit = new QLineEdit(&mainWindow);
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    edit->setFocus();

    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    // The window outlives the child, whose waiter thread tells the window of its end.
    COutputWindowDlg wnd(&mainWindow);
    CChildProcess child(kHelper, {QStringLiteral("hang")});
    child.SetRedirection(&in, &out, &err);
    QVERIFY(child.Start());
    wnd.m_pProcess = &child;
    child.m_pListener = &wnd;
    QVERIFY(child.Resume());
    child.StartWaiter();

    QWidget *activeModal = nullptr;
    bool bModal = false;
    Qt::WindowModality modality = Qt::NonModal;
    QTimer::singleShot(0, &wnd, [&] {
        activeModal = QApplication::activeModalWidget();
        bModal = wnd.isModal();
        modality = wnd.windowModality();
        // Typed into the main window, through the window system, while the run's window
        // is open.
        for (char c : {'r', 'u', 'n'})
            QTest::keyClick(mainWindow.windowHandle(), c);
        wnd.findChild<QAction *>(QStringLiteral("action_32992"))->trigger();
    });
    wnd.DoModal();
    QCOMPARE(activeModal, &wnd);
    QVERIFY(bModal);
    QCOMPARE(modality, Qt::ApplicationModal);
    QCOMPARE(edit->text(), QString());
    QTRY_VERIFY(child.HasEnded());
    QVERIFY(child.WasKilled());
}

void TestOutputWindow::crashShownAsTerminated()
{
    CWindowRun run;
    QVERIFY(run.Start({QStringLiteral("crash")}));
    QVERIFY(run.WaitOver());
    QVERIFY(run.wnd->StatusLine()->text().startsWith(QStringLiteral("Process was terminated by signal 11")));
}

void TestOutputWindow::layout_data()
{
    QTest::addColumn<int>("cx");
    QTest::addColumn<int>("cy");
    QTest::addColumn<QRect>("out");
    QTest::addColumn<QRect>("err");
    QTest::addColumn<QRect>("status");
    QTest::newRow("client height 64") << 200 << 64 << QRect(1, 1, 199, 25) << QRect(1, 28, 199, 14)
                                      << QRect(1, 42, 199, 20);
    QTest::newRow("client 600 x 424") << 600 << 424 << QRect(1, 10, 599, 250) << QRect(1, 262, 599, 140)
                                      << QRect(1, 402, 599, 20);
}

void TestOutputWindow::layout()
{
    QFETCH(int, cx);
    QFETCH(int, cy);
    QFETCH(QRect, out);
    QFETCH(QRect, err);
    QFETCH(QRect, status);
    COutputWindowDlg::Layout l = COutputWindowDlg::LayoutFor(cx, cy);
    QCOMPARE(l.stdOut, out);
    QCOMPARE(l.stdErr, err);
    QCOMPARE(l.status, status);

    COutputWindowDlg wnd;
    wnd.show();
    QWidget *client = wnd.findChild<QWidget *>(QStringLiteral("Client"));
    wnd.resize(wnd.width() + 50, wnd.height() + 40);
    QTRY_COMPARE(wnd.StdOutPane()->geometry(), COutputWindowDlg::LayoutFor(client->width(), client->height()).stdOut);
    QCOMPARE(wnd.StatusLine()->geometry(), COutputWindowDlg::LayoutFor(client->width(), client->height()).status);
}

void TestOutputWindow::capNotesDroppedOutput()
{
    COutputPane pane;
    pane.SetMaxBytes(1000);
    QByteArray all;
    for (int i = 0; i < 300; ++i) {
        QByteArray line = "line " + QByteArray::number(i) + '\n';
        all += line;
        pane.AppendBytes(line);
    }
    QByteArray text = pane.TextBytes();
    QVERIFY(text.size() <= 1000 + 100);
    QVERIFY(pane.DroppedBytes() > 0);
    QVERIFY(text.startsWith("[" + QByteArray::number(pane.DroppedBytes()) + " bytes of earlier output were removed"));
    // What is kept is the end of the output, whole lines, in order.
    QByteArray kept = text.mid(text.indexOf('\n') + 1);
    QVERIFY(all.endsWith(kept));
    QCOMPARE(qint64(all.size() - kept.size()), pane.DroppedBytes());
}

void TestOutputWindow::viewInputs()
{
    COutputWindowDlg wnd;
    wnd.m_pDlgInputs->m_strInputs = QStringLiteral("the run's input");
    QTimer::singleShot(0, &wnd, [&wnd] {
        QVERIFY(wnd.m_pDlgInputs->isVisible());
        QCOMPARE(wnd.m_pDlgInputs->windowTitle(), QStringLiteral("View script input"));
        wnd.m_pDlgInputs->findChild<QPushButton *>(QStringLiteral("button_1"))->click();
    });
    wnd.OnViewInputs();
    QCOMPARE(wnd.m_pDlgInputs->m_strInputs, QStringLiteral("the run's input"));
    QVERIFY(wnd.m_pDlgInputs->m_strMethod.isEmpty());
}

QTEST_MAIN(TestOutputWindow)
#include "test_outputwindow.moc"
