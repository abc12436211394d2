#include "server/FtpConnection.h"
#include "server/FtpTransfer.h"

#include "FtpTestServer.h"
#include "ScriptedServer.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTcpServer>
#include <QThread>

#include <curl/curl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

// Opens the connection on a thread of its own while this thread serves the events of
// a scripted server, which answers from the event loop.
CFtpResult OpenServingEvents(CFtpConnection &c)
{
    CFtpResult r;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        r = c.Open();
        done = true;
    });
    QDeadlineTimer deadline(60000);
    while (!done && !deadline.hasExpired())
        QTest::qWait(10);
    worker.join();
    return r;
}

} // namespace

// The connection and the transfers against a real pyftpdlib server.
class TestFtpConnection : public QObject
{
    Q_OBJECT

private:
    CFtpConnectionParams Params() const { return m_server->Params(); }
    std::unique_ptr<CFtpConnection> OpenConnection()
    {
        auto c = std::make_unique<CFtpConnection>(Params());
        CFtpResult r = c->Open();
        if (!r)
            qWarning("open failed: %s", qPrintable(r.m_strReason));
        return r ? std::move(c) : nullptr;
    }
    static QByteArray RandomBytes(int n) { return CFtpTestServer::RandomBytes(n); }

    std::unique_ptr<CFtpTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_upLocal;

private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void init()
    {
        m_server = std::make_unique<CFtpTestServer>();
        QVERIFY(m_server->Start());
        m_upLocal = std::make_unique<QTemporaryDir>();
    }
    void cleanup()
    {
        m_server.reset();
        m_upLocal.reset();
    }

    void loginReadsTheHomeFolder()
    {
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(c->IsOpen());
        QCOMPARE(c->CurrentDirectory(), QStringLiteral("/"));
        QVERIFY(!c->IsPassive());
    }

    void failedLoginsGiveTheReason_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port"); // -1: the server's port
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("wrong password") << "127.0.0.1" << -1 << "wrong" << "530";
        QTest::newRow("nothing listening") << "127.0.0.1" << 1 << CFtpTestServer::kPassword << "connect";
        QTest::newRow("host does not resolve") << "no-such-host.invalid" << -1 << CFtpTestServer::kPassword
                                               << "resolve";
    }
    void failedLoginsGiveTheReason()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, password);
        QFETCH(QString, reasonPart);
        CFtpConnectionParams p = Params();
        p.m_strHost = host;
        if (port >= 0)
            p.m_nPort = port;
        p.m_strPassword = password;
        CFtpConnection c(p);
        CFtpResult r = c.Open();
        QVERIFY(!r);
        QVERIFY(!c.IsOpen());
        QVERIFY2(r.m_strReason.contains(reasonPart, Qt::CaseInsensitive), qPrintable(r.m_strReason));
    }

    void changeDirectory_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("expected");
        QTest::newRow("into a folder") << "/" << "sub" << true << "/sub";
        QTest::newRow("folder with blanks") << "/" << "my dir" << true << "/my dir";
        QTest::newRow("parent") << "/sub/deeper" << ".." << true << "/sub";
        QTest::newRow("absolute") << "/sub" << "/my dir" << true << "/my dir";
        QTest::newRow("non-ASCII name") << "/" << QString::fromUtf8("d\xc3\xa9j\xc3\xa0") << true
                                        << QString::fromUtf8("/d\xc3\xa9j\xc3\xa0");
        QTest::newRow("missing folder stays put") << "/sub" << "nowhere" << false << "/sub";
        QTest::newRow("empty name refused") << "/sub" << "" << false << "/sub";
    }
    void changeDirectory()
    {
        QFETCH(QString, start);
        QFETCH(QString, target);
        QFETCH(bool, ok);
        QFETCH(QString, expected);
        m_server->MakeDir(QStringLiteral("sub/deeper"));
        m_server->MakeDir(QStringLiteral("my dir"));
        m_server->MakeDir(QString::fromUtf8("d\xc3\xa9j\xc3\xa0"));
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(c->SetCurrentDirectory(start));
        CFtpResult r = c->SetCurrentDirectory(target);
        QCOMPARE(bool(r), ok);
        if (!ok)
            QVERIFY(!r.m_strReason.isEmpty());
        QCOMPARE(c->CurrentDirectory(), expected);
        QString fromServer;
        QVERIFY(c->GetCurrentDirectory(fromServer));
        QCOMPARE(fromServer, expected);
    }

    void listingNamesSizesAndFolders()
    {
        m_server->MakeDir(QStringLiteral("folder"));
        m_server->WriteFile(QStringLiteral("a.pl"), "print 1;\n");
        m_server->WriteFile(QStringLiteral("with blank.txt"), "12345");
        m_server->WriteFile(QStringLiteral("empty.bin"), "");
        m_server->WriteFile(QString::fromUtf8("caf\xc3\xa9.pl"), "x");
        auto c = OpenConnection();
        QVERIFY(c);
        QVector<CFtpFileEntry> entries;
        QVERIFY(c->List(entries));
        QMap<QString, CFtpFileEntry> byName;
        for (const CFtpFileEntry &e : entries)
            byName.insert(e.m_strName, e);
        QCOMPARE(byName.size(), 5);
        QVERIFY(byName[QStringLiteral("folder")].m_bDirectory);
        QVERIFY(!byName[QStringLiteral("a.pl")].m_bDirectory);
        QCOMPARE(byName[QStringLiteral("a.pl")].m_nSize, 9);
        QCOMPARE(byName[QStringLiteral("with blank.txt")].m_nSize, 5);
        QCOMPARE(byName[QStringLiteral("empty.bin")].m_nSize, 0);
        QVERIFY(byName.contains(QString::fromUtf8("caf\xc3\xa9.pl")));
        QVERIFY(byName[QStringLiteral("a.pl")].m_time.isValid());
        QVERIFY(qAbs(byName[QStringLiteral("a.pl")].m_time.secsTo(QDateTime::currentDateTimeUtc())) < 24 * 3600);
    }

    void listingOfAnEmptyFolderAndOfManyFiles()
    {
        m_server->MakeDir(QStringLiteral("empty"));
        m_server->MakeDir(QStringLiteral("many"));
        for (int i = 0; i < 10000; ++i)
            QFile(m_server->PathOf(QStringLiteral("many/f%1.txt").arg(i))).open(QIODevice::WriteOnly);
        auto c = OpenConnection();
        QVERIFY(c);
        QVector<CFtpFileEntry> entries;
        QVERIFY(c->SetCurrentDirectory(QStringLiteral("empty")));
        QVERIFY(c->List(entries));
        QCOMPARE(entries.size(), 0);
        QVERIFY(c->SetCurrentDirectory(QStringLiteral("/many")));
        QVERIFY(c->List(entries));
        QCOMPARE(entries.size(), 10000);
    }

    void retrieveIsByteExactInBinaryMode_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("line ends of every kind") << QByteArray("a\r\nb\nc\rd\r\n\r\n");
        QTest::newRow("all byte values") << [] {
            QByteArray b;
            for (int i = 0; i < 256; ++i)
                b += char(i);
            return b;
        }();
        QTest::newRow("3 MB of random bytes") << RandomBytes(3 * 1024 * 1024 + 17);
    }
    void retrieveIsByteExactInBinaryMode()
    {
        QFETCH(QByteArray, data);
        m_server->WriteFile(QStringLiteral("data.bin"), data);
        auto c = OpenConnection();
        QVERIFY(c);
        QByteArray got;
        QVERIFY(CFtpTransfer::LoadBytes(*c, QStringLiteral("data.bin"), CFtpConnection::TYPE_BINARY, got));
        QCOMPARE(got.size(), data.size());
        QVERIFY(got == data);
        // and back again under another name
        QString local = m_upLocal->filePath(QStringLiteral("up.bin"));
        CFtpTestServer::WriteLocal(local, data);
        QVERIFY(CFtpTransfer::PutFile(*c, local, QStringLiteral("back.bin"), CFtpConnection::TYPE_BINARY));
        QVERIFY(m_server->ReadFile(QStringLiteral("back.bin")) == data);
    }

    void asciiTransfersUseNativeLineEnds_data()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QByteArray>("loaded");
        QTest::newRow("LF lines, last one open") << QByteArray("a\nb") << QByteArray("a\nb\n");
        QTest::newRow("CR LF lines") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
        QTest::newRow("empty file") << QByteArray() << QByteArray();
        QTest::newRow("one empty line") << QByteArray("\n") << QByteArray("\n");
        QTest::newRow("non-ASCII bytes") << QByteArray("caf\xe9\n\xff\n") << QByteArray("caf\xe9\n\xff\n");
    }
    void asciiTransfersUseNativeLineEnds()
    {
        QFETCH(QByteArray, server);
        QFETCH(QByteArray, loaded);
        m_server->WriteFile(QStringLiteral("t.pl"), server);
        auto c = OpenConnection();
        QVERIFY(c);
        QByteArray got;
        QVERIFY(CFtpTransfer::LoadBytes(*c, QStringLiteral("t.pl"), CFtpConnection::TYPE_ASCII, got));
        QCOMPARE(got, loaded);
    }

    void asciiPutGivesTheServerItsLineEnds_data()
    {
        QTest::addColumn<QByteArray>("local");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("LF file") << QByteArray("a\nb\n") << QByteArray("a\nb\n");
        QTest::newRow("CR LF file") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
        QTest::newRow("no final line end") << QByteArray("a\r\nb") << QByteArray("a\nb");
        QTest::newRow("lone CR kept") << QByteArray("a\rb\n") << QByteArray("a\rb\n");
        QTest::newRow("empty file") << QByteArray() << QByteArray();
    }
    void asciiPutGivesTheServerItsLineEnds()
    {
        QFETCH(QByteArray, local);
        QFETCH(QByteArray, stored);
        QString path = m_upLocal->filePath(QStringLiteral("t.pl"));
        CFtpTestServer::WriteLocal(path, local);
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(CFtpTransfer::PutFile(*c, path, QStringLiteral("t.pl"), CFtpConnection::TYPE_ASCII));
        QCOMPARE(m_server->ReadFile(QStringLiteral("t.pl")), stored);
    }

    void folderCommands()
    {
        m_server->WriteFile(QStringLiteral("old.pl"), "1");
        m_server->WriteFile(QStringLiteral("gone.pl"), "2");
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(c->CreateDirectory(QStringLiteral("new dir")));
        QVERIFY(QFileInfo(m_server->PathOf(QStringLiteral("new dir"))).isDir());
        CFtpResult again = c->CreateDirectory(QStringLiteral("new dir"));
        QVERIFY(!again);
        QVERIFY2(again.m_strReason.startsWith(QLatin1String("550")), qPrintable(again.m_strReason));
        QVERIFY(c->RemoveDirectory(QStringLiteral("new dir")));
        QVERIFY(!QFileInfo::exists(m_server->PathOf(QStringLiteral("new dir"))));
        QVERIFY(c->Rename(QStringLiteral("old.pl"), QStringLiteral("renamed.pl")));
        QCOMPARE(m_server->ReadFile(QStringLiteral("renamed.pl")), QByteArray("1"));
        QVERIFY(c->Remove(QStringLiteral("gone.pl")));
        QVERIFY(!QFileInfo::exists(m_server->PathOf(QStringLiteral("gone.pl"))));
        QVERIFY(!c->Remove(QStringLiteral("gone.pl")));
    }

    void commandsWorkInTheCurrentFolder()
    {
        m_server->MakeDir(QStringLiteral("sub"));
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(c->SetCurrentDirectory(QStringLiteral("sub")));
        QVERIFY(c->CreateDirectory(QStringLiteral("inner")));
        QVERIFY(QFileInfo(m_server->PathOf(QStringLiteral("sub/inner"))).isDir());
        QString local = m_upLocal->filePath(QStringLiteral("x.pl"));
        CFtpTestServer::WriteLocal(local, "x\n");
        QVERIFY(CFtpTransfer::PutFile(*c, local, QStringLiteral("x.pl"), CFtpConnection::TYPE_BINARY));
        QCOMPARE(m_server->ReadFile(QStringLiteral("sub/x.pl")), QByteArray("x\n"));
    }

    void namesThatLeaveTheFolderAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("slash") << "../etc/passwd";
        QTest::newRow("backslash") << "..\\x";
        QTest::newRow("dot dot") << "..";
        QTest::newRow("dot") << ".";
        QTest::newRow("empty") << "";
        QTest::newRow("line break") << "a\r\nDELE b";
    }
    void namesThatLeaveTheFolderAreRefused()
    {
        QFETCH(QString, name);
        QVERIFY(!CFtpConnection::IsPlainFileName(name));
        auto c = OpenConnection();
        QVERIFY(c);
        QByteArray data;
        QVERIFY(!CFtpTransfer::LoadBytes(*c, name, CFtpConnection::TYPE_BINARY, data));
        QString target = m_upLocal->filePath(QStringLiteral("target"));
        QVERIFY(!CFtpTransfer::LoadToFile(*c, name, CFtpConnection::TYPE_BINARY, target));
        QVERIFY(!QFileInfo::exists(target));
    }

    void lineBreaksCannotSmuggleCommands()
    {
        m_server->WriteFile(QStringLiteral("b"), "keep");
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(!c->CreateDirectory(QStringLiteral("a\r\nDELE b")));
        QVERIFY(!c->Rename(QStringLiteral("b"), QStringLiteral("c\nDELE b")));
        QCOMPARE(m_server->ReadFile(QStringLiteral("b")), QByteArray("keep"));
    }

    void loadToFileReplacesOnlyOnSuccess()
    {
        m_server->WriteFile(QStringLiteral("new.pl"), "new\n");
        QString target = m_upLocal->filePath(QStringLiteral("local.pl"));
        CFtpTestServer::WriteLocal(target, "old contents\n");
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(!CFtpTransfer::LoadToFile(*c, QStringLiteral("missing.pl"), CFtpConnection::TYPE_ASCII, target));
        QCOMPARE(CFtpTestServer::ReadLocal(target), QByteArray("old contents\n"));
        QVERIFY(CFtpTransfer::LoadToFile(*c, QStringLiteral("new.pl"), CFtpConnection::TYPE_ASCII, target));
        QCOMPARE(CFtpTestServer::ReadLocal(target), QByteArray("new\n"));
        QCOMPARE(QDir(m_upLocal->path()).entryList(QDir::Files), QStringList{QStringLiteral("local.pl")});
    }

    void activeModeFallsBackToPassive()
    {
        m_server->WriteFile(QStringLiteral("f.txt"), "data");
        CFtpConnectionParams p = Params();
        // The server refuses to connect to an address other than the client's, as a
        // firewall would keep it from connecting.
        p.m_strActiveAddress = QStringLiteral("127.0.0.2");
        CFtpConnection c(p);
        QVERIFY(c.Open());
        QVERIFY(!c.IsPassive());
        QByteArray got;
        CFtpResult r = CFtpTransfer::LoadBytes(c, QStringLiteral("f.txt"), CFtpConnection::TYPE_BINARY, got);
        QVERIFY2(r, qPrintable(r.m_strReason));
        QVERIFY(c.IsPassive());
        QCOMPARE(got, QByteArray("data"));
    }

    void serverStoppingMidTransferIsSaidAndLeavesTheLocalFile_data()
    {
        QTest::addColumn<bool>("bUpload");
        QTest::newRow("load") << false;
        QTest::newRow("put") << true;
    }

    void serverStoppingMidTransferIsSaidAndLeavesTheLocalFile()
    {
        QFETCH(bool, bUpload);
        m_server.reset(new CFtpTestServer);
        QVERIFY(m_server->Start(256 * 1024));
        const QByteArray big = RandomBytes(8 * 1024 * 1024);
        QString local = m_upLocal->filePath(QStringLiteral("big.bin"));
        if (bUpload)
            CFtpTestServer::WriteLocal(local, big);
        else {
            m_server->WriteFile(QStringLiteral("big.bin"), big);
            CFtpTestServer::WriteLocal(local, "previous");
        }
        auto c = OpenConnection();
        QVERIFY(c);
        CFtpResult r;
        std::thread worker([&] {
            r = bUpload ? CFtpTransfer::PutFile(*c, local, QStringLiteral("big.bin"), CFtpConnection::TYPE_BINARY)
                        : CFtpTransfer::LoadToFile(*c, QStringLiteral("big.bin"), CFtpConnection::TYPE_BINARY, local);
        });
        QTRY_VERIFY_WITH_TIMEOUT(c->BytesDone() > 0, 20000);
        m_server->Kill();
        worker.join();
        QVERIFY(!r);
        // What happened and how far it got, not the last thing libcurl tripped over.
        const QString total = QRegularExpression::escape(QLocale().toString(qint64(big.size())));
        const QString serverFile = bUpload ? QStringLiteral("\nThe file on the server may be incomplete\\.") : QString();
        QVERIFY2(QRegularExpression(QStringLiteral("^The connection to the server was lost after \\S+ of %1 bytes\\.%2$")
                                        .arg(total, serverFile))
                     .match(r.m_strReason)
                     .hasMatch(),
                 qPrintable(r.m_strReason));
        QCOMPARE(CFtpTestServer::ReadLocal(local), bUpload ? big : QByteArray("previous"));
        QCOMPARE(QDir(m_upLocal->path()).entryList(QDir::Files), QStringList{QStringLiteral("big.bin")});
    }

    void largeFileArrivesWhole()
    {
        // 200 MB written block by block; each block differs, so a lost or repeated
        // block shows in the hash.
        const int blocks = 200;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        {
            QFile f(m_server->PathOf(QStringLiteral("large.bin")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray block = RandomBytes(1024 * 1024);
            for (int i = 0; i < blocks; ++i) {
                std::memcpy(block.data(), &i, sizeof i);
                hash.addData(block);
                QCOMPARE(f.write(block), block.size());
            }
        }
        auto c = OpenConnection();
        QVERIFY(c);
        QString target = m_upLocal->filePath(QStringLiteral("large.bin"));
        QVERIFY(CFtpTransfer::LoadToFile(*c, QStringLiteral("large.bin"), CFtpConnection::TYPE_BINARY, target));
        QFile got(target);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.size(), qint64(blocks) * 1024 * 1024);
        QCryptographicHash gotHash(QCryptographicHash::Sha256);
        QVERIFY(gotHash.addData(&got));
        QCOMPARE(gotHash.result(), hash.result());
    }

    void cancelledUploadSaysTheServerFileMayBeIncomplete()
    {
        m_server.reset(new CFtpTestServer);
        QVERIFY(m_server->Start(256 * 1024));
        QString local = m_upLocal->filePath(QStringLiteral("up.bin"));
        CFtpTestServer::WriteLocal(local, RandomBytes(8 * 1024 * 1024));
        auto c = OpenConnection();
        QVERIFY(c);
        CFtpResult r;
        std::thread worker([&] { r = CFtpTransfer::PutFile(*c, local, QStringLiteral("up.bin"), CFtpConnection::TYPE_BINARY); });
        QTRY_VERIFY_WITH_TIMEOUT(c->BytesDone() > 0, 20000);
        c->Cancel();
        worker.join();
        QVERIFY(!r);
        QCOMPARE(r.m_strReason, QStringLiteral("Cancelled.\nThe file on the server may be incomplete."));
    }

    void cancelStopsATransfer()
    {
        m_server.reset(new CFtpTestServer);
        QVERIFY(m_server->Start(256 * 1024));
        m_server->WriteFile(QStringLiteral("big.bin"), RandomBytes(8 * 1024 * 1024));
        auto c = OpenConnection();
        QVERIFY(c);
        QByteArray got;
        CFtpResult r;
        std::thread worker([&] { r = CFtpTransfer::LoadBytes(*c, QStringLiteral("big.bin"), CFtpConnection::TYPE_BINARY, got); });
        QTRY_VERIFY_WITH_TIMEOUT(c->BytesDone() > 0, 20000);
        c->Cancel();
        worker.join();
        QVERIFY(!r);
        QCOMPARE(r.m_strReason, QStringLiteral("Cancelled."));
        QVERIFY(got.isEmpty());
    }

    void cancelStopsAConnectionAttempt()
    {
        // A listening socket that never answers: the login waits for the greeting.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        CFtpConnectionParams p = Params();
        p.m_nPort = silent.serverPort();
        CFtpConnection c(p);
        CFtpResult r;
        std::thread worker([&] { r = c.Open(); });
        QThread::msleep(300);
        c.Cancel();
        worker.join();
        QVERIFY(!r);
        QCOMPARE(r.m_strReason, QStringLiteral("Cancelled."));
    }

    // A server of another protocol is named at once, with what it said, instead of
    // being waited for until the connection's time is up.
    void foreignGreetingIsNamedAtOnce_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QString>("reason"); // %1: host and port
        QTest::newRow("SSH server") << QByteArray("SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n")
                                    << "%1 speaks SSH, not FTP. Its greeting was:\nSSH-2.0-OpenSSH_9.2p1 Debian-2\n"
                                       "For SFTP, choose the protocol SFTP (a host name of the form sftp://host).";
        QTest::newRow("server of an unknown protocol")
            << QByteArray("* OK IMAP4rev1 Service Ready\r\n")
            << "%1 does not speak FTP. Its greeting was:\n* OK IMAP4rev1 Service Ready\n"
               "Check the FTP host name and port number.";
        QTest::newRow("control characters are not shown")
            << QByteArray("\x1b[1mhello\x07\r\n")
            << QStringLiteral("%1 does not speak FTP. Its greeting was:\n\ufffd[1mhello\ufffd\n"
                              "Check the FTP host name and port number.");
    }
    void foreignGreetingIsNamedAtOnce()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(QString, reason);
        CScriptedServer server;
        server.SetGreeting(greeting);
        CFtpConnectionParams p = Params();
        p.m_nPort = server.Port();
        CFtpConnection c(p);
        QElapsedTimer clock;
        clock.start();
        CFtpResult r = OpenServingEvents(c);
        QVERIFY(!r);
        QCOMPARE(r.m_strReason, reason.arg(QStringLiteral("127.0.0.1 port %1").arg(server.Port())));
        // Well before the 29 seconds of the connection's own limit.
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(server.Received(), QByteArray());
    }

    // Only the first line of a reply has to look like one: the free text inside a
    // greeting of several lines is no reason to give up, and the login follows.
    void greetingOfSeveralLinesIsFtp()
    {
        CScriptedServer server;
        server.SetGreeting("220-Welcome\r\nSSH-2.0-looks like a banner\r\n* free text\r\n220 ready\r\n");
        CFtpConnectionParams p = Params();
        p.m_nPort = server.Port();
        p.m_nConnectTimeoutSec = 3;
        p.m_nStallTimeoutSec = 3;
        CFtpConnection c(p);
        CFtpResult r = OpenServingEvents(c);
        QVERIFY(!r);
        QVERIFY2(server.Received().startsWith("USER kestrel\r\n"), server.Received().constData());
        QVERIFY2(!r.m_strReason.contains(QLatin1String("FTP.")), qPrintable(r.m_strReason));
    }

    void connectionIsReusedAcrossCommands()
    {
        m_server->MakeDir(QStringLiteral("sub"));
        auto c = OpenConnection();
        QVERIFY(c);
        QVERIFY(c->SetCurrentDirectory(QStringLiteral("sub")));
        QVector<CFtpFileEntry> entries;
        QVERIFY(c->List(entries));
        bool loggedInAgain = false;
        for (const QByteArray &line : c->Replies())
            loggedInAgain |= line.startsWith("230");
        QVERIFY(!loggedInAgain);
    }
};

QTEST_GUILESS_MAIN(TestFtpConnection)
#include "tst_ftpconnection.moc"
