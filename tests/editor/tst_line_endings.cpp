// Convert to DOS and Convert to UNIX: the byte rules, and the commands on the editor
// (modified flag, undo, bytes that are not text kept).
#include "app/KestrelDoc.h"
#include "editor/KestrelView.h"
#include "editor/LineEndings.h"
#include "framework/CommandIds.h"

#include <QTest>

class TestLineEndings : public QObject
{
    Q_OBJECT

private slots:
    void conversion_data();
    void conversion();
    void unixUndoesDosOfBareLineFeeds_data();
    void unixUndoesDosOfBareLineFeeds();
    void command_data();
    void command();
};

void TestLineEndings::conversion_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("dos");
    QTest::addColumn<QByteArray>("unix");
    QTest::newRow("empty text") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("no line break") << QByteArray("print 1;") << QByteArray("print 1;") << QByteArray("print 1;");
    QTest::newRow("bare line feeds") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
    QTest::newRow("CR LF gets a second CR") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\r\nb\r\r\n")
                                             << QByteArray("a\nb\n");
    QTest::newRow("CR then CR LF") << QByteArray("a\r\r\n") << QByteArray("a\r\r\r\n") << QByteArray("a\r\n");
    QTest::newRow("bare CR stays") << QByteArray("a\rb") << QByteArray("a\rb") << QByteArray("a\rb");
    QTest::newRow("LF CR is not a pair") << QByteArray("a\n\rb") << QByteArray("a\r\n\rb") << QByteArray("a\n\rb");
    QTest::newRow("lone LF at start and end") << QByteArray("\nx\n") << QByteArray("\r\nx\r\n") << QByteArray("\nx\n");
    QTest::newRow("text that ends in CR") << QByteArray("x\r") << QByteArray("x\r") << QByteArray("x\r");
    QTest::newRow("NUL 0xE9 0xFF kept") << QByteArray("\0\xe9\n\xff\r\n", 6) << QByteArray("\0\xe9\r\n\xff\r\r\n", 8)
                                        << QByteArray("\0\xe9\n\xff\n", 5);
    QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\rd") << QByteArray("a\r\r\nb\r\nc\rd")
                                     << QByteArray("a\nb\nc\rd");
}

void TestLineEndings::conversion()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, dos);
    QFETCH(QByteArray, unix);
    QCOMPARE(CLineEndings::ToDos(text), dos);
    QCOMPARE(CLineEndings::ToUnix(text), unix);
}

void TestLineEndings::unixUndoesDosOfBareLineFeeds_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("script") << QByteArray("#!/usr/bin/perl\nprint \"hi\\n\";\n\n");
    QTest::newRow("bare CRs between") << QByteArray("a\rb\nc\r");
    QTest::newRow("only line feeds") << QByteArray("\n\n\n");
}

void TestLineEndings::unixUndoesDosOfBareLineFeeds()
{
    QFETCH(QByteArray, text);
    QCOMPARE(CLineEndings::ToUnix(CLineEndings::ToDos(text)), text);
}

void TestLineEndings::command_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("DOS of a UNIX script") << int(Cmd::ID_EDIT_CONVERT_TO_DOS) << QByteArray("a\nb\n")
                                          << QByteArray("a\r\nb\r\n");
    QTest::newRow("UNIX of a DOS script") << int(Cmd::ID_EDIT_CONVERT_TO_UNIX) << QByteArray("a\r\nb\r\n")
                                          << QByteArray("a\nb\n");
    QTest::newRow("UNIX of a text without CR") << int(Cmd::ID_EDIT_CONVERT_TO_UNIX) << QByteArray("a\nb")
                                               << QByteArray("a\nb");
    QTest::newRow("DOS of an empty text") << int(Cmd::ID_EDIT_CONVERT_TO_DOS) << QByteArray() << QByteArray();
    QTest::newRow("DOS keeps bytes that are not UTF-8") << int(Cmd::ID_EDIT_CONVERT_TO_DOS)
                                                        << QByteArray("\xe9t\xe9\n\xff") << QByteArray("\xe9t\xe9\r\n\xff");
}

void TestLineEndings::command()
{
    QFETCH(int, id);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    CKestrelDoc doc;
    CKestrelView view(&doc);
    doc.SetView(&view);
    view.SetTextBytes(text);
    doc.SetModifiedFlag(false);

    QVERIFY(view.Commands().Execute(id));
    QCOMPARE(view.GetTextBytes(), expected);
    QVERIFY(doc.IsModified());
    if (expected != text) {
        view.undo();
        QCOMPARE(view.GetTextBytes(), text);
    }
}

QTEST_MAIN(TestLineEndings)
#include "tst_line_endings.moc"
