#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/FindReplaceDlg.h"
#include "editor/KestrelView.h"

#include <QAccessible>
#include <QLineEdit>

#include <QTest>

// Drives the editor with real key and mouse events and checks the text, the caret and
// the status bar's line and column.
class TestView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tabKey_data();
    void tabKey();
    void homeKey_data();
    void homeKey();
    void homePairBrokenByShiftNotByClick();
    void autoIndent_data();
    void autoIndent();
    void autoIndentOff();
    void caretLineAndColumn();
    void bytesRoundTrip();
    void findAndReplace();
    void accessibleTextOnlyWhenAToolListens();

private:
    void SetText(const QByteArray &text, int caret);
    int Caret() const { return int(m_pView->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS)); }

    CKestrelDoc *m_pDoc = nullptr;
    CKestrelView *m_pView = nullptr;
};

void TestView::init()
{
    g_settings = CSettings();
    g_settings.TAB_SIZE = QStringLiteral("4");
    g_settings.TAB_EXPAND = QStringLiteral("Y");
    g_settings.AUTO_INDENT = 1;
    m_pDoc = new CKestrelDoc;
    m_pView = new CKestrelView(m_pDoc);
    m_pDoc->SetView(m_pView);
    m_pView->resize(600, 400);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    m_pView->OnInitialUpdate();
}

void TestView::cleanup()
{
    delete m_pView;
    delete m_pDoc;
}

void TestView::SetText(const QByteArray &text, int caret)
{
    m_pView->SetTextBytes(text);
    m_pView->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, (unsigned long)caret);
}

void TestView::tabKey_data()
{
    QTest::addColumn<QString>("expand");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("Y and 4 over a selection gives four blanks")
        << "Y" << "4" << QByteArray("abcdef") << 1 << 4 << QByteArray("a    ef");
    QTest::newRow("Y and 2 at the caret") << "Y" << "2" << QByteArray("ab") << 1 << 1 << QByteArray("a  b");
    QTest::newRow("lower-case y inserts a tab") << "y" << "4" << QByteArray("ab") << 1 << 1 << QByteArray("a\tb");
    QTest::newRow("N over a multi-line selection replaces it with a tab")
        << "N" << "4" << QByteArray("ab\ncd\nef") << 1 << 7 << QByteArray("a\tf");
    QTest::newRow("Y with an empty tab size inserts nothing") << "Y" << "" << QByteArray("ab") << 1 << 1
                                                                << QByteArray("ab");
    QTest::newRow("Y with a negative tab size inserts nothing") << "Y" << "-3" << QByteArray("ab") << 1 << 1
                                                                  << QByteArray("ab");
}

void TestView::tabKey()
{
    QFETCH(QString, expand);
    QFETCH(QString, size);
    QFETCH(QByteArray, text);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    g_settings.TAB_EXPAND = expand;
    g_settings.TAB_SIZE = size;
    m_pView->OnInitialUpdate();
    m_pView->SetTextBytes(text);
    m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEL, (unsigned long)selStart, (long)selEnd);
    QTest::keyClick(m_pView, Qt::Key_Tab);
    QTest::qWait(0);
    QTEST(m_pView->GetTextBytes(), "expected");
}

void TestView::homeKey_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QList<int>>("afterEachHome");

    QTest::newRow("indented statement: first non-blank, column 1, stays")
        << QByteArray("x\n    print 1;\n") << 12 << QList<int>{6, 2, 2};
    QTest::newRow("tabs and blanks count alike") << QByteArray("\t  if\n") << 5 << QList<int>{3, 0, 0};
    QTest::newRow("line of only blanks: end of line") << QByteArray("a\n    \nb") << 3 << QList<int>{6, 2};
    QTest::newRow("empty line: its start") << QByteArray("a\n\nb") << 2 << QList<int>{2, 2};
    QTest::newRow("caret before the first non-blank still goes there first")
        << QByteArray("    x") << 1 << QList<int>{4, 0};
}

void TestView::homeKey()
{
    QFETCH(QByteArray, text);
    QFETCH(int, caret);
    QFETCH(QList<int>, afterEachHome);
    SetText(text, caret);
    for (int expected : afterEachHome) {
        QTest::keyClick(m_pView, Qt::Key_Home);
        QCOMPARE(Caret(), expected);
    }
    // Home, an arrow key, Home: back before the first non-blank.
    SetText("    word", 8);
    QTest::keyClick(m_pView, Qt::Key_Home);
    QTest::keyClick(m_pView, Qt::Key_Right);
    QTest::keyClick(m_pView, Qt::Key_Home);
    QCOMPARE(Caret(), 4);
}

void TestView::homePairBrokenByShiftNotByClick()
{
    SetText("    word", 8);
    QTest::keyClick(m_pView, Qt::Key_Home);
    QCOMPARE(Caret(), 4);
    QTest::mouseClick(m_pView->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 5));
    QTest::keyClick(m_pView, Qt::Key_Home);
    QCOMPARE(Caret(), 0);

    SetText("    word", 8);
    QTest::keyClick(m_pView, Qt::Key_Home);
    QTest::keyPress(m_pView, Qt::Key_Shift);
    QTest::keyRelease(m_pView, Qt::Key_Shift);
    QTest::keyClick(m_pView, Qt::Key_Home);
    QCOMPARE(Caret(), 4);
}

void TestView::autoIndent_data()
{
    QTest::addColumn<QString>("expand");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("after an opening brace, tabs")
        << "N" << QByteArray("\tif ($x) {") << 10 << QByteArray("\tif ($x) {\n\t\t");
    QTest::newRow("after an opening brace, blanks")
        << "Y" << QByteArray("\tif ($x) {") << 10 << QByteArray("\tif ($x) {\n\t    ");
    QTest::newRow("after a closing brace") << "Y" << QByteArray("\t}") << 2 << QByteArray("\t}\n\t");
    QTest::newRow("in the middle of an indented line")
        << "Y" << QByteArray("  print 1; print 2;") << 10 << QByteArray("  print 1;\n   print 2;");
    QTest::newRow("a brace in a comment opens a block too")
        << "N" << QByteArray("# {") << 3 << QByteArray("# {\n\t");
    QTest::newRow("line of only blanks keeps all of them") << "N" << QByteArray("   ") << 3
                                                          << QByteArray("   \n   ");
}

void TestView::autoIndent()
{
    QFETCH(QString, expand);
    QFETCH(QByteArray, text);
    QFETCH(int, caret);
    g_settings.TAB_EXPAND = expand;
    SetText(text, caret);
    QTest::keyClick(m_pView, Qt::Key_Return);
    QTest::qWait(10);
    QTEST(m_pView->GetTextBytes(), "expected");
}

void TestView::autoIndentOff()
{
    g_settings.AUTO_INDENT = 0;
    SetText("\tif ($x) {", 10);
    QTest::keyClick(m_pView, Qt::Key_Return);
    QTest::qWait(10);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("\tif ($x) {\n"));
}

void TestView::caretLineAndColumn()
{
    int line = 0, col = 0;
    connect(m_pView, &CKestrelView::CaretMoved, this, [&](int l, int c) {
        line = l;
        col = c;
    });
    SetText("ab\n\tcd\n", 0);
    QTest::keyClick(m_pView, Qt::Key_Down);
    QCOMPARE(line, 2);
    QCOMPARE(col, 1);
    QTest::keyClick(m_pView, Qt::Key_End);
    QCOMPARE(line, 2);
    QCOMPARE(col, 4);
    QCOMPARE(g_nCurLine, 2);
    QCOMPARE(g_nCurCol, 4);
    // Non-ASCII text counts characters, not bytes.
    SetText("\xc3\xa9\xc3\xa9x", 0);
    QTest::keyClick(m_pView, Qt::Key_End);
    QCOMPARE(col, 4);
}

void TestView::bytesRoundTrip()
{
    const QByteArray bytes("a\0\xe9\xff\r\n\rb", 8);
    m_pView->SetTextBytes(bytes);
    QCOMPARE(m_pView->GetTextBytes(), bytes);
    m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEL, 1UL, 3L);
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("\0\xe9", 2));
    m_pView->ReplaceSel(QByteArray("\0z", 2));
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("a\0z\xff\r\n\rb", 8));
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), bytes);
}

void TestView::findAndReplace()
{
    SetText("one two one two one", 0);
    CFindReplaceDlg *dlg = CFindReplaceDlg::Show(m_pView, true);
    dlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"))->setText(QStringLiteral("two"));
    dlg->findChild<QLineEdit *>(QStringLiteral("ReplaceWith"))->setText(QStringLiteral("2"));
    QVERIFY(dlg->FindNext());
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("two"));
    QCOMPARE(dlg->ReplaceAll(), 2);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("one 2 one 2 one"));
    // Replace All is one step to undo.
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("one two one two one"));
    dlg->close();
}

// Without an assistive tool listening, the editor's accessible carries no text (the
// full one counts characters from the start of the text on every key); as soon as a
// tool listens, the text is there for it.
void TestView::accessibleTextOnlyWhenAToolListens()
{
    SetText("my $x = 1;\n", 0);
    QTest::keyClick(m_pView, Qt::Key_End);
    QVERIFY(!QAccessible::isActive());
    QAccessibleInterface *plain = QAccessible::queryAccessibleInterface(m_pView);
    QVERIFY(plain);
    QCOMPARE(plain->role(), QAccessible::EditableText);
    QVERIFY(!plain->textInterface());

    QAccessible::setActive(true);
    QAccessibleInterface *full = QAccessible::queryAccessibleInterface(m_pView);
    QVERIFY(full && full->textInterface());
    QAccessibleTextInterface *text = full->textInterface();
    QCOMPARE(text->text(0, text->characterCount()), QStringLiteral("my $x = 1;\n"));
    QAccessible::setActive(false);
}

QTEST_MAIN(TestView)
#include "tst_view.moc"
