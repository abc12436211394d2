#include "perl/SubListDlg.h"

#include "perl/SubListModel.h"
#include "framework/ReportListView.h"
#include "framework/ScreenFit.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>
#include <QVBoxLayout>

CSubListDlg::CSubListDlg(QWidget *parent)
    : QDialog(parent)
    , m_pModel(new CSubListModel(this))
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("SubListDlg"));
    setWindowTitle(tr("List of Subs"));
    setSizeGripEnabled(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *menuBar = new QMenuBar(this);
    QMenu *window = menuBar->addMenu(tr("&Window"));
    QAction *close = window->addAction(tr("&Close"));
    close->setObjectName(QStringLiteral("action_close"));
    connect(close, &QAction::triggered, this, &QDialog::reject);
    layout->setMenuBar(menuBar);

    m_listCtrl = new CReportListView(this);
    m_listCtrl->setObjectName(QStringLiteral("list_subs"));
    m_listCtrl->setModel(m_pModel);
    m_listCtrl->installEventFilter(this);
    layout->addWidget(m_listCtrl);
    connect(m_listCtrl, &QAbstractItemView::doubleClicked, this, &CSubListDlg::Activate);
    resize(540, 380);
}

CSubListDlg::~CSubListDlg() = default;

void CSubListDlg::Fill()
{
    if (m_bFilled)
        return;
    m_bFilled = true;
    m_pModel->SetText(m_strText);
    QHeaderView *header = m_listCtrl->header();
    header->resizeSection(0, 260);
    header->resizeSection(1, 100);
    header->resizeSection(2, 160);
    if (m_pModel->rowCount() > 0)
        m_listCtrl->setCurrentIndex(m_pModel->index(0, 0));
}

int CSubListDlg::DoModal()
{
    Fill();
    return exec();
}

void CSubListDlg::showEvent(QShowEvent *event)
{
    Fill();
    QDialog::showEvent(event);
}

bool CSubListDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listCtrl && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Activate(m_listCtrl->currentIndex());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSubListDlg::Activate(const QModelIndex &index)
{
    const CSubDeclaration *d = m_pModel->Declaration(index.row());
    if (!d)
        return;
    emit LineActivated(d->nLine, d->nKeyword);
    accept();
}
