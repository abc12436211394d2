#include "app/JavacExe.h"

#include "app/OptionsPropertySheet.h"
#include "framework/DataExchange.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

CJavacExe::CJavacExe(QWidget *parent)
    : CPropertyPage(163, QStringLiteral("Java compiler"), QSize(347, 183), parent)
{
}

CJavacExe::~CJavacExe() = default;

void CJavacExe::CreateControls()
{
    QGridLayout *local = nullptr;
    QGroupBox *localGroup = NewGroup(tr("Local Java compiler"), &local);
    AddRow(local, tr("Executable path"), NewEdit(1043));
    AddRow(local, tr("Command line params"), NewEdit(1044));
    QCheckBox *dos = NewCheck(1052, QStringLiteral("Run in MS-DOS Window ?    "));
    local->addWidget(dos, local->rowCount(), 1, 1, 2);
    connect(dos, &QCheckBox::clicked, this, [this] { SetModified(true); });

    QGridLayout *server = nullptr;
    QGroupBox *serverGroup = NewGroup(tr("Server java compiler"), &server);
    AddRow(server, tr("Executable path"), NewEdit(1045));
    AddRow(server, tr("Command line params"), NewEdit(1046));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(localGroup);
    layout->addWidget(serverGroup);
    layout->addStretch(1);
}

void CJavacExe::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(ControlName("edit", 1043), m_strLocalExe);
    pDX->Text(ControlName("edit", 1044), m_strLocalParams);
    pDX->Text(ControlName("edit", 1046), m_strServerParams);
    pDX->Text(ControlName("edit", 1045), m_strServerExe);
    pDX->Check(ControlName("check", 1052), m_bRunInDosWindow);
}

bool CJavacExe::OnApply()
{
    COptionsPropertySheet::SetSavePending(this);
    return CPropertyPage::OnApply();
}
