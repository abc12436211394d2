#include "perl/PerlTidy.h"

#include "run/ChildEnvironment.h"

#include <QProcess>

CPerlTidy::CPerlTidy(QObject *parent)
    : QObject(parent)
{
}

CPerlTidy::~CPerlTidy()
{
    if (m_pProcess) {
        m_pProcess->disconnect(this);
        m_pProcess->kill();
        m_pProcess->waitForFinished(1000);
    }
    // Whoever waits for the result (a busy cursor) hears that none will come.
    if (m_bRunning) {
        m_bRunning = false;
        emit Stopped();
    }
}

QStringList CPerlTidy::Arguments(bool bProfileFound, int nTabSize, bool bExpandTabs, bool bDosLineEnds)
{
    // -st/-se: the result on standard output, the errors on standard error, so no
    // .tdy or .ERR file is left anywhere.
    QStringList args = {QStringLiteral("-st"), QStringLiteral("-se")};
    if (!bProfileFound && nTabSize > 0) {
        args << QStringLiteral("-i=%1").arg(nTabSize);
        if (!bExpandTabs)
            args << QStringLiteral("-et=%1").arg(nTabSize);
    }
    // perltidy writes "\n" to a pipe whatever came in.
    args << (bDosLineEnds ? QStringLiteral("-ole=dos") : QStringLiteral("-ole=unix"));
    return args;
}

bool CPerlTidy::ProfileFound(const QByteArray &dproOutput)
{
    return dproOutput.contains("# Dump of file:");
}

QProcess *CPerlTidy::NewProcess()
{
    auto *process = new QProcess(this);
    m_pProcess = process;
    process->setProcessEnvironment(CChildEnvironment::System());
    if (!m_strWorkDir.isEmpty())
        process->setWorkingDirectory(m_strWorkDir);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || process != m_pProcess)
            return;
        m_pProcess = nullptr;
        process->deleteLater();
        Fail(tr("Could not run %1: %2. It comes with the perltidy package.").arg(m_strProgram, process->errorString()));
    });
    return process;
}

void CPerlTidy::Start(const QByteArray &source, const QString &strWorkDir, int nTabSize, bool bExpandTabs)
{
    if (m_bRunning)
        return;
    m_bRunning = true;
    m_baSource = source;
    m_strWorkDir = strWorkDir;
    m_nTabSize = nTabSize;
    m_bExpandTabs = bExpandTabs;
    // First ask perltidy which profile it would read from that folder.
    QProcess *process = NewProcess();
    connect(process, &QProcess::finished, this, [this, process] {
        if (process != m_pProcess)
            return;
        const bool found = ProfileFound(process->readAllStandardOutput());
        m_pProcess = nullptr;
        process->deleteLater();
        RunTidy(found);
    });
    process->start(m_strProgram, {QStringLiteral("-dpro")});
    process->closeWriteChannel();
}

void CPerlTidy::RunTidy(bool bProfileFound)
{
    QProcess *process = NewProcess();
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (process != m_pProcess)
            return;
        const QByteArray out = process->readAllStandardOutput();
        const QString err = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        m_pProcess = nullptr;
        process->deleteLater();
        if (status != QProcess::NormalExit)
            return Fail(tr("perltidy ended abnormally."));
        // perltidy gives back the text unchanged when it finds an error, and says why
        // on standard error with a non-zero exit code.
        if (exitCode != 0)
            return Fail(err.isEmpty() ? tr("perltidy ended with exit code %1.").arg(exitCode) : err);
        if (out.isEmpty() && !m_baSource.trimmed().isEmpty())
            return Fail(err.isEmpty() ? tr("perltidy gave back no text.") : err);
        m_bRunning = false;
        emit Finished(true, out, QString());
    });
    const bool dos = m_baSource.contains("\r\n");
    process->start(m_strProgram, Arguments(bProfileFound, m_nTabSize, m_bExpandTabs, dos));
    process->write(m_baSource);
    process->closeWriteChannel();
}

void CPerlTidy::Fail(const QString &strError)
{
    m_bRunning = false;
    emit Finished(false, QByteArray(), strError);
}
