#include "server/RemoteProcess.h"
#include "server/SshConnection.h"

#include "SshBenchClient.h"
#include "SshTestServer.h"
#include "TestQuestions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kRounds = 7;
constexpr int kWaitMs = 30000;

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

CRemoteProcess::Plan MakePlan(const QString &script, const QByteArray &bytes)
{
    CRemoteProcess::Plan plan;
    plan.strPerl = QStringLiteral("/usr/bin/perl");
    plan.program = {plan.strPerl, script};
    plan.bUpload = true;
    plan.strUploadPath = script;
    plan.baUpload = bytes;
    return plan;
}

// Seconds from the start of a run on `connection` until its first output, or -1; the
// run is read to its end.
double Ours(const std::shared_ptr<CSshConnection> &connection, const CRemoteProcess::Plan &plan)
{
    auto process = std::make_shared<CRemoteProcess>(plan);
    QElapsedTimer timer;
    timer.start();
    if (!process->Start(connection))
        return -1;
    char buffer[256];
    double seconds = -1;
    QDeadlineTimer deadline(kWaitMs);
    for (;;) {
        const int n = process->StdOut()->ReadAvailable(buffer, sizeof buffer, 50);
        if (n > 0 && seconds < 0)
            seconds = timer.nsecsElapsed() / 1e9;
        if (n == CRedirectPipe::kEnd || deadline.hasExpired())
            break;
    }
    while (!process->HasEnded() && !deadline.hasExpired())
        QThread::msleep(1);
    if (process->GetExitCode() != 0) {
        std::fprintf(stderr, "run: %s\n", qPrintable(process->EndDescription()));
        return -1;
    }
    return seconds;
}

// Seconds from the start of `ssh host perl script` until its first output, or -1.
double OpenSsh(const CSshLogin &login, const QString &keyFile, const QString &script)
{
    QProcess ssh;
    const QStringList args = {
        QStringLiteral("-F"), QStringLiteral("/dev/null"),
        QStringLiteral("-o"), QStringLiteral("BatchMode=yes"),
        QStringLiteral("-o"), QStringLiteral("IdentitiesOnly=yes"),
        QStringLiteral("-o"), QStringLiteral("UserKnownHostsFile=") + login.strSshDir + QStringLiteral("/known_hosts"),
        QStringLiteral("-o"), QStringLiteral("GlobalKnownHostsFile=/dev/null"),
        QStringLiteral("-i"), keyFile,
        QStringLiteral("-p"), QString::number(login.nPort),
        login.strUser + QLatin1Char('@') + login.strHost, QStringLiteral("/usr/bin/perl"), script};
    QElapsedTimer timer;
    timer.start();
    ssh.start(QStringLiteral("ssh"), args);
    double seconds = -1;
    // `seconds` says whether output came; the wait's own answer adds nothing to it.
    (void)QTest::qWaitFor([&] {
        ssh.waitForReadyRead(1);
        if (ssh.bytesAvailable() > 0) {
            seconds = timer.nsecsElapsed() / 1e9;
            return true;
        }
        return ssh.state() == QProcess::NotRunning;
    }, kWaitMs);
    ssh.waitForFinished(kWaitMs);
    if (seconds < 0)
        std::fprintf(stderr, "ssh: %s\n", ssh.readAllStandardError().constData());
    return seconds;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CSshTestServer server;
    if (!server.Start()) {
        std::printf("remote run first output: failed (sshd did not start; it needs root)\n");
        return 1;
    }
    QTemporaryDir sshDir;
    const CSshLogin login = SshBenchLogin(server, sshDir);
    if (login.strSshDir.isEmpty())
        return 1;
    const QString key = SshBenchKey(sshDir);

    // The script is on the server already, as after the first run of a session: the
    // put compares and sends nothing.
    const QString script = server.PathOf(QStringLiteral("bench.pl"));
    const QByteArray bytes = "print \"ready\\n\";\n";
    CTestQuestions questions;
    {
        auto first = std::make_shared<CSshConnection>(login, &questions);
        if (Ours(first, MakePlan(script, bytes)) < 0) {
            std::printf("remote run first output: failed\n");
            return 1;
        }
    }
    QList<double> ours, theirs, kept;
    // Alternate, so that all meet the machine in the same state.
    for (int i = 0; i < kRounds; ++i) {
        auto connection = std::make_shared<CSshConnection>(login, &questions);
        ours << Ours(connection, MakePlan(script, bytes));
        kept << Ours(connection, MakePlan(script, bytes));
        theirs << OpenSsh(login, key, script);
    }
    if (ours.contains(-1) || theirs.contains(-1) || kept.contains(-1)) {
        std::printf("remote run first output: failed\n");
        return 1;
    }
    const double a = Median(ours), b = Median(theirs), c = Median(kept);
    std::printf("remote run first output: %.1f ms (%.2f x ssh host perl script at %.1f ms; target <= 1.2 x; median of %d)\n",
                a * 1000, a / b, b * 1000, kRounds);
    std::printf("remote run on the kept connection: %.1f ms (%.2f x the first run; target < 0.5 x; median of %d)\n",
                c * 1000, c / a, kRounds);
    return 0;
}
