#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Where a debug session stands for the user, and the transcript of it that the error
// pane shows as perl -d's terminal did: the debugger's words, its "  DB<n> " prompt at
// each stop and the commands sent. It decides where a line the user types goes:
// to the debugger while the program is stopped at its prompt, to the program while it
// runs (waiting for its input included), and, in a session without breakpoints, held
// for the first stop when typed before it, since the program has not yet run a
// statement. No widgets: the debug window feeds it the engine's reports.
class CDebugConsole
{
public:
    enum class Route { Debugger, Held, Program, Nowhere };

    explicit CDebugConsole(bool bStopsAtStart = true)
        : m_bStopsAtStart(bStopsAtStart)
    {
    }

    // The engine's reports. Each returns the transcript text to append (may be empty).
    QByteArray OnStopped();
    QByteArray OnDebuggerText(const QString &strText);
    void OnRunning() { m_bAtPrompt = false; }
    void OnEnded();

    // A line the user typed for Send Input; a held one is kept for TakeHeld.
    Route RouteTypedLine(const QString &strLine);
    bool HasHeld() const { return !m_held.isEmpty(); }
    QString TakeHeld() { return m_held.isEmpty() ? QString() : m_held.takeFirst(); }
    // The transcript of a command sent to the debugger, after its prompt.
    QByteArray Echo(const QString &strCommand);

    bool AtPrompt() const { return m_bAtPrompt && !m_bEnded; }
    bool HasStopped() const { return m_bEverStopped; }
    bool IsEnded() const { return m_bEnded; }
    int PromptNumber() const { return m_nPrompt; }

private:
    QByteArray PromptText() const;

    bool m_bStopsAtStart;
    bool m_bEverStopped = false;
    bool m_bAtPrompt = false;
    bool m_bEnded = false;
    bool m_bPromptShown = false;
    int m_nPrompt = 1;
    QStringList m_held;
};
