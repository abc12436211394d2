#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class CRedirectPipe;
class QSocketNotifier;

// Copies one of a child's output streams to the GUI thread. A thread of its own waits
// on the pipe and collects what arrives; the GUI thread receives it in batches: a piece
// that follows a quiet moment is delivered at once, a flood at most every
// kBatchIntervalMs, so the window stays responsive. When the GUI cannot keep up, the
// reader stops reading (the child then waits on its full pipe) instead of piling up
// memory. Reading goes on to the end of the stream, after the child's end too.
class COutputReader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kBatchIntervalMs = 25;
    static constexpr int kMaxBuffered = 8 * 1024 * 1024;
    // What one read may take: a full pipe of the size CRedirectPipe asks for.
    static constexpr int kReadSize = 1024 * 1024;
    // The least room a read is given in the batch.
    static constexpr int kMinPiece = 64 * 1024;
    // Beyond this much waiting for the GUI, the batch takes its full room at once.
    static constexpr int kFloodBytes = 256 * 1024;
    static constexpr int kPollMs = 100;

    explicit COutputReader(CRedirectPipe *pPipe, QObject *parent = nullptr);
    ~COutputReader() override;

    void Start();
    // Stops reading and waits for the thread; what was not yet delivered is dropped.
    void Stop();
    // The whole stream has been delivered.
    bool IsFinished() const { return m_bFinished; }
    // Delivers at once, before it returns, everything the child has written to the
    // stream so far: what the reader holds and what still waits in the pipe. The debug
    // window calls it before it shows a stop, so that what the program wrote before the
    // stop comes before the debugger's prompt.
    void Drain();

signals:
    void OutputReceived(const QByteArray &data);
    void Finished();

private:
    void ReaderThreadProc();
    // Reads what the pipe holds now, at most nLimit bytes, into m_baBuffer; with the
    // mutex held, so that the reader thread and Drain take the bytes in their order.
    void ReadLocked(qsizetype nLimit);
    void Post();
    void Deliver();
    void DeliverNow();

    CRedirectPipe *m_pPipe;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};

    std::mutex m_mutex;
    std::condition_variable m_cvSpace;
    QByteArray m_baBuffer;
    bool m_bPosted = false;
    bool m_bEnd = false;

    // The reader thread wakes the GUI thread through this pipe rather than by posting
    // events, so the hand-over is plain to every tool that checks threads.
    int m_fdWake[2] = {-1, -1};
    QSocketNotifier *m_pWakeNotifier = nullptr;

    // The batch the GUI thread handed on last; its room is given back to the reader
    // thread, so a flood reuses the same memory instead of faulting in new pages.
    QByteArray m_baDelivered;
    bool m_bFinished = false;
    QElapsedTimer m_sinceDelivery;
    QTimer m_timer;
};
