#pragma once

#include "server/PasswordPrompt.h"

#include <QDialog>
#include <QString>

class CShellConnection;
class CShellOutputPane;
class QComboBox;
class QPushButton;

// The remote shell window, "Run on Server": a modeless window that lives hidden as long
// as the main frame. It connects to the server, sends the login and typed command
// lines, and shows what the server answers. Closing it only hides it; the connection
// stays open.
class CServerDlg : public QDialog
{
    Q_OBJECT

public:
    CServerDlg(int nPort, const QString &strHost, QWidget *parent = nullptr);
    ~CServerDlg() override;

    // Sends a line through the connection. Returns true as designed, whether or not a
    // connection was there to take it; a line that cannot be sent is said in the
    // output area.
    bool SendCommand(const QString &strCommand);

    void OnConnect();
    void OnLogin();
    void OnDisconnect();
    void OnCloseWindow();
    void OnClear();
    void OnSendCommand();
    void OnCancelRequest();
    void OnRunPerl();
    void OnRunJavac();
    void OnRunJava();

    // The connection under the window: telnet, or SSH when the server type says so.
    CShellConnection *Socket() const { return m_pSocket; }
    CShellOutputPane *OutputPane() const { return m_editOutput; }

    int m_nPort;
    QString m_strHost;
    QString m_strCommand;
    QString m_strOutput;

public slots:
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool UpdateData(bool bSaveAndValidate);
    void AddCommandToList(const QString &strCommand);
    void SendLineOrSay(const QString &strLine);
    // Makes the connection the server type in the settings asks for.
    void UseConnection(CShellConnection *pConnection);
    void OnHostKeyQuestion(const QString &strQuestion);
    void OnSecretQuestion(const QString &strPrompt);
    void UpdateTerminalSize();
    // Received text: a password prompt at its end makes the command box hide what is
    // typed, until other output follows.
    void OnTextReceived(const QString &strText);
    void UpdateSecretMode();

    QPushButton *m_btnSend = nullptr;
    CShellOutputPane *m_editOutput = nullptr;
    QComboBox *m_comboCommand = nullptr;
    CShellConnection *m_pSocket = nullptr;
    CPasswordPrompt m_prompt;            // what the output ends with
    bool m_bSecretMode = false;
};
