#pragma once

#include <QString>

class CProcessListener;
class CRedirectPipe;

// A program the output window watches, wherever it runs: a child of the IDE or a program
// on a server. The window reads its standard output and error from the read ends of two
// pipes and writes its standard input to the write end of a third, whatever carries the
// bytes beyond them; it learns of the end through the listener and asks for the exit
// code, and it can interrupt or end the program.
class CRunProcess
{
public:
    // The exit code while the program runs.
    static constexpr long kStillActive = 259;
    // The exit code when the program's state cannot be known.
    static constexpr long kUnknown = -99;

    virtual ~CRunProcess() = default;

    // The streams as the IDE sees them: it writes StdIn and reads StdOut and StdErr.
    // Null when the program has no such stream.
    virtual CRedirectPipe *StdIn() const = 0;
    virtual CRedirectPipe *StdOut() const = 0;
    virtual CRedirectPipe *StdErr() const = 0;

    // kStillActive while the program runs; its exit status once it has exited.
    virtual long GetExitCode() const = 0;
    virtual bool HasEnded() const = 0;
    // The program ended by a signal.
    virtual bool WasSignaled() const = 0;
    // The words the user sees for the end.
    virtual QString EndDescription() const = 0;
    virtual const QString &LastError() const = 0;

    // Asks the program to stop, as Ctrl+C at a terminal does.
    virtual void Interrupt() = 0;
    // Ends the program and everything it started, at once.
    virtual void Kill() = 0;

    // Told once, on a thread that is not the GUI thread, when the program has ended.
    CProcessListener *m_pListener = nullptr;
};
