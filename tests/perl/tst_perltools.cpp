// Edit > Tidy through the real perltidy, and the Perl documentation (F1, the functions
// window, the operators' sections) through the real perldoc.
#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/FunctionListDlg.h"
#include "editor/KestrelView.h"
#include "perl/PerlDocLookup.h"
#include "perl/PerlDocTopic.h"
#include "perl/PerlDocWindow.h"
#include "perl/PerlTidy.h"
#include "framework/CommandIds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

Q_DECLARE_METATYPE(CPerlDocTopic::Kind)

namespace {

const QByteArray kMessy = "sub f {\nmy $x=1;\nif ($x) {\nprint \"a\";\n}\n}\n";

} // namespace

class TestPerlTools : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tidyArguments();
    void tidyWholeDocument_data();
    void tidyWholeDocument();
    void tidySelection();
    void tidyHonoursProfile();
    void tidyErrorLeavesText();
    void tidyKeepsBytes();
    void tidyIndentedSelection();
    void tidyWhileTyping();
    void tidyOnlyForPerl();
    void tidyStoppedWithItsView();
    void tidyWithoutPerltidy();
    void undoOfTidyClearsModified();
    void wordAtCaret_data();
    void wordAtCaret();
    void documentationAtCaret_data();
    void documentationAtCaret();
    void operatorSection();
    void functionsWindowF1();

private:
    // Runs Edit > Tidy and waits until perltidy has answered; returns the message box
    // text, if one came.
    QString RunTidy();

    CKestrelDoc *m_pDoc = nullptr;
    CKestrelView *m_pView = nullptr;
};

void TestPerlTools::init()
{
    g_settings = CSettings();
    g_settings.TAB_SIZE = QStringLiteral("4");
    g_settings.TAB_EXPAND = QStringLiteral("Y");
    m_pDoc = new CKestrelDoc;
    m_pView = new CKestrelView(m_pDoc);
    m_pDoc->SetView(m_pView);
    m_pView->OnInitialUpdate();
}

void TestPerlTools::cleanup()
{
    delete m_pView;
    delete m_pDoc;
}

QString TestPerlTools::RunTidy()
{
    auto *tidy = m_pView->findChild<CPerlTidy *>();
    QString message;
    QTimer watcher;
    // A message box is modal: it is closed from the event loop it runs.
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    watcher.start(20);
    if (!m_pView->Commands().Execute(Cmd::ID_EDIT_TIDY))
        return QStringLiteral("no tidy command");
    tidy = m_pView->findChild<CPerlTidy *>();
    if (!tidy)
        return QStringLiteral("no tidy runner");
    QElapsedTimer timer;
    timer.start();
    while (tidy->IsRunning() && timer.elapsed() < 20000)
        QTest::qWait(20);
    if (tidy->IsRunning())
        return QStringLiteral("perltidy did not answer");
    QTest::qWait(100);
    return message;
}

void TestPerlTools::tidyArguments()
{
    QCOMPARE(CPerlTidy::Arguments(false, 3, true, false).join(' '), QStringLiteral("-st -se -i=3 -ole=unix"));
    QCOMPARE(CPerlTidy::Arguments(false, 8, false, true).join(' '), QStringLiteral("-st -se -i=8 -et=8 -ole=dos"));
    // The user's profile decides the indentation.
    QCOMPARE(CPerlTidy::Arguments(true, 3, false, false).join(' '), QStringLiteral("-st -se -ole=unix"));
    QCOMPARE(CPerlTidy::Arguments(false, 0, true, false).join(' '), QStringLiteral("-st -se -ole=unix"));
    QVERIFY(CPerlTidy::ProfileFound("# Testing: .perltidyrc\n# Dump of file: '.perltidyrc'\n-i=2\n"));
    QVERIFY(!CPerlTidy::ProfileFound("# Testing: .perltidyrc\n# ...no config file found\n"));
}

void TestPerlTools::tidyWholeDocument_data()
{
    QTest::addColumn<QString>("tabSize");
    QTest::addColumn<QString>("expand");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("TAB_SIZE 4") << "4" << "Y"
                                << QByteArray("sub f {\n    my $x = 1;\n    if ($x) {\n        print \"a\";\n    }\n}\n");
    QTest::newRow("TAB_SIZE 2") << "2" << "Y"
                                << QByteArray("sub f {\n  my $x = 1;\n  if ($x) {\n    print \"a\";\n  }\n}\n");
    QTest::newRow("tabs") << "4" << "N" << QByteArray("sub f {\n\tmy $x = 1;\n\tif ($x) {\n\t\tprint \"a\";\n\t}\n}\n");
}

void TestPerlTools::tidyWholeDocument()
{
    QFETCH(QString, tabSize);
    QFETCH(QString, expand);
    QFETCH(QByteArray, expected);
    g_settings.TAB_SIZE = tabSize;
    g_settings.TAB_EXPAND = expand;
    m_pView->OnInitialUpdate();
    m_pView->SetTextBytes(kMessy);
    m_pView->SendScintilla(QsciScintilla::SCI_GOTOLINE, 3);
    QCOMPARE(RunTidy(), QString());
    QCOMPARE(m_pView->GetTextBytes(), expected);
    // The caret stays on its line.
    QCOMPARE(m_pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION,
                                    m_pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS)),
             3L);
    // One Undo takes the whole tidy back.
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_EDIT_UNDO));
    QCOMPARE(m_pView->GetTextBytes(), kMessy);
    QVERIFY(!m_pView->isUndoAvailable());
}

// Tidy is one step to undo, and undoing it gives the text as it was saved: the
// document is no longer modified.
void TestPerlTools::undoOfTidyClearsModified()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("name.pl"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kMessy);
    file.close();
    QVERIFY(m_pDoc->OnOpenDocument(path));
    m_pView->OnInitialUpdate();
    QVERIFY(!m_pDoc->IsModified());
    QCOMPARE(RunTidy(), QString());
    QVERIFY(m_pView->GetTextBytes() != kMessy);
    QVERIFY(m_pDoc->IsModified());
    m_pView->undo();
    QCOMPARE(m_pView->GetTextBytes(), kMessy);
    QVERIFY(!m_pDoc->IsModified());
    m_pView->redo();
    QVERIFY(m_pDoc->IsModified());
}

void TestPerlTools::tidySelection()
{
    const QByteArray text = "my $n=1;\nif ($n) {\nmy  $y=$n+1;\n    }\nmy $b=2;";
    m_pView->SetTextBytes(text);
    // From inside line 2 to inside line 4: the whole of lines 2 to 4 is tidied.
    m_pView->setSelection(1, 3, 3, 2);
    QCOMPARE(RunTidy(), QString());
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("my $n=1;\nif ($n) {\n    my $y = $n + 1;\n}\nmy $b=2;"));
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_EDIT_UNDO));
    QCOMPARE(m_pView->GetTextBytes(), text);
}

void TestPerlTools::tidyHonoursProfile()
{
    QTemporaryDir dir;
    QFile rc(dir.filePath(QStringLiteral(".perltidyrc")));
    QVERIFY(rc.open(QIODevice::WriteOnly));
    rc.write("-i=1\n");
    rc.close();
    m_pDoc->SetPathName(dir.filePath(QStringLiteral("script.pl")));
    m_pView->SetTextBytes(kMessy);
    QCOMPARE(RunTidy(), QString());
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("sub f {\n my $x = 1;\n if ($x) {\n  print \"a\";\n }\n}\n"));
}

void TestPerlTools::tidyErrorLeavesText()
{
    m_pDoc->SetPathName(QStringLiteral("/tmp/broken script.pl"));
    const QByteArray broken = "sub f {\nmy $x=1;\nif ($x {\n}\n";
    m_pView->SetTextBytes(broken);
    const QString message = RunTidy();
    QVERIFY2(message.contains(QLatin1String("/tmp/broken script.pl")), qPrintable(message));
    QVERIFY2(message.contains(QLatin1String("un-matched")) || message.contains(QLatin1String("nesting")),
             qPrintable(message));
    QCOMPARE(m_pView->GetTextBytes(), broken);
    QVERIFY(!m_pView->isUndoAvailable());
}

void TestPerlTools::tidyKeepsBytes()
{
    // A Windows-1252 file with CR LF line ends: its bytes come back as they were, only
    // the layout changes.
    const QByteArray text = "my $s=\"caf\xe9 \xff\";\r\nif(1){\r\nprint $s;}\r\n";
    m_pView->SetTextBytes(text);
    QCOMPARE(m_pView->Encoding(), CScriptEncoding::Windows1252);
    QCOMPARE(RunTidy(), QString());
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("my $s = \"caf\xe9 \xff\";\r\nif (1) {\r\n    print $s;\r\n}\r\n"));
}

void TestPerlTools::tidyIndentedSelection()
{
    // The selection's own indentation is kept as its base level.
    const QByteArray text = "sub f {\n    if ($x) {\nmy $y=1;\n    }\n}\n";
    m_pView->SetTextBytes(text);
    m_pView->setSelection(1, 0, 4, 0);
    QCOMPARE(RunTidy(), QString());
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("sub f {\n    if ($x) {\n        my $y = 1;\n    }\n}\n"));
    // The tidied lines stay selected.
    QCOMPARE(m_pView->selectedText(), QStringLiteral("    if ($x) {\n        my $y = 1;\n    }\n"));
}

void TestPerlTools::tidyWhileTyping()
{
    // A slow perltidy: the user types on meanwhile, and the result, made from the old
    // text, must not replace the new one.
    QTemporaryDir dir;
    const QString slow = dir.filePath(QStringLiteral("slow-perltidy"));
    QFile script(slow);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nsleep 1\nexec perltidy \"$@\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    m_pView->SetTextBytes(kMessy);
    auto *tidy = new CPerlTidy(m_pView);
    tidy->setObjectName(QStringLiteral("PerlTidy"));
    tidy->m_strProgram = slow;
    QTimer::singleShot(200, this, [this] {
        m_pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, 0);
        m_pView->ReplaceSel("# typed\n");
    });
    const QString message = RunTidy();
    QVERIFY2(message.contains(QLatin1String("changed while perltidy was running")), qPrintable(message));
    QCOMPARE(m_pView->GetTextBytes(), "# typed\n" + kMessy);
}

void TestPerlTools::tidyOnlyForPerl()
{
    const QByteArray java = "class A {\nint x=1;\n}\n";
    m_pDoc->SetPathName(QStringLiteral("/tmp/A.java"));
    m_pView->SelectLexerFor(m_pDoc->GetPathName());
    m_pView->SetTextBytes(java);
    CCmdUI ui;
    ui.nId = Cmd::ID_EDIT_TIDY;
    QVERIFY(m_pView->Commands().Update(ui));
    QVERIFY(!ui.bEnabled);
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_EDIT_TIDY));
    QTest::qWait(200);
    QCOMPARE(m_pView->GetTextBytes(), java);
}

void TestPerlTools::tidyStoppedWithItsView()
{
    // Closing the editor while perltidy runs leaves no busy cursor behind.
    QTemporaryDir dir;
    const QString slow = dir.filePath(QStringLiteral("slow-perltidy"));
    QFile script(slow);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nsleep 5\nexec perltidy \"$@\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    m_pView->SetTextBytes(kMessy);
    auto *tidy = new CPerlTidy(m_pView);
    tidy->setObjectName(QStringLiteral("PerlTidy"));
    tidy->m_strProgram = slow;
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_EDIT_TIDY));
    QVERIFY(tidy->IsRunning());
    QVERIFY(QApplication::overrideCursor());
    delete m_pView;
    m_pView = nullptr;
    QVERIFY(!QApplication::overrideCursor());
}

void TestPerlTools::tidyWithoutPerltidy()
{
    m_pView->SetTextBytes(kMessy);
    auto *tidy = new CPerlTidy(m_pView);
    tidy->setObjectName(QStringLiteral("PerlTidy"));
    tidy->m_strProgram = QStringLiteral("/nonexistent/perltidy");
    const QString message = RunTidy();
    QVERIFY2(message.contains(QLatin1String("Could not run /nonexistent/perltidy")), qPrintable(message));
    QVERIFY(message.contains(QLatin1String("perltidy package")));
    QCOMPARE(m_pView->GetTextBytes(), kMessy);
}

void TestPerlTools::wordAtCaret_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<CPerlDocTopic::Kind>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("function, caret inside") << QByteArray("my @a = split /,/, $s;") << 10 << CPerlDocTopic::Function << "split";
    QTest::newRow("function, caret after it") << QByteArray("print;") << 5 << CPerlDocTopic::Function << "print";
    QTest::newRow("default variable") << QByteArray("print $_;") << 7 << CPerlDocTopic::Variable << "$_";
    QTest::newRow("caret on the sigil") << QByteArray("for (@ARGV) {") << 5 << CPerlDocTopic::Variable << "@ARGV";
    QTest::newRow("hash element") << QByteArray("$ENV{HOME}") << 2 << CPerlDocTopic::Variable << "%ENV";
    QTest::newRow("array element") << QByteArray("$ARGV[0]") << 3 << CPerlDocTopic::Variable << "@ARGV";
    QTest::newRow("last index") << QByteArray("$#ARGV") << 3 << CPerlDocTopic::Variable << "@ARGV";
    QTest::newRow("program name") << QByteArray("die $0;") << 5 << CPerlDocTopic::Variable << "$0";
    QTest::newRow("punctuation variable") << QByteArray("local $/ = undef;") << 7 << CPerlDocTopic::Variable << "$/";
    QTest::newRow("caret variable") << QByteArray("$^W = 1;") << 1 << CPerlDocTopic::Variable << "$^W";
    QTest::newRow("module") << QByteArray("use File::Temp qw(tempfile);") << 9 << CPerlDocTopic::Module << "File::Temp";
    QTest::newRow("module before ->") << QByteArray("File::Temp->new") << 2 << CPerlDocTopic::Module << "File::Temp";
    QTest::newRow("capitalised word") << QByteArray("use Carp;") << 5 << CPerlDocTopic::Module << "Carp";
    QTest::newRow("pragma") << QByteArray("use strict;") << 6 << CPerlDocTopic::Function << "strict";
    QTest::newRow("number") << QByteArray("x(42)") << 3 << CPerlDocTopic::None << "";
    QTest::newRow("blank") << QByteArray("a   b") << 2 << CPerlDocTopic::None << "";
    QTest::newRow("empty line") << QByteArray() << 0 << CPerlDocTopic::None << "";
    QTest::newRow("column past the end") << QByteArray("exit") << 99 << CPerlDocTopic::Function << "exit";
}

void TestPerlTools::wordAtCaret()
{
    QFETCH(QByteArray, line);
    QFETCH(int, column);
    QFETCH(CPerlDocTopic::Kind, kind);
    QFETCH(QString, name);
    const CPerlDocTopic topic = CPerlDocTopic::AtColumn(line, column);
    QCOMPARE(topic.nKind, kind);
    QCOMPARE(topic.strName, name);
}

void TestPerlTools::documentationAtCaret_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("expected");
    QTest::newRow("split") << QByteArray("my @w = split ' ', $line;\n") << 10 << true << "Splits the string EXPR";
    QTest::newRow("$_") << QByteArray("print $_;\n") << 7 << true << "The default input and pattern-searching space";
    QTest::newRow("File::Temp") << QByteArray("use File::Temp;\n") << 6 << true
                                << "File::Temp - return name and handle of a temporary file safely";
    // A page without an =encoding line comes out of perldoc in Latin-1.
    QTest::newRow("File::Spec, written in Latin-1") << QByteArray("use File::Spec;\n") << 6 << true
                                                    << "Andreas K\u00f6nig";
    QTest::newRow("unknown word") << QByteArray("frobnicate_zz(1);\n") << 3 << false
                                  << "No documentation found for \"frobnicate_zz\".";
}

void TestPerlTools::documentationAtCaret()
{
    QFETCH(QByteArray, text);
    QFETCH(int, position);
    QFETCH(bool, found);
    QFETCH(QString, expected);
    m_pView->SetTextBytes(text);
    m_pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, position);
    m_pView->show();
    // F1 reaches the command through its key, as a user presses it.
    QVERIFY(m_pView->Commands().Execute(Cmd::ID_HELP_PERL_DOC));
    auto *window = m_pView->findChild<CPerlDocWindow *>();
    QVERIFY(window);
    QSignalSpy done(window, &CPerlDocWindow::LookupFinished);
    QVERIFY(window->isVisible());
    QVERIFY(done.wait(20000));
    QCOMPARE(done.first().first().toBool(), found);
    const QString shown = window->TextView()->toPlainText();
    QVERIFY2(shown.contains(expected), qPrintable(shown.left(400)));
}

void TestPerlTools::operatorSection()
{
    const QString text = QStringLiteral("NAME\n    perlop\n\n  Equality Operators\n    Binary \"==\" returns true\n\n"
                                        "        indented example\n  Smartmatch Operator\n    other\n");
    QCOMPARE(CPerlDocTopic::Section(text, QStringLiteral("Equality Operators")),
             QStringLiteral("Equality Operators\n    Binary \"==\" returns true\n\n        indented example\n"));
    QCOMPARE(CPerlDocTopic::Section(text, QStringLiteral("No Such")), QString());

    // Through perldoc: the == button's section of perlop, and nothing of the next one.
    CPerlDocLookup lookup;
    QSignalSpy done(&lookup, &CPerlDocLookup::Finished);
    lookup.Start(CPerlDocTopic::ForOperator(32964));
    QVERIFY(done.wait(20000));
    QVERIFY(done.first().at(0).toBool());
    const QString section = done.first().at(1).toString();
    QVERIFY2(section.startsWith(QLatin1String("Equality Operators")), qPrintable(section.left(200)));
    QVERIFY(section.contains(QLatin1String("\"==\"")));
    QVERIFY(!section.contains(QLatin1String("Smartmatch Operator")));
    QVERIFY(CPerlDocTopic::ForOperator(32961).strSection == QLatin1String("The Arrow Operator"));
    QVERIFY(CPerlDocTopic::ForOperator(Cmd::ID_FILE_NEW).IsEmpty());
}

void TestPerlTools::functionsWindowF1()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESTREL.FNL"));
    QFile fnl(path);
    QVERIFY(fnl.open(QIODevice::WriteOnly));
    fnl.write("abs,Absolute value,abs($x)\nsprintf,Format,sprintf('%d', $n)\n");
    fnl.close();
    CFunctionListDlg dlg(nullptr, path);
    QSignalSpy requested(&dlg, &CFunctionListDlg::DocumentationRequested);
    dlg.show();
    dlg.m_listCtrl->setCurrentIndex(dlg.m_listCtrl->model()->index(1, 0));
    QTest::keyClick(dlg.m_listCtrl, Qt::Key_F1);
    QCOMPARE(requested.size(), 1);
    QCOMPARE(requested.first().first().toString(), QStringLiteral("sprintf"));
    // The window stays, and no template was inserted.
    QVERIFY(dlg.isVisible());

    CPerlDocLookup lookup;
    QSignalSpy done(&lookup, &CPerlDocLookup::Finished);
    lookup.Start(CPerlDocTopic::ForFunction(QStringLiteral("sprintf")));
    QVERIFY(done.wait(20000));
    QVERIFY(done.first().at(0).toBool());
    QVERIFY(done.first().at(1).toString().contains(QLatin1String("sprintf FORMAT, LIST")));
}

QTEST_MAIN(TestPerlTools)
#include "tst_perltools.moc"
