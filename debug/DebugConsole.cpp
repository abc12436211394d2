#include "debug/DebugConsole.h"

QByteArray CDebugConsole::PromptText() const
{
    return QStringLiteral("  DB<%1> ").arg(m_nPrompt).toUtf8();
}

QByteArray CDebugConsole::OnStopped()
{
    m_bEverStopped = true;
    m_bAtPrompt = true;
    if (m_bPromptShown || m_bEnded)
        return {};
    m_bPromptShown = true;
    return PromptText();
}

QByteArray CDebugConsole::OnDebuggerText(const QString &strText)
{
    QByteArray bytes = strText.toUtf8();
    if (bytes.isEmpty())
        return {};
    if (m_bPromptShown)
        bytes.prepend('\n');
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    m_bPromptShown = false;
    // The engine passes perl's words on when perl has come back to its prompt: after the
    // first stop the program no longer runs, and what the user types from here on, having
    // read the stop line, is for the debugger (the engine queues it behind its report).
    if (m_bEverStopped && !m_bEnded)
        m_bAtPrompt = true;
    return bytes;
}

void CDebugConsole::OnEnded()
{
    m_bEnded = true;
    m_bAtPrompt = false;
    m_held.clear();
}

CDebugConsole::Route CDebugConsole::RouteTypedLine(const QString &strLine)
{
    if (m_bEnded)
        return Route::Nowhere;
    if (!m_bEverStopped && m_bStopsAtStart) {
        m_held << strLine;
        return Route::Held;
    }
    return m_bAtPrompt ? Route::Debugger : Route::Program;
}

QByteArray CDebugConsole::Echo(const QString &strCommand)
{
    QByteArray bytes = strCommand.toUtf8() + '\n';
    if (!m_bPromptShown)
        bytes.prepend(PromptText());
    m_bPromptShown = false;
    ++m_nPrompt;
    return bytes;
}
