#include "ScriptedServer.h"
#include "TestBytes.h"

#include "server/ServerSocket.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

class TestServerSocket : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void negotiationAnswered();
    void sequenceCutBetweenWrites();
    void loginPacedByPrompts();
    void linesAndInterrupt();
    void failedConnection_data();
    void failedConnection();
    void serverCloses_data();
    void serverCloses();
    void connectWhileConnectedClosesOld();
    void sendWithoutConnection();
    void longLineWithoutBreak();
    void textSplitInsideCharacter();
    void hostileBytes();
    void silentServerStillGetsLogin();
    void sequencesAcrossReadsInAFlood();

private:
    void ConnectSocket();

    CScriptedServer *m_pServer = nullptr;
    CServerSocket *m_pSocket = nullptr;
    QString m_strText;
};

void TestServerSocket::init()
{
    m_pServer = new CScriptedServer;
    QVERIFY(m_pServer->Port() != 0);
    m_pSocket = new CServerSocket;
    m_strText.clear();
    connect(m_pSocket, &CServerSocket::TextReceived, this, [this](const QString &s) { m_strText += s; });
}

void TestServerSocket::cleanup()
{
    delete m_pSocket;
    delete m_pServer;
}

void TestServerSocket::ConnectSocket()
{
    QSignalSpy connected(m_pSocket, &CServerSocket::Connected);
    m_pSocket->Connect(QStringLiteral("127.0.0.1"), m_pServer->Port());
    QVERIFY(m_pSocket->IsOpen());
    QTRY_COMPARE(connected.count(), 1);
    QTRY_COMPARE(m_pServer->Count(), 1);
}

void TestServerSocket::negotiationAnswered()
{
    ConnectSocket();
    m_pServer->Send(Bytes({255, 253, 24, 255, 250, 24, 1, 255, 240, 255, 251, 1, 255, 253, 31}) + "hello\r\n$ ");
    const QByteArray expected = Bytes({255, 251, 24, 255, 250, 24, 0, 'A', 'N', 'S', 'I', 255, 240, 255, 254, 1,
                                       255, 252, 31});
    QTRY_COMPARE(m_pServer->Received(), expected);
    QTRY_COMPARE(m_strText, QStringLiteral("hello\n$ "));
}

void TestServerSocket::sequenceCutBetweenWrites()
{
    ConnectSocket();
    m_pServer->Send(QByteArray("before ") + Bytes({255}));
    QTRY_COMPARE(m_strText, QStringLiteral("before "));
    m_pServer->Send(Bytes({251, 1}) + "after");
    QTRY_COMPARE(m_strText, QStringLiteral("before after"));
    QTRY_COMPARE(m_pServer->Received(), Bytes({255, 254, 1}));
}

void TestServerSocket::loginPacedByPrompts()
{
    ConnectSocket();
    m_pServer->Send("vm login: ");
    QTRY_COMPARE(m_strText, QStringLiteral("vm login: "));
    QVERIFY(m_pSocket->SendLogin(QStringLiteral("alice"), QStringLiteral("s3cret")));
    QVERIFY(m_pSocket->SendLine(QStringLiteral("cd /srv/www")));
    QTRY_COMPARE(m_pServer->Received(), QByteArray("alice\n"));
    m_pServer->Send("alice\r\nPassword: ");
    QTRY_COMPARE(m_pServer->Received(), QByteArray("alice\ns3cret\n"));
    m_pServer->Send("\r\nWelcome\r\n$ ");
    QTRY_COMPARE(m_pServer->Received(), QByteArray("alice\ns3cret\ncd /srv/www\n"));
    QVERIFY(!m_pSocket->IsLoggingIn());
    QVERIFY(m_pSocket->SendLine(QStringLiteral("ls -l")));
    QTRY_COMPARE(m_pServer->Received(), QByteArray("alice\ns3cret\ncd /srv/www\nls -l\n"));
}

void TestServerSocket::linesAndInterrupt()
{
    ConnectSocket();
    QVERIFY(m_pSocket->SendLine(QStringLiteral("sleep 100")));
    QVERIFY(m_pSocket->SendInterrupt());
    QVERIFY(m_pSocket->SendLine(QStringLiteral("caf\u00e9")));
    QTRY_COMPARE(m_pServer->Received(), QByteArray("sleep 100\n\xff\xf4" "caf\xc3\xa9\n"));
}

void TestServerSocket::failedConnection_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("reason");

    // A port that was just free and has no listener.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    QTest::newRow("refused") << QStringLiteral("127.0.0.1") << int(closedPort) << QStringLiteral("refused");
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.invalid") << 23 << QString();
    QTest::newRow("port out of range") << QStringLiteral("127.0.0.1") << 70000 << QStringLiteral("70000");
    QTest::newRow("negative port") << QStringLiteral("127.0.0.1") << -1 << QStringLiteral("-1");
}

void TestServerSocket::failedConnection()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, reason);

    QSignalSpy failed(m_pSocket, &CServerSocket::ConnectionFailed);
    QSignalSpy closed(m_pSocket, &CServerSocket::ConnectionClosed);
    m_pSocket->Connect(host, port);
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 20000);
    const QString said = failed.first().first().toString();
    QVERIFY2(!said.isEmpty(), "the failure carries the system's reason");
    QVERIFY2(said.contains(reason, Qt::CaseInsensitive), qPrintable(said));
    QVERIFY(!m_pSocket->IsOpen());
    QVERIFY(!m_pSocket->SendLine(QStringLiteral("ls")));
    QCOMPARE(closed.count(), 0);
}

void TestServerSocket::serverCloses_data()
{
    QTest::addColumn<QByteArray>("last");
    QTest::newRow("at once") << QByteArray();
    QTest::newRow("after text") << QByteArray("bye\r\n");
    QTest::newRow("in the middle of a sequence") << QByteArray("bye") + Bytes({255, 250});
}

void TestServerSocket::serverCloses()
{
    QFETCH(QByteArray, last);

    QSignalSpy closed(m_pSocket, &CServerSocket::ConnectionClosed);
    QSignalSpy failed(m_pSocket, &CServerSocket::ConnectionFailed);
    ConnectSocket();
    if (!last.isEmpty())
        m_pServer->Send(last);
    m_pServer->Connection()->disconnectFromHost();
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(m_strText, QString::fromLatin1(last.startsWith("bye") ? "bye" : "") + (last.endsWith("\r\n") ? "\n" : ""));
    QVERIFY(!m_pSocket->IsOpen());
    QVERIFY(!m_pSocket->SendLine(QStringLiteral("ls")));
}

void TestServerSocket::connectWhileConnectedClosesOld()
{
    QSignalSpy closed(m_pSocket, &CServerSocket::ConnectionClosed);
    ConnectSocket();
    QPointer<QTcpSocket> first = m_pServer->Connection(0);
    m_pSocket->Connect(QStringLiteral("127.0.0.1"), m_pServer->Port());
    QTRY_COMPARE(m_pServer->Count(), 2);
    // The server sees the first connection end.
    QTRY_VERIFY(!first || first->state() == QAbstractSocket::UnconnectedState);
    QVERIFY(m_pSocket->SendLine(QStringLiteral("second")));
    QTRY_COMPARE(m_pServer->Received(1), QByteArray("second\n"));
    QCOMPARE(m_pServer->Received(0), QByteArray());
    // The old connection's end is not taken for the new one's.
    QCOMPARE(closed.count(), 0);
    QVERIFY(m_pSocket->IsOpen());
}

void TestServerSocket::sendWithoutConnection()
{
    QVERIFY(!m_pSocket->IsOpen());
    QVERIFY(!m_pSocket->SendLine(QStringLiteral("ls")));
    QVERIFY(!m_pSocket->SendLogin(QStringLiteral("u"), QStringLiteral("p")));
    QVERIFY(!m_pSocket->SendInterrupt());
    ConnectSocket();
    m_pSocket->Close();
    QVERIFY(!m_pSocket->SendLine(QStringLiteral("ls")));
}

void TestServerSocket::longLineWithoutBreak()
{
    ConnectSocket();
    QByteArray line(1024 * 1024, 'x');
    for (qsizetype i = 0; i < line.size(); i += 1000)
        line[i] = 'y';
    m_pServer->Send(line);
    QTRY_COMPARE(m_strText.size(), line.size());
    QCOMPARE(m_strText.toLatin1(), line);
}

void TestServerSocket::textSplitInsideCharacter()
{
    ConnectSocket();
    m_pServer->Send("caf\xc3");
    QTRY_COMPARE(m_strText, QStringLiteral("caf"));
    m_pServer->Send("\xa9!");
    QTRY_COMPARE(m_strText, QStringLiteral("caf\u00e9!"));
}

void TestServerSocket::hostileBytes()
{
    QSignalSpy closed(m_pSocket, &CServerSocket::ConnectionClosed);
    ConnectSocket();
    QRandomGenerator random(4711);
    QByteArray noise(256 * 1024, Qt::Uninitialized);
    for (char &c : noise)
        c = char(random.bounded(256));
    // Ends inside a subnegotiation that never ends.
    noise += QByteArray("\xff\xfa\x18");
    m_pServer->Send(noise);
    m_pServer->Connection()->disconnectFromHost();
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(!m_strText.isEmpty());
    QVERIFY(!m_strText.contains(QChar(0x1b)));
}

// A server that accepts and never says a word still gets the whole login, step by
// step as each wait runs out.
void TestServerSocket::silentServerStillGetsLogin()
{
    ConnectSocket();
    QVERIFY(m_pSocket->SendLogin(QStringLiteral("u"), QStringLiteral("p")));
    QVERIFY(m_pSocket->SendLine(QStringLiteral("cd /d")));
    QTRY_COMPARE_WITH_TIMEOUT(m_pServer->Received(), QByteArray("u\np\ncd /d\n"), 15000);
    QVERIFY(!m_pSocket->IsLoggingIn());
}

// Megabytes of text with telnet sequences everywhere: wherever the reads cut the
// stream, every sequence is taken out whole and answered once, and all text is kept.
void TestServerSocket::sequencesAcrossReadsInAFlood()
{
    ConnectSocket();
    QRandomGenerator random(1234);
    const QByteArray sequences[] = {Bytes({255, 253, 24}), Bytes({255, 251, 1}), Bytes({255, 252, 3}),
                                    Bytes({255, 250, 24, 1, 255, 240}), Bytes({255, 255})};
    const QByteArray answers[] = {Bytes({255, 251, 24}), Bytes({255, 254, 1}), QByteArray(),
                                  CTelnetFilter::TerminalTypeAnswer(), QByteArray()};
    QByteArray stream;
    QByteArray text;
    QByteArray replies;
    stream.reserve(6 * 1024 * 1024);
    int nLine = 0;
    while (stream.size() < 5 * 1024 * 1024) {
        const int kind = int(random.bounded(5));
        stream += sequences[kind];
        replies += answers[kind];
        if (kind == 4)
            text += char(255);
        const QByteArray words = QByteArray::number(nLine++) + QByteArray(int(random.bounded(8)), 'w');
        stream += words + "\r\n";
        text += words + "\n";
    }
    m_pServer->Send(stream);
    QTRY_VERIFY_WITH_TIMEOUT(m_strText.size() >= text.size(), 60000);
    QCOMPARE(m_strText.size(), text.size());
    QVERIFY(m_strText == QString::fromLatin1(text));
    QTRY_COMPARE_WITH_TIMEOUT(m_pServer->Received().size(), replies.size(), 30000);
    QVERIFY(m_pServer->Received() == replies);
}

QTEST_MAIN(TestServerSocket)
#include "tst_serversocket.moc"
