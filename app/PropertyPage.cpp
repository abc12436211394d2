#include "app/PropertyPage.h"

#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

CPropertyPage::CPropertyPage(int nIDTemplate, const QString &strCaption, const QSize &duSize, QWidget *parent)
    : QWidget(parent)
    , m_nIDTemplate(nIDTemplate)
    , m_strCaption(strCaption)
    , m_duSize(duSize)
{
    setObjectName(QStringLiteral("page_%1").arg(nIDTemplate));
}

CPropertyPage::~CPropertyPage() = default;

QString CPropertyPage::ControlName(const char *pszKind, int nId)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(pszKind)).arg(nId);
}

void CPropertyPage::Create()
{
    if (m_bCreated)
        return;
    m_bCreated = true;
    setMinimumSize(CDialogUnits(this).Size(m_duSize.width(), m_duSize.height()));
    CreateControls();
    // The layout would show controls made on a page already shown only a moment later,
    // after the sheet has chosen where the focus goes; they are shown now.
    if (isVisible()) {
        for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!(w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide)))
                w->show();
        }
    }
    // Filling the controls is not a change made by the user.
    m_bInitialising = true;
    OnInitDialog();
    m_bInitialising = false;
}

bool CPropertyPage::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CPropertyPage::DoDataExchange(CDataExchange *pDX) { Q_UNUSED(pDX); }

bool CPropertyPage::UpdateData(bool bSaveAndValidate)
{
    if (!m_bCreated)
        return true;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

void CPropertyPage::SetModified(bool bChanged)
{
    if (m_bModified == bChanged)
        return;
    m_bModified = bChanged;
    emit ModifiedChanged(bChanged);
}

bool CPropertyPage::OnSetActive()
{
    if (m_bFirstSetActive)
        m_bFirstSetActive = false;
    else
        UpdateData(false);
    return true;
}

bool CPropertyPage::OnKillActive() { return UpdateData(true); }

bool CPropertyPage::OnApply()
{
    OnOK();
    return true;
}

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

QLineEdit *CPropertyPage::NewEdit(int nId, bool bNotify)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(ControlName("edit", nId));
    if (bNotify) {
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (!m_bInitialising)
                SetModified(true);
        });
    }
    return edit;
}

QCheckBox *CPropertyPage::NewCheck(int nId, const QString &strText)
{
    auto *check = new QCheckBox(strText, this);
    check->setObjectName(ControlName("check", nId));
    return check;
}

QRadioButton *CPropertyPage::NewRadio(int nId, const QString &strText)
{
    auto *radio = new QRadioButton(strText, this);
    radio->setObjectName(ControlName("radio", nId));
    return radio;
}

QPushButton *CPropertyPage::NewButton(int nId, const QString &strText)
{
    auto *button = new QPushButton(strText, this);
    button->setObjectName(ControlName("button", nId));
    button->setAutoDefault(false);
    return button;
}

QGroupBox *CPropertyPage::NewGroup(const QString &strTitle, QGridLayout **ppGrid)
{
    auto *group = new QGroupBox(strTitle, this);
    auto *grid = new QGridLayout(group);
    CDialogUnits du(this);
    grid->setHorizontalSpacing(du.X(6));
    grid->setVerticalSpacing(du.Y(4));
    grid->setColumnStretch(1, 1);
    *ppGrid = grid;
    return group;
}

void CPropertyPage::AddRow(QGridLayout *grid, const QString &strLabel, QWidget *field, QWidget *extra)
{
    int row = grid->count() == 0 ? 0 : grid->rowCount();
    auto *label = new QLabel(strLabel, grid->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    if (extra) {
        grid->addWidget(field, row, 1);
        grid->addWidget(extra, row, 2);
    } else {
        grid->addWidget(field, row, 1, 1, 2);
    }
}
