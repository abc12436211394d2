// How fast a child's output reaches the output window, how soon a single line shows,
// and what the IDE's memory is after a large run.
//
// Each throughput figure is the best of a few rounds against a baseline measured in the
// same run: the pseudo-terminal path against the same child writing to a raw
// pseudo-terminal that a plain reader drains, the pipe path against the child writing
// to /dev/null. `bench_outputwindow pty|pipe|raw` runs only that case, again and again,
// for a profiler.
#include "BestOfRounds.h"
#include "run/ChildProcess.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "run/RedirectPipe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kRounds = 5;

QString g_strPerl;

QString WriteScript(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

// One run through the real runner and window, as Run does it.
struct CWindowRun
{
    CRedirectPipe in, out, err;
    std::unique_ptr<COutputWindowDlg> wnd;
    std::unique_ptr<CChildProcess> child;

    bool Start(const QString &script, bool bTerminal = true)
    {
        if (!in.Open() || !(bTerminal ? out.OpenTerminal() : out.Open()) || !err.Open())
            return false;
        child = std::make_unique<CChildProcess>(g_strPerl, QStringList{script});
        child->SetRedirection(&in, &out, &err);
        if (!child->Start())
            return false;
        wnd = std::make_unique<COutputWindowDlg>();
        wnd->m_pProcess = child.get();
        child->m_pListener = wnd.get();
        wnd->OnInitDialog();
        wnd->show();
        if (!child->Resume())
            return false;
        child->StartWaiter();
        return true;
    }
    bool WaitOver()
    {
        QSignalSpy spy(wnd.get(), &COutputWindowDlg::RunOver);
        return wnd->IsRunOver() || spy.wait(600000);
    }
    ~CWindowRun()
    {
        if (wnd)
            wnd->OnClose();
        child.reset();
        wnd.reset();
    }
};

double Seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

bool RunToNull(const QString &script)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(g_strPerl, {script});
    return p.waitForFinished(-1) && p.exitCode() == 0;
}

// The child started as Run starts it, its output on a raw pseudo-terminal that nothing
// but a blocking read() loop drains: what the terminal itself allows.
bool RunToRawTerminal(const QString &script, qint64 nExpected)
{
    CRedirectPipe in, out, err;
    if (!in.Open() || !out.OpenTerminal() || !err.Open())
        return false;
    CChildProcess child(g_strPerl, QStringList{script});
    child.SetRedirection(&in, &out, &err);
    if (!child.Start() || !child.Resume())
        return false;
    std::vector<char> buffer(64 * 1024);
    qint64 total = 0;
    for (;;) {
        ssize_t n = ::read(out.GetReadHandle(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
    }
    return total == nExpected;
}

bool RunInWindow(const QString &script, bool bTerminal, qint64 nExpected)
{
    CWindowRun run;
    return run.Start(script, bTerminal) && run.WaitOver()
        && run.wnd->StdOutPane()->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) == nExpected;
}

void ReportThroughput(const char *name, double mb, double t, double tBase, const char *baseline, const char *target)
{
    if (t < 0 || tBase < 0) {
        std::printf("%s: failed\n", name);
        return;
    }
    std::printf("%s: %.1f MB/s (%.2f x %s at %.1f MB/s; target %s)\n", name, mb / t, tBase / t, baseline,
                mb / tBase, target);
    std::fflush(stdout);
}

// The same output shown by xterm on a virtual display; negative when there is none.
double RunInXterm(const QString &script)
{
    QString xterm = QStandardPaths::findExecutable(QStringLiteral("xterm"));
    QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xterm.isEmpty() || xvfb.isEmpty())
        return -1;
    QString display = QStringLiteral(":%1").arg(90 + (QCoreApplication::applicationPid() % 100));
    QProcess server;
    server.start(xvfb, {display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!server.waitForStarted())
        return -1;
    QThread::msleep(1000);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    QProcess term;
    term.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    term.start(xterm, {QStringLiteral("-e"), g_strPerl, script});
    bool ok = term.waitForFinished(600000) && term.exitCode() == 0;
    double s = Seconds(t);
    server.terminate();
    server.waitForFinished();
    return ok ? s : -1;
}

// Processor time of this process, all its threads, user and system.
double CpuSeconds()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long ResidentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    g_strPerl = QStandardPaths::findExecutable(QStringLiteral("perl"));
    if (g_strPerl.isEmpty()) {
        std::printf("perl not found\n");
        return 1;
    }
    QTemporaryDir dir;

    // Throughput: 250,000 lines of 80 bytes.
    const qint64 bytes = 250000LL * 80;
    const double mb = bytes / 1e6;
    QString flood = WriteScript(dir, QStringLiteral("flood.pl"),
                                "my $l = 'x' x 70; for my $i (1..250000) { printf \"%08d %s\\n\", $i, $l; }\n");
    auto raw = [&] { return RunToRawTerminal(flood, bytes); };
    auto pty = [&] { return RunInWindow(flood, true, bytes); };
    auto pipe = [&] { return RunInWindow(flood, false, bytes); };
    if (argc > 1) {
        const QByteArray only = argv[1];
        const std::function<bool()> work = only == "raw" ? std::function<bool()>(raw)
                                         : only == "pty" ? std::function<bool()>(pty)
                                                         : std::function<bool()>(pipe);
        const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
        const double cpu0 = CpuSeconds();
        const double t = BestOfRounds(rounds, work);
        std::printf("%s: %.1f MB/s (best of %d; the IDE's own processor time %.0f ms a round)\n", only.constData(),
                    t > 0 ? mb / t : 0.0, rounds, (CpuSeconds() - cpu0) * 1000 / rounds);
        return t > 0 ? 0 : 1;
    }
    {
        CWindowRun run;
        if (!run.Start(flood) || !run.WaitOver()) {
            std::printf("the run failed\n");
            return 1;
        }
        std::printf("output_window_rss_after_20MB: %.1f MB (limit 300 MB)\n", ResidentKb() / 1024.0);
    }
    // Each case and its baseline take turns, so that a disturbance of the machine falls
    // on both alike.
    double tWindow = 1e9, tRaw = 1e9, tPipe = 1e9, tNull = 1e9;
    for (int i = 0; i < kRounds; ++i) {
        tRaw = std::min(tRaw, BestOfRounds(1, raw));
        tWindow = std::min(tWindow, BestOfRounds(1, pty));
        tNull = std::min(tNull, BestOfRounds(1, [&] { return RunToNull(flood); }));
        tPipe = std::min(tPipe, BestOfRounds(1, pipe));
    }
    ReportThroughput("output_window_throughput", mb, tWindow, tRaw,
                     "baseline raw pseudo-terminal drained by a plain reader", "0.90 x");
    ReportThroughput("output_window_throughput_on_pipe", mb, tPipe, tNull, "baseline /dev/null", "0.50 x");
    double tXterm = RunInXterm(flood);
    if (tXterm > 0)
        std::printf("output_window_vs_xterm: %.1f MB/s (%.2f x baseline xterm at %.1f MB/s)\n", mb / tWindow,
                    tXterm / tWindow, mb / tXterm);
    else
        std::printf("output_window_vs_xterm: skipped (no xterm or Xvfb)\n");

    // Latency: a line every 100 ms carrying the time it was written.
    QString ticks = WriteScript(dir, QStringLiteral("ticks.pl"),
                                "use Time::HiRes qw(time sleep); for (1..40) { printf \"%.6f\\n\", time; sleep 0.1; }\n");
    std::vector<double> delays;
    {
        CWindowRun run;
        QByteArray seen;
        if (!run.Start(ticks))
            return 1;
        COutputPane *pane = run.wnd->StdOutPane();
        QObject::connect(pane, &COutputPane::Appended, pane, [&] {
            struct timespec ts;
            clock_gettime(CLOCK_REALTIME, &ts);
            double now = double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
            QByteArray text = pane->TextBytes();
            QByteArray fresh = text.mid(seen.size());
            seen = text;
            for (const QByteArray &line : fresh.split('\n'))
                if (!line.isEmpty())
                    delays.push_back((now - line.toDouble()) * 1000.0);
        });
        run.WaitOver();
    }
    std::sort(delays.begin(), delays.end());
    if (!delays.empty())
        std::printf("output_window_line_latency_median: %.2f ms (%.3f x baseline 200 ms poll; max %.2f ms over %zu lines)\n",
                    delays[delays.size() / 2], delays[delays.size() / 2] / 200.0, delays.back(), delays.size());
    return 0;
}
