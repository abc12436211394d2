#pragma once

#include "server/LoginSequence.h"
#include "server/TelnetFilter.h"
#include "server/TerminalText.h"
#include "server/TextDecoder.h"

#include <QAbstractSocket>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;
class QTimer;

// The connection of the remote shell window: a TCP connection to a telnet (or
// wrenshell) server that answers the option negotiation and reports the text to show.
// Everything happens on the thread that owns it (the GUI thread); nothing blocks.
class CServerSocket : public QObject
{
    Q_OBJECT

public:
    explicit CServerSocket(QObject *parent = nullptr);
    ~CServerSocket() override;

    // Opens a new connection; one still open is closed first.
    void Connect(const QString &strHost, int nPort);
    // Closes the connection, if any. Nothing is reported.
    void Close();
    // True from Connect until the connection fails or closes; lines sent meanwhile are
    // queued until the connection is made.
    bool IsOpen() const;
    bool IsConnected() const;

    // Sends the line with a single line feed. False when there is no connection.
    bool SendLine(const QString &strLine);
    // Sends the user name at once and the password when the server asks for it. Lines
    // sent before the server has answered the password follow it in order.
    bool SendLogin(const QString &strUser, const QString &strPassword);
    bool IsLoggingIn() const { return m_login.IsActive(); }
    // Asks the server to interrupt the process it runs (IAC IP).
    bool SendInterrupt();

signals:
    // Text received, with the telnet sequences and terminal controls removed.
    void TextReceived(const QString &strText);
    void Connected();
    // The connection could not be made; the reason is the system's.
    void ConnectionFailed(const QString &strReason);
    // An established connection broke other than by the server closing it.
    void ConnectionLost(const QString &strReason);
    // The server closed the connection.
    void ConnectionClosed();

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
