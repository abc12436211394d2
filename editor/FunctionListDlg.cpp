#include "editor/FunctionListDlg.h"

#include "app/KestrelApp.h"
#include "editor/CodeTemplates.h"
#include "editor/FunctionCatalogue.h"
#include "editor/FunctionListModel.h"
#include "framework/CommandIds.h"
#include "framework/ReportListView.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "framework/ScreenFit.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>
#include <QVBoxLayout>

CFunctionListDlg::CFunctionListDlg(QWidget *parent, const QString &strPath)
    : QDialog(parent)
    , m_pModel(new CFunctionListModel(this))
    , m_strPath(strPath.isEmpty() ? CataloguePath() : strPath)
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("FunctionListDlg"));
    setWindowTitle(tr("Perl functions"));
    setModal(false);
    setSizeGripEnabled(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *menuBar = new QMenuBar(this);
    QMenu *window = menuBar->addMenu(tr("&Window"));
    QAction *close = window->addAction(tr("&Close"));
    close->setObjectName(QStringLiteral("action_%1").arg(Cmd::ID_FUNCTIONS_CLOSE));
    connect(close, &QAction::triggered, this, &QWidget::hide);
    layout->setMenuBar(menuBar);

    m_listCtrl = new CReportListView(this);
    m_listCtrl->setObjectName(QStringLiteral("list_1067"));
    m_listCtrl->setModel(m_pModel);
    // A double-click anywhere in the list counts, also below the last row.
    m_listCtrl->viewport()->installEventFilter(this);
    m_listCtrl->installEventFilter(this);
    layout->addWidget(m_listCtrl);

    resize(CDialogUnits(this).Size(354, 201));
    OnInitDialog();
}

CFunctionListDlg::~CFunctionListDlg() = default;

QString CFunctionListDlg::CataloguePath()
{
    return CKestrelApp::CataloguePath();
}

bool CFunctionListDlg::OnInitDialog()
{
    m_bInitialized = 1;
    QHeaderView *header = m_listCtrl->header();
    header->resizeSection(0, 175);
    header->resizeSection(1, 350);
    header->resizeSection(2, 350);
    QVector<CFunctionEntry> entries;
    m_bLoadFailed = !CFunctionCatalogue::Read(m_strPath, entries);
    m_pModel->SetEntries(std::move(entries));
    return true;
}

void CFunctionListDlg::ShowWindow()
{
    // Reported when the window is first asked for rather than while the main window
    // is being built, where a modal box would hold up the start.
    if (m_bLoadFailed && !m_bFailureReported) {
        m_bFailureReported = true;
        AfxMessageBox(parentWidget(), tr("File containing functions list not found."), QMessageBox::Ok,
                      QMessageBox::Critical);
    }
    show();
    raise();
    activateWindow();
    m_listCtrl->setFocus();
}

void CFunctionListDlg::OnDblClkList()
{
    const CFunctionEntry *entry = m_pModel->Entry(m_listCtrl->currentIndex().row());
    m_strTemplate = entry ? entry->baTemplate : QByteArray();
    if (QWidget *frame = parentWidget()) {
        frame->raise();
        frame->activateWindow();
    }
    emit TemplateChosen(m_strTemplate + CCodeTemplates::LineEnd());
    hide();
}

bool CFunctionListDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listCtrl->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // The press before the double-click has already moved the selection mark.
        OnDblClkList();
        return true;
    }
    if (watched == m_listCtrl && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            OnDblClkList();
            return true;
        }
        if (key->key() == Qt::Key_F1) {
            if (const CFunctionEntry *entry = m_pModel->Entry(m_listCtrl->currentIndex().row()))
                emit DocumentationRequested(QString::fromLatin1(entry->baName));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
