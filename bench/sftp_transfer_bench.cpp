#include "BestOfRounds.h"
#include "server/FtpConnection.h"
#include "server/FtpTransfer.h"

#include "SshTestServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace {

const qint64 kFileSize = 100LL * 1024 * 1024;
const int kRounds = 3;

double Best(const std::function<bool()> &run) { return BestOfRounds(kRounds, run); }

void Report(const char *name, double ours, double sftp)
{
    if (ours < 0 || sftp < 0) {
        std::printf("%s: failed\n", name);
        return;
    }
    const double mbOurs = kFileSize / 1048576.0 / ours;
    const double mbSftp = kFileSize / 1048576.0 / sftp;
    std::printf("%s: %.1f MB/s (%.2f x OpenSSH sftp at %.1f MB/s)\n", name, mbOurs, mbOurs / mbSftp, mbSftp);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (::geteuid() != 0) {
        std::printf("sftp bench: needs root to start sshd\n");
        return 1;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // A home of our own: the key and known_hosts the login uses, for both clients.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("SSH_AUTH_SOCK");
    CSshTestServer server;
    if (!server.Start()) {
        std::printf("sshd: failed to start\n");
        return 1;
    }
    server.TrustInHome();
    const QString key = home.filePath(QStringLiteral(".ssh/id_ed25519"));
    QFile::copy(server.KeyFile(), key);
    QFile::setPermissions(key, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

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
    const QString remote = server.PathOf(QStringLiteral("big.bin"));
    QFile::copy(source, remote);
    QProcess::execute(QStringLiteral("chown"), {server.User(), remote});

    CFtpConnectionParams params;
    params.m_strHost = QStringLiteral("sftp://127.0.0.1");
    params.m_nPort = server.Port();
    params.m_strUser = server.User();
    const QString target = local.filePath(QStringLiteral("target.bin"));

    // Each round logs in anew, as each sftp run does.
    auto ours = [&](const std::function<CFtpResult(CFtpConnection &)> &transfer) {
        CFtpConnection connection(params);
        CFtpResult r = connection.Open();
        if (r)
            r = connection.SetCurrentDirectory(server.Files());
        if (r)
            r = transfer(connection);
        if (!r)
            std::printf("  (%s)\n", qPrintable(r.m_strReason));
        return bool(r);
    };
    auto sftp = [&](const QByteArray &batch) {
        QProcess p;
        p.start(QStringLiteral("sftp"),
                {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-"), QStringLiteral("-i"), key,
                 QStringLiteral("-o"), QStringLiteral("BatchMode=yes"), QStringLiteral("-o"),
                 QStringLiteral("IdentitiesOnly=yes"), QStringLiteral("-o"),
                 // ssh reads the home folder of the user's account, not $HOME.
                 QStringLiteral("UserKnownHostsFile=") + home.filePath(QStringLiteral(".ssh/known_hosts")),
                 QStringLiteral("-P"), QString::number(server.Port()),
                 server.User() + QStringLiteral("@127.0.0.1")});
        p.write(batch);
        p.closeWriteChannel();
        const bool ok = p.waitForFinished(600000) && p.exitCode() == 0;
        if (!ok)
            std::printf("  (sftp: %s)\n", p.readAllStandardError().constData());
        return ok;
    };

    double mine = Best([&] {
        return ours([&](CFtpConnection &c) {
            return CFtpTransfer::LoadToFile(c, QStringLiteral("big.bin"), CFtpConnection::TYPE_BINARY, target);
        });
    });
    double theirs = Best([&] { return sftp(("get " + remote + ' ' + target + '\n').toUtf8()); });
    Report("sftp download 100 MB", mine, theirs);

    mine = Best([&] {
        return ours([&](CFtpConnection &c) {
            return CFtpTransfer::PutFile(c, source, QStringLiteral("up.bin"), CFtpConnection::TYPE_BINARY);
        });
    });
    theirs = Best([&] { return sftp(("put " + source + ' ' + server.PathOf(QStringLiteral("up2.bin")) + '\n').toUtf8()); });
    Report("sftp upload 100 MB", mine, theirs);
    curl_global_cleanup();
    return 0;
}
