#include "server/SshShell.h"

#include "app/Settings.h"
#include "framework/Trace.h"

#include <QDir>

CSshShell::CSshShell(QObject *parent)
    : CShellConnection(parent)
{
    m_login.strSshDir = QDir::homePath() + QStringLiteral("/.ssh");
}

CSshShell::~CSshShell()
{
    Stop();
}

void CSshShell::Stop()
{
    ++m_nGeneration;
    m_state = State::Closed;
    if (m_pSession)
        m_pSession->Cancel();
    // Cancel ends every wait of the session (the socket is shut down, questions are
    // withdrawn), so the worker returns at once; only a host name lookup may take a
    // moment.
    if (m_worker.joinable())
        m_worker.join();
    m_pSession.reset();
}

void CSshShell::Configure(const CSettings &settings)
{
    m_login.strUser = settings.SERVER_USER;
    m_login.strPassword = settings.SERVER_PASS;
    m_login.startLine = ("cd " + settings.REMOTE_DIRECTORY + QLatin1Char('\n')).toUtf8();
    m_login.strSshDir = QDir::homePath() + QStringLiteral("/.ssh");
}

void CSshShell::Connect(const QString &strHost, int nPort)
{
    Stop();
    m_terminal.Reset();
    m_decoder.Reset();
    CSshLogin login = m_login;
    login.strHost = strHost;
    login.nPort = nPort;
    const unsigned nGeneration = m_nGeneration;
    // The events come on the worker thread and are handed to this object's thread;
    // those of a session let go meanwhile are dropped by the generation check.
    auto post = [this](auto fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); };
    CSshSession::Events events;
    events.onShellOpen = [this, post, nGeneration] {
        post([this, nGeneration] {
            if (nGeneration != m_nGeneration)
                return;
            m_state = State::Open;
            emit Connected();
        });
    };
    events.onData = [this, post, nGeneration](const QByteArray &data) {
        post([this, nGeneration, data] { OnData(nGeneration, data); });
    };
    events.onEnd = [this, post, nGeneration](CSshSession::End end, const QString &reason) {
        post([this, nGeneration, end, reason] { OnEnd(nGeneration, end, reason); });
    };
    events.onHostKeyQuestion = [this, post, nGeneration](const QString &question) {
        post([this, nGeneration, question] {
            if (nGeneration == m_nGeneration)
                emit HostKeyQuestion(question);
        });
    };
    events.onSecretQuestion = [this, post, nGeneration](const QString &prompt) {
        post([this, nGeneration, prompt] {
            if (nGeneration == m_nGeneration)
                emit SecretQuestion(prompt);
        });
    };
    m_pSession = std::make_shared<CSshSession>(login, std::move(events));
    m_state = State::Opening;
    // The worker only uses the session and posts to this object, which joins it before
    // it goes (Stop), so neither outlives what it uses.
    m_worker = std::thread([session = m_pSession] { session->Run(); });
}

void CSshShell::Close()
{
    Stop();
}

bool CSshShell::SendLine(const QString &strLine)
{
    // Only its size: the line may answer a password prompt on the server.
    TRACE() << "sending a line of" << strLine.size() << "characters";
    if (!IsOpen())
        return false;
    m_pSession->Write(strLine.toUtf8() + '\n');
    return true;
}

bool CSshShell::SendLogin(const QString &, const QString &)
{
    return IsOpen();
}

bool CSshShell::SendInterrupt()
{
    if (!IsOpen())
        return false;
    m_pSession->Write(QByteArray(1, '\x03'));
    return true;
}

void CSshShell::SetTerminalSize(int nColumns, int nRows)
{
    m_login.nColumns = qMax(nColumns, 20);
    m_login.nRows = qMax(nRows, 5);
    if (m_pSession)
        m_pSession->Resize(m_login.nColumns, m_login.nRows);
}

void CSshShell::AnswerHostKey(bool bTrust)
{
    if (m_pSession)
        m_pSession->AnswerHostKey(bTrust);
}

void CSshShell::AnswerSecret(bool bGiven, const QString &strSecret)
{
    if (m_pSession)
        m_pSession->AnswerSecret(bGiven, strSecret.toUtf8());
}

void CSshShell::OnData(unsigned nGeneration, const QByteArray &data)
{
    if (nGeneration != m_nGeneration)
        return;
    m_pSession->Consumed(data.size());
    QByteArray text;
    m_terminal.Process(data, text);
    const QString str = m_decoder.Decode(text);
    if (!str.isEmpty())
        emit TextReceived(str);
}

void CSshShell::OnEnd(unsigned nGeneration, CSshSession::End end, const QString &strReason)
{
    if (nGeneration != m_nGeneration)
        return;
    const bool bWasOpen = m_state == State::Open;
    const QString rest = m_decoder.Flush();
    Stop();
    if (!rest.isEmpty())
        emit TextReceived(rest);
    switch (end) {
    case CSshSession::End::Closed:
        emit ConnectionClosed();
        break;
    case CSshSession::End::Lost:
        emit ConnectionLost(strReason);
        break;
    case CSshSession::End::Failed:
        emit ConnectionFailed(strReason);
        break;
    case CSshSession::End::Cancelled:
        if (bWasOpen)
            emit ConnectionClosed();
        break;
    }
}
