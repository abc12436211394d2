#pragma once

#include <QString>

#include <functional>

class CChildProcess;
class COutputWindowDlg;
struct CRunCommandLine;

// What another part of the IDE adds to a piped run without the runner knowing it: the
// debugger gives the child its channel and puts its panel into the output window. The
// runner calls the hook at fixed points of every run it is given one for.
class CRunSessionHook
{
public:
    virtual ~CRunSessionHook() = default;

    // Before a child starts (the first time and at every start again), after its streams,
    // folder and environment are set. False, with the reason, when the run cannot go on.
    virtual bool PrepareChild(CChildProcess &child, const CRunCommandLine &cl, bool bFirst, QString *pError) = 0;
    // The window exists and has not been shown. fnStartAgain starts the same command line
    // in a new child that the window follows, once the last one has ended or been ended;
    // it returns whether the new child runs.
    virtual void AttachWindow(COutputWindowDlg &wnd, const CRunCommandLine &cl, std::function<bool()> fnStartAgain) = 0;
};
