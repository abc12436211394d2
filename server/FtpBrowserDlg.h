#pragma once

#include "server/CreateDirDlg.h"
#include "server/RenameFileDlg.h"

#include <QDialog>
#include <QString>

#include <atomic>

class CDataExchange;
class CFtpConnection;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The server's folders for Load from server and Put on server: the listing, the
// folder commands of the command box, and for a Load the file, the transfer type and
// the destination. The dialog never opens or closes the connection it is given.
class CFtpBrowserDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFtpBrowserDlg(QWidget *parent = nullptr);

    // Initialises the dialog from the members and shows it modally.
    int DoModal();

    std::atomic<bool> m_bConnected{false};
    std::atomic<bool> m_bConnecting{false};
    unsigned m_nTransferType = 1;
    bool m_bAutoDetect = true;
    bool m_bLoadMode = true;
    bool m_bToEditor = true;
    CCreateDirDlg m_dlgCreateDir;
    CRenameFileDlg m_dlgRename;
    QString m_strRemoteFile;
    QString m_strLocalFile;
    CFtpConnection *m_pFtpConnection = nullptr;
    QString m_strCurrentDir;
    QString m_strFtpCommand;
    QString m_strStatus;

    void OnLoad();
    void OnRefresh();
    void OnExec();
    bool RefreshList();

protected:
    bool OnInitDialog();
    void DoDataExchange(CDataExchange *pDX);
    bool UpdateData(bool bSaveAndValidate = true);

private:
    QString SelectedName() const;

    QPushButton *m_btnLoad;
    QTreeWidget *m_listFiles;
    QComboBox *m_comboCommand;
};
