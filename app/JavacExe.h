#pragma once

#include "app/PropertyPage.h"

// Options page "Java compiler": the local and the server Java compiler. Its check box is
// shown but never stored.
class CJavacExe : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CJavacExe(QWidget *parent = nullptr);
    ~CJavacExe() override;

    QString m_strLocalExe;
    QString m_strLocalParams;
    QString m_strServerParams;
    QString m_strServerExe;
    int m_bRunInDosWindow = 0;

    bool OnApply() override;

protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange *pDX) override;
};
