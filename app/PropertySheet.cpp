#include "app/PropertySheet.h"

#include "app/PropertyPage.h"
#include "framework/DialogUnits.h"
#include "framework/ScreenFit.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

CPropertySheet::CPropertySheet(const QString &strCaption, QWidget *pParentWnd, int iSelectPage)
    : QDialog(pParentWnd)
    , m_nStartPage(iSelectPage)
{
    CScreenFit::Install(this);
    setWindowTitle(strCaption);
    m_pTabs = new QTabWidget(this);
    m_pTabs->setObjectName(QStringLiteral("tabs"));
    m_pTabs->setUsesScrollButtons(false);

    m_pOk = new QPushButton(tr("OK"), this);
    m_pOk->setObjectName(QStringLiteral("IDOK"));
    m_pOk->setDefault(true);
    m_pCancel = new QPushButton(tr("Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("IDCANCEL"));
    m_pCancel->setAutoDefault(false);
    m_pApply = new QPushButton(tr("&Apply"), this);
    m_pApply->setObjectName(QStringLiteral("ID_APPLY_NOW"));
    m_pApply->setAutoDefault(false);
    m_pApply->setEnabled(false);

    CDialogUnits du(this);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(du.X(4));
    buttons->addStretch(1);
    for (QPushButton *b : {m_pOk, m_pCancel, m_pApply}) {
        b->setMinimumWidth(du.X(50));
        buttons->addWidget(b);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.X(7), du.Y(7), du.X(7), du.Y(7));
    layout->setSpacing(du.Y(7));
    layout->addWidget(m_pTabs, 1);
    layout->addLayout(buttons);

    connect(m_pOk, &QPushButton::clicked, this, &CPropertySheet::OnOK);
    connect(m_pCancel, &QPushButton::clicked, this, &CPropertySheet::reject);
    connect(m_pApply, &QPushButton::clicked, this, &CPropertySheet::OnApplyNow);
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CPropertySheet::OnTabChanged);
}

CPropertySheet::~CPropertySheet() = default;

void CPropertySheet::AddPage(CPropertyPage *pPage)
{
    pPage->m_pSheet = this;
    m_pages.append(pPage);
    m_bSwitching = true;
    m_pTabs->addTab(pPage, pPage->Caption());
    m_bSwitching = false;
    connect(pPage, &CPropertyPage::ModifiedChanged, this, &CPropertySheet::UpdateApplyButton);
    // The sheet is as large as its largest page, whether or not that page is built yet.
    QSize du = pPage->m_duSize;
    QSize size = CDialogUnits(pPage).Size(du.width(), du.height());
    m_pTabs->setMinimumSize(m_pTabs->minimumSize().expandedTo(size + QSize(0, m_pTabs->tabBar()->sizeHint().height())));
}

void CPropertySheet::showEvent(QShowEvent *event)
{
    if (m_nActive < 0 && !m_pages.isEmpty())
        ActivatePage(qBound(0, m_nStartPage, int(m_pages.size()) - 1));
    QDialog::showEvent(event);
}

void CPropertySheet::ActivatePage(int nPage)
{
    CPropertyPage *page = m_pages.value(nPage);
    if (!page)
        return;
    m_nActive = nPage;
    if (m_pTabs->currentIndex() != nPage) {
        m_bSwitching = true;
        m_pTabs->setCurrentIndex(nPage);
        m_bSwitching = false;
    }
    page->Create();
    page->OnSetActive();
    // The page's first control takes the focus, when the sheet opens as after Ctrl+Tab,
    // unless the user is on the tabs. A page is built when first shown, after the tab
    // switch has looked for a control and left the focus on the bare page, where the
    // keys typed next went nowhere.
    QWidget *focus = focusWidget();
    if (focus != m_pTabs->tabBar() && (!focus || focus == page || !page->isAncestorOf(focus)))
        FocusFirstControl(page);
}

void CPropertySheet::FocusFirstControl(QWidget *pPage)
{
    // The controls of a page built just now are shown by their layout a moment later:
    // only those hidden on purpose are passed over.
    auto shown = [pPage](QWidget *w) {
        for (; w && w != pPage; w = w->parentWidget()) {
            if (w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide))
                return false;
        }
        return true;
    };
    for (QWidget *w = pPage->nextInFocusChain(); w && w != pPage; w = w->nextInFocusChain()) {
        if (pPage->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && shown(w)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool CPropertySheet::SetActivePage(int nPage)
{
    if (nPage < 0 || nPage >= m_pages.size())
        return false;
    if (nPage == m_nActive)
        return true;
    if (CPropertyPage *old = GetActivePage(); old && old->IsCreated()) {
        // The page being left is shown while it checks its values, so that a refused
        // field can be selected where the user sees it.
        if (m_pTabs->currentIndex() != m_nActive) {
            m_bSwitching = true;
            m_pTabs->setCurrentIndex(m_nActive);
            m_bSwitching = false;
        }
        if (!old->OnKillActive())
            return false;
    }
    ActivatePage(nPage);
    return true;
}

void CPropertySheet::OnTabChanged(int nIndex)
{
    if (m_bSwitching || nIndex == m_nActive || m_nActive < 0)
        return;
    SetActivePage(nIndex);
}

bool CPropertySheet::ApplyPages()
{
    if (CPropertyPage *active = GetActivePage(); active && !active->OnKillActive())
        return false;
    for (int i = 0; i < m_pages.size(); ++i) {
        CPropertyPage *page = m_pages[i];
        if (!page->IsCreated())
            continue;
        if (!page->OnApply()) {
            SetActivePage(i);
            return false;
        }
    }
    for (CPropertyPage *page : std::as_const(m_pages))
        page->SetModified(false);
    return true;
}

void CPropertySheet::OnOK()
{
    if (ApplyPages())
        accept();
}

bool CPropertySheet::OnApplyNow()
{
    if (!ApplyPages())
        return false;
    if (CPropertyPage *active = GetActivePage())
        active->OnSetActive();
    return true;
}

void CPropertySheet::reject()
{
    for (CPropertyPage *page : std::as_const(m_pages)) {
        if (page->IsCreated())
            page->OnCancel();
    }
    QDialog::reject();
}

void CPropertySheet::UpdateApplyButton()
{
    bool modified = false;
    for (CPropertyPage *page : std::as_const(m_pages))
        modified = modified || page->IsModified();
    m_pApply->setEnabled(modified);
}
