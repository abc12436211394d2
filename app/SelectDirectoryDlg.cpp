#include "app/SelectDirectoryDlg.h"

#include "framework/DialogUnits.h"
#include "framework/Trace.h"
#include "framework/ScreenFit.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const int kImageRole = Qt::UserRole + 1;
const int kExpandedOnceRole = Qt::UserRole + 2;

const int TVIS_SELECTED = 2;
const int TVIS_EXPANDED = 32;
const int TVIS_EXPANDEDONCE = 64;

} // namespace

CSelectDirectoryDlg::CSelectDirectoryDlg(QWidget *parent)
    : QDialog(parent)
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("SelectDirectoryDlg"));
    setWindowTitle(tr("Select Directory"));
    CDialogUnits du(this);
    setMinimumSize(du.Size(227, 183));

    auto *dirLabel = new QLabel(tr("Directory:"), this);
    m_editPath = new QLineEdit(this);
    m_editPath->setObjectName(QStringLiteral("edit_1065"));
    dirLabel->setBuddy(m_editPath);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("tree_1067"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);

    auto *driveLabel = new QLabel(tr("Dri&ves:"), this);
    m_cbDrives = new QComboBox(this);
    m_cbDrives->setObjectName(QStringLiteral("combo_1068"));
    driveLabel->setBuddy(m_cbDrives);
    auto *note = new QLabel(this);
    note->setObjectName(QStringLiteral("static_1066"));
    // Nothing ever fills it; hidden, it leaves its room to the tree.
    note->hide();

    auto *ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CSelectDirectoryDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSelectDirectoryDlg::reject);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    for (QPushButton *b : {ok, cancel})
        b->setMinimumWidth(du.X(50));

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(du.X(7), du.Y(7), du.X(7), du.Y(7));
    grid->setHorizontalSpacing(du.X(7));
    grid->setVerticalSpacing(du.Y(3));
    grid->addWidget(dirLabel, 0, 0);
    grid->addWidget(m_editPath, 1, 0);
    grid->addWidget(m_tree, 2, 0);
    grid->addWidget(driveLabel, 3, 0);
    grid->addWidget(m_cbDrives, 4, 0);
    grid->addWidget(note, 5, 0);
    grid->addLayout(buttons, 1, 1, 5, 1);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);

    connect(m_cbDrives, &QComboBox::activated, this, &CSelectDirectoryDlg::OnDriveSelEndOk);
    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *item) { OnItemExpanding(item, false); });
    connect(m_tree, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem *item) { OnItemExpanding(item, true); });
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { OnSelChanged(current); });
    connect(m_tree, &QTreeWidget::itemClicked, this, [] { TRACE("Clicked"); });
    connect(m_tree, &QTreeWidget::doubleClicked, this, &CSelectDirectoryDlg::OnDblClick);
}

CSelectDirectoryDlg::~CSelectDirectoryDlg() = default;

int CSelectDirectoryDlg::ImageOf(const QTreeWidgetItem *item) { return item->data(0, kImageRole).toInt(); }

QStringList CSelectDirectoryDlg::DriveTexts()
{
    QStringList drives;
    for (const QFileInfo &drive : QDir::drives()) {
        QString text = QDir::toNativeSeparators(drive.absoluteFilePath());
        if (text.size() > 1 && text.endsWith(QDir::separator()))
            text.chop(1);
        drives << text;
    }
    return drives;
}

QString CSelectDirectoryDlg::RootText(const QString &strDrive)
{
    return strDrive.endsWith(QDir::separator()) ? strDrive : strDrive + QDir::separator();
}

QString CSelectDirectoryDlg::JoinPath(const QString &strFolder, const QString &strName)
{
    return strFolder.endsWith(QDir::separator()) ? strFolder + strName : strFolder + QDir::separator() + strName;
}

void CSelectDirectoryDlg::showEvent(QShowEvent *event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

bool CSelectDirectoryDlg::OnInitDialog()
{
    m_images[0] = style()->standardIcon(QStyle::SP_DirClosedIcon);
    m_images[1] = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon driveIcon = style()->standardIcon(QStyle::SP_DriveHDIcon);

    if (m_strPath.isEmpty())
        m_strPath = QDir::toNativeSeparators(QDir::currentPath());

    const QStringList drives = DriveTexts();
    for (const QString &drive : drives)
        m_cbDrives->addItem(driveIcon, drive);
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    // The drive is the one whose root the path starts with; a path on no drive (a
    // relative one) shows the first drive.
    m_strDrive.clear();
    for (const QString &drive : drives) {
        if (m_strPath.startsWith(RootText(drive), cs) || m_strPath.compare(drive, cs) == 0)
            m_strDrive = drive;
    }
    if (m_strDrive.isEmpty())
        m_strDrive = drives.isEmpty() ? m_strPath.left(2) : drives.first();
    m_cbDrives->setCurrentIndex(m_cbDrives->findText(m_strDrive, Qt::MatchStartsWith));

    BuildTree();
    UpdateData(false);
    return true;
}

void CSelectDirectoryDlg::UpdateData(bool bSaveAndValidate)
{
    if (bSaveAndValidate) {
        m_strPath = m_editPath->text();
        m_strDrive = m_cbDrives->currentText();
    } else {
        m_editPath->setText(m_strPath);
        m_cbDrives->setCurrentIndex(m_cbDrives->findText(m_strDrive));
    }
}

void CSelectDirectoryDlg::accept()
{
    UpdateData(true);
    QDialog::accept();
}

void CSelectDirectoryDlg::BuildTree()
{
    m_bBuilding = true;
    m_hSelected = nullptr;
    m_tree->clear();
    m_hRoot = new QTreeWidgetItem(m_tree, QStringList(RootText(m_strDrive)));
    SetImage(m_hRoot, 0);
    ListFolder(RootText(m_strDrive), m_hRoot);
    m_hRoot->setExpanded(true);
    m_hRoot->setData(0, kExpandedOnceRole, true);
    if (m_hRoot->childCount() > 0)
        SetImage(m_hRoot, 1);
    m_bBuilding = false;
    if (m_tree->currentItem())
        m_tree->scrollToItem(m_tree->currentItem(), QAbstractItemView::PositionAtCenter);
}

void CSelectDirectoryDlg::ListFolder(const QString &strPath, QTreeWidgetItem *item)
{
    const bool wasBuilding = m_bBuilding;
    m_bBuilding = true;
    // A folder listed again (a second double click) gets only the subfolders it does
    // not show yet.
    QSet<QString> listed;
    for (int i = 0; i < item->childCount(); ++i)
        listed.insert(item->child(i)->text(0));
    const QStringList names = QDir(strPath).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                                                      QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        if (listed.contains(name))
            continue;
        auto *child = new QTreeWidgetItem(item, QStringList(name));
        SetImage(child, 0);
        const QString fullPath = JoinPath(strPath, name);
        if (fullPath == m_strPath)
            m_tree->setCurrentItem(child);
        // Everything whose path is part of the chosen path is unfolded, so the tree
        // opens along that path.
        if (m_strPath.contains(fullPath)) {
            ListFolder(fullPath, child);
            child->setExpanded(true);
            child->setData(0, kExpandedOnceRole, true);
            if (child->childCount() > 0)
                SetImage(child, 1);
        }
    }
    m_bBuilding = wasBuilding;
}

void CSelectDirectoryDlg::OnDriveSelEndOk(int nIndex)
{
    if (nIndex < 0)
        return;
    m_strDrive = m_cbDrives->itemText(nIndex);
    BuildTree();
}

int CSelectDirectoryDlg::ItemState(const QTreeWidgetItem *item, bool bExpanded) const
{
    int state = 0;
    if (item->isSelected())
        state |= TVIS_SELECTED;
    if (bExpanded)
        state |= TVIS_EXPANDED;
    if (item->data(0, kExpandedOnceRole).toBool())
        state |= TVIS_EXPANDEDONCE;
    return state;
}

void CSelectDirectoryDlg::OnItemExpanding(QTreeWidgetItem *item, bool bWasExpanded)
{
    if (m_bBuilding)
        return;
    TRACE("Item Expanding");
    // The image follows the item's state before the change, as it is set while the
    // item is about to expand or collapse.
    SetFolderImage(item, ItemState(item, bWasExpanded));
    if (!bWasExpanded)
        item->setData(0, kExpandedOnceRole, true);
}

void CSelectDirectoryDlg::OnSelChanged(QTreeWidgetItem *current)
{
    TRACE("Selection Changed");
    m_hSelected = current;
}

void CSelectDirectoryDlg::OnDblClick()
{
    if (!m_hSelected)
        return;
    QString path = m_hSelected->text(0);
    for (QTreeWidgetItem *parent = m_hSelected->parent(); parent; parent = parent->parent()) {
        if (parent == m_hRoot)
            path = parent->text(0) + path;
        else
            path = parent->text(0) + QDir::separator() + path;
    }
    m_strPath = path;
    ListFolder(m_strPath, m_hSelected);
    SetFolderImage(m_hSelected, ItemState(m_hSelected, m_hSelected->isExpanded()));
    UpdateData(false);
    TRACE("Double Clicked - %s", qPrintable(path));
    TRACE("Selected dir - %s", qPrintable(m_strPath));
}

void CSelectDirectoryDlg::SetFolderImage(QTreeWidgetItem *item, int nState)
{
    const bool open = item->childCount() > 0
                      && (nState == TVIS_SELECTED || nState == TVIS_EXPANDED
                          || nState == (TVIS_SELECTED | TVIS_EXPANDEDONCE));
    SetImage(item, open ? 1 : 0);
}

void CSelectDirectoryDlg::SetImage(QTreeWidgetItem *item, int nImage)
{
    item->setData(0, kImageRole, nImage);
    item->setIcon(0, m_images[nImage]);
}
