#pragma once

#include "web/CgiWebServerAccess.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;

// Run in Browser's web server: serves one folder over HTTP on 127.0.0.1 only, runs
// the .pl and .cgi files in it as CGI scripts with the Perl interpreter, and serves
// the other files as they are. Nothing outside the folder is served, nor any name
// beginning with a dot. Only the window that opened it gets in (CCgiWebServerAccess),
// and what any client can make the IDE hold is bounded (Limits). Each request is
// reported with what a web server's error log would say.
class CCgiWebServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultScriptLimitMs = 30000;
    static constexpr int kMaxLocalRedirects = 10;
    // Static files go out in pieces of this size, each when the last has left.
    static constexpr qint64 kSendChunk = 64 * 1024;

    // What the server lets clients make it hold. A connection's unread bytes wait in the
    // kernel (at most kSendChunk read ahead), so a client's memory here is its body alone.
    struct Limits
    {
        // One request's body (413 beyond), and the bodies of all requests held at once
        // (413 for a request whose body would go beyond).
        qint64 nBodyBytes = 32LL * 1024 * 1024;
        qint64 nAllBodyBytes = 64LL * 1024 * 1024;
        // Open connections; further ones wait in the kernel's queue until one closes.
        int nConnections = 64;
        // Scripts running at once; further requests for scripts wait their turn.
        int nScripts = 8;
        // To receive a request's head (408 after), and at most between pieces of its body.
        int nReceiveMs = 10000;
        // An answer that makes no progress for this long is given up.
        int nSendMs = 60000;
    };
    // The limits above, with the connections well under the process's descriptor limit.
    static Limits DefaultLimits();

    CCgiWebServer(const QString &strRoot, const QString &strPerl, QObject *parent = nullptr);
    ~CCgiWebServer() override;

    // Listens on a free port of 127.0.0.1. False, with the reason, when it cannot.
    bool Start(QString *pReason = nullptr);
    int Port() const;
    QString Root() const { return m_strRoot; }
    // The URL of a file in the served folder.
    QString UrlOf(const QString &strFile, const QByteArray &baQuery = QByteArray()) const;
    // The same with the secret, for the window's first visit: the server answers with
    // a cookie that lets the window's later requests in.
    QString EntryUrlOf(const QString &strFile, const QByteArray &baQuery = QByteArray()) const;
    const CCgiWebServerAccess &Access() const { return m_access; }
    // How long a script may run before it is stopped.
    void SetScriptLimit(int nMs) { m_nScriptLimitMs = nMs; }
    void SetLimits(const Limits &limits) { m_limits = limits; }
    const Limits &GetLimits() const { return m_limits; }

signals:
    // One line per request (method, path, status, exit code, time), then the script's
    // standard error, if any.
    void RequestLogged(const QString &strEntry);

private:
    struct Exchange;
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    void TakeConnections();
    void Close(QTcpSocket *socket);
    void OnReadyRead(QTcpSocket *socket);
    void OnBytesWritten(QTcpSocket *socket);
    void OnDeadline(QTcpSocket *socket);
    bool Admit(Exchange *ex);
    void Dispatch(Exchange *ex, const QByteArray &baTarget, int nRedirects);
    void RunScript(Exchange *ex, const QString &strFile, const QString &strScriptName, const QString &strPathInfo,
                   const QByteArray &baQuery, int nRedirects);
    void StartWaiting();
    int RunningScripts() const;
    void SendFile(Exchange *ex, const QString &strFile, const QByteArray &baType, const QString &strUrlPath);
    void SendMore(Exchange *ex);
    bool Begin(Exchange *ex, int nStatus, const QByteArray &baReason, const Headers &headers, qint64 nLength,
               const QString &strLog);
    void Finish(Exchange *ex);
    void Respond(Exchange *ex, int nStatus, const QByteArray &baReason, const Headers &headers,
                 const QByteArray &baBody, const QString &strLog = QString());
    void RespondPage(Exchange *ex, int nStatus, const QString &strTitle, const QString &strText,
                     const QString &strLog = QString());

    QString m_strRoot;
    QString m_strCanonicalRoot;
    QString m_strPerl;
    int m_nScriptLimitMs = kDefaultScriptLimitMs;
    Limits m_limits = DefaultLimits();
    CCgiWebServerAccess m_access;
    QTcpServer *m_pServer;
    QHash<QTcpSocket *, Exchange *> m_exchanges;
    // Requests for scripts waiting for one of the running ones to end, oldest first.
    QList<QPair<Exchange *, std::function<void()>>> m_waiting;
    // Body bytes of all requests held now, against Limits::nAllBodyBytes.
    qint64 m_nHeldBodyBytes = 0;
};
