#include "framework/FontDialogStyle.h"
#include "framework/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool Run(const QString &program, const QStringList &args)
{
    return QProcess::execute(program, args) == 0;
}

} // namespace

class TestSafeSave : public QObject
{
    Q_OBJECT

private slots:
    void writesWholeFileWithPermissions();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void fontDialogOpensOnStyleInUse();
};

void TestSafeSave::writesWholeFileWithPermissions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.cfg"));
    QVERIFY(SafeSave(path, "old", nullptr));
    QString error;
    QVERIFY(SafeSave(path, QByteArray(100000, 'x'), &error, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(ReadFile(path), QByteArray(100000, 'x'));
    QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

void TestSafeSave::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<bool>("bFull");
    QTest::newRow("full disk") << true;
    QTest::newRow("read-only disk") << false;
}

// A disk that refuses the write, as a full tmpfs or one mounted read-only does: the old
// file stays as it was, no temporary file is left, and the reason is given.
void TestSafeSave::failedWriteKeepsOldFile()
{
    QFETCH(bool, bFull);
    if (::geteuid() != 0)
        QSKIP("a disk of the test's own (tmpfs) needs root to mount");
    QTemporaryDir dir;
    const QString mount = dir.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(mount));
    QVERIFY(Run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                           QStringLiteral("size=128k"), QStringLiteral("tmpfs"), mount}));
    const QString path = QDir(mount).filePath(QStringLiteral("script.pl"));
    QVERIFY(SafeSave(path, "print 1;\n", nullptr));
    if (bFull) {
        QFile filler(QDir(mount).filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, '\0');
        while (filler.write(block) == block.size()) {
        }
    } else {
        QVERIFY(Run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), mount}));
    }
    const QStringList before = QDir(mount).entryList(QDir::Files | QDir::Hidden);
    QString error;
    const bool saved = SafeSave(path, "print 2;\n", &error);
    const QByteArray kept = ReadFile(path);
    const QStringList after = QDir(mount).entryList(QDir::Files | QDir::Hidden);
    Run(QStringLiteral("umount"), {mount});
    QVERIFY(!saved);
    QVERIFY(!error.isEmpty());
    QCOMPARE(kept, QByteArray("print 1;\n"));
    QCOMPARE(after, before);
}

// The dialog picks its style by name; DejaVu calls its upright style "Book", and without
// the name the dialog took the face's first style, an oblique one.
void TestSafeSave::fontDialogOpensOnStyleInUse()
{
    QVERIFY2(QFontDatabase::families().contains(QStringLiteral("DejaVu Sans Mono")),
             "DejaVu Sans Mono is needed (fonts-dejavu-core, tools/install-deps)");
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(10);
    QFontDialog dlg(FontForDialog(font));
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    QVERIFY(!dlg.currentFont().italic());
    QCOMPARE(dlg.currentFont().weight(), QFont::Normal);
}

QTEST_MAIN(TestSafeSave)
#include "tst_safesave.moc"
