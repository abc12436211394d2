#include <QProcess>
#include <QTest>

// The switches that every program answers, with no display to be had: a program that
// made its application object first would end with Qt's "could not connect to display".
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
};

void TestCommandLine::answersWithoutDisplay_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("whole");

    const QByteArray version(KESTREL_VERSION);
    QTest::newRow("kestrel --help") << "kestrel" << QStringList{"--help"} << QByteArray("Usage: kestrel ") << false;
    QTest::newRow("kestrel -h") << "kestrel" << QStringList{"-h"} << QByteArray("Usage: kestrel ") << false;
    QTest::newRow("kestrel FILE --help") << "kestrel" << QStringList{"a.pl", "--help"} << QByteArray("Usage: kestrel ") << false;
    QTest::newRow("kestrel --version") << "kestrel" << QStringList{"--version"} << "kestrel " + version + "\n" << true;
    QTest::newRow("kestrel -v") << "kestrel" << QStringList{"-v"} << "kestrel " + version + "\n" << true;
    QTest::newRow("bytelens --help") << "bytelens" << QStringList{"--help"} << QByteArray("Usage: bytelens ") << false;
    QTest::newRow("bytelens --version") << "bytelens" << QStringList{"--version"} << "bytelens " + version + "\n" << true;
    QTest::newRow("bytelens -v") << "bytelens" << QStringList{"-v"} << "bytelens " + version + "\n" << true;
}

void TestCommandLine::answersWithoutDisplay()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, expected);
    QFETCH(bool, whole);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KESTREL_BIN_DIR "/") + program, args);
    QVERIFY(p.waitForStarted());
    QVERIFY(p.waitForFinished(60000));
    const QByteArray out = p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == 0, err.constData());
    QVERIFY2(whole ? out == expected : out.startsWith(expected), out.constData());
    QCOMPARE(err, QByteArray());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
