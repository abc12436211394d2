#pragma once

#include "server/ShellConnection.h"
#include "server/SshSession.h"
#include "server/TerminalText.h"
#include "server/TextDecoder.h"

#include <memory>
#include <thread>

// The remote shell's connection over SSH: a shell on a pseudo-terminal of an SSH
// session, run by CSshSession on a worker thread (libssh blocks), so the window never
// waits on the network. The login is part of the connection: Connect checks the host
// key, logs in as the configured user and, once the shell runs, changes to the
// configured folder, as the telnet login does.
class CSshShell : public CShellConnection
{
    Q_OBJECT

public:
    explicit CSshShell(QObject *parent = nullptr);
    ~CSshShell() override;

    // The user, password, folder and the place of ~/.ssh for the next Connect.
    void SetLogin(const CSshLogin &login) { m_login = login; }
    const CSshLogin &Login() const { return m_login; }

    // The user SERVER_USER with the password SERVER_PASS (may be empty: keys come
    // first, and the user is asked when the server wants a password), then
    // "cd REMOTE_DIRECTORY" once the shell runs; keys and known_hosts in $HOME/.ssh.
    void Configure(const CSettings &settings) override;
    void Connect(const QString &strHost, int nPort) override;
    void Close() override;
    bool IsOpen() const override { return m_state != State::Closed; }
    bool IsConnected() const override { return m_state == State::Open; }
    // Lines sent while the session is still being opened wait for the shell.
    bool SendLine(const QString &strLine) override;
    // The login happened when the session opened; nothing is sent. True while a
    // session is open or being opened.
    bool SendLogin(const QString &strUser, const QString &strPassword) override;
    bool IsLoggingIn() const override { return false; }
    // Ctrl+C on the pseudo-terminal: the server's terminal driver interrupts the
    // foreground program.
    bool SendInterrupt() override;
    void SetTerminalSize(int nColumns, int nRows) override;
    void AnswerHostKey(bool bTrust) override;
    void AnswerSecret(bool bGiven, const QString &strSecret) override;

private:
    enum class State { Closed, Opening, Open };

    void Stop();
    void OnData(unsigned nGeneration, const QByteArray &data);
    void OnEnd(unsigned nGeneration, CSshSession::End end, const QString &strReason);

    CSshLogin m_login;
    std::shared_ptr<CSshSession> m_pSession;
    std::thread m_worker;
    unsigned m_nGeneration = 0;  // events of a session that was let go are ignored
    State m_state = State::Closed;
    CTerminalText m_terminal;
    CTextDecoder m_decoder;
};
