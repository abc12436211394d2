#include "app/FtpParams.h"

#include "app/KestrelApp.h"
#include "app/OptionsPropertySheet.h"
#include "app/SelectDirectoryDlg.h"
#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "server/TransferHost.h"

#include <QComboBox>
#include <QKeyEvent>

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A combo box takes Ctrl+Tab for a search by the typed text (a tab); the sheet moves
// to the next page with it everywhere else, so here too.
class CPageComboBox : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
            && (event->modifiers() & Qt::ControlModifier)) {
            event->ignore();
            return;
        }
        QComboBox::keyPressEvent(event);
    }
};

} // namespace

CFtpParams::CFtpParams(QWidget *parent)
    : CPropertyPage(131, QStringLiteral("FTP"), QSize(347, 183), parent)
{
}

CFtpParams::~CFtpParams() = default;

void CFtpParams::CreateControls()
{
    QGridLayout *connection = nullptr;
    QGroupBox *connectionGroup = NewGroup(tr("Connection"), &connection);
    m_pProtocol = new CPageComboBox(this);
    m_pProtocol->setObjectName(ControlName("combo", 1041));
    // In the order of CTransferHost::Protocol.
    m_pProtocol->addItem(tr("FTP"));
    m_pProtocol->addItem(tr("FTPS (FTP with TLS)"));
    m_pProtocol->addItem(tr("SFTP (SSH)"));
    m_pProtocol->setToolTip(tr("How files travel: FTP sends the password in clear; FTPS and SFTP encrypt"));
    connect(m_pProtocol, &QComboBox::currentIndexChanged, this, &CFtpParams::OnProtocolChanged);
    AddRow(connection, tr("Protocol"), m_pProtocol);
    AddRow(connection, tr("Host Name"), NewEdit(1002));
    AddRow(connection, tr("Port number"), NewEdit(1003));

    QGridLayout *security = nullptr;
    QGroupBox *securityGroup = NewGroup(tr("Security"), &security);
    AddRow(security, tr("User name"), NewEdit(1004));
    QLineEdit *password = NewEdit(1005);
    password->setEchoMode(QLineEdit::Password);
    AddRow(security, tr("Password"), password);

    QGridLayout *dirs = nullptr;
    QGroupBox *dirsGroup = NewGroup(tr("Directories"), &dirs);
    QLineEdit *local = NewEdit(1006);
    QPushButton *browse = NewButton(1028, QStringLiteral("..."));
    browse->setToolTip(tr("Select the local folder"));
    browse->setMaximumWidth(CDialogUnits(this).X(24));
    connect(browse, &QPushButton::clicked, this, &CFtpParams::OnBrowseLocalDir);
    AddRow(dirs, tr("Local"), local, browse);
    AddRow(dirs, tr("Remote"), NewEdit(1007));

    auto *top = new QHBoxLayout;
    top->addWidget(connectionGroup, 1);
    top->addWidget(securityGroup, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dirsGroup);
    layout->addStretch(1);
}

void CFtpParams::DoDataExchange(CDataExchange *pDX)
{
    if (!pDX->m_bSaveAndValidate) {
        const CTransferHost host = CTransferHost::Parse(m_strHost);
        QString shown = m_strHost.trimmed();
        if (host.m_bExplicitScheme)
            shown = shown.mid(shown.indexOf(QLatin1String("://")) + 3);
        m_bHostWasBare = !host.m_bExplicitScheme;
        m_nShownProtocol = int(host.m_protocol);
        {
            const QSignalBlocker quiet(m_pProtocol);
            m_pProtocol->setCurrentIndex(m_nShownProtocol);
        }
        pDX->Text(ControlName("edit", 1002), shown);
    } else {
        QString shown;
        pDX->Text(ControlName("edit", 1002), shown);
        // A scheme typed into the host field says the protocol itself.
        if (CTransferHost::Parse(shown).m_bExplicitScheme)
            m_strHost = shown.trimmed();
        else
            m_strHost = CTransferHost::Compose(CTransferHost::Protocol(m_pProtocol->currentIndex()), shown,
                                               m_bHostWasBare);
    }
    pDX->Text(ControlName("edit", 1003), m_nPort);
    // A TCP port has sixteen bits; a larger number would silently become another port.
    pDX->MinMaxInt(int(qMin(m_nPort, 65536u)), 0, 65535);
    pDX->Text(ControlName("edit", 1005), m_strPassword);
    pDX->Text(ControlName("edit", 1004), m_strUser);
    pDX->Text(ControlName("edit", 1006), m_strLocalDir);
    pDX->Text(ControlName("edit", 1007), m_strRemoteDir);
}

bool CFtpParams::OnApply()
{
    if (!CKestrelApp::FileExists(m_strLocalDir))
        AfxMessageBox(this, QStringLiteral("Directory ") + m_strLocalDir + QStringLiteral(" was not found."),
                      QMessageBox::Ok, QMessageBox::Information);
    COptionsPropertySheet::SetSavePending(this);
    return CPropertyPage::OnApply();
}

void CFtpParams::OnProtocolChanged(int nIndex)
{
    auto *port = findChild<QLineEdit *>(ControlName("edit", 1003));
    bool ok = false;
    const int shownPort = port->text().trimmed().toInt(&ok);
    const int newPort = CTransferHost::PortAfterSwitch(CTransferHost::Protocol(m_nShownProtocol),
                                                       CTransferHost::Protocol(nIndex), ok ? shownPort : 0);
    if (!ok || newPort != shownPort)
        port->setText(QString::number(newPort));
    m_nShownProtocol = nIndex;
    if (!IsInitialising())
        SetModified(true);
}

void CFtpParams::OnBrowseLocalDir()
{
    // A refused field keeps the user on it; reloading the controls after the dialog
    // would otherwise throw away whatever was typed after that field.
    if (!UpdateData(true))
        return;
    CSelectDirectoryDlg dlg(this);
    dlg.m_strPath = m_strLocalDir;
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    m_strLocalDir = dlg.m_strPath;
    UpdateData(false);
}
