#pragma once

#include "server/SshSession.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CSshJob;
class CTransferQuestions;

// One SSH connection kept open for the runs, checks and debug sessions on a server:
// the first job logs in (with the shell's rules for host keys and logins, asking the
// user through `questions`), the next ones reuse the connection. A worker thread owns
// the libssh session and serves every job on it; a connection that broke or could not
// be made is made again by the next job.
class CSshConnection
{
public:
    CSshConnection(const CSshLogin &login, CTransferQuestions *pQuestions);
    ~CSshConnection();
    CSshConnection(const CSshConnection &) = delete;
    CSshConnection &operator=(const CSshConnection &) = delete;

    // Hands a job to the connection; its calls come on the connection's thread.
    void Submit(std::shared_ptr<CSshJob> job);
    // Wakes the connection's loop, so that its jobs look at what changed.
    void Wake();
    // Ends the connection and every job on it.
    void Close();

    const CSshLogin &Login() const { return m_login; }
    // How many times the connection logged in.
    int LoginCount() const { return m_nLogins.load(); }

private:
    void Serve(const std::shared_ptr<CSshSession> &session);
    CSshSession::End ServeLoggedIn(CSshSession &session, ssh_session_struct *pSession, QString &strReason);

    CSshLogin m_login;
    CTransferQuestions *m_pQuestions;
    std::mutex m_mutex;
    std::vector<std::shared_ptr<CSshJob>> m_queued;  // guarded by m_mutex
    std::shared_ptr<CSshSession> m_session;          // guarded by m_mutex
    bool m_bRunning = false;                         // guarded by m_mutex
    std::thread m_worker;
    std::atomic<int> m_nLogins{0};
};
