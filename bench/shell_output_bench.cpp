// How the remote shell window keeps up with a server that floods it: 10 MB of lines and
// 1 MB without a line break, through the socket, the telnet filter and the output area,
// against the same bytes read by a bare socket in the same run. The longest time the
// event loop went without turning is what a user would feel as a freeze.
#include "app/Settings.h"
#include "server/ServerDlg.h"
#include "server/ServerSocket.h"
#include "server/ShellOutputPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace {
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
    QString text = dlg.OutputPane()->toPlainText();
    const QString closing = QStringLiteral("Server closed the connection.\n");
    const bool bShownClosed = text.endsWith(closing);
    text.chop(closing.size());
    // Lines too long to lay out are shown broken; count what was received.
    text.remove(QLatin1Char('\n'));
    return {ms, meter.MaxMs(), bShownClosed && text.size() == nShownChars};
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
    std::printf("shell_raw_socket_10mb_cpu: %.1f ms (1.0 x baseline)\n", rawLines.ms);
    Report("shell_output_10mb_lines", ThroughWindow(lines, qsizetype(nLines) * 78), rawLines);
    const CResult rawLong = RawRead(longLine);
    Report("shell_output_1mb_one_line", ThroughWindow(longLine, longLine.size()), rawLong);
    return 0;
}
