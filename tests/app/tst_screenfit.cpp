// Windows open inside the free area of a small screen: a size chosen for a larger
// screen shrinks, and a place off the screen moves onto it. The screen here is the
// offscreen platform's, made 640 x 480.
#include "app/OpenFileDlg.h"
#include "perl/PerlDocWindow.h"
#include "perl/SubListDlg.h"
#include "editor/TearOffFrame.h"
#include "editor/VariableListDlg.h"
#include "framework/ScreenFit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using CMakeWindow = std::function<QWidget *()>;
Q_DECLARE_METATYPE(CMakeWindow)

class TestScreenFit : public QObject
{
    Q_OBJECT

private slots:
    void fit_data();
    void fit();
    void windowsOpenInsideTheScreen_data();
    void windowsOpenInsideTheScreen();
};

void TestScreenFit::fit_data()
{
    QTest::addColumn<QRect>("client");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<bool>("placed");
    QTest::addColumn<QRect>("expected");

    const QMargins frame(4, 24, 4, 4);
    QTest::newRow("fits: unchanged") << QRect(10, 30, 300, 200) << frame << QSize() << true << QRect(10, 30, 300, 200);
    QTest::newRow("too tall, not placed: shorter, the place left to the window manager")
        << QRect(0, 0, 500, 900) << frame << QSize() << false << QRect(0, 0, 500, 740);
    QTest::newRow("placed below the bottom: moved up") << QRect(100, 600, 400, 300) << frame << QSize() << true
                                                       << QRect(100, 464, 400, 300);
    QTest::newRow("placed off the left and the top: moved in") << QRect(-50, -10, 400, 300) << frame << QSize() << true
                                                               << QRect(4, 24, 400, 300);
    QTest::newRow("too wide and too tall, placed: the whole area")
        << QRect(300, 300, 2000, 2000) << frame << QSize() << true << QRect(4, 24, 1016, 740);
    QTest::newRow("never below the minimum; the title bar stays on the screen")
        << QRect(500, 500, 1200, 900) << frame << QSize(1100, 100) << true << QRect(4, 24, 1100, 740);
}

void TestScreenFit::fit()
{
    QFETCH(QRect, client);
    QFETCH(QMargins, frame);
    QFETCH(QSize, minimum);
    QFETCH(bool, placed);
    const QRect available(0, 0, 1024, 768);
    QTEST(CScreenFit::Fit(client, frame, available, minimum, placed), "expected");
}

void TestScreenFit::windowsOpenInsideTheScreen_data()
{
    QTest::addColumn<CMakeWindow>("make");

    QTest::newRow("Perl Documentation") << CMakeWindow([] { return new CPerlDocWindow; });
    QTest::newRow("Tear Off") << CMakeWindow([] { return new CTearOffFrame; });
    QTest::newRow("special variables") << CMakeWindow([] {
        auto *dlg = new CVariableListDlg;
        dlg->m_nMode = 9;
        dlg->OnInitDialog();
        return dlg;
    });
    QTest::newRow("a list placed where it would hang off the screen") << CMakeWindow([] {
        auto *dlg = new CSubListDlg;
        dlg->move(400, 300);
        return dlg;
    });
    QTest::newRow("File > Open") << CMakeWindow([] { return new COpenFileDlg(nullptr, QDir::tempPath()); });
}

void TestScreenFit::windowsOpenInsideTheScreen()
{
    QFETCH(CMakeWindow, make);
    std::unique_ptr<QWidget> window(make());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(available.size(), QSize(640, 480));
    QVERIFY2(available.contains(window->frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(window->frameGeometry().x())
                            .arg(window->frameGeometry().y())
                            .arg(window->frameGeometry().width())
                            .arg(window->frameGeometry().height())));
}

int main(int argc, char *argv[])
{
    // A small screen, as on a netbook or a projector.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 640, "height": 480,
                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    TestScreenFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenfit.moc"
