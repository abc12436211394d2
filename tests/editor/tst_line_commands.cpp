// The Edit menu's line commands: Toggle Comment, Move Line Up / Down, Duplicate Line,
// Indent and Outdent. One table of cases is checked twice: on the bytes alone, and in
// the main window through the keys, where each command must also be one Undo step.
//
// In the texts, "|" is the caret and "^" the anchor of the selection (no "^": nothing
// is selected).
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "editor/LineCommands.h"
#include "framework/CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>

namespace {

struct CMarked
{
    QByteArray text;
    qsizetype nAnchor = 0;
    qsizetype nCaret = 0;
};

CMarked Parse(const QByteArray &marked)
{
    CMarked m;
    qsizetype anchor = -1;
    for (char c : marked) {
        if (c == '|')
            m.nCaret = m.text.size();
        else if (c == '^')
            anchor = m.text.size();
        else
            m.text += c;
    }
    m.nAnchor = anchor < 0 ? m.nCaret : anchor;
    return m;
}

QByteArray Mark(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret)
{
    QByteArray out = text;
    // The later mark first, so the earlier position still holds.
    if (nAnchor == nCaret)
        return out.insert(nCaret, '|');
    if (nAnchor > nCaret)
        return out.insert(nAnchor, '^').insert(nCaret, '|');
    return out.insert(nCaret, '|').insert(nAnchor, '^');
}

// The commands of the table: what runs them on the bytes, and the key and settings
// that run them in the editor.
struct CCommandCase
{
    const char *pszName;
    int nKey;
    Qt::KeyboardModifiers modifiers;
    const char *pszTabExpand;
    const char *pszTabSize;
};

const CCommandCase kCommands[] = {
    {"comment", Qt::Key_Slash, Qt::ControlModifier, "Y", "4"},
    {"up", Qt::Key_Up, Qt::AltModifier, "Y", "4"},
    {"down", Qt::Key_Down, Qt::AltModifier, "Y", "4"},
    {"dup", Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier, "Y", "4"},
    {"indent4", Qt::Key_BracketRight, Qt::ControlModifier, "Y", "4"},
    {"indentTab", Qt::Key_BracketRight, Qt::ControlModifier, "N", "4"},
    {"outdent4", Qt::Key_BracketLeft, Qt::ControlModifier, "Y", "4"},
    {"outdentTab8", Qt::Key_BracketLeft, Qt::ControlModifier, "N", "4"},
};

const CCommandCase &Command(const QString &name)
{
    for (const CCommandCase &c : kCommands) {
        if (name == QLatin1String(c.pszName))
            return c;
    }
    qFatal("no such command");
}

CLineCommands::Result RunOnBytes(const QString &name, const CMarked &m)
{
    if (name == QLatin1String("comment"))
        return CLineCommands::ToggleComment(m.text, m.nAnchor, m.nCaret);
    if (name == QLatin1String("up") || name == QLatin1String("down"))
        return CLineCommands::MoveLines(m.text, m.nAnchor, m.nCaret, name == QLatin1String("up"));
    if (name == QLatin1String("dup"))
        return CLineCommands::DuplicateLines(m.text, m.nAnchor, m.nCaret);
    if (name == QLatin1String("indent4"))
        return CLineCommands::Indent(m.text, m.nAnchor, m.nCaret, "    ");
    if (name == QLatin1String("indentTab"))
        return CLineCommands::Indent(m.text, m.nAnchor, m.nCaret, "\t");
    if (name == QLatin1String("outdent4"))
        return CLineCommands::Outdent(m.text, m.nAnchor, m.nCaret, 4);
    return CLineCommands::Outdent(m.text, m.nAnchor, m.nCaret, 8);
}

void AddCases()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    auto row = [](const char *name, const char *command, const QByteArray &before, const QByteArray &after) {
        QTest::newRow(name) << QString::fromLatin1(command) << before << after;
    };
    // Toggle Comment
    row("comment caret line", "comment", "a\n  b|c\nd\n", "a\n  # b|c\nd\n");
    row("comment caret at column 1", "comment", "|x\n", "# |x\n");
    row("uncomment caret line", "comment", "  # b|c\n", "  b|c\n");
    row("uncomment mark without blank", "comment", "#x|\n", "x|\n");
    row("uncomment takes one blank only", "comment", "#   x|\n", "  x|\n");
    row("comment at least indentation", "comment", "^  a\n    b\n|c\n", "^  # a\n  #   b\n|c\n");
    row("comment leaves blank lines", "comment", "^a\n\n  \nb|\n", "^# a\n\n  \n# b|\n");
    row("uncomment over blank lines", "comment", "^# a\n\n# b|\n", "^a\n\nb|\n");
    row("mixed block is commented", "comment", "^# a\nb|\n", "^# # a\n# b|\n");
    row("comment a blank line alone", "comment", "x\n|\n", "x\n# |\n");
    row("comment CRLF lines", "comment", "^a\r\nb\r\n|c", "^# a\r\n# b\r\n|c");
    row("comment last line without end", "comment", "a\nb|", "a\n# b|");
    row("comment caret above anchor", "comment", "|a\nb^\n", "|# a\n# b^\n");
    row("comment empty text", "comment", "|", "# |");
    row("comment lines ended by CR", "comment", "a\rb|\r", "a\r# b|\r");
    row("comment keeps tab indentation", "comment", "\tif (1) {|\n", "\t# if (1) {|\n");
    // Move Line Up
    row("up caret line", "up", "a\nb|\nc\n", "b|\na\nc\n");
    row("up first line stays", "up", "a|\nb\n", "a|\nb\n");
    row("up block", "up", "a\n^b\nc|\nd\n", "^b\nc|\na\nd\n");
    row("up block ending at line start", "up", "a\n^b\n|c\n", "^b\n|a\nc\n");
    row("up last line without end", "up", "a\nb|", "b|\na");
    row("up CRLF", "up", "a\r\nb|\r\n", "b|\r\na\r\n");
    // Move Line Down
    row("down caret line", "down", "a|\nb\nc", "b\na|\nc");
    row("down last line stays", "down", "a\nb|", "a\nb|");
    row("down onto last line without end", "down", "a|\nb", "b\na|");
    row("down block ending at line start", "down", "^a\nb\n|c\nd", "c\n^a\nb\n|d");
    row("down past last line end", "down", "a|\n", "\na|");
    row("up that would join a CR to an LF", "up", "\rab|\n", "\rab|\n");
    row("down CRLF block", "down", "^x\r\ny|\r\nz\r\n", "z\r\n^x\r\ny|\r\n");
    // Duplicate Line
    row("dup caret line", "dup", "a|b\nc\n", "ab\na|b\nc\n");
    row("dup last line without end", "dup", "a\nb|", "a\nb\nb|");
    row("dup block", "dup", "^a\nb|\n", "a\nb\n^a\nb|\n");
    row("dup CRLF without end", "dup", "x\r\ny|", "x\r\ny\r\ny|");
    row("dup only line", "dup", "a|", "a\na|");
    // Indent
    row("indent caret at start", "indent4", "|a\n", "    |a\n");
    row("indent caret inside", "indent4", "ab|c", "    ab|c");
    row("indent block skips empty lines", "indent4", "^a\n\nb\n|c", "^    a\n\n    b\n|c");
    row("indent empty caret line", "indent4", "|", "    |");
    row("indent with tabs", "indentTab", "^a\nb|", "^\ta\n\tb|");
    row("indent CRLF block", "indent4", "^a\r\nb|\r\n", "^    a\r\n    b|\r\n");
    // Outdent
    row("outdent a level", "outdent4", "    a|", "a|");
    row("outdent one level of two", "outdent4", "      a|", "  a|");
    row("outdent fewer blanks", "outdent4", "  a|", "a|");
    row("outdent a tab", "outdent4", "\t  a|", "  a|");
    row("outdent blanks and tab", "outdent4", "  \ta|", "a|");
    row("outdent block", "outdent4", "^  a\n\tb\nc|", "^a\nb\nc|");
    row("outdent caret in indentation", "outdent4", "  |  a", "|a");
    row("outdent nothing to take", "outdent4", "a|", "a|");
    row("outdent that would join a CR to an LF", "outdent4", "x\r |\n", "x\r |\n");
    row("outdent tab width", "outdentTab8", "          a|", "  a|");
}

} // namespace

class TestLineCommands : public QObject
{
    Q_OBJECT

private slots:
    void onBytes_data() { AddCases(); }
    void onBytes();
    void throughKeys_data() { AddCases(); }
    void throughKeys();
    void menuAndKeys();
    void eachCommandIsItsOwnUndoStep();
};

void TestLineCommands::onBytes()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const CMarked m = Parse(before);
    const CLineCommands::Result result = RunOnBytes(command, m);
    QCOMPARE(Mark(CLineCommands::Apply(m.text, result.changes), result.nAnchor, result.nCaret), after);
    // A command with nothing to do changes nothing at all, so it leaves no Undo step.
    QCOMPARE(result.changes.isEmpty(), Parse(after).text == m.text);
}

void TestLineCommands::throughKeys()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const CCommandCase &c = Command(command);
    g_settings = CSettings();
    g_settings.TAB_EXPAND = QLatin1String(c.pszTabExpand);
    g_settings.TAB_SIZE = QLatin1String(c.pszTabSize);
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CKestrelView *view = frame.GetActiveView();
    view->OnInitialUpdate();
    const CMarked m = Parse(before);
    view->SetTextBytes(m.text);
    view->SendScintilla(QsciScintilla::SCI_SETSEL, (unsigned long)m.nAnchor, long(m.nCaret));
    view->setFocus();
    QApplication::setActiveWindow(&frame);
    QTRY_VERIFY(view->hasFocus());

    QTest::keyClick(view, c.nKey, c.modifiers);
    auto marked = [view] {
        return Mark(view->GetTextBytes(), view->SendScintilla(QsciScintilla::SCI_GETANCHOR),
                    view->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS));
    };
    QCOMPARE(marked(), after);
    const QByteArray changed = view->GetTextBytes();
    if (changed != m.text) {
        QVERIFY(view->isUndoAvailable());
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->GetTextBytes(), m.text);
        // One step: nothing older is left to undo.
        QVERIFY(!view->isUndoAvailable());
        QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(view->GetTextBytes(), changed);
    } else {
        QVERIFY(!view->isUndoAvailable());
    }
    frame.GetDocument()->SetModifiedFlag(false);
}

void TestLineCommands::menuAndKeys()
{
    CMainFrame frame;
    // No two commands of the main window share a key.
    QHash<QKeySequence, QString> owner;
    for (QAction *action : frame.findChildren<QAction *>()) {
        if (!action->data().isValid())
            continue;
        for (const QKeySequence &key : action->shortcuts()) {
            const QString name = action->objectName();
            QVERIFY2(!owner.contains(key) || owner.value(key) == name,
                     qPrintable(key.toString() + QLatin1String(": ") + owner.value(key) + QLatin1String(", ") + name));
            owner.insert(key, name);
        }
    }
    QCOMPARE(frame.Action(Cmd::ID_VIEW_FONT)->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    // The commands follow Paste in the Edit menu, with their keys beside them.
    QMenu *edit = frame.findChild<QMenu *>(QStringLiteral("menu_Edit"));
    QVERIFY(edit);
    QStringList texts;
    for (QAction *a : edit->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char('\t') + a->shortcut().toString());
    const qsizetype paste = texts.indexOf(QStringLiteral("&Paste\tCtrl+V"));
    QVERIFY(paste >= 0);
    QCOMPARE(texts.mid(paste + 1, 8), (QStringList{QStringLiteral("-"), QStringLiteral("Toggle Co&mment\tCtrl+/"),
                                                   QStringLiteral("Indent &Selection\tCtrl+]"),
                                                   QStringLiteral("Outdent Selection\tCtrl+["),
                                                   QStringLiteral("M&ove Line Up\tAlt+Up"),
                                                   QStringLiteral("Move Line Do&wn\tAlt+Down"),
                                                   QStringLiteral("Dup&licate Line\tCtrl+Shift+D"),
                                                   QStringLiteral("-")}));
    // Alt and a letter picks one item of the menu, never a choice between two.
    QHash<QChar, QString> letters;
    for (QAction *a : edit->actions()) {
        const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
        if (a->isSeparator() || amp < 0)
            continue;
        const QChar letter = a->text().at(amp + 1).toLower();
        QVERIFY2(!letters.contains(letter), qPrintable(letters.value(letter) + QLatin1String(", ") + a->text()));
        letters.insert(letter, a->text());
    }
}

void TestLineCommands::eachCommandIsItsOwnUndoStep()
{
    g_settings = CSettings();
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CKestrelView *view = frame.GetActiveView();
    view->SetTextBytes("a\nb\nc\n");
    view->setFocus();
    QApplication::setActiveWindow(&frame);
    QTRY_VERIFY(view->hasFocus());
    QTest::keyClick(view, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(view, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(view->GetTextBytes(), QByteArray("b\nc\na\n"));
    QTest::keyClicks(view, "x");
    QTest::keyClick(view, Qt::Key_Slash, Qt::ControlModifier);
    QCOMPARE(view->GetTextBytes(), QByteArray("b\nc\n# xa\n"));
    // Undo by Undo: the comment, the typing, then each move on its own.
    const QByteArray steps[] = {"b\nc\nxa\n", "b\nc\na\n", "b\na\nc\n", "a\nb\nc\n"};
    for (const QByteArray &step : steps) {
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->GetTextBytes(), step);
    }
    QVERIFY(!view->isUndoAvailable());
    frame.GetDocument()->SetModifiedFlag(false);
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TestLineCommands test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_line_commands.moc"
