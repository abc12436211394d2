#pragma once

#include <QObject>
#include <QString>

struct CSettings;

// The connection under the remote shell window, whatever protocol carries it (telnet
// or a plain shell server over TCP, or SSH). The window talks only to this: it sends
// lines, the login and interrupts, and shows the text and the end it is told about.
// Every call is made on the thread that owns the object (the GUI thread) and returns
// at once; signals arrive on that thread too.
class CShellConnection : public QObject
{
    Q_OBJECT

public:
    explicit CShellConnection(QObject *parent = nullptr) : QObject(parent) {}
    ~CShellConnection() override = default;

    // The connection the server type in the settings asks for: SSH for "ssh", the
    // telnet connection for every other type, as the window always used.
    static CShellConnection *Create(const CSettings &settings, QObject *parent = nullptr);
    // True when `Create` would make a connection of the same kind as `pConnection`.
    static bool Fits(const CShellConnection *pConnection, const CSettings &settings);

    // Takes from the settings what the connection needs besides host and port (an SSH
    // login's user, password and folder) for the next Connect.
    virtual void Configure(const CSettings &settings);

    // Opens a new connection; one still open is closed first.
    virtual void Connect(const QString &strHost, int nPort) = 0;
    // Closes the connection, if any. Nothing is reported.
    virtual void Close() = 0;
    // True from Connect until the connection fails or closes; lines sent meanwhile are
    // queued until the server can take them.
    virtual bool IsOpen() const = 0;
    // True once the server takes lines.
    virtual bool IsConnected() const = 0;

    // Sends the line with a single line feed. False when there is no connection.
    virtual bool SendLine(const QString &strLine) = 0;
    // Logs in as the user (a connection that logs in as it connects sends nothing).
    // False when there is no connection.
    virtual bool SendLogin(const QString &strUser, const QString &strPassword) = 0;
    // True while a login is under way and later lines wait for it.
    virtual bool IsLoggingIn() const = 0;
    // Interrupts what the server runs, as Ctrl+C at a terminal does.
    virtual bool SendInterrupt() = 0;
    // The size of the output area in characters, for servers that lay out their text
    // for a terminal of that size.
    virtual void SetTerminalSize(int nColumns, int nRows) { Q_UNUSED(nColumns) Q_UNUSED(nRows) }
    // Answers HostKeyQuestion: true trusts the key and goes on, false stops.
    virtual void AnswerHostKey(bool bTrust) { Q_UNUSED(bTrust) }
    // Answers SecretQuestion; `bGiven` false when the user cancelled.
    virtual void AnswerSecret(bool bGiven, const QString &strSecret) { Q_UNUSED(bGiven) Q_UNUSED(strSecret) }

signals:
    // Text received, with protocol and terminal controls removed.
    void TextReceived(const QString &strText);
    void Connected();
    // The connection could not be made; the reason names what failed.
    void ConnectionFailed(const QString &strReason);
    // An established connection broke other than by the server closing it.
    void ConnectionLost(const QString &strReason);
    // The server closed the connection.
    void ConnectionClosed();
    // A question the user answers before the connection goes on: the server's host
    // key is not known yet. Answer with AnswerHostKey().
    void HostKeyQuestion(const QString &strQuestion);
    // A secret is needed (a password, a key's passphrase). Answer with AnswerSecret().
    void SecretQuestion(const QString &strPrompt);
};
