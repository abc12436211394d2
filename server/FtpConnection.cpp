#include "server/FtpConnection.h"

#include <QLocale>

#include "server/FtpCommandLine.h"
#include "server/HostKeyQuestion.h"
#include "server/KnownHostsFile.h"
#include "server/SshKeyFiles.h"
#include "server/TlsTrust.h"
#include "server/TransferQuestions.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QTcpSocket>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>

// libcurl moves SFTP data in blocks of its buffer, and libssh2 keeps the requests of one
// block in flight at once. Measured with bench_sftp_transfer on loopback: the default
// 16 KB costs a download about a tenth of its speed; from 128 KB on, both directions
// level off (libssh2's own cost per byte is then what limits them), and larger upload
// blocks gain nothing.
static const long kSftpBufferSize = 512 * 1024;
static const long kSftpUploadBufferSize = 64 * 1024;

struct CFtpConnection::Request
{
    QByteArray baUrl;
    QList<QByteArray> quote;
    QIODevice *pSink = nullptr;
    QIODevice *pSource = nullptr;
    bool bText = false;
    // A command after the transfer ("*" in front: its failure is no failure).
    QByteArray postQuote;
};

CFtpConnection::CFtpConnection(const CFtpConnectionParams &params)
    : m_params(params)
    , m_host(CTransferHost::Parse(params.m_strHost))
{
}

int CFtpConnection::Port() const
{
    if (m_host.m_nPort > 0)
        return m_host.m_nPort;
    if (m_params.m_nPort > 0)
        return m_params.m_nPort & 0xFFFF;
    return CTransferHost::DefaultPort(m_host.m_protocol);
}

QString CFtpConnection::Where() const { return QStringLiteral("%1 port %2").arg(HostName()).arg(Port()); }

QString CFtpConnection::KnownHostsPath() { return QDir::homePath() + QStringLiteral("/.ssh/known_hosts"); }

CFtpConnection::~CFtpConnection() { Close(); }

void CFtpConnection::Close()
{
    if (m_pCurl) {
        curl_easy_cleanup(m_pCurl);
        m_pCurl = nullptr;
    }
    m_bOpen = false;
}

bool CFtpConnection::IsPlainFileName(const QString &strName)
{
    if (strName.isEmpty() || strName == QLatin1String(".") || strName == QLatin1String(".."))
        return false;
    for (QChar c : strName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('\r') || c == QLatin1Char('\n')
            || c == QChar(0))
            return false;
    }
    return true;
}

namespace {

bool HasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

QString NameRefused(const QString &strName)
{
    return QStringLiteral("The name \"%1\" is not a plain file name on the server.").arg(strName);
}

} // namespace

QByteArray CFtpConnection::UrlOf(const QString &strPath, bool bDirectory) const
{
    QByteArray url = IsSftp() ? "sftp://" : "ftp://";
    QString host = HostName();
    if (host.contains(QLatin1Char(':')))
        url += '[' + host.toUtf8() + ']';
    else
        url += QUrl::toAce(host).isEmpty() ? host.toUtf8() : QUrl::toAce(host);
    url += ':' + QByteArray::number(Port());
    // FTP: "%2F" makes the path absolute on the server rather than relative to the
    // login folder. SFTP paths are absolute as they stand.
    url += IsSftp() ? "/" : "/%2F";
    QString rel = strPath;
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    const QStringList segments = rel.split(QLatin1Char('/'));
    QList<QByteArray> encoded;
    for (const QString &s : segments)
        encoded << QUrl::toPercentEncoding(s);
    url += encoded.join('/');
    if (bDirectory && !rel.isEmpty() && !url.endsWith('/'))
        url += '/';
    return url;
}

// Every folder command first returns to the folder we track, as libcurl may have
// reconnected since (and the new login starts in the home folder).
QByteArray CFtpConnection::CwdBack() const
{
    return "CWD " + Encode(m_strCurrentDir.isEmpty() ? QStringLiteral("/") : m_strCurrentDir);
}

QString CFtpConnection::ResolvePath(const QString &strDir) const
{
    QString path = strDir;
    if (!path.startsWith(QLatin1Char('/')))
        path = (m_strCurrentDir.isEmpty() ? QStringLiteral("/") : m_strCurrentDir) + QLatin1Char('/') + path;
    QStringList parts;
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QString CFtpConnection::PathOf(const QString &strName) const
{
    QString dir = m_strCurrentDir.isEmpty() ? QStringLiteral("/") : m_strCurrentDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + strName;
}

size_t CFtpConnection::HeaderCallback(char *data, size_t size, size_t count, void *user)
{
    auto *self = static_cast<CFtpConnection *>(user);
    size_t n = size * count;
    self->m_baPartialReply.append(data, qsizetype(n));
    int eol;
    while ((eol = self->m_baPartialReply.indexOf('\n')) >= 0) {
        const QByteArray line = self->m_baPartialReply.left(eol + 1);
        self->m_replies << line;
        self->m_baPartialReply.remove(0, eol + 1);
        if (self->m_bReplyStartDue && !self->IsSftp()) {
            self->m_bReplyStartDue = false;
            // libcurl would wait for an FTP reply to the end of its timeout; a server
            // of another protocol (an SSH banner) is known for what it is at once.
            if (!CFtpReply::Code(line)) {
                self->m_baForeignGreeting = line;
                return 0;
            }
        }
    }
    return n;
}

size_t CFtpConnection::WriteCallback(char *data, size_t size, size_t count, void *user)
{
    auto *self = static_cast<CFtpConnection *>(user);
    size_t n = size * count;
    if (!self->m_pSink || self->m_pSink->write(data, qint64(n)) != qint64(n)) {
        self->m_bSinkFailed = true;
        return 0;
    }
    self->m_nBytesDone += qint64(n);
    return n;
}

size_t CFtpConnection::ReadCallback(char *data, size_t size, size_t count, void *user)
{
    auto *self = static_cast<CFtpConnection *>(user);
    size_t max = size * count;
    if (self->m_bCancel)
        return CURL_READFUNC_ABORT;
    if (!self->m_bAsciiUpload) {
        qint64 n = self->m_pSource->read(data, qint64(max));
        if (n < 0)
            return CURL_READFUNC_ABORT;
        self->m_nBytesDone += n;
        return size_t(n);
    }
    // libcurl turns every LF of an ASCII upload into CR LF, so a CR already before
    // an LF is taken off here; otherwise CR LF files would arrive as CR CR LF.
    QByteArray out;
    while (out.isEmpty()) {
        QByteArray in = self->m_pSource->read(qint64(max) - 1);
        if (in.isEmpty()) {
            if (!self->m_pSource->atEnd())
                return CURL_READFUNC_ABORT;
            if (self->m_bPendingCR) {
                out = "\r";
                self->m_bPendingCR = false;
            }
            break;
        }
        self->m_nBytesDone += in.size();
        for (char c : in) {
            if (self->m_bPendingCR) {
                self->m_bPendingCR = false;
                if (c != '\n')
                    out += '\r';
            }
            if (c == '\r')
                self->m_bPendingCR = true;
            else
                out += c;
        }
    }
    std::memcpy(data, out.constData(), size_t(out.size()));
    return size_t(out.size());
}

int CFtpConnection::ProgressCallback(void *user, long long dltotal, long long, long long ultotal, long long)
{
    auto *self = static_cast<CFtpConnection *>(user);
    // An SSH client skips the lines a server sends before its banner, so libssh2 would
    // wait out the whole timeout on an FTP server's greeting. A login that makes no
    // headway for a while has the server's first line looked at; the servers that
    // answer at once are never bothered with a second connection.
    if (self->IsSftp() && !self->m_bOpen && !self->m_bGreetingChecked && !self->m_bHostKeyQuestionAsked
        && self->m_loginClock.isValid()
        && self->m_loginClock.elapsed() > 2000) {
        self->m_bGreetingChecked = true;
        if (self->GreetingProtocol() == QLatin1String("FTP")) {
            self->m_strWrongProtocol = QStringLiteral("%1 speaks FTP, not SSH. Choose the protocol FTP or FTPS (a host "
                                                      "name of the form ftp://host), or the SSH port.")
                                           .arg(self->Where());
            return 1;
        }
    }
    if (dltotal > 0)
        self->m_nBytesTotal = dltotal;
    else if (ultotal > 0)
        self->m_nBytesTotal = ultotal;
    return self->m_bCancel ? 1 : 0;
}

int CFtpConnection::HostKeyCallback(CURL *, const curl_khkey *knownkey, const curl_khkey *foundkey, int match,
                                    void *user)
{
    auto *self = static_cast<CFtpConnection *>(user);
    const QByteArray blob = foundkey->len ? QByteArray(foundkey->key, qsizetype(foundkey->len))
                                          : QByteArray::fromBase64(QByteArray(foundkey->key));
    QString type = CHostKeyQuestion::KeyTypeOfBlob(blob);
    const QString fingerprint = CHostKeyQuestion::Fingerprint(blob);
    const QString path = KnownHostsPath();
    // libssh2 knows no markers: it reads an "@revoked" line as a host named
    // "@revoked", so a revoked key would pass or be offered for trust. The file is read
    // here as OpenSSH reads it, and its verdict counts besides libssh2's.
    QByteArray recorded;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            recorded = file.readAll();
    }
    const CHostKeyQuestion::Verdict verdict = CHostKeyQuestion::Check(recorded, self->HostName(), self->Port(), blob);
    if (verdict.state == CHostKeyQuestion::Verdict::Revoked) {
        self->m_strHostKeyRefusal =
            CHostKeyQuestion::RevokedKeyText(self->HostName(), self->Port(), type, fingerprint, path, verdict.nLine);
        return CURLKHSTAT_REJECT;
    }
    switch (match) {
    case CURLKHMATCH_OK:
        return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISMATCH: {
        int line = verdict.state == CHostKeyQuestion::Verdict::Changed ? verdict.nLine : 0;
        if (!line) {
            QString knownType;
            if (knownkey) {
                const QByteArray knownBlob = knownkey->len ? QByteArray(knownkey->key, qsizetype(knownkey->len))
                                                           : QByteArray::fromBase64(QByteArray(knownkey->key));
                knownType = CHostKeyQuestion::KeyTypeOfBlob(knownBlob);
            }
            line = CHostKeyQuestion::FindHostLine(recorded, self->HostName(), self->Port(), knownType);
        }
        if (!line)
            line = CHostKeyQuestion::FindHostLine(recorded, self->HostName(), self->Port());
        self->m_strHostKeyRefusal =
            CHostKeyQuestion::ChangedKeyText(self->HostName(), self->Port(), type, fingerprint, path, line);
        return CURLKHSTAT_REJECT;
    }
    default:
        break;
    }
    // What libssh2 missed (a line after one it could not read) still counts.
    if (verdict.state == CHostKeyQuestion::Verdict::Known)
        return CURLKHSTAT_FINE;
    if (verdict.state == CHostKeyQuestion::Verdict::Changed) {
        self->m_strHostKeyRefusal =
            CHostKeyQuestion::ChangedKeyText(self->HostName(), self->Port(), type, fingerprint, path, verdict.nLine);
        return CURLKHSTAT_REJECT;
    }
    // Unknown: the user decides, and a key they trust is added to the end of the file,
    // as the user's OpenSSH would add it. libcurl could write the file itself, but it
    // writes back only the lines it understood and drops the rest of the user's file.
    self->m_bHostKeyQuestionAsked = true;
    const QString question = CHostKeyQuestion::UnknownHostText(self->HostName(), self->Port(), type, fingerprint, path);
    if (!self->m_params.m_pQuestions || !self->m_params.m_pQuestions->TrustHostKey(question)) {
        self->m_strHostKeyRefusal = QStringLiteral("The key of %1 (%2 %3) was not trusted; nothing was sent to it.")
                                        .arg(self->Where(), CHostKeyQuestion::KeyTypeLabel(type), fingerprint);
        return CURLKHSTAT_REJECT;
    }
    QString error;
    if (!CKnownHostsFile::Append(path, CKnownHostsFile::NewLine(self->HostName(), self->Port(), type, blob), error)) {
        self->m_strHostKeyRefusal =
            QStringLiteral("The key of %1 could not be recorded in %2: %3").arg(self->Where(), path, error);
        return CURLKHSTAT_REJECT;
    }
    return CURLKHSTAT_FINE;
}

int CFtpConnection::DebugCallback(CURL *, int type, char *data, size_t size, void *user)
{
    auto *self = static_cast<CFtpConnection *>(user);
    if (type != CURLINFO_TEXT)
        return 0;
    const QByteArray text(data, qsizetype(size));
    static const QByteArray methods = "SSH authentication methods available: ";
    const int at = text.indexOf(methods);
    if (at >= 0)
        self->m_baAuthMethods = text.mid(at + methods.size()).trimmed();
    return 0;
}

QString CFtpConnection::GreetingProtocol() const
{
    // A plain socket on this worker thread, with short waits: the server we reached
    // was already there a moment ago.
    QTcpSocket socket;
    socket.connectToHost(HostName(), quint16(Port()));
    if (!socket.waitForConnected(3000))
        return QString();
    QByteArray line;
    while (!line.contains('\n') && line.size() < 512 && socket.waitForReadyRead(3000))
        line += socket.readAll();
    socket.abort();
    return CFtpReply::ProtocolOfGreeting(line);
}

CFtpResult CFtpConnection::FailureOf(int code, const char *errorBuffer) const
{
    if (!m_strWrongProtocol.isEmpty())
        return CFtpResult::Fail(m_strWrongProtocol);
    if (m_bCancel || code == CURLE_ABORTED_BY_CALLBACK)
        return CFtpResult::Fail(QStringLiteral("Cancelled."));
    if (!m_baForeignGreeting.isEmpty()) {
        const QString where = Where();
        const QString protocol = CFtpReply::ProtocolOfGreeting(m_baForeignGreeting);
        const QString what = protocol.isEmpty() ? QStringLiteral("%1 does not speak FTP.").arg(where)
                                                : QStringLiteral("%1 speaks %2, not FTP.").arg(where, protocol);
        QString hint = QStringLiteral("Check the FTP host name and port number.");
        if (protocol == QLatin1String("SSH"))
            hint = QStringLiteral("For SFTP, choose the protocol SFTP (a host name of the form sftp://host).");
        return CFtpResult::Fail(QStringLiteral("%1 Its greeting was:\n%2\n%3")
                                    .arg(what, CFtpReply::Printable(m_baForeignGreeting), hint));
    }
    if (IsSftp()) {
        if (!m_strHostKeyRefusal.isEmpty())
            return CFtpResult::Fail(m_strHostKeyRefusal);
        if (code == CURLE_LOGIN_DENIED) {
            QString methods = m_baAuthMethods.isEmpty() ? QStringLiteral("none named")
                                                        : QString::fromLatin1(m_baAuthMethods);
            return CFtpResult::Fail(
                QStringLiteral("Permission denied: %1 did not accept user \"%2\" (the server offered: %3). "
                               "The password or key is wrong, or there is no such user.")
                    .arg(Where(), m_params.m_strUser, methods));
        }
        if (code == CURLE_SSH || code == CURLE_FAILED_INIT || code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR) {
            if (!m_bOpen && m_nBytesDone == 0) {
                const QString protocol = GreetingProtocol();
                if (protocol == QLatin1String("FTP"))
                    return CFtpResult::Fail(QStringLiteral("%1 speaks FTP, not SSH. Choose the protocol FTP or FTPS "
                                                           "(a host name of the form ftp://host), or the SSH port.")
                                                .arg(Where()));
                if (protocol.isEmpty() && code != CURLE_SSH)
                    return CFtpResult::Fail(QStringLiteral("%1 closed the connection before the SSH login.")
                                                .arg(Where()));
            }
        }
    } else if (m_host.m_protocol == CTransferHost::FTPS && code == CURLE_USE_SSL_FAILED) {
        QString reply;
        CFtpReply::LastReply(m_replies, &reply);
        return CFtpResult::Fail(QStringLiteral("%1 does not offer TLS (its answer to AUTH TLS: %2). It is a plain FTP "
                                               "server: choose the protocol FTP to send the login unprotected.")
                                    .arg(Where(), reply.isEmpty() ? QStringLiteral("none") : reply));
    }
    QString reply;
    int replyCode = IsSftp() ? 0 : CFtpReply::LastReply(m_replies, &reply);
    if (replyCode >= 400)
        return CFtpResult::Fail(reply, replyCode);
    // A connection cut in the middle of a transfer leaves in the error buffer whatever
    // libcurl last failed at while closing it (an address it could not print, say),
    // which tells the user nothing: say what happened and how far it got.
    // An SFTP transfer cut off ends in libssh2's words about a socket: the same story.
    const bool sftpCut = IsSftp() && code == CURLE_SSH && m_bOpen && m_bDataRequest;
    if (sftpCut || code == CURLE_PARTIAL_FILE || code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR
        || code == CURLE_GOT_NOTHING || code == CURLE_UPLOAD_FAILED) {
        QLocale locale;
        const qint64 done = m_nBytesDone;
        const qint64 total = m_nBytesTotal;
        return CFtpResult::Fail(
            total > 0 ? QStringLiteral("The connection to the server was lost after %1 of %2 bytes.")
                            .arg(locale.toString(done), locale.toString(total))
                      : QStringLiteral("The connection to the server was lost after %1 bytes.").arg(locale.toString(done)));
    }
    QString reason = QString::fromUtf8(errorBuffer).trimmed();
    if (reason.isEmpty())
        reason = QString::fromUtf8(curl_easy_strerror(CURLcode(code)));
    return CFtpResult::Fail(reason);
}

CFtpResult CFtpConnection::PerformOnce(const Request &request)
{
    if (m_bCancel)
        return CFtpResult::Fail(QStringLiteral("Cancelled."));
    if (!m_host.IsValid())
        return CFtpResult::Fail(m_host.m_strError);
    if (!m_pCurl) {
        m_pCurl = curl_easy_init();
        if (!m_pCurl)
            return CFtpResult::Fail(QStringLiteral("The FTP library could not be started."));
    }
    CURL *c = m_pCurl;
    m_replies.clear();
    m_baPartialReply.clear();
    m_bReplyStartDue = false;
    m_baForeignGreeting.clear();
    m_pSink = request.pSink;
    m_pSource = request.pSource;
    m_bAsciiUpload = request.pSource && request.bText;
    m_bPendingCR = false;
    m_bSinkFailed = false;
    m_bActiveFailed = false;
    m_nBytesDone = 0;
    m_nBytesTotal = request.pSource && !request.bText ? request.pSource->size() - request.pSource->pos() : -1;
    m_bDataRequest = request.pSink || request.pSource;
    m_strHostKeyRefusal.clear();
    m_baAuthMethods.clear();
    m_strWrongProtocol.clear();
    m_bGreetingChecked = false;
    m_loginClock.start();

    char errorBuffer[CURL_ERROR_SIZE];
    errorBuffer[0] = 0;
    QByteArray user = m_params.m_strUser.toUtf8();
    QByteArray password = m_params.m_strPassword.toUtf8();
    QByteArray activeAddress = m_params.m_strActiveAddress.toUtf8();

    curl_slist *quote = nullptr;
    for (const QByteArray &q : request.quote)
        quote = curl_slist_append(quote, q.constData());

    curl_easy_setopt(c, CURLOPT_URL, request.baUrl.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_FTPPORT, m_bPassive ? nullptr : activeAddress.constData());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(m_params.m_nConnectTimeoutSec));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_params.m_nStallTimeoutSec));
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, 10000L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(m_params.m_nStallTimeoutSec));
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &CFtpConnection::HeaderCallback);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_sockopt_callback onSocket = [](void *user, curl_socket_t, curlsocktype purpose) {
        if (purpose == CURLSOCKTYPE_IPCXN)
            static_cast<CFtpConnection *>(user)->m_bReplyStartDue = true;
        return int(CURL_SOCKOPT_OK);
    };
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, onSocket);
    curl_easy_setopt(c, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CFtpConnection::WriteCallback);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &CFtpConnection::ReadCallback);
    curl_easy_setopt(c, CURLOPT_READDATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CFtpConnection::ProgressCallback);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(c, CURLOPT_QUOTE, quote);
    curl_slist *postQuote = nullptr;
    if (!request.postQuote.isEmpty())
        postQuote = curl_slist_append(postQuote, request.postQuote.constData());
    curl_easy_setopt(c, CURLOPT_POSTQUOTE, postQuote);
    // SFTP moves bytes as they are; an ASCII put has its CR LF made LF in
    // ReadCallback, which is the line end of the servers SFTP reaches.
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, request.bText && !IsSftp() ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_UPLOAD, request.pSource ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_NOBODY, request.pSink || request.pSource ? 0L : 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(m_bAsciiUpload ? -1 : m_nBytesTotal.load()));

    // SFTP: host key and login. libcurl's own host key check is never switched off:
    // the callback only adds what it cannot (the question, and the message that says
    // where the recorded key is).
    const QByteArray knownHosts = QFile::encodeName(KnownHostsPath());
    const QByteArray keyFile = QFile::encodeName(m_strKeyFile);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_debug_callback onDebug = [](CURL *easy, curl_infotype type, char *data, size_t size, void *user) {
        return DebugCallback(easy, int(type), data, size, user);
    };
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, this);
    if (IsSftp()) {
        curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, knownHosts.constData());
        curl_sshkeycallback onKey = [](CURL *easy, const curl_khkey *known, const curl_khkey *found,
                                       enum curl_khmatch match, void *user) {
            return HostKeyCallback(easy, known, found, int(match), user);
        };
        curl_easy_setopt(c, CURLOPT_SSH_KEYFUNCTION, onKey);
        curl_easy_setopt(c, CURLOPT_SSH_KEYDATA, this);
        curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES, m_nAuthTypes);
        curl_easy_setopt(c, CURLOPT_SSH_PRIVATE_KEYFILE, keyFile.isEmpty() ? nullptr : keyFile.constData());
        curl_easy_setopt(c, CURLOPT_KEYPASSWD, m_baPassphrase.isEmpty() ? nullptr : m_baPassphrase.constData());
        curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kSftpBufferSize);
        curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, kSftpUploadBufferSize);
    } else if (m_host.m_protocol == CTransferHost::FTPS) {
        // Explicit TLS: AUTH TLS on the control connection, and PROT P for the data.
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        if (m_baPin.isEmpty()) {
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
            curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY, nullptr);
        } else {
            // A certificate the user trusts for this host: its key is pinned, which
            // checks more narrowly than the authorities and the name would.
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
            curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY, m_baPin.constData());
        }
    }

    CURLcode code = curl_easy_perform(c);
    m_nLastCode = int(code);

    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
    curl_slist_free_all(postQuote);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(quote);
    m_pSink = nullptr;
    m_pSource = nullptr;
    if (!m_baPartialReply.isEmpty())
        m_replies << m_baPartialReply;

    if (code == CURLE_OK)
        return CFtpResult::Ok();
    if (code == CURLE_WRITE_ERROR && m_bSinkFailed && request.pSink)
        return CFtpResult::Fail(QStringLiteral("Cannot write the received data: %1").arg(request.pSink->errorString()));
    m_bActiveFailed = !m_bPassive
                      && (code == CURLE_FTP_PORT_FAILED || code == CURLE_FTP_ACCEPT_FAILED
                          || code == CURLE_FTP_ACCEPT_TIMEOUT || CFtpReply::LastReply(m_replies) == 425);
    return FailureOf(code, errorBuffer);
}

CFtpResult CFtpConnection::Perform(const Request &request)
{
    qint64 sourceStart = request.pSource ? request.pSource->pos() : 0;
    CFtpResult result = PerformOnce(request);
    // Behind a firewall the server cannot connect back for data; passive mode, where
    // we connect to it, usually works there.
    if (!result && m_bActiveFailed && m_nBytesDone == 0 && (!request.pSource || request.pSource->seek(sourceStart))) {
        m_bPassive = true;
        result = PerformOnce(request);
    }
    return result;
}

CFtpResult CFtpConnection::Quote(const QList<QByteArray> &commands, QString *pstrPwd)
{
    Request request;
    request.baUrl = UrlOf(QStringLiteral("/"), true);
    request.quote = commands;
    CFtpResult result = Perform(request);
    if (result && pstrPwd) {
        for (int i = m_replies.size() - 1; i >= 0; --i) {
            if (CFtpReply::ParsePwd(m_replies[i], *pstrPwd))
                return result;
        }
        return CFtpResult::Fail(QStringLiteral("The server did not name its current directory."));
    }
    return result;
}

namespace {

// A path as an argument of libcurl's SFTP commands: in double quotes, with " and \
// escaped, so that blanks and quotes in names are taken as they are.
QByteArray SftpArg(const QString &strPath)
{
    QByteArray arg = strPath.toUtf8();
    arg.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + arg + '"';
}

} // namespace

CFtpResult CFtpConnection::Open()
{
    m_bOpen = false;
    if (!m_host.IsValid())
        return CFtpResult::Fail(m_host.m_strError);
    if (IsSftp())
        return OpenSftp();
    if (m_host.m_protocol == CTransferHost::FTPS)
        return OpenFtps();
    QString dir;
    CFtpResult result = Quote({"PWD"}, &dir);
    m_bOpen = bool(result);
    if (result)
        m_strCurrentDir = dir;
    return result;
}

CFtpResult CFtpConnection::OpenFtps()
{
    // Passive from the start: a firewall cannot read the PORT command inside TLS to
    // let the server's data connection in.
    m_bPassive = true;
    m_baPin = CTlsTrust::TrustedPin(HostName(), Port());
    QString dir;
    CFtpResult result = Quote({"PWD"}, &dir);
    const bool refused = m_nLastCode == CURLE_PEER_FAILED_VERIFICATION || m_nLastCode == CURLE_SSL_PINNEDPUBKEYNOTMATCH
                         || m_nLastCode == CURLE_SSL_CACERT_BADFILE;
    if (!result && refused && !m_bCancel) {
        // The certificate failed the checks (or is no longer the one trusted): look at
        // it on a connection of its own that sends no login, and let the user decide.
        CTlsTrust::Probe probe;
        QString error;
        if (!CTlsTrust::ProbeServer(HostName(), Port(), m_params.m_nConnectTimeoutSec * 1000, probe, error))
            return CFtpResult::Fail(QStringLiteral("The TLS certificate of %1 could not be checked: %2")
                                        .arg(Where(), error));
        if (probe.m_reasons.isEmpty()) {
            m_baPin.clear(); // it passes the usual checks now
        } else if (CTlsTrust::IsTrusted(HostName(), Port(), probe.m_baCertSha256)) {
            m_baPin = CTlsTrust::PinOf(probe.m_baKeySha256);
        } else {
            // Another certificate than the one trusted before is not a first meeting.
            const QByteArray trusted = CTlsTrust::TrustedCertificate(HostName(), Port());
            const QString question = trusted.isEmpty()
                                         ? CTlsTrust::QuestionText(HostName(), Port(), probe)
                                         : CTlsTrust::ChangedQuestionText(HostName(), Port(), trusted, probe);
            if (!m_params.m_pQuestions || !m_params.m_pQuestions->TrustCertificate(question)) {
                if (!trusted.isEmpty())
                    return CFtpResult::Fail(
                        QStringLiteral("The certificate of %1 has changed since it was trusted (it was %2, it is now "
                                       "%3) and the new one was not trusted; the login was not sent.")
                            .arg(Where(), CTlsTrust::FingerprintText(trusted),
                                 CTlsTrust::FingerprintText(probe.m_baCertSha256)));
                return CFtpResult::Fail(QStringLiteral("The certificate of %1 was not trusted (%2); the login was "
                                                       "not sent.")
                                            .arg(Where(), probe.m_reasons.join(QStringLiteral("; "))));
            }
            CTlsTrust::Trust(HostName(), Port(), probe);
            m_baPin = CTlsTrust::PinOf(probe.m_baKeySha256);
        }
        result = Quote({"PWD"}, &dir);
    }
    m_bOpen = bool(result);
    if (result)
        m_strCurrentDir = dir;
    return result;
}

// The login as OpenSSH makes it: the agent's keys, then the user's own key files (asking
// for a passphrase where one is needed), then the password and keyboard-interactive
// with it. libcurl takes one key file per connection, so each key is a login attempt of
// its own; the last one adds the password.
CFtpResult CFtpConnection::OpenSftp()
{
    const bool agent = !qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK");
    const long passwordTypes = m_params.m_strPassword.isEmpty()
                                   ? 0L
                                   : long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD);
    const QStringList keys = CSshKeyFiles::UserKeys();
    struct Attempt
    {
        QString key;
        long types;
    };
    QList<Attempt> attempts;
    for (int i = 0; i < keys.size(); ++i)
        attempts << Attempt{keys[i], long(CURLSSH_AUTH_PUBLICKEY) | (i == 0 && agent ? long(CURLSSH_AUTH_AGENT) : 0L)};
    if (attempts.isEmpty() || passwordTypes)
        attempts << Attempt{QString(), (agent && keys.isEmpty() ? long(CURLSSH_AUTH_AGENT) : 0L) | passwordTypes};
    if (!attempts.isEmpty() && attempts.last().types == 0)
        attempts.last().types = long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD);

    CFtpResult result = CFtpResult::Fail(
        QStringLiteral("No login to %1 could be tried: no key could be used and no password is set.").arg(Where()));
    QStringList wrongPhrases;
    for (const Attempt &attempt : attempts) {
        m_strKeyFile = attempt.key;
        m_baPassphrase.clear();
        m_nAuthTypes = attempt.types;
        if (!attempt.key.isEmpty() && CSshKeyFiles::NeedsPassphrase(attempt.key)) {
            // Asked up to three times, as ssh does; a key left locked is passed over.
            bool opened = false;
            for (int tries = 0; tries < 3 && !opened; ++tries) {
                QString phrase;
                const QString prompt =
                    tries == 0 ? QStringLiteral("Enter the passphrase for key %1:").arg(QDir::toNativeSeparators(attempt.key))
                               : QStringLiteral("The passphrase is wrong. Enter the passphrase for key %1:")
                                     .arg(QDir::toNativeSeparators(attempt.key));
                if (!m_params.m_pQuestions || !m_params.m_pQuestions->AskPassphrase(prompt, phrase))
                    break;
                opened = CSshKeyFiles::OpensWith(attempt.key, phrase);
                if (opened)
                    m_baPassphrase = phrase.toUtf8();
            }
            if (!opened) {
                wrongPhrases << attempt.key;
                if (attempt.types == long(CURLSSH_AUTH_PUBLICKEY))
                    continue;
                m_nAuthTypes &= ~long(CURLSSH_AUTH_PUBLICKEY);
                m_strKeyFile.clear();
            }
        }
        // The home folder: libcurl's "pwd" names the URL's path, and "/~/" is home.
        Request request;
        request.baUrl = UrlOf(QString(), true);
        request.baUrl.append("~/");
        request.quote = {"pwd"};
        m_bHostKeyQuestionAsked = false;
        result = PerformOnce(request);
        if (!result && m_bHostKeyQuestionAsked && m_nLastCode == CURLE_OPERATION_TIMEDOUT && !m_bCancel) {
            // The user took longer to answer than libcurl waits for a login; the key is
            // recorded now, and the login goes on.
            result = PerformOnce(request);
        }
        if (result || m_nLastCode != CURLE_LOGIN_DENIED)
            break;
    }
    if (!result) {
        if (!wrongPhrases.isEmpty())
            result.m_strReason += QStringLiteral("\nThe key %1 was not used: its passphrase was not given correctly.")
                                      .arg(wrongPhrases.join(QStringLiteral(", ")));
        return result;
    }
    QString dir;
    for (int i = m_replies.size() - 1; i >= 0 && dir.isEmpty(); --i)
        CFtpReply::ParsePwd(m_replies[i], dir);
    m_strCurrentDir = ResolvePath(dir.isEmpty() ? QStringLiteral("/") : dir);
    m_bOpen = true;
    return result;
}

CFtpResult CFtpConnection::SftpQuote(const QByteArray &command, const QString &strPath, const QString &strPath2)
{
    QByteArray line = command + ' ' + SftpArg(ResolvePath(strPath));
    if (!strPath2.isNull())
        line += ' ' + SftpArg(ResolvePath(strPath2));
    Request request;
    request.baUrl = UrlOf(QStringLiteral("/"), true);
    request.quote = {line};
    m_baFolderListing.clear();
    return Perform(request);
}

CFtpResult CFtpConnection::GetCurrentDirectory(QString &strDir)
{
    if (IsSftp()) {
        strDir = m_strCurrentDir;
        return CFtpResult::Ok();
    }
    QString dir;
    CFtpResult result = Quote({CwdBack(), "PWD"}, &dir);
    if (result) {
        m_strCurrentDir = dir;
        strDir = dir;
    }
    return result;
}

CFtpResult CFtpConnection::SetCurrentDirectory(const QString &strDir)
{
    if (strDir.isEmpty())
        return CFtpResult::Fail(QStringLiteral("No directory name given."));
    if (HasLineBreak(strDir))
        return CFtpResult::Fail(NameRefused(strDir));
    if (IsSftp()) {
        // SFTP keeps no folder on the server: the folder is ours, and reading it is
        // how we learn that it is one.
        const QString dir = ResolvePath(strDir);
        QByteArray listing;
        CFtpResult result = ReadFolder(dir, listing);
        if (!result)
            return CFtpResult::Fail(QStringLiteral("%1: %2").arg(dir, result.m_strReason));
        m_strCurrentDir = dir;
        m_baFolderListing = listing;
        m_strListedFolder = dir;
        return result;
    }
    QString dir;
    CFtpResult result = Quote({CwdBack(), "CWD " + Encode(strDir), "PWD"}, &dir);
    if (result)
        m_strCurrentDir = dir;
    return result;
}

CFtpResult CFtpConnection::ReadFolder(const QString &strDir, QByteArray &listing)
{
    QBuffer buffer(&listing);
    buffer.open(QIODevice::WriteOnly);
    Request request;
    request.baUrl = UrlOf(strDir, true);
    request.pSink = &buffer;
    request.bText = true;
    return Perform(request);
}

CFtpResult CFtpConnection::List(QVector<CFtpFileEntry> &entries, int *pnSkipped)
{
    if (IsSftp() && !m_baFolderListing.isEmpty() && m_strListedFolder == m_strCurrentDir) {
        const QByteArray listing = m_baFolderListing;
        m_baFolderListing.clear();
        entries = CFtpListParser::Parse(listing, QDateTime::currentDateTimeUtc(), pnSkipped);
        return CFtpResult::Ok();
    }
    m_baFolderListing.clear();
    QByteArray listing;
    CFtpResult result = ReadFolder(m_strCurrentDir, listing);
    if (result)
        entries = CFtpListParser::Parse(listing, QDateTime::currentDateTimeUtc(), pnSkipped);
    return result;
}

CFtpResult CFtpConnection::Retrieve(const QString &strName, int nType, QIODevice &sink)
{
    if (!IsPlainFileName(strName))
        return CFtpResult::Fail(NameRefused(strName));
    Request request;
    request.baUrl = UrlOf(PathOf(strName), false);
    request.pSink = &sink;
    request.bText = nType == TYPE_ASCII;
    return Perform(request);
}

CFtpResult CFtpConnection::Store(QIODevice &source, const QString &strName, int nType)
{
    if (!IsPlainFileName(strName))
        return CFtpResult::Fail(NameRefused(strName));
    m_baFolderListing.clear();
    Request request;
    request.baUrl = UrlOf(PathOf(strName), false);
    request.pSource = &source;
    request.bText = nType == TYPE_ASCII;
    // A server may end a data connection early and still answer 226 (seen with TLS
    // data connections): in binary mode the size it stored must be the size sent.
    const bool checkSize = !IsSftp() && nType != TYPE_ASCII;
    if (checkSize)
        request.postQuote = "*SIZE " + Encode(PathOf(strName));
    CFtpResult result = Perform(request);
    if (result && checkSize) {
        for (int i = m_replies.size() - 1; i >= 0; --i) {
            const QByteArray reply = m_replies[i].trimmed();
            if (CFtpReply::Code(reply) != 213)
                continue;
            bool ok = false;
            const qint64 stored = reply.mid(4).trimmed().toLongLong(&ok);
            if (ok && stored != m_nBytesDone) {
                QLocale locale;
                return CFtpResult::Fail(QStringLiteral("The server stored only %1 of the %2 bytes sent; the file on "
                                                       "the server is incomplete.")
                                            .arg(locale.toString(stored), locale.toString(m_nBytesDone.load())));
            }
            break;
        }
    }
    return result;
}

CFtpResult CFtpConnection::CreateDirectory(const QString &strName)
{
    if (strName.isEmpty() || HasLineBreak(strName))
        return CFtpResult::Fail(NameRefused(strName));
    if (IsSftp())
        return SftpQuote("mkdir", strName);
    return Quote({CwdBack(), "MKD " + Encode(strName)});
}

CFtpResult CFtpConnection::RemoveDirectory(const QString &strName)
{
    if (strName.isEmpty() || HasLineBreak(strName))
        return CFtpResult::Fail(NameRefused(strName));
    if (IsSftp())
        return SftpQuote("rmdir", strName);
    return Quote({CwdBack(), "RMD " + Encode(strName)});
}

CFtpResult CFtpConnection::Rename(const QString &strFrom, const QString &strTo)
{
    if (strFrom.isEmpty() || HasLineBreak(strFrom))
        return CFtpResult::Fail(NameRefused(strFrom));
    if (strTo.isEmpty() || HasLineBreak(strTo))
        return CFtpResult::Fail(NameRefused(strTo));
    if (IsSftp())
        return SftpQuote("rename", strFrom, strTo);
    return Quote({CwdBack(), "RNFR " + Encode(strFrom), "RNTO " + Encode(strTo)});
}

CFtpResult CFtpConnection::Remove(const QString &strName)
{
    if (strName.isEmpty() || HasLineBreak(strName))
        return CFtpResult::Fail(NameRefused(strName));
    if (IsSftp())
        return SftpQuote("rm", strName);
    return Quote({CwdBack(), "DELE " + Encode(strName)});
}
