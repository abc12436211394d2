#include "server/CreateDirDlg.h"

#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CCreateDirDlg::CCreateDirDlg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CreateDirDlg"));
    setWindowTitle(tr("Create Directory"));
    CDialogUnits du(this);
    setMinimumSize(du.Size(296, 46));

    auto *name = new QLineEdit;
    name->setObjectName(QStringLiteral("edit_1035"));
    auto *label = new QLabel(tr("Directory Name"));
    label->setBuddy(name);
    auto *create = new QPushButton(tr("&Create"));
    create->setObjectName(QStringLiteral("button_1"));
    create->setDefault(true);
    auto *cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("button_2"));
    connect(create, &QPushButton::clicked, this, &CCreateDirDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCreateDirDlg::reject);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(name, 0, 1);
    grid->addWidget(create, 0, 2);
    grid->addWidget(cancel, 1, 2);
    grid->setColumnStretch(1, 1);
}

void CCreateDirDlg::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(QStringLiteral("edit_1035"), m_strDirName);
    pDX->MaxChars(m_strDirName, 20);
}

int CCreateDirDlg::DoModal()
{
    CDataExchange dx(this, false);
    DoDataExchange(&dx);
    findChild<QLineEdit *>(QStringLiteral("edit_1035"))->setFocus();
    return exec();
}

void CCreateDirDlg::accept()
{
    CDataExchange dx(this, true);
    DoDataExchange(&dx);
    if (!dx.Failed())
        QDialog::accept();
}
