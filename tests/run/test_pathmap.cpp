#include "run/PathMap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The one place where the paths a program on a server names meet the local files.
class TestPathMap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void toLocal_data();
    void toLocal();
    void toRemote_data();
    void toRemote();

private:
    CPathMap Map() const;
    QTemporaryDir m_dir;
};

void TestPathMap::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QDir().mkpath(m_dir.filePath(QStringLiteral("proj/lib")));
    for (const char *name : {"proj/shop.pl", "proj/lib/Cart.pm"}) {
        QFile f(m_dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
}

CPathMap TestPathMap::Map() const
{
    CPathMap map;
    map.AddFile(QStringLiteral("/srv/app/shop.pl"), m_dir.filePath(QStringLiteral("proj/shop.pl")));
    map.AddFolder(QStringLiteral("/srv/app/"), m_dir.filePath(QStringLiteral("proj")));
    return map;
}

void TestPathMap::toLocal_data()
{
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("local");  // relative to the test folder; empty: unchanged
    QTest::newRow("the script") << "/srv/app/shop.pl" << "proj/shop.pl";
    QTest::newRow("the script, named untidily") << "/srv/app//./shop.pl" << "proj/shop.pl";
    QTest::newRow("a module on both sides") << "/srv/app/lib/Cart.pm" << "proj/lib/Cart.pm";
    QTest::newRow("a module only the server has") << "/srv/app/lib/Tax.pm" << "";
    QTest::newRow("a folder whose name starts alike") << "/srv/application/shop.pl" << "";
    QTest::newRow("the system's module") << "/usr/share/perl/5.36/strict.pm" << "";
}

void TestPathMap::toLocal()
{
    QFETCH(QString, remote);
    QFETCH(QString, local);
    QCOMPARE(Map().ToLocal(remote), local.isEmpty() ? remote : m_dir.filePath(local));
}

void TestPathMap::toRemote_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("remote");  // empty: unchanged
    QTest::newRow("the script") << "proj/shop.pl" << "/srv/app/shop.pl";
    QTest::newRow("a module") << "proj/lib/Cart.pm" << "/srv/app/lib/Cart.pm";
    QTest::newRow("outside the folder") << "other/x.pl" << "";
}

void TestPathMap::toRemote()
{
    QFETCH(QString, local);
    QFETCH(QString, remote);
    const QString path = m_dir.filePath(local);
    QCOMPARE(Map().ToRemote(path), remote.isEmpty() ? path : remote);
}

QTEST_GUILESS_MAIN(TestPathMap)
#include "test_pathmap.moc"
