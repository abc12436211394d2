#include "run/ChildProcess.h"

#include "framework/Trace.h"
#include "run/ChildEnvironment.h"
#include "run/ProcessListener.h"
#include "run/RedirectPipe.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Moves `fd` onto `target` for the child; an fd already in place loses close-on-exec.
void PlaceFd(int fd, int target)
{
    if (fd == target)
        ::fcntl(fd, F_SETFD, 0);
    else
        ::dup2(fd, target);
}

QString SystemReason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

CChildProcess::CChildProcess(const QString &strApplication, const QStringList &arguments)
    : m_strApplication(strApplication)
    , m_arguments(arguments)
{
}

CChildProcess::~CChildProcess()
{
    if (m_pid > 0 && !m_bEnded)
        Kill();
    if (m_waiter.joinable())
        m_waiter.join();
    else if (m_pid > 0 && !m_bEnded) {
        m_pListener = nullptr;
        ReapNow();
    }
    if (m_fdResume >= 0)
        ::close(m_fdResume);
    if (m_fdExecError >= 0)
        ::close(m_fdExecError);
    if (m_fdInherited >= 0)
        ::close(m_fdInherited);
}

void CChildProcess::SetInheritedDescriptor(int fd)
{
    if (m_fdInherited >= 0)
        ::close(m_fdInherited);
    m_fdInherited = fd;
}

void CChildProcess::SetRedirection(CRedirectPipe *pStdIn, CRedirectPipe *pStdOut, CRedirectPipe *pStdErr)
{
    m_bRedirect = true;
    m_pStdIn = pStdIn;
    m_pStdOut = pStdOut;
    m_pStdErr = pStdErr;
}

void CChildProcess::SetEnvironmentVariable(const QString &strName, const QString &strValue)
{
    m_environment << strName + QLatin1Char('=') + strValue;
}

void CChildProcess::SetEnvironment(const QStringList &entries)
{
    m_bOwnEnvironment = true;
    m_baseEnvironment = entries;
}

QString CChildProcess::ResolveProgram(const QString &strProgram, QString *pReason)
{
    auto fail = [pReason](const QString &reason) {
        if (pReason)
            *pReason = reason;
        return QString();
    };
    if (strProgram.isEmpty())
        return fail(QStringLiteral("No program is set."));
    QString path = strProgram;
    if (!strProgram.contains(QLatin1Char('/'))) {
        path = QStandardPaths::findExecutable(strProgram);
        if (path.isEmpty())
            return fail(QStringLiteral("%1 was not found on the PATH.").arg(strProgram));
    }
    QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("%1 does not exist.").arg(path));
    if (info.isDir() || !info.isExecutable())
        return fail(QStringLiteral("%1 is not an executable program.").arg(path));
    return path;
}

QString CChildProcess::EnvironmentPwd(const QString &strDirectory)
{
    const QString physical = QFileInfo(strDirectory.isEmpty() ? QStringLiteral(".") : strDirectory).canonicalFilePath();
    // With no folder of its own the child keeps the PWD it inherits while that still
    // names the folder, as a shell does.
    const QString logical = strDirectory.isEmpty() ? qEnvironmentVariable("PWD") : QDir(strDirectory).absolutePath();
    if (physical.isEmpty())
        return logical.isEmpty() ? QDir::currentPath() : logical;
    if (QDir::isAbsolutePath(logical) && QFileInfo(logical).canonicalFilePath() == physical)
        return logical;
    return physical;
}

bool CChildProcess::Start()
{
    QString reason;
    QString program = ResolveProgram(m_strApplication, &reason);
    if (program.isEmpty()) {
        m_strLastError = reason;
        return false;
    }

    // Everything the child needs is prepared here: between fork and exec only
    // async-signal-safe calls are allowed in a program with threads.
    std::vector<std::string> args;
    args.push_back(m_strApplication.toLocal8Bit().toStdString());
    for (const QString &a : m_arguments)
        args.push_back(a.toLocal8Bit().toStdString());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The child changes folder without a shell, so nothing else would correct the PWD
    // it inherits, and scripts would see the IDE's folder there. A PWD the caller sets
    // stands.
    QStringList overrides = m_environment;
    if (!std::any_of(overrides.cbegin(), overrides.cend(),
                     [](const QString &e) { return e.startsWith(QLatin1String("PWD=")); }))
        overrides.prepend(QStringLiteral("PWD=") + EnvironmentPwd(m_strDirectory));
    std::vector<std::string> base;
    if (m_bOwnEnvironment) {
        for (const QString &e : m_baseEnvironment)
            base.push_back(e.toLocal8Bit().toStdString());
    } else {
        for (const QByteArray &e : CChildEnvironment::Entries())
            base.push_back(e.toStdString());
    }
    std::vector<std::string> env;
    for (const std::string &entry : base) {
        bool replaced = false;
        for (const QString &extra : overrides) {
            std::string name = extra.section(QLatin1Char('='), 0, 0).toStdString() + "=";
            if (entry.compare(0, name.size(), name) == 0)
                replaced = true;
        }
        if (!replaced)
            env.push_back(entry);
    }
    for (const QString &extra : overrides)
        env.push_back(extra.toLocal8Bit().toStdString());
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string strProgram = program.toLocal8Bit().toStdString();
    std::string strDir = m_strDirectory.toLocal8Bit().toStdString();

    int fdIn = -1, fdOut = -1, fdErr = -1, fdNull = -1;
    if (m_bRedirect) {
        fdIn = m_pStdIn ? m_pStdIn->GetReadHandle() : -1;
        fdOut = m_pStdOut ? m_pStdOut->GetWriteHandle() : -1;
        fdErr = m_pStdErr ? m_pStdErr->GetWriteHandle() : -1;
    }
    if (fdIn < 0 || fdOut < 0 || fdErr < 0) {
        fdNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (fdNull < 0) {
            m_strLastError = SystemReason(errno);
            return false;
        }
        if (fdIn < 0)
            fdIn = fdNull;
        if (fdOut < 0)
            fdOut = fdNull;
        if (fdErr < 0)
            fdErr = fdNull;
    }

    int resumePipe[2], errorPipe[2];
    // A socket pair rather than a pipe: telling a child that has died to resume must
    // not raise SIGPIPE in the IDE.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, resumePipe) != 0) {
        m_strLastError = SystemReason(errno);
        if (fdNull >= 0)
            ::close(fdNull);
        return false;
    }
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        m_strLastError = SystemReason(errno);
        ::close(resumePipe[0]);
        ::close(resumePipe[1]);
        if (fdNull >= 0)
            ::close(fdNull);
        return false;
    }

    const int fdInherited = m_fdInherited;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig)
            ::sigaction(sig, &dfl, nullptr);

        // The three ends may sit on 0, 1 or 2 themselves; lift them out of the way first.
        int in = ::fcntl(fdIn, F_DUPFD_CLOEXEC, 3);
        int out = ::fcntl(fdOut, F_DUPFD_CLOEXEC, 3);
        int err = ::fcntl(fdErr, F_DUPFD_CLOEXEC, 3);
        const int inherited = fdInherited >= 0 ? ::fcntl(fdInherited, F_DUPFD_CLOEXEC, 3) : -1;
        PlaceFd(in, 0);
        PlaceFd(out, 1);
        PlaceFd(err, 2);
#ifdef SYS_close_range
        ::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
#endif
        if (inherited >= 0)
            PlaceFd(inherited, 3);
        // Tells the IDE the child is set up (or why it cannot be), then waits for Resume.
        int code = -1;
        if (!strDir.empty() && ::chdir(strDir.c_str()) != 0)
            code = errno;
        ssize_t ignoredReady = ::write(errorPipe[1], &code, sizeof code);
        (void)ignoredReady;
        if (code != -1)
            ::_exit(127);
        code = 0;
        char go = 0;
        ssize_t n;
        do {
            n = ::read(resumePipe[0], &go, 1);
        } while (n < 0 && errno == EINTR);
        if (n != 1)
            ::_exit(127);
        if (code == 0) {
            ::execve(strProgram.c_str(), argv.data(), envp.data());
            code = errno;
        }
        ssize_t ignored = ::write(errorPipe[1], &code, sizeof code);
        (void)ignored;
        ::_exit(127);
    }
    int forkError = errno;
    if (m_fdInherited >= 0) {
        ::close(m_fdInherited);
        m_fdInherited = -1;
    }
    ::close(resumePipe[0]);
    ::close(errorPipe[1]);
    if (fdNull >= 0)
        ::close(fdNull);
    if (pid < 0) {
        ::close(resumePipe[1]);
        ::close(errorPipe[0]);
        m_strLastError = SystemReason(forkError);
        return false;
    }
    m_pid = pid;
    m_fdResume = resumePipe[1];
    m_fdExecError = errorPipe[0];
    int ready = 0;
    ssize_t n;
    do {
        n = ::read(m_fdExecError, &ready, sizeof ready);
    } while (n < 0 && errno == EINTR);
    if (n != sizeof ready || ready != -1) {
        m_strLastError = n == sizeof ready
            ? QStringLiteral("Cannot change to the folder %1: %2").arg(m_strDirectory, SystemReason(ready))
            : QStringLiteral("The child process ended before it could run.");
        m_pListener = nullptr;
        ReapNow();
        m_pid = -1;
        ::close(m_fdResume);
        ::close(m_fdExecError);
        m_fdResume = m_fdExecError = -1;
        return false;
    }
    // The child holds its own copies now; the IDE keeps only its ends, so the child's
    // end of output is seen as end of file.
    if (m_bRedirect) {
        if (m_pStdIn)
            m_pStdIn->CloseChildEnd(true);
        if (m_pStdOut)
            m_pStdOut->CloseChildEnd(false);
        if (m_pStdErr)
            m_pStdErr->CloseChildEnd(false);
    }
    return true;
}

bool CChildProcess::Resume()
{
    if (m_fdResume < 0)
        return false;
    char go = 1;
    ssize_t n = ::send(m_fdResume, &go, 1, MSG_NOSIGNAL);
    ::close(m_fdResume);
    m_fdResume = -1;
    if (n != 1) {
        m_strLastError = SystemReason(errno);
        return false;
    }
    m_bResumed = true;
    // The report pipe closes when the program runs, or carries the reason it could not.
    int code = 0;
    do {
        n = ::read(m_fdExecError, &code, sizeof code);
    } while (n < 0 && errno == EINTR);
    ::close(m_fdExecError);
    m_fdExecError = -1;
    if (n == sizeof code) {
        m_strLastError = SystemReason(code);
        return false;
    }
    return true;
}

void CChildProcess::StartWaiter()
{
    if (m_pid <= 0 || m_waiter.joinable())
        return;
    m_waiter = std::thread([this] { WaiterThreadProc(); });
}

void CChildProcess::WaiterThreadProc()
{
    TRACE("Waiter Thread is running.");
    // Waits without reaping first, so that Kill never signals a process id that the
    // system may already have given to another program.
    siginfo_t info{};
    while (::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    ReapNow();
    TRACE("Waiter Thread is returning.");
}

void CChildProcess::ReapNow()
{
    int status = 0;
    pid_t r;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        do {
            r = ::waitpid(m_pid, &status, 0);
        } while (r < 0 && errno == EINTR);
        m_nStatus = r == m_pid ? status : -1;
        m_bEnded = true;
    }
    if (m_pListener)
        m_pListener->OnProcessEnded();
}

long CChildProcess::GetExitCode() const
{
    if (m_pid <= 0)
        return kUnknown;
    if (!m_bEnded)
        return kStillActive;
    int status = m_nStatus;
    if (status == -1)
        return kUnknown;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

bool CChildProcess::WasSignaled() const
{
    int status = m_nStatus;
    return m_bEnded && status != -1 && WIFSIGNALED(status);
}

int CChildProcess::TermSignal() const
{
    return WasSignaled() ? WTERMSIG(int(m_nStatus)) : 0;
}

QString CChildProcess::EndDescription() const
{
    if (!m_bEnded)
        return QStringLiteral("Process is still active.");
    if (WasKilled())
        return QStringLiteral("Process was terminated.");
    if (WasSignaled()) {
        int sig = TermSignal();
        return QStringLiteral("Process was terminated by signal %1 (%2).")
            .arg(sig)
            .arg(QString::fromLocal8Bit(::strsignal(sig)));
    }
    return QStringLiteral("Process completed with exit code %1.").arg(GetExitCode());
}

void CChildProcess::Kill()
{
    TRACE("Kill was requested on this process.");
    if (m_pid <= 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bEnded)
        m_bKillRequested = true;
    // The group outlives the child while programs it started still run; they go too.
    ::kill(-m_pid, SIGKILL);
    if (!m_bEnded)
        ::kill(m_pid, SIGKILL);
}

void CChildProcess::Interrupt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pid > 0 && !m_bEnded)
        ::kill(-m_pid, SIGINT);
}
