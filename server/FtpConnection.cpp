#include "server/FtpConnection.h"

#include <QLocale>

#include "server/FtpCommandLine.h"

#include <QBuffer>
#include <QIODevice>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>

struct CFtpConnection::Request
{
    QByteArray baUrl;
    QList<QByteArray> quote;
    QIODevice *pSink = nullptr;
    QIODevice *pSource = nullptr;
    bool bText = false;
};

CFtpConnection::CFtpConnection(const CFtpConnectionParams &params)
    : m_params(params)
{
}

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
    QByteArray url = "ftp://";
    QString host = m_params.m_strHost.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        url += '[' + host.toUtf8() + ']';
    else
        url += QUrl::toAce(host).isEmpty() ? host.toUtf8() : QUrl::toAce(host);
    if (m_params.m_nPort > 0)
        url += ':' + QByteArray::number(Port());
    // "%2F" makes the path absolute on the server rather than relative to the login
    // folder.
    url += "/%2F";
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
        if (self->m_bReplyStartDue) {
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
    if (dltotal > 0)
        self->m_nBytesTotal = dltotal;
    else if (ultotal > 0)
        self->m_nBytesTotal = ultotal;
    return self->m_bCancel ? 1 : 0;
}

CFtpResult CFtpConnection::FailureOf(int code, const char *errorBuffer) const
{
    if (m_bCancel || code == CURLE_ABORTED_BY_CALLBACK)
        return CFtpResult::Fail(QStringLiteral("Cancelled."));
    if (!m_baForeignGreeting.isEmpty()) {
        const QString where = QStringLiteral("%1 port %2").arg(m_params.m_strHost.trimmed()).arg(Port());
        const QString protocol = CFtpReply::ProtocolOfGreeting(m_baForeignGreeting);
        const QString what = protocol.isEmpty() ? QStringLiteral("%1 does not speak FTP.").arg(where)
                                                : QStringLiteral("%1 speaks %2, not FTP.").arg(where, protocol);
        return CFtpResult::Fail(QStringLiteral("%1 Its greeting was:\n%2\nCheck the FTP host name and port number.")
                                    .arg(what, CFtpReply::Printable(m_baForeignGreeting)));
    }
    QString reply;
    int replyCode = CFtpReply::LastReply(m_replies, &reply);
    if (replyCode >= 400)
        return CFtpResult::Fail(reply, replyCode);
    // A connection cut in the middle of a transfer leaves in the error buffer whatever
    // libcurl last failed at while closing it (an address it could not print, say),
    // which tells the user nothing: say what happened and how far it got.
    switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_UPLOAD_FAILED: {
        QLocale locale;
        const qint64 done = m_nBytesDone;
        const qint64 total = m_nBytesTotal;
        return CFtpResult::Fail(
            total > 0 ? QStringLiteral("The connection to the server was lost after %1 of %2 bytes.")
                            .arg(locale.toString(done), locale.toString(total))
                      : QStringLiteral("The connection to the server was lost after %1 bytes.").arg(locale.toString(done)));
    }
    default:
        break;
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
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, request.bText ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_UPLOAD, request.pSource ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_NOBODY, request.pSink || request.pSource ? 0L : 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(m_bAsciiUpload ? -1 : m_nBytesTotal.load()));

    CURLcode code = curl_easy_perform(c);

    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
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

CFtpResult CFtpConnection::Open()
{
    QString dir;
    CFtpResult result = Quote({"PWD"}, &dir);
    m_bOpen = bool(result);
    if (result)
        m_strCurrentDir = dir;
    return result;
}

CFtpResult CFtpConnection::GetCurrentDirectory(QString &strDir)
{
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
    QString dir;
    CFtpResult result = Quote({CwdBack(), "CWD " + Encode(strDir), "PWD"}, &dir);
    if (result)
        m_strCurrentDir = dir;
    return result;
}

CFtpResult CFtpConnection::List(QVector<CFtpFileEntry> &entries, int *pnSkipped)
{
    QByteArray listing;
    QBuffer buffer(&listing);
    buffer.open(QIODevice::WriteOnly);
    Request request;
    request.baUrl = UrlOf(m_strCurrentDir, true);
    request.pSink = &buffer;
    request.bText = true;
    CFtpResult result = Perform(request);
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
    Request request;
    request.baUrl = UrlOf(PathOf(strName), false);
    request.pSource = &source;
    request.bText = nType == TYPE_ASCII;
    return Perform(request);
}

CFtpResult CFtpConnection::CreateDirectory(const QString &strName)
{
    if (strName.isEmpty() || HasLineBreak(strName))
        return CFtpResult::Fail(NameRefused(strName));
    return Quote({CwdBack(), "MKD " + Encode(strName)});
}

CFtpResult CFtpConnection::RemoveDirectory(const QString &strName)
{
    if (strName.isEmpty() || HasLineBreak(strName))
        return CFtpResult::Fail(NameRefused(strName));
    return Quote({CwdBack(), "RMD " + Encode(strName)});
}

CFtpResult CFtpConnection::Rename(const QString &strFrom, const QString &strTo)
{
    if (strFrom.isEmpty() || HasLineBreak(strFrom))
        return CFtpResult::Fail(NameRefused(strFrom));
    if (strTo.isEmpty() || HasLineBreak(strTo))
        return CFtpResult::Fail(NameRefused(strTo));
    return Quote({CwdBack(), "RNFR " + Encode(strFrom), "RNTO " + Encode(strTo)});
}

CFtpResult CFtpConnection::Remove(const QString &strName)
{
    if (strName.isEmpty() || HasLineBreak(strName))
        return CFtpResult::Fail(NameRefused(strName));
    return Quote({CwdBack(), "DELE " + Encode(strName)});
}
