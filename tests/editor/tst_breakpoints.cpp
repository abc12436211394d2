#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/BreakpointMarkers.h"
#include "editor/KestrelView.h"
#include "editor/MessageMarkers.h"
#include "framework/CommandIds.h"
#include "debug/BreakpointMarks.h"
#include "debug/BreakpointsDlg.h"
#include "debug/DebugBreakpointList.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

// Runs `act` on the first visible top-level widget of type T once it shows.
template <typename T>
void WhenShown(std::function<void(T *)> act)
{
    QTimer::singleShot(30, [act] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *t = qobject_cast<T *>(w); t && t->isVisible()) {
                act(t);
                return;
            }
        WhenShown<T>(act);
    });
}

} // namespace

// Breakpoints in the editor's symbol margin: set, moved by edits, conditional, listed,
// and what the debugger made of them.
class TestBreakpoints : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void f9TogglesTheCaretsLine();
    void marginClickToggles();
    void marksMoveWithEdits();
    void conditionalBreakpoint();
    void marginMenuAddsACondition();
    void listDialogRemovesOneAndAll();
    void debuggerMovedOrRefused();
    void newDocumentHasNone();
    void sessionListFindsBothLines_data();
    void sessionListFindsBothLines();

private:
    QString Script(const QString &name, const QByteArray &text);
    void Open(const QString &path);
    CBreakpointMarkers *Marks() const { return m_upView->Breakpoints(); }
    void PutCaret(int nLine) { m_upView->setCursorPosition(nLine, 0); }

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel breakpoints XXXXXX")};
    std::unique_ptr<CKestrelDoc> m_upDoc;
    std::unique_ptr<CKestrelView> m_upView;
    QString m_strPath;
};

void TestBreakpoints::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_settings = CSettings();
}

void TestBreakpoints::init()
{
    QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).clear();
    m_upDoc = std::make_unique<CKestrelDoc>();
    m_upView = std::make_unique<CKestrelView>(m_upDoc.get());
    m_upDoc->SetView(m_upView.get());
    m_upView->resize(600, 400);
    m_upView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_upView.get()));
    m_strPath = Script(QStringLiteral("loop.pl"),
                       "use strict;\nmy $total = 0;\nfor my $i (1 .. 5) {\n    $total += $i;\n}\nprint \"$total\\n\";\n");
    Open(m_strPath);
}

void TestBreakpoints::cleanup()
{
    m_upView.reset();
    m_upDoc.reset();
}

QString TestBreakpoints::Script(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

void TestBreakpoints::Open(const QString &path)
{
    QVERIFY(m_upDoc->OnOpenDocument(path));
    m_upView->OnInitialUpdate();
}

void TestBreakpoints::f9TogglesTheCaretsLine()
{
    PutCaret(3);
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_DEBUG_TOGGLE_BREAKPOINT));
    QCOMPARE(Marks()->Lines(), QList<int>{3});
    QVERIFY(m_upView->markersAtLine(3) & (1u << CBreakpointMarks::kBreakpoint));
    // The symbol margin shows them.
    QCOMPARE(unsigned(m_upView->marginMarkerMask(CMessageMarkers::kSymbolMargin)) & CBreakpointMarks::kBreakpointMask,
             CBreakpointMarks::kBreakpointMask);
    const QList<CDebugBreakpoint> list = Marks()->Breakpoints();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].nLine, 4);
    QVERIFY(CDebugBreakpointList::SamePath(list[0].strFile, m_strPath));
    QVERIFY(list[0].strCondition.isEmpty());
    // The mark is the debugger's, not a message's.
    QVERIFY(m_upView->Markers()->MarkedLines().isEmpty());

    PutCaret(5);
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_DEBUG_TOGGLE_BREAKPOINT));
    QCOMPARE(Marks()->Lines(), (QList<int>{3, 5}));
    PutCaret(3);
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_DEBUG_TOGGLE_BREAKPOINT));
    QCOMPARE(Marks()->Lines(), QList<int>{5});
    QCOMPARE(m_upView->markersAtLine(3) & CBreakpointMarks::kBreakpointMask, 0u);
    // Breakpoints are not part of the text: the document is unchanged.
    QVERIFY(!m_upDoc->IsModified());
}

void TestBreakpoints::marginClickToggles()
{
    const long pos = m_upView->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 2);
    const int y = int(m_upView->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, pos))
        + m_upView->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 2) / 2;
    const int x = m_upView->marginWidth(0) + m_upView->marginWidth(CMessageMarkers::kSymbolMargin) / 2;
    QTest::mouseClick(m_upView->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    QCOMPARE(Marks()->Lines(), QList<int>{2});
    QTest::mouseClick(m_upView->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    QVERIFY(Marks()->Lines().isEmpty());
    // A click in the line number margin sets nothing.
    QTest::mouseClick(m_upView->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(3, y));
    QVERIFY(Marks()->Lines().isEmpty());
}

void TestBreakpoints::marksMoveWithEdits()
{
    Marks()->Toggle(3);
    Marks()->Toggle(5);
    // Two lines typed above them.
    m_upView->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0L);
    m_upView->SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 6UL, "x;\ny;\n");
    QCOMPARE(Marks()->Lines(), (QList<int>{5, 7}));
    QList<CDebugBreakpoint> list = Marks()->Breakpoints();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].nLine, 6);
    QCOMPARE(list[1].nLine, 8);
    // A line deleted between them: the later one moves up, the earlier stays.
    m_upView->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 6);
    m_upView->SendScintilla(QsciScintillaBase::SCI_LINEDELETE);
    QCOMPARE(Marks()->Lines(), (QList<int>{5, 6}));
    // Undo brings the text back; the marks stay with their statements.
    m_upView->undo();
    m_upView->undo();
    m_upView->undo();
    QCOMPARE(m_upView->text(3), QStringLiteral("    $total += $i;\n"));
    QCOMPARE(Marks()->Lines(), (QList<int>{3, 5}));
}

void TestBreakpoints::conditionalBreakpoint()
{
    PutCaret(3);
    WhenShown<QInputDialog>([](QInputDialog *dlg) {
        QVERIFY(dlg->labelText().contains(QStringLiteral("line 4")));
        dlg->setTextValue(QStringLiteral("  $i == 3 "));
        dlg->accept();
    });
    QVERIFY(m_upView->Commands().Execute(Cmd::ID_DEBUG_CONDITIONAL_BREAKPOINT));
    QCOMPARE(Marks()->Lines(), QList<int>{3});
    QVERIFY(m_upView->markersAtLine(3) & (1u << CBreakpointMarks::kConditional));
    QCOMPARE(Marks()->Breakpoints().value(0).strCondition, QStringLiteral("$i == 3"));
    QVERIFY(Marks()->TooltipAt(3).contains(QStringLiteral("when $i == 3")));

    // Editing it to nothing keeps a plain breakpoint there.
    WhenShown<QInputDialog>([](QInputDialog *dlg) {
        QCOMPARE(dlg->textValue(), QStringLiteral("$i == 3"));
        dlg->setTextValue(QString());
        dlg->accept();
    });
    Marks()->EditConditionAt(3);
    QVERIFY(m_upView->markersAtLine(3) & (1u << CBreakpointMarks::kBreakpoint));
    QCOMPARE(m_upView->markersAtLine(3) & (1u << CBreakpointMarks::kConditional), 0u);
    QVERIFY(Marks()->Breakpoints().value(0).strCondition.isEmpty());

    // Cancel changes nothing.
    WhenShown<QInputDialog>([](QInputDialog *dlg) { dlg->reject(); });
    Marks()->EditConditionAt(1);
    QCOMPARE(Marks()->Lines(), QList<int>{3});
}

void TestBreakpoints::marginMenuAddsACondition()
{
    // A right click in the symbol margin beside line 4.
    const long pos = m_upView->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 3);
    const QPoint at(m_upView->marginWidth(0) + m_upView->marginWidth(CMessageMarkers::kSymbolMargin) / 2,
                    int(m_upView->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, pos)) + 3);
    QStringList items;
    WhenShown<QMenu>([&items](QMenu *menu) {
        for (QAction *a : menu->actions())
            if (!a->isSeparator())
                items << a->text();
        for (QAction *a : menu->actions())
            if (a->text().startsWith(QStringLiteral("Insert &Conditional")))
                menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    WhenShown<QInputDialog>([](QInputDialog *dlg) {
        dlg->setTextValue(QStringLiteral("$total > 3"));
        dlg->accept();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, m_upView->viewport()->mapToGlobal(at));
    QApplication::sendEvent(m_upView->viewport(), &event);
    QVERIFY2(items.size() == 4, qPrintable(items.join(QLatin1Char('|'))));
    QCOMPARE(Marks()->Lines(), QList<int>{3});
    QCOMPARE(Marks()->Breakpoints().value(0).strCondition, QStringLiteral("$total > 3"));
    QVERIFY(m_upView->markersAtLine(3) & (1u << CBreakpointMarks::kConditional));
}

void TestBreakpoints::listDialogRemovesOneAndAll()
{
    Marks()->Toggle(1);
    Marks()->SetCondition(3, QStringLiteral("$i > 2"));
    Marks()->Toggle(5);
    CBreakpointsDlg dlg(Marks());
    QTreeWidget *list = dlg.List();
    QCOMPARE(list->topLevelItemCount(), 3);
    QTreeWidgetItem *second = list->topLevelItem(1);
    QCOMPARE(second->text(0), QStringLiteral("loop.pl"));
    QCOMPARE(second->text(1), QStringLiteral("4"));
    QCOMPARE(second->text(2), QStringLiteral("$i > 2"));
    QVERIFY(!second->text(3).isEmpty());

    list->clearSelection();
    second->setSelected(true);
    dlg.findChild<QPushButton *>(QStringLiteral("button_Remove"))->click();
    QCOMPARE(Marks()->Lines(), (QList<int>{1, 5}));
    QCOMPARE(list->topLevelItemCount(), 2);

    dlg.findChild<QPushButton *>(QStringLiteral("button_RemoveAll"))->click();
    QVERIFY(Marks()->Lines().isEmpty());
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(!dlg.findChild<QPushButton *>(QStringLiteral("button_RemoveAll"))->isEnabled());
}

void TestBreakpoints::debuggerMovedOrRefused()
{
    // A breakpoint on the blank-ish "}" line 5 that perl moved to line 6, one refused.
    Marks()->Toggle(4);
    Marks()->Toggle(0);
    CDebugBreakpoint moved = Marks()->BreakpointAt(4);
    moved.state = CDebugBreakpoint::State::Moved;
    moved.nActualLine = 6;
    Marks()->BreakpointChanged(moved);
    QCOMPARE(Marks()->Lines(), (QList<int>{0, 5}));
    QVERIFY(Marks()->TooltipAt(5).contains(QStringLiteral("from line 5")));

    CDebugBreakpoint refused = Marks()->BreakpointAt(0);
    refused.state = CDebugBreakpoint::State::Refused;
    refused.strReason = QStringLiteral("line 1 is not breakable");
    Marks()->BreakpointChanged(refused);
    QVERIFY(m_upView->markersAtLine(0) & (1u << CBreakpointMarks::kRefused));
    QVERIFY(Marks()->TooltipAt(0).contains(QStringLiteral("line 1 is not breakable")));

    // A later report about the moved one, by the line the user gave it, still finds it.
    moved.state = CDebugBreakpoint::State::Set;
    moved.nActualLine = 6;
    Marks()->BreakpointChanged(moved);
    QCOMPARE(Marks()->Lines(), (QList<int>{0, 5}));
    // The next session gets it where it now is.
    const QList<CDebugBreakpoint> list = Marks()->Breakpoints();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[1].nLine, 6);

    // The debug window removes it by either line.
    Marks()->RemoveBreakpoint(m_strPath, 5);
    QCOMPARE(Marks()->Lines(), QList<int>{0});
    // Reports about other files are not the editor's.
    CDebugBreakpoint other;
    other.strFile = m_dir.filePath(QStringLiteral("Other.pm"));
    other.nLine = 1;
    other.state = CDebugBreakpoint::State::Refused;
    Marks()->BreakpointChanged(other);
    QVERIFY(m_upView->markersAtLine(0) & (1u << CBreakpointMarks::kRefused));
    QCOMPARE(Marks()->Lines(), QList<int>{0});
}

void TestBreakpoints::newDocumentHasNone()
{
    Marks()->Toggle(2);
    const QString other = Script(QStringLiteral("other.pl"), "print 1;\nprint 2;\nprint 3;\n");
    Open(other);
    QVERIFY(Marks()->Lines().isEmpty());
    QVERIFY(Marks()->Breakpoints().isEmpty());
}

void TestBreakpoints::sessionListFindsBothLines_data()
{
    QTest::addColumn<int>("lookUp");
    QTest::addColumn<bool>("found");
    QTest::newRow("the line the user gave") << 3 << true;
    QTest::newRow("the line perl moved it to") << 5 << true;
    QTest::newRow("another line") << 4 << false;
}

void TestBreakpoints::sessionListFindsBothLines()
{
    QFETCH(int, lookUp);
    QFETCH(bool, found);
    CDebugBreakpointList list;
    QVERIFY(list.Toggle(m_strPath, 3));
    CDebugBreakpoint bp = *list.At(m_strPath, 3);
    bp.state = CDebugBreakpoint::State::Moved;
    bp.nActualLine = 5;
    // Reported with another spelling of the same path.
    bp.strFile = QFileInfo(m_strPath).absolutePath() + QStringLiteral("/./loop.pl");
    QVERIFY(list.Update(bp));
    QCOMPARE(list.At(m_strPath, lookUp) != nullptr, found);
    QCOMPARE(list.All().size(), 1);
    QCOMPARE(list.All()[0].strFile, m_strPath);
    // Toggling where it is removes it.
    QCOMPARE(list.Toggle(m_strPath, lookUp), !found);
    QCOMPARE(list.IsEmpty(), found);
}

QTEST_MAIN(TestBreakpoints)
#include "tst_breakpoints.moc"
