#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

// The arrows between folders run one way: the debugger, Run in Browser and the server
// code use run/'s process and output window, and run/ includes none of them, so that
// each can change, or a new kind of process can come, without run/ changing.
class TestLayering : public QObject
{
    Q_OBJECT

private slots:
    void noIncludeAgainstTheArrow_data();
    void noIncludeAgainstTheArrow();
};

void TestLayering::noIncludeAgainstTheArrow_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("forbidden");
    QTest::newRow("run knows nothing of debug") << "run" << "debug";
    QTest::newRow("run knows nothing of web") << "run" << "web";
    QTest::newRow("run knows nothing of server") << "run" << "server";
}

void TestLayering::noIncludeAgainstTheArrow()
{
    QFETCH(QString, folder);
    QFETCH(QString, forbidden);
    const QDir dir(QStringLiteral(KESTREL_SOURCE_DIR "/") + folder);
    QVERIFY(dir.exists());
    const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*[\"<]") + forbidden + QStringLiteral("/"),
                                     QRegularExpression::MultilineOption);
    QStringList offenders;
    int nFiles = 0;
    QDirIterator it(dir.path(), {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        ++nFiles;
        if (include.match(QString::fromUtf8(f.readAll())).hasMatch())
            offenders << QFileInfo(f).fileName();
    }
    QVERIFY(nFiles > 0);
    QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QStringLiteral(", "))));
}

QTEST_GUILESS_MAIN(TestLayering)
#include "test_layering.moc"
