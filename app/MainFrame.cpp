#include "app/MainFrame.h"

#include "app/FloatingToolBar.h"
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/OptionsPropertySheet.h"
#include "app/Settings.h"
#include "app/StatusPane.h"
#include "app/ToolbarImages.h"
#include "editor/FunctionListDlg.h"
#include "editor/KestrelView.h"
#include "perl/PerlDocTopic.h"
#include "perl/PerlToolCommands.h"
#include "editor/WebPreview.h"
#include "framework/CommandIds.h"
#include "framework/CommandTable.h"
#include "framework/KeyboardIndicators.h"
#include "framework/MessageBox.h"
#include "framework/Trace.h"
#include "run/ConsoleWindow.h"
#include "server/ServerDlg.h"
#include "framework/ScreenFit.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <algorithm>

using namespace Cmd;

CMainFrame::CMainFrame()
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("MainFrame"));
    // The PNGs first: Qt draws the SVG only where its SVG module is installed.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/kestrel/icons/kestrel-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    m_pDoc = new CKestrelDoc(this);
    m_pView = new CKestrelView(m_pDoc, this);
    m_pDoc->SetView(m_pView);
    setCentralWidget(m_pView);
    m_pView->setFocus();

    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(InitialGeometry(screen->geometry()));

    RegisterCommands();
    // The remote shell window lives, hidden, as long as the frame.
    m_dlgServer = new CServerDlg(g_settings.SERVER_PORT_NUMBER, g_settings.SERVER_HOST, this);
    m_commands.On(ID_TOOLS_SERVER_ACCESS, [this] {
        m_dlgServer->show();
        m_dlgServer->raise();
        m_dlgServer->activateWindow();
    });
    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    setAcceptDrops(true);

    m_dlgFunctions = new CFunctionListDlg(this);
    TRACE() << "Non Modal Dialog created";
    connect(m_dlgFunctions, &CFunctionListDlg::TemplateChosen, this, [this](const QByteArray &baText) {
        m_pView->setFocus();
        m_pView->ReplaceSel(baText, true);
    });
    m_commands.On(ID_VIEW_FUNCTIONS, [this] { m_dlgFunctions->ShowWindow(); });
    ConnectPerlDocumentation();

    connect(m_pDoc, &CKestrelDoc::TitleChanged, this, &CMainFrame::UpdateTitle);
    connect(m_pView, &CKestrelView::CaretMoved, this, &CMainFrame::OnCaretMoved);
    connect(CKestrelApp::Instance(), &CKestrelApp::RecentFilesChanged, this, &CMainFrame::UpdateRecentFileMenu);
    connect(m_pDoc, &CKestrelDoc::SavedAs, CKestrelApp::Instance(), &CKestrelApp::AddToRecentFileList);
    connect(m_pView, &CKestrelView::TextRefused, this, [this](const QString &strMessage) {
        statusBar()->showMessage(strMessage, 5000);
    });
    connect(m_pView, &CKestrelView::StatusMessage, this, [this](const QString &strMessage) {
        statusBar()->showMessage(strMessage, 10000);
    });
    UpdateTitle();
    UpdateRecentFileMenu();

    // Toolbar buttons follow their commands' state while the IDE is idle.
    auto *idle = new QTimer(this);
    idle->setInterval(250);
    connect(idle, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    idle->start();
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() = default;

QRect CMainFrame::InitialGeometry(const QRect &desktop)
{
    int width = desktop.width() / 3 * 2;
    int height = desktop.height() / 3 * 2;
    return QRect(desktop.x() + width / 4, desktop.y() + height / 4, width, height);
}

void CMainFrame::RegisterCommands()
{
    auto toggleBar = [this](int id, QWidget *bar) {
        Q_UNUSED(id);
        bar->setVisible(!bar->isVisible());
    };
    m_commands.On(ID_VIEW_TOOLBAR, [this, toggleBar] { toggleBar(ID_VIEW_TOOLBAR, m_wndToolBar); },
                  [this](CCmdUI &ui) { ui.SetCheck(m_wndToolBar && m_wndToolBar->isVisible()); });
    m_commands.On(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); },
                  [this](CCmdUI &ui) { ui.SetCheck(statusBar()->isVisible()); });
    m_commands.On(ID_VIEW_SCRIPTING_TOOLBAR, [this, toggleBar] { toggleBar(ID_VIEW_SCRIPTING_TOOLBAR, m_wndScriptBar); },
                  [this](CCmdUI &ui) { ui.SetCheck(m_wndScriptBar && m_wndScriptBar->isVisible()); });
    m_commands.On(ID_VIEW_OPERATORS, [this, toggleBar] { toggleBar(ID_VIEW_OPERATORS, m_wndOperatorBar); },
                  [this](CCmdUI &ui) { ui.SetCheck(m_wndOperatorBar && m_wndOperatorBar->isVisible()); });
    m_commands.On(ID_TOOLS_DOS_WINDOW, [this] { OnDosWindow(); });
    m_commands.On(ID_VIEW_IN_BROWSER, [this] { CWebPreview::Open(m_pDoc->GetPathName()); });
    m_commands.On(ID_TOOLS_OPTIONS, [this] { COptionsPropertySheet::OnToolsOptions(this, m_pView); });
}

bool CMainFrame::RouteCommand(int nId)
{
    if (m_pView->Commands().Execute(nId) || m_pDoc->Commands().Execute(nId) || m_commands.Execute(nId)
        || CKestrelApp::Instance()->Commands().Execute(nId))
        return true;
    TRACE() << "Command not handled:" << nId;
    return false;
}

void CMainFrame::UpdateCommandUI()
{
    CKeyboardIndicators lights;
    if (CKeyboardIndicators::Query(lights)) {
        m_pCapsPane->setEnabled(lights.bCaps);
        m_pNumPane->setEnabled(lights.bNum);
        m_pScrollPane->setEnabled(lights.bScroll);
    }
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        CCmdUI ui;
        ui.nId = it.key();
        bool handled = m_pView->Commands().Update(ui) || m_pDoc->Commands().Update(ui) || m_commands.Update(ui)
                       || CKestrelApp::Instance()->Commands().Update(ui);
        QAction *action = it.value();
        action->setEnabled(handled && ui.bEnabled);
        if (action->isCheckable())
            action->setChecked(ui.bChecked);
    }
}

void CMainFrame::CreateActions()
{
    static const QSet<int> checkable = {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_SCRIPTING_TOOLBAR,
                                        ID_VIEW_OPERATORS, ID_SCRIPT_CHECK_ON_SAVE};
    // The output, shell and reference windows build their own menus.
    static const QSet<int> otherWindows = {
        ID_OUTPUT_FONT, ID_OUTPUT_VIEW_INPUTS, ID_OUTPUT_SEND_INPUT, ID_OUTPUT_REFRESH, ID_OUTPUT_CLOSE,
        ID_SERVER_CONNECT, ID_SERVER_LOGIN, ID_SERVER_DISCONNECT, ID_SERVER_CLOSE, ID_SERVER_RUN_PERL,
        ID_SERVER_RUN_JAVAC, ID_SERVER_RUN_JAVA, ID_SERVER_OUTPUT_CLEAR, ID_SPECIAL_CLOSE, ID_FUNCTIONS_CLOSE};
    for (const CCommandInfo &info : CCommandTable::All()) {
        // The other windows' menus have their own actions.
        if (otherWindows.contains(info.nId))
            continue;
        auto *action = new QAction(QString::fromUtf8(info.pszMenuText), this);
        action->setObjectName(QStringLiteral("action_%1").arg(info.nId));
        action->setData(info.nId);
        action->setStatusTip(QString::fromUtf8(info.pszPrompt));
        QString tip = QString::fromUtf8(info.pszTip);
        action->setToolTip(tip.isEmpty() ? QString::fromUtf8(info.pszPrompt) : tip);
        action->setCheckable(checkable.contains(info.nId));
        QList<QKeySequence> keys = CCommandTable::Shortcuts(info.nId);
        if (!keys.isEmpty()) {
            action->setShortcuts(keys);
            action->setShortcutContext(Qt::WindowShortcut);
            addAction(action);
        }
        const int id = info.nId;
        connect(action, &QAction::triggered, this, [this, id] {
            RouteCommand(id);
            UpdateCommandUI();
        });
        m_actions.insert(id, action);
    }
}

void CMainFrame::AddMenuItems(QMenu *menu, const QVector<CMenuItemDef> &items)
{
    for (const CMenuItemDef &item : items) {
        if (!item.strPopup.isEmpty()) {
            QMenu *sub = menu->addMenu(item.strPopup);
            AddMenuItems(sub, item.children);
        } else if (item.nId == 0) {
            menu->addSeparator();
        } else if (item.nId == ID_FILE_MRU_FILE1) {
            for (int i = 0; i < 4; ++i)
                menu->addAction(m_actions.value(ID_FILE_MRU_FILE1 + i));
            m_pRecentSeparator = menu->addSeparator();
        } else if (QAction *a = m_actions.value(item.nId)) {
            menu->addAction(a);
        }
    }
}

void CMainFrame::CreateMenus()
{
    for (const CMenuItemDef &popup : CCommandTable::MainMenu()) {
        QMenu *menu = menuBar()->addMenu(popup.strPopup);
        menu->setObjectName(QStringLiteral("menu_") + QString(popup.strPopup).remove(QLatin1Char('&')));
        if (popup.strPopup == QLatin1String("&File"))
            m_pFileMenu = menu;
        AddMenuItems(menu, popup.children);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
    // The recent file list ends in its own separator; the table's separator after
    // "Recent File" is the one already added.
    if (m_pRecentSeparator && m_pFileMenu) {
        QList<QAction *> acts = m_pFileMenu->actions();
        int idx = int(acts.indexOf(m_pRecentSeparator));
        if (idx + 1 < acts.size() && acts[idx + 1]->isSeparator())
            m_pFileMenu->removeAction(acts[idx + 1]);
    }
}

void CMainFrame::UpdateRecentFileMenu()
{
    QStringList files = CKestrelApp::Instance()->RecentFiles();
    for (int i = 0; i < 4; ++i) {
        QAction *a = m_actions.value(ID_FILE_MRU_FILE1 + i);
        if (!a)
            continue;
        if (i < files.size()) {
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(files[i])));
            a->setVisible(true);
        } else {
            a->setText(QStringLiteral("Recent File"));
            a->setVisible(i == 0);
        }
    }
}

void CMainFrame::CreateToolBars()
{
    auto makeBar = [this](const char *name, const QString &title, const QVector<int> &ids) {
        auto *bar = new QToolBar(title, this);
        bar->setObjectName(QLatin1String(name));
        bar->setIconSize(QSize(16, 16));
        for (int id : ids) {
            if (id == 0) {
                bar->addSeparator();
                continue;
            }
            QAction *a = m_actions.value(id);
            a->setIcon(CToolbarImages::ForCommand(id));
            bar->addAction(a);
        }
        addToolBar(Qt::TopToolBarArea, bar);
        return bar;
    };
    m_wndToolBar = makeBar("StandardBar", tr("Standard"), CCommandTable::StandardBar());
    addToolBarBreak(Qt::TopToolBarArea);
    // The keywords are the buttons' texts, in the toolbar's own font at its normal size:
    // squeezed into images of one size, the long ones came out too small to read.
    m_wndScriptBar = makeBar("ScriptBar", tr("Scripting"), CCommandTable::ScriptBar());
    m_wndScriptBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (int id : CCommandTable::ScriptBar())
        m_actions.value(id)->setIconText(QString::fromUtf8(CCommandTable::Find(id)->pszGlyph));

    QList<QAction *> operators;
    for (int id : CCommandTable::OperatorBar()) {
        QAction *a = m_actions.value(id);
        a->setIcon(CToolbarImages::ForCommand(id));
        operators << a;
    }
    auto *bar = new CFloatingToolBar(tr("Operators"), operators, 3, this);
    bar->setObjectName(QStringLiteral("OperatorBar"));
    m_wndOperatorBar = bar;
}

QPoint CMainFrame::OperatorBarPosition(const QRect &frame, const QRect &client, const QSize &bar, const QRect &screen)
{
    QPoint pos(frame.right() + 2, frame.top());
    if (pos.x() + bar.width() - 1 > screen.right())
        pos = QPoint(std::max(screen.left(), screen.right() - bar.width() + 1), client.top());
    pos.setY(std::max(screen.top(), std::min(pos.y(), screen.bottom() - bar.height() + 1)));
    return pos;
}

void CMainFrame::PlaceOperatorBar()
{
    // Under a window manager the frame around this window (title bar, borders) is known
    // only once the manager has framed it, a moment after the window is shown; placed
    // before that, the operators window would sit a title bar lower than this one.
    const int kFrameWaitMs = 1000;
    const int kFrameStepMs = 20;
    const QWindow *window = windowHandle();
    const bool bFramed = !window || !window->frameMargins().isNull();
    if (!bFramed && QGuiApplication::platformName() == QLatin1String("xcb")
        && m_nOperatorBarWaitMs < kFrameWaitMs) {
        m_nOperatorBarWaitMs += kFrameStepMs;
        QTimer::singleShot(kFrameStepMs, this, &CMainFrame::PlaceOperatorBar);
        return;
    }
    const QRect frame = window ? window->frameGeometry() : frameGeometry();
    // The operators window's title bar and borders are taken to be the frame's.
    const QSize bar = m_wndOperatorBar->size() + (frame.size() - size());
    const QRect screenArea = screen() ? screen()->availableGeometry() : frame;
    m_wndOperatorBar->move(OperatorBarPosition(frame, geometry(), bar, screenArea));
    m_wndOperatorBar->show();
    m_bOperatorBarPlaced = true;
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    m_pReadyPane = new QLabel(tr("Ready"));
    m_pReadyPane->setObjectName(QStringLiteral("ReadyPane"));
    bar->addWidget(m_pReadyPane, 1);
    auto pane = [bar](const QString &name, const QString &sizeText, const QString &text) {
        auto *label = new CStatusPane(sizeText);
        label->setObjectName(name);
        label->setText(text);
        bar->addPermanentWidget(label);
        return label;
    };
    // The widest text the pane shows: a line count of seven digits, a column of five.
    m_pLineColPane = pane(QStringLiteral("pane_%1").arg(ID_INDICATOR_LINECOL),
                          QString::asprintf("Line = %3d, Col=%3d", 9999999, 99999), QString());
    m_pCapsPane = pane(QStringLiteral("pane_%1").arg(ID_INDICATOR_CAPS), QStringLiteral("CAP"), QStringLiteral("CAP"));
    m_pNumPane = pane(QStringLiteral("pane_%1").arg(ID_INDICATOR_NUM), QStringLiteral("NUM"), QStringLiteral("NUM"));
    m_pScrollPane = pane(QStringLiteral("pane_%1").arg(ID_INDICATOR_SCRL), QStringLiteral("SCRL"), QStringLiteral("SCRL"));
    for (QLabel *l : {m_pCapsPane, m_pNumPane, m_pScrollPane})
        l->setEnabled(false);
    OnCaretMoved(1, 1);
}

void CMainFrame::OnCaretMoved(int nLine, int nCol)
{
    m_pLineColPane->setText(QString::asprintf("Line = %3d, Col=%3d", nLine, nCol));
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(m_pDoc->GetTitle() + QStringLiteral("[*] - Kestrel"));
    setWindowModified(m_pDoc->IsModified());
}

void CMainFrame::ConnectPerlDocumentation()
{
    // F1 on a row of the functions window: that function's documentation.
    connect(m_dlgFunctions, &CFunctionListDlg::DocumentationRequested, this, [this](const QString &strName) {
        CPerlToolCommands::ShowDocumentation(this, CPerlDocTopic::ForFunction(strName));
    });
    // An operator button's context menu: its section of perlop.
    for (QToolButton *button : m_wndOperatorBar->findChildren<QToolButton *>()) {
        QAction *action = button->defaultAction();
        if (!action)
            continue;
        const int id = action->data().toInt();
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this, [this, button, id](const QPoint &pos) {
            QMenu menu(button);
            QAction *doc = menu.addAction(tr("&Perl Documentation"));
            doc->setObjectName(QStringLiteral("action_operator_doc"));
            connect(doc, &QAction::triggered, this, [this, id] {
                CPerlToolCommands::ShowDocumentation(this, CPerlDocTopic::ForOperator(id));
            });
            menu.exec(button->mapToGlobal(pos));
        });
    }
}

void CMainFrame::OnDosWindow()
{
    QString error;
    if (!CConsoleWindow::RunAndWait({}, QDir::currentPath(), &error))
        AfxMessageBox(this, error);
}

void CMainFrame::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_bOperatorBarPlaced)
        QTimer::singleShot(0, this, &CMainFrame::PlaceOperatorBar);
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    QSettings registry(QStringLiteral("QUILLON"), QStringLiteral("Kestrel"));
    registry.setValue(QStringLiteral("KESTREL/State"), saveState());
    if (!m_pDoc->SaveModified()) {
        event->ignore();
        return;
    }
    m_wndOperatorBar->close();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            CKestrelApp::Instance()->OpenDocumentFile(url.toLocalFile());
            return;
        }
    }
}
