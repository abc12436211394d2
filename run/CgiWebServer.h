#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// Run in Browser's web server: serves one folder over HTTP on 127.0.0.1 only, runs
// the .pl and .cgi files in it as CGI scripts with the Perl interpreter, and serves
// the other files as they are. Nothing outside the folder is served. Each request is
// reported with what a web server's error log would say.
class CCgiWebServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultScriptLimitMs = 30000;
    static constexpr int kMaxLocalRedirects = 10;

    CCgiWebServer(const QString &strRoot, const QString &strPerl, QObject *parent = nullptr);
    ~CCgiWebServer() override;

    // Listens on a free port of 127.0.0.1. False, with the reason, when it cannot.
    bool Start(QString *pReason = nullptr);
    int Port() const;
    QString Root() const { return m_strRoot; }
    // The URL of a file in the served folder.
    QString UrlOf(const QString &strFile, const QByteArray &baQuery = QByteArray()) const;
    // How long a script may run before it is stopped.
    void SetScriptLimit(int nMs) { m_nScriptLimitMs = nMs; }

signals:
    // One line per request (method, path, status, exit code, time), then the script's
    // standard error, if any.
    void RequestLogged(const QString &strEntry);

private:
    struct Exchange;
    void OnNewConnection();
    void OnReadyRead(QTcpSocket *socket);
    void Dispatch(Exchange *ex, const QByteArray &baTarget, int nRedirects);
    void RunScript(Exchange *ex, const QString &strFile, const QString &strScriptName, const QString &strPathInfo,
                   const QByteArray &baQuery, int nRedirects);
    void Respond(Exchange *ex, int nStatus, const QByteArray &baReason, const QList<QPair<QByteArray, QByteArray>> &headers,
                 const QByteArray &baBody, const QString &strLog = QString());
    void RespondPage(Exchange *ex, int nStatus, const QString &strTitle, const QString &strText,
                     const QString &strLog = QString());

    QString m_strRoot;
    QString m_strCanonicalRoot;
    QString m_strPerl;
    int m_nScriptLimitMs = kDefaultScriptLimitMs;
    QTcpServer *m_pServer;
    QHash<QTcpSocket *, Exchange *> m_exchanges;
};
