#pragma once

#include <QString>
#include <QStringList>

struct CSettings;
class CKestrelView;
class CServerDlg;

// Script > Run on Server: starts the user's telnet client pointed at the server, or
// sends the line that runs the current script through the remote shell window.
class CRunOnServer
{
public:
    // Adds the command to the view's command map.
    static void Register(CKestrelView *pView);

    // The script's file name without its folder: what the server's shell, in the
    // folder the login changed to, knows it by.
    static QString ScriptName(const QString &strPath);
    // True when the settings name a telnet server and a client program for it.
    static bool UsesClient(const CSettings &settings);
    // The client's arguments: the host and the port, one argument each.
    static QStringList ClientArguments(const CSettings &settings);
    // The line that runs the script with the server's Perl; the name is quoted for the
    // server's shell where it has to be.
    static QString ServerCommand(const CSettings &settings, const QString &strPath);

    // Starts the client detached; false, with the reason, when it cannot be started.
    static bool StartClient(const CSettings &settings, QString *pError = nullptr);
    // Does the command for a document at `strPath`, through `pDlg` unless the client
    // is used. False, with the reason, when the client could not be started.
    static bool Run(const CSettings &settings, const QString &strPath, CServerDlg *pDlg, QString *pError = nullptr);
};
