#include "app/ServerParams.h"

#include "app/KestrelApp.h"
#include "app/OptionsPropertySheet.h"
#include "framework/DataExchange.h"
#include "framework/MessageBox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

struct ServerType
{
    int nId;
    const char *pszText;
    const char *pszValue;
};

const ServerType kServerTypes[] = {
    {1042, "Telnet", "telnet"},
    {1040, "wrenShell", "wrenshell"},
    {1041, "Other", "other"},
    // The remote shell over SSH; a control id the original page did not use.
    {1064, "SSH", "ssh"},
};

} // namespace

CServerParams::CServerParams(QWidget *parent)
    : CPropertyPage(165, QStringLiteral("Server "), QSize(346, 183), parent)
{
}

CServerParams::~CServerParams() = default;

void CServerParams::CreateControls()
{
    QGridLayout *security = nullptr;
    QGroupBox *securityGroup = NewGroup(tr("Security"), &security);
    AddRow(security, tr("User name"), NewEdit(1055));
    QLineEdit *password = NewEdit(1056);
    password->setEchoMode(QLineEdit::Password);
    AddRow(security, tr("Password"), password);

    QGridLayout *types = nullptr;
    QGroupBox *typeGroup = NewGroup(tr("Server type"), &types);
    int row = 0;
    for (const ServerType &type : kServerTypes) {
        QRadioButton *radio = NewRadio(type.nId, QLatin1String(type.pszText));
        radio->setParent(typeGroup);
        types->addWidget(radio, row++, 0);
        const QString value = QLatin1String(type.pszValue);
        connect(radio, &QRadioButton::clicked, this, [this, value] {
            m_strServerType = value;
            FollowStandardPort(value);
            SetModified(true);
        });
    }

    QGridLayout *connection = nullptr;
    QGroupBox *connectionGroup = NewGroup(tr("Connection"), &connection);
    AddRow(connection, tr("Host"), NewEdit(1061));
    AddRow(connection, tr("Port"), NewEdit(1062));

    QGridLayout *client = nullptr;
    QGroupBox *clientGroup = NewGroup(tr("Client"), &client);
    AddRow(client, tr("Executable path"), NewEdit(1063));

    auto *top = new QHBoxLayout;
    top->addWidget(securityGroup, 2);
    top->addWidget(typeGroup, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(connectionGroup);
    layout->addWidget(clientGroup);
    layout->addStretch(1);
}

void CServerParams::FollowStandardPort(const QString &strType)
{
    // A port left at the other protocol's standard (or never set) follows the type:
    // 22 for SSH, 23 for telnet. A port the user chose stays.
    auto *edit = findChild<QLineEdit *>(ControlName("edit", 1062));
    if (!edit)
        return;
    const QString port = edit->text().trimmed();
    if (strType == QLatin1String("ssh") && (port.isEmpty() || port == QLatin1String("0") || port == QLatin1String("23")))
        edit->setText(QStringLiteral("22"));
    else if (strType == QLatin1String("telnet") && (port.isEmpty() || port == QLatin1String("0") || port == QLatin1String("22")))
        edit->setText(QStringLiteral("23"));
}

void CServerParams::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(ControlName("edit", 1056), m_strPassword);
    pDX->Text(ControlName("edit", 1055), m_strUser);
    pDX->Text(ControlName("edit", 1061), m_strHost);
    pDX->Text(ControlName("edit", 1062), m_nPort);
    pDX->MinMaxInt(int(qMin(m_nPort, 65536u)), 0, 65535);
    pDX->Text(ControlName("edit", 1063), m_strClientExe);
}

bool CServerParams::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    // Showing the type does not change it: an unknown type shows as "Other" and is kept.
    int checked = 1041;
    for (const ServerType &type : kServerTypes) {
        if (m_strServerType == QLatin1String(type.pszValue))
            checked = type.nId;
    }
    if (auto *radio = findChild<QRadioButton *>(ControlName("radio", checked)))
        radio->setChecked(true);
    return true;
}

bool CServerParams::OnApply()
{
    if (!m_strClientExe.isEmpty() && !CKestrelApp::FileExists(m_strClientExe))
        AfxMessageBox(this, QStringLiteral("Executable file ") + m_strClientExe + QStringLiteral(" was not found."),
                      QMessageBox::Ok, QMessageBox::Information);
    COptionsPropertySheet::SetSavePending(this);
    return CPropertyPage::OnApply();
}
