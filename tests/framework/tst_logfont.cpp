#include "framework/LogFont.h"

#include <QFont>
#include <QTest>

class TestLogFont : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void formatRoundTrip();
    void qfontConversion();
};

void TestLogFont::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("pitchAndFamily");
    QTest::addColumn<QString>("face");

    QTest::newRow("Courier New as written on a 96-dpi screen")
        << QByteArray("-13,0,0,0,400,0,0,0,0,3,2,1,49,Courier New") << 14 << -13 << 400 << 49 << "Courier New";
    QTest::newRow("face with a digit is cut before it")
        << QByteArray("-16,0,0,0,700,0,0,0,0,3,2,1,49,Lucida Console2 Bold") << 14 << -16 << 700 << 49
        << "Lucida Console";
    QTest::newRow("face with a hyphen is cut before it")
        << QByteArray("-12,0,0,0,400,0,0,0,0,3,2,1,49,Fira-Mono") << 14 << -12 << 400 << 49 << "Fira";
    QTest::newRow("byte fields keep their low eight bits")
        << QByteArray("-12,0,0,0,400,0,0,0,0,3,2,1,305,Mono") << 14 << -12 << 400 << 49 << "Mono";
    QTest::newRow("face longer than 31 characters is cut at 31")
        << QByteArray("1,0,0,0,400,0,0,0,0,0,0,0,0,ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij") << 14 << 1 << 400 << 0
        << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
    QTest::newRow("thirteen numbers and no face") << QByteArray("-13,0,0,0,400,0,0,0,0,3,2,1,49,") << 13 << -13
                                                  << 400 << 49 << "";
    QTest::newRow("empty value") << QByteArray() << 0 << 0 << 0 << 0 << "";
    QTest::newRow("stops at the first field that isn't a number")
        << QByteArray("-13,0,x,0,400") << 2 << -13 << 0 << 0 << "";
    QTest::newRow("blank before a comma ends the record")
        << QByteArray("-13 ,0,0,0,400,0,0,0,0,3,2,1,49,Mono") << 1 << -13 << 0 << 0 << "";
    QTest::newRow("huge height saturates") << QByteArray("-99999999999999,0,0,0,400,0,0,0,0,3,2,1,49,Mono") << 14
                                           << int(INT32_MIN) << 400 << 49 << "Mono";
}

void TestLogFont::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(int, fields);
    CLogFont lf;
    QCOMPARE(CLogFont::Parse(text, lf), fields);
    QTEST(int(lf.lfHeight), "height");
    QTEST(int(lf.lfWeight), "weight");
    QTEST(int(lf.lfPitchAndFamily), "pitchAndFamily");
    QTEST(lf.lfFaceName, "face");
}

void TestLogFont::formatRoundTrip()
{
    CLogFont lf;
    lf.lfHeight = -13;
    lf.lfWidth = 7;
    lf.lfEscapement = -1;
    lf.lfOrientation = 2;
    lf.lfWeight = 700;
    lf.lfItalic = 1;
    lf.lfUnderline = 1;
    lf.lfStrikeOut = 0;
    lf.lfCharSet = 255;
    lf.lfOutPrecision = 3;
    lf.lfClipPrecision = 2;
    lf.lfQuality = 1;
    lf.lfPitchAndFamily = 49;
    lf.lfFaceName = QStringLiteral("Courier New");
    QCOMPARE(lf.Format(), QStringLiteral("-13,7,-1,2,700,1,1,0,255,3,2,1,49,Courier New"));
    CLogFont back;
    QCOMPARE(CLogFont::Parse(lf.Format().toLatin1(), back), 14);
    QVERIFY(back == lf);
}

void TestLogFont::qfontConversion()
{
    CLogFont lf;
    QCOMPARE(CLogFont::Parse("-16,0,0,0,700,1,0,1,0,3,2,1,49,DejaVu Sans Mono", lf), 14);
    QFont font = lf.ToQFont();
    QCOMPARE(font.family(), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(font.pointSizeF(), 12.0);
    QCOMPARE(font.weight(), QFont::Bold);
    QVERIFY(font.italic());
    QVERIFY(font.strikeOut());
    QVERIFY(!font.underline());

    // Back again: the fields QFont doesn't know are kept from the record.
    CLogFont back = CLogFont::FromQFont(font, lf);
    QVERIFY(back == lf);
}

QTEST_MAIN(TestLogFont)
#include "tst_logfont.moc"
