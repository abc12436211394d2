#include "app/KestrelDoc.h"
#include "editor/KestrelView.h"
#include "editor/TearOffFrame.h"
#include "framework/CommandIds.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTest>

class TestTearOff : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void snapshotWindow_data();
    void snapshotWindow();
    void twoTearOffsAreIndependent();
    void typingChangesNothingButCopyWorks();
    void stripAndEditGeometry();

private:
    QList<CTearOffFrame *> Frames() const;
    CTearOffFrame *TearOff();

    CKestrelDoc *m_pDoc = nullptr;
    CKestrelView *m_pView = nullptr;
};

void TestTearOff::init()
{
    m_pDoc = new CKestrelDoc;
    m_pView = new CKestrelView(m_pDoc);
    m_pDoc->SetView(m_pView);
    m_pView->ApplyFont(QFont(QStringLiteral("DejaVu Sans Mono"), 13));
}

void TestTearOff::cleanup()
{
    qDeleteAll(Frames());
    delete m_pView;
    delete m_pDoc;
}

QList<CTearOffFrame *> TestTearOff::Frames() const
{
    QList<CTearOffFrame *> frames;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<CTearOffFrame *>(w))
            frames << f;
    return frames;
}

CTearOffFrame *TestTearOff::TearOff()
{
    const QList<CTearOffFrame *> before = Frames();
    if (!m_pView->Commands().Execute(Cmd::ID_VIEW_TEAR_OFF))
        return nullptr;
    for (CTearOffFrame *f : Frames())
        if (!before.contains(f))
            return f;
    return nullptr;
}

void TestTearOff::snapshotWindow_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");
    QTest::newRow("untitled document") << QString() << QByteArray("#!/usr/bin/perl\n") << QStringLiteral("Untitled")
                                       << QStringLiteral("#!/usr/bin/perl\n");
    QTest::newRow("saved script: its file name")
        << QStringLiteral("/tmp/some dir/hello.pl") << QByteArray("print \"hi\\n\";\r\nexit 0;\n")
        << QStringLiteral("hello.pl") << QStringLiteral("print \"hi\\n\";\nexit 0;\n");
    QTest::newRow("non-ASCII text") << QString::fromUtf8("/x/\xC3\xA9t\xC3\xA9.pl") << QByteArray("my $caf\xC3\xA9 = 1;\n")
                                    << QString::fromUtf8("\xC3\xA9t\xC3\xA9.pl") << QString::fromUtf8("my $caf\xC3\xA9 = 1;\n");
    QTest::newRow("Windows-1252 text: shown as the editor shows it")
        << QStringLiteral("/x/cafe.pl") << QByteArray("# Caf\xe9 \x80 \x93q\x94\n") << QStringLiteral("cafe.pl")
        << QString::fromUtf8("# Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D\n");
}

void TestTearOff::snapshotWindow()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, text);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    m_pDoc->SetPathName(path);
    m_pView->SetTextBytes(text);
    CTearOffFrame *frame = TearOff();
    QVERIFY(frame);
    QVERIFY(frame->isVisible());
    QVERIFY(frame->isWindow());
    QCOMPARE(frame->windowTitle(), title);
    QVERIFY(frame->Edit()->isReadOnly());
    QCOMPARE(frame->Edit()->objectName(), QStringLiteral("103"));
    QCOMPARE(frame->Edit()->toPlainText(), shown);
    QCOMPARE(frame->Edit()->font().family(), m_pView->font().family());
    QCOMPARE(frame->Edit()->font().pointSize(), 13);
    QVERIFY(frame->testAttribute(Qt::WA_DeleteOnClose));
}

void TestTearOff::twoTearOffsAreIndependent()
{
    m_pView->SetTextBytes("first text\n");
    CTearOffFrame *first = TearOff();
    m_pView->SetTextBytes("second text\n");
    CTearOffFrame *second = TearOff();
    QVERIFY(first && second && first != second);
    QCOMPARE(first->Edit()->toPlainText(), QStringLiteral("first text\n"));
    QCOMPARE(second->Edit()->toPlainText(), QStringLiteral("second text\n"));

    // Editing on reaches neither; closing one leaves the other.
    m_pView->SetTextBytes("third\n");
    QCOMPARE(first->Edit()->toPlainText(), QStringLiteral("first text\n"));
    QPointer<CTearOffFrame> gone = first;
    first->close();
    QTRY_VERIFY(gone.isNull());
    QCOMPARE(second->Edit()->toPlainText(), QStringLiteral("second text\n"));
}

void TestTearOff::typingChangesNothingButCopyWorks()
{
    m_pView->SetTextBytes("keep this\n");
    CTearOffFrame *frame = TearOff();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QPlainTextEdit *edit = frame->Edit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("xyz"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->toPlainText(), QStringLiteral("keep this\n"));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("keep this\n"));
    QCOMPARE(m_pView->GetTextBytes(), QByteArray("keep this\n"));
}

void TestTearOff::stripAndEditGeometry()
{
    m_pView->SetTextBytes("x\n");
    CTearOffFrame *frame = TearOff();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    frame->resize(400, 300);
    QTRY_COMPARE(frame->Edit()->geometry(), QRect(20, 0, 380, 300));
    const QImage image = frame->grab().toImage();
    QCOMPARE(image.pixelColor(5, 150), QColor(150, 160, 160));
    QCOMPARE(image.pixelColor(19, 10), QColor(150, 160, 160));
}

QTEST_MAIN(TestTearOff)
#include "tst_tearoff.moc"
