#include "server/SshConnection.h"

#include "server/SshJob.h"
#include "server/TransferQuestions.h"

#include <QCoreApplication>

#include <libssh/libssh.h>

#include <cerrno>
#include <cstring>

namespace {
// A job may wait for time to pass (the grace between an interrupt and a kill) with
// nothing to read; the loop looks at its jobs at least this often.
constexpr int kTurnMs = 100;

QString tr(const char *text)
{
    return QCoreApplication::translate("CSshConnection", text);
}
} // namespace

CSshConnection::CSshConnection(const CSshLogin &login, CTransferQuestions *pQuestions)
    : m_login(login)
    , m_pQuestions(pQuestions)
{
}

CSshConnection::~CSshConnection()
{
    Close();
}

void CSshConnection::Submit(std::shared_ptr<CSshJob> job)
{
    bool bStart = false;
    {
        std::lock_guard lock(m_mutex);
        m_queued.push_back(std::move(job));
        if (!m_bRunning) {
            m_bRunning = true;
            bStart = true;
        } else if (m_session) {
            m_session->Wake();
        }
    }
    if (!bStart)
        return;
    // The last worker has ended (its session broke or could not be made); a new one
    // logs in again.
    if (m_worker.joinable())
        m_worker.join();
    auto session = std::make_shared<CSshSession>(m_login, CSshSession::Events{});
    {
        std::lock_guard lock(m_mutex);
        m_session = session;
    }
    m_worker = std::thread([this, session] { Serve(session); });
}

void CSshConnection::Wake()
{
    std::lock_guard lock(m_mutex);
    if (m_session)
        m_session->Wake();
}

void CSshConnection::Close()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_session)
            m_session->Cancel();
    }
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard lock(m_mutex);
    m_session.reset();
    m_bRunning = false;
}

void CSshConnection::Serve(const std::shared_ptr<CSshSession> &session)
{
    // The session was made without events, so that they can name it; they are set
    // before it runs, on this thread, which alone uses them.
    CSshSession &s = *session;
    CSshSession::Events events;
    events.onHostKeyQuestion = [this, &s](const QString &strText) {
        s.AnswerHostKey(m_pQuestions && m_pQuestions->TrustHostKey(strText));
    };
    events.onSecretQuestion = [this, &s](const QString &strPrompt) {
        QString secret;
        const bool bGiven = m_pQuestions && m_pQuestions->AskPassphrase(strPrompt, secret);
        s.AnswerSecret(bGiven, secret.toUtf8());
        secret.fill(QLatin1Char('\0'));
    };
    events.onLoggedIn = [this, &s](ssh_session_struct *pSession, QString &strReason) {
        return ServeLoggedIn(s, pSession, strReason);
    };
    QString strEnd;
    CSshSession::End end = CSshSession::End::Closed;
    events.onEnd = [&](CSshSession::End e, const QString &reason) {
        end = e;
        strEnd = reason;
    };
    s.SetEvents(std::move(events));
    s.Run();
    // Whatever is still queued never ran: a login that failed says why.
    std::vector<std::shared_ptr<CSshJob>> left;
    {
        std::lock_guard lock(m_mutex);
        left.swap(m_queued);
        m_bRunning = false;
    }
    QString reason = strEnd;
    if (end == CSshSession::End::Failed)
        reason = tr("Could not connect to %1: %2").arg(m_login.strHost, strEnd);
    else if (end == CSshSession::End::Cancelled)
        reason = tr("The connection to %1 was closed.").arg(m_login.strHost);
    for (const auto &job : left)
        job->Abort(reason);
}

CSshSession::End CSshConnection::ServeLoggedIn(CSshSession &session, ssh_session_struct *pSession,
                                               QString &strReason)
{
    ++m_nLogins;
    std::vector<std::shared_ptr<CSshJob>> jobs;
    // The session's own packets (the server's keep-alive questions, its goodbye) are
    // handled while no channel reads them.
    ssh_event event = ssh_event_new();
    if (event)
        ssh_event_add_session(event, pSession);
    auto abortAll = [&](const QString &reason) {
        for (const auto &job : jobs)
            job->Abort(reason);
        jobs.clear();
        std::vector<std::shared_ptr<CSshJob>> queued;
        {
            std::lock_guard lock(m_mutex);
            queued.swap(m_queued);
        }
        for (const auto &job : queued)
            job->Abort(reason);
    };
    auto finish = [&](CSshSession::End end) {
        if (event) {
            ssh_event_remove_session(event, pSession);
            ssh_event_free(event);
        }
        return end;
    };
    auto lost = [&]() {
        const QString error = QString::fromLocal8Bit(ssh_get_error(pSession));
        strReason = tr("The connection to %1 was lost (%2).").arg(m_login.strHost, error);
        abortAll(strReason);
        return finish(CSshSession::End::Lost);
    };
    for (;;) {
        if (session.Cancelled()) {
            abortAll(tr("The connection to %1 was closed.").arg(m_login.strHost));
            return finish(CSshSession::End::Cancelled);
        }
        std::vector<std::shared_ptr<CSshJob>> fresh;
        {
            std::lock_guard lock(m_mutex);
            fresh.swap(m_queued);
        }
        for (auto &job : fresh)
            if (job->Begin(pSession))
                jobs.push_back(std::move(job));
        for (size_t i = 0; i < jobs.size();) {
            if (jobs[i]->Pump())
                ++i;
            else
                jobs.erase(jobs.begin() + qsizetype(i));
        }
        if (!ssh_is_connected(pSession))
            return lost();

        std::vector<pollfd> fds = {{session.WakeDescriptor(), POLLIN, 0}, {ssh_get_fd(pSession), POLLIN, 0}};
        for (const auto &job : jobs)
            job->AddPollDescriptors(fds);
        if (poll(fds.data(), nfds_t(fds.size()), kTurnMs) < 0 && errno != EINTR) {
            strReason = QString::fromLocal8Bit(strerror(errno));
            abortAll(strReason);
            return finish(CSshSession::End::Lost);
        }
        if (fds[0].revents & POLLIN)
            session.DrainWake();
        if (fds[1].revents && event && ssh_event_dopoll(event, 0) == SSH_ERROR && !ssh_is_connected(pSession))
            return lost();
    }
}
