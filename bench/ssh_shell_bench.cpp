#include "server/SshShell.h"

#include "SshBenchClient.h"
#include "SshTestServer.h"

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

// The login shell's prompt at the end of what arrived.
bool EndsInPrompt(const QByteArray &text)
{
    QByteArray t = text;
    t.replace('\r', "");
    return t.endsWith("$ ");
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

// Seconds from Connect until the prompt shows, or -1.
double Ours(const CSshLogin &login)
{
    CSshShell shell;
    shell.SetLogin(login);
    QByteArray text;
    bool bFailed = false;
    QObject::connect(&shell, &CShellConnection::TextReceived, &shell, [&](const QString &s) { text += s.toUtf8(); });
    QObject::connect(&shell, &CShellConnection::ConnectionFailed, &shell, [&](const QString &reason) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(reason));
        bFailed = true;
    });
    QElapsedTimer timer;
    timer.start();
    shell.Connect(login.strHost, login.nPort);
    if (!QTest::qWaitFor([&] { return bFailed || EndsInPrompt(text); }, kWaitMs) || bFailed)
        return -1;
    const double seconds = timer.nsecsElapsed() / 1e9;
    shell.Close();
    return seconds;
}

// Seconds from the start of `ssh -tt` until the prompt shows, or -1.
double OpenSsh(const CSshLogin &login, const QString &keyFile)
{
    QProcess ssh;
    ssh.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList args = {
        QStringLiteral("-tt"), QStringLiteral("-F"), QStringLiteral("/dev/null"),
        QStringLiteral("-o"), QStringLiteral("BatchMode=yes"),
        QStringLiteral("-o"), QStringLiteral("IdentitiesOnly=yes"),
        QStringLiteral("-o"), QStringLiteral("UserKnownHostsFile=") + login.strSshDir + QStringLiteral("/known_hosts"),
        QStringLiteral("-o"), QStringLiteral("GlobalKnownHostsFile=/dev/null"),
        QStringLiteral("-i"), keyFile,
        QStringLiteral("-p"), QString::number(login.nPort),
        login.strUser + QLatin1Char('@') + login.strHost};
    QByteArray text;
    QElapsedTimer timer;
    timer.start();
    ssh.start(QStringLiteral("ssh"), args);
    const bool bPrompt = QTest::qWaitFor([&] {
        ssh.waitForReadyRead(5);
        text += ssh.readAll();
        return EndsInPrompt(text) || ssh.state() == QProcess::NotRunning;
    }, kWaitMs) && EndsInPrompt(text);
    const double seconds = timer.nsecsElapsed() / 1e9;
    ssh.kill();
    ssh.waitForFinished(5000);
    if (!bPrompt)
        std::fprintf(stderr, "ssh: %s\n", text.constData());
    return bPrompt ? seconds : -1;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CSshTestServer server;
    if (!server.Start()) {
        std::printf("ssh shell connect to prompt: failed (sshd did not start; it needs root)\n");
        return 1;
    }
    QTemporaryDir sshDir;
    const CSshLogin login = SshBenchLogin(server, sshDir);
    if (login.strSshDir.isEmpty())
        return 1;
    const QString key = SshBenchKey(sshDir);

    QList<double> ours, theirs;
    // Alternate, so that both meet the machine in the same state.
    for (int i = 0; i < kRounds; ++i) {
        ours << Ours(login);
        theirs << OpenSsh(login, key);
    }
    if (ours.contains(-1) || theirs.contains(-1)) {
        std::printf("ssh shell connect to prompt: failed\n");
        return 1;
    }
    const double a = Median(ours), b = Median(theirs);
    std::printf("ssh shell connect to prompt: %.1f ms (%.2f x ssh -tt at %.1f ms; median of %d)\n", a * 1000, a / b,
                b * 1000, kRounds);
    return 0;
}
