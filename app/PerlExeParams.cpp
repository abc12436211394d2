#include "app/PerlExeParams.h"

#include "app/OptionsPropertySheet.h"
#include "framework/DataExchange.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

CPerlExeParams::CPerlExeParams(QWidget *parent)
    : CPropertyPage(132, QStringLiteral("Perl"), QSize(347, 183), parent)
{
}

CPerlExeParams::~CPerlExeParams() = default;

void CPerlExeParams::CreateControls()
{
    QGridLayout *local = nullptr;
    QGroupBox *localGroup = NewGroup(tr("Local perl interpreter"), &local);
    AddRow(local, tr("Executable path"), NewEdit(1000));
    AddRow(local, tr("Command line params"), NewEdit(1038));
    // The check box has no change handler: ticking it alone leaves Apply as it is.
    local->addWidget(NewCheck(1012, QStringLiteral("Run in MS-DOS Window ?    ")), local->rowCount(), 1, 1, 2);

    QGridLayout *server = nullptr;
    QGroupBox *serverGroup = NewGroup(tr("Server perl interpreter"), &server);
    AddRow(server, tr("Executable path"), NewEdit(1001));
    AddRow(server, tr("Command line params"), NewEdit(1039));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(localGroup);
    layout->addWidget(serverGroup);
    layout->addStretch(1);
}

void CPerlExeParams::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(ControlName("edit", 1000), m_strLocalExe);
    pDX->Text(ControlName("edit", 1001), m_strServerExe);
    pDX->Check(ControlName("check", 1012), m_bRunInDosWindow);
    pDX->Text(ControlName("edit", 1038), m_strLocalParams);
    pDX->Text(ControlName("edit", 1039), m_strServerParams);
}

bool CPerlExeParams::OnApply()
{
    COptionsPropertySheet::SetSavePending(this);
    return CPropertyPage::OnApply();
}
