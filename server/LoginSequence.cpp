#include "server/LoginSequence.h"

namespace {
// A prompt is short; this much of the received text is enough to recognise one.
constexpr qsizetype kTailBytes = 256;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
}

QByteArray CLoginSequence::Start(const QByteArray &user, const QByteArray &password)
{
    // A new login replaces one still running; lines already queued stay in order.
    m_state = State::WaitPasswordPrompt;
    m_password = password;
    m_tail.clear();
    return user + '\n';
}

QByteArray CLoginSequence::Queue(const QByteArray &line)
{
    if (m_state == State::Idle)
        return line + '\n';
    m_pendingLines += line + '\n';
    return {};
}

QByteArray CLoginSequence::OnText(const QByteArray &text)
{
    if (m_state == State::Idle || text.isEmpty())
        return {};
    m_tail += text;
    if (m_tail.size() > kTailBytes)
        m_tail = m_tail.right(kTailBytes);
    if (m_state == State::WaitPasswordPrompt) {
        qsizetype end = m_tail.size();
        while (end > 0 && IsBlank(m_tail.at(end - 1)))
            --end;
        const QByteArray lastLine = m_tail.left(end).mid(m_tail.lastIndexOf('\n', end - 1) + 1).toLower();
        // The user-name prompt may still arrive when Login was chosen before it came.
        const bool bUserPrompt = lastLine.contains("login") && !lastLine.contains("pass");
        if (end > 0 && m_tail.at(end - 1) == ':' && !bUserPrompt) {
            m_state = State::WaitAnswer;
            m_tail.clear();
            return m_password + '\n';
        }
        return {};
    }
    // The line end that follows the hidden password is not yet the answer.
    for (char c : std::as_const(m_tail)) {
        if (!IsBlank(c) && c != '\n' && c != '\r')
            return Finish();
    }
    return {};
}

QByteArray CLoginSequence::Timeout()
{
    if (m_state == State::WaitPasswordPrompt) {
        m_state = State::WaitAnswer;
        m_tail.clear();
        return m_password + '\n';
    }
    if (m_state == State::WaitAnswer)
        return Finish();
    return {};
}

QByteArray CLoginSequence::Finish()
{
    QByteArray out = m_pendingLines;
    Reset();
    return out;
}
