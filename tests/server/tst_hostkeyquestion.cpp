#include "server/HostKeyQuestion.h"
#include "server/KnownHostsFile.h"

#include "SshTestServer.h"

#include <QMessageAuthenticationCode>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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
    void check_data();
    void check();
    void knownHostsLineIsFoundAgain_data();
    void knownHostsLineIsFoundAgain();
    void hashesHostNamesAsSshSays_data();
    void hashesHostNamesAsSshSays();
    void appendKeepsTheFile_data();
    void appendKeepsTheFile();
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

void TestHostKeyQuestion::check_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("line");

    // The server's key, another key of its type, and a key of another type.
    const QByteArray key = " ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIAcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf\n";
    const QByteArray other = " ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIBcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf\n";
    const QByteArray rsa = " ssh-rsa AAAAB3NzaC1yc2EAAAADAQABAAAAgQC7\n";
    const int unknown = CHostKeyQuestion::Verdict::Unknown, known = CHostKeyQuestion::Verdict::Known,
              changed = CHostKeyQuestion::Verdict::Changed, revoked = CHostKeyQuestion::Verdict::Revoked;
    QTest::newRow("known") << ("# mine\nhost.example" + key) << "host.example" << 22 << known << 2;
    QTest::newRow("known, hashed with port") << (HashedName("[127.0.0.1]:2222") + key) << "127.0.0.1" << 2222 << known
                                             << 1;
    QTest::newRow("changed") << ("host.example" + other) << "host.example" << 22 << changed << 1;
    QTest::newRow("a line with the key wins over a changed one")
        << ("host.example" + other + "host.example" + key) << "host.example" << 22 << known << 2;
    QTest::newRow("another type is no change") << ("host.example" + rsa) << "host.example" << 22 << unknown << 0;
    QTest::newRow("other host") << ("other.example" + other) << "host.example" << 22 << unknown << 0;
    QTest::newRow("revoked after the plain line") << ("host.example" + key + "@revoked host.example" + key)
                                                  << "host.example" << 22 << revoked << 2;
    QTest::newRow("revoked before the plain line") << ("@revoked *" + key + "host.example" + key) << "host.example"
                                                   << 22 << revoked << 1;
    QTest::newRow("revoked alone") << ("@revoked [127.0.0.1]:2222" + key) << "127.0.0.1" << 2222 << revoked << 1;
    QTest::newRow("revoked for another host") << ("@revoked other.example" + key + "host.example" + key)
                                              << "host.example" << 22 << known << 2;
    QTest::newRow("another key revoked") << ("@revoked *" + other + "host.example" + key) << "host.example" << 22
                                         << known << 2;
    QTest::newRow("cert authority is no host key") << ("@cert-authority *.example" + key) << "host.example" << 22
                                                   << unknown << 0;
    QTest::newRow("cert authority is no changed key") << ("@cert-authority *.example" + other + "host.example" + key)
                                                      << "host.example" << 22 << known << 2;
    QTest::newRow("unknown marker skipped") << ("@later host.example" + key) << "host.example" << 22 << unknown << 0;
    QTest::newRow("short revoked line") << QByteArray("@revoked host.example ssh-ed25519\n") << "host.example" << 22
                                        << unknown << 0;
    QTest::newRow("key field not base64") << QByteArray("host.example ssh-ed25519 !!!\n") << "host.example" << 22
                                          << unknown << 0;
}

// The verdict OpenSSH comes to on the key the server shows.
void TestHostKeyQuestion::check()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, state);
    QFETCH(int, line);
    const QByteArray blob = QByteArray::fromBase64("AAAAC3NzaC1lZDI1NTE5AAAAIAcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf");
    const CHostKeyQuestion::Verdict verdict = CHostKeyQuestion::Check(text, host, port, blob);
    QCOMPARE(int(verdict.state), state);
    QCOMPARE(verdict.nLine, line);
}

void TestHostKeyQuestion::knownHostsLineIsFoundAgain_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("hashed");
    QTest::addColumn<QString>("plain");
    QTest::newRow("plain, port 22") << 22 << false << "127.0.0.1";
    QTest::newRow("plain, other port") << 2200 << false << "[127.0.0.1]:2200";
    QTest::newRow("hashed, port 22") << 22 << true << "";
    QTest::newRow("hashed, other port") << 2200 << true << "";
}

// The line written for a host is found again by us and by OpenSSH's ssh-keygen -F, which
// looks it up as ssh does ("[host]:port" off port 22, hashed or not).
void TestHostKeyQuestion::knownHostsLineIsFoundAgain()
{
    QFETCH(int, port);
    QFETCH(bool, hashed);
    QFETCH(QString, plain);
    const QByteArray base64 = "AAAAC3NzaC1lZDI1NTE5AAAAIAcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf";
    const QByteArray line = CHostKeyQuestion::KnownHostsLine(QStringLiteral("127.0.0.1"), port,
                                                            QStringLiteral("ssh-ed25519"),
                                                            QByteArray::fromBase64(base64), hashed);
    QVERIFY2(line.endsWith(" ssh-ed25519 " + base64 + '\n'), line.constData());
    if (hashed) {
        // "|1|" base64 of a 20-byte salt "|" base64 of the 20-byte HMAC-SHA1.
        const QList<QByteArray> parts = line.left(line.indexOf(' ')).split('|');
        QCOMPARE(parts.size(), 4);
        QCOMPARE(parts[1], QByteArray("1"));
        QCOMPARE(QByteArray::fromBase64(parts[2]).size(), 20);
        QCOMPARE(QByteArray::fromBase64(parts[3]).size(), 20);
        // A fresh salt each time: two lines for one host give nothing away.
        QVERIFY(line != CHostKeyQuestion::KnownHostsLine(QStringLiteral("127.0.0.1"), port, QStringLiteral("ssh-ed25519"),
                                                          QByteArray::fromBase64(base64), hashed));
    } else {
        QCOMPARE(line, plain.toUtf8() + " ssh-ed25519 " + base64 + '\n');
    }
    QCOMPARE(CHostKeyQuestion::FindHostLine("# first\n" + line, QStringLiteral("127.0.0.1"), port), 2);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("known_hosts"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("# first\n" + line);
    f.close();
    const QString name = CHostKeyQuestion::KnownHostsName(QStringLiteral("127.0.0.1"), port);
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-F"), name, QStringLiteral("-f"), file});
    QVERIFY(keygen.waitForFinished(10000));
    const QByteArray out = keygen.readAllStandardOutput();
    QCOMPARE(keygen.exitCode(), 0);
    QVERIFY2(out.contains("found: line 2") && out.contains(base64), out.constData());
}

void TestHostKeyQuestion::hashesHostNamesAsSshSays_data()
{
    QTest::addColumn<QString>("script"); // stands in for ssh; empty: no such program
    QTest::addColumn<bool>("hashes");
    QTest::newRow("hashknownhosts no") << "echo 'user kestrel'; echo 'hashknownhosts no'; echo 'port 22'" << false;
    QTest::newRow("hashknownhosts yes") << "echo 'hashknownhosts yes'" << true;
    QTest::newRow("not said") << "echo 'port 22'" << true;
    QTest::newRow("ssh fails") << "echo 'hashknownhosts no'; exit 255" << true;
    QTest::newRow("no ssh") << "" << true;
}

// Whether new lines are hashed follows `ssh -G`; when ssh cannot tell, they are.
void TestHostKeyQuestion::hashesHostNamesAsSshSays()
{
    QFETCH(QString, script);
    QFETCH(bool, hashes);
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("ssh"));
    const QString argsFile = dir.filePath(QStringLiteral("args"));
    if (!script.isEmpty()) {
        QFile f(program);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argsFile + "'\n" + script + "\n").toUtf8());
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    // A host name with a blank and a quote reaches ssh as one argument, after "--".
    const QString host = QStringLiteral("odd 'host'.example");
    QCOMPARE(CKnownHostsFile::HashesHostNames(host, 2222, program), hashes);
    if (!script.isEmpty()) {
        QFile args(argsFile);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()), QStringLiteral("-G\n-p\n2222\n--\n") + host + QLatin1Char('\n'));
    }
}

void TestHostKeyQuestion::appendKeepsTheFile_data()
{
    QTest::addColumn<QByteArray>("before"); // "<none>": no file, no folder
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("new folder and file") << QByteArray("<none>") << QByteArray("new line\n");
    QTest::newRow("lines kept") << QByteArray("a\nb\n") << QByteArray("a\nb\nnew line\n");
    QTest::newRow("last line without its end") << QByteArray("a\nb") << QByteArray("a\nb\nnew line\n");
    QTest::newRow("empty file") << QByteArray("") << QByteArray("new line\n");
}

// The line is added at the end, the user's lines stay; what is made is the user's only.
void TestHostKeyQuestion::appendKeepsTheFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString ssh = dir.filePath(QStringLiteral(".ssh"));
    const QString file = ssh + QStringLiteral("/known_hosts");
    const bool bNew = before == "<none>";
    if (!bNew) {
        QVERIFY(QDir().mkpath(ssh));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    QString error;
    QVERIFY2(CKnownHostsFile::Append(file, "new line\n", error), qPrintable(error));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), after);
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
    // A file the user had keeps its mode.
    QCOMPARE(int(st.st_mode & 0777), bNew ? 0600 : 0644);
    QCOMPARE(::stat(QFile::encodeName(ssh).constData(), &st), 0);
    if (bNew)
        QCOMPARE(int(st.st_mode & 0777), 0700);

    // A line that cannot be written is said, with the reason.
    const QString blocker = dir.filePath(QStringLiteral("a-file"));
    QFile b(blocker);
    QVERIFY(b.open(QIODevice::WriteOnly));
    b.close();
    error.clear();
    QVERIFY(!CKnownHostsFile::Append(blocker + QStringLiteral("/known_hosts"), "x\n", error));
    QVERIFY2(error.contains(QLatin1String("Not a directory")), qPrintable(error));
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
    const QString revoked = CHostKeyQuestion::RevokedKeyText(QStringLiteral("host.example"), 2222,
                                                             QStringLiteral("ssh-ed25519"), fp,
                                                             QStringLiteral("/home/u/.ssh/known_hosts"), 3);
    for (const QString &part : {QStringLiteral("host.example"), QStringLiteral("2222"), QStringLiteral("ED25519"), fp,
                                QStringLiteral("/home/u/.ssh/known_hosts, line 3"), QStringLiteral("revoked"),
                                QStringLiteral("refused")})
        QVERIFY2(revoked.contains(part), qPrintable(part));
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
    QByteArray out;
    QVERIFY2(server.OpenSshLogsIn(knownHosts, &out), out.constData());
    QCOMPARE(QString::fromUtf8(out.trimmed()), server.Fact("HOME"));
}

QTEST_GUILESS_MAIN(TestHostKeyQuestion)
#include "tst_hostkeyquestion.moc"
