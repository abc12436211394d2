#include "run/ConsoleWindow.h"

#include "run/ChildEnvironment.h"
#include "run/ChildProcess.h"

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

QString CConsoleWindow::TerminalProgram()
{
    QStringList candidates;
    QString fromEnv = qEnvironmentVariable("TERMINAL");
    if (!fromEnv.isEmpty())
        candidates << fromEnv;
    candidates << QStringLiteral("x-terminal-emulator") << QStringLiteral("xterm");
    for (const QString &c : candidates) {
        QString found = QStandardPaths::findExecutable(c);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QStringList CConsoleWindow::TerminalCommand(const QStringList &command)
{
    QString terminal = TerminalProgram();
    if (terminal.isEmpty())
        return {};
    QStringList args{terminal};
    if (!command.isEmpty())
        args << QStringLiteral("-e") << command;
    return args;
}

bool CConsoleWindow::RunAndWait(const QStringList &command, const QString &strWorkDir, QString *pError)
{
    QStringList full = TerminalCommand(command);
    if (full.isEmpty()) {
        if (pError)
            *pError = QStringLiteral("No terminal emulator was found (set TERMINAL, or install xterm).");
        return false;
    }
    QProcess process;
    process.setProgram(full.takeFirst());
    process.setArguments(full);
    process.setWorkingDirectory(strWorkDir);
    // The terminal starts its command without a shell, so the PWD it passes on is ours
    // unless it is set to the folder the command starts in.
    QProcessEnvironment environment = CChildEnvironment::System();
    environment.insert(QStringLiteral("PWD"), CChildProcess::EnvironmentPwd(strWorkDir));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    process.start();
    if (!process.waitForStarted(5000)) {
        if (pError)
            *pError = process.errorString();
        return false;
    }
    if (process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return true;
}
