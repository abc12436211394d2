#pragma once

#include "run/RedirectPipe.h"
#include "run/RunProcess.h"
#include "server/SshJob.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

struct ssh_channel_struct;
class CSshConnection;

// A program on a server, run through an exec channel of a kept SSH connection, as the
// output window sees a local child: its standard streams are the IDE's ends of three
// local pipes, whose other ends the connection's thread joins to the channel.
//
// The environment (a CGI request's variables, which may hold what others must not
// read) is never put on the command line and needs no environment request, which most
// servers refuse: a small bootstrap given to perl as -e code reads it from standard
// input as a length-prefixed block, moves into its process group of its own, changes to
// the folder, says its process number on standard output and execs the program, which
// then reads the rest of standard input. Interrupt and Kill reach that process group
// through a second exec channel.
class CRemoteProcess : public CRunProcess, public CSshJob, public std::enable_shared_from_this<CRemoteProcess>
{
public:
    struct Plan
    {
        // The server's perl, which runs the bootstrap.
        QString strPerl;
        // The program and its arguments, as exec gets them.
        QStringList program;
        // The folder it runs in; empty: the login's home.
        QString strDirectory;
        // "NAME=value" entries added to the server's environment for it.
        QStringList environment;
        // Put at strUploadPath over SFTP first, when the server's copy differs.
        bool bUpload = false;
        QString strUploadPath;
        QByteArray baUpload;
    };

    // The grace a program has after the interrupt of Kill before it is killed.
    static constexpr int kKillGraceMs = 1000;

    explicit CRemoteProcess(Plan plan);
    ~CRemoteProcess() override;

    // Opens the pipes and hands the job to the connection; false, with the reason in
    // LastError(), when the pipes cannot be made.
    bool Start(const std::shared_ptr<CSshConnection> &connection);

    CRedirectPipe *StdIn() const override { return &m_stdIn; }
    CRedirectPipe *StdOut() const override { return &m_stdOut; }
    CRedirectPipe *StdErr() const override { return &m_stdErr; }
    long GetExitCode() const override;
    bool HasEnded() const override { return m_bEnded.load(); }
    bool WasSignaled() const override;
    QString EndDescription() const override;
    const QString &LastError() const override { return m_strLastError; }
    void Interrupt() override;
    void Kill() override;
    // Lets go of the listener before it goes; the end is not told after this returns.
    void SetListener(CProcessListener *pListener);

    // Whether the put sent the file (false: the server's copy was the same).
    bool Uploaded() const { return m_bUploaded.load(); }
    // The remote command line, without anything secret: for the status line and tests.
    QString CommandLine() const;
    // The bootstrap's perl code.
    static QString BootstrapCode();
    // The block the bootstrap reads: eight hex digits of length, then the entries,
    // each ended by a NUL.
    static QByteArray EnvironmentBlock(const QStringList &entries);

    // CSshJob, on the connection's thread.
    bool Begin(ssh_session_struct *pSession) override;
    bool Pump() override;
    void AddPollDescriptors(std::vector<pollfd> &fds) override;
    void Abort(const QString &strReason) override;

private:
    bool Put();
    bool PumpInput();
    bool PumpOutput(int nStream);
    void SendSignal(const char *pszSignal);
    void PumpSideChannels();
    void End(long nExitCode, const QString &strFailure);
    bool WriteOut(int nStream, const char *pData, qsizetype nSize);

    Plan m_plan;
    mutable CRedirectPipe m_stdIn, m_stdOut, m_stdErr;
    // Weak: the connection holds the job while it runs, and the last owner of the
    // connection must never be its own thread.
    std::weak_ptr<CSshConnection> m_connection;
    // The connection's own copy of the input pipe's read end: the window closes the
    // pipe's ends when input ends, as it does for a local child, which holds its own.
    int m_fdInput = -1;
    QString m_strLastError;

    // On the connection's thread.
    ssh_session_struct *m_pSession = nullptr;
    ssh_channel_struct *m_pChannel = nullptr;
    std::vector<ssh_channel_struct *> m_sideChannels;
    QByteArray m_baToChannel;       // read from the input pipe, not yet taken by the channel
    bool m_bInputEnded = false;     // the input pipe is at its end
    bool m_bEofSent = false;
    QByteArray m_baHeader;          // the bootstrap's line with its process number
    bool m_bHeaderDone = false;
    long m_nPid = 0;
    QByteArray m_baPendingOut[2];   // read from the channel, not yet taken by the pipe
    bool m_bInterruptSent = false;
    bool m_bKillSent = false;
    std::chrono::steady_clock::time_point m_killAt;

    std::atomic<bool> m_bInterruptWanted{false};
    std::atomic<bool> m_bKillWanted{false};
    std::atomic<bool> m_bEnded{false};
    std::atomic<bool> m_bUploaded{false};
    std::atomic<long> m_nExitCode{kStillActive};
    mutable std::mutex m_mutex;
    QString m_strFailure;           // guarded by m_mutex
    CProcessListener *m_pListenerGuarded = nullptr;  // guarded by m_mutex
};
