#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "editor/KestrelView.h"
#include "editor/WebPreview.h"
#include "framework/CommandIds.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

namespace {

const QString kModule = QStringLiteral(KESTREL_BIN_DIR "/kestrel_web");

bool EngineLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

QString WritePage(const QString &path, const QString &title)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write("<html><head><title>" + title.toUtf8() + "</title></head><body><p>page</p></body></html>\n");
    return path;
}

} // namespace

class TestWebPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void enabledState_data();
    void enabledState();
    void standInWithoutModule();
    void engineLoadsWithFirstPreview();
    void inBrowserShowsSavedFile();

private:
    QTemporaryDir m_dir;
    CMainFrame *m_pFrame = nullptr;
};

void TestWebPreview::initTestCase()
{
    g_strProgramDir = QStringLiteral(KESTREL_BIN_DIR "/");
    m_pFrame = new CMainFrame;
}

void TestWebPreview::cleanupTestCase()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("CWebFrame"))
            delete w;
    delete m_pFrame;
}

void TestWebPreview::enabledState_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("never saved") << QString() << false;
    QTest::newRow(".pl script") << QStringLiteral("/home/u/script.pl") << false;
    QTest::newRow(".html") << QStringLiteral("/home/u/page.html") << true;
    QTest::newRow(".htm") << QStringLiteral("/home/u/page.htm") << true;
    QTest::newRow(".HTM upper case") << QStringLiteral("/home/u/PAGE.HTM") << false;
    QTest::newRow(".Html mixed case") << QStringLiteral("/home/u/page.Html") << false;
    QTest::newRow(".xhtml") << QStringLiteral("/home/u/page.xhtml") << false;
    QTest::newRow(".html.bak") << QStringLiteral("/home/u/page.html.bak") << false;
    QTest::newRow("folder named .html") << QStringLiteral("/home/u/site.html/run.pl") << false;
    QTest::newRow("blanks and # in the name") << QStringLiteral("/home/u/my page #2.html") << true;
}

void TestWebPreview::enabledState()
{
    QFETCH(QString, path);
    QFETCH(bool, enabled);
    QCOMPARE(CWebPreview::IsBrowsable(path), enabled);
    m_pFrame->GetDocument()->SetPathName(path);
    m_pFrame->UpdateCommandUI();
    QCOMPARE(m_pFrame->Action(Cmd::ID_VIEW_IN_BROWSER)->isEnabled(), enabled);
}

void TestWebPreview::standInWithoutModule()
{
    const QString path = WritePage(m_dir.filePath(QStringLiteral("stand in #1.html")), QStringLiteral("Stand In"));
    QWidget *frame = CWebPreview::Open(path, m_dir.filePath(QStringLiteral("no_such_module")));
    QVERIFY(frame);
    QCOMPARE(CWebPreview::LastFrame(), frame);
    QVERIFY(frame->isVisible());
    QCOMPARE(frame->windowTitle(), path);
    auto *page = frame->findChild<QTextBrowser *>(QStringLiteral("WebPageView"));
    QVERIFY(page);
    QCOMPARE(page->source(), QUrl::fromLocalFile(path));
    QCOMPARE(page->documentTitle(), QStringLiteral("Stand In"));
    QVERIFY(!EngineLoaded());
}

void TestWebPreview::engineLoadsWithFirstPreview()
{
    if (!QFile::exists(QStringLiteral(KESTREL_BIN_DIR "/libkestrel_web.so")))
        QSKIP("built without the browser engine");
    // The IDE, its frame and view included, runs without the engine.
    QVERIFY(!EngineLoaded());
    const QString path = WritePage(m_dir.filePath(QStringLiteral("a page #1.html")), QStringLiteral("Engine Page"));
    QWidget *frame = CWebPreview::Open(path, kModule);
    QVERIFY(EngineLoaded());
    QCOMPARE(frame->windowTitle(), path);
    QWidget *page = frame->findChild<QWidget *>(QStringLiteral("WebPageView"));
    QVERIFY(page);
    QVERIFY(page->inherits("QWebEngineView"));
    QTRY_COMPARE_WITH_TIMEOUT(page->property("title").toString(), QStringLiteral("Engine Page"), 60000);
    // Blanks and "#" are part of the file name, not a fragment.
    const QUrl url = page->property("url").toUrl();
    QCOMPARE(url.toLocalFile(), path);
    QVERIFY(url.fragment().isEmpty());
}

void TestWebPreview::inBrowserShowsSavedFile()
{
    if (!QFile::exists(QStringLiteral(KESTREL_BIN_DIR "/libkestrel_web.so")))
        QSKIP("built without the browser engine");
    const QString path = WritePage(m_dir.filePath(QStringLiteral("saved.htm")), QStringLiteral("Saved Title"));
    CKestrelDoc *doc = m_pFrame->GetDocument();
    QVERIFY(doc->OnOpenDocument(path));
    doc->SetPathName(path);
    // Unsaved edits are not what the browser shows.
    m_pFrame->GetActiveView()->SetTextBytes("<html><head><title>Unsaved Title</title></head></html>", true);
    m_pFrame->UpdateCommandUI();
    QVERIFY(m_pFrame->Action(Cmd::ID_VIEW_IN_BROWSER)->isEnabled());
    QWidget *before = CWebPreview::LastFrame();
    m_pFrame->Action(Cmd::ID_VIEW_IN_BROWSER)->trigger();
    QWidget *frame = CWebPreview::LastFrame();
    QVERIFY(frame && frame != before);
    QCOMPARE(frame->windowTitle(), path);
    QWidget *page = frame->findChild<QWidget *>(QStringLiteral("WebPageView"));
    QTRY_COMPARE_WITH_TIMEOUT(page->property("title").toString(), QStringLiteral("Saved Title"), 60000);
    QCOMPARE(page->property("url").toUrl(), QUrl::fromLocalFile(path));
}

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CKestrelApp app(argc, argv);
    TestWebPreview test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webpreview.moc"
