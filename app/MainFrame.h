#pragma once

#include "framework/CommandMap.h"

#include <QHash>
#include <QMainWindow>

class CFunctionListDlg;
class CKestrelDoc;
class CKestrelView;
class CServerDlg;
class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QWidget;

// The IDE's one top-level window: menus, the three toolbars, the status bar and the
// editor view. Commands go to the view first, then the document, the frame and the
// application; a command nobody handles is shown disabled.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    CMainFrame();
    ~CMainFrame() override;

    CKestrelDoc *GetDocument() const { return m_pDoc; }
    CKestrelView *GetActiveView() const { return m_pView; }
    // The remote shell window, hidden until Tools > Server Access shows it.
    CServerDlg *ServerDlg() const { return m_dlgServer; }
    CCommandMap &Commands() { return m_commands; }

    QAction *Action(int nId) const { return m_actions.value(nId); }
    // Offers a command to the targets in turn; false when none handles it.
    bool RouteCommand(int nId);
    // Enables, disables and checks every action as its handler says.
    void UpdateCommandUI();

    QToolBar *ToolBar() const { return m_wndToolBar; }
    QToolBar *ScriptBar() const { return m_wndScriptBar; }
    QWidget *OperatorBar() const { return m_wndOperatorBar; }
    QLabel *LineColPane() const { return m_pLineColPane; }
    CFunctionListDlg *FunctionsWindow() const { return m_dlgFunctions; }

    // Tools > Dos Window: a terminal in the current folder; the IDE takes no input
    // until it closes.
    void OnDosWindow();

    // Two thirds of the desktop, placed a quarter of that size from its corner.
    static QRect InitialGeometry(const QRect &desktop);
    // Where the operators window opens: two pixels right of the frame, level with its
    // top, when it fits on the screen there; otherwise moved left onto the screen and
    // down to the frame's client area, so it hides none of the frame's title buttons.
    // A screen too short for it there has it moved up as far as needed. `frame` is the
    // frame with its decorations, `client` without; `bar` is the operators window's
    // size with its decorations.
    static QPoint OperatorBarPosition(const QRect &frame, const QRect &client, const QSize &bar, const QRect &screen);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void CreateActions();
    void CreateMenus();
    void AddMenuItems(QMenu *menu, const QVector<struct CMenuItemDef> &items);
    void CreateToolBars();
    void CreateStatusBar();
    void RegisterCommands();
    void UpdateTitle();
    void UpdateRecentFileMenu();
    void OnCaretMoved(int nLine, int nCol);
    void PlaceOperatorBar();
    void ConnectPerlDocumentation();

    CKestrelDoc *m_pDoc;
    CKestrelView *m_pView;
    CCommandMap m_commands;
    QHash<int, QAction *> m_actions;
    QToolBar *m_wndToolBar = nullptr;
    QToolBar *m_wndScriptBar = nullptr;
    QWidget *m_wndOperatorBar = nullptr;
    QLabel *m_pReadyPane = nullptr;
    QLabel *m_pLineColPane = nullptr;
    QLabel *m_pCapsPane = nullptr;
    QLabel *m_pNumPane = nullptr;
    QLabel *m_pScrollPane = nullptr;
    QMenu *m_pFileMenu = nullptr;
    QAction *m_pRecentSeparator = nullptr;
    bool m_bOperatorBarPlaced = false;
    int m_nOperatorBarWaitMs = 0;
    // The "Perl functions" window: created hidden with the frame, shown by View > Functions.
    CFunctionListDlg *m_dlgFunctions = nullptr;
    CServerDlg *m_dlgServer = nullptr;
};
