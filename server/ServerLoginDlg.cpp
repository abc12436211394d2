#include "server/ServerLoginDlg.h"

#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CServerLoginDlg::CServerLoginDlg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ServerLoginDlg"));
    setWindowTitle(tr("Server Login"));
    CDialogUnits du(this);
    setMinimumSize(du.Size(252, 85));

    auto *host = new QLineEdit;
    host->setObjectName(QStringLiteral("edit_1033"));
    host->setReadOnly(true);
    auto *user = new QLineEdit;
    user->setObjectName(QStringLiteral("edit_1031"));
    auto *password = new QLineEdit;
    password->setObjectName(QStringLiteral("edit_1032"));
    password->setEchoMode(QLineEdit::Password);

    auto *login = new QPushButton(tr("&Login"));
    login->setObjectName(QStringLiteral("button_1"));
    login->setDefault(true);
    auto *cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("button_2"));
    connect(login, &QPushButton::clicked, this, &CServerLoginDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CServerLoginDlg::reject);

    auto *grid = new QGridLayout;
    auto addRow = [&](int row, const QString &text, QLineEdit *edit) {
        auto *label = new QLabel(text);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
    };
    addRow(0, tr("Host"), host);
    addRow(1, tr("User name"), user);
    addRow(2, tr("Password"), password);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(login);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
}

void CServerLoginDlg::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(QStringLiteral("edit_1032"), m_strPassword);
    pDX->MaxChars(m_strPassword, 20);
    pDX->Text(QStringLiteral("edit_1031"), m_strUserName);
    pDX->MaxChars(m_strUserName, 20);
    pDX->Text(QStringLiteral("edit_1033"), m_strHost);
}

int CServerLoginDlg::DoModal()
{
    CDataExchange dx(this, false);
    DoDataExchange(&dx);
    // The password is what is usually retyped.
    findChild<QLineEdit *>(QLatin1String(m_strUserName.isEmpty() ? "edit_1031" : "edit_1032"))->setFocus();
    return exec();
}

void CServerLoginDlg::accept()
{
    CDataExchange dx(this, true);
    DoDataExchange(&dx);
    if (!dx.Failed())
        QDialog::accept();
}
