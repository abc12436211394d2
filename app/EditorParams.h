#pragma once

#include "app/PropertyPage.h"
#include "framework/LogFont.h"

class QLineEdit;

// Options page "Editor": tab and indent sizes, tabs or spaces, auto-indent and the
// display font. Its font button replaces the shared display font at once.
class CEditorParams : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CEditorParams(QWidget *parent = nullptr);
    ~CEditorParams() override;

    CLogFont m_lf;
    QString m_strViewFont;
    QLineEdit *m_editSample = nullptr;
    QString m_strSample = QStringLiteral("Sample Text");
    short m_nIndentSize = 3;
    short m_nTabSize = 4;
    QString m_strIndentSize;
    QString m_strTabSize;
    QString m_strTabExpand;
    int m_bAutoIndent = 0;
    QString m_strAutoIndent = QStringLiteral("N");

    bool OnApply() override;
    // Turns the sizes and the font into the texts that are saved.
    void OnOK() override;
    // "Text display &Font": the font dialog on m_lf.
    void OnFont();

protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange *pDX) override;
    bool OnInitDialog() override;

private:
    void ExchangeSize(CDataExchange *pDX, int nId, short &value, int nMin, int nMax);
};
