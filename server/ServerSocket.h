#pragma once

#include "server/LoginSequence.h"
#include "server/ShellConnection.h"
#include "server/TelnetFilter.h"
#include "server/TerminalText.h"
#include "server/TextDecoder.h"

#include <QAbstractSocket>
#include <QPointer>
#include <QString>

class QTcpSocket;
class QTimer;

// The remote shell's connection to a telnet (or wrenshell) server: a TCP connection
// that answers the option negotiation and reports the text to show. Everything happens
// on the thread that owns it (the GUI thread); nothing blocks.
class CServerSocket : public CShellConnection
{
    Q_OBJECT

public:
    explicit CServerSocket(QObject *parent = nullptr);
    ~CServerSocket() override;

    void Connect(const QString &strHost, int nPort) override;
    void Close() override;
    bool IsOpen() const override;
    bool IsConnected() const override;
    bool SendLine(const QString &strLine) override;
    // Sends the user name at once and the password when the server asks for it. Lines
    // sent before the server has answered the password follow it in order.
    bool SendLogin(const QString &strUser, const QString &strPassword) override;
    bool IsLoggingIn() const override { return m_login.IsActive(); }
    // Asks the server to interrupt the process it runs (IAC IP).
    bool SendInterrupt() override;

private:
    void OnReadyRead();
    void ProcessBlock(const QByteArray &block);
    void Finish();
    void OnErrorOccurred(QAbstractSocket::SocketError error);
    void OnDisconnected();
    bool SendBytes(const QByteArray &bytes);
    void SendLoginStep(const QByteArray &bytes);
    void Drop();

    QPointer<QTcpSocket> m_pSocket;
    CTelnetFilter m_filter;
    CTerminalText m_terminal;
    CLoginSequence m_login;
    QTimer *m_pLoginTimer;
    CTextDecoder m_decoder;
    enum class End { None, Failed, Lost, Closed };
    End m_end = End::None;  // how the connection ended, reported once its text is shown
    QString m_strEndReason;
    bool m_bReadQueued = false;
    bool m_bConnected = false;
};
