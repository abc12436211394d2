#pragma once

#include "server/FtpListParser.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include <atomic>

class QIODevice;
typedef void CURL;

// The outcome of one FTP operation: success, or the reason with the server's reply.
struct CFtpResult
{
    bool m_bOk = false;
    QString m_strReason;
    // The code of the server's reply that refused the operation; 0 when the failure
    // was not the server's answer (no connection, a local file, a cancel).
    int m_nReplyCode = 0;

    explicit operator bool() const { return m_bOk; }
    static CFtpResult Ok() { return {true, QString()}; }
    static CFtpResult Fail(const QString &strReason, int nReplyCode = 0) { return {false, strReason, nReplyCode}; }
};

struct CFtpConnectionParams
{
    QString m_strHost;
    int m_nPort = 0; // 0: the standard FTP port
    QString m_strUser;
    QString m_strPassword;
    // Where the server is to connect for data in active mode; "-" is the address of
    // the control connection.
    QString m_strActiveAddress = QStringLiteral("-");
    int m_nConnectTimeoutSec = 29;
    // A transfer that moves nothing for this long has stalled.
    int m_nStallTimeoutSec = 60;
};

// One FTP connection over one libcurl easy handle, kept for all the operations of a
// command so that the control connection is reused and the login happens once.
// Paths of data transfers are absolute, built from the folder we track, so that a
// reconnection that libcurl makes by itself lands in the right folder.
//
// Every call blocks; one thread at a time may use the object. Cancel() and the
// progress counters may be used from any thread.
class CFtpConnection
{
public:
    enum { TYPE_ASCII = 1, TYPE_BINARY = 2 };

    explicit CFtpConnection(const CFtpConnectionParams &params);
    ~CFtpConnection();
    CFtpConnection(const CFtpConnection &) = delete;
    CFtpConnection &operator=(const CFtpConnection &) = delete;

    // Connects, logs in and reads the current folder.
    CFtpResult Open();
    void Close();
    bool IsOpen() const { return m_bOpen; }
    // Active mode until an active data connection could not be made.
    bool IsPassive() const { return m_bPassive; }

    // The folder that the last PWD or CWD left us in.
    QString CurrentDirectory() const { return m_strCurrentDir; }
    // Asks the server.
    CFtpResult GetCurrentDirectory(QString &strDir);
    CFtpResult SetCurrentDirectory(const QString &strDir);
    CFtpResult List(QVector<CFtpFileEntry> &entries, int *pnSkipped = nullptr);
    // The server's bytes of a file in the current folder. In ASCII mode line ends
    // arrive as "\n".
    CFtpResult Retrieve(const QString &strName, int nType, QIODevice &sink);
    // Sends the device's bytes (from its position to its end) as a file in the current
    // folder. In ASCII mode CR LF and LF line ends both go as the server's line end.
    CFtpResult Store(QIODevice &source, const QString &strName, int nType);
    CFtpResult CreateDirectory(const QString &strName);
    CFtpResult RemoveDirectory(const QString &strName);
    CFtpResult Rename(const QString &strFrom, const QString &strTo);
    CFtpResult Remove(const QString &strName);

    // Stops the running call; it fails with "Cancelled.". Open() and later calls
    // fail at once until ResetCancel().
    void Cancel() { m_bCancel = true; }
    void ResetCancel() { m_bCancel = false; }
    bool IsCancelled() const { return m_bCancel; }
    qint64 BytesDone() const { return m_nBytesDone; }
    // -1 when the size is not known.
    qint64 BytesTotal() const { return m_nBytesTotal; }

    // A name that stays in the folder it is meant for: not empty, not "." or "..",
    // no path separator, no line break or NUL (which would end the command early).
    static bool IsPlainFileName(const QString &strName);

    // The reply lines of the last call, for diagnostics and tests.
    const QList<QByteArray> &Replies() const { return m_replies; }

private:
    struct Request;
    CFtpResult Perform(const Request &request);
    CFtpResult PerformOnce(const Request &request);
    CFtpResult Quote(const QList<QByteArray> &commands, QString *pstrPwd = nullptr);
    QByteArray UrlOf(const QString &strPath, bool bDirectory) const;
    // The port connected to: the one given, or FTP's own.
    int Port() const { return m_params.m_nPort > 0 ? (m_params.m_nPort & 0xFFFF) : 21; }
    QString PathOf(const QString &strName) const;
    QByteArray CwdBack() const;
    QByteArray Encode(const QString &text) const { return text.toUtf8(); }
    CFtpResult FailureOf(int code, const char *errorBuffer) const;

    static size_t HeaderCallback(char *data, size_t size, size_t count, void *user);
    static size_t WriteCallback(char *data, size_t size, size_t count, void *user);
    static size_t ReadCallback(char *data, size_t size, size_t count, void *user);
    static int ProgressCallback(void *user, long long dltotal, long long dlnow, long long ultotal, long long ulnow);

    CFtpConnectionParams m_params;
    CURL *m_pCurl = nullptr;
    bool m_bOpen = false;
    bool m_bPassive = false;
    QString m_strCurrentDir;
    QList<QByteArray> m_replies;
    QByteArray m_baPartialReply;
    // Set when libcurl opens a connection: the next line the server sends is a
    // greeting or the reply to a data command, and must look like an FTP reply.
    bool m_bReplyStartDue = false;
    // The first line of a server that turned out not to speak FTP.
    QByteArray m_baForeignGreeting;

    // State of the running transfer.
    QIODevice *m_pSink = nullptr;
    QIODevice *m_pSource = nullptr;
    bool m_bAsciiUpload = false;
    bool m_bPendingCR = false;
    QByteArray m_baUploadBuffer;
    bool m_bSinkFailed = false;
    bool m_bActiveFailed = false;

    std::atomic<bool> m_bCancel{false};
    std::atomic<qint64> m_nBytesDone{0};
    std::atomic<qint64> m_nBytesTotal{-1};
};
