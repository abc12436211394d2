#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/CommandTable.h"

#include <QAbstractButton>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QTreeView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <unistd.h>

namespace {

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Runs `answer` on the next modal window (a message box or a file dialog) that opens.
void OnNextModal(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w)
            return;
        timer->stop();
        timer->deleteLater();
        answer(w);
    });
    timer->start();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStartWithoutSettings();
    void startWithSettings();
    void unreadableFontFallsBackToMonospace();
    void fileOnCommandLine();
    void menuHoldsEveryCommand();
    void unhandledCommandsAreDisabled();
    void initialGeometry();
    void toolbarsAndStatusPane();
    void byteExactOpenAndSave_data();
    void byteExactOpenAndSave();
    void failedSaveKeepsOriginal();
    void fileNewAsksBeforeDiscarding();
    void openStartsInLocalDirectoryAndRestoresFolder();
    void openDialogFiltersAndColumns();
    void droppedFileIsOpened();
    void recentFiles();
    void savedAsEntersRecentFiles();
    void lineColPaneFitsLongestText();
    void editedWindows1252FileKeepsUntouchedBytes_data();
    void editedWindows1252FileKeepsUntouchedBytes();
    void saveRefusesCharacterWithoutByte();
    void dosWindowWaitsForTheTerminal();
    void printPreviewShowsTheScript();
    void transferType_data();
    void transferType();
    void fileExists();

private:
    CKestrelApp *App() { return CKestrelApp::Instance(); }
    CKestrelView *View() { return App()->View(); }
    CKestrelDoc *Doc() { return App()->Document(); }
    QTemporaryDir m_programDir;
};

void TestStartup::init()
{
    g_settings = CSettings();
    QFile::remove(m_programDir.filePath(QStringLiteral("Kestrel.cfg")));
}

void TestStartup::firstStartWithoutSettings()
{
    const QString cwd = QDir::currentPath();
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QCOMPARE(g_strProgramDir, m_programDir.path() + QLatin1Char('/'));
    QCOMPARE(View()->GetTextBytes(), QByteArray("#!\n"));
    QVERIFY(!Doc()->IsModified());
    QVERIFY(App()->m_strOpenDir.isEmpty());
    QCOMPARE(App()->MainFrame()->windowTitle(), QStringLiteral("Untitled[*] - Kestrel"));
    QCOMPARE(QDir::currentPath(), cwd);
}

void TestStartup::startWithSettings()
{
    WriteFile(m_programDir.filePath(QStringLiteral("Kestrel.cfg")),
              "REMOTE_PERL_EXE=/usr/local/bin/perl\nLOCAL_DIRECTORY=/tmp\n"
              "VIEW_FONT=-16,0,0,0,700,0,0,0,0,3,2,1,49,DejaVu Sans Mono\nTAB_SIZE=4\n");
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QCOMPARE(View()->GetTextBytes(), QByteArray("#!/usr/local/bin/perl\n"));
    QCOMPARE(App()->m_strOpenDir, QStringLiteral("/tmp"));
    QCOMPARE(g_fontView.family(), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(g_fontView.weight(), QFont::Bold);
    QCOMPARE(g_strTabSpaces, QStringLiteral("    "));
}

void TestStartup::unreadableFontFallsBackToMonospace()
{
    WriteFile(m_programDir.filePath(QStringLiteral("Kestrel.cfg")), "VIEW_FONT=garbage\n");
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QCOMPARE(QFontInfo(g_fontView).family(), QStringLiteral("DejaVu Sans Mono"));
}

void TestStartup::fileOnCommandLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hello world.pl"));
    WriteFile(path, "print \"hi\\n\";\n");
    QVERIFY(App()->InitInstance(m_programDir.path(), path));
    QCOMPARE(View()->GetTextBytes(), QByteArray("print \"hi\\n\";\n"));
    QCOMPARE(Doc()->GetPathName(), path);
    QVERIFY(!Doc()->IsModified());

    // A file that can't be opened ends start-up.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*"));
    OnNextModal([](QWidget *w) { static_cast<QDialog *>(w)->accept(); });
    QVERIFY(!App()->InitInstance(m_programDir.path(), dir.filePath(QStringLiteral("missing.pl"))));
}

static void CollectIds(const QVector<CMenuItemDef> &items, QList<int> &ids)
{
    for (const CMenuItemDef &item : items) {
        if (!item.strPopup.isEmpty())
            CollectIds(item.children, ids);
        else if (item.nId != 0)
            ids << item.nId;
    }
}

static void CollectMenuActions(QMenu *menu, QHash<int, QAction *> &found)
{
    for (QAction *a : menu->actions()) {
        if (a->menu())
            CollectMenuActions(a->menu(), found);
        else if (!a->isSeparator())
            found.insert(a->data().toInt(), a);
    }
}

void TestStartup::menuHoldsEveryCommand()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QHash<int, QAction *> found;
    for (QAction *top : App()->MainFrame()->menuBar()->actions())
        CollectMenuActions(top->menu(), found);
    QList<int> ids;
    CollectIds(CCommandTable::MainMenu(), ids);
    QVERIFY(ids.size() > 40);
    for (int id : ids) {
        QVERIFY2(found.contains(id), qPrintable(QString::number(id)));
        if (id == Cmd::ID_FILE_MRU_FILE1)
            continue; // shows the recent file's name once there is one
        QCOMPARE(found[id]->text(), QString::fromUtf8(CCommandTable::Find(id)->pszMenuText));
        QCOMPARE(found[id]->statusTip(), QString::fromUtf8(CCommandTable::Find(id)->pszPrompt));
    }
    QStringList tops;
    for (QAction *top : App()->MainFrame()->menuBar()->actions())
        tops << top->text();
    QCOMPARE(tops, (QStringList{"&File", "&Edit", "&View", "&Script", "&Tools", "&Help"}));
    QCOMPARE(App()->MainFrame()->Action(Cmd::ID_FILE_NEW)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    QCOMPARE(App()->MainFrame()->Action(Cmd::ID_EDIT_PASTE)->shortcuts().size(), 2);
    QCOMPARE(App()->MainFrame()->Action(Cmd::ID_VIEW_FONT)->shortcut(),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
}

void TestStartup::unhandledCommandsAreDisabled()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    CMainFrame *frame = App()->MainFrame();
    frame->UpdateCommandUI();
    QVERIFY(!frame->Action(Cmd::ID_SCRIPT_RUN_IN_BROWSER)->isEnabled());
    QVERIFY(!frame->Action(Cmd::ID_TOOLS_INPUT_DESIGNER)->isEnabled());
    for (int id : {Cmd::ID_FILE_NEW, Cmd::ID_FILE_OPEN, Cmd::ID_FILE_SAVE, Cmd::ID_FILE_SAVE_AS, Cmd::ID_APP_ABOUT,
                   Cmd::ID_TOOLS_DOS_WINDOW, Cmd::ID_EDIT_SELECT_ALL, Cmd::ID_FILE_PRINT})
        QVERIFY2(frame->Action(id)->isEnabled(), qPrintable(QString::number(id)));
}

void TestStartup::initialGeometry()
{
    QCOMPARE(CMainFrame::InitialGeometry(QRect(0, 0, 1024, 768)), QRect(170, 128, 682, 512));
    QCOMPARE(CMainFrame::InitialGeometry(QRect(0, 0, 1280, 900)), QRect(213, 150, 852, 600));
}

void TestStartup::toolbarsAndStatusPane()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    CMainFrame *frame = App()->MainFrame();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QTRY_VERIFY(frame->OperatorBar()->isVisible());
    frame->UpdateCommandUI();
    QVERIFY(frame->Action(Cmd::ID_VIEW_OPERATORS)->isChecked());
    QVERIFY(frame->Action(Cmd::ID_VIEW_SCRIPTING_TOOLBAR)->isChecked());
    QVERIFY(frame->Action(Cmd::ID_VIEW_TOOLBAR)->isChecked());
    QCOMPARE(frame->ToolBar()->actions().size(), CCommandTable::StandardBar().size());
    QCOMPARE(frame->ScriptBar()->actions().size(), 11);
    QCOMPARE(frame->toolBarArea(frame->ScriptBar()), Qt::TopToolBarArea);

    // The operators float beside the frame, three to a row.
    const QList<QToolButton *> buttons = frame->OperatorBar()->findChildren<QToolButton *>();
    QCOMPARE(buttons.size(), 44);
    QCOMPARE(buttons[0]->y(), buttons[2]->y());
    QVERIFY(buttons[3]->y() > buttons[0]->y());
    QCOMPARE(buttons[3]->x(), buttons[0]->x());
    QVERIFY(frame->OperatorBar()->isWindow());
    // Beside the frame, level with its top, where the screen has room for it; else
    // on the screen.
    const QRect bar = frame->OperatorBar()->frameGeometry();
    QVERIFY(frame->screen()->availableGeometry().contains(bar));
    if (bar.x() == frame->frameGeometry().right() + 2)
        QCOMPARE(bar.y(), frame->frameGeometry().top());

    frame->RouteCommand(Cmd::ID_VIEW_OPERATORS);
    QVERIFY(!frame->OperatorBar()->isVisible());
    frame->UpdateCommandUI();
    QVERIFY(!frame->Action(Cmd::ID_VIEW_OPERATORS)->isChecked());

    QCOMPARE(frame->LineColPane()->text(), QStringLiteral("Line =   1, Col=  1"));
    QCOMPARE(frame->findChild<QLabel *>(QStringLiteral("ReadyPane"))->text(), QStringLiteral("Ready"));
}

void TestStartup::byteExactOpenAndSave_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("bytes that are not UTF-8") << QByteArray("print \"caf\xe9 \xff\xfe\";\n");
    QTest::newRow("CR LF line ends") << QByteArray("a\r\nb\r\n");
    QTest::newRow("bare CR line ends") << QByteArray("a\rb\rc");
    QTest::newRow("bare LF and no final line end") << QByteArray("a\nb");
    QTest::newRow("a NUL byte") << QByteArray("a\0b\n", 4);
    QTest::newRow("mixed UTF-8 and Latin-1") << QByteArray("\xc3\xa9t\xe9\r\n\n\r");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("Latin-1 text") << QByteArray("print \"Caf\xe9 \xfc\xdf\";\n");
    QTest::newRow("every byte 0x80-0x9F, the undefined ones too")
        << QByteArray("\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8d\x8e\x8f"
                      "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9d\x9e\x9f");
    QTest::newRow("Windows-1252 with CR LF and NUL") << QByteArray("a\xe9\r\n\0\x80\r\n\x93q\x94\r", 13);
    QTest::newRow("valid UTF-8") << QByteArray("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x90\xaa\n");
    QTest::newRow("invalid sequence inside UTF-8 text") << QByteArray("caf\xc3\xa9 \xe2\x82 \xc3\xa9\n");
    QTest::newRow("UTF-8 cut off at the end") << QByteArray("caf\xc3");
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    QTest::newRow("all 256 byte values") << all;
}

void TestStartup::byteExactOpenAndSave()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("script.pl"));
    WriteFile(path, bytes);
    QVERIFY(App()->OpenDocumentFile(path));
    QCOMPARE(View()->GetTextBytes(), bytes);
    QFile::remove(path);
    QVERIFY(Doc()->SaveScript());
    QCOMPARE(ReadFile(path), bytes);
}

void TestStartup::failedSaveKeepsOriginal()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/script.pl");
    WriteFile(path, "original\n");
    QVERIFY(App()->OpenDocumentFile(path));
    View()->SetTextBytes("changed\n");
    Doc()->SetModifiedFlag(true);

    QString shown;
    OnNextModal([&shown](QWidget *w) {
        shown = static_cast<QMessageBox *>(w)->text();
        static_cast<QDialog *>(w)->accept();
    });
    if (geteuid() == 0) {
        // Permissions don't stop root: make the folder vanish behind a file instead.
        QVERIFY(QFile::rename(folder, folder + QStringLiteral(".moved")));
        WriteFile(folder, "a file where the folder was");
        QVERIFY(!Doc()->SaveScript());
        QCOMPARE(ReadFile(folder + QStringLiteral(".moved/script.pl")), QByteArray("original\n"));
    } else {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(!Doc()->SaveScript());
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(ReadFile(path), QByteArray("original\n"));
    }
    QVERIFY2(shown.contains(path), qPrintable(shown));
    QVERIFY(Doc()->IsModified());
    QCOMPARE(View()->GetTextBytes(), QByteArray("changed\n"));
}

void TestStartup::fileNewAsksBeforeDiscarding()
{
    g_settings.REMOTE_PERL_EXE = QStringLiteral("/usr/bin/perl");
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    View()->SetTextBytes("my work\n");
    Doc()->SetModifiedFlag(true);

    OnNextModal([](QWidget *w) { static_cast<QMessageBox *>(w)->done(QMessageBox::Cancel); });
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_NEW);
    QCOMPARE(View()->GetTextBytes(), QByteArray("my work\n"));

    OnNextModal([](QWidget *w) { static_cast<QMessageBox *>(w)->done(QMessageBox::No); });
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_NEW);
    QCOMPARE(View()->GetTextBytes(), QByteArray("#!/usr/bin/perl\n"));
    QVERIFY(!Doc()->IsModified());
}

void TestStartup::openStartsInLocalDirectoryAndRestoresFolder()
{
    QTemporaryDir local;
    QTemporaryDir other;
    WriteFile(other.filePath(QStringLiteral("b.pl")), "b\n");
    WriteFile(m_programDir.filePath(QStringLiteral("Kestrel.cfg")), "LOCAL_DIRECTORY=" + local.path().toUtf8() + "\n");
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    const QString cwd = QDir::currentPath();

    QString startedIn;
    OnNextModal([&](QWidget *w) {
        auto *dlg = qobject_cast<QFileDialog *>(w);
        QVERIFY(dlg);
        startedIn = dlg->directory().absolutePath();
        dlg->selectFile(other.filePath(QStringLiteral("b.pl")));
        static_cast<QDialog *>(dlg)->accept();
    });
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_OPEN);
    QCOMPARE(startedIn, QDir(local.path()).absolutePath());
    QCOMPARE(View()->GetTextBytes(), QByteArray("b\n"));
    QCOMPARE(QDir::currentPath(), cwd);

    // The next Open starts where the user opened from last.
    OnNextModal([&](QWidget *w) {
        startedIn = static_cast<QFileDialog *>(w)->directory().absolutePath();
        static_cast<QDialog *>(w)->reject();
    });
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_OPEN);
    QCOMPARE(startedIn, QDir(other.path()).absolutePath());
    QCOMPARE(QDir::currentPath(), cwd);
}

// File > Open offers each kind of script Kestrel edits, the document type's own filter
// first, and opens wide enough that every column of the file list reads whole.
void TestStartup::openDialogFiltersAndColumns()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    for (const char *name : {"a.pl", "b.pm", "c.cgi", "d.t", "e.psgi", "f.java", "g.txt"})
        WriteFile(dir.filePath(QLatin1String(name)), "1;\n");
    App()->m_strOpenDir = dir.path();

    QStringList filters;
    QStringList listed;
    int lacking = -1;
    QString cut;
    OnNextModal([&](QWidget *w) {
        auto *dlg = qobject_cast<QFileDialog *>(w);
        QVERIFY(dlg);
        // Closed however the checks end, so that a failed one does not hang the test.
        const auto close = qScopeGuard([dlg] { dlg->reject(); });
        filters = dlg->nameFilters();
        dlg->selectNameFilter(QStringLiteral("Perl Files (*.pl *.pm *.cgi *.t *.psgi)"));
        auto *tree = dlg->findChild<QTreeView *>(QStringLiteral("treeView"));
        QVERIFY(tree);
        QVERIFY(tree->isVisible());
        QAbstractItemModel *model = tree->model();
        QTRY_COMPARE(model->rowCount(tree->rootIndex()), 5);
        for (int row = 0; row < model->rowCount(tree->rootIndex()); ++row)
            listed << model->index(row, 0, tree->rootIndex()).data().toString();
        QHeaderView *header = tree->header();
        // The columns together fit the list, and each is as wide as what it shows.
        lacking = header->length() - tree->viewport()->width();
        for (int column = 1; column < 4; ++column) {
            int needed = header->sectionSizeHint(column);
            for (int row = 0; row < model->rowCount(tree->rootIndex()); ++row)
                needed = qMax(needed, tree->sizeHintForIndex(model->index(row, column, tree->rootIndex())).width());
            if (header->sectionSize(column) < needed)
                cut += QStringLiteral(" %1: %2 < %3").arg(column).arg(header->sectionSize(column)).arg(needed);
        }
    });
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_OPEN);
    QCOMPARE(filters, QStringList({QStringLiteral("Kestrel Files (*.pl)"),
                                   QStringLiteral("Perl Files (*.pl *.pm *.cgi *.t *.psgi)"),
                                   QStringLiteral("Java Files (*.java)"), QStringLiteral("All Files (*)")}));
    listed.sort();
    QCOMPARE(listed, QStringList({"a.pl", "b.pm", "c.cgi", "d.t", "e.psgi"}));
    QVERIFY2(lacking <= 0, qPrintable(QString::number(lacking)));
    QVERIFY2(cut.isEmpty(), qPrintable(cut));
}

void TestStartup::droppedFileIsOpened()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dropped.pl"));
    WriteFile(path, "dropped\n");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    // A drop is delivered to the window that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(App()->MainFrame(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(App()->MainFrame(), &drop);
    QCOMPARE(View()->GetTextBytes(), QByteArray("dropped\n"));
}

void TestStartup::recentFiles()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < 5; ++i) {
        paths << dir.filePath(QStringLiteral("f%1.pl").arg(i));
        WriteFile(paths.last(), QByteArray::number(i));
        QVERIFY(App()->OpenDocumentFile(paths.last()));
    }
    const QStringList recent = App()->RecentFiles();
    QCOMPARE(recent, (QStringList{paths[4], paths[3], paths[2], paths[1]}));
    QAction *first = App()->MainFrame()->Action(Cmd::ID_FILE_MRU_FILE1 + 3);
    QVERIFY(first->text().endsWith(QStringLiteral("f1.pl")));
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_MRU_FILE1 + 3);
    QCOMPARE(View()->GetTextBytes(), QByteArray("1"));
}

// Save As, and the first Save of a new script, put the file at the head of the list
// of four, as opening it would.
void TestStartup::savedAsEntersRecentFiles()
{
    // The tests' settings are the test mode's, never the user's.
    QVERIFY2(QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).fileName().contains(QStringLiteral("/.qttest/")),
             qPrintable(QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).fileName()));
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    QStringList opened;
    for (int i = 0; i < 4; ++i) {
        opened << dir.filePath(QStringLiteral("open%1.pl").arg(i));
        WriteFile(opened.last(), "x\n");
        QVERIFY(App()->OpenDocumentFile(opened.last()));
    }
    auto saveAs = [](const QString &path) {
        OnNextModal([path](QWidget *w) {
            auto *dlg = qobject_cast<QFileDialog *>(w);
            QVERIFY(dlg);
            // As typed: selectFile leaves the name field alone while it has the focus.
            auto *name = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(path);
            // The dialog asks before it replaces a file.
            if (QFileInfo::exists(path))
                OnNextModal([](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click(); });
            static_cast<QDialog *>(dlg)->accept();
        });
    };

    const QString copy = dir.filePath(QStringLiteral("copy.pl"));
    saveAs(copy);
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_SAVE_AS);
    QCOMPARE(ReadFile(copy), QByteArray("x\n"));
    QCOMPARE(App()->RecentFiles(), (QStringList{copy, opened[3], opened[2], opened[1]}));
    QVERIFY(App()->MainFrame()->Action(Cmd::ID_FILE_MRU_FILE1)->text().endsWith(QStringLiteral("copy.pl")));

    // The first Save of a new script asks for its name.
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_NEW);
    const QString fresh = dir.filePath(QStringLiteral("fresh.pl"));
    saveAs(fresh);
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_SAVE);
    QCOMPARE(ReadFile(fresh), QByteArray("#!\n"));
    QCOMPARE(App()->RecentFiles(), (QStringList{fresh, copy, opened[3], opened[2]}));

    // Saved again under a name already there: moved to the head, never twice.
    saveAs(opened[2]);
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_SAVE_AS);
    QCOMPARE(App()->RecentFiles(), (QStringList{opened[2], fresh, copy, opened[3]}));

    // A cancelled Save As adds nothing.
    OnNextModal([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_SAVE_AS);
    QCOMPARE(App()->RecentFiles(), (QStringList{opened[2], fresh, copy, opened[3]}));
}

// The line and column pane holds a line number of seven digits and a column of five
// from the start, in its own font, and grows for anything wider.
void TestStartup::lineColPaneFitsLongestText()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    CMainFrame *frame = App()->MainFrame();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QLabel *pane = frame->LineColPane();
    const QFontMetrics fm(pane->font());
    int widest = 0;
    for (char d = '0'; d <= '9'; ++d) {
        const QString line(7, QLatin1Char(d));
        const QString col(5, QLatin1Char(d));
        widest = qMax(widest, fm.horizontalAdvance(QStringLiteral("Line = %1, Col=%2").arg(line, col)));
    }
    QTRY_VERIFY2(pane->contentsRect().width() >= widest,
                 qPrintable(QStringLiteral("%1 < %2").arg(pane->contentsRect().width()).arg(widest)));
    const int before = pane->width();

    emit frame->GetActiveView()->CaretMoved(9876543, 54321);
    QCOMPARE(pane->text(), QStringLiteral("Line = 9876543, Col=54321"));
    QApplication::processEvents();
    QCOMPARE(pane->width(), before);
    QVERIFY(pane->contentsRect().width() >= fm.horizontalAdvance(pane->text()));

    // Wider than any file has: the pane grows with it.
    emit frame->GetActiveView()->CaretMoved(123456789, 1234567);
    QTRY_VERIFY(pane->contentsRect().width() >= fm.horizontalAdvance(pane->text()));
}

void TestStartup::editedWindows1252FileKeepsUntouchedBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Latin-1: typed e acute is E9") << QByteArray("print \"Caf\xe9\";\r\n# \x80\x81\x9f\0end", 22)
                                                  << QByteArray("\xe9print \"Caf\xe9\";\r\n# \x80\x81\x9f\0end", 23);
    QTest::newRow("invalid sequence in UTF-8 text: Windows-1252")
        << QByteArray("caf\xc3\xa9 \xe2\x82\n") << QByteArray("\xe9" "caf\xc3\xa9 \xe2\x82\n");
    QTest::newRow("valid UTF-8: typed e acute is UTF-8")
        << QByteArray("caf\xc3\xa9 \xe2\x82\xac\n") << QByteArray("\xc3\xa9" "caf\xc3\xa9 \xe2\x82\xac\n");
}

// Open, type at the start, save: the typed character is in the file's encoding and
// every other byte is as it was.
void TestStartup::editedWindows1252FileKeepsUntouchedBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("script.pl"));
    WriteFile(path, bytes);
    QVERIFY(App()->OpenDocumentFile(path));
    View()->setFocus();
    QTest::sendKeyEvent(QTest::Click, View(), Qt::Key_Eacute, QStringLiteral("\u00e9"), Qt::NoModifier);
    QVERIFY(Doc()->IsModified());
    QVERIFY(Doc()->SaveScript());
    QCOMPARE(ReadFile(path), expected);
}

// Should a character without a byte in the file's 8-bit encoding get past the editor,
// Save says which and where, and leaves the file as it was.
void TestStartup::saveRefusesCharacterWithoutByte()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("script.pl"));
    WriteFile(path, "caf\xe9\nx\n");
    QVERIFY(App()->OpenDocumentFile(path));
    // Straight into the control, past every check of the view.
    View()->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 1L);
    View()->SendScintilla(QsciScintillaBase::SCI_REPLACESEL, 0UL, "\xc4\x80");
    QString shown;
    OnNextModal([&shown](QWidget *w) {
        shown = static_cast<QMessageBox *>(w)->text();
        static_cast<QDialog *>(w)->accept();
    });
    QVERIFY(!Doc()->SaveScript());
    QVERIFY2(shown.contains(QStringLiteral("\u0100")) && shown.contains(QStringLiteral("line 2")), qPrintable(shown));
    QCOMPARE(ReadFile(path), QByteArray("caf\xe9\nx\n"));
    QVERIFY(Doc()->IsModified());
}

void TestStartup::dosWindowWaitsForTheTerminal()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    // A stand-in terminal that notes where it ran and stays open for a moment.
    QTemporaryDir dir;
    const QString terminal = dir.filePath(QStringLiteral("terminal"));
    const QString mark = dir.filePath(QStringLiteral("ran-in"));
    WriteFile(terminal, "#!/bin/sh\npwd > '" + mark.toUtf8() + "'\nsleep 0.5\n");
    QFile::setPermissions(terminal, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("TERMINAL", terminal.toUtf8());

    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(20);
    QElapsedTimer waited;
    waited.start();
    App()->MainFrame()->RouteCommand(Cmd::ID_TOOLS_DOS_WINDOW);
    qunsetenv("TERMINAL");
    // The command returns only when the terminal has closed, and the IDE kept
    // processing its timers (and so its painting) meanwhile.
    QVERIFY(waited.elapsed() >= 400);
    QVERIFY(ticks > 5);
    QCOMPARE(ReadFile(mark).trimmed(), QDir::currentPath().toUtf8());
}

void TestStartup::printPreviewShowsTheScript()
{
    QVERIFY(App()->InitInstance(m_programDir.path(), QString()));
    View()->SetTextBytes("print \"hello\\n\";\n");
    int pages = -1;
    OnNextModal([&pages](QWidget *w) {
        auto *preview = qobject_cast<QPrintPreviewDialog *>(w);
        if (preview) {
            if (auto *widget = preview->findChild<QPrintPreviewWidget *>())
                pages = widget->pageCount();
        }
        static_cast<QDialog *>(w)->reject();
    });
    App()->MainFrame()->RouteCommand(Cmd::ID_FILE_PRINT_PREVIEW);
    QCOMPARE(pages, 1);
}

void TestStartup::transferType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::newRow("upper-case .PL is binary") << "SCRIPT.PL" << 2;
    QTest::newRow(".pl") << "a.pl" << 1;
    QTest::newRow(".c") << "main.c" << 1;
    QTest::newRow(".cc is binary") << "main.cc" << 2;
    QTest::newRow(".html") << "index.html" << 1;
    QTest::newRow(".htm") << "index.htm" << 1;
    QTest::newRow(".java") << "dir/Hello.java" << 1;
    QTest::newRow(".cgi .txt .cpp .conf") << "x.conf" << 1;
    QTest::newRow(".class is binary") << "Hello.class" << 2;
    QTest::newRow("name shorter than the suffix") << "pl" << 2;
    QTest::newRow("empty") << "" << 2;
}

void TestStartup::transferType()
{
    QFETCH(QString, name);
    QTEST(CKestrelApp::GetTransferType(name), "type");
}

void TestStartup::fileExists()
{
    QCOMPARE(CKestrelApp::FileExists(QString()), 0);
    QCOMPARE(CKestrelApp::FileExists(QDir::tempPath()), 1);
    QCOMPARE(CKestrelApp::FileExists(QStringLiteral("/no/such/file")), 0);
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    CKestrelApp app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
