#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/FindReplaceDlg.h"
#include "editor/KestrelView.h"

#include "framework/CommandIds.h"

#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

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
    void homeWithCtrlAndShift_data();
    void homeWithCtrlAndShift();
    void undoBackToTheSavedTextClearsModified_data();
    void undoBackToTheSavedTextClearsModified();
    void autoIndent_data();
    void autoIndent();
    void autoIndentBeforeKeysTypedAfterIt();
    void autoIndentOff();
    void caretLineAndColumn();
    void bytesRoundTrip();
    void findAndReplace();
    void accessibleTextOnlyWhenAToolListens();
    void shownAsItsEncoding_data();
    void shownAsItsEncoding();
    void typingIntoWindows1252_data();
    void typingIntoWindows1252();
    void characterWithoutByte_data();
    void characterWithoutByte();
    void caseConversionKeepsBytes();
    void undoableTextKeepsEncoding();
    void findAndReplaceInWindows1252();
    void findReplaceLabelsHaveBuddies();

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

// Each key as a user presses it: a modifier goes down (a key of its own, which ends a
// pair of Home presses) before the first key that needs it and stays down for the
// keys after it that need it too; 0 lets every modifier up.
void TestView::homeWithCtrlAndShift_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("expectedCaret");

    const QByteArray text("x\n    print 1;\n");
    const int home = Qt::Key_Home;
    const int ctrl = int(Qt::ControlModifier);
    const int shift = int(Qt::ShiftModifier);
    QTest::newRow("Ctrl+Home: the start of the text at once") << text << 12 << QList<int>{home | ctrl} << 0 << 0;
    QTest::newRow("Ctrl+Home twice, Ctrl let up between, stays there")
        << text << 12 << QList<int>{home | ctrl, 0, home | ctrl} << 0 << 0;
    QTest::newRow("End, Shift+Home: selected back to the first non-blank")
        << text << 2 << QList<int>{int(Qt::Key_End), home | shift} << 14 << 6;
    QTest::newRow("Shift+Home twice: selected back to column 1")
        << text << 14 << QList<int>{home | shift, home | shift} << 14 << 2;
    QTest::newRow("Shift+Home from before the first non-blank selects forward to it")
        << text << 3 << QList<int>{home | shift} << 3 << 6;
    QTest::newRow("Ctrl+Shift+Home: selected to the start of the text")
        << text << 12 << QList<int>{home | ctrl | shift} << 12 << 0;
    QTest::newRow("plain Home after Shift+Home moves and selects nothing")
        << text << 14 << QList<int>{home | shift, int(Qt::Key_Right), home} << 6 << 6;
}

void TestView::homeWithCtrlAndShift()
{
    QFETCH(QByteArray, text);
    QFETCH(int, caret);
    QFETCH(QList<int>, keys);
    SetText(text, caret);
    Qt::KeyboardModifiers held;
    auto press = [&](Qt::Key key, Qt::KeyboardModifier mod) {
        QTest::keyPress(m_pView, key, held);
        held |= mod;
    };
    auto release = [&](Qt::Key key, Qt::KeyboardModifier mod) {
        held &= ~mod;
        QTest::keyRelease(m_pView, key, held);
    };
    for (int combo : keys) {
        const auto mods = Qt::KeyboardModifiers(combo & int(Qt::KeyboardModifierMask));
        const auto key = Qt::Key(combo & ~int(Qt::KeyboardModifierMask));
        if ((held & Qt::ShiftModifier) && !(mods & Qt::ShiftModifier))
            release(Qt::Key_Shift, Qt::ShiftModifier);
        if ((held & Qt::ControlModifier) && !(mods & Qt::ControlModifier))
            release(Qt::Key_Control, Qt::ControlModifier);
        if (combo == 0)
            continue;
        if ((mods & Qt::ControlModifier) && !(held & Qt::ControlModifier))
            press(Qt::Key_Control, Qt::ControlModifier);
        if ((mods & Qt::ShiftModifier) && !(held & Qt::ShiftModifier))
            press(Qt::Key_Shift, Qt::ShiftModifier);
        // The key alone, with the modifiers already down: keyClick would press them again.
        QTest::simulateEvent(m_pView, true, key, mods, QString(), false);
        QTest::simulateEvent(m_pView, false, key, mods, QString(), false);
    }
    if (held & Qt::ShiftModifier)
        release(Qt::Key_Shift, Qt::ShiftModifier);
    if (held & Qt::ControlModifier)
        release(Qt::Key_Control, Qt::ControlModifier);
    QTEST(int(m_pView->SendScintilla(QsciScintillaBase::SCI_GETANCHOR)), "anchor");
    QTEST(Caret(), "expectedCaret");
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

// Keys typed quickly after Enter are already waiting when its key-up indents: the extra
// level after a brace comes before them, as a posted key on the desktop the editor was
// designed for (posted keys go before waiting input there).
void TestView::autoIndentBeforeKeysTypedAfterIt()
{
    g_settings.TAB_EXPAND = QStringLiteral("Y");
    SetText("\tif ($x) {", 10);
    QTest::keyClick(m_pView, Qt::Key_Return);
    QTest::keyClicks(m_pView, QStringLiteral("print"));
    QTest::qWait(10);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("\tif ($x) {\n\t    print"));
}

void TestView::autoIndentOff()
{
    g_settings.AUTO_INDENT = 0;
    SetText("\tif ($x) {", 10);
    QTest::keyClick(m_pView, Qt::Key_Return);
    QTest::qWait(10);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("\tif ($x) {\n"));
}

// The modified mark follows the text: back at the text as it was saved or loaded,
// whether by Undo or by Redo, the mark goes; marked from outside (a text loaded from a
// server, with no file here yet), it stays.
void TestView::undoBackToTheSavedTextClearsModified_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("modified");
    // x types a character, u undoes, r redoes, s saves, c converts the line ends to DOS,
    // m marks the document modified as a load from a server does.
    QTest::newRow("typed, undone") << "xu" << false;
    QTest::newRow("typed, line ends converted, the conversion undone") << "xcu" << true;
    QTest::newRow("typed, undone, redone") << "xur" << true;
    QTest::newRow("typed, saved, typed, undone") << "xsxu" << false;
    QTest::newRow("typed, saved, undone past the save") << "xsu" << true;
    QTest::newRow("line ends converted, undone") << "cu" << false;
    QTest::newRow("marked from outside, typed, undone") << "mxu" << true;
}

void TestView::undoBackToTheSavedTextClearsModified()
{
    QFETCH(QString, steps);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("name.pl"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("print 1;\nprint 2;\n");
    }
    QVERIFY(m_pDoc->OnOpenDocument(path));
    m_pView->OnInitialUpdate();
    QVERIFY(!m_pDoc->IsModified());
    QSignalSpy titles(m_pDoc, &CKestrelDoc::TitleChanged);
    for (QChar step : steps) {
        switch (step.toLatin1()) {
        case 'x': QTest::keyClick(m_pView, Qt::Key_Z); break;
        case 'u': m_pView->undo(); break;
        case 'r': m_pView->redo(); break;
        case 's': QVERIFY(m_pDoc->OnFileSave()); break;
        case 'c': QVERIFY(m_pView->Commands().Execute(Cmd::ID_EDIT_CONVERT_TO_DOS)); break;
        case 'm': m_pDoc->SetModifiedFlag(true); break;
        }
    }
    QTEST(m_pDoc->IsModified(), "modified");
    // The title follows: each change of the mark is said.
    QVERIFY(!titles.isEmpty());
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
    // Not UTF-8, so each byte is one character (é is two bytes in the control).
    m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEL, 1UL, 4L);
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

namespace {

QString Chars(std::initializer_list<char32_t> chars)
{
    QString text;
    for (char32_t c : chars)
        text += QString::fromUcs4(&c, 1);
    return text;
}

// Answers the next message box, and keeps its text.
void CloseNextMessageBox(QString *pText)
{
    QTimer::singleShot(0, [pText] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            *pText = box->text();
            box->accept();
        }
    });
}

} // namespace

void TestView::shownAsItsEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("shown");
    const int ansi = CScriptEncoding::Windows1252;
    const int utf8 = CScriptEncoding::Utf8;
    QTest::newRow("Latin-1 e acute") << QByteArray("Caf\xe9") << ansi << Chars({'C', 'a', 'f', 0xE9});
    QTest::newRow("0x80-0x9F as Windows-1252 defines them")
        << QByteArray("\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8e\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9a\x9b"
                      "\x9c\x9e\x9f")
        << ansi
        << Chars({0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
                  0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
                  0x0153, 0x017E, 0x0178});
    QTest::newRow("bytes Windows-1252 leaves undefined: their control characters")
        << QByteArray("\x81\x8d\x8f\x90\x9d") << ansi << Chars({0x81, 0x8D, 0x8F, 0x90, 0x9D});
    QTest::newRow("Latin-1 upper half") << QByteArray("\xa0\xbf\xd7\xff") << ansi << Chars({0xA0, 0xBF, 0xD7, 0xFF});
    QTest::newRow("one invalid byte makes all of it Windows-1252")
        << QByteArray("\xc3\xa9t\xe9") << ansi << Chars({0xC3, 0xA9, 't', 0xE9});
    QTest::newRow("CR LF and NUL beside Windows-1252")
        << QByteArray("a\xe9\r\n\0\x80", 6) << ansi << Chars({'a', 0xE9, '\r', '\n', 0, 0x20AC});
    QTest::newRow("valid UTF-8 stays UTF-8") << QByteArray("caf\xc3\xa9 \xe2\x82\xac") << utf8
                                             << Chars({'c', 'a', 'f', 0xE9, ' ', 0x20AC});
    QTest::newRow("ASCII with NUL is UTF-8") << QByteArray("a\0\r\nb", 5) << utf8 << Chars({'a', 0, '\r', '\n', 'b'});
}

void TestView::shownAsItsEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QString, shown);
    m_pView->SetTextBytes(bytes);
    QCOMPARE(int(m_pView->Encoding()), encoding);
    QCOMPARE(QString::fromUtf8(m_pView->GetControlBytes()), shown);
    // Character by character, as Scintilla steps through the text.
    const QByteArray control = m_pView->GetControlBytes();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        long pos = m_pView->SendScintilla(QsciScintillaBase::SCI_POSITIONRELATIVE, 0UL, long(i));
        long next = m_pView->SendScintilla(QsciScintillaBase::SCI_POSITIONRELATIVE, 0UL, long(i + 1));
        QCOMPARE(QString::fromUtf8(control.mid(pos, next - pos)), shown.mid(i, 1));
    }
    QCOMPARE(m_pView->GetTextBytes(), bytes);
}

void TestView::typingIntoWindows1252_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("e acute into Latin-1 text is E9") << QByteArray("Caf\xe9\n") << QStringLiteral("\u00e9")
                                                     << QByteArray("\xe9" "Caf\xe9\n");
    QTest::newRow("euro sign is 80") << QByteArray("Caf\xe9\n") << QStringLiteral("\u20ac") << QByteArray("\x80" "Caf\xe9\n");
    QTest::newRow("Y diaeresis is 9F") << QByteArray("\x81") << QStringLiteral("\u0178") << QByteArray("\x9f\x81");
    QTest::newRow("e acute into UTF-8 text stays UTF-8")
        << QByteArray("caf\xc3\xa9\n") << QStringLiteral("\u00e9") << QByteArray("\xc3\xa9" "caf\xc3\xa9\n");
}

void TestView::typingIntoWindows1252()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, typed);
    QFETCH(QByteArray, expected);
    SetText(bytes, 0);
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, typed);
    QApplication::sendEvent(m_pView, &press);
    QCOMPARE(m_pView->GetTextBytes(), expected);
}

void TestView::characterWithoutByte_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("refused");
    const QString aMacron = QStringLiteral("\u0100");
    const QString euro = QStringLiteral("\u20ac");
    for (const char *way : {"typed", "pasted", "pasted by Scintilla", "input method", "replaced"}) {
        const QString w = QLatin1String(way);
        QTest::addRow("%s: A macron refused in Windows-1252", way)
            << w << QByteArray("a\xe9") << aMacron << QByteArray("a\xe9") << true;
        QTest::addRow("%s: euro sign taken in Windows-1252", way)
            << w << QByteArray("a\xe9") << euro << QByteArray("a\x80\xe9") << false;
        QTest::addRow("%s: A macron taken in UTF-8", way)
            << w << QByteArray("ab") << aMacron << QByteArray("a\xc4\x80" "b") << false;
    }
}

// Every way a character comes in: one that the file's 8-bit encoding has no byte for
// stays out, and the user is told; the file's bytes are as they were.
void TestView::characterWithoutByte()
{
    QFETCH(QString, way);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QFETCH(bool, refused);
    SetText(bytes, 1);
    QSignalSpy spy(m_pView, &CKestrelView::TextRefused);
    if (way == QLatin1String("typed")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(m_pView, &press);
    } else if (way == QLatin1String("pasted")) {
        QApplication::clipboard()->setText(text);
        QVERIFY(m_pView->Commands().Execute(Cmd::ID_EDIT_PASTE));
    } else if (way == QLatin1String("pasted by Scintilla")) {
        // The context menu's Paste and a middle click take Scintilla's own way.
        QApplication::clipboard()->setText(text);
        m_pView->SendScintilla(QsciScintillaBase::SCI_PASTE);
    } else if (way == QLatin1String("input method")) {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(m_pView, &commit);
    } else {
        m_pView->replaceSelectedText(text);
    }
    QCOMPARE(m_pView->GetTextBytes(), expected);
    QCOMPARE(spy.count(), refused ? 1 : 0);
    if (refused)
        QVERIFY2(spy.first().first().toString().contains(text), qPrintable(spy.first().first().toString()));
}

// Scintilla's case conversions change ASCII letters only: the upper case of the micro
// sign, a Greek letter Windows-1252 lacks, never comes in that way.
void TestView::caseConversionKeepsBytes()
{
    SetText("\xb5x\xe9", 0);
    m_pView->selectAll(true);
    QSignalSpy spy(m_pView, &CKestrelView::TextRefused);
    QTest::keyClick(m_pView, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    long bad = 0;
    QCOMPARE(m_pView->GetTextBytes(&bad), QByteArray("\xb5X\xe9"));
    QCOMPARE(bad, -1L);
    QTest::keyClick(m_pView, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("\xb5x\xe9"));
    QCOMPARE(spy.count(), 0);
}

// Convert to DOS and Convert to UNIX replace the whole text undoably: the file keeps
// its encoding even where the new bytes would read as UTF-8.
void TestView::undoableTextKeepsEncoding()
{
    m_pView->SetTextBytes("\xe9\n");
    QCOMPARE(m_pView->Encoding(), CScriptEncoding::Windows1252);
    m_pView->SetTextBytes("\xc3\xa9\r\n", true);
    QCOMPARE(m_pView->Encoding(), CScriptEncoding::Windows1252);
    QCOMPARE(QString::fromUtf8(m_pView->GetControlBytes()), Chars({0xC3, 0xA9, '\r', '\n'}));
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("\xc3\xa9\r\n"));
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("\xe9\n"));
    // A new text, as Open and Load from server give, takes its own.
    m_pView->SetTextBytes("\xc3\xa9\r\n");
    QCOMPARE(m_pView->Encoding(), CScriptEncoding::Utf8);
    QCOMPARE(QString::fromUtf8(m_pView->GetControlBytes()), Chars({0xE9, '\r', '\n'}));
}

void TestView::findAndReplaceInWindows1252()
{
    SetText("caf\xe9 \x80 caf\xe9", 0);
    CFindReplaceDlg *dlg = CFindReplaceDlg::Show(m_pView, true);
    auto *findWhat = dlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"));
    auto *replaceWith = dlg->findChild<QLineEdit *>(QStringLiteral("ReplaceWith"));
    findWhat->setText(QStringLiteral("\u20ac"));
    QVERIFY(dlg->FindNext());
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("\x80"));

    findWhat->setText(QStringLiteral("\u00e9"));
    replaceWith->setText(QStringLiteral("\u00e8"));
    QCOMPARE(dlg->ReplaceAll(), 2);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("caf\xe8 \x80 caf\xe8"));

    // A replacement the encoding cannot hold is refused whole, with a word why.
    findWhat->setText(QStringLiteral("caf"));
    replaceWith->setText(QStringLiteral("\u0100"));
    QString said;
    CloseNextMessageBox(&said);
    QCOMPARE(dlg->ReplaceAll(), 0);
    QVERIFY2(said.contains(QStringLiteral("\u0100")), qPrintable(said));
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("caf\xe8 \x80 caf\xe8"));
    dlg->close();
}

void TestView::findReplaceLabelsHaveBuddies()
{
    CFindReplaceDlg *dlg = CFindReplaceDlg::Show(m_pView, true);
    QVERIFY(QTest::qWaitForWindowExposed(dlg));
    const QHash<QString, QString> fieldOf = {{QStringLiteral("Fi&nd what:"), QStringLiteral("FindWhat")},
                                             {QStringLiteral("Re&place with:"), QStringLiteral("ReplaceWith")}};
    int mnemonics = 0;
    for (QLabel *label : dlg->findChildren<QLabel *>()) {
        const QString text = label->text();
        if (!text.contains(QRegularExpression(QStringLiteral("&[^&]"))))
            continue;
        ++mnemonics;
        QVERIFY2(label->buddy(), qPrintable(text));
        QCOMPARE(label->buddy()->objectName(), fieldOf.value(text));
        // With a buddy the "&" is not drawn: the label is as wide as its text without it.
        QLabel plain(QString(text).remove(QLatin1Char('&')));
        plain.setFont(label->font());
        QCOMPARE(label->sizeHint().width(), plain.sizeHint().width());
    }
    QCOMPARE(mnemonics, 2);

    auto *findWhat = dlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"));
    auto *replaceWith = dlg->findChild<QLineEdit *>(QStringLiteral("ReplaceWith"));
    // A mnemonic works in the active window.
    dlg->activateWindow();
    QTRY_VERIFY(dlg->isActiveWindow());
    findWhat->setFocus();
    QTest::keyClick(findWhat, Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), replaceWith);
    QTest::keyClick(replaceWith, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), findWhat);
    dlg->close();
}

QTEST_MAIN(TestView)
#include "tst_view.moc"
