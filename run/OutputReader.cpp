#include "run/OutputReader.h"

#include "framework/LargeBlockPages.h"
#include "framework/Trace.h"
#include "run/RedirectPipe.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

COutputReader::COutputReader(CRedirectPipe *pPipe, QObject *parent)
    : QObject(parent)
    , m_pPipe(pPipe)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &COutputReader::DeliverNow);
    if (::pipe2(m_fdWake, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_pWakeNotifier = new QSocketNotifier(m_fdWake[0], QSocketNotifier::Read, this);
        connect(m_pWakeNotifier, &QSocketNotifier::activated, this, [this] {
            char drain[16];
            while (::read(m_fdWake[0], drain, sizeof drain) > 0) {
            }
            Deliver();
        });
    }
}

COutputReader::~COutputReader()
{
    Stop();
    delete m_pWakeNotifier;
    for (int fd : m_fdWake)
        if (fd >= 0)
            ::close(fd);
}

void COutputReader::Start()
{
    if (m_thread.joinable() || !m_pPipe || m_fdWake[1] < 0)
        return;
    m_bStop = false;
    m_thread = std::thread([this] { ReaderThreadProc(); });
}

void COutputReader::Stop()
{
    m_bStop = true;
    m_cvSpace.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_timer.stop();
}

void COutputReader::ReaderThreadProc()
{
    while (!m_bStop) {
        // Wait for bytes without taking them: they are taken under the mutex.
        const int fd = m_pPipe->GetReadHandle();
        if (fd >= 0) {
            pollfd pfd{fd, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, kPollMs);
            if (ready == 0 || (ready < 0 && errno == EINTR))
                continue;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cvSpace.wait(lock, [this] { return m_baBuffer.size() < kMaxBuffered || m_bStop; });
        if (m_bStop)
            break;
        // Whatever else is already waiting goes along in the same batch.
        if (!m_bEnd)
            ReadLocked(kReadSize);
        if (m_bEnd)
            break;
    }
    TRACE("Reading stream over ! %d", int(m_bStop.load()));
}

void COutputReader::ReadLocked(qsizetype nLimit)
{
    qsizetype total = 0;
    while (total < nLimit) {
        const qsizetype at = m_baBuffer.size();
        if (m_baBuffer.capacity() - at < kMinPiece) {
            // A flood: the batch takes its whole room at once, on huge pages, rather
            // than growing step by step into fresh small pages, each a page fault (and
            // a copy of what it held). A script that prints a little never gets here.
            if (at + kMinPiece > kFloodBytes) {
                m_baBuffer.reserve(qMax<qsizetype>(kMaxBuffered + kReadSize, at + kMinPiece));
                CLargeBlockPages::Advise(m_baBuffer.data(), size_t(m_baBuffer.capacity()));
            } else {
                m_baBuffer.reserve(qMax(2 * m_baBuffer.capacity(), at + kMinPiece));
            }
        }
        const qsizetype piece = qMin(nLimit - total, m_baBuffer.capacity() - at);
        // The bytes go straight from the pipe into the batch, with no copy between.
        m_baBuffer.resize(at + piece);
        const int n = m_pPipe->ReadAvailable(m_baBuffer.data() + at, unsigned(piece), 0);
        m_baBuffer.resize(at + qMax(n, 0));
        if (n == CRedirectPipe::kEnd) {
            m_bEnd = true;
            break;
        }
        if (n <= 0)
            break;
        total += n;
    }
    if (total > 0 || m_bEnd)
        Post();
}

void COutputReader::Drain()
{
    if (m_bFinished || !m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // A pipe holds little (64 KB), so all of it is taken, whatever the reader holds.
        while (!m_bEnd) {
            const qsizetype before = m_baBuffer.size();
            ReadLocked(kReadSize);
            if (m_baBuffer.size() == before)
                break;
        }
    }
    DeliverNow();
}

// Called with the mutex held.
void COutputReader::Post()
{
    if (m_bPosted)
        return;
    m_bPosted = true;
    char c = 1;
    ssize_t ignored = ::write(m_fdWake[1], &c, 1);
    (void)ignored;
}

void COutputReader::Deliver()
{
    if (m_sinceDelivery.isValid()) {
        qint64 elapsed = m_sinceDelivery.elapsed();
        if (elapsed < kBatchIntervalMs) {
            if (!m_timer.isActive())
                m_timer.start(int(kBatchIntervalMs - elapsed));
            return;
        }
    }
    DeliverNow();
}

void COutputReader::DeliverNow()
{
    bool bEnd;
    m_baDelivered.resize(0);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_baDelivered.swap(m_baBuffer);
        m_bPosted = false;
        bEnd = m_bEnd;
    }
    m_cvSpace.notify_all();
    m_sinceDelivery.restart();
    if (!m_baDelivered.isEmpty())
        emit OutputReceived(m_baDelivered);
    if (bEnd && !m_bFinished) {
        m_bFinished = true;
        emit Finished();
    }
}
