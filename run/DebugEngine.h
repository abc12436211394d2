#pragma once

#include "run/DebugBreakpoint.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

// Drives perl's own debugger over a loopback socket of its own: perl -d started with
// PERLDB_OPTS from DebuggerOptions() connects to the port this engine listens on, so the
// program's standard streams stay the program's. The engine sets the breakpoints before
// the program's first statement runs, steps, and reports every stop with its frames,
// locals and watches. It does not start the program: the runner does, as for Run.
class CDebugEngine : public QObject
{
    Q_OBJECT

public:
    explicit CDebugEngine(QObject *parent = nullptr);
    ~CDebugEngine() override;

    // Opens the listener on a free port of 127.0.0.1. False, with the reason, when it cannot.
    bool Listen(QString *pError = nullptr);
    int Port() const;
    // The value of PERLDB_OPTS for the child: the remote port and plain prompts.
    QString DebuggerOptions() const;
    // The folder the child starts in (empty: the IDE's current folder); relative file names
    // perl reports are made absolute against it.
    void SetDirectory(const QString &strDirectory);

    // Breakpoints known before the start are all set before the program's first statement
    // runs, and the session then runs to the first one reached; with none, the session
    // stops at the first statement, as perl -d does.
    void SetBreakpoints(const QList<CDebugBreakpoint> &list);
    // During a session too: each is reported by breakpointChanged once perl has it.
    void AddBreakpoint(const CDebugBreakpoint &bp);
    void RemoveBreakpoint(const QString &strFile, int nLine);
    QList<CDebugBreakpoint> Breakpoints() const { return m_breakpoints; }
    // Expressions evaluated at every stop (and at once when the program is stopped).
    void SetWatches(const QStringList &expressions);

    bool IsConnected() const;
    // At the debugger's prompt, ready for a command.
    bool IsStopped() const;
    // The command keys; ignored unless IsStopped().
    void Continue();
    void StepOver();
    void StepInto();
    void StepOut();
    // Runs until that line of any file (a one-time breakpoint) or an earlier breakpoint.
    void RunToLine(const QString &strFile, int nLine);
    // Starts the program again in the same process, with the same breakpoints.
    void Restart();
    // Ends the session: at the prompt, perl is told to quit; while the program runs, the
    // connection is closed (the runner kills the child, as Close does).
    void Stop();
    // A command the user typed (n, p $x, ...); its answer comes in debuggerText.
    void SendCommand(const QString &strTyped);
    // Locals of that frame of the last framesChanged (0 the innermost).
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
    void OnNewConnection();
    void OnReadyRead();
    void OnDisconnected();

    QTcpServer *m_pServer = nullptr;
    QTcpSocket *m_pSocket = nullptr;
    QString m_strDirectory;
    QList<CDebugBreakpoint> m_breakpoints;
    QStringList m_watches;
    bool m_bStopped = false;
};
