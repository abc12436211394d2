#include "debug/BreakpointsDlg.h"

#include "debug/BreakpointHost.h"
#include "debug/BreakpointMarks.h"
#include "debug/DebugBreakpointList.h"
#include "framework/ScreenFit.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
enum Column { FileColumn, LineColumn, ConditionColumn, StateColumn };
constexpr int kPathRole = Qt::UserRole;
constexpr int kLineRole = Qt::UserRole + 1;
} // namespace

CBreakpointsDlg::CBreakpointsDlg(CBreakpointHost *pHost, QWidget *parent)
    : QDialog(parent)
    , m_pHost(pHost)
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("BreakpointsDlg"));
    setWindowTitle(QStringLiteral("Breakpoints"));

    m_pList = new QTreeWidget(this);
    m_pList->setObjectName(QStringLiteral("list_Breakpoints"));
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Line"), QStringLiteral("Condition"),
                              QStringLiteral("State")});
    m_pList->header()->setStretchLastSection(true);

    m_pRemove = new QPushButton(QStringLiteral("&Remove"), this);
    m_pRemove->setObjectName(QStringLiteral("button_Remove"));
    m_pRemoveAll = new QPushButton(QStringLiteral("Remove &All"), this);
    m_pRemoveAll->setObjectName(QStringLiteral("button_RemoveAll"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("button_Close"));
    close->setDefault(true);
    connect(m_pRemove, &QPushButton::clicked, this, &CBreakpointsDlg::OnRemove);
    connect(m_pRemoveAll, &QPushButton::clicked, this, &CBreakpointsDlg::OnRemoveAll);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CBreakpointsDlg::UpdateButtons);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_pRemove);
    buttons->addWidget(m_pRemoveAll);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addLayout(buttons);

    Refill();
    const QFontMetrics fm(font());
    resize(qMax(560, fm.averageCharWidth() * 90), qMax(300, fm.height() * 18));
}

void CBreakpointsDlg::Refill()
{
    m_pList->clear();
    const QList<CDebugBreakpoint> list = m_pHost ? m_pHost->Breakpoints() : QList<CDebugBreakpoint>{};
    for (const CDebugBreakpoint &bp : list) {
        auto *item = new QTreeWidgetItem(m_pList);
        item->setText(FileColumn, QFileInfo(bp.strFile).fileName());
        item->setToolTip(FileColumn, QDir::toNativeSeparators(bp.strFile));
        item->setText(LineColumn, QString::number(CDebugBreakpointList::ShownLine(bp)));
        item->setTextAlignment(LineColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(ConditionColumn, bp.strCondition);
        item->setText(StateColumn, CBreakpointMarks::StateText(bp));
        item->setToolTip(StateColumn, CBreakpointMarks::Tooltip(bp));
        item->setData(FileColumn, kPathRole, bp.strFile);
        item->setData(FileColumn, kLineRole, CDebugBreakpointList::ShownLine(bp));
    }
    for (int c = 0; c < m_pList->columnCount() - 1; ++c)
        m_pList->resizeColumnToContents(c);
    // A condition typed later still fits without the user widening the column.
    const int chars = m_pList->fontMetrics().averageCharWidth();
    m_pList->setColumnWidth(FileColumn, qMax(m_pList->columnWidth(FileColumn), chars * 16));
    m_pList->setColumnWidth(ConditionColumn, qMax(m_pList->columnWidth(ConditionColumn), chars * 20));
    if (m_pList->topLevelItemCount() > 0)
        m_pList->setCurrentItem(m_pList->topLevelItem(0));
    UpdateButtons();
}

void CBreakpointsDlg::UpdateButtons()
{
    m_pRemove->setEnabled(!m_pList->selectedItems().isEmpty());
    m_pRemoveAll->setEnabled(m_pList->topLevelItemCount() > 0);
}

void CBreakpointsDlg::OnRemove()
{
    if (!m_pHost)
        return;
    QList<QPair<QString, int>> chosen;
    for (QTreeWidgetItem *item : m_pList->selectedItems())
        chosen.append({item->data(FileColumn, kPathRole).toString(), item->data(FileColumn, kLineRole).toInt()});
    for (const auto &c : chosen)
        m_pHost->RemoveBreakpoint(c.first, c.second);
    Refill();
}

void CBreakpointsDlg::OnRemoveAll()
{
    if (!m_pHost)
        return;
    m_pHost->RemoveAllBreakpoints();
    Refill();
}
