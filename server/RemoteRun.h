#pragma once

#include "run/CgiEnvironment.h"
#include "run/PathMap.h"
#include "run/RunCommands.h"
#include "server/RemoteProcess.h"
#include "server/SshSession.h"

#include <memory>

struct CSettings;
class CKestrelView;
class CSshConnection;
class CTransferQuestions;
class QWidget;

// Run on Server and Check on Server for an SSH server: the script on the server
// through the kept connection, shown in the output window as a local run is.
class CRemoteRun
{
public:
    // What the view's commands run: true for an SSH server.
    static bool IsSsh(const CSettings &settings);
    // The login for the settings' server, with the user's ~/.ssh.
    static CSshLogin Login(const CSettings &settings);
    // Where the script lies on the server: in REMOTE_DIRECTORY, by its file name.
    static QString RemotePath(const CSettings &settings, const QString &strLocalPath);
    // How the program names the script: by RemotePath when that is absolute, else by
    // its name in REMOTE_DIRECTORY, where the program starts.
    static QString ScriptArgument(const CSettings &settings, const QString &strLocalPath);
    // The local files of the server's paths: the script, and the files beside it.
    static CPathMap PathMap(const CSettings &settings, const QString &strLocalPath);

    // The server's perl with REMOTE_PERL_PRM on the script, after it has been put there
    // when its bytes differ; with the method GET or POST, the CGI environment a local
    // run gets, with the server's path of the script.
    static CRemoteProcess::Plan RunPlan(const CSettings &settings, const QString &strLocalPath, const QByteArray &baScript,
                                        const QString &strInputs, const QString &strMethod,
                                        const QList<CCgiEnvironment::NameValue> &userVariables);
    // perl -c -w of the text on standard input, in REMOTE_DIRECTORY: nothing is put.
    static CRemoteProcess::Plan CheckPlan(const CSettings &settings);
    // What the check reads: the text, named by a #line directive as the script on the
    // server (perl names standard input "-", which leads nowhere); its line numbers
    // stay the document's.
    static QByteArray CheckInput(const CSettings &settings, const QString &strLocalPath, const QString &strText);

    // Runs the plan on the connection in an output window, modal over `parent`, and
    // returns when the window has closed. Compile-kind input: the inputs go whole and
    // input ends; Run-kind: as a local run feeds them.
    static CRunOutcome RunInWindow(QWidget *parent, const std::shared_ptr<CSshConnection> &connection,
                                   const CRemoteProcess::Plan &plan, const CPathMap &map, const QString &strLocalDir,
                                   CRunCommandLine::Kind kind, const QString &strInputs, const QString &strMethod);

    // Script > Run on Server and Script > Check on Server of the view, for an SSH server.
    static void OnRun(CKestrelView *pView, CTransferQuestions *pQuestions);
    static void OnCheck(CKestrelView *pView, CTransferQuestions *pQuestions);
};
