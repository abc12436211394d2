#include "perl/ScriptCheck.h"

#include <QProcess>

#include <signal.h>
#include <unistd.h>

CScriptCheck::CScriptCheck(QObject *parent)
    : QObject(parent)
{
}

CScriptCheck::~CScriptCheck()
{
    Cancel();
}

QStringList CScriptCheck::SyntaxCheckArguments(const QString &strScript)
{
    return {QStringLiteral("-c"), QStringLiteral("-w"), strScript};
}

QStringList CScriptCheck::CritiqueArguments(int nSeverity)
{
    return {QStringLiteral("--severity"), QString::number(qBound(1, nSeverity, 5)), QStringLiteral("--nocolor"),
            QStringLiteral("--verbose"), QStringLiteral("%f:%l:%c: [%p] %m. %e (Severity: %s)\n")};
}

void CScriptCheck::Cancel()
{
    if (!m_pProcess)
        return;
    QProcess *process = m_pProcess;
    m_pProcess = nullptr;
    process->disconnect(this);
    const qint64 pid = process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process->kill();
    // Reaped when it has gone, without waiting here.
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QProcess::errorOccurred, process, &QObject::deleteLater);
    if (process->state() == QProcess::NotRunning)
        process->deleteLater();
}

void CScriptCheck::Start(const QString &strProgram, const QStringList &arguments, const QString &strDirectory,
                         const QByteArray &baInput)
{
    Cancel();
    m_strDirectory = strDirectory;
    m_baInput = baInput;
    m_pProcess = new QProcess(this);
    m_pProcess->setProcessChannelMode(QProcess::MergedChannels);
    m_pProcess->setWorkingDirectory(strDirectory);
    // A group of its own, so that a dropped check ends with what it started.
    m_pProcess->setChildProcessModifier([] { ::setsid(); });
    connect(m_pProcess, &QProcess::started, this, [this] {
        m_pProcess->write(m_baInput);
        m_pProcess->closeWriteChannel();
    });
    connect(m_pProcess, &QProcess::finished, this, &CScriptCheck::OnFinished);
    connect(m_pProcess, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            OnFailedToStart();
    });
    m_pProcess->start(strProgram, arguments);
}

void CScriptCheck::OnFailedToStart()
{
    QProcess *process = m_pProcess;
    if (!process)
        return;
    m_pProcess = nullptr;
    CScriptCheckResult result;
    result.strError = process->errorString();
    process->deleteLater();
    emit Finished(result);
}

void CScriptCheck::OnFinished()
{
    QProcess *process = m_pProcess;
    if (!process)
        return;
    m_pProcess = nullptr;
    CScriptCheckResult result;
    result.bStarted = true;
    result.baOutput = process->readAll();
    result.nExitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    if (process->exitStatus() != QProcess::NormalExit)
        result.strError = process->errorString();
    result.messages = CFileLineParser(m_strDirectory).Parse(QString::fromUtf8(result.baOutput));
    process->deleteLater();
    emit Finished(result);
}
