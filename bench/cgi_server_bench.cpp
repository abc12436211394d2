// Requests per second of Run in Browser's server for a minimal CGI script (a header and
// one line), against busybox httpd serving the same script from the same folder in the
// same run. Each request is a new connection, as a browser's page loads are for a
// server that closes after each answer; one client, then four at once. The requests
// carry the window's cookie, which our server checks and busybox ignores.
#include "web/CgiWebServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int kRequests = 300;

// The Host and Cookie fields of the server's own window (busybox ignores them).
std::string g_fields = "Host: 127.0.0.1\r\n";

// One GET over a fresh connection; true when the answer is a 200 with the line.
bool Fetch(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(quint16(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    const std::string request = "GET /cgi-bin/hello.pl HTTP/1.0\r\n" + g_fields + "\r\n";
    if (::send(fd, request.data(), request.size(), 0) != ssize_t(request.size())) {
        ::close(fd);
        return false;
    }
    std::string all;
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
        all.append(buf, size_t(n));
    ::close(fd);
    return all.compare(0, 12, "HTTP/1.1 200") == 0 || all.compare(0, 12, "HTTP/1.0 200") == 0
        ? all.find("hello from cgi") != std::string::npos
        : false;
}

// Requests per second with `clients` clients each making their share; the event loop
// of this thread keeps running for our server meanwhile. Negative when a request failed.
double Measure(int port, int clients)
{
    std::atomic<int> failures{0};
    std::atomic<int> running{clients};
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            for (int i = c; i < kRequests; i += clients)
                if (!Fetch(port))
                    ++failures;
            if (--running == 0)
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    }
    loop.exec();
    for (std::thread &t : threads)
        t.join();
    const double seconds = timer.nsecsElapsed() / 1e9;
    return failures > 0 ? -1 : kRequests / seconds;
}

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString perl = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("cgi-bin")));
    const QString script = dir.filePath(QStringLiteral("cgi-bin/hello.pl"));
    QFile f(script);
    if (perl.isEmpty() || !f.open(QIODevice::WriteOnly)) {
        std::printf("cgi server requests: failed (no perl or no temporary folder)\n");
        return 1;
    }
    f.write("#!" + perl.toUtf8() + "\nprint \"Content-Type: text/plain\\r\\n\\r\\nhello from cgi\\n\";\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);

    CCgiWebServer server(dir.path(), perl);
    QString reason;
    if (!server.Start(&reason)) {
        std::printf("cgi server requests: failed (%s)\n", qPrintable(reason));
        return 1;
    }
    // Both get the same request, with the window's secret, as the window sends it.
    g_fields = "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\nCookie: "
        + server.Access().CookieName().toStdString() + '=' + server.Access().Secret().toStdString() + "\r\n";
    QProcess busybox;
    const int bbPort = FreePort();
    busybox.start(QStringLiteral("busybox"), {QStringLiteral("httpd"), QStringLiteral("-f"), QStringLiteral("-p"),
                                              QStringLiteral("127.0.0.1:%1").arg(bbPort), QStringLiteral("-h"),
                                              dir.path()});
    bool bReady = busybox.waitForStarted(5000);
    for (int i = 0; bReady && i < 100 && !Fetch(bbPort); ++i)
        QThread::msleep(50);
    if (!bReady || !Fetch(bbPort)) {
        std::printf("cgi server requests: failed (busybox httpd did not serve; package busybox-static)\n");
        return 1;
    }
    Measure(server.Port(), 1); // warms the caches of both, perl's files included
    for (int clients : {1, 4}) {
        const double ours = Measure(server.Port(), clients);
        const double theirs = Measure(bbPort, clients);
        if (ours < 0 || theirs < 0) {
            std::printf("cgi server requests per second, %d client%s: failed\n", clients, clients > 1 ? "s" : "");
            continue;
        }
        std::printf("cgi server requests per second, %d client%s: %.0f req/s (%.2f x busybox httpd at %.0f req/s; "
                    "target at least 0.8 x)\n",
                    clients, clients > 1 ? "s" : "", ours, ours / theirs, theirs);
        std::fflush(stdout);
    }
    busybox.terminate();
    busybox.waitForFinished(3000);
    return 0;
}
