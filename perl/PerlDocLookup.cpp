#include "perl/PerlDocLookup.h"

#include "editor/ScriptEncoding.h"
#include "run/ChildEnvironment.h"

#include <QProcess>

CPerlDocLookup::CPerlDocLookup(QObject *parent)
    : QObject(parent)
{
}

CPerlDocLookup::~CPerlDocLookup()
{
    if (m_pProcess) {
        m_pProcess->disconnect(this);
        m_pProcess->kill();
        m_pProcess->waitForFinished(1000);
    }
}

QString CPerlDocLookup::NotFoundText(const CPerlDocTopic &topic)
{
    return tr("No documentation found for \"%1\".").arg(topic.strName);
}

QString CPerlDocLookup::DecodeOutput(const QByteArray &output)
{
    // perldoc writes a page in the encoding of its source: UTF-8 for a page that says
    // so, and for one that does not, the 8-bit encoding it guessed (Latin-1, or
    // Windows-1252, which reads Latin-1 alike). Such a page is not valid UTF-8.
    if (CScriptEncoding::IsUtf8(output))
        return QString::fromUtf8(output);
    return QString::fromUtf8(CScriptEncoding::Windows1252ToUtf8(output));
}

bool CPerlDocLookup::IsRunning() const
{
    return m_pProcess && m_pProcess->state() != QProcess::NotRunning;
}

void CPerlDocLookup::Start(const CPerlDocTopic &topic)
{
    if (m_pProcess) {
        m_pProcess->disconnect(this);
        m_pProcess->kill();
        // Deleted once it has ended, off this call.
        connect(m_pProcess, &QProcess::finished, m_pProcess, &QObject::deleteLater);
        m_pProcess = nullptr;
    }
    m_topic = topic;
    m_nNext = 0;
    if (topic.IsEmpty()) {
        emit Finished(false, tr("There is no word at the caret to look up."));
        return;
    }
    RunNext();
}

void CPerlDocLookup::RunNext()
{
    if (m_nNext >= m_topic.lookups.size()) {
        emit Finished(false, NotFoundText(m_topic));
        return;
    }
    auto *process = new QProcess(this);
    m_pProcess = process;
    process->setProcessEnvironment(CChildEnvironment::System());
    // -T: no pager; -t: plain text, as the window shows it.
    QStringList args = {QStringLiteral("-T"), QStringLiteral("-t")};
    args += m_topic.lookups[m_nNext++];
    connect(process, &QProcess::finished, this, &CPerlDocLookup::OnProcessFinished);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || process != m_pProcess)
            return;
        const QString why = process->errorString();
        m_pProcess = nullptr;
        process->deleteLater();
        emit Finished(false, tr("Could not run %1: %2. The Perl documentation comes with the perl-doc package.")
                                 .arg(m_strProgram, why));
    });
    process->start(m_strProgram, args);
    process->closeWriteChannel();
}

void CPerlDocLookup::OnProcessFinished()
{
    QProcess *process = m_pProcess;
    if (!process)
        return;
    const bool ok = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    QString text = DecodeOutput(process->readAllStandardOutput());
    m_pProcess = nullptr;
    process->deleteLater();
    if (ok && !m_topic.strSection.isEmpty())
        text = CPerlDocTopic::Section(text, m_topic.strSection);
    if (ok && !text.trimmed().isEmpty()) {
        emit Finished(true, text);
        return;
    }
    RunNext();
}
