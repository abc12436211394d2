#include "server/FtpConnection.h"
#include "server/FtpTransfer.h"
#include "server/HostKeyQuestion.h"
#include "server/TlsTrust.h"

#include "FtpTestServer.h"
#include "SshTestServer.h"
#include "TestQuestions.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

// File transfers over SFTP and FTPS against real servers on 127.0.0.1: OpenSSH's sshd
// (as root only) and pyftpdlib with TLS, through the same connection class FTP uses.
class TestSftpConnection : public QObject
{
    Q_OBJECT

private:
    CSshTestServer m_ssh;
    CTestQuestions m_questions;
    // The tests rewrite ~/.ssh and the settings: a home of their own, however they run.
    QTemporaryDir m_home;

    static QString SshDir() { return QDir::homePath() + QStringLiteral("/.ssh"); }
    static QString KnownHosts() { return SshDir() + QStringLiteral("/known_hosts"); }
    static QByteArray ReadAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static int Mode(const QString &path)
    {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    }
    static void Write(const QString &path, const QByteArray &data)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(data), data.size());
    }

    // The user's ~/.ssh: the server trusted (or not), and the key files named.
    void SetUpHome(bool bTrusted, const QStringList &keys = {})
    {
        QDir(SshDir()).removeRecursively();
        QDir().mkpath(SshDir());
        if (bTrusted)
            QVERIFY(m_ssh.TrustInHome());
        for (const QString &key : keys) {
            const QString name = QFileInfo(key).fileName() == QLatin1String("id_phrase") ? QStringLiteral("id_ecdsa")
                                                                                        : QStringLiteral("id_ed25519");
            QVERIFY(QFile::copy(key, SshDir() + QLatin1Char('/') + name));
            QFile::setPermissions(SshDir() + QLatin1Char('/') + name, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }

    // A self-signed certificate for the name ("IP:127.0.0.1", "DNS:host.example") with
    // its key, and its SHA-256 fingerprint as openssl shows it.
    static void MakeCertificate(const QString &dir, const QString &name, QString &cert, QString &key,
                                QString &fingerprint)
    {
        static int n = 0;
        ++n;
        cert = QStringLiteral("%1/cert%2.pem").arg(dir).arg(n);
        key = QStringLiteral("%1/key%2.pem").arg(dir).arg(n);
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"),
                                   {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                    QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"), key,
                                    QStringLiteral("-out"), cert, QStringLiteral("-days"), QStringLiteral("2"),
                                    QStringLiteral("-subj"), QStringLiteral("/CN=") + name.section(QLatin1Char(':'), 1),
                                    QStringLiteral("-addext"), QStringLiteral("subjectAltName=") + name}),
                 0);
        QProcess fp;
        fp.start(QStringLiteral("openssl"), {QStringLiteral("x509"), QStringLiteral("-in"), cert,
                                             QStringLiteral("-noout"), QStringLiteral("-fingerprint"),
                                             QStringLiteral("-sha256")});
        QVERIFY(fp.waitForFinished(10000));
        fingerprint = QString::fromLatin1(fp.readAllStandardOutput().trimmed()).section(QLatin1Char('='), 1);
        QVERIFY(!fingerprint.isEmpty());
    }

    CFtpConnectionParams Params(const QString &strPassword) const
    {
        CFtpConnectionParams p;
        p.m_strHost = QStringLiteral("sftp://127.0.0.1");
        p.m_nPort = m_ssh.Port();
        p.m_strUser = m_ssh.User();
        p.m_strPassword = strPassword;
        p.m_nConnectTimeoutSec = 20;
        p.m_pQuestions = const_cast<CTestQuestions *>(&m_questions);
        return p;
    }

    void ServerWrite(const QString &rel, const QByteArray &data)
    {
        Write(m_ssh.PathOf(rel), data);
        // The login user writes and renames in its folder.
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), m_ssh.User(), m_ssh.Files()});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral(".config"))));
        qunsetenv("SSH_AUTH_SOCK");
        if (::geteuid() != 0)
            QSKIP("sshd runs as root only");
        QVERIFY(m_ssh.Start());
    }

    void init()
    {
        m_questions = CTestQuestions();
        SetUpHome(true);
        QDir files(m_ssh.Files());
        for (const QString &entry : files.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            QFileInfo info(files.filePath(entry));
            if (info.isDir())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
    }

    // Everything the browser does, in a folder with a blank in its name.
    void everyBrowserCommand()
    {
        CFtpConnection c(Params(m_ssh.Password()));
        CFtpResult r = c.Open();
        QVERIFY2(r, qPrintable(r.m_strReason));
        QString dir;
        QVERIFY(c.GetCurrentDirectory(dir));
        QCOMPARE(dir, m_ssh.Fact("HOME"));
        QVERIFY(m_questions.m_asked.isEmpty());

        QVERIFY2((r = c.SetCurrentDirectory(m_ssh.Files())), qPrintable(r.m_strReason));
        QVERIFY2((r = c.CreateDirectory(QStringLiteral("new \"dir\""))), qPrintable(r.m_strReason));
        QVERIFY(QFileInfo(m_ssh.PathOf(QStringLiteral("new \"dir\""))).isDir());
        QVERIFY2((r = c.SetCurrentDirectory(QStringLiteral("new \"dir\""))), qPrintable(r.m_strReason));
        QCOMPARE(c.CurrentDirectory(), m_ssh.PathOf(QStringLiteral("new \"dir\"")));

        QByteArray text("print 1;\n");
        QBuffer source(&text);
        source.open(QIODevice::ReadOnly);
        QVERIFY2((r = c.Store(source, QStringLiteral("my script.pl"), CFtpConnection::TYPE_BINARY)), qPrintable(r.m_strReason));
        QCOMPARE(ReadAll(m_ssh.PathOf(QStringLiteral("new \"dir\"/my script.pl"))), text);

        QVector<CFtpFileEntry> entries;
        QVERIFY2((r = c.List(entries)), qPrintable(r.m_strReason));
        QStringList names;
        for (const CFtpFileEntry &e : entries)
            names << e.m_strName;
        QVERIFY2(names.contains(QStringLiteral("my script.pl")), qPrintable(names.join(QLatin1Char('|'))));
        for (const CFtpFileEntry &e : entries)
            if (e.m_strName == QLatin1String("my script.pl"))
                QCOMPARE(e.m_nSize, qint64(text.size()));

        QVERIFY2((r = c.Rename(QStringLiteral("my script.pl"), QStringLiteral("renamed one.pl"))), qPrintable(r.m_strReason));
        QVERIFY(QFile::exists(m_ssh.PathOf(QStringLiteral("new \"dir\"/renamed one.pl"))));
        QByteArray back;
        QVERIFY2((r = CFtpTransfer::LoadBytes(c, QStringLiteral("renamed one.pl"), CFtpConnection::TYPE_BINARY, back)),
                 qPrintable(r.m_strReason));
        QCOMPARE(back, text);
        QVERIFY2((r = c.Remove(QStringLiteral("renamed one.pl"))), qPrintable(r.m_strReason));
        QVERIFY(!QFile::exists(m_ssh.PathOf(QStringLiteral("new \"dir\"/renamed one.pl"))));

        QVERIFY2((r = c.SetCurrentDirectory(QStringLiteral(".."))), qPrintable(r.m_strReason));
        QCOMPARE(c.CurrentDirectory(), m_ssh.Files());
        QVERIFY2((r = c.RemoveDirectory(QStringLiteral("new \"dir\""))), qPrintable(r.m_strReason));
        QVERIFY(!QFileInfo::exists(m_ssh.PathOf(QStringLiteral("new \"dir\""))));

        // Failures carry the server's reason and leave the folder as it was.
        r = c.SetCurrentDirectory(QStringLiteral("no such folder"));
        QVERIFY(!r);
        QVERIFY2(r.m_strReason.contains(QLatin1String("no such folder")), qPrintable(r.m_strReason));
        QCOMPARE(c.CurrentDirectory(), m_ssh.Files());
        r = c.Remove(QStringLiteral("missing.pl"));
        QVERIFY(!r);
        QVERIFY2(r.m_strReason.contains(QLatin1String("No such file")), qPrintable(r.m_strReason));
    }

    // Byte-exact in binary; ASCII puts send LF line ends and loads give native ones.
    void transfersKeepTheBytes()
    {
        CFtpConnection c(Params(m_ssh.Password()));
        QVERIFY(c.Open());
        QVERIFY(c.SetCurrentDirectory(m_ssh.Files()));
        const QByteArray data = CFtpTestServer::RandomBytes(3 * 1024 * 1024 + 17);
        QTemporaryDir local;
        const QString path = local.filePath(QStringLiteral("blob file.bin"));
        Write(path, data);
        CFtpResult r = CFtpTransfer::PutFile(c, path, QStringLiteral("blob file.bin"), CFtpConnection::TYPE_BINARY);
        QVERIFY2(r, qPrintable(r.m_strReason));
        QVERIFY(ReadAll(m_ssh.PathOf(QStringLiteral("blob file.bin"))) == data);
        const QString back = local.filePath(QStringLiteral("back.bin"));
        QVERIFY((r = CFtpTransfer::LoadToFile(c, QStringLiteral("blob file.bin"), CFtpConnection::TYPE_BINARY, back)));
        QVERIFY(ReadAll(back) == data);

        Write(path, "a\r\nb\r\nc");
        QVERIFY((r = CFtpTransfer::PutFile(c, path, QStringLiteral("t.pl"), CFtpConnection::TYPE_ASCII)));
        QCOMPARE(ReadAll(m_ssh.PathOf(QStringLiteral("t.pl"))), QByteArray("a\nb\nc"));
        ServerWrite(QStringLiteral("dos.pl"), "x\r\ny\r\n");
        QByteArray text;
        QVERIFY((r = CFtpTransfer::LoadBytes(c, QStringLiteral("dos.pl"), CFtpConnection::TYPE_ASCII, text)));
        QCOMPARE(text, QByteArray("x\ny\n"));
    }

    // The known_hosts text of a test row: "none" (no ~/.ssh at all), "other" (another
    // key on record), "revoked" (the key recorded and revoked), "revoked only",
    // "after markers" (the key recorded after a CA line and an "@revoked" one for
    // another key), "changed after markers".
    QByteArray KnownHostsOfRow(const QString &known) const
    {
        const QByteArray name = QStringLiteral("[127.0.0.1]:%1 ").arg(m_ssh.Port()).toUtf8();
        const QByteArray key = m_ssh.HostKey().toUtf8() + '\n';
        const QByteArray otherKey = m_ssh.OtherHostKey().toUtf8() + '\n';
        const QByteArray mine = "# hosts of mine\nexample.org ssh-ed25519 "
                                "AAAAC3NzaC1lZDI1NTE5AAAAIAcu63ntVMsg5DA+NKzLjKOtWFuoF9V/AYp4UaJaJVYf\n";
        if (known == QLatin1String("other"))
            return mine + name + otherKey;
        if (known == QLatin1String("revoked"))
            return mine + name + key + "@revoked " + name + key;
        if (known == QLatin1String("revoked only"))
            return mine + "@revoked * " + key;
        if (known == QLatin1String("after markers"))
            return "@cert-authority *.example " + otherKey + "@revoked * " + otherKey + name + key;
        if (known == QLatin1String("changed after markers"))
            return "@cert-authority *.example " + key + "@revoked * " + key.left(20) + "\n" + name + otherKey;
        return QByteArray();
    }

    void hostKeys_data()
    {
        QTest::addColumn<QString>("known");
        QTest::addColumn<bool>("trust");
        QTest::addColumn<bool>("connects");
        QTest::addColumn<QString>("refusal"); // with the line it names
        QTest::newRow("unknown host accepted") << "none" << true << true << "";
        QTest::newRow("unknown host refused") << "none" << false << false << "not trusted";
        QTest::newRow("changed key refused without a question") << "other" << true << false << "has changed|3";
        QTest::newRow("revoked key refused without a question") << "revoked" << true << false << "marked as revoked|4";
        QTest::newRow("revoked key never offered") << "revoked only" << true << false << "marked as revoked|3";
        QTest::newRow("recorded after marker lines") << "after markers" << true << true << "";
        QTest::newRow("changed after marker lines") << "changed after markers" << true << false << "has changed|3";
    }
    void hostKeys()
    {
        QFETCH(QString, known);
        QFETCH(bool, trust);
        QFETCH(bool, connects);
        QFETCH(QString, refusal);
        SetUpHome(false);
        const QByteArray before = KnownHostsOfRow(known);
        if (known == QLatin1String("none"))
            QDir(SshDir()).removeRecursively();
        else
            Write(KnownHosts(), before);
        m_questions.m_bTrustHostKey = trust;
        const QByteArray blob = QByteArray::fromBase64(m_ssh.HostKey().section(QLatin1Char(' '), 1, 1).toLatin1());
        const QString fingerprint = CHostKeyQuestion::Fingerprint(blob);

        CFtpConnection c(Params(m_ssh.Password()));
        CFtpResult r = c.Open();
        QVERIFY2(bool(r) == connects, qPrintable(r.m_strReason));
        if (known == QLatin1String("none")) {
            QCOMPARE(m_questions.m_asked.size(), 1);
            const QString question = m_questions.m_asked.value(0);
            QVERIFY2(question.contains(fingerprint) && question.contains(QLatin1String("ED25519"))
                         && question.contains(QString::number(m_ssh.Port())) && question.contains(KnownHosts()),
                     qPrintable(question));
        } else {
            QVERIFY2(m_questions.m_asked.isEmpty(), qPrintable(m_questions.m_asked.join('\n')));
        }
        if (connects) {
            if (known == QLatin1String("none")) {
                // Recorded as the user's OpenSSH records it: hashed when its
                // configuration says so, found by ssh-keygen, trusted by ssh; in a
                // folder and file of the user's only.
                const QByteArray line = ReadAll(KnownHosts());
                QCOMPARE(line.startsWith("|1|"), m_ssh.OpenSshHashesNames());
                QVERIFY2(line.endsWith(' ' + m_ssh.HostKey().toUtf8() + '\n') && line.count('\n') == 1,
                         line.constData());
                QVERIFY(m_ssh.SshKeygenFinds(KnownHosts()));
                QByteArray out;
                QVERIFY2(m_ssh.OpenSshLogsIn(KnownHosts(), &out), out.constData());
                QCOMPARE(Mode(KnownHosts()), 0600);
                QCOMPARE(Mode(SshDir()), 0700);
            } else {
                QCOMPARE(ReadAll(KnownHosts()), before);
            }
            // Known now: the next connection asks nothing.
            m_questions.m_asked.clear();
            CFtpConnection again(Params(m_ssh.Password()));
            QVERIFY(again.Open());
            QVERIFY(m_questions.m_asked.isEmpty());
            return;
        }
        if (known == QLatin1String("none")) {
            QVERIFY(!QFile::exists(KnownHosts()));
            QVERIFY2(r.m_strReason.contains(refusal), qPrintable(r.m_strReason));
        } else {
            QCOMPARE(ReadAll(KnownHosts()), before);
            const QString line = KnownHosts() + QStringLiteral(", line ") + refusal.section(QLatin1Char('|'), 1);
            QVERIFY2(r.m_strReason.contains(refusal.section(QLatin1Char('|'), 0, 0))
                         && r.m_strReason.contains(fingerprint) && r.m_strReason.contains(line),
                     qPrintable(r.m_strReason));
        }
        // Nothing was transferred: no command ran on the refused server.
        QVERIFY(QDir(m_ssh.Files()).isEmpty());
        QByteArray data("x");
        QBuffer source(&data);
        source.open(QIODevice::ReadOnly);
        QVERIFY(!c.Store(source, QStringLiteral("x.pl"), CFtpConnection::TYPE_BINARY));
        QVERIFY(QDir(m_ssh.Files()).isEmpty());
    }

    void logins_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("passphrases");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("connects");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("key without passphrase, no password") << "KEY" << QStringList{} << "" << true << "";
        QTest::newRow("key with its passphrase") << "KEY_WITH_PHRASE" << QStringList{"wrong", "PASSPHRASE"} << ""
                                                 << true << "";
        QTest::newRow("wrong passphrase three times") << "KEY_WITH_PHRASE" << QStringList{"a", "b", "c"} << "" << false
                                                      << "passphrase was not given correctly";
        QTest::newRow("passphrase cancelled, password works") << "KEY_WITH_PHRASE" << QStringList{} << "PASSWORD"
                                                              << true << "";
        QTest::newRow("wrong password") << "" << QStringList{} << "not the password" << false
                                        << "Permission denied: 127.0.0.1 port %1 did not accept user \"kestrel-ssh\" "
                                           "(the server offered: publickey,password,keyboard-interactive)";
    }
    void logins()
    {
        QFETCH(QString, key);
        QFETCH(QStringList, passphrases);
        QFETCH(QString, password);
        QFETCH(bool, connects);
        QFETCH(QString, reasonPart);
        SetUpHome(true, key.isEmpty() ? QStringList{} : QStringList{m_ssh.Fact(key.toLatin1().constData())});
        for (QString &p : passphrases)
            if (p == QLatin1String("PASSPHRASE"))
                p = m_ssh.Passphrase();
        m_questions.m_passphrases = passphrases;
        if (password == QLatin1String("PASSWORD"))
            password = m_ssh.Password();
        CFtpConnection c(Params(password));
        CFtpResult r = c.Open();
        QVERIFY2(bool(r) == connects, qPrintable(r.m_strReason));
        if (reasonPart.contains(QLatin1String("%1")))
            reasonPart = reasonPart.arg(m_ssh.Port());
        if (!connects)
            QVERIFY2(r.m_strReason.contains(reasonPart), qPrintable(r.m_strReason));
        if (connects) {
            QVector<CFtpFileEntry> entries;
            QVERIFY(c.List(entries));
        }
    }

    // A server that takes passwords only through keyboard-interactive login (as many
    // do, through PAM) logs the user in with the same password.
    void keyboardInteractivePassword()
    {
        CSshTestServer kbd;
        QVERIFY(kbd.Start(m_ssh.HostKeyFile(), QStringLiteral("PasswordAuthentication no")));
        QVERIFY(kbd.TrustInHome());
        CFtpConnectionParams p = Params(kbd.Password());
        p.m_nPort = kbd.Port();
        CFtpConnection c(p);
        CFtpResult r = c.Open();
        QVERIFY2(r, qPrintable(r.m_strReason));
        QVERIFY2(kbd.Log().contains("Accepted keyboard-interactive"), kbd.Log().constData());
    }

    // The wrong protocol for the port, and no server at all: said at once, naming both.
    void wrongServer_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("SFTP to an FTP server") << "sftp://127.0.0.1" << "ftp" << "speaks FTP, not SSH";
        QTest::newRow("FTP to an SSH server") << "ftp://127.0.0.1" << "ssh" << "speaks SSH, not FTP";
        QTest::newRow("FTPS to an SSH server") << "ftps://127.0.0.1" << "ssh" << "speaks SSH, not FTP";
        QTest::newRow("SFTP to a closed port") << "sftp://127.0.0.1" << "none" << "onnect";
        QTest::newRow("FTPS to a plain FTP server") << "ftps://127.0.0.1" << "ftp" << "does not offer TLS";
        QTest::newRow("unknown scheme") << "http://127.0.0.1" << "ssh" << "names the protocol \"http\"";
    }
    void wrongServer()
    {
        QFETCH(QString, host);
        QFETCH(QString, server);
        QFETCH(QString, reasonPart);
        CFtpTestServer ftp;
        QTcpServer closed;
        CFtpConnectionParams p = Params(QStringLiteral("x"));
        p.m_strHost = host;
        if (server == QLatin1String("ftp")) {
            QVERIFY(ftp.Start());
            p.m_nPort = ftp.Port();
        } else if (server == QLatin1String("none")) {
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            p.m_nPort = closed.serverPort();
            closed.close();
        }
        CFtpConnection c(p);
        CFtpResult r = c.Open();
        QVERIFY(!r);
        QVERIFY2(r.m_strReason.contains(reasonPart), qPrintable(r.m_strReason));
        if (server != QLatin1String("none") && !host.startsWith(QLatin1String("http")))
            QVERIFY2(r.m_strReason.contains(QStringLiteral("port %1").arg(p.m_nPort)), qPrintable(r.m_strReason));
    }

    // sshd goes away in the middle of a put: the failure says so, the local file is
    // untouched.
    void serverKilledDuringAPut()
    {
        CSshTestServer doomed;
        QVERIFY(doomed.Start(m_ssh.HostKeyFile()));
        QDir().mkpath(SshDir());
        QVERIFY(doomed.TrustInHome());
        CFtpConnectionParams p = Params(doomed.Password());
        p.m_nPort = doomed.Port();
        CFtpConnection c(p);
        CFtpResult r = c.Open();
        QVERIFY2(r, qPrintable(r.m_strReason));
        QVERIFY(c.SetCurrentDirectory(doomed.Files()));
        QTemporaryDir local;
        const QString path = local.filePath(QStringLiteral("big.bin"));
        const QByteArray data = CFtpTestServer::RandomBytes(64 * 1024 * 1024);
        Write(path, data);
        std::atomic<bool> done{false};
        std::thread putter([&] {
            r = CFtpTransfer::PutFile(c, path, QStringLiteral("big.bin"), CFtpConnection::TYPE_BINARY);
            done = true;
        });
        while (!done && c.BytesDone() < 2 * 1024 * 1024)
            QThread::usleep(200);
        const bool finishedFirst = done;
        doomed.Kill();
        putter.join();
        QVERIFY(!finishedFirst);
        QVERIFY(!r);
        QVERIFY2(r.m_strReason.startsWith(QLatin1String("The connection to the server was lost after")),
                 qPrintable(r.m_strReason));
        QVERIFY(ReadAll(path) == data);
    }

    // FTPS with a self-signed certificate: the question names why and the fingerprint;
    // once trusted, load and put work and the next connection asks nothing.
    void ftpsCertificate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("reasons");
        QTest::newRow("self-signed") << "IP:127.0.0.1" << QStringList{"self-signed"};
        QTest::newRow("issued for another name") << "DNS:other.example"
                                                 << QStringList{"self-signed", "issued for another name (other.example"};
    }
    void ftpsCertificate()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, reasons);
        // Each row is a host of its own for the trust: the port differs.
        QTemporaryDir dir;
        QString cert, key, fingerprint;
        MakeCertificate(dir.path(), name, cert, key, fingerprint);
        CFtpTestServer ftps;
        QVERIFY(ftps.Start(0, cert, key));
        CFtpConnectionParams p = ftps.Params();
        p.m_strHost = QStringLiteral("ftps://127.0.0.1");
        p.m_pQuestions = &m_questions;

        {
            m_questions.m_bTrustCertificate = false;
            CFtpConnection refused(p);
            CFtpResult r = refused.Open();
            QVERIFY(!r);
            QVERIFY2(r.m_strReason.contains(QLatin1String("not trusted")), qPrintable(r.m_strReason));
            for (const QString &reason : reasons)
                QVERIFY2(r.m_strReason.contains(reason), qPrintable(r.m_strReason));
        }
        m_questions.m_asked.clear();
        m_questions.m_bTrustCertificate = true;
        CFtpConnection c(p);
        CFtpResult r = c.Open();
        QVERIFY2(r, qPrintable(r.m_strReason));
        QCOMPARE(m_questions.m_asked.size(), 1);
        QVERIFY2(m_questions.m_asked[0].contains(fingerprint)
                     && m_questions.m_asked[0].contains(QStringLiteral("port %1").arg(ftps.Port())),
                 qPrintable(m_questions.m_asked[0]));
        for (const QString &reason : reasons)
            QVERIFY2(m_questions.m_asked[0].contains(reason), qPrintable(m_questions.m_asked[0]));
        ftps.WriteFile(QStringLiteral("s.pl"), "print 1;\r\n");
        QByteArray text;
        QVERIFY2((r = CFtpTransfer::LoadBytes(c, QStringLiteral("s.pl"), CFtpConnection::TYPE_BINARY, text)),
                 qPrintable(r.m_strReason));
        QCOMPARE(text, QByteArray("print 1;\r\n"));
        QByteArray data = CFtpTestServer::RandomBytes(300000);
        QBuffer source(&data);
        source.open(QIODevice::ReadOnly);
        QVERIFY2((r = c.Store(source, QStringLiteral("up.bin"), CFtpConnection::TYPE_BINARY)), qPrintable(r.m_strReason));
        QCOMPARE(ftps.ReadFile(QStringLiteral("up.bin")).size(), data.size());
        QVERIFY(ftps.ReadFile(QStringLiteral("up.bin")) == data);
        QVector<CFtpFileEntry> entries;
        QVERIFY(c.List(entries));
        QCOMPARE(entries.size(), 2);

        m_questions.m_asked.clear();
        CFtpConnection again(p);
        QVERIFY(again.Open());
        QVERIFY(m_questions.m_asked.isEmpty());
    }

    // A server whose certificate is another than the one trusted for it: the question
    // says it changed and shows both fingerprints; refused, the old one stays trusted
    // and the login is not sent; accepted, the new one replaces it.
    void ftpsCertificateChanged()
    {
        QTemporaryDir dir;
        QString oldCert, oldKey, oldFingerprint, newCert, newKey, newFingerprint;
        MakeCertificate(dir.path(), QStringLiteral("IP:127.0.0.1"), oldCert, oldKey, oldFingerprint);
        MakeCertificate(dir.path(), QStringLiteral("IP:127.0.0.1"), newCert, newKey, newFingerprint);
        CFtpTestServer before, now;
        QVERIFY(before.Start(0, oldCert, oldKey));
        QVERIFY(now.Start(0, newCert, newKey));
        // The old certificate was trusted for the host and port the server now has.
        CTlsTrust::Probe probe;
        QString error;
        QVERIFY2(CTlsTrust::ProbeServer(QStringLiteral("127.0.0.1"), before.Port(), 10000, probe, error),
                 qPrintable(error));
        CTlsTrust::Trust(QStringLiteral("127.0.0.1"), now.Port(), probe);
        const QByteArray oldPin = CTlsTrust::PinOf(probe.m_baKeySha256);
        QCOMPARE(CTlsTrust::FingerprintText(probe.m_baCertSha256), oldFingerprint);

        CFtpConnectionParams p = now.Params();
        p.m_strHost = QStringLiteral("ftps://127.0.0.1");
        p.m_pQuestions = &m_questions;
        for (bool trust : {false, true}) {
            m_questions = CTestQuestions();
            m_questions.m_bTrustCertificate = trust;
            CFtpConnection c(p);
            CFtpResult r = c.Open();
            QVERIFY2(bool(r) == trust, qPrintable(r.m_strReason));
            QCOMPARE(m_questions.m_asked.size(), 1);
            const QString question = m_questions.m_asked.first();
            for (const QString &part : {QStringLiteral("changed since you trusted it"), oldFingerprint, newFingerprint,
                                        QStringLiteral("port %1").arg(now.Port())})
                QVERIFY2(question.contains(part), qPrintable(question));
            QVERIFY2(question.indexOf(oldFingerprint) < question.indexOf(newFingerprint), qPrintable(question));
            const QByteArray pin = CTlsTrust::TrustedPin(QStringLiteral("127.0.0.1"), now.Port());
            if (!trust) {
                QVERIFY2(r.m_strReason.contains(QLatin1String("has changed since it was trusted"))
                             && r.m_strReason.contains(oldFingerprint) && r.m_strReason.contains(newFingerprint),
                         qPrintable(r.m_strReason));
                QCOMPARE(pin, oldPin);
            } else {
                QVERIFY(!pin.isEmpty() && pin != oldPin);
            }
        }
        m_questions = CTestQuestions();
        CFtpConnection again(p);
        QVERIFY(again.Open());
        QVERIFY(m_questions.m_asked.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSftpConnection)
#include "tst_sftpconnection.moc"
