// The variable lists: the scan rules, the dialog's modes, the special-variables table,
// double-clicking a row, and a large script.
#include "app/KestrelDoc.h"
#include "editor/KestrelView.h"
#include "editor/VariableListDlg.h"
#include "editor/VariableListModel.h"
#include "editor/VariableScanner.h"
#include "framework/CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using Rows = QList<QPair<QByteArray, int>>;
Q_DECLARE_METATYPE(Rows)

namespace {

Rows ScanRows(const QByteArray &text, char sigil)
{
    Rows rows;
    for (const CVariableOccurrence &o : CVariableScanner::Scan(text, sigil))
        rows << qMakePair(text.mid(o.nStart, o.nLength), o.nLine);
    return rows;
}

} // namespace

class TestVariables : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void nameOfAnyLength();
    void rowTexts();
    void modes_data();
    void modes();
    void specialTable();
    void editedNameSpringsBack();
    void doubleClickPutsCaretOnLine_data();
    void doubleClickPutsCaretOnLine();
    void largeScriptListsEveryOccurrence();
};

void TestVariables::scan_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<char>("sigil");
    QTest::addColumn<Rows>("rows");

    QTest::newRow("assignment: name with its blank") << QByteArray("my $x = 5;") << '$' << Rows{{"$x ", 1}};
    QTest::newRow("two names with only a blank between are one")
        << QByteArray("print $a $b;") << '$' << Rows{{"$a $b", 1}};
    QTest::newRow("end of the text completes a name") << QByteArray("print $total") << '$' << Rows{{"$total", 1}};
    QTest::newRow("first character of the text") << QByteArray("$x = 1;") << '$' << Rows{{"$x ", 1}};
    QTest::newRow("foreach: array") << QByteArray("foreach $item (@list ) {") << '@' << Rows{{"@list ", 1}};
    QTest::newRow("foreach: scalar") << QByteArray("foreach $item (@list ) {") << '$' << Rows{{"$item ", 1}};
    QTest::newRow("lone sigil before punctuation") << QByteArray("$;") << '$' << Rows{{"$", 1}};
    QTest::newRow("printf format listed as hash") << QByteArray("printf(\"%d\\n\", 5);") << '%'
                                                  << Rows{{"%d", 1}};
    QTest::newRow("completed on a later line")
        << QByteArray("my $x\n\n   = 1;") << '$' << Rows{{"$x\n\n   ", 3}};
    QTest::newRow("CR LF line breaks count once") << QByteArray("a;\r\nb;\r\n$c;") << '$' << Rows{{"$c", 3}};
    QTest::newRow("every occurrence in text order")
        << QByteArray("$b=1;\n$a=2;\n$b++;") << '$' << Rows{{"$b", 1}, {"$a", 2}, {"$b", 3}};
    QTest::newRow("sigil inside a name is part of it") << QByteArray("$$ref;") << '$' << Rows{{"$$ref", 1}};
    QTest::newRow("byte above 127 completes a name") << QByteArray("$caf\xc3\xa9;") << '$' << Rows{{"$caf", 1}};
    QTest::newRow("NUL byte completes a name") << QByteArray("$a\0$b", 5) << '$' << Rows{{"$a", 1}, {"$b", 1}};
    QTest::newRow("strings and comments are scanned") << QByteArray("# $note\nprint '$s';") << '$'
                                                      << Rows{{"$note\nprint ", 2}, {"$s", 2}};
    QTest::newRow("empty script") << QByteArray() << '$' << Rows{};
    QTest::newRow("other sigils ignored") << QByteArray("@a %h") << '$' << Rows{};
    QTest::newRow("sigil as last character") << QByteArray("x $") << '$' << Rows{{"$", 1}};
    QTest::newRow("digits and underscore extend") << QByteArray("$_x9_=1") << '$' << Rows{{"$_x9_", 1}};
}

void TestVariables::scan()
{
    QFETCH(QByteArray, text);
    QFETCH(char, sigil);
    QFETCH(Rows, rows);
    QCOMPARE(ScanRows(text, sigil), rows);
}

void TestVariables::nameOfAnyLength()
{
    // The name is one row however long it is: 25 characters and far beyond.
    for (int length : {24, 25, 26, 5000}) {
        const QByteArray name = "$" + QByteArray(length - 1, 'v');
        QCOMPARE(ScanRows("x = " + name + ";\n$y", '$'), (Rows{{name, 1}, {"$y", 2}}));
    }
}

void TestVariables::rowTexts()
{
    CVariableListModel model;
    model.SetScan("\n\nmy $x\t= 5;", '$', {"Scalar", "Line Number", "Value"});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.data(model.index(0, 0), Qt::EditRole).toString(), QStringLiteral("$x\t"));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("$x "));
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("    3"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral(" "));
}

void TestVariables::modes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<int>("rows");
    const QByteArray text = "my ($s, @a, %h) = (1, @b, %c);";
    Q_UNUSED(text);
    QTest::newRow("scalars") << 0 << "List of Scalar variables" << QStringList{"Scalar", "Line Number", "Value"}
                             << QList<int>{180, 100, 200} << 1;
    QTest::newRow("arrays") << 1 << "List of Array variables" << QStringList{"Array", "Line Number", "Value"}
                            << QList<int>{180, 100, 200} << 2;
    QTest::newRow("hashes") << 2 << "List of Hash variables" << QStringList{"Hash", "Line Number", "Value"}
                            << QList<int>{180, 100, 200} << 2;
    QTest::newRow("special (mode 9)") << 9 << "List special variables"
                                      << QStringList{"Symbol", "English", "Description"} << QList<int>{75, 185, 450}
                                      << 30;
    QTest::newRow("special (any other mode)") << -1 << "List special variables"
                                              << QStringList{"Symbol", "English", "Description"}
                                              << QList<int>{75, 185, 450} << 30;
}

void TestVariables::modes()
{
    QFETCH(int, mode);
    QFETCH(QString, title);
    QFETCH(QStringList, headers);
    QFETCH(QList<int>, widths);
    QFETCH(int, rows);
    CVariableListDlg dlg;
    dlg.m_strText = "my ($s, @a, %h) = (1, @b, %c);";
    dlg.m_nMode = mode;
    QCOMPARE(dlg.m_bInitialized, 0);
    dlg.show();
    QCOMPARE(dlg.m_bInitialized, 1);
    QCOMPARE(dlg.windowTitle(), title);
    QCOMPARE(dlg.m_listCtrl, dlg.findChild<QTreeView *>(QStringLiteral("list_1002")));
    QAbstractItemModel *model = dlg.m_listCtrl->model();
    QCOMPARE(model->rowCount(), rows);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
        QCOMPARE(dlg.m_listCtrl->header()->sectionSize(c), widths[c]);
    }
    // The list fills the dialog as it is resized.
    dlg.resize(900, 600);
    QTRY_VERIFY(dlg.m_listCtrl->width() >= 880);
    QVERIFY(dlg.m_listCtrl->height() > 450);
    // Window > Close ends the dialog.
    dlg.findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_SPECIAL_CLOSE))->trigger();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TestVariables::specialTable()
{
    const char *const expected[30][3] = {
        {"$_", " ", "Default Search space"},
        {"$!", "$ERRNO or $OS_ERROR", "Last error number or string"},
        {"$&", "$MATCH", "Last successful match string"},
        {"$`", "$PREMATCH", "String preceding last successful pattern match"},
        {"$'", "$POSTMATCH", "String following last successful pattern match"},
        {"$+", "$LAST_PAREN_MATCH", "Last bracket in successful match string"},
        {"$*", "$MULTILINE_MATCHING", "If 1 multiline match, if 0 single line match"},
        {"$.", "$INPUT_LINE_NUMBER", "Line number from last file(handle) read"},
        {"$|", "$OUTPUT_AUTOFLUSH", "Forces output to be committed upon every write/print if true."},
        {"$,", "$OUTPUT_FIELD_SEPARATOR", "What is printed when there is a (,) in the print statement"},
        {"$\"", "$LIST_SEPARATOR", "Separator character when a list is interpolated (converted) into a string"},
        {"$$", "$PROCESS_ID", "Process identifier"},
        {"$<", "$REAL_USER_ID", "Real user id"},
        {"$>", "$EFFECTIVE_USER_ID", "Effective user id"},
        {"$(", "$REAL_GROUP_ID", "Real group id of this process"},
        {"$)", "$EFFECTIVE_GROUP_ID", "Effective group id of this process"},
        {"$0", "$PROGRAM_NAME", "Name of current perl script file"},
        {"$[", " ", "Index of the first element in an array"},
        {"$]", "$PERL_VERSION", "Version number of perl interpreter"},
        {"$^D", "$DEBUGGING", "Current value of debugging flags"},
        {"$^F", "$SYSTEM_FD_MAX", " "},
        {"$^H", " ", "Contains internal compiler hints"},
        {"$^I", "$INPLACE_EDIT", " "},
        {"$^O", "$OSNAME", "Name of operating system for the interpreter"},
        {"$^P", "$PERLDB", "Internal debugger flag to stop debugger from debugging itself"},
        {"$^T", "$BASETIME", "Time when the perl script started running"},
        {"$^W", "$WARNING", "Are warnings on or off"},
        {"$^X", "$EXECUTABLE_NAME", "The name of the perl executable file"},
        {"$ARGV", " ", "Current file name"},
        {"", "", ""},
    };
    CVariableListDlg dlg;
    dlg.m_nMode = 9;
    dlg.OnInitDialog();
    QAbstractItemModel *model = dlg.m_listCtrl->model();
    QCOMPARE(model->rowCount(), 30);
    for (int r = 0; r < 30; ++r) {
        for (int c = 0; c < 3; ++c) {
            // Texts of blanks only show as nothing; the stored texts differ only in that.
            QCOMPARE(model->data(model->index(r, c)).toString().trimmed(),
                     QString::fromLatin1(expected[r][c]).trimmed());
        }
    }
}

void TestVariables::editedNameSpringsBack()
{
    CVariableListDlg dlg;
    dlg.m_strText = "my $count = 1;";
    dlg.m_nMode = 0;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QModelIndex index = dlg.m_listCtrl->model()->index(0, 0);
    dlg.m_listCtrl->setCurrentIndex(index);
    dlg.m_listCtrl->edit(index);
    auto *editor = dlg.m_listCtrl->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->setText(QStringLiteral("$renamed"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(dlg.m_listCtrl->model()->data(index).toString(), QStringLiteral("$count "));
}

void TestVariables::doubleClickPutsCaretOnLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    const QByteArray script = "use strict;\nmy $a = 1;\nprint $b;\n@list = ();\nmy $c\n   = 2;\n";
    QTest::newRow("scalar on line 3 at its sigil") << script << int(Cmd::ID_VIEW_SCALARS) << 1 << 3 << 6;
    QTest::newRow("array on line 4") << script << int(Cmd::ID_VIEW_ARRAYS) << 0 << 4 << 0;
    QTest::newRow("name completed on a later line: start of that line")
        << script << int(Cmd::ID_VIEW_SCALARS) << 2 << 6 << 0;
    // Each of these bytes is one character, held in the editor as two bytes of UTF-8.
    QTest::newRow("Windows-1252 text before the name")
        << QByteArray("# \xe9\xe9\xe9\xe9\n\xe9\xe9\x80\xe9 $x = 1;\n") << int(Cmd::ID_VIEW_SCALARS) << 0 << 2 << 5;
}

void TestVariables::doubleClickPutsCaretOnLine()
{
    QFETCH(QByteArray, text);
    QFETCH(int, command);
    QFETCH(int, row);
    QFETCH(int, line);
    QFETCH(int, column);
    CKestrelDoc doc;
    CKestrelView view(&doc);
    doc.SetView(&view);
    view.SetTextBytes(text);
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *dlg = qobject_cast<CVariableListDlg *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        seen = true;
        QTreeView *list = dlg->m_listCtrl;
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        dlg->findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_SPECIAL_CLOSE))->trigger();
    });
    QVERIFY(view.Commands().Execute(command));
    QVERIFY(seen);
    long pos = view.SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    QCOMPARE(view.SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, pos) + 1, long(line));
    QCOMPARE(view.SendScintilla(QsciScintilla::SCI_GETCOLUMN, pos), long(column));
}

void TestVariables::largeScriptListsEveryOccurrence()
{
    // Several megabytes: every occurrence is a row, and the last row has the last line.
    const QByteArray line = "my $total = $total + $price{$item} * @count;\n";
    const int lines = 200000;
    QByteArray text;
    text.reserve(line.size() * lines);
    for (int i = 0; i < lines; ++i)
        text += line;
    CVariableListDlg dlg;
    dlg.m_strText = text;
    dlg.m_nMode = 0;
    dlg.show();
    QAbstractItemModel *model = dlg.m_listCtrl->model();
    QCOMPARE(model->rowCount(), 4 * lines);
    QCOMPARE(model->data(model->index(4 * lines - 1, 0)).toString(), QStringLiteral("$item"));
    QCOMPARE(model->data(model->index(4 * lines - 1, 1)).toString(), QString::number(lines).rightJustified(5));
    dlg.m_listCtrl->scrollToBottom();
}

QTEST_MAIN(TestVariables)
#include "tst_variables.moc"
