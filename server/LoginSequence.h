#pragma once

#include <QByteArray>
#include <QList>

// Paces a login so that a real login program receives it. A Unix login discards any
// input typed ahead when it turns echo off for the password, so the password is sent
// only once the server asks for it (its output ends in a prompt, "Password:"), and what
// follows the login (the change of directory, lines the user sends meanwhile) only
// once the server has answered the password. A server that never asks gets the rest
// when the caller's timer runs out (Timeout()).
class CLoginSequence
{
public:
    enum class State { Idle, WaitPasswordPrompt, WaitAnswer };

    // Starts a login; returns the bytes to send now (the user line).
    QByteArray Start(const QByteArray &user, const QByteArray &password);
    // Queues a line to go after the login; returns it at once when no login is running.
    QByteArray Queue(const QByteArray &line);
    // Looks at received text; returns the bytes due now.
    QByteArray OnText(const QByteArray &text);
    // The server did not answer in time: returns the next bytes due.
    QByteArray Timeout();
    void Reset() { *this = CLoginSequence(); }

    State GetState() const { return m_state; }
    bool IsActive() const { return m_state != State::Idle; }

private:
    QByteArray Finish();

    State m_state = State::Idle;
    QByteArray m_password;
    QByteArray m_pendingLines;
    QByteArray m_tail;  // the end of what was received since the last step
};
