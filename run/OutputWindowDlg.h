#pragma once

#include "framework/FileLineParser.h"
#include "run/ProcessListener.h"

#include <QByteArray>
#include <QSize>
#include <QDialog>
#include <QFont>
#include <QRect>
#include <QString>

#include <functional>

class COutputPane;
class CPathMap;
class COutputReader;
class CRedirectPipe;
class CRunProcess;
class CScriptInputsDlg;
class CSendInputDlg;
class QLineEdit;
class QMenuBar;
class QSocketNotifier;

// The window in which a run is watched: the program's standard output and error live
// in two panes, the status line tells the end. Closing it, in any way, ends a program
// that still runs. Where the program runs is the process's business, not the window's.
class COutputWindowDlg : public QDialog, public CProcessListener
{
    Q_OBJECT

public:
    explicit COutputWindowDlg(QWidget *parent = nullptr);
    ~COutputWindowDlg() override;

    // Starts reading the pipes and prepares the Send Input dialog; DoModal calls it.
    void OnInitDialog();
    int DoModal();
    // A panel that takes the window's room and holds its output area (the panes and the
    // status line), which fnTakeOutputArea hands to it. The window opens at
    // `preferred` (bounded by the screen) and is remembered under pszGeometryKey;
    // fnShown runs once it shows. Before DoModal.
    void HostPanel(QWidget *pPanel, const std::function<void(QWidget *)> &fnTakeOutputArea,
                   const char *pszGeometryKey, const QString &strTitle, QSize preferred,
                   std::function<void()> fnShown);
    QWidget *HostedPanel() const { return m_pPanel; }
    // Text that belongs on the error pane after everything the program has written to
    // its standard error so far, such as a debugger's words about a stop.
    void AppendTranscript(const QByteArray &text);
    // Ends the program as Close does; the window stays to be read.
    void StopProgram();
    // A run started again after its end: the window reads the new program's streams
    // from here on, below what the last one wrote. Before the program resumes.
    void FollowRun(CRunProcess *pProcess);

    // Waiter thread.
    void OnProcessEnded() override;

    void OnFont();
    void OnViewInputs();
    void OnSendInput();
    void OnRefresh();
    void OnClose();

    // Where the panes and the status line go for a client area of this size.
    struct Layout
    {
        QRect stdOut;
        QRect stdErr;
        QRect status;
    };
    static Layout LayoutFor(int cx, int cy);

    // The program watched; the window reads and writes its streams.
    CRunProcess *m_pProcess = nullptr;
    CScriptInputsDlg *m_pDlgInputs;
    CSendInputDlg *m_pDlgSend;
    // The child's working folder: file names in its messages are relative to it.
    QString m_strBaseDir;

    // A program that runs elsewhere: its messages lead to the local files of the map.
    // Before OnInitDialog.
    void SetPathMap(const CPathMap &map);

    // The message the user chose on the error pane, which closed the window.
    bool HasChosenMessage() const { return m_bChosen; }
    const CFileLineMessage &ChosenMessage() const { return m_chosen; }
    // The messages that name a file and line on the error pane.
    QList<CFileLineMessage> ErrorMessages() const;

    // Where the user last left the window, kept from one run to the next.
    static constexpr const char *kGeometryKey = "OutputWindow/Geometry";

    COutputPane *StdOutPane() const { return m_pEditStdOut; }
    COutputPane *StdErrPane() const { return m_pEditStdErr; }
    QLineEdit *StatusLine() const { return m_pEditStatus; }
    // Both streams have been read to their end and the child has ended.
    bool IsRunOver() const;

signals:
    void RunOver();

protected:
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void OnChildEnded();
    void CheckRunOver();
    void StopReaders();
    void OnMessageActivated(const CFileLineMessage &message);
    void SaveGeometry();
    void LayOutClient();

    QWidget *m_pClient;
    QMenuBar *m_pMenuBar;
    COutputPane *m_pEditStdOut;
    COutputPane *m_pEditStdErr;
    QLineEdit *m_pEditStatus;
    COutputReader *m_pStdOutReader = nullptr;
    COutputReader *m_pStdErrReader = nullptr;
    // The waiter thread tells the GUI thread of the end through this pipe.
    int m_fdEnded[2] = {-1, -1};
    QSocketNotifier *m_pEndedNotifier = nullptr;
    QFont m_font;
    bool m_bFontChosen = false;
    bool m_bReady = false;
    bool m_bEnded = false;
    bool m_bClosing = false;
    bool m_bChosen = false;
    CFileLineMessage m_chosen;
    QByteArray m_baShownGeometry;
    bool m_bPlaced = false;
    QSize m_designedSize;
    QWidget *m_pPanel = nullptr;
    std::function<void()> m_fnPanelShown;
    const char *m_pszGeometryKey = kGeometryKey;
};
