#pragma once

#include "app/PropertyPage.h"

// Options page "Perl": the local and the server Perl interpreter.
class CPerlExeParams : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CPerlExeParams(QWidget *parent = nullptr);
    ~CPerlExeParams() override;

    QString m_strLocalExe;
    QString m_strServerExe;
    int m_bRunInDosWindow = 0;
    QString m_strLocalParams;
    QString m_strServerParams;

    bool OnApply() override;

protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange *pDX) override;
};
