#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

class CDataExchange;
class CPropertySheet;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// One page of a property sheet. Its controls are built the first time its tab is shown;
// until then the page only holds the values given to it and is neither validated nor
// applied.
class CPropertyPage : public QWidget
{
    Q_OBJECT

public:
    // duSize is the page's designed size in dialog units.
    CPropertyPage(int nIDTemplate, const QString &strCaption, const QSize &duSize, QWidget *parent = nullptr);
    ~CPropertyPage() override;

    int TemplateId() const { return m_nIDTemplate; }
    QString Caption() const { return m_strCaption; }
    bool IsCreated() const { return m_bCreated; }
    // Builds the controls and runs OnInitDialog, the first time only.
    void Create();

    // A modified page enables the sheet's Apply button.
    void SetModified(bool bChanged = true);
    bool IsModified() const { return m_bModified; }

    // false: members into the controls; true: controls into the members, validated.
    // False when a value was refused (the user has been told and the field selected).
    bool UpdateData(bool bSaveAndValidate = true);

    CPropertySheet *GetParentSheet() const { return m_pSheet; }

    // Called by the sheet: when the page becomes the current one, when it is left (false
    // keeps the user on it), and on OK, Apply and Cancel.
    virtual bool OnSetActive();
    virtual bool OnKillActive();
    // Runs OnOK; false would keep the sheet open on this page.
    virtual bool OnApply();
    virtual void OnOK();
    virtual void OnCancel();

    // The object name of control nId of the given kind, e.g. "edit_1000".
    static QString ControlName(const char *pszKind, int nId);

signals:
    void ModifiedChanged(bool bModified);

protected:
    virtual void CreateControls() = 0;
    virtual void DoDataExchange(CDataExchange *pDX);
    // Moves the members into the controls.
    virtual bool OnInitDialog();

    // Control builders; an edit made with bNotify marks the page modified when its
    // contents change, except while the page fills it for the first time.
    QLineEdit *NewEdit(int nId, bool bNotify = true);
    QCheckBox *NewCheck(int nId, const QString &strText);
    QRadioButton *NewRadio(int nId, const QString &strText);
    QPushButton *NewButton(int nId, const QString &strText);
    // A framed group with a two-column grid: labels on the left, fields on the right.
    QGroupBox *NewGroup(const QString &strTitle, QGridLayout **ppGrid);
    static void AddRow(QGridLayout *grid, const QString &strLabel, QWidget *field, QWidget *extra = nullptr);

    bool IsInitialising() const { return m_bInitialising; }

private:
    friend class CPropertySheet;

    CPropertySheet *m_pSheet = nullptr;
    int m_nIDTemplate;
    QString m_strCaption;
    QSize m_duSize;
    bool m_bCreated = false;
    bool m_bModified = false;
    bool m_bFirstSetActive = true;
    bool m_bInitialising = false;
};
