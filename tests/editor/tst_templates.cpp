// The statement templates and operator buttons: what each inserts, with and without a
// selection, undo, the wrapping rule, and the buttons' tooltips, prompts and images.
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/ToolbarImages.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/CommandTable.h"

#include <QAction>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

struct Button
{
    int nId;
    const char *pszText; // fixed text, or nullptr for a wrapping button
    const char *pszPrefix;
    const char *pszSuffix;
    const char *pszTip;
    const char *pszStatus;
};

// Line ends are the platform's: "\n" here.
const Button kButtons[] = {
    {32780, "\tif ( ) {\n\t}\n\telse {\n\t}\n", nullptr, nullptr, "if then else ", "Add an if block statement to the current location"},
    {32781, "\twhile ( ) {\n\t}\n", nullptr, nullptr, "while statement", "Add a while block"},
    {32782, "\tfor ( ) {\n\t}\n", nullptr, nullptr, "for statement", "For block"},
    {32783, "\tsub subname ( ) {\n\t}\n", nullptr, nullptr, "Subroutine ", "Subroutine Block"},
    {32993, "\tforeach $item (@list ) {\n\t}\n", nullptr, nullptr, "foreach statement", "For each item in a list do"},
    {33002, " last ", nullptr, nullptr, "last", "Last"},
    {33003, " next ", nullptr, nullptr, "Next", "Next"},
    {33004, " redo ", nullptr, nullptr, "Redo", "Redo"},
    {33005, " goto ", nullptr, nullptr, "Goto statement", "Goto Statement"},
    {33006, "\tdo {\n\t} while ( ) ;\n", nullptr, nullptr, "do while", "DO while block"},
    {33007, "\t{\n\t}\n", nullptr, nullptr, "Insert a block of code {}", "A Block of code"},
    {32962, " =~ ", nullptr, nullptr, "Pattern matched", "Pattern matching"},
    {32963, " !~ ", nullptr, nullptr, "Pattern not matched", "Pattern not matched"},
    {32964, " == ", nullptr, nullptr, "Numeric Equality operator", "Compares two numeric entities for equality"},
    {32925, " != ", nullptr, nullptr, "Not equal to", "Not equal to"},
    {32926, " += ", nullptr, nullptr, "Add and assign", "Assigns the sum to the left variable"},
    {32927, " -= ", nullptr, nullptr, "Subtract and assign", "Assigns the difference to the left variable"},
    {32928, " *= ", nullptr, nullptr, "Multiply and assign", "Assign the product to the variable on left"},
    {32929, " /= ", nullptr, nullptr, "Divide and assign quotient", "Assigns the quotient to the left variable"},
    {32930, " / ", nullptr, nullptr, "Division", "Divide two numbers"},
    {32931, " * ", nullptr, nullptr, "Multiplication", "Multiplies two numbers"},
    {32932, " + ", nullptr, nullptr, "Addition", "Adds two numbers"},
    {32933, " - ", nullptr, nullptr, "Subtraction", "Finds the difference between two numbers"},
    {32934, " % ", nullptr, nullptr, "Modulus (Remainder)", "Find the modulus of two numbers"},
    {32935, " = ", nullptr, nullptr, "Assign", "Assignment"},
    {32936, nullptr, " (", ") ", "Convert to list ", "List operator"},
    {32937, nullptr, "[", "]", "Subscript", "Array subscript"},
    {32938, nullptr, " \"", "\" ", "Double quote it", "Double quote it"},
    {32939, nullptr, " '", "' ", "Single quote it", "Single Quote Selections"},
    {32940, " %= ", nullptr, nullptr, "Assign modulus to", "Assign modulus to"},
    {32965, " x= ", nullptr, nullptr, "Repeat and assign", "Repeat string and assign"},
    {32971, " |= ", nullptr, nullptr, "Bitwise OR and assign", "Assign bitwise ORed result"},
    {32975, " &= ", nullptr, nullptr, "Bitwise AND and assign", "Assign bitwise ANDed result"},
    {32973, " ^= ", nullptr, nullptr, "Bitwise XOR and assign", "Assign bitwise XORed result"},
    {32945, " .= ", nullptr, nullptr, "Concat and assign", "Assign with Concatenation"},
    {32946, " &&= ", nullptr, nullptr, "AND operands and assign", "Assign ANDed result"},
    {32947, " ||= ", nullptr, nullptr, "OR with operand and assign result", "OR operand with result and assign result"},
    {32948, " <<= ", nullptr, nullptr, "Bit shift left and assign.", "Assign bitwise left shifted result"},
    {32978, " >>= ", nullptr, nullptr, "Bit shift right and assign.", "Assign bitwise right shifted result"},
    {32950, "..", nullptr, nullptr, "Range operator", "Specify Range"},
    {32951, " ^^ ", nullptr, nullptr, "Exclusive OR.", "Exclusive OR."},
    {32952, " || ", nullptr, nullptr, "OR.", "Inclusive OR true if either operand is true"},
    {32953, "&&", nullptr, nullptr, "AND.", "AND, true if both operands are true"},
    {32954, " !", nullptr, nullptr, "Negation operator", "Negative logic. The Not operator"},
    {32957, " (condition) ? (iftrue) : (iffalse)", nullptr, nullptr, "If then else conditional operator.",
     "Conditional operator just like if. It is an abbreviated form of if used for simple if then else logic."},
    {32958, " <=> ", nullptr, nullptr, "Three way binary if operator returns -1, 0 or 1",
     "Evaluate to -1, 0 or 1 if a < b, a = b or a > b respectively."},
    {32959, " ... ", nullptr, nullptr, "Special range operator", "Special Range operator"},
    {32960, " => ", nullptr, nullptr, "Assigns associative element at value", "Associate key to value"},
    {32961, " -> ", nullptr, nullptr, "Dereference", "Dereference operator"},
    {32942, " | ", nullptr, nullptr, "Bitwise OR", "Bitwise OR"},
    {32967, " ^ ", nullptr, nullptr, "Bitwise XOR ", "Bitwise XOR"},
    {32966, " & ", nullptr, nullptr, "Bitwise AND", "Bitwise AND"},
    {32976, " . ", nullptr, nullptr, "String concatenation", "String concatenation operator"},
    {32977, " x ", nullptr, nullptr, "Repeat string", "String multiplication - repeat string n times"},
    {32995, ", ", nullptr, nullptr, "Comma operator", "Comma operator used often to separate items in a list."},
};

QByteArray Expected(const Button &b, const QByteArray &selectionFirstLine)
{
    if (b.pszText)
        return QByteArray(b.pszText);
    return QByteArray(b.pszPrefix) + selectionFirstLine + QByteArray(b.pszSuffix);
}

} // namespace

class TestTemplates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void buttonAtCaret_data();
    void buttonAtCaret();
    void buttonOverSelection_data();
    void buttonOverSelection();
    void wrapTakesFirstLineOfSelection_data();
    void wrapTakesFirstLineOfSelection();
    void ifTemplateSplitsLine();
    void emptyWrapsAndTheirCaret_data();
    void emptyWrapsAndTheirCaret();
    void tooltipsAndPrompts_data();
    void tooltipsAndPrompts();
    void toolbarsHoldTheButtonsInOrder();
    void operatorImagesTellApart_data();
    void operatorImagesTellApart();
    void standardImagesAreDrawn_data();
    void standardImagesAreDrawn();

private:
    void SetText(const QByteArray &text, long anchor, long caret);
    long Caret() const { return m_pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS); }

    CKestrelDoc *m_pDoc = nullptr;
    CKestrelView *m_pView = nullptr;
};

void TestTemplates::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestTemplates::init()
{
    m_pDoc = new CKestrelDoc;
    m_pView = new CKestrelView(m_pDoc);
    m_pDoc->SetView(m_pView);
}

void TestTemplates::cleanup()
{
    delete m_pView;
    delete m_pDoc;
}

void TestTemplates::SetText(const QByteArray &text, long anchor, long caret)
{
    m_pView->SetTextBytes(text);
    m_pView->SendScintilla(QsciScintilla::SCI_SETSEL, anchor, caret);
}

void TestTemplates::buttonAtCaret_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("expected");
    for (const Button &b : kButtons)
        QTest::newRow(qPrintable(QStringLiteral("%1 %2 at the caret").arg(b.nId).arg(QString::fromUtf8(b.pszTip))))
            << b.nId << Expected(b, QByteArray());
}

void TestTemplates::buttonAtCaret()
{
    QFETCH(int, id);
    QFETCH(QByteArray, expected);
    const QByteArray before = "my $a;\nmy $b;\n";
    SetText(before, 9, 9); // after "my $a;\nmy"
    QVERIFY(m_pView->Commands().Execute(id));
    QCOMPARE(m_pView->GetTextBytes(), before.left(9) + expected + before.mid(9));
    QCOMPARE(Caret(), long(9 + expected.size()));
    // One undo takes back exactly the insertion.
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), before);
}

void TestTemplates::buttonOverSelection_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("expected");
    for (const Button &b : kButtons)
        QTest::newRow(qPrintable(QStringLiteral("%1 %2 over a word").arg(b.nId).arg(QString::fromUtf8(b.pszTip))))
            << b.nId << Expected(b, "count");
}

void TestTemplates::buttonOverSelection()
{
    QFETCH(int, id);
    QFETCH(QByteArray, expected);
    const QByteArray before = "print count;\n";
    SetText(before, 6, 11); // "count" selected
    QVERIFY(m_pView->Commands().Execute(id));
    QCOMPARE(m_pView->GetTextBytes(), "print " + expected + ";\n");
    QCOMPARE(Caret(), long(6 + expected.size()));
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART), Caret());
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), before);
}

void TestTemplates::wrapTakesFirstLineOfSelection_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("list over two LF lines") << 32936 << QByteArray("x = one\ntwo;\n") << 4 << 11
                                            << QByteArray("x =  (one) ;\n");
    QTest::newRow("subscript over two CR LF lines") << 32937 << QByteArray("x = one\r\ntwo;\r\n") << 4 << 12
                                                    << QByteArray("x = [one];\r\n");
    QTest::newRow("double quote over a bare CR") << 32938 << QByteArray("x = one\rtwo;") << 4 << 11
                                                 << QByteArray("x =  \"one\" ;");
    QTest::newRow("single quote from a line end") << 32939 << QByteArray("x = one\ntwo;") << 7 << 10
                                                  << QByteArray("x = one '' o;");
    QTest::newRow("selection made backwards") << 32937 << QByteArray("ab\ncd") << 4 << 1
                                              << QByteArray("a[b]d");
    // Positions are the editor's: these bytes are two and three there.
    QTest::newRow("double quote over Windows-1252 text") << 32938 << QByteArray("x = \xe9t\x80 y") << 4 << 10
                                                         << QByteArray("x =  \"\xe9t\x80\"  y");

    QByteArray many = "start here\n";
    for (int i = 0; i < 5000; ++i)
        many += "line " + QByteArray::number(i) + " of a long selection\n";
    many += "tail";
    QTest::newRow("subscript over five thousand lines")
        << 32937 << many << 6 << int(many.size() - 2) << QByteArray("start [here]il");
}

void TestTemplates::wrapTakesFirstLineOfSelection()
{
    QFETCH(int, id);
    QFETCH(QByteArray, text);
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(QByteArray, expected);
    SetText(text, anchor, caret);
    QVERIFY(m_pView->Commands().Execute(id));
    QCOMPARE(m_pView->GetTextBytes(), expected);
    // The rest of the selection went; undo brings all of it back.
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), text);
}

void TestTemplates::ifTemplateSplitsLine()
{
    SetText("abcdef", 3, 3);
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_TEMPLATE_IF));
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("abc\tif ( ) {\n\t}\n\telse {\n\t}\ndef"));
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, Caret()), 4L);
}

void TestTemplates::emptyWrapsAndTheirCaret_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("single quote inserts blank quote quote blank") << 32939 << QByteArray(" '' ");
    QTest::newRow("subscript inserts empty brackets") << 32937 << QByteArray("[]");
    QTest::newRow("list inserts empty parentheses") << 32936 << QByteArray(" () ");
    QTest::newRow("double quote inserts empty quotes") << 32938 << QByteArray(" \"\" ");
}

void TestTemplates::emptyWrapsAndTheirCaret()
{
    QFETCH(int, id);
    QFETCH(QByteArray, expected);
    SetText("", 0, 0);
    QVERIFY(m_pView->Commands().Execute(id));
    QCOMPARE(m_pView->GetTextBytes(), expected);
    QCOMPARE(Caret(), long(expected.size()));
}

void TestTemplates::tooltipsAndPrompts_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("status");
    for (const Button &b : kButtons)
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(b.nId).arg(QString::fromUtf8(b.pszTip))))
            << b.nId << QString::fromUtf8(b.pszTip) << QString::fromUtf8(b.pszStatus);
}

void TestTemplates::tooltipsAndPrompts()
{
    QFETCH(int, id);
    QFETCH(QString, tip);
    QFETCH(QString, status);
    CMainFrame frame;
    QAction *action = frame.Action(id);
    QVERIFY(action);
    QCOMPARE(action->toolTip(), tip);
    QCOMPARE(action->statusTip(), status);
    frame.UpdateCommandUI();
    QVERIFY(action->isEnabled());
    // A script button shows its keyword as its text, an operator button an image.
    if (CCommandTable::ScriptBar().contains(id))
        QCOMPARE(action->iconText(), QString::fromUtf8(CCommandTable::Find(id)->pszGlyph));
    else
        QVERIFY(!action->icon().isNull());
}

void TestTemplates::toolbarsHoldTheButtonsInOrder()
{
    CMainFrame frame;
    QList<int> script;
    for (QAction *a : frame.ScriptBar()->actions())
        script << a->data().toInt();
    QCOMPARE(script, (QList<int>{32780, 32781, 32782, 32783, 32993, 33002, 33003, 33004, 33005, 33006, 33007}));
    // Pressing a button on the floating operators bar inserts into the editor.
    auto *button = frame.OperatorBar()->findChild<QToolButton *>(QStringLiteral("button_32958"));
    QVERIFY(button);
    frame.GetActiveView()->SetTextBytes("a b");
    frame.GetActiveView()->SendScintilla(QsciScintilla::SCI_SETSEL, 1, 2);
    frame.UpdateCommandUI();
    button->click();
    QCOMPARE(frame.GetActiveView()->GetTextBytes(), QByteArray("a <=> b"));
}

void TestTemplates::operatorImagesTellApart_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("<=> and =>") << 32958 << 32960;
    QTest::newRow("=> and ->") << 32960 << 32961;
    QTest::newRow(".. and ...") << 32950 << 32959;
    QTest::newRow("|| and |=") << 32952 << 32971;
    QTest::newRow("' ' and \" \"") << 32939 << 32938;
}

void TestTemplates::operatorImagesTellApart()
{
    QFETCH(int, first);
    QFETCH(int, second);
    CMainFrame frame;
    const QSize size = frame.Action(first)->icon().availableSizes().value(0, QSize(28, 18));
    QImage a = frame.Action(first)->icon().pixmap(size).toImage();
    QImage b = frame.Action(second)->icon().pixmap(size).toImage();
    QVERIFY(!a.isNull());
    QVERIFY(a != b);
}

void TestTemplates::standardImagesAreDrawn_data()
{
    QTest::addColumn<int>("id");
    for (int id : CCommandTable::StandardBar()) {
        if (id != 0)
            QTest::newRow(CCommandTable::Find(id)->pszTip) << id;
    }
}

void TestTemplates::standardImagesAreDrawn()
{
    // Every image of the standard bar shows something, and no two are alike, whatever
    // the icon theme holds.
    QFETCH(int, id);
    auto image = [](int nId) { return CToolbarImages::ForCommand(nId).pixmap(QSize(16, 16)).toImage(); };
    const QImage mine = image(id);
    int inked = 0;
    for (int y = 0; y < mine.height(); ++y) {
        for (int x = 0; x < mine.width(); ++x)
            inked += qAlpha(mine.pixel(x, y)) > 128;
    }
    QVERIFY2(inked >= 12, qPrintable(QStringLiteral("%1 inked pixels").arg(inked)));
    for (int other : CCommandTable::StandardBar()) {
        if (other != 0 && other != id)
            QVERIFY(image(other) != mine);
    }
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestTemplates test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_templates.moc"
