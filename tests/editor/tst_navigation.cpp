// Finding one's way in a script: the Subs list (scanner and window), the variable
// list's Enter, matching braces, folding from the margin, and the find keys.
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "perl/PerlDocWindow.h"
#include "perl/PerlToolCommands.h"
#include "perl/SubListDlg.h"
#include "perl/SubListModel.h"
#include "perl/SubScanner.h"
#include "editor/VariableListDlg.h"
#include "framework/CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QStandardPaths>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using Rows = QStringList;

namespace {

// "sub NAME LINE" / "package NAME LINE" for each declaration found.
QStringList Declarations(const QByteArray &text)
{
    QStringList rows;
    for (const CSubDeclaration &d : CSubScanner::Scan(text)) {
        rows << QStringLiteral("%1 %2 %3")
                    .arg(d.nKind == CSubDeclaration::Sub ? QStringLiteral("sub") : QStringLiteral("package"),
                         QString::fromLatin1(text.mid(d.nName, d.nNameLength)))
                    .arg(d.nLine);
    }
    return rows;
}

const QByteArray kScript = "#!/usr/bin/perl\n"      // 1
                           "package Shop::Cart;\n"  // 2
                           "use strict;\n"          // 3
                           "\n"                     // 4
                           "sub new {\n"            // 5
                           "    my ($class) = @_;\n" // 6
                           "    return bless {}, $class;\n" // 7
                           "}\n"                    // 8
                           "\n"                     // 9
                           "=head1 NAME\n"          // 10
                           "\n"                     // 11
                           "sub not_code in pod\n"  // 12
                           "\n"                     // 13
                           "=cut\n"                 // 14
                           "\n"                     // 15
                           "sub total {\n"          // 16
                           "    my $self = shift;\n" // 17
                           "    if ($self) {\n"     // 18
                           "        return (1 + 2;\n" // 19
                           "    }\n"                // 20
                           "}\n"                    // 21
                           "package main;\n"        // 22
                           "sub run { total() }\n"; // 23

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void scanner_data();
    void scanner();
    void packageScopes();
    void subListRows();
    void subListGoesToLine_data();
    void subListGoesToLine();
    void variableListEnterGoesToLine();
    void braceMatching();
    void foldingSubAndPod();
    void findKeys();
    void redoBesideUndo();
    void operatorContextMenuShowsPerlop();

private:
    CKestrelDoc *m_pDoc = nullptr;
    CKestrelView *m_pView = nullptr;
};

void TestNavigation::init()
{
    g_settings = CSettings();
    g_settings.TAB_SIZE = QStringLiteral("4");
    g_settings.TAB_EXPAND = QStringLiteral("Y");
    m_pDoc = new CKestrelDoc;
    m_pView = new CKestrelView(m_pDoc);
    m_pDoc->SetView(m_pView);
    m_pView->OnInitialUpdate();
    m_pView->resize(600, 500);
}

void TestNavigation::cleanup()
{
    delete m_pView;
    delete m_pDoc;
}

void TestNavigation::scanner_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("subs and packages") << kScript
                                       << QStringList{"package Shop::Cart 2", "sub new 5", "sub total 16",
                                                      "package main 22", "sub run 23"};
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("anonymous sub, method, hash key, fat comma")
        << QByteArray("my $f = sub { 1 };\n$obj->sub(1);\n$h{sub} = 1;\nmy %h = (sub => 1, package => 2);\nsub real {}\n")
        << QStringList{"sub real 5"};
    QTest::newRow("comments and strings")
        << QByteArray("# sub in_comment\nmy $s = \"sub in_string\";\nmy $t = 'sub single\n';\nprint `sub x`;\nsub after {}\n")
        << QStringList{"sub after 6"};
    QTest::newRow("quote-like operators")
        << QByteArray("my @w = qw(sub a\nsub b);\nmy $r = qr{sub c};\ns/sub d/sub e/g;\ntr{a}\n{b};\nq#sub f#;\nsub g {}\n")
        << QStringList{"sub g 8"};
    QTest::newRow("patterns and division")
        << QByteArray("if ($x =~ /sub a/) {}\nmy $y = $z / 2; sub b {}\nsplit /sub c/, $s;\nsub d {}\n")
        << QStringList{"sub b 2", "sub d 4"};
    QTest::newRow("comma delimiters, defined-or, file tests")
        << QByteArray("$p =~ s,^/,,;\nmy $v = $h{k} // 'x';\nif (-s \"$d/x\") {}\nsub a {}\n")
        << QStringList{"sub a 4"};
    QTest::newRow("here-documents")
        << QByteArray("print <<EOT . <<'RAW';\nsub a\nEOT\nsub b\nRAW\nprint <<~\"IND\";\n    sub c\n    IND\nsub d {}\n")
        << QStringList{"sub d 9"};
    QTest::newRow("shift is not a here-document") << QByteArray("my $x = $y << 2;\nsub a {}\n") << QStringList{"sub a 2"};
    QTest::newRow("pod without =cut and __END__")
        << QByteArray("sub a {}\n__END__\nsub b {}\n") << QStringList{"sub a 1"};
    QTest::newRow("pod to the end") << QByteArray("sub a {}\n=pod\nsub b {}\n") << QStringList{"sub a 1"};
    QTest::newRow("punctuation variables quote nothing")
        << QByteArray("local $\" = ',';\nmy $n = $#list;\nprint $';\nsub a {}\n") << QStringList{"sub a 4"};
    QTest::newRow("name on the next line, qualified and with prototype")
        << QByteArray("sub\n  Foo::bar ($$) { }\npackage Baz 1.0 { sub qux {} }\n")
        << QStringList{"sub Foo::bar 1", "package Baz 3", "sub qux 3"};
    QTest::newRow("caret variable, and a caret before a line break")
        << QByteArray("local $^W = 0; my $x = $^\nsub a {}\n") << QStringList{"sub a 2"};
    QTest::newRow("CR LF") << QByteArray("package A;\r\n=pod\r\nsub x\r\n=cut\r\nsub b {}\r\n")
                           << QStringList{"package A 1", "sub b 5"};
    QTest::newRow("unterminated string") << QByteArray("sub a {}\nmy $s = \"sub b {}\n") << QStringList{"sub a 1"};
}

void TestNavigation::scanner()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    QCOMPARE(Declarations(text), expected);
}

void TestNavigation::packageScopes()
{
    const QByteArray text = "sub top {}\n"
                            "package A { sub in_a { my %h = (k => {}); } }\n"
                            "sub back_in_main {}\n"
                            "{ package B; sub in_b {} }\n"
                            "sub main_again {}\n"
                            "package C 1.2;\n"
                            "sub in_c { if (1) { } }\n"
                            "sub still_c {}\n";
    CSubListModel model;
    model.SetText(text);
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r)
        rows << model.index(r, 0).data().toString() + QLatin1Char('/') + model.index(r, 2).data().toString();
    QCOMPARE(rows, (QStringList{"sub top/main", "package A/A", "sub in_a/A", "sub back_in_main/main", "package B/B",
                                "sub in_b/B", "sub main_again/main", "package C/C", "sub in_c/C", "sub still_c/C"}));
}

void TestNavigation::subListRows()
{
    CSubListModel model;
    model.SetText(kScript);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Declaration"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Line Number"));
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("package Shop::Cart"));
    QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("sub total"));
    QCOMPARE(model.index(2, 1).data().toString(), QStringLiteral("   16"));
    QCOMPARE(model.index(2, 2).data().toString(), QStringLiteral("Shop::Cart"));
    QCOMPARE(model.index(4, 2).data().toString(), QStringLiteral("main"));
}

void TestNavigation::subListGoesToLine_data()
{
    QTest::addColumn<bool>("enter");
    QTest::newRow("double-click") << false;
    QTest::newRow("Enter") << true;
}

void TestNavigation::subListGoesToLine()
{
    QFETCH(bool, enter);
    m_pView->SetTextBytes(kScript);
    bool seen = false;
    bool closed = false;
    QTimer::singleShot(0, this, [&] {
        auto *dlg = qobject_cast<CSubListDlg *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        seen = true;
        QTreeView *list = dlg->m_listCtrl;
        const QRect rect = list->visualRect(list->model()->index(2, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        if (enter)
            QTest::keyClick(list, Qt::Key_Return);
        else
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        closed = !dlg->isVisible();
        if (!closed)
            dlg->reject();
    });
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_VIEW_SUBS));
    QVERIFY(seen);
    QVERIFY(closed);
    long pos = m_pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, pos) + 1, 16L);
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_GETCOLUMN, pos), 0L);
}

void TestNavigation::variableListEnterGoesToLine()
{
    m_pView->SetTextBytes("use strict;\nmy $a = 1;\nprint $b;\n");
    bool closed = false;
    QTimer::singleShot(0, this, [&] {
        auto *dlg = qobject_cast<CVariableListDlg *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        dlg->m_listCtrl->setCurrentIndex(dlg->m_listCtrl->model()->index(1, 0));
        QTest::keyClick(dlg->m_listCtrl, Qt::Key_Return);
        closed = !dlg->isVisible();
        if (!closed)
            dlg->reject();
    });
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_VIEW_SCALARS));
    QVERIFY(closed);
    long pos = m_pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, pos) + 1, 3L);
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_GETCOLUMN, pos), 6L);
}

void TestNavigation::braceMatching()
{
    m_pView->SetTextBytes(kScript);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    // The colours differ between a matched pair and a brace without a partner.
    const long light = m_pView->SendScintilla(QsciScintilla::SCI_STYLEGETBACK, QsciScintilla::STYLE_BRACELIGHT);
    const long bad = m_pView->SendScintilla(QsciScintilla::SCI_STYLEGETBACK, QsciScintilla::STYLE_BRACEBAD);
    const long plain = m_pView->SendScintilla(QsciScintilla::SCI_STYLEGETBACK, QsciScintilla::STYLE_DEFAULT);
    QVERIFY(light != bad && light != plain && bad != plain);

    auto backAt = [this](long pos) {
        QTest::qWait(50);
        const QImage image = m_pView->viewport()->grab().toImage();
        const int x = int(m_pView->SendScintilla(QsciScintilla::SCI_POINTXFROMPOSITION, 0, pos));
        const int y = int(m_pView->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0, pos));
        const int h = int(m_pView->SendScintilla(QsciScintilla::SCI_TEXTHEIGHT, 0));
        // The corner of the character's cell, away from the glyph and the caret.
        const QColor c = image.pixelColor(x + 1 + int(image.devicePixelRatio() * 0), y + h - 2);
        return (c.blue() << 16) | (c.green() << 8) | c.red();
    };
    const long open = m_pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 4) + 8; // "sub new {"
    const long close = m_pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 7);   // "}"
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_BRACEMATCH, (unsigned long)open, 0L), close);
    m_pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, open);
    QCOMPARE(backAt(close), light);
    QCOMPARE(backAt(open), light);
    // "return (1 + 2;" on line 19: its parenthesis has no partner.
    const long paren = m_pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 18) + 15;
    QCOMPARE(char(m_pView->SendScintilla(QsciScintilla::SCI_GETCHARAT, paren)), '(');
    m_pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, paren);
    QCOMPARE(backAt(paren), bad);
    // Away from any brace nothing is lit.
    m_pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, m_pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 2) + 1);
    QCOMPARE(backAt(close), plain);
}

void TestNavigation::foldingSubAndPod()
{
    m_pView->SetTextBytes(kScript);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    const int margin = CPerlToolCommands::kFoldMargin;
    QVERIFY(m_pView->SendScintilla(QsciScintilla::SCI_GETMARGINWIDTHN, margin) > 0);
    QVERIFY(m_pView->SendScintilla(QsciScintilla::SCI_GETMARGINSENSITIVEN, margin));
    m_pView->SendScintilla(QsciScintilla::SCI_COLOURISE, 0, -1);
    auto header = [this](int line) {
        return (m_pView->SendScintilla(QsciScintilla::SCI_GETFOLDLEVEL, line) & QsciScintilla::SC_FOLDLEVELHEADERFLAG) != 0;
    };
    auto visible = [this](int line) { return m_pView->SendScintilla(QsciScintilla::SCI_GETLINEVISIBLE, line) != 0; };
    QVERIFY(header(4));  // sub new {
    QVERIFY(header(9));  // =head1 NAME
    QVERIFY(header(15)); // sub total {

    // A click in the fold margin on the sub's first line folds its body.
    auto clickMargin = [this, margin](int line) {
        int x = 0;
        for (int m = 0; m < margin; ++m)
            x += int(m_pView->SendScintilla(QsciScintilla::SCI_GETMARGINWIDTHN, m));
        x += int(m_pView->SendScintilla(QsciScintilla::SCI_GETMARGINWIDTHN, margin)) / 2;
        const long pos = m_pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
        const int y = int(m_pView->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0, pos))
                      + int(m_pView->SendScintilla(QsciScintilla::SCI_TEXTHEIGHT, line)) / 2;
        QTest::mouseClick(m_pView->viewport(), Qt::LeftButton, {}, QPoint(x, y));
    };
    clickMargin(4);
    QVERIFY(visible(4));
    QVERIFY(!visible(5) && !visible(6) && !visible(7));
    QVERIFY(visible(8));
    // The POD block folds the same way.
    clickMargin(9);
    QVERIFY(visible(9));
    QVERIFY(!visible(10) && !visible(11) && !visible(12));
    QVERIFY(visible(15));
    // A second click unfolds.
    clickMargin(4);
    QVERIFY(visible(5) && visible(7));
}

void TestNavigation::findKeys()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CKestrelView *view = frame.GetActiveView();
    view->SetTextBytes("alpha beta\nbeta gamma\nbeta\n");
    view->setFocus();
    QApplication::setActiveWindow(&frame);
    QTRY_VERIFY(view->hasFocus());

    // Ctrl+F opens Find; the search made there is the one F3 repeats.
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    QWidget *dlg = nullptr;
    QTRY_VERIFY((dlg = frame.findChild<QWidget *>(QStringLiteral("FindReplaceDlg"))) && dlg->isVisible());
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Find"));
    auto *what = dlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"));
    what->setText(QStringLiteral("beta"));
    QTest::keyClick(what, Qt::Key_Return);
    int line = -1, index = -1;
    view->getCursorPosition(&line, &index);
    QCOMPARE(line, 0);
    dlg->close();
    QApplication::setActiveWindow(&frame);
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());

    QTest::keyClick(view, Qt::Key_F3);
    view->getCursorPosition(&line, &index);
    QCOMPARE(line, 1);
    QTest::keyClick(view, Qt::Key_F3);
    view->getCursorPosition(&line, &index);
    QCOMPARE(line, 2);
    QTest::keyClick(view, Qt::Key_F3, Qt::ShiftModifier);
    int l0, i0, l1, i1;
    view->getSelection(&l0, &i0, &l1, &i1);
    QCOMPARE(l0, 1);
    QCOMPARE(view->selectedText(), QStringLiteral("beta"));

    // Ctrl+H opens the same dialog as Replace.
    QTest::keyClick(view, Qt::Key_H, Qt::ControlModifier);
    QTRY_VERIFY((dlg = frame.findChild<QWidget *>(QStringLiteral("FindReplaceDlg"))) && dlg->isVisible());
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Replace"));
    dlg->close();

    // F1 from the editor: the word at the caret in the documentation window.
    view->SendScintilla(QsciScintilla::SCI_GOTOPOS, 1L);
    QTest::keyClick(view, Qt::Key_F1);
    CPerlDocWindow *docs = nullptr;
    QTRY_VERIFY((docs = frame.findChild<CPerlDocWindow *>()) && docs->isVisible());
    QCOMPARE(docs->windowTitle(), QStringLiteral("Perl Documentation - alpha"));
    QTRY_COMPARE_WITH_TIMEOUT(docs->TextView()->toPlainText(), QStringLiteral("No documentation found for \"alpha\"."),
                              20000);
    docs->close();

    // The menu shows the keys.
    QCOMPARE(frame.Action(Cmd::ID_EDIT_REPEAT)->shortcut(), QKeySequence(Qt::Key_F3));
    QCOMPARE(frame.Action(Cmd::ID_HELP_PERL_DOC)->shortcut(), QKeySequence(Qt::Key_F1));
    QVERIFY(frame.Action(Cmd::ID_EDIT_TIDY));
    QVERIFY(frame.Action(Cmd::ID_VIEW_SUBS));
    frame.GetDocument()->SetModifiedFlag(false);
}

void TestNavigation::redoBesideUndo()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CKestrelView *view = frame.GetActiveView();
    view->setFocus();
    QApplication::setActiveWindow(&frame);
    QTRY_VERIFY(view->hasFocus());
    QTest::keyClicks(view, "abc");
    QCOMPARE(view->GetTextBytes().right(3), QByteArray("abc"));
    const QByteArray typed = view->GetTextBytes();
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(view->GetTextBytes() != typed);
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(view->GetTextBytes(), typed);
    // Edit > Redo stands right after Undo.
    QMenu *edit = frame.findChild<QMenu *>(QStringLiteral("menu_Edit"));
    QVERIFY(edit);
    QCOMPARE(edit->actions().at(0), frame.Action(Cmd::ID_EDIT_UNDO));
    QCOMPARE(edit->actions().at(1), frame.Action(Cmd::ID_EDIT_REDO));
    frame.GetDocument()->SetModifiedFlag(false);
}

void TestNavigation::operatorContextMenuShowsPerlop()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QTRY_VERIFY(frame.OperatorBar()->isVisible());
    QToolButton *equality = nullptr;
    for (QToolButton *button : frame.OperatorBar()->findChildren<QToolButton *>()) {
        if (button->defaultAction() && button->defaultAction()->data().toInt() == 32964)
            equality = button;
    }
    QVERIFY(equality);
    bool chosen = false;
    QTimer::singleShot(100, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        auto *doc = menu->findChild<QAction *>(QStringLiteral("action_operator_doc"));
        QVERIFY(doc);
        chosen = true;
        doc->trigger();
        menu->close();
    });
    emit equality->customContextMenuRequested(QPoint(2, 2));
    QVERIFY(chosen);
    auto *window = frame.findChild<CPerlDocWindow *>();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Perl Documentation - =="));
    QTRY_VERIFY_WITH_TIMEOUT(window->TextView()->toPlainText().startsWith(QLatin1String("Equality Operators")), 20000);
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TestNavigation test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_navigation.moc"
