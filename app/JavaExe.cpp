#include "app/JavaExe.h"

#include "app/OptionsPropertySheet.h"
#include "framework/DataExchange.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

CJavaExe::CJavaExe(QWidget *parent)
    : CPropertyPage(164, QStringLiteral("Java Interpreter"), QSize(347, 183), parent)
{
}

CJavaExe::~CJavaExe() = default;

void CJavaExe::CreateControls()
{
    QGridLayout *local = nullptr;
    QGroupBox *localGroup = NewGroup(tr("Local java interpreter"), &local);
    AddRow(local, tr("Executable path"), NewEdit(1047));
    AddRow(local, tr("Command line params"), NewEdit(1048));
    local->addWidget(NewCheck(1051, QStringLiteral("Run in MS-DOS Window ?    ")), local->rowCount(), 1, 1, 2);

    QGridLayout *server = nullptr;
    QGroupBox *serverGroup = NewGroup(tr("Server java interpreter"), &server);
    AddRow(server, tr("Executable path"), NewEdit(1049));
    AddRow(server, tr("Command line params"), NewEdit(1050));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(localGroup);
    layout->addWidget(serverGroup);
    layout->addStretch(1);
}

void CJavaExe::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(ControlName("edit", 1047), m_strLocalExe);
    pDX->Text(ControlName("edit", 1048), m_strLocalParams);
    pDX->Check(ControlName("check", 1051), m_bRunInDosWindow);
    pDX->Text(ControlName("edit", 1049), m_strServerExe);
    pDX->Text(ControlName("edit", 1050), m_strServerParams);
}

bool CJavaExe::OnApply()
{
    COptionsPropertySheet::SetSavePending(this);
    return CPropertyPage::OnApply();
}
