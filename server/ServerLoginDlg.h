#pragma once

#include <QDialog>
#include <QString>

class CDataExchange;

// Asks for the user name and password before an FTP connection; the host is shown
// only.
class CServerLoginDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CServerLoginDlg(QWidget *parent = nullptr);

    int DoModal();

    QString m_strPassword;
    QString m_strUserName;
    QString m_strHost;

protected:
    void DoDataExchange(CDataExchange *pDX);
    void accept() override;
};
