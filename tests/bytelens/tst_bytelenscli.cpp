#include "ReferenceListing.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

const QString kBytelens = QStringLiteral(KESTREL_BIN_DIR "/bytelens");

struct CRun
{
    int nExitCode = -1;
    QByteArray baOut;
    QByteArray baErr;
};

CRun Run(const QStringList &args, const QByteArray &input = QByteArray())
{
    QProcess p;
    p.start(kBytelens, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return CRun{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, p.readAllStandardOutput(),
                p.readAllStandardError()};
}

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

} // namespace

class TestBytelensCli : public QObject
{
    Q_OBJECT

private slots:
    void dumpIsTheListing_data();
    void dumpIsTheListing();
    void dumpOfCompiledClass();
    void dumpOfStandardInput();
    void failures_data();
    void failures();
    void usage_data();
    void usage();

private:
    QTemporaryDir m_dir;
};

void TestBytelensCli::dumpIsTheListing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    for (int size : {0, 1, 15, 16, 17, 20})
        QTest::addRow("%d bytes", size) << QStringLiteral("f%1.bin").arg(size) << PatternBytes(size);
    QTest::newRow("all 256 byte values, 128..255 as themselves") << QStringLiteral("all.bin") << AllByteValues();
    QTest::newRow("name with blanks and #") << QStringLiteral("a name #1.class") << QByteArray("\xCA\xFE\xBA\xBE");
    QTest::newRow("several blocks, seven-digit offsets") << QStringLiteral("big.bin") << PatternBytes(2500003);
}

void TestBytelensCli::dumpIsTheListing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const CRun run = Run({QStringLiteral("--dump"), WriteFile(m_dir, name, bytes)});
    QCOMPARE(run.baErr, QByteArray());
    QCOMPARE(run.nExitCode, 0);
    QCOMPARE(run.baOut, ReferenceListing(bytes));
}

void TestBytelensCli::dumpOfCompiledClass()
{
    const QString javac = QStandardPaths::findExecutable(QStringLiteral("javac"));
    QVERIFY2(!javac.isEmpty(), "javac is needed (default-jdk-headless, tools/install-deps)");
    WriteFile(m_dir, QStringLiteral("Hello.java"),
              "public class Hello { public static void main(String[] a) { System.out.println(\"hi\"); } }\n");
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.start(javac, {QStringLiteral("Hello.java")});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 0);

    QFile cls(m_dir.filePath(QStringLiteral("Hello.class")));
    QVERIFY(cls.open(QIODevice::ReadOnly));
    const QByteArray bytes = cls.readAll();
    const CRun run = Run({QStringLiteral("--dump"), cls.fileName()});
    QCOMPARE(run.nExitCode, 0);
    QVERIFY(run.baOut.startsWith("000000  CA FE BA BE "));
    QCOMPARE(run.baOut, ReferenceListing(bytes));
}

void TestBytelensCli::dumpOfStandardInput()
{
    const QByteArray bytes = PatternBytes(100000);
    const CRun run = Run({QStringLiteral("--dump"), QStringLiteral("/dev/stdin")}, bytes);
    QCOMPARE(run.nExitCode, 0);
    QCOMPARE(run.baOut, ReferenceListing(bytes));
}

void TestBytelensCli::failures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing file.class"))
                                  << QStringLiteral("No such file or directory");
    QTest::newRow("a directory") << m_dir.path() << QStringLiteral("directory");
    QTest::newRow("opens but can't be read") << QStringLiteral("/proc/self/mem") << QStringLiteral("Cannot read");
    if (geteuid() != 0) {
        const QString locked = WriteFile(m_dir, QStringLiteral("locked.class"), "x");
        QFile::setPermissions(locked, QFileDevice::Permissions());
        QTest::newRow("no permission") << locked << QStringLiteral("Permission denied");
    }
}

void TestBytelensCli::failures()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const CRun run = Run({QStringLiteral("--dump"), path});
    QCOMPARE(run.nExitCode, 1);
    QCOMPARE(run.baOut, QByteArray());
    const QString err = QString::fromLocal8Bit(run.baErr);
    QVERIFY2(err.startsWith(QStringLiteral("bytelens: ")), qPrintable(err));
    QVERIFY2(err.contains(path), qPrintable(err));
    QVERIFY2(err.contains(reason), qPrintable(err));
}

void TestBytelensCli::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("--dump without a file") << QStringList{QStringLiteral("--dump")} << 2;
    QTest::newRow("--dump with two files") << QStringList{QStringLiteral("--dump"), QStringLiteral("a"), QStringLiteral("b")} << 2;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")} << 2;
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0;
}

void TestBytelensCli::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    const CRun run = Run(args);
    QCOMPARE(run.nExitCode, exitCode);
    QVERIFY((exitCode == 0 ? run.baOut : run.baErr).contains("Usage: bytelens"));
}

QTEST_GUILESS_MAIN(TestBytelensCli)
#include "tst_bytelenscli.moc"
