#pragma once

#include "framework/FileLineParser.h"
#include "run/CgiEnvironment.h"
#include "run/RunCommandLine.h"

#include <QByteArray>
#include <QString>

class CKestrelView;
class CRedirectPipe;
class CRunSessionHook;
class CScriptInputsDlg;
class QWidget;

// What a piped run leaves behind: the messages of its error pane that name a file
// and line, and the one the user chose there, if any.
struct CRunOutcome
{
    QList<CFileLineMessage> messages;
    bool bChosen = false;
    CFileLineMessage chosen;
};

// Run, Compile and Specify Inputs of the editor view, and the piped run that Debug
// builds on.
class CRunCommands
{
public:
    static void Register(CKestrelView *pView);

    static void OnRun(CKestrelView *pView);
    static void OnCompile(CKestrelView *pView);
    static void OnSpecifyInputs(CKestrelView *pView);

    // How the saved inputs reach the child's standard input when it starts.
    static void FeedStdIn(CRunCommandLine::Kind kind, CRedirectPipe &stdIn, const QString &strInputs,
                          const QString &strMethod);

    // Runs the command line piped into an output window, modal over `parent`, and
    // returns when the window has closed. A start failure is reported with the
    // message's first words (strFailure) and the command line. With the method GET or
    // POST, Run and Debug give the child the environment of a CGI request with the
    // user's variables last. The hook, when given, prepares each child and adds to the
    // window (the debugger does so).
    static CRunOutcome RunPiped(QWidget *parent, CRunCommandLine::Kind kind, const CRunCommandLine &cl,
                                const QString &strInputs,
                                const QString &strMethod, const QString &strFailure,
                                const QList<CCgiEnvironment::NameValue> &userVariables = {},
                                CRunSessionHook *pHook = nullptr);
    // Saves the view's script; false when it could not or it has no file.
    static bool SaveFirst(CKestrelView *pView);
    // The view's script run as `kind` (saved before): in a console window where the
    // settings say so, else piped into the output window with the view's inputs; the
    // run's messages become the view's marks, and a message chosen is gone to.
    static void RunFromView(CKestrelView *pView, CRunCommandLine::Kind kind, const QString &strFailure,
                            CRunSessionHook *pHook = nullptr);
    // The environment entries a piped run's child gets instead of the IDE's; empty
    // when it inherits the IDE's.
    static QStringList ChildEnvironment(CRunCommandLine::Kind kind, const CRunCommandLine &cl,
                                        const QString &strInputs, const QString &strMethod,
                                        const QList<CCgiEnvironment::NameValue> &userVariables);
    static QList<CCgiEnvironment::NameValue> UserVariables(const CScriptInputsDlg &inputs);
    // Runs runhold in a console window and waits until it closes.
    static void RunInConsole(QWidget *parent, const CRunCommandLine &cl);

    // The path of runhold beside the IDE.
    static QString RunHoldPath();
};
