#pragma once

#include "app/PropertyPage.h"

// Options page "FTP": the FTP server, the login and the local and remote folders.
class CFtpParams : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CFtpParams(QWidget *parent = nullptr);
    ~CFtpParams() override;

    QString m_strHost;
    unsigned int m_nPort = 21;
    QString m_strPassword;
    QString m_strUser;
    QString m_strLocalDir;
    QString m_strRemoteDir;

    // Warns about a missing local folder; the values are applied anyway.
    bool OnApply() override;
    // The "..." button: the local folder chosen in the Select Directory dialog.
    void OnBrowseLocalDir();

protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange *pDX) override;
};
