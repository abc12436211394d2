#include "editor/VariableListDlg.h"

#include "editor/PredefinedVariables.h"
#include "editor/VariableListModel.h"
#include "framework/CommandIds.h"
#include "framework/ReportListView.h"
#include "framework/ScreenFit.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

struct CModeInfo
{
    const char *pszTitle;
    const char *pszColumn;
    char chSigil;
};

const CModeInfo kModes[] = {
    {"List of Scalar variables", "Scalar", '$'},
    {"List of Array variables", "Array", '@'},
    {"List of Hash variables", "Hash", '%'},
};

} // namespace

CVariableListDlg::CVariableListDlg(QWidget *parent)
    : QDialog(parent)
    , m_pModel(new CVariableListModel(this))
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("VariableListDlg"));
    setWindowTitle(tr("List special variables"));
    setSizeGripEnabled(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *menuBar = new QMenuBar(this);
    QMenu *window = menuBar->addMenu(tr("&Window"));
    QAction *close = window->addAction(tr("&Close"));
    close->setObjectName(QStringLiteral("action_%1").arg(Cmd::ID_SPECIAL_CLOSE));
    connect(close, &QAction::triggered, this, &QDialog::accept);
    layout->setMenuBar(menuBar);

    m_listCtrl = new CReportListView(this);
    m_listCtrl->setObjectName(QStringLiteral("list_1002"));
    m_listCtrl->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_listCtrl->setModel(m_pModel);
    layout->addWidget(m_listCtrl);
    connect(m_listCtrl, &QAbstractItemView::doubleClicked, this, &CVariableListDlg::OnDoubleClick);
    m_listCtrl->installEventFilter(this);
    resize(540, 380);
}

CVariableListDlg::~CVariableListDlg() = default;

bool CVariableListDlg::OnInitDialog()
{
    m_bInitialized = 1;
    m_pModel->Clear();
    QHeaderView *header = m_listCtrl->header();
    if (m_nMode >= 0 && m_nMode <= 2) {
        const CModeInfo &mode = kModes[m_nMode];
        setWindowTitle(QString::fromLatin1(mode.pszTitle));
        m_pModel->SetScan(m_strText, mode.chSigil,
                          {QString::fromLatin1(mode.pszColumn), tr("Line Number"), tr("Value")});
        header->resizeSection(0, 180);
        header->resizeSection(1, 100);
        header->resizeSection(2, 200);
    } else {
        m_pModel->SetSpecial(CSpecialVariables::Table(), {tr("Symbol"), tr("English"), tr("Description")});
        header->resizeSection(0, 75);
        header->resizeSection(1, 185);
        header->resizeSection(2, 450);
        resize(760, 460);
    }
    return true;
}

int CVariableListDlg::DoModal()
{
    if (!m_bInitialized)
        OnInitDialog();
    return exec();
}

void CVariableListDlg::showEvent(QShowEvent *event)
{
    if (!m_bInitialized)
        OnInitDialog();
    QDialog::showEvent(event);
}

void CVariableListDlg::OnDoubleClick(const QModelIndex &index)
{
    const CVariableOccurrence *o = m_pModel->Occurrence(index.row());
    if (!o)
        return;
    emit LineActivated(o->nLine, o->nStart);
    // The list is modal: the user is taken to the line, where the caret now stands.
    accept();
}

bool CVariableListDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listCtrl && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_pModel->Occurrence(m_listCtrl->currentIndex().row())) {
            OnDoubleClick(m_listCtrl->currentIndex());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
