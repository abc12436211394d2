#include "app/Settings.h"
#include "app/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void reader_data();
    void reader();
    void missingKeyKeepsValue();
    void writerOrderAndFormats();
    void roundTrip();
    void writeIsOwnerOnlyAndAtomic();
    void readMissingFile();
    void hostileFiles_data();
    void hostileFiles();
};

void TestSettings::reader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("port with leading zeros") << QByteArray("FTP_PORT_NUMBER=00021\n") << "FTP_PORT_NUMBER" << "21";
    QTest::newRow("port without digits") << QByteArray("FTP_PORT_NUMBER=abc\n") << "FTP_PORT_NUMBER" << "0";
    QTest::newRow("port with blanks, sign and tail") << QByteArray("SERVER_PORT_NUMBER=  -23x9\n")
                                                     << "SERVER_PORT_NUMBER" << "-23";
    QTest::newRow("port too large saturates") << QByteArray("SERVER_PORT_NUMBER=99999999999999\n")
                                              << "SERVER_PORT_NUMBER" << "2147483647";
    QTest::newRow("auto indent Y") << QByteArray("AUTO_INDENT=Y\n") << "AUTO_INDENT" << "1";
    QTest::newRow("auto indent lower-case y") << QByteArray("AUTO_INDENT=y\n") << "AUTO_INDENT" << "0";
    QTest::newRow("auto indent blank before Y") << QByteArray("AUTO_INDENT= Y\n") << "AUTO_INDENT" << "0";
    QTest::newRow("auto indent Yes") << QByteArray("AUTO_INDENT=Yes\n") << "AUTO_INDENT" << "0";
    QTest::newRow("auto indent empty") << QByteArray("AUTO_INDENT=\n") << "AUTO_INDENT" << "0";
    QTest::newRow("value keeps blanks and further equals signs")
        << QByteArray("LOCAL_PERL_EXE=/opt/my perl/perl -x=1 \n") << "LOCAL_PERL_EXE" << "/opt/my perl/perl -x=1 ";
    QTest::newRow("blank before the equals sign sets nothing") << QByteArray("TAB_SIZE =4\n") << "TAB_SIZE" << "";
    QTest::newRow("leading blank before the key sets nothing") << QByteArray(" TAB_SIZE=4\n") << "TAB_SIZE" << "";
    QTest::newRow("lower-case key sets nothing") << QByteArray("tab_size=4\n") << "TAB_SIZE" << "";
    QTest::newRow("the last occurrence wins") << QByteArray("TAB_SIZE=4\nTAB_SIZE=8\n") << "TAB_SIZE" << "8";
    QTest::newRow("CR LF line ends") << QByteArray("TAB_SIZE=4\r\nTAB_EXPAND=Y\r\n") << "TAB_EXPAND" << "Y";
    QTest::newRow("last line without a line end") << QByteArray("TAB_SIZE=4\nINDENT_SIZE=3") << "INDENT_SIZE"
                                                  << "3";
    QTest::newRow("empty lines and lines without equals sign")
        << QByteArray("\n\njunk\nSERVER_HOST=example.org\n\n") << "SERVER_HOST" << "example.org";
    QTest::newRow("empty value") << QByteArray("SERVER_HOST=\n") << "SERVER_HOST" << "";
}

static QString ValueOf(const CSettings &s, const QString &key)
{
    if (key == QLatin1String("FTP_PORT_NUMBER"))
        return QString::number(s.FTP_PORT_NUMBER);
    if (key == QLatin1String("SERVER_PORT_NUMBER"))
        return QString::number(s.SERVER_PORT_NUMBER);
    if (key == QLatin1String("AUTO_INDENT"))
        return QString::number(s.AUTO_INDENT);
    if (key == QLatin1String("LOCAL_PERL_EXE"))
        return s.LOCAL_PERL_EXE;
    if (key == QLatin1String("TAB_SIZE"))
        return s.TAB_SIZE;
    if (key == QLatin1String("TAB_EXPAND"))
        return s.TAB_EXPAND;
    if (key == QLatin1String("INDENT_SIZE"))
        return s.INDENT_SIZE;
    if (key == QLatin1String("SERVER_HOST"))
        return s.SERVER_HOST;
    return QStringLiteral("?");
}

void TestSettings::reader()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    CSettings s;
    CSettingsFile::Parse(file, s);
    QTEST(ValueOf(s, key), "expected");
}

void TestSettings::missingKeyKeepsValue()
{
    CSettings s;
    s.LOCAL_DIRECTORY = QStringLiteral("/home/user/scripts");
    s.SERVER_PORT_NUMBER = 23;
    CSettingsFile::Parse("TAB_SIZE=4\n", s);
    QCOMPARE(s.LOCAL_DIRECTORY, QStringLiteral("/home/user/scripts"));
    QCOMPARE(s.SERVER_PORT_NUMBER, 23);
    QCOMPARE(s.TAB_SIZE, QStringLiteral("4"));
}

void TestSettings::writerOrderAndFormats()
{
    CSettings s;
    s.FTP_PORT_NUMBER = 21;
    s.SERVER_PORT_NUMBER = -21;
    s.AUTO_INDENT = 0;
    s.VIEW_FONT = QStringLiteral("-13,0,0,0,400,0,0,0,0,3,2,1,49,Courier New");
    s.SERVER_TYPE = QStringLiteral("wrenshell");
    const QList<QByteArray> lines = CSettingsFile::Format(s).split('\n');
    QCOMPARE(lines.size(), 31);
    QVERIFY(lines.last().isEmpty());
    const char *order[] = {"LOCAL_PERL_EXE", "LOCAL_PERL_PRM", "REMOTE_PERL_EXE", "REMOTE_PERL_PRM",
                           "RUN_IN_DOS_WINDOW", "FTP_HOST_NAME", "FTP_PORT_NUMBER", "FTP_USER_NAME",
                           "FTP_USER_PASS", "LOCAL_DIRECTORY", "REMOTE_DIRECTORY", "TAB_EXPAND", "TAB_SIZE",
                           "INDENT_SIZE", "VIEW_FONT", "AUTO_INDENT", "LOCAL_JAVA_EXE", "LOCAL_JAVA_PRM",
                           "REMOTE_JAVA_EXE", "REMOTE_JAVA_PRM", "LOCAL_JAVAC_EXE", "LOCAL_JAVAC_PRM",
                           "REMOTE_JAVAC_EXE", "REMOTE_JAVAC_PRM", "SERVER_USER", "SERVER_PASS", "SERVER_TYPE",
                           "SERVER_HOST", "SERVER_PORT_NUMBER", "SERVER_CLIENT_EXEPATH"};
    for (int i = 0; i < 30; ++i)
        QVERIFY2(lines[i].startsWith(QByteArray(order[i]) + '='), lines[i].constData());
    QCOMPARE(lines[6], QByteArray("FTP_PORT_NUMBER=00021"));
    QCOMPARE(lines[28], QByteArray("SERVER_PORT_NUMBER=-0021"));
    QCOMPARE(lines[15], QByteArray("AUTO_INDENT=N"));
    QCOMPARE(lines[14], QByteArray("VIEW_FONT=-13,0,0,0,400,0,0,0,0,3,2,1,49,Courier New"));

    CSettings zero;
    QVERIFY(CSettingsFile::Format(zero).contains("\nFTP_PORT_NUMBER=00000\n"));
}

void TestSettings::roundTrip()
{
    CSettings s;
    s.LOCAL_PERL_EXE = QStringLiteral("/usr/bin/perl");
    s.LOCAL_PERL_PRM = QStringLiteral("-w -I 'my lib'");
    s.RUN_IN_DOS_WINDOW = QStringLiteral("Y");
    s.FTP_HOST_NAME = QStringLiteral("ftp.example.org");
    s.FTP_PORT_NUMBER = 2121;
    s.FTP_USER_PASS = QStringLiteral("p=ss word");
    s.LOCAL_DIRECTORY = QStringLiteral("/home/u/My Scripts");
    s.TAB_SIZE = QStringLiteral("4");
    s.AUTO_INDENT = 1;
    s.SERVER_PORT_NUMBER = 23;
    s.SERVER_CLIENT_EXEPATH = QStringLiteral("/usr/bin/telnet");
    s.VIEW_FONT = QStringLiteral("-13,0,0,0,400,0,0,0,0,3,2,1,49,Courier New");
    CSettings back;
    CSettingsFile::Parse(CSettingsFile::Format(s), back);
    QVERIFY(back == s);
}

void TestSettings::writeIsOwnerOnlyAndAtomic()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrel.cfg"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# a comment the next save drops\nUNKNOWN=1\n");
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    }
    CSettings s;
    s.SERVER_PASS = QStringLiteral("secret");
    QVERIFY(CSettingsFile::Write(path, s));
    QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray written = f.readAll();
    QCOMPARE(written.count('\n'), 30);
    QVERIFY(!written.contains("UNKNOWN"));

    // A folder that isn't one: nothing written, the reason returned.
    QFile blocker(dir.filePath(QStringLiteral("notafolder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    QVERIFY(!CSettingsFile::Write(dir.filePath(QStringLiteral("notafolder/Kestrel.cfg")), s, &error));
    QVERIFY(!error.isEmpty());
}

void TestSettings::readMissingFile()
{
    CSettings s;
    s.TAB_SIZE = QStringLiteral("7");
    QVERIFY(!CSettingsFile::Read(QStringLiteral("/nonexistent/Kestrel.cfg"), s));
    QCOMPARE(s.TAB_SIZE, QStringLiteral("7"));
}

void TestSettings::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("tabSize");

    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += "TAB_SIZE=" + QByteArray::number(i % 9) + "\n";
    QByteArray binary;
    for (int i = 0; i < 65536; ++i)
        binary += char((i * 7919) & 0xFF);
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("binary bytes") << binary << "";
    QTest::newRow("100,000 lines, the last wins") << many << QString::number(99999 % 9);
    QTest::newRow("1 MB line then a key") << QByteArray(1 << 20, 'x') + "\nTAB_SIZE=3" << "3";
    QTest::newRow("NUL bytes in a value") << QByteArray("TAB_SIZE=4\0zz\n", 14) << QString::fromUtf8("4\0zz", 4);
}

void TestSettings::hostileFiles()
{
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrel.cfg"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    CSettings s;
    QVERIFY(CSettingsFile::Read(path, s));
    QTEST(s.TAB_SIZE, "tabSize");
}

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
