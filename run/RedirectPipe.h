#pragma once

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// One standard stream between the IDE and a child program: a read end and a write end.
// Both ends are close-on-exec; the child receives only its own end, as its standard
// stream, from CChildProcess. An end is -1 once closed.
//
// Writing never blocks the caller: Write queues the bytes and a writer thread of this
// pipe hands them to the child as fast as it reads them.
class CRedirectPipe
{
public:
    CRedirectPipe();
    virtual ~CRedirectPipe();
    CRedirectPipe(const CRedirectPipe &) = delete;
    CRedirectPipe &operator=(const CRedirectPipe &) = delete;

    // An anonymous pipe, of kPipeCapacity bytes where the system allows it.
    static constexpr int kPipeCapacity = 1024 * 1024;
    bool Open();
    // A pseudo-terminal in raw mode (no line-end translation, no echo), so that a child
    // writing to it line-buffers its output as at a console. The read end is the master,
    // the write end the terminal the child writes to. It never becomes the child's
    // controlling terminal.
    bool OpenTerminal();
    // A pseudo-terminal for the child's standard input, so that a program that reads
    // a terminal flushes its prompt before it waits (perl does so only for a terminal).
    // The read end is the terminal the child reads, the write end the master. It
    // takes every byte as written: no echo, no signals, no line-end mapping, no editing
    // characters, no limit on a line's length. End of input (CloseWriteEnd) reaches
    // the child as end of file once it has read everything before it.
    bool OpenTerminalInput();

    int GetReadHandle() const { return m_fdRead; }
    int GetWriteHandle() const { return m_fdWrite; }
    bool IsTerminal() const { return m_bTerminal; }
    bool IsTerminalInput() const { return m_bTerminalInput; }

    // Waits at most nTimeoutMs for bytes, then reads what is there, at most nSize bytes.
    // Returns the count read, 0 when nothing came in time, kEnd when the other side has
    // closed and everything was read (or the read end is closed).
    static constexpr int kEnd = -1;
    int ReadAvailable(char *pBuffer, unsigned nSize, int nTimeoutMs);

    // Queues the bytes for the child. No terminator, no line end is added. Returns 0.
    int Write(const QByteArray &text);
    // True when every queued byte has reached the pipe.
    bool Flush();
    // The write end of a pipe with bytes still queued closes once they have been
    // written (the child reads them, then end of file), or when the child goes away.
    bool CloseReadEnd();
    bool CloseWriteEnd();
    bool Close();

    // Called by CChildProcess once the child holds its copies of the ends.
    void CloseChildEnd(bool bChildReads);

private:
    // A new master and its terminal, both closed again on failure.
    static bool OpenPseudoTerminal(int &master, int &slave);
    void WriterLoop();
    void Wake();
    void CloseWriteEndLocked();
    void QueueLocked(const char *pData, qsizetype nSize);
    void StartWriterLocked();
    void QueueTerminalInputLocked(const QByteArray &text);

    // Terminal input is read line by line (canonical mode): the only mode in which a
    // reader can be told of end of file while the terminal stays open. Bytes that mode
    // would take as editing or end of file go quoted, and a line is handed over in
    // pieces, so that none reaches the terminal's limit of 4095 bytes to a line.
    static constexpr qsizetype kTerminalPiece = 1024;
    static constexpr char kEof = 0x04;
    static constexpr char kLiteralNext = 0x16;
    qsizetype m_nLinePiece = 0;
    bool m_bInputEnded = false;

    int m_fdRead = -1;
    int m_fdWrite = -1;
    bool m_bTerminal = false;
    bool m_bTerminalInput = false;

    std::mutex m_mutex;
    QByteArray m_baPending;
    qsizetype m_nSent = 0;
    bool m_bCloseWhenWritten = false;
    bool m_bWriterOwnsEnd = false;
    std::atomic<bool> m_bStopWriter{false};
    int m_fdWake[2] = {-1, -1};
    std::thread m_writer;
};
