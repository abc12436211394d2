#pragma once

#include "debug/DebugBreakpoint.h"
#include "debug/DebugReplyParser.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class CChildProcess;
class QLocalSocket;

// Drives perl's own debugger over a channel of its own: a socket pair whose one end the
// child inherits, so that no other process can reach the debugger (there is nothing to
// connect to) and the program's standard streams stay the program's. The engine sets the
// breakpoints before the program's first statement runs, steps, and reports every stop
// with its frames, locals and watches. It does not start the program: the runner does, as
// for Run, after PrepareChild.
class CDebugEngine : public QObject
{
    Q_OBJECT

public:
    explicit CDebugEngine(QObject *parent = nullptr);
    ~CDebugEngine() override;

    // Makes a new channel and gives the child (not started yet) its end and the
    // environment that puts perl -d's debugger on it. A new session with the same engine:
    // the breakpoints and watches stay. False, with the reason, when it cannot.
    bool PrepareChild(CChildProcess &child, QString *pError = nullptr);
    // The value of PERLDB_OPTS for the child: plain prompts, the program's own exit.
    static QString DebuggerOptions();
    // The descriptor the channel has in the child.
    static constexpr int kChannelFd = 3;
    // The folder the child starts in (empty: the IDE's current folder); relative file names
    // perl reports are made absolute against it.
    void SetDirectory(const QString &strDirectory);

    // Breakpoints known before the start are all set before the program's first statement
    // runs, and the session then runs to the first one reached; with none, the session
    // stops at the first statement, as perl -d does.
    void SetBreakpoints(const QList<CDebugBreakpoint> &list);
    // During a session too: each is reported by breakpointChanged once perl has it. While
    // the program runs on Continue, perl is interrupted for it and the program runs on.
    void AddBreakpoint(const CDebugBreakpoint &bp);
    void RemoveBreakpoint(const QString &strFile, int nLine);
    QList<CDebugBreakpoint> Breakpoints() const { return m_breakpoints; }
    // Expressions evaluated at every stop (and at once when the program is stopped).
    void SetWatches(const QStringList &expressions);

    bool IsConnected() const;
    // At the debugger's prompt, the stop fully reported, ready for a command.
    bool IsStopped() const;
    // The command keys; ignored while the program runs or after the session's end.
    void Continue();
    void StepOver();
    void StepInto();
    void StepOut();
    // Runs until that line of any file (a one-time breakpoint) or an earlier breakpoint.
    void RunToLine(const QString &strFile, int nLine);
    // At a stop: starts the program again in the same process, with the same breakpoints
    // (sessionEnded does not come; running, then a stop do).
    void Restart();
    // Ends the session: at the prompt, perl is told to quit; while the program runs, the
    // connection is closed (the runner kills the child, as Close does).
    void Stop();
    // A command the user typed (n, p $x, ...) at a stop; its answer comes in debuggerText,
    // and the stop is reported again (the command may have moved it). R restarts, q stops.
    void SendCommand(const QString &strTyped);
    // Locals of that frame of the last framesChanged (0 the innermost): only localsChanged.
    void SelectFrame(int nIndex);

signals:
    void connected();
    void stopped(const QString &strFile, int nLine);
    void framesChanged(const QList<CDebugFrame> &frames);
    // Empty with the reason when perl cannot show them (PadWalker missing).
    void localsChanged(const QList<CDebugValue> &locals, const QString &strWhyEmpty);
    void watchesChanged(const QList<CDebugValue> &values);
    // Set, Moved (nActualLine), Refused (strReason), Pending (its file is not loaded yet).
    void breakpointChanged(const CDebugBreakpoint &bp);
    // The debugger's own words: stop lines ("main::(x.pl:5):"), answers to typed commands.
    void debuggerText(const QString &strText);
    // Left the prompt: the program runs.
    void running();
    // The program finished, or the debugger is gone.
    void sessionEnded();

private:
    // What a command sent to the debugger was for, so that its answer goes to the right place.
    enum class Purpose { Setup, Breakpoint, Resume, Snapshot, Frame, Watches, User, Quit, Restart };
    struct Command
    {
        QByteArray baText;
        Purpose purpose;
    };

    // A debugger said hello on the channel: the first one, or a new one after R.
    void OnDebuggerStarted();
    void OnReadyRead();
    void OnDisconnected();
    void OnPrompt();
    void OnRecord(const QStringList &fields);
    void Enqueue(const QByteArray &baText, Purpose purpose);
    void SendNext();
    void Resume(const QByteArray &baCommand);
    void PlaceBreakpoint(const CDebugBreakpoint &bp);
    void ApplyAfterResume();
    // The start's decision: run to the first breakpoint, or stay at the first statement.
    void StartRunning(bool bRun);
    void Settle();
    void EmitSnapshot();
    void EndSession();
    void InterruptForBreakpoints();
    // Connected and waiting for a command that is not yet in the queue.
    bool AtPrompt() const;
    QString AbsoluteFile(const QString &strFile) const;
    int IndexOfId(int nId) const;

    QLocalSocket *m_pSocket = nullptr;
    // A debugger has said hello on the channel of this session.
    bool m_bConnected = false;
    CDebugReplyParser m_parser;
    QString m_strDirectory;
    QList<CDebugBreakpoint> m_breakpoints;
    QList<int> m_breakpointIds; // parallel to m_breakpoints
    int m_nNextId = 1;
    QStringList m_watches;
    QList<Command> m_queue;
    bool m_bInFlight = false;
    Purpose m_inFlight = Purpose::Setup;
    QByteArray m_baReplyText;
    bool m_bStopped = false;
    bool m_bRunning = false;
    bool m_bRestarting = false;
    bool m_bQuitting = false;
    bool m_bStartCondition = false;
    bool m_bConditionTrue = false;
    qint64 m_nPid = 0;            // perl's, as it says itself
    bool m_bInterruptible = false; // SIGINT still goes to the debugger's handler
    bool m_bInterrupting = false;
    bool m_bInterruptStop = false;
    QString m_strInterruptText;
    QByteArray m_baLastResume;
    // The last step (n or s), which an empty line repeats.
    QByteArray m_baLastStep;
    bool m_bEnded = false;
    bool m_bFirstPrompt = true;
    bool m_bStartPending = false;
    bool m_bSnapshotDone = false;
    QString m_strLastStopLine;
    // Where perl -d stopped first, before the program's first statement ran.
    QString m_strFirstStop;
    int m_nFirstStopLine = 0;
    int m_nSelectedFrame = 0;
    // The report of the stop being read.
    QList<CDebugFrame> m_frames;
    QList<CDebugValue> m_locals;
    QList<CDebugValue> m_watchValues;
    QString m_strWhyNoLocals;
};
