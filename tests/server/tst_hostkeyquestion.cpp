#include "server/HostKeyQuestion.h"

#include "SshTestServer.h"

#include <QMessageAuthenticationCode>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The host key texts and the known_hosts lookup that SFTP and the SSH shell share.
class TestHostKeyQuestion : public QObject
{
    Q_OBJECT

private slots:
    void fingerprintAsSshKeygen_data();
    void fingerprintAsSshKeygen();
    void keyTypeOfBrokenBlob_data();
    void keyTypeOfBrokenBlob();
    void knownHostsName();
    void findHostLine_data();
    void findHostLine();
    void knownHostsLineIsFoundAgain();
    void questionTexts();
    void fixtureServerShowsItsKey();
};

void TestHostKeyQuestion::fingerprintAsSshKeygen_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QString>("label");
    QTest::newRow("ed25519") << "ed25519" << "" << "ED25519";
    QTest::newRow("rsa") << "rsa" << "2048" << "RSA";
    QTest::newRow("ecdsa") << "ecdsa" << "256" << "ECDSA";
}

// The fingerprint of a key is what `ssh-keygen -l -E sha256` prints for it, so that a user
// can compare it with what the server's administrator reads out.
void TestHostKeyQuestion::fingerprintAsSshKeygen()
{
    QFETCH(QString, type);
    QFETCH(QString, bits);
    QFETCH(QString, label);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString key = dir.filePath(QStringLiteral("key"));
    QStringList args = {QStringLiteral("-q"), QStringLiteral("-t"), type, QStringLiteral("-N"), QString(),
                        QStringLiteral("-f"), key};
    if (!bits.isEmpty())
        args << QStringLiteral("-b") << bits;
    QCOMPARE(QProcess::execute(QStringLiteral("ssh-keygen"), args), 0);

    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-l"), QStringLiteral("-E"), QStringLiteral("sha256"), QStringLiteral("-f"),
                  key + QStringLiteral(".pub")});
    QVERIFY(keygen.waitForFinished(10000));
    // "256 SHA256:... comment (ED25519)"
    const QList<QByteArray> printed = keygen.readAllStandardOutput().trimmed().split(' ');
    QVERIFY(printed.size() >= 3);

    QFile pub(key + QStringLiteral(".pub"));
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QList<QByteArray> fields = pub.readAll().split(' ');
    const QByteArray blob = QByteArray::fromBase64(fields.at(1));
    QCOMPARE(CHostKeyQuestion::Fingerprint(blob), QString::fromLatin1(printed.at(1)));
    QCOMPARE(CHostKeyQuestion::KeyTypeOfBlob(blob), QString::fromLatin1(fields.at(0)));
    QCOMPARE(QStringLiteral("(%1)").arg(CHostKeyQuestion::KeyTypeLabel(CHostKeyQuestion::KeyTypeOfBlob(blob))),
             QString::fromLatin1(printed.last()));
}

void TestHostKeyQuestion::keyTypeOfBrokenBlob_data()
{
    QTest::addColumn<QByteArray>("blob");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short length") << QByteArray("\0\0\0", 3);
    QTest::newRow("length past the end") << QByteArray("\0\0\0\x20ssh-rsa", 11);
    QTest::newRow("huge length") << QByteArray("\xff\xff\xff\xffssh-rsa", 11);
    QTest::newRow("control bytes") << QByteArray("\0\0\0\x03s\nh", 7);
}

void TestHostKeyQuestion::keyTypeOfBrokenBlob()
{
    QFETCH(QByteArray, blob);
    QCOMPARE(CHostKeyQuestion::KeyTypeOfBlob(blob), QString());
    QVERIFY(CHostKeyQuestion::Fingerprint(blob).startsWith(QLatin1String("SHA256:")));
}

void TestHostKeyQuestion::knownHostsName()
{
    QCOMPARE(CHostKeyQuestion::KnownHostsName(QStringLiteral("host.example"), 22), QStringLiteral("host.example"));
    QCOMPARE(CHostKeyQuestion::KnownHostsName(QStringLiteral("127.0.0.1"), 2222), QStringLiteral("[127.0.0.1]:2222"));
}

static QByteArray HashedName(const QByteArray &name)
{
    const QByteArray salt("0123456789abcdefghij");
    return "|1|" + salt.toBase64() + '|'
           + QMessageAuthenticationCode::hash(name, salt, QCryptographicHash::Sha1).toBase64();
}

void TestHostKeyQuestion::findHostLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("line");

    const QByteArray key = " ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIAcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf\n";
    const QByteArray rsa = " ssh-rsa AAAAB3NzaC1yc2E=\n";
    QTest::newRow("plain on port 22") << ("other" + key + "# host.example\nhost.example" + key)
                                      << "host.example" << 22 << "" << 3;
    QTest::newRow("case of the name") << ("Host.Example" + key) << "host.example" << 22 << "" << 1;
    QTest::newRow("port in brackets") << ("127.0.0.1" + key + "[127.0.0.1]:2222" + key) << "127.0.0.1" << 2222
                                      << "" << 2;
    QTest::newRow("bare name is port 22 only") << ("127.0.0.1" + key) << "127.0.0.1" << 2222 << "" << 0;
    QTest::newRow("comma list") << ("a.example,host.example,10.0.0.1" + key) << "10.0.0.1" << 22 << "" << 1;
    QTest::newRow("hashed") << (HashedName("other") + key + HashedName("[127.0.0.1]:2222") + key) << "127.0.0.1"
                            << 2222 << "" << 2;
    QTest::newRow("wildcard") << ("*.example" + key) << "host.example" << 22 << "" << 1;
    QTest::newRow("question mark") << ("host?.example" + key) << "host1.example" << 22 << "" << 1;
    QTest::newRow("negated") << ("*.example,!host.example" + key + "host.example" + key) << "host.example" << 22
                             << "" << 2;
    QTest::newRow("revoked skipped") << ("@revoked host.example" + key + "host.example" + key) << "host.example"
                                     << 22 << "" << 2;
    QTest::newRow("of the key type") << ("host.example" + rsa + "host.example" + key) << "host.example" << 22
                                     << "ssh-ed25519" << 2;
    QTest::newRow("blank lines and CR LF") << ("\n\r\n   \nhost.example" + key.chopped(1) + "\r\n") << "host.example"
                                           << 22 << "" << 4;
    QTest::newRow("missing key field") << QByteArray("host.example ssh-ed25519\n") << "host.example" << 22 << ""
                                       << 0;
    QTest::newRow("bad hash") << QByteArray("|1|!!|??" + key) << "host.example" << 22 << "" << 0;
}

void TestHostKeyQuestion::findHostLine()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, type);
    QFETCH(int, line);
    QCOMPARE(CHostKeyQuestion::FindHostLine(text, host, port, type), line);
}

void TestHostKeyQuestion::knownHostsLineIsFoundAgain()
{
    const QByteArray blob = QByteArray::fromBase64("AAAAC3NzaC1lZDI1NTE5AAAAIAcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf");
    const QByteArray line = CHostKeyQuestion::KnownHostsLine(QStringLiteral("127.0.0.1"), 2200,
                                                            QStringLiteral("ssh-ed25519"), blob);
    QCOMPARE(line, QByteArray("[127.0.0.1]:2200 ssh-ed25519 "
                              "AAAAC3NzaC1lZDI1NTE5AAAAIAcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf\n"));
    QCOMPARE(CHostKeyQuestion::FindHostLine("# first\n" + line, QStringLiteral("127.0.0.1"), 2200), 2);
}

// Both texts name everything the user needs to decide, or to mend known_hosts.
void TestHostKeyQuestion::questionTexts()
{
    const QString fp = QStringLiteral("SHA256:grvAvvUrSkdq8/7+uK9v1ohaL1YJwW7Yj/AvIxi97S4");
    const QString unknown = CHostKeyQuestion::UnknownHostText(QStringLiteral("host.example"), 2222,
                                                              QStringLiteral("ssh-ed25519"), fp,
                                                              QStringLiteral("/home/u/.ssh/known_hosts"));
    for (const QString &part : {QStringLiteral("host.example"), QStringLiteral("2222"), QStringLiteral("ED25519"), fp,
                                QStringLiteral("/home/u/.ssh/known_hosts"), QStringLiteral("not known")})
        QVERIFY2(unknown.contains(part), qPrintable(part));

    const QString changed = CHostKeyQuestion::ChangedKeyText(QStringLiteral("host.example"), 2222,
                                                             QStringLiteral("ssh-rsa"), fp,
                                                             QStringLiteral("/home/u/.ssh/known_hosts"), 7);
    for (const QString &part : {QStringLiteral("host.example"), QStringLiteral("2222"), QStringLiteral("RSA"), fp,
                                QStringLiteral("/home/u/.ssh/known_hosts, line 7"), QStringLiteral("changed"),
                                QStringLiteral("refused")})
        QVERIFY2(changed.contains(part), qPrintable(part));
    QVERIFY(!CHostKeyQuestion::ChangedKeyText(QStringLiteral("h"), 22, QStringLiteral("ssh-rsa"), fp,
                                              QStringLiteral("/k"), 0)
                 .contains(QLatin1String("line")));
}

// The sshd fixture serves the key it reports, and `ssh` logs in with the reported key
// while trusting only the reported known_hosts line.
void TestHostKeyQuestion::fixtureServerShowsItsKey()
{
    if (::geteuid() != 0)
        QSKIP("sshd runs as root only");
    CSshTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir dir;
    const QString knownHosts = dir.filePath(QStringLiteral("known_hosts"));
    QFile kh(knownHosts);
    QVERIFY(kh.open(QIODevice::WriteOnly));
    kh.write(server.KnownHostsLine());
    kh.close();
    QProcess ssh;
    ssh.start(QStringLiteral("ssh"), {QStringLiteral("-o"), QStringLiteral("BatchMode=yes"), QStringLiteral("-o"),
                                      QStringLiteral("IdentitiesOnly=yes"), QStringLiteral("-o"),
                                      QStringLiteral("UserKnownHostsFile=") + knownHosts, QStringLiteral("-o"),
                                      QStringLiteral("StrictHostKeyChecking=yes"), QStringLiteral("-i"),
                                      server.KeyFile(), QStringLiteral("-p"), QString::number(server.Port()),
                                      server.User() + QStringLiteral("@127.0.0.1"), QStringLiteral("pwd")});
    QVERIFY(ssh.waitForFinished(30000));
    QCOMPARE(ssh.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(ssh.readAllStandardOutput().trimmed()), server.Fact("HOME"));
}

QTEST_GUILESS_MAIN(TestHostKeyQuestion)
#include "tst_hostkeyquestion.moc"
