#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// A console window for the user: the terminal emulator ($TERMINAL, else
// x-terminal-emulator, else xterm) running a command, or the user's shell when the
// command is empty.
class CConsoleWindow
{
public:
    // The terminal program to use, found on the PATH; empty when there is none.
    static QString TerminalProgram();
    // The terminal's program and arguments that run `command` (argument list, no shell).
    static QStringList TerminalCommand(const QStringList &command);

    // Starts the console in `strWorkDir` and waits until it closes. The windows keep
    // repainting but take no input meanwhile. Returns false, with the reason, when no
    // terminal could be started.
    static bool RunAndWait(const QStringList &command, const QString &strWorkDir, QString *pError = nullptr);
};
