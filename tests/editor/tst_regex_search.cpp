// Find and Replace with a Perl-compatible regular expression: the search on the
// editor's bytes, and the dialog that drives it.
#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/FindReplaceDlg.h"
#include "editor/KestrelView.h"
#include "editor/RegexSearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

// The text with every match replaced, as Replace All makes it.
QByteArray ReplaceAll(const CRegexSearch &re, const QByteArray &text, const QString &replacement)
{
    QByteArray out;
    qsizetype at = 0;
    for (const CRegexSearch::Match &m : re.FindAll(text, replacement)) {
        out += text.mid(at, m.nStart - at) + m.replacement;
        at = m.nEnd;
    }
    return out + text.mid(at);
}

// "start-end" of each match a repeated Find Next selects, from the start of the text,
// in the order found, until it finds no more.
QStringList FindEach(const CRegexSearch &re, const QByteArray &text, bool bForward)
{
    QStringList found;
    qsizetype selStart = bForward ? 0 : text.size(), selEnd = selStart, lastEmpty = -1;
    for (int guard = 0; guard <= text.size() + 1; ++guard) {
        const CRegexSearch::Match m = bForward ? re.FindForward(text, selEnd, selStart == selEnd && selEnd == lastEmpty)
                                               : re.FindBackward(text, selStart);
        if (!m.IsValid())
            return found;
        found << QStringLiteral("%1-%2").arg(m.nStart).arg(m.nEnd);
        selStart = m.nStart;
        selEnd = m.nEnd;
        lastEmpty = m.nStart == m.nEnd ? m.nStart : -1;
    }
    found << QStringLiteral("never ends");
    return found;
}

// Closes the message box that the next call opens, keeping its text.
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

class TestRegexSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void replaceAll_data();
    void replaceAll();
    void findEach_data();
    void findEach();
    void upKeepsTheStepsOfALongLine();
    void badPattern_data();
    void badPattern();
    void dialogFindAndReplace();
    void dialogReplaceStepsOverEmptyMatches();
    void dialogReportsBadPatternAndStays();
    void dialogInWindows1252();

private:
    CFindReplaceDlg *ShowDialog(const QString &pattern, const QString &replacement, bool bRegex = true);

    CKestrelDoc *m_pDoc = nullptr;
    CKestrelView *m_pView = nullptr;
};

void TestRegexSearch::init()
{
    g_settings = CSettings();
    m_pDoc = new CKestrelDoc;
    m_pView = new CKestrelView(m_pDoc);
    m_pDoc->SetView(m_pView);
    m_pView->OnInitialUpdate();
    m_pView->resize(600, 400);
    m_pView->show();
}

void TestRegexSearch::cleanup()
{
    // The dialog belongs to the editor's window and goes with it.
    delete m_pView;
    delete m_pDoc;
}

void TestRegexSearch::replaceAll_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char *name, const QByteArray &text, const char *pattern, bool matchCase, bool wholeWord,
                  const char *replacement, const QByteArray &expected) {
        QTest::newRow(name) << text << QString::fromUtf8(pattern) << matchCase << wholeWord
                            << QString::fromUtf8(replacement) << expected;
    };
    row("dollar groups", "my $a = 1;\nmy $b = 2;\n", "my \\$(\\w) = (\\d)", true, false, "our $$1 = $2",
        "our $a = 1;\nour $b = 2;\n");
    row("backslash groups", "key=value\n", "(\\w+)=(\\w+)", true, false, "\\2=\\1", "value=key\n");
    row("braced group beside digits", "a1\n", "(a)(1)", true, false, "${1}0", "a0\n");
    row("named group", "x: 5\n", "(?<n>\\d)", true, false, "<${n}>", "x: <5>\n");
    row("whole match", "foo bar\n", "\\w+", true, false, "[$&]", "[foo] [bar]\n");
    row("group that took no part", "ab\n", "a(x)?b", true, false, "<$1>", "<>\n");
    row("escapes in the replacement", "a,b\n", ",", true, false, "\\t\\$\\\\", "a\t$\\b\n");
    row("newline in the replacement", "a;b", ";", true, false, "\\n", "a\nb");
    row("caseless by default", "Foo foo FOO", "foo", false, false, "x", "x x x");
    row("match case", "Foo foo FOO", "foo", true, false, "x", "Foo x FOO");
    row("caseless pattern classes", "ABC", "[a-c]+", false, false, "-", "-");
    row("whole word", "cat concat cat_x cat.", "cat", true, true, "dog", "dog concat cat_x dog.");
    row("whole word alternation keeps the longer word", "abc ab", "ab|abc", true, true, "X", "X X");
    row("whole word beside accented letters", "caf\xc3\xa9 caf", "caf", true, true, "X", "caf\xc3\xa9 X");
    row("line starts", "a\nb\n\nc", "^", true, false, "> ", "> a\n> b\n> \n> c");
    row("line ends in CRLF", "a\r\nb\r\n", "$", true, false, ";", "a;\r\nb;\r\n;");
    row("word before CRLF", "foo\r\nbar foo\r\n", "foo$", true, false, "X", "X\r\nbar X\r\n");
    row("dot stops at CR", "ab\r\ncd", "b.", true, false, "X", "ab\r\ncd");
    row("empty matches between characters", "abc", "x*", true, false, "-", "-a-b-c-");
    row("empty and longer match at one place", "aab", "a*", true, false, "-", "--b-");
    row("lookbehind sees the text before", "price: 10 cost 20", "(?<=: )\\d+", true, false, "N",
        "price: N cost 20");
    row("multibyte characters", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac", "\\w+", true, false, "<$&>",
        "<\xc3\xa9t\xc3\xa9> \xe2\x82\xac");
    row("character beyond the 16-bit plane", "a\xf0\x9f\x98\x80" "b", "(.)b", true, false, "[$1]",
        "a[\xf0\x9f\x98\x80]");
    row("bytes that are not UTF-8 stay", "a\xff" "b\xfe", "(.)b", true, false, "$1$1", "a\xff\xff\xfe");
    row("no match", "abc", "z", true, false, "y", "abc");
}

void TestRegexSearch::replaceAll()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QString, replacement);
    QFETCH(QByteArray, expected);
    const CRegexSearch re(pattern, matchCase, wholeWord);
    QVERIFY2(re.IsValid(), qPrintable(re.ErrorMessage()));
    QVERIFY2(re.CheckReplacement(replacement).isEmpty(), qPrintable(re.CheckReplacement(replacement)));
    QCOMPARE(ReplaceAll(re, text, replacement), expected);
}

void TestRegexSearch::findEach_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("words down") << QByteArray("ab cd") << QStringLiteral("\\w+") << true
                                << QStringList{"0-2", "3-5"};
    QTest::newRow("words up") << QByteArray("ab cd") << QStringLiteral("\\w+") << false
                              << QStringList{"3-5", "0-2"};
    // As in Perl, "^" does not match after the line end that ends the text.
    QTest::newRow("line starts down") << QByteArray("a\nb\n") << QStringLiteral("^") << true
                                      << QStringList{"0-0", "2-2"};
    QTest::newRow("line starts up") << QByteArray("a\nb\n") << QStringLiteral("^") << false
                                    << QStringList{"2-2", "0-0"};
    QTest::newRow("empty everywhere down") << QByteArray("ab") << QStringLiteral("x*") << true
                                           << QStringList{"0-0", "1-1", "2-2"};
    QTest::newRow("empty then a longer one") << QByteArray("ba") << QStringLiteral("a*") << true
                                             << QStringList{"0-0", "1-2", "2-2"};
    // Far apart, so that going up has to look further back than where it starts looking.
    const QByteArray far = "w1 " + QByteArray(200000, '.') + "\n" + QByteArray(200000, '-') + " w2";
    QTest::newRow("far apart up") << far << QStringLiteral("w\\d") << false
                                  << QStringList{QStringLiteral("%1-%2").arg(far.size() - 2).arg(far.size()),
                                                 QStringLiteral("0-2")};
    QTest::newRow("positions are bytes") << QByteArray("\xc3\xa9x \xe2\x82\xacx") << QStringLiteral("x") << true
                                         << QStringList{"2-3", "7-8"};
}

void TestRegexSearch::findEach()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, pattern);
    QFETCH(bool, forward);
    QFETCH(QStringList, found);
    QCOMPARE(FindEach(CRegexSearch(pattern, true, false), text, forward), found);
}

void TestRegexSearch::upKeepsTheStepsOfALongLine()
{
    // Matched from the start, "aa" takes the a's two by two; a search up that started
    // anywhere but at the line's start could find the pair one a later.
    const QByteArray line(200001, 'a');
    const CRegexSearch::Match m = CRegexSearch(QStringLiteral("aa"), true, false).FindBackward(line, line.size());
    QCOMPARE(m.nStart, qsizetype(199998));
    QCOMPARE(m.nEnd, qsizetype(200000));
}

void TestRegexSearch::badPattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("said");
    QTest::newRow("unclosed group") << QStringLiteral("(ab") << false << QString()
                                    << QStringLiteral("missing closing parenthesis (at character 4)");
    QTest::newRow("stray parenthesis under whole word")
        << QStringLiteral("a)(b") << true << QString() << QStringLiteral("(at character 2)");
    QTest::newRow("nothing to repeat") << QStringLiteral("*a") << false << QString()
                                       << QStringLiteral("quantifier does not follow a repeatable item");
    QTest::newRow("empty pattern") << QString() << false << QString() << QStringLiteral("empty");
    QTest::newRow("group the pattern lacks") << QStringLiteral("(a)") << false << QStringLiteral("$2")
                                             << QStringLiteral("group 2, but the regular expression has 1");
    QTest::newRow("backslash group the pattern lacks")
        << QStringLiteral("a") << false << QStringLiteral("\\1") << QStringLiteral("group 1");
    QTest::newRow("unknown group name") << QStringLiteral("(?<x>a)") << false << QStringLiteral("${y}")
                                        << QStringLiteral("named \"y\"");
    QTest::newRow("unclosed brace") << QStringLiteral("(a)") << false << QStringLiteral("${1")
                                    << QStringLiteral("without its");
}

void TestRegexSearch::badPattern()
{
    QFETCH(QString, pattern);
    QFETCH(bool, wholeWord);
    QFETCH(QString, replacement);
    QFETCH(QString, said);
    const CRegexSearch re(pattern, true, wholeWord);
    const QString message = re.IsValid() ? re.CheckReplacement(replacement) : re.ErrorMessage();
    QVERIFY2(message.contains(said), qPrintable(message));
    // Nothing is found with a pattern that is wrong.
    if (!re.IsValid()) {
        QVERIFY(!re.FindForward("a)(b (ab *a", 0, false).IsValid());
        QVERIFY(re.FindAll("a)(b (ab *a", QString()).isEmpty());
    }
}

CFindReplaceDlg *TestRegexSearch::ShowDialog(const QString &pattern, const QString &replacement, bool bRegex)
{
    CFindReplaceDlg *dlg = CFindReplaceDlg::Show(m_pView, true);
    dlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"))->setText(pattern);
    dlg->findChild<QLineEdit *>(QStringLiteral("ReplaceWith"))->setText(replacement);
    dlg->findChild<QCheckBox *>(QStringLiteral("RegularExpression"))->setChecked(bRegex);
    return dlg;
}

void TestRegexSearch::dialogFindAndReplace()
{
    m_pView->SetTextBytes("sub alpha { }\nsub beta { }\n");
    CFindReplaceDlg *dlg = ShowDialog(QStringLiteral("sub (\\w+)"), QStringLiteral("sub do_$1"));
    QVERIFY(dlg->FindNext());
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("sub alpha"));
    // Replace takes the found match and finds the next.
    dlg->ReplaceCurrent();
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("sub do_alpha { }\nsub beta { }\n"));
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("sub beta"));
    dlg->close();

    // Replace All is one Undo step.
    m_pView->SetTextBytes("a1 b2 c3\n");
    dlg = ShowDialog(QStringLiteral("([a-z])(\\d)"), QStringLiteral("\\2\\1"));
    QCOMPARE(dlg->ReplaceAll(), 3);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("1a 2b 3c\n"));
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("a1 b2 c3\n"));
    QVERIFY(!m_pView->isUndoAvailable());

    // Without the box the same text is plain: its brackets are only brackets.
    m_pView->SetTextBytes("x ([a-z]) y\n");
    dlg = ShowDialog(QStringLiteral("([a-z])"), QStringLiteral("Z"), false);
    QCOMPARE(dlg->ReplaceAll(), 1);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("x Z y\n"));

    // F3 repeats the regular expression, with the box's state.
    m_pView->SetTextBytes("n1 n22 n333\n");
    dlg = ShowDialog(QStringLiteral("n\\d{2,}"), QString());
    QVERIFY(dlg->FindNext());
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("n22"));
    dlg->close();
    QVERIFY(CFindReplaceDlg::FindAgain(m_pView, true));
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("n333"));
    QVERIFY(CFindReplaceDlg::FindAgain(m_pView, false));
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("n22"));
}

void TestRegexSearch::dialogReplaceStepsOverEmptyMatches()
{
    // Replace pressed again and again on a pattern that matches nothing at every place
    // ends, having made what Replace All makes, and Find Next on it moves on.
    m_pView->SetTextBytes("ab\ncd");
    CFindReplaceDlg *dlg = ShowDialog(QStringLiteral("^"), QStringLiteral("# "));
    int presses = 0;
    QString said;
    for (; presses < 10; ++presses) {
        const QByteArray before = m_pView->GetTextBytes();
        CloseNextMessageBox(&said);
        dlg->ReplaceCurrent();
        if (m_pView->GetTextBytes() == before && !said.isEmpty())
            break;
    }
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("# ab\n# cd"));
    QVERIFY2(presses < 10, "Replace kept going");
    QVERIFY2(said.contains(QStringLiteral("Cannot find")), qPrintable(said));
    dlg->close();

    m_pView->SetTextBytes("abc");
    dlg = ShowDialog(QStringLiteral("x*"), QString());
    QList<long> at;
    for (int i = 0; i < 4; ++i) {
        QVERIFY(dlg->FindNext());
        at << m_pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    }
    QCOMPARE(at, (QList<long>{0, 1, 2, 3}));
    CloseNextMessageBox(&said);
    QVERIFY(!dlg->FindNext());
}

void TestRegexSearch::dialogReportsBadPatternAndStays()
{
    m_pView->SetTextBytes("text (here\n");
    CFindReplaceDlg *dlg = ShowDialog(QStringLiteral("(here"), QStringLiteral("x"));
    QVERIFY(QTest::qWaitForWindowExposed(dlg));
    QString said;
    CloseNextMessageBox(&said);
    QVERIFY(!dlg->FindNext());
    QVERIFY2(said.contains(QStringLiteral("missing closing parenthesis")), qPrintable(said));
    QVERIFY(dlg->isVisible());
    said.clear();
    CloseNextMessageBox(&said);
    QCOMPARE(dlg->ReplaceAll(), 0);
    QVERIFY2(said.contains(QStringLiteral("missing closing parenthesis")), qPrintable(said));
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("text (here\n"));
    QVERIFY(dlg->isVisible());
    // Mended, it finds.
    dlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"))->setText(QStringLiteral("\\(here"));
    QVERIFY(dlg->FindNext());
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("(here"));
    dlg->close();
}

void TestRegexSearch::dialogInWindows1252()
{
    // The pattern sees the characters the editor shows; the file keeps its bytes.
    m_pView->SetTextBytes("caf\xe9 \x80 na\xefve\r\n");
    QCOMPARE(m_pView->Encoding(), CScriptEncoding::Windows1252);
    CFindReplaceDlg *dlg = ShowDialog(QStringLiteral("(\\w+)\u00e9"), QStringLiteral("[$1\u00e8]"));
    QVERIFY(dlg->FindNext());
    QCOMPARE(m_pView->GetSelectedBytes(), QByteArray("caf\xe9"));
    QCOMPARE(dlg->ReplaceAll(), 1);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("[caf\xe8] \x80 na\xefve\r\n"));
    dlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"))->setText(QStringLiteral("\u20ac|\u00ef"));
    dlg->findChild<QLineEdit *>(QStringLiteral("ReplaceWith"))->setText(QStringLiteral("<$&>"));
    QCOMPARE(dlg->ReplaceAll(), 2);
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("[caf\xe8] <\x80> na<\xef>ve\r\n"));
    dlg->close();
}

QTEST_MAIN(TestRegexSearch)
#include "tst_regex_search.moc"
