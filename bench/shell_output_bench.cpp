// How the remote shell window keeps up with a server that floods it.
// 1. 30 s of `yes` from a real shell server (busybox telnetd with a throwaway user when
//    run as root, else a plain shell server through socat), shown in the window: the
//    process's memory at its peak and after the flood, against the memory before it;
//    the time from the end of the flood (Cancel Request, or the end of `timeout 30
//    yes` where the telnet daemon ignores the interrupt) until the prompt is shown,
//    against the time the prompt takes after a command with no output; the longest
//    stretch the window did not turn its event loop.
// 2. 10 MB of lines and 1 MB without a line break, through the socket, the telnet
//    filter and the output area, against the same bytes read by a bare socket in the
//    same run. The longest time the event loop went without turning is what a user
//    would feel as a freeze.
#include "app/Settings.h"
#include "server/ServerDlg.h"
#include "server/ServerSocket.h"
#include "server/ShellOutputPane.h"
#include "tests/server/FixtureServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QComboBox>
#include <QDir>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <thread>

namespace {
long StatusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

double ResidentMb()
{
    return double(StatusKb("VmRSS:")) / 1024.0;
}

// A server thread that sends `payload` to its one client as fast as the network takes
// it, then closes.
class CFloodServer
{
public:
    explicit CFloodServer(QByteArray payload)
        : m_payload(std::move(payload))
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        ::listen(m_fd, 1);
        socklen_t len = sizeof addr;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len);
        m_nPort = ntohs(addr.sin_port);
        m_thread = std::thread([this] {
            int client = ::accept(m_fd, nullptr, nullptr);
            qsizetype sent = 0;
            while (client >= 0 && sent < m_payload.size()) {
                ssize_t n = ::send(client, m_payload.constData() + sent, size_t(m_payload.size() - sent), 0);
                if (n <= 0)
                    break;
                sent += n;
            }
            if (client >= 0)
                ::close(client);
        });
    }
    ~CFloodServer()
    {
        m_thread.join();
        ::close(m_fd);
    }
    int Port() const { return m_nPort; }

private:
    QByteArray m_payload;
    int m_fd = -1;
    int m_nPort = 0;
    std::thread m_thread;
};

double ThreadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The longest stretch of work the GUI thread did without coming back to the event
// loop, in CPU time of that thread: what the user feels as a freeze, measured apart
// from the time other programs on a busy machine take the processor away.
class CStallMeter
{
public:
    CStallMeter()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double now = ThreadCpuMs();
            m_max = qMax(m_max, now - m_last);
            m_last = now;
        });
        m_last = ThreadCpuMs();
        m_timer.start();
    }
    double MaxMs() const { return m_max; }

private:
    QTimer m_timer;
    double m_last = 0;
    double m_max = 0;
};

struct CResult
{
    double ms = 0;     // GUI thread CPU time until everything is shown
    double stallMs = 0;
    bool ok = false;
};

CResult RawRead(const QByteArray &payload)
{
    CFloodServer server(payload);
    QTcpSocket socket;
    QByteArray got;
    got.reserve(payload.size());
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { got += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    CStallMeter meter;
    const double start = ThreadCpuMs();
    socket.connectToHost(QHostAddress::LocalHost, quint16(server.Port()));
    loop.exec();
    got += socket.readAll();
    return {ThreadCpuMs() - start, meter.MaxMs(), got.size() == payload.size()};
}

// `nShownChars` counts the characters shown before the window's closing line, line
// ends left out.
CResult ThroughWindow(const QByteArray &payload, qsizetype nShownChars)
{
    CFloodServer server(payload);
    g_settings.SERVER_HOST = QStringLiteral("127.0.0.1");
    g_settings.SERVER_PORT_NUMBER = server.Port();
    CServerDlg dlg(0, QString());
    // Everything is kept, so that the figure is the cost of showing all of it.
    dlg.OutputPane()->SetMaxBytes(qint64(payload.size()) * 2);
    dlg.OutputPane()->SetMaxLines(qint64(payload.size()));
    dlg.show();
    // The first showing loads fonts; that is not the flood's doing.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QEventLoop loop;
    bool bClosed = false;
    QObject::connect(dlg.Socket(), &CServerSocket::ConnectionClosed, [&] { bClosed = true; });
    // Done when the connection is closed and the window shows everything.
    QTimer done;
    done.setInterval(5);
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (bClosed && !dlg.OutputPane()->HasPendingText())
            loop.quit();
    });
    done.start();
    CStallMeter meter;
    const double start = ThreadCpuMs();
    dlg.OnConnect();
    loop.exec();
    const double ms = ThreadCpuMs() - start;
    QString text = dlg.OutputPane()->ShownText();
    const QString closing = QStringLiteral("Server closed the connection.\n");
    const bool bShownClosed = text.endsWith(closing);
    text.chop(closing.size());
    // Lines too long to lay out are shown broken; count what was received.
    text.remove(QLatin1Char('\n'));
    return {ms, meter.MaxMs(), bShownClosed && text.size() == nShownChars};
}

// Turns the event loop until the condition holds, looking every few milliseconds.
bool WaitFor(const std::function<bool()> &condition, int nTimeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    bool bMet = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (condition()) {
            bMet = true;
            loop.quit();
        } else if (clock.elapsed() > nTimeoutMs) {
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    return bMet;
}

// A shell session on a real server for the 30 s flood.
class CShellSession
{
public:
    ~CShellSession()
    {
        m_server.Stop();
        if (!m_strUser.isEmpty())
            QProcess::execute(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-user.sh"), {QStringLiteral("remove"), m_strUser});
    }

    // busybox telnetd needs root to start /bin/login for a throwaway user.
    bool StartTelnet()
    {
        if (::geteuid() != 0)
            return false;
        QProcess probe;
        probe.start(QStringLiteral("busybox"), {QStringLiteral("telnetd"), QStringLiteral("--help")});
        probe.waitForFinished(5000);
        if (probe.error() == QProcess::FailedToStart || !probe.readAllStandardError().contains("telnetd"))
            return false;
        m_strUser = QStringLiteral("kbench%1").arg(::getpid());
        if (QProcess::execute(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-user.sh"),
                              {QStringLiteral("add"), m_strUser, m_strPassword})
            != 0) {
            m_strUser.clear();
            return false;
        }
        m_bTelnet = m_server.Start(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-server.sh"));
        return m_bTelnet;
    }
    bool StartShell() { return m_server.Start(QStringLiteral(KESTREL_FIXTURES_DIR "/shell-server.sh"), QDir::tempPath()); }

    bool Open(CServerDlg &dlg)
    {
        g_settings.SERVER_HOST = QStringLiteral("127.0.0.1");
        g_settings.SERVER_PORT_NUMBER = m_server.Port();
        g_settings.SERVER_USER = m_strUser;
        g_settings.SERVER_PASS = m_strPassword;
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/tmp");
        dlg.OnConnect();
        CShellOutputPane *pane = dlg.OutputPane();
        if (m_bTelnet) {
            if (!WaitFor([pane] { return pane->Text().contains(QLatin1String("login: ")); }, 20000))
                return false;
            dlg.OnLogin();
            if (!WaitFor([&dlg] { return !dlg.Socket()->IsLoggingIn(); }, 20000))
                return false;
        }
        return WaitFor([pane] { return pane->Text().endsWith(QLatin1String("$ ")); }, 20000);
    }
    bool IsTelnet() const { return m_bTelnet; }

private:
    CFixtureServer m_server;
    QString m_strUser;
    const QString m_strPassword = QStringLiteral("Kestrel-bench-7");
    bool m_bTelnet = false;
};

void Send(CServerDlg &dlg, const QString &strCommand)
{
    dlg.findChild<QComboBox *>(QStringLiteral("combo_1027"))->setEditText(strCommand);
    dlg.OnSendCommand();
}

// Milliseconds from `since` until the area shows a prompt at its end, or -1.
double UntilPrompt(CShellOutputPane *pane, const QElapsedTimer &since)
{
    if (!WaitFor([pane] { return !pane->HasPendingText() && pane->ShownText().endsWith(QLatin1String("$ ")); },
                 120000))
        return -1;
    return double(since.nsecsElapsed()) / 1e6;
}

void FloodFromServer(double rawStallMs)
{
    CShellSession session;
    const char *server = "busybox telnetd";
    if (!session.StartTelnet()) {
        server = "socat shell";
        if (!session.StartShell()) {
            std::printf("shell_flood_30s_yes: skipped (neither busybox telnetd nor socat could serve)\n");
            return;
        }
    }
    CServerDlg dlg(0, QString());
    dlg.show();
    if (!session.Open(dlg)) {
        std::printf("shell_flood_30s_yes: failed (no prompt from %s)\n", server);
        return;
    }
    CShellOutputPane *pane = dlg.OutputPane();
    // The prompt after a command that prints nothing: what a quiet server costs.
    QElapsedTimer quiet;
    quiet.start();
    Send(dlg, QStringLiteral("true"));
    const double quietMs = UntilPrompt(pane, quiet);

    WaitFor([] { return false; }, 500);
    const double beforeMb = ResidentMb();
    double peakMb = beforeMb;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peakMb = qMax(peakMb, ResidentMb()); });
    sampler.start(100);
    QElapsedTimer clock;
    clock.start();
    // busybox telnetd skips the interrupt command instead of passing the interrupt
    // character to the terminal: there the flood ends by itself.
    Send(dlg, session.IsTelnet() ? QStringLiteral("timeout 30 yes") : QStringLiteral("yes"));
    double stallMs = 0;
    {
        CStallMeter meter;
        WaitFor([&] { return clock.elapsed() >= 30000; }, 40000);
        stallMs = meter.MaxMs();
    }
    QElapsedTimer end;
    end.start();
    if (!session.IsTelnet())
        dlg.findChild<QPushButton *>(QStringLiteral("button_1080"))->click();
    const double promptMs = UntilPrompt(pane, end);
    const qint64 shownBytes = pane->ShownText().toUtf8().size();
    const qint64 receivedMb = (pane->DroppedBytes() + shownBytes) / (1024 * 1024);
    WaitFor([] { return false; }, 1000);
    sampler.stop();
    peakMb = qMax(peakMb, ResidentMb());
    const double afterMb = ResidentMb();

    std::printf("shell_flood_30s_yes_received: %lld MB (%s server; %lld KB kept in the window)\n",
                (long long)receivedMb, server, (long long)(shownBytes / 1024));
    std::printf("shell_flood_30s_yes_rss_peak: %.1f MB (%.2f x %.1f MB before the flood; limit 300 MB)\n", peakMb,
                peakMb / beforeMb, beforeMb);
    std::printf("shell_flood_30s_yes_rss_after: %.1f MB (%.2f x %.1f MB before the flood; limit 300 MB)\n", afterMb,
                afterMb / beforeMb, beforeMb);
    if (promptMs < 0 || quietMs < 0)
        std::printf("shell_flood_prompt_after_end: failed (no prompt within 120 s)\n");
    else
        std::printf("shell_flood_prompt_after_end: %.0f ms (%.1f x %.0f ms for the prompt after a command with no "
                    "output)\n",
                    promptMs, promptMs / qMax(quietMs, 0.001), quietMs);
    std::printf("shell_flood_30s_yes_longest_stall: %.1f ms (%.1f x %.1f ms of a bare socket reading 10 MB)\n", stallMs,
                stallMs / qMax(rawStallMs, 0.001), rawStallMs);
}

void Report(const char *name, const CResult &window, const CResult &raw)
{
    std::printf("%s_cpu: %.1f ms (%.1f x baseline)%s\n", name, window.ms, window.ms / qMax(raw.ms, 0.001),
                window.ok ? "" : " INCOMPLETE");
    std::printf("%s_longest_stall: %.1f ms (%.1f x baseline)\n", name, window.stallMs,
                window.stallMs / qMax(raw.stallMs, 0.001));
}
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QByteArray line = QByteArray(78, 'x') + "\r\n";
    QByteArray lines;
    lines.reserve(10 * 1024 * 1024);
    int nLines = 0;
    while (lines.size() + line.size() <= 10 * 1024 * 1024) {
        lines += line;
        ++nLines;
    }
    const QByteArray longLine(1024 * 1024, 'y');

    const CResult rawLines = RawRead(lines);
    // First, so that its baseline is not the memory left by the other floods.
    FloodFromServer(rawLines.stallMs);
    std::printf("shell_raw_socket_10mb_cpu: %.1f ms (1.0 x baseline)\n", rawLines.ms);
    Report("shell_output_10mb_lines", ThroughWindow(lines, qsizetype(nLines) * 78), rawLines);
    const CResult rawLong = RawRead(longLine);
    Report("shell_output_1mb_one_line", ThroughWindow(longLine, longLine.size()), rawLong);
    return 0;
}
