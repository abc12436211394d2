#pragma once

#include <QString>
#include <QStringList>

// The watches of the debug window, kept per script from one session to the next in the
// IDE's own settings (never beside the script, never in Kestrel.cfg), under the script's
// absolute path.
class CDebugWatchStore
{
public:
    static QStringList Load(const QString &strScript);
    // An empty list forgets the script.
    static void Save(const QString &strScript, const QStringList &watches);
    // The settings key of a script's watches.
    static QString Key(const QString &strScript);
};
