// The shipped function catalogue against the perl on this machine: every name a real
// built-in, none missing, every template compiling (tests/editor/check_fnl.pl says how
// the list of built-ins is taken from perl itself). Also: the catalogue reader keeps
// every line of it, and the build puts it beside the program.
#include "editor/FunctionCatalogue.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kCatalogue = QStringLiteral(KESTREL_SOURCE_DIR "/res/KESTREL.FNL");
const QString kChecker = QStringLiteral(KESTREL_SOURCE_DIR "/tests/editor/check_fnl.pl");

struct CheckResult
{
    int nExitCode = -1;
    QString strOutput;
};

CheckResult RunChecker(const QString &path)
{
    QProcess perl;
    perl.setProcessChannelMode(QProcess::MergedChannels);
    perl.start(QStringLiteral("perl"), {kChecker, path});
    CheckResult r;
    if (!perl.waitForFinished(120000))
        return r;
    r.nExitCode = perl.exitStatus() == QProcess::NormalExit ? perl.exitCode() : -1;
    r.strOutput = QString::fromUtf8(perl.readAll());
    return r;
}

} // namespace

class TestKestrelFnl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesRunningPerl();
    void checkerFindsFaults_data();
    void checkerFindsFaults();
    void everyLineIsARow();
    void installedBesideProgram();
};

void TestKestrelFnl::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("perl")).isEmpty())
        QFAIL("perl is needed to check the catalogue");
}

void TestKestrelFnl::matchesRunningPerl()
{
    const CheckResult r = RunChecker(kCatalogue);
    QVERIFY2(r.nExitCode == 0, qPrintable(r.strOutput));
    QCOMPARE(r.strOutput, QString());
}

void TestKestrelFnl::checkerFindsFaults_data()
{
    QFile f(kCatalogue);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    QTest::addColumn<QByteArray>("catalogue");
    QTest::addColumn<QString>("fault");
    QTest::newRow("a name that is no built-in")
        << good + "frobnicate,Not a function,frobnicate($x);\n" << QStringLiteral("frobnicate is not a Perl built-in");
    QTest::newRow("a keyword that is not a function") << good + "if,Condition,if ($x) { }\n"
                                                      << QStringLiteral("if is not a Perl built-in");
    QTest::newRow("a built-in left out") << QByteArray(good).replace("\nsqrt,", "\nxsqrt,")
                                         << QStringLiteral("missing built-in: sqrt");
    QTest::newRow("a template that does not compile")
        << QByteArray(good).replace("my $root = sqrt($number);", "my $root = sqrt($number;")
        << QStringLiteral("template of sqrt does not compile");
    QTest::newRow("a line without template") << good + "abs,Absolute value\n"
                                             << QStringLiteral("not in the form name,description,template");
}

void TestKestrelFnl::checkerFindsFaults()
{
    QFETCH(QByteArray, catalogue);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESTREL.FNL"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(catalogue);
    f.close();
    const CheckResult r = RunChecker(path);
    QCOMPARE(r.nExitCode, 1);
    QVERIFY2(r.strOutput.contains(fault), qPrintable(r.strOutput));
}

void TestKestrelFnl::everyLineIsARow()
{
    QFile f(kCatalogue);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QVector<CFunctionEntry> rows;
    QVERIFY(CFunctionCatalogue::Read(kCatalogue, rows));
    QCOMPARE(rows.size(), lines.size() - 1); // the file ends in a line end
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].baName + ',' + rows[i].baDescription + ',' + rows[i].baTemplate, lines[i]);
        QVERIFY2(!rows[i].baDescription.isEmpty(), lines[i].constData());
    }
}

void TestKestrelFnl::installedBesideProgram()
{
    QVERIFY(QFile::exists(QStringLiteral(KESTREL_BIN_DIR "/KESTREL.FNL")));
}

QTEST_APPLESS_MAIN(TestKestrelFnl)
#include "tst_kestrel_fnl.moc"
