#pragma once

#include "app/PropertyPage.h"

// Options page "Java Interpreter": the local and the server Java interpreter. Its check
// box is shown but never stored.
class CJavaExe : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CJavaExe(QWidget *parent = nullptr);
    ~CJavaExe() override;

    QString m_strLocalExe;
    QString m_strLocalParams;
    int m_bRunInDosWindow = 0;
    QString m_strServerExe;
    QString m_strServerParams;

    bool OnApply() override;

protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange *pDX) override;
};
