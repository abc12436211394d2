#pragma once

#include "run/RunProcess.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <thread>

#include <sys/types.h>

class CRedirectPipe;

// One child program, started from an argument list (never through a shell) in a
// session and process group of its own, so that it has no controlling terminal and
// Kill reaches everything it started. Start leaves it suspended: its program does not
// run before Resume.
class CChildProcess : public CRunProcess
{
public:
    CChildProcess(const QString &strApplication, const QStringList &arguments);
    ~CChildProcess() override;
    CChildProcess(const CChildProcess &) = delete;
    CChildProcess &operator=(const CChildProcess &) = delete;

    // Standard input, output and error of the child. Without it the child's streams
    // are the null device.
    void SetRedirection(CRedirectPipe *pStdIn, CRedirectPipe *pStdOut, CRedirectPipe *pStdErr);
    // Empty: the IDE's current folder.
    void SetDirectory(const QString &strDirectory) { m_strDirectory = strDirectory; }
    // Added to (or replacing in) the environment the child inherits.
    void SetEnvironmentVariable(const QString &strName, const QString &strValue);
    // The child gets these "NAME=value" entries instead of the IDE's environment;
    // SetEnvironmentVariable still adds to them.
    void SetEnvironment(const QStringList &entries);

    // The child gets `fd` as its descriptor 3, a channel of its own to the IDE. The
    // object takes the descriptor over: the IDE's copy is closed once the child has it.
    void SetInheritedDescriptor(int fd);

    // Creates the child, suspended. False, with the reason in LastError(), when the
    // program is missing or not executable or the system refuses.
    bool Start();
    // Lets the child run its program. False, with the reason, when it could not.
    bool Resume();
    // Watches the child on a thread of its own, which tells the listener exactly once
    // when the child has ended.
    void StartWaiter();

    // kStillActive while the child runs; its exit status once it has exited;
    // kUnknown when it was never started.
    long GetExitCode() const override;
    // Ends the child and everything in its process group at once.
    void Kill() override;
    // SIGINT to the child's process group.
    void Interrupt() override;
    bool HasEnded() const override { return m_bEnded; }
    // The child ended by a signal: Kill's, or its own crash.
    bool WasSignaled() const override;
    int TermSignal() const;
    bool WasKilled() const { return m_bKillRequested && WasSignaled(); }

    // The words the user sees for the end: "Process completed with exit code N." or
    // that it was terminated.
    QString EndDescription() const override;

    pid_t ProcessId() const { return m_pid; }
    const QString &LastError() const override { return m_strLastError; }
    CRedirectPipe *StdIn() const override { return m_pStdIn; }
    CRedirectPipe *StdOut() const override { return m_pStdOut; }
    CRedirectPipe *StdErr() const override { return m_pStdErr; }
    const QString &Application() const { return m_strApplication; }
    const QStringList &Arguments() const { return m_arguments; }

    // The path of the program as it would run: a name without a separator is looked up
    // on the PATH. Empty, with the reason, when it cannot run.
    static QString ResolveProgram(const QString &strProgram, QString *pReason);
    // What PWD must say for a program that starts in strDirectory (empty: the IDE's
    // current folder): that folder made absolute as given, or, where that path does not
    // lead there (a symbolic link before ".."), its physical path.
    static QString EnvironmentPwd(const QString &strDirectory);

private:
    void WaiterThreadProc();
    void ReapNow();

    QString m_strApplication;
    QStringList m_arguments;
    QString m_strDirectory;
    QStringList m_environment;
    QStringList m_baseEnvironment;
    bool m_bOwnEnvironment = false;
    int m_fdInherited = -1;
    QString m_strLastError;

    CRedirectPipe *m_pStdIn = nullptr;
    CRedirectPipe *m_pStdOut = nullptr;
    CRedirectPipe *m_pStdErr = nullptr;
    bool m_bRedirect = false;

    pid_t m_pid = -1;
    int m_fdResume = -1;
    int m_fdExecError = -1;
    bool m_bResumed = false;

    mutable std::mutex m_mutex;
    std::atomic<bool> m_bEnded{false};
    std::atomic<bool> m_bKillRequested{false};
    std::atomic<int> m_nStatus{0};
    std::thread m_waiter;
};
