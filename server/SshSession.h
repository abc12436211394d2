#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

struct ssh_session_struct;

// What an SSH shell session needs to know to log in.
struct CSshLogin
{
    QString strHost;
    int nPort = 22;
    QString strUser;
    QString strPassword;       // may be empty: keys are tried first, the user is asked
    QString strSshDir;         // the user's ~/.ssh: keys and known_hosts
    QByteArray startLine;      // sent first once the shell runs (the change of folder)
    int nColumns = 80;
    int nRows = 24;
    // How long the server may keep silent while the connection is made and the keys
    // are exchanged; "no answer" after that.
    int nTimeoutSeconds = 20;
};

// One SSH shell session, run by Run() on a worker thread of its own, since libssh
// blocks: it connects, checks the server's host key against known_hosts, logs in as
// OpenSSH does (agent, the user's keys, password, keyboard-interactive), opens a shell
// on a pseudo-terminal and then passes bytes both ways until the session ends. The
// other methods are for the owner's thread and never block; Cancel() makes Run()
// return soon whatever it waits for (the network, the user's answer).
class CSshSession
{
public:
    enum class End { Failed, Lost, Closed, Cancelled };

    // Called on the worker thread. The questions are answered later, from any thread,
    // by AnswerHostKey() / AnswerSecret(); the session waits for that.
    struct Events
    {
        std::function<void()> onShellOpen;
        std::function<void(const QByteArray &)> onData;
        std::function<void(End, const QString &)> onEnd;
        std::function<void(const QString &)> onHostKeyQuestion;
        std::function<void(const QString &)> onSecretQuestion;
        // Set, it takes the place of the shell: once the host key is trusted and the
        // login done, the session is handed to it on the worker thread; what it
        // returns ends the session. It must watch WakeDescriptor() and Cancelled().
        std::function<End(ssh_session_struct *, QString &)> onLoggedIn;
    };

    CSshSession(const CSshLogin &login, Events events);
    ~CSshSession();
    CSshSession(const CSshSession &) = delete;
    CSshSession &operator=(const CSshSession &) = delete;

    // The events, for a session made before they could name it; before Run.
    void SetEvents(Events events) { m_events = std::move(events); }
    void Run();

    void Write(const QByteArray &bytes);
    void Resize(int nColumns, int nRows);
    void Cancel();
    void AnswerHostKey(bool bTrust);
    void AnswerSecret(bool bGiven, const QByteArray &secret);
    // Readable when the owner wants the worker's attention (Write, Cancel, Wake).
    int WakeDescriptor() const { return m_fdWake[0]; }
    bool Cancelled() const { return m_bCancel.load(); }
    void Wake();
    void DrainWake();
    // The owner has taken `nBytes` of the data handed to onData: received data waits
    // in the network while too much is still untaken.
    void Consumed(qint64 nBytes);

private:
    struct Impl;
    bool Wait(const std::function<bool()> &ready);

    CSshLogin m_login;
    Events m_events;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    QByteArray m_baOutgoing;          // guarded by m_mutex
    int m_nColumns, m_nRows;        // guarded by m_mutex
    bool m_bResize = false;         // guarded by m_mutex
    int m_nAnswer = -1;             // host key answer, guarded by m_mutex; -1: none yet
    bool m_bSecretAnswered = false; // guarded by m_mutex
    bool m_bSecretGiven = false;
    QByteArray m_baSecret;
    int m_fdSocket = -1;            // guarded by m_mutex while the worker owns it
    int m_fdWake[2] = {-1, -1};
    std::atomic<bool> m_bCancel{false};
    std::atomic<qint64> m_nUntaken{0};
};
