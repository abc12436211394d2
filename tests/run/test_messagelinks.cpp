#include "OutputWindowWatch.h"
#include "app/Settings.h"
#include "framework/FileLineParser.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "run/RunCommandLine.h"
#include "run/RunCommands.h"
#include "debug/DebugCommands.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(CRunCommandLine::Kind)

namespace {

// "name:line:E|W" of each message that is not a stack frame.
QStringList Describe(const QList<CFileLineMessage> &messages)
{
    QStringList out;
    for (const CFileLineMessage &m : messages)
        if (!m.bFrame)
            out << QStringLiteral("%1:%2:%3")
                       .arg(QFileInfo(m.strPath).fileName())
                       .arg(m.nLine)
                       .arg(m.nSeverity == CFileLineMessage::Error ? QLatin1Char('E') : QLatin1Char('W'));
    return out;
}

} // namespace

// Real perl and javac through the runner: what the error pane links and what the
// run hands back for the editor's marks.
class TestMessageLinks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messagesOfARun_data();
    void messagesOfARun();
    void javacErrorsAndWarnings();
    void javaExceptionIsALink();
    void paneFindsWhatTheParserFindsInTheWholeText_data();
    void paneFindsWhatTheParserFindsInTheWholeText();
    void doubleClickAndEnterChooseTheMessage_data();
    void doubleClickAndEnterChooseTheMessage();
    void windowKeepsThePlaceTheUserGaveIt();

private:
    QString Script(const QString &name, const QByteArray &text);
    CRunOutcome Run(CRunCommandLine::Kind kind, const QString &path, std::function<void(COutputWindowDlg *)> act = {});

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel links XXXXXX")};
};

void TestMessageLinks::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_settings = CSettings();
    g_settings.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    g_settings.LOCAL_JAVAC_EXE = QStandardPaths::findExecutable(QStringLiteral("javac"));
    g_settings.LOCAL_JAVAC_PRM = QStringLiteral("-Xlint:all");
    QVERIFY(!g_settings.LOCAL_PERL_EXE.isEmpty());
    QVERIFY(!g_settings.LOCAL_JAVAC_EXE.isEmpty());
    Script(QStringLiteral("my scripts/lib/Broken.pm"), "package Broken;\nsub f {\n    die \"broken inside\";\n}\n1;\n");
}

QString TestMessageLinks::Script(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

CRunOutcome TestMessageLinks::Run(CRunCommandLine::Kind kind, const QString &path,
                                  std::function<void(COutputWindowDlg *)> act)
{
    CRunCommandLine cl = CRunCommandLine::Compose(kind, path, QFileInfo(path).fileName(), g_settings,
                                                  CRunCommands::RunHoldPath());
    WhenRunIsOver(act ? act : [](COutputWindowDlg *) {});
    return CDebugCommands::RunPiped(nullptr, kind, cl, QStringLiteral("one line\n"), QString(),
                                    QStringLiteral("Could not run "));
}

void TestMessageLinks::messagesOfARun_data()
{
    QTest::addColumn<CRunCommandLine::Kind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");
    const auto run = CRunCommandLine::Kind::Run;
    const auto compile = CRunCommandLine::Kind::Compile;

    QTest::newRow("die in a folder with blanks")
        << run << "my scripts/dies here.pl" << QByteArray("use strict;\nuse warnings;\n\n\n\n\n\ndie;\n")
        << QStringList{"dies here.pl:8:E"};
    QTest::newRow("warnings, then a die of its own words after reading STDIN")
        << run << "warns.pl"
        << QByteArray("use warnings;\nmy $u;\nmy $s = $u + 1;\nmy $l = <STDIN>;\nwarn \"careful\";\ndie \"no more input\";\n")
        << QStringList{"warns.pl:3:W", "warns.pl:5:W", "warns.pl:6:E"};
    QTest::newRow("syntax errors near, compiled")
        << compile << "syntax.pl" << QByteArray("use strict;\nmy $x = 1\nprint $x;\nprint \"a\" x\n}\n")
        << QStringList{"syntax.pl:3:E", "syntax.pl:3:E", "syntax.pl:5:E", "syntax.pl:5:E"};
    QTest::newRow("Can't locate")
        << run << "locate.pl" << QByteArray("use strict;\n\nuse No::Such::Module;\n")
        << QStringList{"locate.pl:3:E", "locate.pl:3:E"};
    QTest::newRow("a die in a module file")
        << run << "my scripts/uses module.pl" << QByteArray("use lib 'lib';\nuse Broken;\nBroken::f();\n")
        << QStringList{"Broken.pm:3:E"};
    QTest::newRow("a warning of a clean exit stays a warning")
        << run << "clean.pl" << QByteArray("use warnings;\nmy @a = (1);\nmy $x = @a[0];\nexit 0;\n")
        << QStringList{"clean.pl:3:W"};
}

void TestMessageLinks::messagesOfARun()
{
    QFETCH(CRunCommandLine::Kind, kind);
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    const QString path = Script(name, text);
    int links = -1;
    const CRunOutcome outcome = Run(kind, path, [&links](COutputWindowDlg *wnd) {
        links = int(wnd->StdErrPane()->Messages().size());
    });
    QCOMPARE(Describe(outcome.messages), expected);
    // Every message found was a link on the pane while the window was open.
    QCOMPARE(links, int(outcome.messages.size()));
    for (const CFileLineMessage &m : outcome.messages)
        QVERIFY2(QFileInfo(m.strPath).isAbsolute() && QFileInfo::exists(m.strPath), qPrintable(m.strPath));
    QVERIFY(!outcome.bChosen);
}

void TestMessageLinks::javacErrorsAndWarnings()
{
    const QString path = Script(QStringLiteral("java src/Broken.java"),
                                "public class Broken {\n"
                                "    public static void main(String[] a) {\n"
                                "        new Thread().stop();\n"
                                "        int x = \"s\";\n"
                                "    }\n"
                                "}\n");
    const CRunOutcome outcome = Run(CRunCommandLine::Kind::Compile, path);
    const QStringList seen = Describe(outcome.messages);
    QVERIFY2(seen.contains(QStringLiteral("Broken.java:3:W")), qPrintable(seen.join(QLatin1Char(' '))));
    QVERIFY2(seen.contains(QStringLiteral("Broken.java:4:E")), qPrintable(seen.join(QLatin1Char(' '))));
}

void TestMessageLinks::javaExceptionIsALink()
{
    g_settings.LOCAL_JAVA_EXE = QStandardPaths::findExecutable(QStringLiteral("java"));
    QVERIFY(!g_settings.LOCAL_JAVA_EXE.isEmpty());
    const QString path = Script(QStringLiteral("java trace/Thrower.java"),
                                "public class Thrower {\n"
                                "    static void fail() {\n"
                                "        throw new IllegalStateException(\"no\");\n"
                                "    }\n"
                                "    public static void main(String[] a) {\n"
                                "        fail();\n"
                                "    }\n"
                                "}\n");
    QVERIFY(Run(CRunCommandLine::Kind::Compile, path).messages.isEmpty());
    QList<CFileLineMessage> links;
    const CRunOutcome outcome = Run(CRunCommandLine::Kind::Run, path, [&links](COutputWindowDlg *wnd) {
        links = wnd->StdErrPane()->Messages();
    });
    // The place that threw is the run's message, its caller a frame; both are links
    // to the source.
    QCOMPARE(Describe(outcome.messages), QStringList{"Thrower.java:3:E"});
    QCOMPARE(links.size(), 2);
    QCOMPARE(links[1].nLine, 6);
    QVERIFY(links[1].bFrame);
    for (const CFileLineMessage &m : links)
        QCOMPARE(QFileInfo(m.strPath).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
}

void TestMessageLinks::paneFindsWhatTheParserFindsInTheWholeText_data()
{
    QTest::addColumn<int>("pieceSize");
    QTest::addColumn<int>("piecesPerSearch");
    // Searches that end inside lines, inside a quotation of source and inside a stack
    // trace, and the whole text at once.
    QTest::newRow("7 bytes, searched every 91") << 7 << 13;
    QTest::newRow("61 bytes, each searched") << 61 << 1;
    QTest::newRow("whole") << 0 << 1;
}

void TestMessageLinks::paneFindsWhatTheParserFindsInTheWholeText()
{
    QFETCH(int, pieceSize);
    QFETCH(int, piecesPerSearch);
    QByteArray text;
    for (int i = 0; i < 40; ++i)
        text += "00000" + QByteArray::number(i) + " plain output: nothing here\n";
    text += "syntax error at nl8.pl line 2, near \"x\n";
    for (int i = 0; i < 3; ++i)
        text += "  quoted: source line " + QByteArray::number(i) + "\n";
    text += "}\"\nwarned at w.pl line 4.\n\tmain::f() called at w.pl line 9\n";
    text += "Exception in thread \"main\" java.lang.Error: x\n\tat A.f(A.java:2)\n\tat A.main(A.java:5)\n";
    for (int i = 0; i < 60; ++i)
        text += "noise " + QByteArray::number(i) + "\n";
    text += "\tat B.g(B.java:8)\nsyntax error at open.pl line 1, near \"never closed\n";
    for (int i = 0; i < 55; ++i)
        text += "more " + QByteArray::number(i) + "\n";
    text += "last words at e.pl line 3.";

    COutputPane pane;
    pane.EnableMessageLinks(QString());
    const int step = pieceSize > 0 ? pieceSize : int(text.size());
    for (int at = 0, piece = 1; at < text.size(); at += step, ++piece) {
        pane.AppendBytes(text.mid(at, step));
        // The search runs shortly after output arrives, once for all that came.
        if (piece % piecesPerSearch == 0)
            QTest::qWait(60);
    }
    pane.FinishMessageLinks();
    const QList<CFileLineMessage> expected = CFileLineParser().Parse(QString::fromUtf8(text));
    QCOMPARE(pane.Messages().size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(pane.Messages()[i], expected[i]);
}

void TestMessageLinks::doubleClickAndEnterChooseTheMessage_data()
{
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("double-click") << false;
    QTest::newRow("Enter at the end of the line") << true;
}

void TestMessageLinks::doubleClickAndEnterChooseTheMessage()
{
    QFETCH(bool, byEnter);
    const QString path = Script(QStringLiteral("chosen.pl"), "warn \"first\";\nprint \"out\\n\";\ndie \"second\";\n");
    bool closedByChoice = false;
    const CRunOutcome outcome = Run(CRunCommandLine::Kind::Run, path, [&](COutputWindowDlg *wnd) {
        COutputPane *pane = wnd->StdErrPane();
        // The second line of the pane is the die.
        const long start = pane->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 1);
        const long end = pane->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, 1);
        if (byEnter) {
            pane->setFocus();
            pane->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, end);
            QTest::keyClick(pane, Qt::Key_Return);
        } else {
            QPoint at(int(pane->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, start + 2)),
                      int(pane->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, start + 2)) + 3);
            QTest::mouseDClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        }
        closedByChoice = !wnd->isVisible();
    });
    QVERIFY(closedByChoice);
    QVERIFY(outcome.bChosen);
    QCOMPARE(outcome.chosen.nLine, 3);
    QCOMPARE(QFileInfo(outcome.chosen.strPath).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
}

void TestMessageLinks::windowKeepsThePlaceTheUserGaveIt()
{
    QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).remove(QLatin1String(COutputWindowDlg::kGeometryKey));
    const QString path = Script(QStringLiteral("place.pl"), "print \"x\\n\";\n");
    QSize first;
    Run(CRunCommandLine::Kind::Run, path, [&first](COutputWindowDlg *wnd) {
        wnd->resize(wnd->width() + 120, wnd->height() + 60);
        QTRY_COMPARE(wnd->StdErrPane()->width(), wnd->findChild<QWidget *>(QStringLiteral("Client"))->width() - 1);
        first = wnd->size();
    });
    QSize second;
    QRect pane;
    QRect expected;
    Run(CRunCommandLine::Kind::Run, path, [&](COutputWindowDlg *wnd) {
        second = wnd->size();
        QWidget *client = wnd->findChild<QWidget *>(QStringLiteral("Client"));
        pane = wnd->StdOutPane()->geometry();
        expected = COutputWindowDlg::LayoutFor(client->width(), client->height()).stdOut;
    });
    QCOMPARE(second, first);
    // The panes fill the remembered size, not the size of the first opening.
    QCOMPARE(pane, expected);
}

QTEST_MAIN(TestMessageLinks)
#include "test_messagelinks.moc"
