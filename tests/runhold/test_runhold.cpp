#include "runhold/RunHold.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

class TestRunHold : public QObject
{
    Q_OBJECT

private slots:
    void splitOptions_data();
    void splitOptions();
    void composeKeepsPathsWhole();
    void contract_data();
    void contract();
    void missingProgram();

private:
    static QString RunHold() { return QStringLiteral(KESTREL_BIN_DIR "/runhold"); }
};

void TestRunHold::splitOptions_data()
{
    QTest::addColumn<QString>("options");
    QTest::newRow("empty gives no argument") << QString();
    QTest::newRow("blanks only give no argument") << QStringLiteral("   \t ");
    QTest::newRow("one switch") << QStringLiteral("-w");
    QTest::newRow("several switches") << QStringLiteral("-w  -T\t-Mstrict");
    QTest::newRow("quoted blank stays in one word") << QStringLiteral("-I\"/opt/my libs\" -w");
    QTest::newRow("three quotes are one quote") << QStringLiteral("-e\"\"\"x\"\"\"");
    QTest::newRow("two quotes are nothing") << QStringLiteral("a\"\"b");
    QTest::newRow("unclosed quote runs to the end") << QStringLiteral("\"a b");
    QTest::newRow("quote glued to text") << QStringLiteral("x\"y z\"w v");
}

// runhold splits the option setting as the IDE does, so both programs agree.
void TestRunHold::splitOptions()
{
    QFETCH(QString, options);
    std::vector<std::string> mine = SplitOptions(options.toStdString());
    QStringList got;
    for (const std::string &s : mine)
        got << QString::fromStdString(s);
    QCOMPARE(got, QProcess::splitCommand(options));
}

void TestRunHold::composeKeepsPathsWhole()
{
    std::vector<std::string> cmd = ComposeCommand("/opt/my perl/perl", "", "/home/u/my scripts/a b.pl");
    QCOMPARE(cmd.size(), size_t(2));
    QCOMPARE(cmd[0], std::string("/opt/my perl/perl"));
    QCOMPARE(cmd[1], std::string("/home/u/my scripts/a b.pl"));
    cmd = ComposeCommand("perl", "-w -Ilib", "s.pl");
    QCOMPARE(cmd, (std::vector<std::string>{"perl", "-w", "-Ilib", "s.pl"}));
}

void TestRunHold::contract_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("status");

    QByteArray done = "Perl script execution completed.\n";
    QTest::newRow("five arguments run the script, status 0 although it failed")
        << QStringList{QStringLiteral("Quillon+Kestrel+"), QStringLiteral("perl"), QStringLiteral("-w"), QStringLiteral("@SCRIPT@")}
        << QStringLiteral("$| = 1; print \"hello\\n\"; exit 7;") << QByteArray("hello\n" + done) << 0;
    QTest::newRow("empty option setting still runs the script")
        << QStringList{QStringLiteral("Quillon+Kestrel+"), QStringLiteral("perl"), QString(), QStringLiteral("@SCRIPT@")}
        << QStringLiteral("print \"ran\\n\";") << QByteArray("ran\n" + done) << 0;
    QTest::newRow("any marker text is accepted")
        << QStringList{QStringLiteral("anything at all"), QStringLiteral("perl"), QStringLiteral("-l"), QStringLiteral("@SCRIPT@")}
        << QStringLiteral("print 'x'") << QByteArray("x\n" + done) << 0;
    QTest::newRow("four arguments only ask for a key")
        << QStringList{QStringLiteral("Quillon+Kestrel+"), QStringLiteral("perl"), QStringLiteral("@SCRIPT@")}
        << QStringLiteral("print \"must not run\\n\";") << QByteArray("Please press a key to continue\n") << 1;
    QTest::newRow("six arguments only ask for a key")
        << QStringList{QStringLiteral("Quillon+Kestrel+"), QStringLiteral("perl"), QStringLiteral("-w"), QStringLiteral("@SCRIPT@"), QStringLiteral("x")}
        << QStringLiteral("print \"must not run\\n\";") << QByteArray("Please press a key to continue\n") << 1;
    QTest::newRow("no arguments") << QStringList{} << QString() << QByteArray("Please press a key to continue\n") << 1;
}

void TestRunHold::contract()
{
    QFETCH(QStringList, args);
    QFETCH(QString, script);
    QFETCH(QByteArray, expected);
    QFETCH(int, status);

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/run hold XXXXXX"));
    QVERIFY(dir.isValid());
    QString path = dir.filePath(QStringLiteral("my script.pl"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(script.toUtf8());
    f.close();
    args.replaceInStrings(QStringLiteral("@SCRIPT@"), path);

    QProcess p;
    p.start(RunHold(), args);
    QVERIFY(p.waitForStarted());
    // runhold waits for the user's key before it ends.
    p.write("\n");
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.readAllStandardOutput(), expected);
    QCOMPARE(p.exitCode(), status);
}

void TestRunHold::missingProgram()
{
    QProcess p;
    p.start(RunHold(), {QStringLiteral("Quillon+Kestrel+"), QStringLiteral("/nonexistent/perl"), QString(),
                        QStringLiteral("x.pl")});
    QVERIFY(p.waitForStarted());
    p.write("\n");
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.readAllStandardOutput(), QByteArray("Perl script execution completed.\n"));
    QVERIFY(p.readAllStandardError().contains("/nonexistent/perl"));
    QCOMPARE(p.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestRunHold)
#include "test_runhold.moc"
