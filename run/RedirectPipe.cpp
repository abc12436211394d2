#include "run/RedirectPipe.h"

#include "framework/Trace.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

void CloseFd(int &fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

CRedirectPipe::CRedirectPipe() = default;

CRedirectPipe::~CRedirectPipe()
{
    if (m_writer.joinable()) {
        m_bStopWriter = true;
        Wake();
        m_writer.join();
    }
    CloseFd(m_fdWake[0]);
    CloseFd(m_fdWake[1]);
    CloseFd(m_fdRead);
    CloseFd(m_fdWrite);
}

bool CRedirectPipe::Open()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    // A flood then passes in pieces of up to a megabyte instead of 64 KB: the child
    // waits on a full pipe, and the reader wakes, far less often. The kernel takes the
    // pages only as they fill, and refuses quietly where a lower limit is set.
    ::fcntl(fds[1], F_SETPIPE_SZ, kPipeCapacity);
    m_fdRead = fds[0];
    m_fdWrite = fds[1];
    m_bTerminal = false;
    return true;
}

bool CRedirectPipe::OpenPseudoTerminal(int &master, int &slave)
{
    master = ::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return false;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        CloseFd(master);
        return false;
    }
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        CloseFd(master);
        return false;
    }
    return true;
}

bool CRedirectPipe::OpenTerminal()
{
    int master, slave;
    if (!OpenPseudoTerminal(master, slave))
        return false;
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    m_fdRead = master;
    m_fdWrite = slave;
    m_bTerminal = true;
    return true;
}

bool CRedirectPipe::OpenTerminalInput()
{
    int master, slave;
    if (!OpenPseudoTerminal(master, slave))
        return false;
    termios tio{};
    bool ok = ::tcgetattr(slave, &tio) == 0;
    if (ok) {
        // Raw, then line by line with only two characters of its own: end of file and
        // the quote that makes the next byte plain data. Everything else a terminal
        // would act on (signals, erase, kill, flow control, CR/NL mapping) is off, and
        // nothing is echoed back into the output.
        ::cfmakeraw(&tio);
        tio.c_lflag |= ICANON | IEXTEN;
        tio.c_lflag &= ~tcflag_t(ECHO | ECHONL | ISIG | ECHOCTL | ECHOKE | ECHOE | ECHOK);
        tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | IMAXBEL);
        for (cc_t &c : tio.c_cc)
            c = 0;
        tio.c_cc[VEOF] = cc_t(kEof);
        tio.c_cc[VLNEXT] = cc_t(kLiteralNext);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        ok = ::tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    if (!ok) {
        CloseFd(slave);
        CloseFd(master);
        return false;
    }
    m_fdRead = slave;
    m_fdWrite = master;
    m_bTerminal = true;
    m_bTerminalInput = true;
    return true;
}

void CRedirectPipe::QueueTerminalInputLocked(const QByteArray &text)
{
    // The characters switched off above read as NUL to the terminal, so NUL is quoted
    // with the two that are on.
    for (char c : text) {
        if (c == '\n') {
            m_baPending.append(c);
            m_nLinePiece = 0;
            continue;
        }
        if (c == 0 || c == kEof || c == kLiteralNext)
            m_baPending.append(kLiteralNext);
        m_baPending.append(c);
        // End of file within a line hands over what the line has so far.
        if (++m_nLinePiece == kTerminalPiece) {
            m_baPending.append(kEof);
            m_nLinePiece = 0;
        }
    }
}

void CRedirectPipe::QueueLocked(const char *pData, qsizetype nSize)
{
    if (m_bTerminalInput)
        QueueTerminalInputLocked(QByteArray::fromRawData(pData, nSize));
    else
        m_baPending.append(pData, nSize);
}

int CRedirectPipe::ReadAvailable(char *pBuffer, unsigned nSize, int nTimeoutMs)
{
    if (m_fdRead < 0 || nSize == 0)
        return kEnd;
    pollfd pfd{m_fdRead, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&pfd, 1, nTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        TRACE("Read Pipe LAST ERROR=%d", errno);
        return kEnd;
    }
    if (ready == 0)
        return 0;
    ssize_t n;
    do {
        n = ::read(m_fdRead, pBuffer, nSize);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        return int(n);
    if (n < 0 && errno == EAGAIN)
        return 0;
    // A terminal whose last writer has gone reports EIO instead of end of file.
    return kEnd;
}

int CRedirectPipe::Write(const QByteArray &text)
{
    if (text.isEmpty())
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fdWrite < 0 || m_bCloseWhenWritten || m_bInputEnded)
        return 0;
    // A copy of the bytes, not a share of the caller's array: the writer thread owns them.
    QueueLocked(text.constData(), text.size());
    StartWriterLocked();
    return 0;
}

void CRedirectPipe::StartWriterLocked()
{
    if (m_writer.joinable()) {
        Wake();
        return;
    }
    if (::pipe2(m_fdWake, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_baPending.clear();
        return;
    }
    int flags = ::fcntl(m_fdWrite, F_GETFL);
    ::fcntl(m_fdWrite, F_SETFL, flags | O_NONBLOCK);
    m_bWriterOwnsEnd = true;
    m_writer = std::thread([this] { WriterLoop(); });
}

bool CRedirectPipe::Flush()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_baPending.isEmpty();
}

void CRedirectPipe::Wake()
{
    if (m_fdWake[1] >= 0) {
        char c = 1;
        ssize_t ignored = ::write(m_fdWake[1], &c, 1);
        (void)ignored;
    }
}

void CRedirectPipe::WriterLoop()
{
    // A child that has gone makes the write fail with EPIPE; the signal that comes with
    // it would end the IDE, so this thread blocks it.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    std::unique_lock<std::mutex> lock(m_mutex);
    int fd = m_fdWrite;
    while (!m_bStopWriter) {
        if (m_baPending.isEmpty() && m_bCloseWhenWritten)
            break;
        pollfd pfds[2] = {{m_fdWake[0], POLLIN, 0}, {fd, short(m_baPending.isEmpty() ? 0 : POLLOUT), 0}};
        lock.unlock();
        int ready = ::poll(pfds, 2, -1);
        lock.lock();
        if (ready < 0 && errno != EINTR)
            break;
        if (pfds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_fdWake[0], drain, sizeof drain) > 0) {
            }
        }
        if (pfds[1].revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
        if ((pfds[1].revents & POLLOUT) && !m_baPending.isEmpty()) {
            // The end is non-blocking, so writing under the lock never holds up Write.
            ssize_t n = ::write(fd, m_baPending.constData() + m_nSent, size_t(m_baPending.size() - m_nSent));
            int err = errno;
            if (n > 0) {
                // Sent bytes are dropped only once they are most of the queue, so a
                // long queue is not moved for every piece the child takes.
                m_nSent += n;
                if (m_nSent == m_baPending.size()) {
                    m_baPending.clear();
                    m_nSent = 0;
                } else if (m_nSent > m_baPending.size() / 2) {
                    m_baPending.remove(0, m_nSent);
                    m_nSent = 0;
                }
            } else if (n < 0 && err != EAGAIN && err != EINTR) {
                break;
            }
        }
    }
    m_baPending.clear();
    m_nSent = 0;
    sigset_t pending;
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE)) {
        int sig;
        sigwait(&set, &sig);
    }
    CloseWriteEndLocked();
}

void CRedirectPipe::CloseWriteEndLocked()
{
    CloseFd(m_fdWrite);
    m_bWriterOwnsEnd = false;
}

bool CRedirectPipe::CloseReadEnd()
{
    CloseFd(m_fdRead);
    return true;
}

bool CRedirectPipe::CloseWriteEnd()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bTerminalInput && m_fdWrite >= 0) {
        // Closing the master would hang the terminal up, and a hang-up throws away
        // what the child has not read yet. End of file goes in line instead, after
        // the rest of a line not ended (the first one hands that over, the second is
        // read as the end). The master stays open until the pipe goes.
        if (!m_bInputEnded) {
            m_bInputEnded = true;
            if (m_nLinePiece > 0)
                m_baPending.append(kEof);
            m_baPending.append(kEof);
            m_nLinePiece = 0;
            StartWriterLocked();
        }
        return true;
    }
    if (m_bWriterOwnsEnd) {
        m_bCloseWhenWritten = true;
        Wake();
    } else {
        CloseFd(m_fdWrite);
    }
    return true;
}

bool CRedirectPipe::Close()
{
    CloseReadEnd();
    CloseWriteEnd();
    return true;
}

void CRedirectPipe::CloseChildEnd(bool bChildReads)
{
    if (bChildReads)
        CloseFd(m_fdRead);
    else
        CloseFd(m_fdWrite);
}
