#pragma once

#include "debug/DebugBreakpoint.h"
#include "debug/DebugBreakpointList.h"
#include "debug/DebugConsole.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class CBreakpointHost;
class CDebugEngine;
class QAction;
class QLabel;
class QLineEdit;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QsciScintilla;

// The debugger's part of the output window: the command buttons and keys, a read-only
// pane with the source where the program stopped, Locals, Watches, the call stack and
// a box for the debugger's own commands. It shows what the engine reports and forwards
// what the user does; the output panes sit in its left column, under the source.
class CDebugPanel : public QWidget
{
    Q_OBJECT

public:
    CDebugPanel(CDebugEngine *pEngine, CBreakpointHost *pHost, QWidget *parent = nullptr);

    // The run's output area goes under the source pane.
    void SetOutputArea(QWidget *pOutput);
    // The script debugged: its watches of the last session come back, and the watches
    // are kept for the next one.
    void SetScript(const QString &strScript);
    // How Restart starts the program again once it has ended (true when it started);
    // without it, Restart works only while the program is stopped.
    void SetStartAgain(std::function<bool()> fnStartAgain);
    // Gives the panes their share of a window of this size.
    void SizePanes();

    void OnContinue();
    void OnStepOver();
    void OnStepInto();
    void OnStepOut();
    void OnRunToCursor();
    void OnRestart();
    void OnStop();
    void OnCommandEntered();
    void OnAddWatch();
    void OnRemoveWatch();
    // Toggles a breakpoint on a line (1-based) of the file the source pane shows.
    void ToggleBreakpoint(int nLine);
    void ShowFrame(int nIndex);

    // A line typed into Send Input: while the debugger waits at its prompt it is the
    // debugger's command and true is returned; while the program runs it is the
    // program's input (false).
    bool TakeTypedLine(const QString &strLine);

    QsciScintilla *SourcePane() const { return m_pSource; }
    QString ShownFile() const { return m_strShownFile; }
    // The line (1-based) of the source pane with the debugger's arrow, or 0.
    int ArrowLine() const;
    QTreeWidget *Locals() const { return m_pLocals; }
    QTreeWidget *Watches() const { return m_pWatches; }
    QTreeWidget *CallStack() const { return m_pStack; }
    QLineEdit *CommandBox() const { return m_pCommand; }
    QLabel *StateLabel() const { return m_pState; }
    const CDebugBreakpointList &SessionBreakpoints() const { return m_breakpoints; }
    QStringList WatchExpressions() const { return m_watches; }

signals:
    // Stop: the window ends the program as Close does, but stays open.
    void StopRequested();
    // What perl -d would have shown on its terminal: the debugger's words, its prompt
    // ("  DB<1> ") at each stop and the commands sent, for the error pane.
    void TranscriptText(const QByteArray &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnStopped(const QString &strFile, int nLine);
    void SendHeldCommand();
    void OnDebuggerText(const QString &strText);
    // Shows a command sent to the debugger after its prompt.
    void Echo(const QString &strCommand);
    void OnRunning();
    void OnSessionEnded();
    void OnFrames(const QList<CDebugFrame> &frames);
    void OnLocals(const QList<CDebugValue> &locals, const QString &strWhyEmpty);
    void OnWatchValues(const QList<CDebugValue> &values);
    void OnBreakpointChanged(const CDebugBreakpoint &bp);
    void ShowSource(const QString &strFile, int nLine, bool bStop);
    void MarkBreakpoints();
    void UpdateActions();
    void FillWatches(const QList<CDebugValue> &values);
    void WatchesChanged();
    // Sizes the first column to its names when they are not the ones it was sized to, so
    // that a name is read whole and a width the user gave stays while the names do.
    void FitNameColumn(QTreeWidget *tree, QStringList &fittedTo);
    static void AddValue(QTreeWidgetItem *parent, QTreeWidget *tree, const CDebugValue &value);
    QWidget *Titled(const QString &strTitle, QWidget *pContent, QWidget *pBelow = nullptr);
    QAction *AddAction(int nId, const QString &text, const QKeySequence &key, const QString &tip,
                       void (CDebugPanel::*handler)());

    CDebugEngine *m_pEngine;
    CBreakpointHost *m_pHost;
    CDebugBreakpointList m_breakpoints;
    QStringList m_watches;
    QString m_strScript;
    std::function<bool()> m_fnStartAgain;
    QStringList m_localsFitted;
    QStringList m_watchesFitted;
    QList<CDebugFrame> m_frames;
    QString m_strShownFile;
    QString m_strStopFile;
    int m_nStopLine = 0;
    // Where the session stands, where typed lines go, and the error pane's transcript.
    CDebugConsole m_console;

    QToolBar *m_pToolBar;
    QList<QAction *> m_stepActions;
    QAction *m_pStop;
    QAction *m_pRestart;
    QLabel *m_pState;
    QLabel *m_pSourceTitle;
    QsciScintilla *m_pSource;
    QSplitter *m_pMainSplit;
    QSplitter *m_pLeftSplit;
    QSplitter *m_pRightSplit;
    QTreeWidget *m_pLocals;
    QTreeWidget *m_pWatches;
    QLineEdit *m_pWatchEdit;
    QTreeWidget *m_pStack;
    QLineEdit *m_pCommand;
};
