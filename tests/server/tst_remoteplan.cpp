#include "app/Settings.h"
#include "server/RemoteProcess.h"
#include "server/RemoteRun.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// What a run on the server is made of, without a server: where the script goes, how
// the program names it, and the bootstrap that hands the environment over on standard
// input, run here by the local perl as the server's would run it.
class TestRemotePlan : public QObject
{
    Q_OBJECT

private slots:
    void whereTheScriptGoes_data();
    void whereTheScriptGoes();
    void bootstrap_data();
    void bootstrap();
    void environmentOnlyWithARequest_data();
    void environmentOnlyWithARequest();
    void commandLineThroughTheShell_data();
    void commandLineThroughTheShell();
};

void TestRemotePlan::whereTheScriptGoes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("argument");
    QTest::newRow("absolute") << "/srv/app" << "/srv/app/shop.pl" << "/srv/app/shop.pl";
    QTest::newRow("trailing slash") << "/srv/app/" << "/srv/app/shop.pl" << "/srv/app/shop.pl";
    QTest::newRow("root") << "/" << "/shop.pl" << "/shop.pl";
    // The program starts in the folder: the name alone finds the script there.
    QTest::newRow("relative to the home") << "www/cgi" << "www/cgi/shop.pl" << "shop.pl";
    QTest::newRow("none: the home") << "" << "shop.pl" << "shop.pl";
}

void TestRemotePlan::whereTheScriptGoes()
{
    QFETCH(QString, folder);
    QFETCH(QString, remote);
    QFETCH(QString, argument);
    CSettings settings;
    settings.REMOTE_DIRECTORY = folder;
    settings.REMOTE_PERL_EXE = QStringLiteral("/usr/bin/perl");
    settings.REMOTE_PERL_PRM = QStringLiteral("-w -I\"my lib\"");
    const QString local = QStringLiteral("/home/me/proj/shop.pl");
    QCOMPARE(CRemoteRun::RemotePath(settings, local), remote);
    const CRemoteProcess::Plan plan = CRemoteRun::RunPlan(settings, local, "1;\n", {}, {}, {});
    QCOMPARE(plan.strUploadPath, remote);
    QCOMPARE(plan.program, (QStringList{"/usr/bin/perl", "-w", "-Imy lib", argument}));
    QCOMPARE(plan.strDirectory, folder);
    // Messages name the script as the program was given it.
    QCOMPARE(CRemoteRun::PathMap(settings, local).ToLocal(argument), local);
}

void TestRemotePlan::bootstrap_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no variables") << QStringList() << QByteArray("rest") << QByteArray("\ncwd=work\nrest") << 4;
    QTest::newRow("values with = and line ends")
        << QStringList{"K_A=x=y", "K_B=line one\nline two", "K_C="} << QByteArray()
        << QByteArray("K_A=x=y|K_B=line one\nline two|K_C=\ncwd=work\n") << 4;
    QTest::newRow("UTF-8 and the input after the block")
        << QStringList{QString::fromUtf8("K_N=Ünïcödé")} << QByteArray("a\0b\nmore", 8)
        << QByteArray("K_N=") + QString::fromUtf8("Ünïcödé").toUtf8() + "\ncwd=work\n" + QByteArray("a\0b\nmore", 8) << 4;
    QTest::newRow("no name is no entry") << QStringList{"=nothing", "K_OK=1"} << QByteArray()
                                          << QByteArray("K_OK=1\ncwd=work\n") << 4;
}

void TestRemotePlan::bootstrap()
{
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, out);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("work")));
    const QString program = QStringLiteral(
        "use Cwd; print join(\"|\", map { \"$_=$ENV{$_}\" } sort grep { /^K_/ } keys %ENV), \"\\n\";"
        "print \"cwd=\", (Cwd::getcwd() =~ m{([^/]+)$})[0], \"\\n\"; local $/; my $in = <STDIN>;"
        "print $in if defined $in; exit 4;");
    QProcess perl;
    perl.start(QStringLiteral("perl"), {QStringLiteral("-e"), CRemoteProcess::BootstrapCode(), QStringLiteral("--"),
                                        dir.filePath(QStringLiteral("work")), QStringLiteral("perl"),
                                        QStringLiteral("-e"), program});
    QVERIFY(perl.waitForStarted());
    perl.write(CRemoteProcess::EnvironmentBlock(environment) + input);
    perl.closeWriteChannel();
    QVERIFY(perl.waitForFinished(30000));
    QByteArray got = perl.readAllStandardOutput();
    // The first line is the bootstrap's process number, which the IDE takes off.
    const qsizetype eol = got.indexOf('\n');
    QVERIFY(eol > 0);
    QVERIFY(got.left(eol).toLong() > 1);
    got.remove(0, eol + 1);
    QCOMPARE(got, out);
    QCOMPARE(perl.exitCode(), exitCode);
    QCOMPARE(perl.readAllStandardError(), QByteArray());
}

// Only a simulated request brings variables; they are the CGI variables of a local
// run, with the server's path of the script.
void TestRemotePlan::environmentOnlyWithARequest_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("expected");  // entries that must be there; empty: none at all
    QTest::newRow("plain run") << "" << QStringList();
    QTest::newRow("GET") << "GET"
                         << QStringList{"REQUEST_METHOD=GET", "QUERY_STRING=a=1&b=2",
                                        "SCRIPT_FILENAME=/srv/app/shop.pl", "MY_VAR=mine"};
    QTest::newRow("POST") << "POST" << QStringList{"REQUEST_METHOD=POST", "CONTENT_LENGTH=8", "MY_VAR=mine"};
}

void TestRemotePlan::environmentOnlyWithARequest()
{
    QFETCH(QString, method);
    QFETCH(QStringList, expected);
    CSettings settings;
    settings.REMOTE_DIRECTORY = QStringLiteral("/srv/app");
    settings.REMOTE_PERL_EXE = QStringLiteral("perl");
    const CRemoteProcess::Plan plan = CRemoteRun::RunPlan(settings, QStringLiteral("/home/me/shop.pl"), "1;\n",
                                                          QStringLiteral("a=1\nb=2\n"), method,
                                                          {{QStringLiteral("MY_VAR"), QStringLiteral("mine")}});
    if (expected.isEmpty())
        QVERIFY(plan.environment.isEmpty());
    for (const QString &entry : expected)
        QVERIFY2(plan.environment.contains(entry), qPrintable(plan.environment.join(QLatin1Char('\n'))));
    // Nothing of it is on the command line.
    auto process = std::make_shared<CRemoteProcess>(plan);
    for (const QString &entry : plan.environment)
        QVERIFY(!process->CommandLine().contains(entry));
}

// The server's shell reads the command line: every argument reaches the program as it
// was, options as options.
void TestRemotePlan::commandLineThroughTheShell_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << QStringList{"a", "b.pl"};
    QTest::newRow("options") << QStringList{"-w", "-", "--"};
    QTest::newRow("blanks and quotes") << QStringList{"my script.pl", "it's", "\"q\""};
    QTest::newRow("what the shell would expand") << QStringList{"$HOME", "*.pl", "a;b", "`x`", "~"};
    QTest::newRow("empty") << QStringList{"", "x"};
}

void TestRemotePlan::commandLineThroughTheShell()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    CRemoteProcess::Plan plan;
    plan.strPerl = QStringLiteral("perl");
    plan.strDirectory = dir.path();
    plan.program = QStringList{QStringLiteral("perl"), QStringLiteral("-e"),
                               QStringLiteral("print join(qq(\\n), @ARGV)"), QStringLiteral("--")}
                   + arguments;
    auto process = std::make_shared<CRemoteProcess>(plan);
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), process->CommandLine()});
    QVERIFY(sh.waitForStarted());
    sh.write(CRemoteProcess::EnvironmentBlock({}));
    sh.closeWriteChannel();
    QVERIFY(sh.waitForFinished(30000));
    QByteArray got = sh.readAllStandardOutput();
    got.remove(0, got.indexOf('\n') + 1);
    QCOMPARE(QString::fromUtf8(got), arguments.join(QLatin1Char('\n')));
}

QTEST_GUILESS_MAIN(TestRemotePlan)
#include "tst_remoteplan.moc"
