#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "web/RunInBrowserFrame.h"
#include "framework/CommandIds.h"
#include "web/CgiWebServer.h"
#include "run/ScriptInputsDlg.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTextBrowser>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A page whose title tells what the script was asked, so the browser's title shows it.
const QByteArray kPage = R"(use CGI; my $q = CGI->new; print $q->header;
my $name = $q->param('name') // 'nobody';
warn "asked for $name\n";
print "<html><head><title>", $q->request_method, " VERSION $name</title></head><body>",
  "<form method='post'><input name='name'></form></body></html>\n";
)";

QByteArray PageOf(const QByteArray &version)
{
    QByteArray page = kPage;
    return page.replace("VERSION", version);
}

CRunInBrowserFrame *LastFrame()
{
    CRunInBrowserFrame *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<CRunInBrowserFrame *>(w); f && f->isVisible())
            found = f;
    return found;
}

bool HasEngine() { return QFile::exists(QStringLiteral(KESTREL_BIN_DIR "/libkestrel_web.so")); }

QString TitleOf(QWidget *page)
{
    if (auto *browser = qobject_cast<QTextBrowser *>(page))
        return browser->documentTitle();
    return page->property("title").toString();
}

} // namespace

class TestRunInBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void enabledForASavedScript();
    void firstPageWithSavedInputs_data();
    void firstPageWithSavedInputs();
    void reloadRunsTheSavedScript();
    void closingStopsTheServer();
    void dyingScriptInPageAndLog();
    void standInWithoutTheEngine();
    void addressFollowsAndTakesPaths_data();
    void addressFollowsAndTakesPaths();
    void opensInsideTheScreen();

private:
    QString Write(const QString &name, const QByteArray &text);

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel browser XXXXXX")};
    CMainFrame *m_pFrame = nullptr;
};

void TestRunInBrowser::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_strProgramDir = QStringLiteral(KESTREL_BIN_DIR "/");
    g_settings = CSettings();
    g_settings.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    m_pFrame = new CMainFrame;
}

void TestRunInBrowser::cleanupTestCase()
{
    // Deleting one window may delete others of the list.
    QList<QPointer<QWidget>> frames;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<CRunInBrowserFrame *>(w))
            frames << w;
    qDeleteAll(frames);
    delete m_pFrame;
}

QString TestRunInBrowser::Write(const QString &name, const QByteArray &text)
{
    QString path = m_dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

void TestRunInBrowser::enabledForASavedScript()
{
    CKestrelDoc *doc = m_pFrame->GetDocument();
    doc->SetPathName(QString());
    m_pFrame->UpdateCommandUI();
    QVERIFY(!m_pFrame->Action(Cmd::ID_SCRIPT_RUN_IN_BROWSER)->isEnabled());
    const QString path = Write(QStringLiteral("saved.pl"), PageOf("v1"));
    QVERIFY(doc->OnOpenDocument(path));
    doc->SetPathName(path);
    m_pFrame->UpdateCommandUI();
    QVERIFY(m_pFrame->Action(Cmd::ID_SCRIPT_RUN_IN_BROWSER)->isEnabled());
    QCOMPARE(m_pFrame->Action(Cmd::ID_SCRIPT_RUN_IN_BROWSER)->statusTip(),
             QStringLiteral("Runs the script as a url in a browser."));
}

void TestRunInBrowser::firstPageWithSavedInputs_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("logged");
    QTest::newRow("GET with the inputs as the query")
        << "GET" << "name=Alice\nlang=perl\n" << "GET v1 Alice" << "GET /page one.pl?name=Alice&lang=perl -> 200";
    QTest::newRow("POST with the inputs as the body") << "POST" << "name=Bob" << "POST v1 Bob" << "POST /page one.pl -> 200";
    QTest::newRow("blank method: a plain GET") << "" << "name=Carol" << "GET v1 nobody" << "GET /page one.pl -> 200";
}

void TestRunInBrowser::firstPageWithSavedInputs()
{
    if (!HasEngine())
        QSKIP("built without the browser engine");
    QFETCH(QString, method);
    QFETCH(QString, inputs);
    QFETCH(QString, title);
    QFETCH(QString, logged);
    const QString path = Write(QStringLiteral("page one.pl"), PageOf("v1"));
    CKestrelDoc *doc = m_pFrame->GetDocument();
    QVERIFY(doc->OnOpenDocument(path));
    doc->SetPathName(path);
    CKestrelView *view = m_pFrame->GetActiveView();
    view->m_dlgScriptInputs->m_strMethod = method;
    view->m_dlgScriptInputs->m_strInputs = inputs;
    m_pFrame->UpdateCommandUI();
    m_pFrame->Action(Cmd::ID_SCRIPT_RUN_IN_BROWSER)->trigger();
    CRunInBrowserFrame *frame = LastFrame();
    QVERIFY(frame);
    QWidget *page = frame->PageView();
    QVERIFY(page->inherits("QWebEngineView"));
    QTRY_COMPARE_WITH_TIMEOUT(page->property("title").toString(), title, 60000);
    // The log pane has the request and what the script wrote to its standard error.
    const QString log = frame->LogPane()->toPlainText();
    QVERIFY2(log.contains(logged), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("asked for ")), qPrintable(log));
    QVERIFY(frame->Server()->Port() > 0);
    frame->close();
}

void TestRunInBrowser::reloadRunsTheSavedScript()
{
    if (!HasEngine())
        QSKIP("built without the browser engine");
    const QString path = Write(QStringLiteral("reload.pl"), PageOf("v1"));
    CRunInBrowserFrame *frame =
        CRunInBrowserFrame::Open(path, g_settings.LOCAL_PERL_EXE, QStringLiteral("GET"), QStringLiteral("name=Dan"));
    QVERIFY(frame);
    QWidget *page = frame->PageView();
    QTRY_COMPARE_WITH_TIMEOUT(page->property("title").toString(), QStringLiteral("GET v1 Dan"), 60000);
    Write(QStringLiteral("reload.pl"), PageOf("v2"));
    frame->OnReload();
    QTRY_COMPARE_WITH_TIMEOUT(page->property("title").toString(), QStringLiteral("GET v2 Dan"), 60000);
    frame->close();
}

void TestRunInBrowser::closingStopsTheServer()
{
    const QString path = Write(QStringLiteral("close.pl"), PageOf("v1"));
    QPointer<CRunInBrowserFrame> frame =
        CRunInBrowserFrame::Open(path, g_settings.LOCAL_PERL_EXE, QString(), QString());
    QVERIFY(frame);
    const int port = frame->Server()->Port();
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(probe.waitForConnected(5000));
    probe.abort();
    frame->close();
    QTRY_VERIFY(frame.isNull());
    probe.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!probe.waitForConnected(2000));
}

void TestRunInBrowser::dyingScriptInPageAndLog()
{
    if (!HasEngine())
        QSKIP("built without the browser engine");
    const QString path = Write(QStringLiteral("dies.pl"), "die \"cannot open the database\\n\";\n");
    CRunInBrowserFrame *frame = CRunInBrowserFrame::Open(path, g_settings.LOCAL_PERL_EXE, QString(), QString());
    QVERIFY(frame);
    QTRY_COMPARE_WITH_TIMEOUT(frame->PageView()->property("title").toString(), QStringLiteral("Script failed"), 60000);
    const QString log = frame->LogPane()->toPlainText();
    QVERIFY2(log.contains(QStringLiteral("GET /dies.pl -> 500, exit code 255")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("\n    cannot open the database")), qPrintable(log));
    frame->close();
}

void TestRunInBrowser::standInWithoutTheEngine()
{
    // Without the module a text browser shows the page the server gave.
    const QString saved = g_strProgramDir;
    g_strProgramDir = m_dir.path() + QLatin1Char('/');
    const QString path = Write(QStringLiteral("plain.pl"), PageOf("v1"));
    CRunInBrowserFrame *frame =
        CRunInBrowserFrame::Open(path, g_settings.LOCAL_PERL_EXE, QStringLiteral("POST"), QStringLiteral("name=Eve"));
    g_strProgramDir = saved;
    QVERIFY(frame);
    auto *page = qobject_cast<QTextBrowser *>(frame->PageView());
    QVERIFY(page);
    QTRY_COMPARE_WITH_TIMEOUT(page->documentTitle(), QStringLiteral("POST v1 Eve"), 60000);
    frame->close();
}

void TestRunInBrowser::addressFollowsAndTakesPaths_data()
{
    QTest::addColumn<bool>("engine");
    QTest::newRow("browser engine") << true;
    QTest::newRow("stand-in") << false;
}

void TestRunInBrowser::addressFollowsAndTakesPaths()
{
    QFETCH(bool, engine);
    if (engine && !HasEngine())
        QSKIP("built without the browser engine");
    const QString saved = g_strProgramDir;
    if (!engine)
        g_strProgramDir = m_dir.path() + QLatin1Char('/');
    // The first page sends the browser on, relatively, to another script.
    Write(QStringLiteral("start.pl"), "print \"Status: 303 See Other\\nLocation: landed.pl?from=start\\n\\n\";\n");
    Write(QStringLiteral("landed.pl"), "use CGI; my $q = CGI->new; print $q->header, '<html><head><title>landed ', "
                                       "scalar $q->param('from'), '</title></head><body></body></html>';\n");
    CRunInBrowserFrame *frame = CRunInBrowserFrame::Open(m_dir.filePath(QStringLiteral("start.pl")),
                                                         g_settings.LOCAL_PERL_EXE, QStringLiteral("GET"), QString());
    g_strProgramDir = saved;
    QVERIFY(frame);
    QWidget *page = frame->PageView();
    QCOMPARE(page->inherits("QWebEngineView"), engine);
    QLineEdit *address = frame->AddressField();
    QVERIFY(!address->isReadOnly());
    const QString server = QStringLiteral("http://127.0.0.1:%1/").arg(frame->Server()->Port());
    QTRY_COMPARE_WITH_TIMEOUT(TitleOf(page), QStringLiteral("landed start"), 60000);
    QTRY_COMPARE(address->text(), server + QStringLiteral("landed.pl?from=start"));
    QVERIFY2(frame->LogPane()->toPlainText().contains(QStringLiteral("relative Location")),
             qPrintable(frame->LogPane()->toPlainText()));

    // A path typed is one of the served folder; the window's cookie lets it in.
    address->setText(QStringLiteral("landed.pl?from=typed"));
    QTest::keyClick(address, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(TitleOf(page), QStringLiteral("landed typed"), 60000);
    QCOMPARE(address->text(), server + QStringLiteral("landed.pl?from=typed"));
    address->setText(QStringLiteral("/landed.pl?from=slash"));
    QTest::keyClick(address, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(TitleOf(page), QStringLiteral("landed slash"), 60000);

    // Another server's address is not opened here.
    address->setText(QStringLiteral("http://example.org/"));
    QTest::keyClick(address, Qt::Key_Return);
    QVERIFY(frame->LogPane()->toPlainText().contains(QStringLiteral("http://example.org/ not opened")));
    QTRY_COMPARE(address->text(), server + QStringLiteral("landed.pl?from=slash"));
    QTest::qWait(300);
    QCOMPARE(TitleOf(page), QStringLiteral("landed slash"));
    // The secret never showed in the address, nor in the log.
    QVERIFY(!frame->LogPane()->toPlainText().contains(QString::fromLatin1(frame->Server()->Access().Secret())));
    frame->close();
}

void TestRunInBrowser::opensInsideTheScreen()
{
    const QString path = Write(QStringLiteral("screen.pl"), PageOf("v1"));
    CRunInBrowserFrame *frame = CRunInBrowserFrame::Open(path, g_settings.LOCAL_PERL_EXE, QString(), QString());
    QVERIFY(frame);
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    const QRect area = frame->screen()->availableGeometry();
    QVERIFY2(area.contains(frame->frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4 on a screen area of %5x%6")
                            .arg(frame->frameGeometry().x())
                            .arg(frame->frameGeometry().y())
                            .arg(frame->frameGeometry().width())
                            .arg(frame->frameGeometry().height())
                            .arg(area.width())
                            .arg(area.height())));
    // Still a useful size, not a sliver.
    QVERIFY(frame->width() >= std::min(area.width() - 16, 900) && frame->height() >= std::min(area.height() - 48, 700));
    frame->close();
}

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CKestrelApp app(argc, argv);
    TestRunInBrowser test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_runinbrowser.moc"
