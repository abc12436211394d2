// The function catalogue reader and the "Perl functions" window: the line format, bad
// catalogues, the missing-file message, and double-click insertion into the editor.
#include "app/KestrelApp.h"
#include "app/MainFrame.h"
#include "editor/FunctionCatalogue.h"
#include "editor/FunctionListDlg.h"
#include "editor/FunctionListModel.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

bool WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class TestFunctionList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parseLine_data();
    void parseLine();
    void badCatalogue();
    void emptyCatalogueGivesNoMessage();
    void missingCatalogueReportedOnce();
    void doubleClickInsertsTemplate_data();
    void doubleClickInsertsTemplate();
    void doubleClickWithoutRowInsertsLineEnd();
    void closeHidesAndKeepsRows();

private:
    // A frame whose program folder holds the given catalogue.
    CMainFrame *FrameWithCatalogue(const QByteArray &catalogue);
    // Double-clicks a row of the frame's functions window.
    void DoubleClickRow(CMainFrame *frame, int row);

    QTemporaryDir m_dir;
};

void TestFunctionList::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
}

void TestFunctionList::parseLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QByteArray>("templ");
    QTest::newRow("three fields") << QByteArray("abs,Absolute value,abs($x)") << true << QByteArray("abs")
                                  << QByteArray("Absolute value") << QByteArray("abs($x)");
    QTest::newRow("commas stay in the template")
        << QByteArray("join,Join a list,join(',', @list)") << true << QByteArray("join") << QByteArray("Join a list")
        << QByteArray("join(',', @list)");
    QTest::newRow("no name: skipped") << QByteArray(",no name,x") << false << QByteArray() << QByteArray()
                                      << QByteArray();
    QTest::newRow("no comma: skipped") << QByteArray("print") << false << QByteArray() << QByteArray()
                                       << QByteArray();
    QTest::newRow("empty line: skipped") << QByteArray() << false << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("only commas: skipped") << QByteArray(",,,,") << false << QByteArray() << QByteArray()
                                          << QByteArray();
    QTest::newRow("one comma: template is the whole line")
        << QByteArray("print,Print") << true << QByteArray("print") << QByteArray() << QByteArray("print,Print");
    QTest::newRow("name and two commas: empty description and template")
        << QByteArray("x,,") << true << QByteArray("x") << QByteArray() << QByteArray();
    QTest::newRow("name then only commas") << QByteArray("x,,,,") << true << QByteArray("x") << QByteArray()
                                           << QByteArray(",,");
    QTest::newRow("bytes that are not UTF-8 kept")
        << QByteArray("caf\xe9,D\xe9scription,\xff\xfe($x)") << true << QByteArray("caf\xe9")
        << QByteArray("D\xe9scription") << QByteArray("\xff\xfe($x)");
    QTest::newRow("blanks kept") << QByteArray(" sp , desc , t ") << true << QByteArray(" sp ")
                                 << QByteArray(" desc ") << QByteArray(" t ");
}

void TestFunctionList::parseLine()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, kept);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, description);
    QFETCH(QByteArray, templ);
    CFunctionEntry entry;
    QCOMPARE(CFunctionCatalogue::ParseLine(line.constData(), line.size(), entry), kept);
    if (!kept)
        return;
    QCOMPARE(entry.baName, name);
    QCOMPARE(entry.baDescription, description);
    QCOMPARE(entry.baTemplate, templ);
    // Read from a file, with either line end, the line gives the same row.
    for (const QByteArray &eol : {QByteArray("\n"), QByteArray("\r\n")}) {
        const QVector<CFunctionEntry> rows = CFunctionCatalogue::Parse("x\n" + line + eol + ",skip" + eol);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].baTemplate, templ);
    }
}

void TestFunctionList::badCatalogue()
{
    // 100,000 lines of every sort: only the well-formed ones become rows, in file order.
    QByteArray data;
    int expected = 0;
    for (int i = 0; i < 100000; ++i) {
        switch (i % 5) {
        case 0: data += "f" + QByteArray::number(i) + ",desc,tmpl(" + QByteArray::number(i) + ")\n"; ++expected; break;
        case 1: data += "\n"; break;
        case 2: data += ",,,,,,\r\n"; break;
        case 3: data += "\xff\xfe\x80,\xc3\x28,\xe9\r\n"; ++expected; break;
        default: data += "no comma here\n"; break;
        }
    }
    data += "last,without line end,done";
    ++expected;
    const QString path = m_dir.filePath(QStringLiteral("big.fnl"));
    QVERIFY(WriteFile(path, data));
    CFunctionListDlg dlg(nullptr, path);
    QVERIFY(!dlg.LoadFailed());
    CFunctionListModel *model = dlg.Model();
    QCOMPARE(model->rowCount(), expected);
    QCOMPARE(model->Entry(0)->baName, QByteArray("f0"));
    QCOMPARE(model->Entry(1)->baName, QByteArray("\xff\xfe\x80"));
    QCOMPARE(model->Entry(1)->baTemplate, QByteArray("\xe9"));
    QCOMPARE(model->Entry(expected - 1)->baTemplate, QByteArray("done"));
    // Shown as text without trouble, whatever the bytes.
    QVERIFY(!model->data(model->index(1, 0)).toString().isEmpty());
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Function"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Description"));
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Code Template"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Perl functions"));
    QCOMPARE(dlg.m_listCtrl->header()->sectionSize(0), 175);
    QCOMPARE(dlg.m_listCtrl->header()->sectionSize(1), 350);
    QCOMPARE(dlg.m_listCtrl->header()->sectionSize(2), 350);
}

void TestFunctionList::emptyCatalogueGivesNoMessage()
{
    const QString path = m_dir.filePath(QStringLiteral("empty.fnl"));
    QVERIFY(WriteFile(path, QByteArray()));
    CFunctionListDlg dlg(nullptr, path);
    QVERIFY(!dlg.LoadFailed());
    bool boxSeen = false;
    QTimer::singleShot(200, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxSeen = true;
            box->accept();
        }
    });
    dlg.ShowWindow();
    QTest::qWait(300);
    QVERIFY(!boxSeen);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.Model()->rowCount(), 0);
}

void TestFunctionList::missingCatalogueReportedOnce()
{
    CFunctionListDlg dlg(nullptr, m_dir.filePath(QStringLiteral("absent/KESTREL.FNL")));
    QVERIFY(dlg.LoadFailed());
    QCOMPARE(dlg.Model()->rowCount(), 0);
    QStringList texts;
    auto closeBox = [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box) {
            texts << box->text();
            QCOMPARE(box->icon(), QMessageBox::Critical);
            box->accept();
        }
    };
    QTimer::singleShot(0, this, closeBox);
    dlg.ShowWindow();
    QCOMPARE(texts, QStringList{QStringLiteral("File containing functions list not found.")});
    QVERIFY(dlg.isVisible());
    dlg.hide();
    QTimer::singleShot(0, this, closeBox);
    dlg.ShowWindow();
    QTest::qWait(50);
    QCOMPARE(texts.size(), 1);
}

CMainFrame *TestFunctionList::FrameWithCatalogue(const QByteArray &catalogue)
{
    g_strProgramDir = m_dir.path() + QLatin1Char('/');
    WriteFile(g_strProgramDir + QStringLiteral("KESTREL.FNL"), catalogue);
    return new CMainFrame;
}

void TestFunctionList::DoubleClickRow(CMainFrame *frame, int row)
{
    CFunctionListDlg *dlg = frame->FunctionsWindow();
    QTreeView *list = dlg->m_listCtrl;
    const QRect rect = list->visualRect(list->model()->index(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestFunctionList::doubleClickInsertsTemplate_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("inserted");
    QTest::newRow("abs template and a line end") << 0 << QByteArray("abs($x)\n");
    QTest::newRow("template with commas") << 1 << QByteArray("join(',', @list)\n");
    QTest::newRow("one-comma line inserts the whole line") << 2 << QByteArray("print,Print\n");
    QTest::newRow("bytes that are not UTF-8 go in unchanged") << 3 << QByteArray("\xe9\xff\n");
}

void TestFunctionList::doubleClickInsertsTemplate()
{
    QFETCH(int, row);
    QFETCH(QByteArray, inserted);
    std::unique_ptr<CMainFrame> frame(FrameWithCatalogue(
        "abs,Absolute value,abs($x)\njoin,Join a list,join(',', @list)\nprint,Print\nodd,Odd,\xe9\xff\n"));
    CKestrelView *view = frame->GetActiveView();
    view->SetTextBytes("first;\nsecond;\n");
    view->SendScintilla(QsciScintilla::SCI_SETSEL, 7, 13); // "second" selected
    frame->show();

    CFunctionListDlg *dlg = frame->FunctionsWindow();
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->Model()->rowCount(), 4);
    QVERIFY(frame->RouteCommand(Cmd::ID_VIEW_FUNCTIONS));
    QVERIFY(dlg->isVisible());

    DoubleClickRow(frame.get(), row);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(view->GetTextBytes(), "first;\n" + inserted + ";\n");
    // The caret ends after the inserted line end, and undo takes it back.
    QCOMPARE(view->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS), long(7 + inserted.size()));
    view->undo();
    QCOMPARE(view->GetTextBytes(), QByteArray("first;\nsecond;\n"));
}

void TestFunctionList::doubleClickWithoutRowInsertsLineEnd()
{
    std::unique_ptr<CMainFrame> frame(FrameWithCatalogue(QByteArray()));
    CKestrelView *view = frame->GetActiveView();
    view->SetTextBytes("ab");
    view->SendScintilla(QsciScintilla::SCI_SETSEL, 1, 1);
    frame->show();
    frame->RouteCommand(Cmd::ID_VIEW_FUNCTIONS);
    QTreeView *list = frame->FunctionsWindow()->m_listCtrl;
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(view->GetTextBytes(), QByteArray("a\nb"));
    QVERIFY(!frame->FunctionsWindow()->isVisible());
}

void TestFunctionList::closeHidesAndKeepsRows()
{
    std::unique_ptr<CMainFrame> frame(FrameWithCatalogue("abs,Absolute value,abs($x)\n"));
    CFunctionListDlg *dlg = frame->FunctionsWindow();
    frame->RouteCommand(Cmd::ID_VIEW_FUNCTIONS);
    QVERIFY(dlg->isVisible());
    dlg->findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_FUNCTIONS_CLOSE))->trigger();
    QVERIFY(!dlg->isVisible());
    dlg->close();
    frame->RouteCommand(Cmd::ID_VIEW_FUNCTIONS);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->Model()->rowCount(), 1);
    // The close box hides it too.
    dlg->close();
    QVERIFY(!dlg->isVisible());
    QVERIFY(frame->FunctionsWindow() == dlg);
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestFunctionList test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_function_list.moc"
