// The scripting toolbar's labels and the floating operators window as a user sees
// them. CTest runs this twice: at scale 1 and with QT_SCALE_FACTOR=2.
#include "app/KestrelApp.h"
#include "app/MainFrame.h"
#include "framework/CommandIds.h"
#include "framework/CommandTable.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// The box around the pixels that stand out from the background (the colour of the
// top-left corner), in device pixels.
QRect InkBox(const QImage &image)
{
    const int background = qGray(image.pixel(0, 0));
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (std::abs(qGray(image.pixel(x, y)) - background) > 96) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// `text` in the application's font at its own size, at the device pixel ratio `dpr`.
QImage AtApplicationFont(const QString &text, const QColor &ink, const QColor &paper, qreal dpr)
{
    const QFontMetrics fm(QApplication::font());
    const QSize size(fm.horizontalAdvance(text) + 20, fm.height() + 20);
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(paper);
    QPainter painter(&image);
    painter.setFont(QApplication::font());
    painter.setPen(ink);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, text);
    return image;
}

} // namespace

class TestToolbars : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void scriptLabelsAtTheNormalTextSize_data();
    void scriptLabelsAtTheNormalTextSize();
    void operatorsWindowShowsItsTitle();
    void operatorsWindowOpensOnTheScreen_data();
    void operatorsWindowOpensOnTheScreen();

private:
    std::unique_ptr<CMainFrame> m_upFrame;
};

void TestToolbars::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_upFrame = std::make_unique<CMainFrame>();
    // Wide enough for every button, whatever the scale makes of the offscreen screen.
    m_upFrame->resize(1000, 600);
    m_upFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_upFrame.get()));
    QTRY_VERIFY(m_upFrame->OperatorBar()->isVisible());
}

void TestToolbars::cleanupTestCase()
{
    m_upFrame.reset();
}

void TestToolbars::scriptLabelsAtTheNormalTextSize_data()
{
    QTest::addColumn<int>("id");
    for (int id : CCommandTable::ScriptBar())
        QTest::newRow(CCommandTable::Find(id)->pszGlyph) << id;
}

void TestToolbars::scriptLabelsAtTheNormalTextSize()
{
    // Every keyword is drawn whole, as large and as bold as the same text in the
    // application's font: none squeezed to fit a fixed-size button, none blurred up
    // from a smaller image.
    QFETCH(int, id);
    QToolBar *bar = m_upFrame->ScriptBar();
    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(m_upFrame->Action(id)));
    QVERIFY(button);
    QVERIFY(button->isVisible());
    const QString label = QString::fromUtf8(CCommandTable::Find(id)->pszGlyph);
    QCOMPARE(button->text(), label);

    const QPixmap shot = button->grab();
    const qreal dpr = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
    QCOMPARE(shot.devicePixelRatio(), dpr);
    const QImage drawn = shot.toImage();
    const QImage wanted = AtApplicationFont(label, button->palette().color(QPalette::ButtonText), drawn.pixel(0, 0), dpr);
    const QRect drawnInk = InkBox(drawn);
    const QRect wantedInk = InkBox(wanted);
    const QString sizes = QStringLiteral("drawn %1x%2, in the application's font %3x%4 device pixels")
                              .arg(drawnInk.width()).arg(drawnInk.height())
                              .arg(wantedInk.width()).arg(wantedInk.height());
    QVERIFY2(wantedInk.height() >= 5 * dpr, qPrintable(sizes));
    QVERIFY2(std::abs(drawnInk.height() - wantedInk.height()) <= 1, qPrintable(sizes));
    QVERIFY2(std::abs(drawnInk.width() - wantedInk.width()) <= 1, qPrintable(sizes));
}

void TestToolbars::operatorsWindowShowsItsTitle()
{
    // Window managers draw the title in bold beside the window's icon and its
    // buttons (openbox: minimize, maximize, close, each about a line high with
    // padding), openbox centred across the bar, so with the buttons' room on both
    // sides. Qt adds nothing to it (the end-to-end test reads the title off the screen).
    QWidget *bar = m_upFrame->OperatorBar();
    QCOMPARE(bar->windowTitle(), QStringLiteral("Operators"));
    const QString shown = bar->windowTitle();
    QFont bold = QApplication::font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    QVERIFY2(bar->width() >= fm.horizontalAdvance(shown) + 2 * 3 * (fm.height() + 4),
             qPrintable(QStringLiteral("%1 pixels wide for \"%2\"").arg(bar->width()).arg(shown)));

    // The three columns of buttons fill the wider window.
    const QList<QToolButton *> buttons = bar->findChildren<QToolButton *>();
    QCOMPARE(buttons.size(), 44);
    QVERIFY(buttons[0]->geometry().left() <= 4);
    QVERIFY(buttons[2]->geometry().right() >= bar->width() - 5);
}

void TestToolbars::operatorsWindowOpensOnTheScreen_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("expected");
    // The frames have a title bar of 20 pixels and borders of 1; the operators window
    // is 250 x 420 with its own.
    const QRect frame(213, 130, 852, 620);
    QTest::newRow("room on the right: beside the frame, level with its top")
        << frame << QRect(0, 0, 1920, 1080) << QPoint(1066, 130);
    QTest::newRow("just enough room: beside the frame") << frame << QRect(0, 0, 1316, 900) << QPoint(1066, 130);
    QTest::newRow("one pixel too few: on the screen, below the frame's title bar")
        << frame << QRect(0, 0, 1315, 900) << QPoint(1065, 150);
    QTest::newRow("too little room: on the screen, below the frame's title bar")
        << frame << QRect(0, 0, 1280, 900) << QPoint(1030, 150);
    QTest::newRow("too little room on a second screen")
        << frame.translated(1280, 0) << QRect(1280, 0, 1280, 900) << QPoint(2310, 150);
    QTest::newRow("too little room below: up onto the screen")
        << QRect(106, 75, 426, 300) << QRect(0, 0, 640, 450) << QPoint(390, 30);
    QTest::newRow("a screen shorter than the window: its top on the screen's")
        << QRect(106, 75, 426, 300) << QRect(0, 0, 640, 400) << QPoint(390, 0);
}

void TestToolbars::operatorsWindowOpensOnTheScreen()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, screen);
    QFETCH(QPoint, expected);
    const QRect client = frame.adjusted(1, 20, -1, -1);
    QCOMPARE(CMainFrame::OperatorBarPosition(frame, client, QSize(250, 420), screen), expected);
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestToolbars test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_toolbars.moc"
