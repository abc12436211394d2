#pragma once

#include "app/PropertyPage.h"

// Options page "FTP": the FTP server, the login and the local and remote folders.
class CFtpParams : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CFtpParams(QWidget *parent = nullptr);
    ~CFtpParams() override;

    // FTP_HOST_NAME: the protocol (the combo box) and the host (the edit) in one.
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
    // The protocol box changed: the port follows when it held the other protocol's
    // standard port.
    void OnProtocolChanged(int nIndex);

protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange *pDX) override;

private:
    class QComboBox *m_pProtocol = nullptr;
    int m_nShownProtocol = 0;
    // A host that had no scheme stays without one while the protocol stays FTP.
    bool m_bHostWasBare = true;
};
