#pragma once

#include "server/FtpListParser.h"
#include "server/TransferHost.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QVector>

#include <atomic>

class CTransferQuestions;
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
    // FTP_HOST_NAME: the host, with the protocol as a scheme in front (see CTransferHost).
    QString m_strHost;
    int m_nPort = 0; // 0: the protocol's standard port
    QString m_strUser;
    QString m_strPassword;
    // Where the server is to connect for data in active mode; "-" is the address of
    // the control connection.
    QString m_strActiveAddress = QStringLiteral("-");
    int m_nConnectTimeoutSec = 29;
    // A transfer that moves nothing for this long has stalled.
    int m_nStallTimeoutSec = 60;
    // Who answers the questions of the login (an unknown host key, a key's passphrase,
    // a certificate that fails its checks). Without one, the answer is always no.
    CTransferQuestions *m_pQuestions = nullptr;
};

// One transfer connection over one libcurl easy handle, kept for all the operations of
// a command so that the connection is reused and the login happens once. It speaks the
// protocol the host names: FTP, FTP with explicit TLS (FTPS) or SFTP; the windows use
// the same calls for all three. Paths of data transfers are absolute, built from the
// folder we track, so that a reconnection that libcurl makes by itself lands in the
// right folder. SFTP has no current folder on the server, so the tracked one is all
// there is.
//
// Host keys (SFTP) are checked against ~/.ssh/known_hosts and certificates (FTPS)
// against the system's trusted ones; what fails asks the params' questions.
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

    CTransferHost::Protocol Protocol() const { return m_host.m_protocol; }
    // Where host keys are looked up and recorded: ~/.ssh/known_hosts.
    static QString KnownHostsPath();
    // The port connected to: the one in the host name, the one given, or the
    // protocol's own.
    int Port() const;

private:
    struct Request;
    CFtpResult Perform(const Request &request);
    // The listing of a folder on the server, as its text comes.
    CFtpResult ReadFolder(const QString &strDir, QByteArray &listing);
    CFtpResult PerformOnce(const Request &request);
    CFtpResult Quote(const QList<QByteArray> &commands, QString *pstrPwd = nullptr);
    CFtpResult OpenSftp();
    CFtpResult OpenFtps();
    CFtpResult SftpQuote(const QByteArray &command, const QString &strPath, const QString &strPath2 = QString());
    QByteArray UrlOf(const QString &strPath, bool bDirectory) const;
    QString HostName() const { return m_host.m_strHost.trimmed(); }
    QString Where() const;
    bool IsSftp() const { return m_host.m_protocol == CTransferHost::SFTP; }
    QString PathOf(const QString &strName) const;
    // A folder path made absolute against the tracked folder, with "." and ".." taken
    // out ("/" stays "/").
    QString ResolvePath(const QString &strDir) const;
    // What the first line of the server on our host and port says it speaks.
    QString GreetingProtocol() const;
    QByteArray CwdBack() const;
    QByteArray Encode(const QString &text) const { return text.toUtf8(); }
    CFtpResult FailureOf(int code, const char *errorBuffer) const;

    static size_t HeaderCallback(char *data, size_t size, size_t count, void *user);
    static size_t WriteCallback(char *data, size_t size, size_t count, void *user);
    static size_t ReadCallback(char *data, size_t size, size_t count, void *user);
    static int ProgressCallback(void *user, long long dltotal, long long dlnow, long long ultotal, long long ulnow);
    static int HostKeyCallback(CURL *easy, const struct curl_khkey *knownkey, const struct curl_khkey *foundkey,
                               int match, void *user);
    static int DebugCallback(CURL *easy, int type, char *data, size_t size, void *user);

    CFtpConnectionParams m_params;
    CTransferHost m_host;
    CURL *m_pCurl = nullptr;
    int m_nLastCode = 0;

    // SFTP: the login that worked (or is being tried), and why a host key was refused.
    QString m_strKeyFile;
    QByteArray m_baPassphrase;
    long m_nAuthTypes = 0;
    QString m_strHostKeyRefusal;
    bool m_bHostKeyQuestionAsked = false;
    // A login that stalls has the server's greeting checked once (ProgressCallback).
    QElapsedTimer m_loginClock;
    bool m_bGreetingChecked = false;
    QString m_strWrongProtocol;
    // The authentication methods the server offered, as libcurl reported them.
    QByteArray m_baAuthMethods;
    // SFTP: the listing read to check a new current folder, handed to the List() that
    // follows.
    QByteArray m_baFolderListing;
    QString m_strListedFolder;
    // FTPS: the public key of a certificate the user trusts, pinned instead of the
    // usual checks.
    QByteArray m_baPin;
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
    // Whether the running call moves data (a transfer or a listing).
    bool m_bDataRequest = false;

    std::atomic<bool> m_bCancel{false};
    std::atomic<qint64> m_nBytesDone{0};
    std::atomic<qint64> m_nBytesTotal{-1};
};
