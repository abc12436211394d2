#include "BestOfRounds.h"
#include "server/FtpConnection.h"
#include "server/FtpTransfer.h"
#include "server/FtpWorker.h"

#include "FtpTestServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <cstdio>
#include <functional>

namespace {

const qint64 kFileSize = 100LL * 1024 * 1024;
const int kRounds = 3;

double Best(const std::function<bool()> &run) { return BestOfRounds(kRounds, run); }

bool Curl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("curl"), args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

void Report(const char *name, double ours, double curl, bool throughput)
{
    if (ours < 0 || curl < 0) {
        std::printf("%s: failed\n", name);
        return;
    }
    if (throughput) {
        double mbOurs = kFileSize / 1048576.0 / ours;
        double mbCurl = kFileSize / 1048576.0 / curl;
        std::printf("%s: %.1f MB/s (%.2f x curl at %.1f MB/s)\n", name, mbOurs, mbOurs / mbCurl, mbCurl);
    } else {
        std::printf("%s: %.1f ms (%.2f x curl at %.1f ms)\n", name, ours * 1000, ours / curl, curl * 1000);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CFtpTestServer server;
    if (!server.Start()) {
        std::printf("ftp server: failed to start\n");
        return 1;
    }
    QTemporaryDir local;
    const QString source = local.filePath(QStringLiteral("source.bin"));
    {
        QFile f(source);
        f.open(QIODevice::WriteOnly);
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        QRandomGenerator gen(1);
        for (qint64 done = 0; done < kFileSize; done += block.size()) {
            for (int i = 0; i < block.size(); i += 4)
                *reinterpret_cast<quint32 *>(block.data() + i) = gen.generate();
            f.write(block);
        }
    }
    QFile::copy(source, server.PathOf(QStringLiteral("big.bin")));

    CFtpConnectionParams params;
    params.m_strHost = QStringLiteral("127.0.0.1");
    params.m_nPort = server.Port();
    params.m_strUser = QString::fromLatin1(CFtpTestServer::kUser);
    params.m_strPassword = QString::fromLatin1(CFtpTestServer::kPassword);
    CFtpConnection connection(params);
    if (!connection.Open()) {
        std::printf("ftp login: failed\n");
        return 1;
    }

    const QString url = QStringLiteral("ftp://127.0.0.1:%1/").arg(server.Port());
    const QString user = QStringLiteral("%1:%2").arg(QLatin1String(CFtpTestServer::kUser),
                                                    QLatin1String(CFtpTestServer::kPassword));
    const QString target = local.filePath(QStringLiteral("target.bin"));

    double ours = Best([&] {
        return bool(CFtpTransfer::LoadToFile(connection, QStringLiteral("big.bin"), CFtpConnection::TYPE_BINARY, target));
    });
    double curl = Best([&] {
        return Curl({QStringLiteral("-s"), QStringLiteral("-u"), user, QStringLiteral("-o"), target,
                     url + QStringLiteral("big.bin")});
    });
    Report("ftp download 100 MB", ours, curl, true);

    ours = Best([&] {
        return bool(CFtpTransfer::PutFile(connection, source, QStringLiteral("up.bin"), CFtpConnection::TYPE_BINARY));
    });
    curl = Best([&] {
        return Curl({QStringLiteral("-s"), QStringLiteral("-u"), user, QStringLiteral("-T"), source,
                     url + QStringLiteral("up2.bin")});
    });
    Report("ftp upload 100 MB", ours, curl, true);

    // A port where nothing listens: the socket was bound and closed again.
    int closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closedPort = probe.serverPort();
    }
    params.m_nPort = closedPort;
    ours = Best([&] {
        CFtpConnection refused(params);
        // The same way as the command: on a worker while the window waits.
        CFtpResult r = CFtpWorker::Run([&] { return refused.Open(); }, 1000, [] {});
        return !r;
    });
    curl = Best([&] {
        QProcess p;
        p.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("ftp://127.0.0.1:%1/").arg(closedPort)});
        return p.waitForFinished(60000);
    });
    Report("refused connection reported", ours, curl, false);
    curl_global_cleanup();
    return 0;
}
