// The keys that close a dialog over the editor stay in the dialog: Enter pressed in Go To
// Line, the lists and the input boxes leaves the script as it was (the Enter is released
// over the editor once the dialog has gone). And the status bar follows the caret to
// wherever a command puts it.
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "editor/LanguageAidCommands.h"
#include "framework/CommandIds.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

extern QString g_strProgramDir;

using CPrepare = std::function<void(QWidget *)>;
using CMove = std::function<void(CKestrelView *)>;
Q_DECLARE_METATYPE(CPrepare)
Q_DECLARE_METATYPE(CMove)

namespace {

// Thirty lines: a block opens on the lines above the places the dialogs jump to, where
// an indentation for a new line would go in.
QByteArray Script()
{
    QByteArray text;
    for (int i = 1; i <= 30; ++i) {
        if (i == 9)
            text += "if ($x) {\n";
        else if (i == 10)
            text += "    sub ten { return 10; }\n";
        else if (i == 23)
            text += "    if ($x) {\n";
        else if (i == 24)
            text += "        print $x;\n";
        else if (i == 25)
            text += "    }\n";
        else
            text += "    my $v" + QByteArray::number(i) + " = " + QByteArray::number(i) + ";\n";
    }
    return text;
}

QWidget *VisibleWindowOfClass(const QByteArray &className)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && className == w->metaObject()->className())
            return w;
    }
    return nullptr;
}

QString PaneText(int line, int col) { return QString::asprintf("Line = %3d, Col=%3d", line, col); }

} // namespace

class TestDialogKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void enterThatClosesADialogLeavesTheText_data();
    void enterThatClosesADialogLeavesTheText();
    void statusFollowsEveryCaretMove_data();
    void statusFollowsEveryCaretMove();

private:
    // The caret's line and column as the status bar shows them.
    QString CaretPane() const;

    QTemporaryDir m_dir;
    QString m_strScript;
    CMainFrame *m_pFrame = nullptr;
};

void TestDialogKeys::initTestCase()
{
    // The functions window reads its catalogue from the program's folder.
    g_strProgramDir = m_dir.path() + QLatin1Char('/');
    QFile fnl(m_dir.filePath(QStringLiteral("KESTREL.FNL")));
    QVERIFY(fnl.open(QIODevice::WriteOnly));
    fnl.write("abs,Absolute value,abs($x)\n");
    fnl.close();
    m_strScript = m_dir.filePath(QStringLiteral("script.pl"));
    QFile script(m_strScript);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(Script());
}

void TestDialogKeys::init()
{
    g_settings = CSettings();
    g_settings.TAB_SIZE = QStringLiteral("4");
    g_settings.TAB_EXPAND = QStringLiteral("Y");
    g_settings.AUTO_INDENT = 1;
    m_pFrame = new CMainFrame;
    QVERIFY(m_pFrame->GetDocument()->OnOpenDocument(m_strScript));
    m_pFrame->GetActiveView()->OnInitialUpdate();
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame));
    m_pFrame->activateWindow();
    m_pFrame->GetActiveView()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_pFrame->GetActiveView());
}

void TestDialogKeys::cleanup()
{
    m_pFrame->GetDocument()->SetModifiedFlag(false);
    delete m_pFrame;
    m_pFrame = nullptr;
}

QString TestDialogKeys::CaretPane() const
{
    CKestrelView *view = m_pFrame->GetActiveView();
    int line = 0, index = 0;
    view->getCursorPosition(&line, &index);
    return PaneText(line + 1, index + 1);
}

void TestDialogKeys::enterThatClosesADialogLeavesTheText_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("dialogClass");
    QTest::addColumn<CPrepare>("prepare");
    QTest::addColumn<QByteArray>("inserted");

    QTest::newRow("Go To Line") << int(Cmd::ID_EDIT_GO_TO_LINE) << QByteArray("QInputDialog")
                                << CPrepare([](QWidget *dlg) {
                                       auto *spin = dlg->findChild<QSpinBox *>();
                                       QVERIFY(spin);
                                       spin->selectAll();
                                       QTest::keyClicks(spin, QStringLiteral("24"));
                                   })
                                << QByteArray();
    QTest::newRow("View > Subs") << int(Cmd::ID_VIEW_SUBS) << QByteArray("CSubListDlg") << CPrepare() << QByteArray();
    QTest::newRow("View > Variables > Scalars")
        << int(Cmd::ID_VIEW_SCALARS) << QByteArray("CVariableListDlg") << CPrepare([](QWidget *dlg) {
               auto *list = dlg->findChild<QAbstractItemView *>(QStringLiteral("list_1002"));
               QVERIFY(list);
               // The last row: a variable below the block's first line.
               list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
           })
        << QByteArray();
    QTest::newRow("View > Functions") << int(Cmd::ID_VIEW_FUNCTIONS) << QByteArray("CFunctionListDlg")
                                      << CPrepare([](QWidget *dlg) {
                                             auto *list = dlg->findChild<QAbstractItemView *>(QStringLiteral("list_1067"));
                                             QVERIFY(list);
                                             QCOMPARE(list->model()->rowCount(), 1);
                                             list->setCurrentIndex(list->model()->index(0, 0));
                                         })
                                      << QByteArray("abs($x)\n");
    QTest::newRow("a breakpoint's condition") << int(Cmd::ID_DEBUG_CONDITIONAL_BREAKPOINT) << QByteArray("QInputDialog")
                                              << CPrepare([](QWidget *dlg) {
                                                     auto *edit = dlg->findChild<QLineEdit *>();
                                                     QVERIFY(edit);
                                                     QTest::keyClicks(edit, QStringLiteral("$x > 1"));
                                                 })
                                              << QByteArray();
}

void TestDialogKeys::enterThatClosesADialogLeavesTheText()
{
    QFETCH(int, command);
    QFETCH(QByteArray, dialogClass);
    QFETCH(CPrepare, prepare);
    QFETCH(QByteArray, inserted);
    CKestrelView *view = m_pFrame->GetActiveView();
    // The caret after the indentation of line 5, where a template goes in.
    view->setCursorPosition(4, 4);
    const long caret = view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    QByteArray expected = Script();
    expected.insert(caret, inserted);

    bool pressed = false;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, this, [&] {
        QWidget *dlg = VisibleWindowOfClass(dialogClass);
        if (!dlg || !dlg->windowHandle() || !dlg->isActiveWindow())
            return;
        watch.stop();
        if (prepare)
            prepare(dlg);
        // Pressed in the dialog, through the window system, as the user's key is.
        QTest::keyPress(dlg->windowHandle(), Qt::Key_Return);
        pressed = true;
    });
    watch.start();
    QVERIFY(m_pFrame->RouteCommand(command));
    QTRY_VERIFY(pressed);
    QTRY_VERIFY(!VisibleWindowOfClass(dialogClass));
    // A desktop gives the main window back its focus when the dialog over it closes;
    // the offscreen platform leaves that to the window manager there is not.
    if (!QApplication::activeWindow())
        m_pFrame->activateWindow();
    // The dialog has gone and the editor has the focus again when the key comes up.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(view));
    QTest::keyRelease(m_pFrame->windowHandle(), Qt::Key_Return);
    QTest::qWait(20);
    QCOMPARE(view->GetTextBytes(), expected);
    QTRY_COMPARE(m_pFrame->LineColPane()->text(), CaretPane());
}

void TestDialogKeys::statusFollowsEveryCaretMove_data()
{
    QTest::addColumn<CMove>("move");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("col");

    QTest::newRow("Go To Line") << CMove([](CKestrelView *v) { v->GoToLine(12); }) << 12 << 1;
    QTest::newRow("a list's row") << CMove([](CKestrelView *v) {
        CLanguageAidCommands::GoToLine(v, 17, v->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 16) + 4);
    }) << 17 << 5;
    QTest::newRow("a message's line") << CMove([](CKestrelView *v) {
        v->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 20);
    }) << 21 << 1;
    QTest::newRow("a selection the program makes") << CMove([](CKestrelView *v) {
        v->setSelection(5, 0, 7, 3);
    }) << 6 << 4;
}

void TestDialogKeys::statusFollowsEveryCaretMove()
{
    QFETCH(CMove, move);
    QFETCH(int, line);
    QFETCH(int, col);
    move(m_pFrame->GetActiveView());
    QTRY_COMPARE(m_pFrame->LineColPane()->text(), PaneText(line, col));
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    CKestrelApp app(argc, argv);
    TestDialogKeys test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialog_keys.moc"
