#pragma once

#include <QDialog>
#include <QList>

class CPropertyPage;
class QPushButton;
class QTabWidget;

// A tabbed dialog of property pages with OK, Cancel and Apply. A page is built when its
// tab is first shown; leaving a page validates it, and a page that refuses its values
// keeps the user on it. OK and Apply apply every page that has been built; Apply is
// enabled while any page is modified.
class CPropertySheet : public QDialog
{
    Q_OBJECT

public:
    explicit CPropertySheet(const QString &strCaption, QWidget *pParentWnd = nullptr, int iSelectPage = 0);
    ~CPropertySheet() override;

    // The sheet takes the page; pages show in the order they are added.
    void AddPage(CPropertyPage *pPage);
    int GetPageCount() const { return int(m_pages.size()); }
    CPropertyPage *GetPage(int nPage) const { return m_pages.value(nPage); }
    CPropertyPage *GetActivePage() const { return m_pages.value(m_nActive); }
    int GetActiveIndex() const { return m_nActive; }
    // Leaves the current page (which may refuse) and shows page nPage.
    bool SetActivePage(int nPage);

    int DoModal() { return exec(); }

    QTabWidget *TabControl() const { return m_pTabs; }

    // The buttons' actions: OK applies and closes, Apply applies and stays.
    void OnOK();
    bool OnApplyNow();
    // Cancel, Escape and closing the window.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool ApplyPages();
    void ActivatePage(int nPage);
    static void FocusFirstControl(QWidget *pPage);
    void OnTabChanged(int nIndex);
    void UpdateApplyButton();

    QTabWidget *m_pTabs;
    QPushButton *m_pOk;
    QPushButton *m_pCancel;
    QPushButton *m_pApply;
    QList<CPropertyPage *> m_pages;
    int m_nStartPage;
    int m_nActive = -1;
    bool m_bSwitching = false;
};
