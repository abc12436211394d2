#include "bytelens/DumpListing.h"
#include "bytelens/DumpSource.h"
#include "ReferenceListing.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

class TestDumpListing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { std::setlocale(LC_ALL, "C"); }

    void layout_data();
    void layout();
    void sameAsByteAtATime_data();
    void sameAsByteAtATime();
    void blockSplitDoesNotMatter_data();
    void blockSplitDoesNotMatter();
    void streamFromFile();
    void streamStopsWhenSinkFails();
    void streamReportsReadError();
    void sourceLinesAreTheListing_data();
    void sourceLinesAreTheListing();
    void sourceTextRanges_data();
    void sourceTextRanges();
    void sourceOfStreamAndProcFile();
    void sourceReadErrorIsKept();
    void displayOfHighBytes_data();
    void displayOfHighBytes();
};

void TestDumpListing::layout_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("listing");
    const QByteArray blank48(48, ' ');
    QTest::newRow("empty file: offset 0 and 50 blanks") << QByteArray() << "000000  " + blank48 + "  \r\n";
    QTest::newRow("one byte") << QByteArray("A")
                              << "000000  41 " + QByteArray(45, ' ') + "  A\r\n";
    QTest::newRow("16 bytes: full line, then the offset line of 16")
        << QByteArray("0123456789abcdef")
        << "000000  30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66   0123456789abcdef\r\n"
           "000016  " + blank48 + "  \r\n";
    QTest::newRow("20 bytes: 4 pairs and 36 filling blanks")
        << QByteArray("ABCDEFGHIJKLMNOPQRST")
        << "000000  41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50   ABCDEFGHIJKLMNOP\r\n"
           "000016  51 52 53 54 " + QByteArray(36, ' ') + "  QRST\r\n";
    QTest::newRow("class file magic") << QByteArray("\xCA\xFE\xBA\xBE", 4)
                                      << "000000  CA FE BA BE " + QByteArray(36, ' ') + "  \xCA\xFE\xBA\xBE\r\n";
    QTest::newRow("0A is a dot, 41 is A, E9 is itself") << QByteArray("\x0A\x41\xE9", 3)
                                                         << "000000  0A 41 E9 " + QByteArray(39, ' ') + "  .A\xE9\r\n";
    QTest::newRow("controls 00, 1F and 7F are dots; 20, 80 and FF are not")
        << QByteArray("\x00\x1F\x7F\x20\x80\xFF", 6)
        << "000000  00 1F 7F 20 80 FF " + QByteArray(30, ' ') + "  ... \x80\xFF\r\n";
}

void TestDumpListing::layout()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, listing);
    QCOMPARE(DumpListing::Build(bytes), listing);
}

void TestDumpListing::sameAsByteAtATime_data()
{
    QTest::addColumn<QByteArray>("bytes");
    for (int size : {0, 1, 15, 16, 17, 20, 31, 32, 33})
        QTest::addRow("%d bytes", size) << PatternBytes(size);
    QTest::newRow("all 256 byte values") << AllByteValues();
    QTest::newRow("over 999,999 bytes: seven-digit offsets") << PatternBytes(1000000 + 37);
}

void TestDumpListing::sameAsByteAtATime()
{
    QFETCH(QByteArray, bytes);
    QCOMPARE(DumpListing::Build(bytes), ReferenceListing(bytes));
}

void TestDumpListing::blockSplitDoesNotMatter_data()
{
    QTest::addColumn<int>("blockSize");
    for (int size : {1, 3, 7, 15, 16, 17, 100, 4096})
        QTest::addRow("blocks of %d", size) << size;
}

void TestDumpListing::blockSplitDoesNotMatter()
{
    QFETCH(int, blockSize);
    const QByteArray bytes = PatternBytes(5000) + AllByteValues();
    QByteArray out;
    DumpListing::CBuilder builder;
    for (int pos = 0; pos < bytes.size(); pos += blockSize)
        builder.Feed(bytes.constData() + pos, size_t(qMin(blockSize, int(bytes.size()) - pos)), out);
    builder.Finish(out);
    QCOMPARE(out, ReferenceListing(bytes));
    QCOMPARE(builder.Count(), uint64_t(bytes.size()));
}

void TestDumpListing::streamFromFile()
{
    // Larger than the reading block, and not a multiple of it.
    const QByteArray bytes = PatternBytes(3 * 1024 * 1024 + 5);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("big.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QByteArray out;
    int pieces = 0;
    bool wholeLines = true;
    QVERIFY(DumpListing::Stream(file, [&](const QByteArray &piece) {
        wholeLines = wholeLines && piece.endsWith("\r\n");
        out += piece;
        ++pieces;
        return true;
    }));
    QVERIFY(pieces > 1);
    QVERIFY(wholeLines);
    QCOMPARE(out, ReferenceListing(bytes));
}

void TestDumpListing::streamStopsWhenSinkFails()
{
    QByteArray bytes = PatternBytes(3 * 1024 * 1024);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    int calls = 0;
    QVERIFY(!DumpListing::Stream(buffer, [&](const QByteArray &) { return ++calls < 2; }));
    QCOMPARE(calls, 2);
}

void TestDumpListing::streamReportsReadError()
{
    // Opening works; reading at offset 0 fails with an I/O error.
    QFile file(QStringLiteral("/proc/self/mem"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        QSKIP("no /proc/self/mem here");
    QString error;
    QByteArray out;
    QVERIFY(!DumpListing::Stream(file, [&](const QByteArray &piece) { out += piece; return true; }, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(out.isEmpty());
}

void TestDumpListing::sourceLinesAreTheListing_data()
{
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 16, 20, 65536, 65536 + 16 * 3 + 5, 1000000 + 37})
        QTest::addRow("%d bytes", size) << size;
}

void TestDumpListing::sourceLinesAreTheListing()
{
    QFETCH(int, size);
    const QByteArray bytes = PatternBytes(size, 99);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    std::unique_ptr<CDumpSource> source = CDumpSource::Open(path);
    QVERIFY(source);
    QVERIFY(source->ErrorString().isEmpty());
    QCOMPARE(source->Size(), uint64_t(size));
    QByteArray joined;
    for (uint64_t i = 0; i < source->LineCount(); ++i) {
        const QByteArray line = source->Line(i);
        QCOMPARE(line.size(), source->LineLength(i));
        joined += line + "\r\n";
    }
    QCOMPARE(joined, ReferenceListing(bytes));
    QVERIFY(source->Line(source->LineCount()).isEmpty());
}

void TestDumpListing::sourceTextRanges_data()
{
    QTest::addColumn<int>("fromLine");
    QTest::addColumn<int>("fromCol");
    QTest::addColumn<int>("toLine");
    QTest::addColumn<int>("toCol");
    QTest::newRow("inside one line") << 1 << 8 << 1 << 20;
    QTest::newRow("across a line break") << 0 << 60 << 1 << 8;
    QTest::newRow("whole lines with their breaks") << 0 << 0 << 2 << 0;
    QTest::newRow("to after the last line break") << 1 << 0 << 4 << 0;
    QTest::newRow("empty range") << 2 << 5 << 2 << 5;
}

void TestDumpListing::sourceTextRanges()
{
    QFETCH(int, fromLine);
    QFETCH(int, fromCol);
    QFETCH(int, toLine);
    QFETCH(int, toCol);
    const QByteArray bytes = PatternBytes(50);
    std::unique_ptr<CDumpSource> source = CDumpSource::FromBytes(bytes);
    const QByteArray listing = DumpListing::Build(bytes);
    // Every line of a 50-byte listing is 76 characters with its break but the last.
    auto index = [&](int line, int col) { return line * 76 + col; };
    const QByteArray expected = listing.mid(index(fromLine, fromCol), index(toLine, toCol) - index(fromLine, fromCol));
    QCOMPARE(source->Text(uint64_t(fromLine), fromCol, uint64_t(toLine), toCol), expected);
}

void TestDumpListing::sourceOfStreamAndProcFile()
{
    // A /proc file says it is empty but is not.
    QFile proc(QStringLiteral("/proc/self/status"));
    if (!proc.open(QIODevice::ReadOnly))
        QSKIP("no /proc here");
    std::unique_ptr<CDumpSource> source = CDumpSource::Open(QStringLiteral("/proc/self/status"));
    QVERIFY(source);
    QVERIFY(source->Size() > 0);
    QVERIFY(source->Line(0).startsWith("000000  4E 61 6D 65 3A"));
}

void TestDumpListing::sourceReadErrorIsKept()
{
    QString error;
    std::unique_ptr<CDumpSource> source = CDumpSource::Open(QStringLiteral("/proc/self/mem"), &error);
    if (!source)
        QSKIP("no /proc/self/mem here");
    QVERIFY(!source->ErrorString().isEmpty());
    QCOMPARE(source->Size(), uint64_t(0));

    QVERIFY(!CDumpSource::Open(QStringLiteral("/no/such/file"), &error));
    QVERIFY2(error.contains(QStringLiteral("No such file")), qPrintable(error));
}

void TestDumpListing::displayOfHighBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("E9 is e acute") << QByteArray("\xE9") << QString(QChar(0xE9));
    QTest::newRow("FF is y diaeresis") << QByteArray("\xFF") << QString(QChar(0xFF));
    QTest::newRow("80 is the euro sign") << QByteArray("\x80") << QString(QChar(0x20AC));
    QTest::newRow("undefined 81 keeps its code") << QByteArray("\x81") << QString(QChar(0x81));
    QTest::newRow("ASCII unchanged") << QByteArray("A.") << QStringLiteral("A.");
}

void TestDumpListing::displayOfHighBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(CDumpSource::ToDisplay(bytes), shown);
}

QTEST_APPLESS_MAIN(TestDumpListing)
#include "tst_dumplisting.moc"
