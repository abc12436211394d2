#include "run/CgiResponseParser.h"
#include "run/CgiWebServer.h"
#include "run/HttpRequestParser.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(CCgiResponseParser::Kind)

namespace {

struct CReply
{
    int nStatus = 0;
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;
    QByteArray raw;
};

CReply Ask(int port, const QByteArray &request)
{
    QTcpSocket socket;
    QByteArray all;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] { all += socket.readAll(); });
    QSignalSpy closed(&socket, &QTcpSocket::disconnected);
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    closed.wait(60000);
    all += socket.readAll();
    CReply r;
    r.raw = all;
    const qsizetype end = all.indexOf("\r\n\r\n");
    if (end < 0)
        return r;
    QList<QByteArray> lines = all.left(end).split('\n');
    const QList<QByteArray> first = lines.takeFirst().trimmed().split(' ');
    r.nStatus = first.size() > 1 ? first[1].toInt() : 0;
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        r.headers.insert(line.left(colon).toLower(), line.mid(colon + 1).trimmed());
    }
    r.body = all.mid(end + 4);
    return r;
}

// The Host and Cookie header fields of the server's own window, or of a stranger's.
QByteArray g_baOwner;

QByteArray Get(const QByteArray &target, const QByteArray &fields = g_baOwner)
{
    return "GET " + target + " HTTP/1.1\r\n" + fields + "\r\n";
}

QByteArray Post(const QByteArray &target, const QByteArray &type, const QByteArray &body,
                const QByteArray &fields = g_baOwner)
{
    return "POST " + target + " HTTP/1.1\r\n" + fields + "Content-Type: " + type
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray OwnerFields(const CCgiWebServer &server)
{
    return "Host: 127.0.0.1:" + QByteArray::number(server.Port()) + "\r\nCookie: " + server.Access().CookieName() + '='
        + server.Access().Secret() + "\r\n";
}

} // namespace

class TestCgiWebServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formPostsToItself();
    void environmentOfARequest();
    void redirects_data();
    void redirects();
    void multipartUpload();
    void staticFileBesideTheScript();
    void dyingScriptIsLogged();
    void scriptWithoutHeader();
    void hangingScriptIsStopped();
    void nothingOutsideTheFolder_data();
    void nothingOutsideTheFolder();
    void badRequests_data();
    void badRequests();
    void listensOnLoopbackOnly();
    void editedScriptRunsOnReload();
    void interpreterMissing();
    void responseParser_data();
    void responseParser();
    void requestInPieces();

private:
    QString Write(const QString &name, const QByteArray &text);

    QTemporaryDir m_outer;
    QString m_strRoot;
    QString m_strPerl;
    std::unique_ptr<CCgiWebServer> m_upServer;
    QStringList m_log;
};

void TestCgiWebServer::initTestCase()
{
    QVERIFY(m_outer.isValid());
    m_strPerl = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QVERIFY(!m_strPerl.isEmpty());
    m_strRoot = m_outer.filePath(QStringLiteral("site root"));
    QDir().mkpath(m_strRoot);
    QFile secret(m_outer.filePath(QStringLiteral("secret.txt")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("not for the browser\n");
}

void TestCgiWebServer::init()
{
    m_log.clear();
    m_upServer = std::make_unique<CCgiWebServer>(m_strRoot, m_strPerl);
    connect(m_upServer.get(), &CCgiWebServer::RequestLogged, this, [this](const QString &e) { m_log << e; });
    QString reason;
    QVERIFY2(m_upServer->Start(&reason), qPrintable(reason));
    g_baOwner = OwnerFields(*m_upServer);
}

void TestCgiWebServer::cleanup() { m_upServer.reset(); }

QString TestCgiWebServer::Write(const QString &name, const QByteArray &text)
{
    QString path = QDir(m_strRoot).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

void TestCgiWebServer::formPostsToItself()
{
    Write(QStringLiteral("form.pl"), R"(use CGI; my $q = CGI->new; print $q->header;
print "<form method='post' action='", $q->url(-absolute => 1), "'><input name='name'></form>\n";
print "Hello ", scalar $q->param('name'), "\n" if defined $q->param('name');
)");
    CReply page = Ask(m_upServer->Port(), Get("/form.pl"));
    QCOMPARE(page.nStatus, 200);
    QVERIFY2(page.body.contains("action='/form.pl'"), page.raw.constData());
    QVERIFY(!page.body.contains("Hello"));
    CReply posted = Ask(m_upServer->Port(), Post("/form.pl", "application/x-www-form-urlencoded", "name=Alice+B"));
    QCOMPARE(posted.nStatus, 200);
    QVERIFY2(posted.body.contains("Hello Alice B\n"), posted.raw.constData());
    QVERIFY(posted.headers.value("content-type").startsWith("text/html"));
    QVERIFY2(m_log.last().startsWith("POST /form.pl -> 200, exit code 0"), qPrintable(m_log.last()));
}

void TestCgiWebServer::environmentOfARequest()
{
    Write(QStringLiteral("bin/env.cgi"), "print \"Content-Type: text/plain\\n\\n\"; print \"$_=$ENV{$_}\\n\" for sort keys %ENV;\n");
    CReply r = Ask(m_upServer->Port(), "GET /bin/env.cgi/more/path?a=1&b=%20 HTTP/1.1\r\nHost: 127.0.0.1:"
                                           + QByteArray::number(m_upServer->Port()) + "\r\nCookie: id=7; "
                                           + m_upServer->Access().CookieName() + '=' + m_upServer->Access().Secret()
                                           + "\r\nProxy: http://evil:1\r\n\r\n");
    QCOMPARE(r.nStatus, 200);
    const QByteArray port = QByteArray::number(m_upServer->Port());
    for (const QByteArray &line :
         {QByteArray("REQUEST_METHOD=GET"), QByteArray("QUERY_STRING=a=1&b=%20"), QByteArray("PATH_INFO=/more/path"),
          "PATH_TRANSLATED=" + m_strRoot.toUtf8() + "/more/path", QByteArray("SCRIPT_NAME=/bin/env.cgi"),
          "SCRIPT_FILENAME=" + m_strRoot.toUtf8() + "/bin/env.cgi", "SERVER_PORT=" + port,
          "HTTP_HOST=127.0.0.1:" + port, QByteArray("HTTP_COOKIE=id=7"),
          QByteArray("REQUEST_URI=/bin/env.cgi/more/path?a=1&b=%20"), QByteArray("GATEWAY_INTERFACE=CGI/1.1"),
          "DOCUMENT_ROOT=" + m_strRoot.toUtf8(), QByteArray("SERVER_NAME=localhost"),
          QByteArray("REMOTE_ADDR=127.0.0.1"), QByteArray("SERVER_PROTOCOL=HTTP/1.1")})
        QVERIFY2(r.body.contains(line + '\n'), qPrintable(QString::fromUtf8(line + "\n---\n" + r.body)));
    QVERIFY(!r.body.contains("HTTP_PROXY="));
    QVERIFY(!r.body.contains("CONTENT_LENGTH="));
    // The server's own secret never reaches a script.
    QVERIFY(!r.body.contains(m_upServer->Access().Secret()));
}

void TestCgiWebServer::redirects_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("local redirect followed on the server")
        << QByteArray("print \"Location: /target.pl?from=redirect\\n\\n\";") << 200 << QByteArray()
        << QByteArray("target GET from=redirect");
    QTest::newRow("client redirect sent to the browser")
        << QByteArray("print \"Location: http://example.org/next\\n\\n\";") << 302
        << QByteArray("http://example.org/next") << QByteArray();
    QTest::newRow("client redirect with its own status")
        << QByteArray("print \"Status: 301 Moved\\nLocation: /target.pl\\n\\n\";") << 301 << QByteArray("/target.pl")
        << QByteArray();
    QTest::newRow("status and extra header passed on")
        << QByteArray("print \"Status: 404 Nothing here\\nX-Extra: yes\\nContent-Type: text/plain\\n\\ngone\";") << 404
        << QByteArray() << QByteArray("gone");
}

void TestCgiWebServer::redirects()
{
    QFETCH(QByteArray, script);
    QFETCH(int, status);
    QFETCH(QByteArray, location);
    QFETCH(QByteArray, body);
    Write(QStringLiteral("target.pl"), "print \"Content-Type: text/plain\\n\\ntarget $ENV{REQUEST_METHOD} $ENV{QUERY_STRING}\";\n");
    Write(QStringLiteral("redirect.pl"), script);
    CReply r = Ask(m_upServer->Port(), Post("/redirect.pl", "application/x-www-form-urlencoded", "x=1"));
    QCOMPARE(r.nStatus, status);
    QCOMPARE(r.headers.value("location"), location);
    QCOMPARE(r.body, body);
    if (status == 404)
        QCOMPARE(r.headers.value("x-extra"), QByteArray("yes"));
    if (location.isEmpty() && status == 200)
        QVERIFY2(m_log.first().contains("POST /redirect.pl -> local redirect to /target.pl?from=redirect"),
                 qPrintable(m_log.join('\n')));
}

void TestCgiWebServer::multipartUpload()
{
    Write(QStringLiteral("upload.pl"), R"(use CGI; use Digest::MD5 qw(md5_hex); my $q = CGI->new;
my $fh = $q->upload('file'); local $/; my $data = <$fh>;
print $q->header('text/plain'), "name=", scalar $q->param('file'), " size=", length($data), " md5=", md5_hex($data),
  " note=", scalar $q->param('note'), "\n";
)");
    QByteArray data;
    for (int i = 0; i < 70000; ++i)
        data += char(i * 7 % 256);
    const QByteArray boundary = "----KestrelBoundary42";
    QByteArray body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhi there\r\n--"
        + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"blob.bin\"\r\n"
                     "Content-Type: application/octet-stream\r\n\r\n"
        + data + "\r\n--" + boundary + "--\r\n";
    CReply r = Ask(m_upServer->Port(), Post("/upload.pl", "multipart/form-data; boundary=" + boundary, body));
    QCOMPARE(r.nStatus, 200);
    const QByteArray md5 = QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
    QCOMPARE(r.body, "name=blob.bin size=70000 md5=" + md5 + " note=hi there\n");
}

void TestCgiWebServer::staticFileBesideTheScript()
{
    const QByteArray png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
    Write(QStringLiteral("images/dot.png"), png);
    CReply r = Ask(m_upServer->Port(), Get("/images/dot.png"));
    QCOMPARE(r.nStatus, 200);
    QCOMPARE(r.headers.value("content-type"), QByteArray("image/png"));
    QCOMPARE(r.body, png);
    CReply missing = Ask(m_upServer->Port(), Get("/images/none.png"));
    QCOMPARE(missing.nStatus, 404);
    CReply listing = Ask(m_upServer->Port(), Get("/images/"));
    QCOMPARE(listing.nStatus, 200);
    QVERIFY(listing.body.contains("href=\"dot.png\""));
}

void TestCgiWebServer::dyingScriptIsLogged()
{
    Write(QStringLiteral("dies.pl"), "warn \"about to fail\\n\"; die \"broken here\\n\";\n");
    CReply r = Ask(m_upServer->Port(), Get("/dies.pl"));
    QCOMPARE(r.nStatus, 500);
    QVERIFY2(r.body.contains("The script failed (exit code 255)"), r.body.constData());
    QVERIFY(!m_log.isEmpty());
    QVERIFY2(m_log.last().startsWith("GET /dies.pl -> 500, exit code 255, "), qPrintable(m_log.last()));
    QVERIFY(m_log.last().contains("about to fail\nbroken here"));
}

void TestCgiWebServer::scriptWithoutHeader()
{
    Write(QStringLiteral("noheader.pl"), "print \"just <text>\\n\";\n");
    CReply r = Ask(m_upServer->Port(), Get("/noheader.pl"));
    QCOMPARE(r.nStatus, 500);
    QVERIFY2(r.body.contains("no valid CGI header block"), r.body.constData());
    QVERIFY(r.body.contains("just &lt;text&gt;"));
}

void TestCgiWebServer::hangingScriptIsStopped()
{
    m_upServer->SetScriptLimit(700);
    Write(QStringLiteral("hangs.pl"), "$| = 1; print \"Content-Type: text/plain\\n\\nstarted\"; "
                                      "if (fork() == 0) { sleep 120; exit } sleep 120;\n");
    CReply r = Ask(m_upServer->Port(), Get("/hangs.pl"));
    QCOMPARE(r.nStatus, 504);
    QVERIFY2(r.body.contains("The script ran longer than 0.7 s and was stopped."), r.body.constData());
    QVERIFY(m_log.last().contains("stopped after 0.7 s"));
}

void TestCgiWebServer::nothingOutsideTheFolder_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("../") << QByteArray("/../secret.txt");
    QTest::newRow("encoded dots") << QByteArray("/%2e%2e/secret.txt");
    QTest::newRow("encoded slash") << QByteArray("/images/..%2F..%2Fsecret.txt");
    QTest::newRow("dots after a folder") << QByteArray("/images/../../secret.txt");
    QTest::newRow("symbolic link out") << QByteArray("/outside.txt");
    QTest::newRow("symbolic link to a folder out") << QByteArray("/up/secret.txt");
}

void TestCgiWebServer::nothingOutsideTheFolder()
{
    QFETCH(QByteArray, target);
    QDir().mkpath(QDir(m_strRoot).filePath(QStringLiteral("images")));
    QFile::link(m_outer.filePath(QStringLiteral("secret.txt")), QDir(m_strRoot).filePath(QStringLiteral("outside.txt")));
    QFile::link(m_outer.path(), QDir(m_strRoot).filePath(QStringLiteral("up")));
    CReply r = Ask(m_upServer->Port(), Get(target));
    QCOMPARE(r.nStatus, 403);
    QVERIFY(!r.raw.contains("not for the browser"));
}

void TestCgiWebServer::badRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("not HTTP") << QByteArray("hello there\r\n\r\n") << 400;
    QTest::newRow("relative target") << QByteArray("GET secret.txt HTTP/1.1\r\nOWNER\r\n") << 400;
    QTest::newRow("HTTP/2 request line") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 505;
    QTest::newRow("chunked body") << QByteArray("POST /x.pl HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n") << 501;
    QTest::newRow("bad length") << QByteArray("POST /x.pl HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << 400;
    QTest::newRow("static file posted to") << Post("/images/dot.png", "text/plain", "x", "OWNER") << 405;
}

void TestCgiWebServer::badRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    CReply r = Ask(m_upServer->Port(), request.replace("OWNER", g_baOwner));
    QCOMPARE(r.nStatus, status);
}

void TestCgiWebServer::listensOnLoopbackOnly()
{
    QHostAddress other;
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (!a.isLoopback() && a.protocol() == QAbstractSocket::IPv4Protocol)
            other = a;
    if (other.isNull())
        QSKIP("This machine has no address but loopback to try.");
    QTcpSocket socket;
    socket.connectToHost(other, m_upServer->Port());
    QVERIFY(!socket.waitForConnected(3000));
    QCOMPARE(Ask(m_upServer->Port(), Get("/images/dot.png")).nStatus, 200);
}

void TestCgiWebServer::editedScriptRunsOnReload()
{
    Write(QStringLiteral("edit.pl"), "print \"Content-Type: text/plain\\n\\nfirst\";");
    QCOMPARE(Ask(m_upServer->Port(), Get("/edit.pl")).body, QByteArray("first"));
    Write(QStringLiteral("edit.pl"), "print \"Content-Type: text/plain\\n\\nsecond\";");
    QCOMPARE(Ask(m_upServer->Port(), Get("/edit.pl")).body, QByteArray("second"));
}

void TestCgiWebServer::interpreterMissing()
{
    Write(QStringLiteral("any.pl"), "print \"Content-Type: text/plain\\n\\nx\";");
    CCgiWebServer server(m_strRoot, m_outer.filePath(QStringLiteral("no such perl")));
    QStringList log;
    connect(&server, &CCgiWebServer::RequestLogged, this, [&log](const QString &e) { log << e; });
    QVERIFY(server.Start());
    CReply r = Ask(server.Port(), Get("/any.pl", OwnerFields(server)));
    QCOMPARE(r.nStatus, 500);
    QVERIFY2(r.body.contains("no such perl"), r.body.constData());
    QVERIFY2(!log.isEmpty() && log.last().contains("GET /any.pl -> 500, not started"), qPrintable(log.join('\n')));
}

void TestCgiWebServer::responseParser_data()
{
    using K = CCgiResponseParser::Kind;
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<K>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("LF line ends") << QByteArray("Content-Type: text/plain\n\nbody\n") << K::Document << 200
                                  << QByteArray("body\n");
    QTest::newRow("CR LF line ends, blank line kept in the body")
        << QByteArray("Content-type: text/html\r\n\r\n\r\nx") << K::Document << 200 << QByteArray("\r\nx");
    QTest::newRow("status with reason") << QByteArray("Status: 418 Teapot\nContent-Type: text/plain\n\n") << K::Document
                                        << 418 << QByteArray();
    QTest::newRow("local redirect") << QByteArray("Location: /a.pl\n\n") << K::LocalRedirect << 200 << QByteArray();
    QTest::newRow("client redirect") << QByteArray("Location: https://x.org/\n\n") << K::ClientRedirect << 302
                                     << QByteArray();
    QTest::newRow("nothing printed") << QByteArray() << K::Invalid << 200 << QByteArray();
    QTest::newRow("no blank line") << QByteArray("Content-Type: text/plain\nhello") << K::Invalid << 200 << QByteArray();
    QTest::newRow("text before a header") << QByteArray("hello\nContent-Type: text/plain\n\n") << K::Invalid << 200
                                          << QByteArray();
    QTest::newRow("no content type") << QByteArray("X-A: b\n\nbody") << K::Invalid << 200 << QByteArray();
    QTest::newRow("status not three digits") << QByteArray("Status: 20\nContent-Type: text/plain\n\n") << K::Invalid
                                             << 200 << QByteArray();
    QTest::newRow("relative location") << QByteArray("Location: other.pl?done=1\n\n") << K::ClientRedirect << 302
                                       << QByteArray();
    QTest::newRow("relative location with its status")
        << QByteArray("Status: 303 See Other\nLocation: ../app.pl\n\n") << K::ClientRedirect << 303 << QByteArray();
}

void TestCgiWebServer::responseParser()
{
    QFETCH(QByteArray, output);
    QFETCH(CCgiResponseParser::Kind, kind);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    CCgiResponseParser r = CCgiResponseParser::Parse(output);
    QCOMPARE(r.m_kind, kind);
    if (kind == CCgiResponseParser::Kind::Invalid) {
        QVERIFY(!r.m_strError.isEmpty());
        return;
    }
    QCOMPARE(r.m_nStatus, status);
    QCOMPARE(r.m_baBody, body);
    QCOMPARE(r.m_bRelativeLocation, QByteArray(QTest::currentDataTag()).startsWith("relative"));
}

void TestCgiWebServer::requestInPieces()
{
    const QByteArray request = "POST /a.pl?x=1 HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n\r\nabcdeEXTRA";
    CHttpRequestParser parser;
    for (int i = 0; i < request.size() - 6; ++i)
        QCOMPARE(parser.Feed(request.mid(i, 1)), CHttpRequestParser::State::Incomplete);
    QCOMPARE(parser.Feed(request.right(6)), CHttpRequestParser::State::Complete);
    QCOMPARE(parser.m_baMethod, QByteArray("POST"));
    QCOMPARE(parser.m_baTarget, QByteArray("/a.pl?x=1"));
    QCOMPARE(parser.Header("host"), QByteArray("h"));
    QCOMPARE(parser.m_baBody, QByteArray("abcde"));
}


QTEST_GUILESS_MAIN(TestCgiWebServer)
#include "test_cgiwebserver.moc"
