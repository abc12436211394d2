#include "bytelens/BytelensDlg.h"
#include "bytelens/DumpSource.h"
#include "bytelens/DumpView.h"
#include "ReferenceListing.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QString WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

// Closes the next modal box that shows and returns its text through `text`.
void CloseNextModal(QString *text, QString *title = nullptr)
{
    QTimer::singleShot(50, [text, title] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w)
            return CloseNextModal(text, title);
        if (auto *box = qobject_cast<QMessageBox *>(w))
            *text = box->text();
        else if (auto *version = w->findChild<QLabel *>(QStringLiteral("Version")))
            *text = version->text();
        if (title)
            *title = w->windowTitle();
        if (auto *dlg = qobject_cast<QDialog *>(w))
            dlg->accept();
    });
}

} // namespace

class TestBytelensDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controls();
    void dumpShowsTheListing_data();
    void dumpShowsTheListing();
    void enterDumps();
    void unopenableNameKeepsListing_data();
    void unopenableNameKeepsListing();
    void longNameWarnsThenDumps();
    void copyGivesTheListing();
    void largeFileShowsAtOnce();
    void widestLineIsReachable_data();
    void widestLineIsReachable();
    void readErrorIsReported();
    void nameFromCommandLine();
    void aboutBox();

private:
    void TypeAndDump(const QString &name);
    QString Listing() const { return m_pDlg->DumpView()->Text(); }

    QTemporaryDir m_dir;
    QString m_strOldDir;
    CBytelensDlg *m_pDlg = nullptr;
};

void TestBytelensDlg::init()
{
    m_strOldDir = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    m_pDlg = new CBytelensDlg;
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg));
}

void TestBytelensDlg::cleanup()
{
    delete m_pDlg;
    m_pDlg = nullptr;
    QDir::setCurrent(m_strOldDir);
}

void TestBytelensDlg::TypeAndDump(const QString &name)
{
    auto *combo = m_pDlg->findChild<QComboBox *>(QStringLiteral("1000"));
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), name);
    QTest::mouseClick(m_pDlg->findChild<QPushButton *>(QStringLiteral("3")), Qt::LeftButton);
}

void TestBytelensDlg::controls()
{
    QCOMPARE(m_pDlg->windowTitle(), QStringLiteral("Class Dumper"));
    QCOMPARE(m_pDlg->findChild<QPushButton *>(QStringLiteral("1"))->text(), QStringLiteral("OK"));
    QCOMPARE(m_pDlg->findChild<QPushButton *>(QStringLiteral("2"))->text(), QStringLiteral("Cancel"));
    auto *dump = m_pDlg->findChild<QPushButton *>(QStringLiteral("3"));
    QCOMPARE(dump->text(), QStringLiteral("&Dump"));
    QVERIFY(dump->isDefault());
    auto *combo = m_pDlg->findChild<QComboBox *>(QStringLiteral("1000"));
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->count(), 0);
    QVERIFY(m_pDlg->findChild<CDumpView *>(QStringLiteral("1001")));
    QStringList labels;
    for (QLabel *l : m_pDlg->findChildren<QLabel *>())
        labels << l->text();
    QVERIFY(labels.contains(QStringLiteral("<-------------Hexadecimal display ------------>")));
    QVERIFY(labels.contains(QStringLiteral("< Text display >")));
    QVERIFY(labels.contains(QStringLiteral("Java Class File name")));
    QVERIFY(!m_pDlg->windowIcon().isNull());
    QVERIFY(Listing().isEmpty());
}

void TestBytelensDlg::dumpShowsTheListing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("20 bytes") << QByteArray("ABCDEFGHIJKLMNOPQRST");
    QTest::newRow("16 bytes") << PatternBytes(16);
    QTest::newRow("all 256 byte values") << AllByteValues();
}

void TestBytelensDlg::dumpShowsTheListing()
{
    QFETCH(QByteArray, bytes);
    WriteFile(m_dir.filePath(QStringLiteral("A.class")), bytes);
    TypeAndDump(QStringLiteral("A.class"));
    QCOMPARE(Listing(), CDumpSource::ToDisplay(ReferenceListing(bytes)));
    // Typed names are never added to the box's list.
    QCOMPARE(m_pDlg->findChild<QComboBox *>(QStringLiteral("1000"))->count(), 0);
}

void TestBytelensDlg::enterDumps()
{
    WriteFile(m_dir.filePath(QStringLiteral("E.class")), "\xCA\xFE\xBA\xBE");
    auto *combo = m_pDlg->findChild<QComboBox *>(QStringLiteral("1000"));
    combo->setFocus();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("E.class"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QVERIFY(Listing().startsWith(QStringLiteral("000000  CA FE BA BE ")));
    QVERIFY(m_pDlg->isVisible());
}

void TestBytelensDlg::unopenableNameKeepsListing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("no such file") << QStringLiteral("Missing.class");
    QTest::newRow("a directory") << QStringLiteral(".");
    QTest::newRow("empty name") << QString();
}

void TestBytelensDlg::unopenableNameKeepsListing()
{
    QFETCH(QString, name);
    WriteFile(m_dir.filePath(QStringLiteral("K.class")), "keep me");
    TypeAndDump(QStringLiteral("K.class"));
    const QString before = Listing();
    QVERIFY(before.contains(QStringLiteral("keep me")));
    TypeAndDump(name);
    QCOMPARE(Listing(), before);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestBytelensDlg::longNameWarnsThenDumps()
{
    const QString name = QString(47, QLatin1Char('n')) + QStringLiteral(".bin");
    QCOMPARE(name.size(), 51);
    WriteFile(m_dir.filePath(name), "long");
    QString message;
    CloseNextModal(&message);
    TypeAndDump(name);
    QCOMPARE(message, QStringLiteral("Please enter no more than 50 characters."));
    QVERIFY(Listing().contains(QStringLiteral("6C 6F 6E 67")));
}

void TestBytelensDlg::copyGivesTheListing()
{
    const QByteArray bytes = PatternBytes(100) + "\xE9\x80";
    WriteFile(m_dir.filePath(QStringLiteral("C.class")), bytes);
    TypeAndDump(QStringLiteral("C.class"));
    CDumpView *view = m_pDlg->DumpView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), CDumpSource::ToDisplay(ReferenceListing(bytes)));

    // Shift and the arrows select the first offset field.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(view->SelectedText(), QStringLiteral("000000  "));
    // Down once more reaches into the second line, across its "\r\n".
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view->SelectedText(), CDumpSource::ToDisplay(ReferenceListing(bytes).left(76 + 8)));
}

void TestBytelensDlg::largeFileShowsAtOnce()
{
    // A sparse 100 MB file: the box lists it without building 475 MB of text.
    const QString path = m_dir.filePath(QStringLiteral("large.bin"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(100 * 1024 * 1024 + 3));
    f.seek(100 * 1024 * 1024);
    f.write("XYZ");
    f.close();
    TypeAndDump(QStringLiteral("large.bin"));
    CDumpView *view = m_pDlg->DumpView();
    QCOMPARE(view->Source()->Size(), uint64_t(100 * 1024 * 1024 + 3));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(view->FirstVisibleLine() > 6000000);
    QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(view->SelectedText(),
             QStringLiteral("104857600  58 59 5A ") + QString(39, QLatin1Char(' ')) + QStringLiteral("  XYZ\r\n"));
    view->repaint();
}

void TestBytelensDlg::widestLineIsReachable_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("narrow");
    // Each file ends with a full line, whose text column ends in "Z", and a line of
    // three bytes; the full line is the widest, as its offset has the most digits.
    // A box narrower than the dialog's shows the fault whatever the font's widths.
    QTest::newRow("7-digit offsets, box narrower than a line") << qint64(5000003) << true;
    QTest::newRow("8-digit offsets, box narrower than a line") << qint64(20971523) << true;
    QTest::newRow("11-digit offsets, more lines than 2^31") << (qint64(40) << 30) + 3 << false;
    QTest::newRow("11-digit offsets, box narrower than a line") << (qint64(40) << 30) + 3 << true;
    QTest::newRow("14-digit offsets, wider than the dialog's box") << (qint64(15) << 40) + 3 << false;
}

void TestBytelensDlg::widestLineIsReachable()
{
    QFETCH(qint64, size);
    QFETCH(bool, narrow);
    const QString path = m_dir.filePath(QStringLiteral("wide.bin"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    if (!f.resize(size))
        QSKIP(qPrintable(QStringLiteral("no sparse file of %1 bytes here: %2").arg(size).arg(f.errorString())));
    QVERIFY(f.seek(size - 19));
    QVERIFY(f.write("0123456789abcdeZxyz") == 19);
    f.close();
    m_pDlg->DumpFile(path);
    CDumpView *view = m_pDlg->DumpView();
    if (narrow)
        view->resize(view->width() / 2, view->height());
    const uint64_t widest = uint64_t(size) / 16 - 1;
    const QByteArray line = view->Source()->Line(widest);
    QVERIFY(line.endsWith("  0123456789abcdeZ"));
    QCOMPARE(line.size(), QByteArray::number(widest * 16).size() + 2 + 48 + 2 + 16);
    const int last = int(line.size()) - 1;

    // By keyboard: the end of the listing, up past the short line, to the line's end.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_End);
    const QRect cell = view->CellRect(widest, last);
    QVERIFY2(view->viewport()->rect().contains(cell),
             qPrintable(QStringLiteral("last character at %1,%2 %3x%4 outside the %5x%6 viewport")
                            .arg(cell.x()).arg(cell.y()).arg(cell.width()).arg(cell.height())
                            .arg(view->viewport()->width()).arg(view->viewport()->height())));
    if (narrow)
        QVERIFY(view->horizontalScrollBar()->isVisible());

    // By mouse: a click on the last character and Shift+End select just it.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.topLeft() + QPoint(1, cell.height() / 2));
    QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view->SelectedText(), QStringLiteral("Z"));

    // The bars' far ends show the line and its whole text column, too, however many
    // lines the listing has.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view->FirstVisibleLine(), uint64_t(0));
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    QVERIFY(view->viewport()->rect().contains(view->CellRect(widest, last)));
    QVERIFY(view->CellRect(widest, last - 15).left() >= 0);
}

void TestBytelensDlg::readErrorIsReported()
{
    // It opens, but reading it fails at once.
    if (!QFile(QStringLiteral("/proc/self/mem")).open(QIODevice::ReadOnly))
        QSKIP("no /proc/self/mem here");
    QString message;
    CloseNextModal(&message);
    TypeAndDump(QStringLiteral("/proc/self/mem"));
    QVERIFY2(message.startsWith(QStringLiteral("Cannot read file /proc/self/mem:")), qPrintable(message));
    QCOMPARE(Listing(), CDumpSource::ToDisplay(ReferenceListing(QByteArray())));
}

void TestBytelensDlg::nameFromCommandLine()
{
    // No length message for a name the user did not type.
    const QString name = m_dir.filePath(QString(60, QLatin1Char('c')));
    WriteFile(name, "cmd");
    m_pDlg->DumpFile(name);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(m_pDlg->findChild<QComboBox *>(QStringLiteral("1000"))->currentText(), name);
    QVERIFY(Listing().startsWith(QStringLiteral("000000  63 6D 64 ")));
}

void TestBytelensDlg::aboutBox()
{
    QString version;
    QString title;
    CloseNextModal(&version, &title);
    QTest::keyClick(m_pDlg, Qt::Key_F1);
    QCOMPARE(title, QStringLiteral("About Bytelens"));
    QCOMPARE(version, QStringLiteral("Bytelens Version 1.0"));
}

QTEST_MAIN(TestBytelensDlg)
#include "tst_bytelensdlg.moc"
