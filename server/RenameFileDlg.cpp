#include "server/RenameFileDlg.h"

#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CRenameFileDlg::CRenameFileDlg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("RenameFileDlg"));
    setWindowTitle(tr("Rename file"));
    CDialogUnits du(this);
    setMinimumSize(du.Size(296, 61));

    auto *newName = new QLineEdit;
    newName->setObjectName(QStringLiteral("edit_1034"));
    auto *oldName = new QLineEdit;
    oldName->setObjectName(QStringLiteral("edit_1033"));
    oldName->setReadOnly(true);
    auto *oldLabel = new QLabel(tr("Old File name"));
    oldLabel->setBuddy(oldName);
    auto *newLabel = new QLabel(tr("New File name"));
    newLabel->setBuddy(newName);
    auto *rename = new QPushButton(tr("&Rename"));
    rename->setObjectName(QStringLiteral("button_1"));
    rename->setDefault(true);
    auto *cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("button_2"));
    connect(rename, &QPushButton::clicked, this, &CRenameFileDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CRenameFileDlg::reject);

    auto *grid = new QGridLayout(this);
    grid->addWidget(oldLabel, 0, 0);
    grid->addWidget(oldName, 0, 1);
    grid->addWidget(rename, 0, 2);
    grid->addWidget(newLabel, 1, 0);
    grid->addWidget(newName, 1, 1);
    grid->addWidget(cancel, 1, 2);
    grid->setColumnStretch(1, 1);
}

void CRenameFileDlg::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(QStringLiteral("edit_1034"), m_strNewName);
    pDX->Text(QStringLiteral("edit_1033"), m_strOldName);
}

int CRenameFileDlg::DoModal()
{
    CDataExchange dx(this, false);
    DoDataExchange(&dx);
    auto *edit = findChild<QLineEdit *>(QStringLiteral("edit_1034"));
    edit->setFocus();
    edit->selectAll();
    return exec();
}

void CRenameFileDlg::accept()
{
    CDataExchange dx(this, true);
    DoDataExchange(&dx);
    if (!dx.Failed())
        QDialog::accept();
}
