#pragma once

#include "app/PropertyPage.h"

// Options page "Server ": the remote shell server, its login and the local client
// program.
class CServerParams : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CServerParams(QWidget *parent = nullptr);
    ~CServerParams() override;

    // "telnet", "wrenshell", "other" or "ssh"; any other text is kept until a button is
    // clicked.
    QString m_strServerType;
    QString m_strPassword;
    QString m_strUser;
    QString m_strHost;
    unsigned int m_nPort = 0;
    QString m_strClientExe;

    // Warns about a client program that is not there; the values are applied anyway.
    bool OnApply() override;

protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange *pDX) override;
    bool OnInitDialog() override;

private:
    void FollowStandardPort(const QString &strType);
};
