#include "web/CgiWebServer.h"

#include "run/CgiEnvironment.h"
#include "web/CgiResponseParser.h"
#include "run/ChildEnvironment.h"
#include "web/HttpRequestParser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

struct CCgiWebServer::Exchange
{
    QPointer<QTcpSocket> socket;
    CHttpRequestParser parser;
    QElapsedTimer timer;
    // Receiving: the time left for the request (408). Answering: for the next progress.
    QTimer *deadline = nullptr;
    QProcess *process = nullptr;
    // The request's target without the secret, as logged and given to scripts.
    QByteArray baTarget;
    bool bAdmitted = false;
    bool bAnswered = false;
    // The secret came in the URL: every answer sets the cookie.
    bool bSetCookie = false;
    // Answered before the whole request came: what the client still sends is read and
    // dropped for a moment after the answer, so that closing does not reset the answer.
    bool bLinger = false;
    bool bShutDown = false;
    // Counted in the server's body bytes until the script has ended.
    qint64 nHeldBodyBytes = 0;
    std::unique_ptr<QFile> file;
    qint64 nFileLeft = 0;
};

namespace {

QByteArray ReasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 303: return "See Other";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    default: return status < 300 ? "OK" : status < 400 ? "Redirect" : status < 500 ? "Client Error" : "Server Error";
    }
}

bool IsScript(const QString &path)
{
    return path.endsWith(QLatin1String(".pl")) || path.endsWith(QLatin1String(".cgi"));
}

QString Html(const QString &text) { return text.toHtmlEscaped(); }

// After an early answer, how long the rest of the request is read and dropped.
constexpr int kLingerMs = 2000;

} // namespace

CCgiWebServer::Limits CCgiWebServer::DefaultLimits()
{
    // Every connection holds a descriptor and every script about five (three pipes and
    // QProcess's own), so the defaults take some 100 of the usual 1024. With a smaller
    // limit the connections get a sixteenth of it, leaving Run, Save and the IDE's
    // windows theirs.
    Limits limits;
    rlimit rl{};
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        limits.nConnections = int(std::clamp<rlim_t>(rl.rlim_cur / 16, 4, rlim_t(limits.nConnections)));
    return limits;
}

CCgiWebServer::CCgiWebServer(const QString &strRoot, const QString &strPerl, QObject *parent)
    : QObject(parent)
    , m_strRoot(QDir(strRoot).absolutePath())
    , m_strCanonicalRoot(QFileInfo(strRoot).canonicalFilePath())
    , m_strPerl(strPerl)
    , m_pServer(new QTcpServer(this))
{
    // Connections beyond the limit stay in the kernel's queue, not in ours.
    m_pServer->setMaxPendingConnections(1);
    connect(m_pServer, &QTcpServer::newConnection, this, &CCgiWebServer::TakeConnections);
}

CCgiWebServer::~CCgiWebServer()
{
    for (Exchange *ex : std::as_const(m_exchanges)) {
        if (ex->process && ex->process->state() != QProcess::NotRunning) {
            ex->process->disconnect(this);
            ::kill(-pid_t(ex->process->processId()), SIGKILL);
            ex->process->waitForFinished(2000);
        }
        delete ex;
    }
}

bool CCgiWebServer::Start(QString *pReason)
{
    if (m_strCanonicalRoot.isEmpty()) {
        if (pReason)
            *pReason = QStringLiteral("The folder %1 does not exist.").arg(QDir::toNativeSeparators(m_strRoot));
        return false;
    }
    // Loopback only: the scripts run with the user's rights.
    if (!m_pServer->listen(QHostAddress::LocalHost, 0)) {
        if (pReason)
            *pReason = m_pServer->errorString();
        return false;
    }
    m_access.SetPort(Port());
    return true;
}

int CCgiWebServer::Port() const { return m_pServer->serverPort(); }

QString CCgiWebServer::UrlOf(const QString &strFile, const QByteArray &baQuery) const
{
    QString relative = QDir(m_strRoot).relativeFilePath(QFileInfo(strFile).absoluteFilePath());
    QString url = QStringLiteral("http://127.0.0.1:%1/").arg(Port())
        + QString::fromLatin1(QUrl::toPercentEncoding(relative, "/"));
    if (!baQuery.isEmpty())
        url += QLatin1Char('?') + QString::fromLatin1(baQuery);
    return url;
}

QString CCgiWebServer::EntryUrlOf(const QString &strFile, const QByteArray &baQuery) const
{
    QByteArray query = CCgiWebServerAccess::kSecretParameter + ('=' + m_access.Secret());
    if (!baQuery.isEmpty())
        query += '&' + baQuery;
    return UrlOf(strFile, query);
}

void CCgiWebServer::TakeConnections()
{
    while (m_exchanges.size() < m_limits.nConnections) {
        QTcpSocket *socket = m_pServer->nextPendingConnection();
        if (!socket)
            return;
        socket->setParent(this);
        if (!socket->peerAddress().isLoopback()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // What the client sends beyond this waits in the kernel until it is read.
        socket->setReadBufferSize(kSendChunk);
        auto *ex = new Exchange;
        ex->socket = socket;
        ex->timer.start();
        ex->parser.SetMaxBodyBytes(m_limits.nBodyBytes);
        ex->deadline = new QTimer(socket);
        ex->deadline->setSingleShot(true);
        ex->deadline->start(m_limits.nReceiveMs);
        m_exchanges.insert(socket, ex);
        connect(ex->deadline, &QTimer::timeout, this, [this, socket] { OnDeadline(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { OnBytesWritten(socket); });
        // Queued: the socket may close while an answer is being given.
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Close(socket); }, Qt::QueuedConnection);
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket);
    }
}

void CCgiWebServer::Close(QTcpSocket *socket)
{
    Exchange *ex = m_exchanges.take(socket);
    if (!ex)
        return;
    if (ex->process && ex->process->state() != QProcess::NotRunning) {
        // The client went away: the script's answer has no one to go to.
        ex->process->disconnect(this);
        ::kill(-pid_t(ex->process->processId()), SIGKILL);
        ex->process->waitForFinished(2000);
        ex->process->deleteLater();
    }
    m_waiting.removeIf([ex](const auto &w) { return w.first == ex; });
    m_nHeldBodyBytes -= ex->nHeldBodyBytes;
    delete ex;
    socket->deleteLater();
    TakeConnections();
    StartWaiting();
}

void CCgiWebServer::OnReadyRead(QTcpSocket *socket)
{
    Exchange *ex = m_exchanges.value(socket);
    if (!ex)
        return;
    if (ex->bLinger) {
        socket->skip(socket->bytesAvailable());
        return;
    }
    // Nothing is read ahead of a request being answered: the client's further bytes
    // wait in the kernel.
    if (ex->bAnswered || ex->parser.GetState() != CHttpRequestParser::State::Incomplete)
        return;
    const CHttpRequestParser::State state = ex->parser.Feed(socket->read(socket->bytesAvailable()));
    if (state != CHttpRequestParser::State::Error && ex->parser.HeadDone() && !ex->bAdmitted) {
        if (!Admit(ex))
            return;
    }
    switch (state) {
    case CHttpRequestParser::State::Incomplete:
        // The head must come whole in time; a body only keep coming.
        if (ex->bAdmitted)
            ex->deadline->start(m_limits.nReceiveMs);
        return;
    case CHttpRequestParser::State::Error:
        RespondPage(ex, ex->parser.m_nErrorStatus, QString::fromLatin1(ReasonOf(ex->parser.m_nErrorStatus)),
                    ex->parser.m_nErrorStatus == 413
                        ? QStringLiteral("The request's body is larger than the %1 MB the server takes.")
                              .arg(m_limits.nBodyBytes / (1024 * 1024))
                        : QStringLiteral("The request could not be read."));
        return;
    case CHttpRequestParser::State::Complete:
        ex->deadline->stop();
        Dispatch(ex, ex->parser.m_baTarget, 0);
        return;
    }
}

bool CCgiWebServer::Admit(Exchange *ex)
{
    ex->baTarget = ex->parser.m_baTarget;
    if (const qsizetype q = ex->baTarget.indexOf('?'); q >= 0) {
        const QByteArray query = m_access.QueryWithoutSecret(ex->baTarget.mid(q + 1));
        ex->baTarget = query.isEmpty() ? ex->baTarget.left(q) : ex->baTarget.left(q + 1) + query;
    }
    const CCgiWebServerAccess::Verdict verdict = m_access.Check(ex->parser);
    if (verdict != CCgiWebServerAccess::Verdict::Allowed && verdict != CCgiWebServerAccess::Verdict::AllowedByUrl) {
        const QString why = CCgiWebServerAccess::Reason(verdict);
        RespondPage(ex, 403, QStringLiteral("Forbidden"),
                    QStringLiteral("This server answers only the Run in Browser window that started it."),
                    QStringLiteral("%1 %2 -> 403, %3")
                        .arg(QString::fromLatin1(ex->parser.m_baMethod), QString::fromLatin1(ex->baTarget), why));
        return false;
    }
    ex->bSetCookie = verdict == CCgiWebServerAccess::Verdict::AllowedByUrl;
    const qint64 length = ex->parser.ContentLength();
    if (m_nHeldBodyBytes + length > m_limits.nAllBodyBytes) {
        RespondPage(ex, 413, QStringLiteral("Content Too Large"),
                    QStringLiteral("The server holds %1 MB of request bodies at most, and other requests hold "
                                   "them now. Try again when they are done.")
                        .arg(m_limits.nAllBodyBytes / (1024 * 1024)));
        return false;
    }
    m_nHeldBodyBytes += length;
    ex->nHeldBodyBytes = length;
    ex->bAdmitted = true;
    return true;
}

void CCgiWebServer::OnBytesWritten(QTcpSocket *socket)
{
    Exchange *ex = m_exchanges.value(socket);
    if (!ex || !ex->bAnswered)
        return;
    if (ex->file) {
        ex->deadline->start(m_limits.nSendMs);
        SendMore(ex);
        return;
    }
    if (ex->bLinger && !ex->bShutDown && socket->bytesToWrite() == 0) {
        // The answer is out: say so to the client, and drop what it still sends until it
        // closes or the moment is over.
        ex->bShutDown = true;
        ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
        socket->skip(socket->bytesAvailable());
        ex->deadline->start(kLingerMs);
        return;
    }
    if (!ex->bShutDown)
        ex->deadline->start(m_limits.nSendMs);
}

void CCgiWebServer::OnDeadline(QTcpSocket *socket)
{
    Exchange *ex = m_exchanges.value(socket);
    if (!ex)
        return;
    if (!ex->bAnswered && !ex->process && ex->parser.GetState() == CHttpRequestParser::State::Incomplete) {
        RespondPage(ex, 408, QStringLiteral("Request Timeout"),
                    QStringLiteral("The request did not arrive within %1 s.").arg(m_limits.nReceiveMs / 1000.0));
        return;
    }
    if (ex->bAnswered)
        socket->abort();
}

void CCgiWebServer::Dispatch(Exchange *ex, const QByteArray &baTarget, int nRedirects)
{
    QByteArray target = baTarget;
    // The absolute form names this server; only its path counts.
    if (target.startsWith("http://")) {
        const qsizetype slash = target.indexOf('/', 7);
        target = slash < 0 ? QByteArray("/") : target.mid(slash);
    }
    if (!target.startsWith('/')) {
        RespondPage(ex, 400, QStringLiteral("Bad Request"), QStringLiteral("The request names no path."));
        return;
    }
    const qsizetype q = target.indexOf('?');
    const QByteArray fullQuery = q < 0 ? QByteArray() : target.mid(q + 1);
    const QByteArray query = m_access.QueryWithoutSecret(fullQuery);
    QByteArray path = q < 0 ? target : target.left(q);
    if (const qsizetype hash = path.indexOf('#'); hash >= 0)
        path.truncate(hash);
    const QByteArray method = ex->parser.m_baMethod;
    if (query != fullQuery && (method == "GET" || method == "HEAD")) {
        // The secret has done its work (the answer sets the cookie): the same address
        // without it, so that it stays out of the address bar and the history.
        Respond(ex, 303, "See Other", {{"Location", path + (query.isEmpty() ? "" : "?" + query)}}, QByteArray());
        return;
    }

    // Segments are decoded one by one, so an encoded "/" or ".." can't climb out.
    QStringList segments;
    for (const QByteArray &raw : path.split('/')) {
        const QByteArray decoded = QByteArray::fromPercentEncoding(raw);
        if (decoded.isEmpty() || decoded == ".")
            continue;
        if (decoded == ".." || decoded.contains('/') || decoded.contains('\\') || decoded.contains('\0')) {
            RespondPage(ex, 403, QStringLiteral("Forbidden"),
                        QStringLiteral("%1 lies outside the folder served.")
                            .arg(QString::fromUtf8(QByteArray::fromPercentEncoding(path))));
            return;
        }
        // Names beginning with a dot are private by custom (.ssh, .git, .env, .htpasswd).
        if (decoded.startsWith('.')) {
            RespondPage(ex, 403, QStringLiteral("Forbidden"),
                        QStringLiteral("Names beginning with a dot are not served."));
            return;
        }
        segments << QString::fromUtf8(decoded);
    }

    QString current = m_strRoot;
    QString urlPath;
    int i = 0;
    for (; i < segments.size(); ++i) {
        const QString next = current + QLatin1Char('/') + segments[i];
        QFileInfo info(next);
        if (!info.exists()) {
            RespondPage(ex, 404, QStringLiteral("Not Found"),
                        QStringLiteral("%1 was not found.").arg(QLatin1Char('/') + segments.mid(0, i + 1).join('/')));
            return;
        }
        current = next;
        urlPath += QLatin1Char('/') + segments[i];
        if (!info.isDir())
            break;
    }
    // A symbolic link may lead out of the folder, or to a name beginning with a dot.
    const QString canonical = QFileInfo(current).canonicalFilePath();
    if (canonical != m_strCanonicalRoot && !canonical.startsWith(m_strCanonicalRoot + QLatin1Char('/'))) {
        RespondPage(ex, 403, QStringLiteral("Forbidden"),
                    QStringLiteral("%1 leads outside the folder served.").arg(urlPath));
        return;
    }
    if (canonical.mid(m_strCanonicalRoot.size()).contains(QLatin1String("/."))) {
        RespondPage(ex, 403, QStringLiteral("Forbidden"), QStringLiteral("Names beginning with a dot are not served."));
        return;
    }
    QFileInfo info(current);
    if (info.isDir()) {
        if (!path.endsWith('/')) {
            Respond(ex, 301, "Moved Permanently", {{"Location", path + '/' + (query.isEmpty() ? "" : "?" + query)}},
                    QByteArray());
            return;
        }
        QString list = QStringLiteral("<ul>");
        // Without QDir::Hidden: names beginning with a dot are not listed.
        const QFileInfoList entries =
            QDir(current).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::DirsFirst | QDir::Name);
        for (const QFileInfo &e : entries) {
            if (e.fileName().startsWith(QLatin1Char('.')))
                continue;
            const QString name = e.fileName() + (e.isDir() ? QStringLiteral("/") : QString());
            list += QStringLiteral("<li><a href=\"%1\">%2</a></li>")
                        .arg(QString::fromLatin1(QUrl::toPercentEncoding(name, "/")), Html(name));
        }
        list += QStringLiteral("</ul>");
        RespondPage(ex, 200, QStringLiteral("Index of ") + (urlPath.isEmpty() ? QStringLiteral("/") : urlPath), list);
        return;
    }
    const QString pathInfo =
        i + 1 < segments.size() ? QLatin1Char('/') + segments.mid(i + 1).join(QLatin1Char('/')) : QString();
    if (IsScript(current)) {
        RunScript(ex, current, urlPath, pathInfo, query, nRedirects);
        return;
    }
    if (!pathInfo.isEmpty()) {
        RespondPage(ex, 404, QStringLiteral("Not Found"), QStringLiteral("%1 was not found.").arg(urlPath + pathInfo));
        return;
    }
    if (method != "GET" && method != "HEAD") {
        Respond(ex, 405, "Method Not Allowed", {{"Allow", "GET, HEAD"}}, QByteArray());
        return;
    }
    SendFile(ex, current, QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).name().toLatin1(),
             urlPath);
}

void CCgiWebServer::SendFile(Exchange *ex, const QString &strFile, const QByteArray &baType, const QString &strUrlPath)
{
    auto file = std::make_unique<QFile>(strFile);
    if (!file->open(QIODevice::ReadOnly)) {
        RespondPage(ex, 403, QStringLiteral("Forbidden"),
                    QStringLiteral("%1 cannot be read: %2.").arg(strUrlPath, file->errorString()));
        return;
    }
    const qint64 size = file->size();
    if (!Begin(ex, 200, "OK", {{"Content-Type", baType}}, size, QString()))
        return;
    if (ex->parser.m_baMethod == "HEAD" || size == 0) {
        Finish(ex);
        return;
    }
    // A large file is never held whole: the next piece is read when the last has left.
    ex->file = std::move(file);
    ex->nFileLeft = size;
    SendMore(ex);
}

void CCgiWebServer::SendMore(Exchange *ex)
{
    while (ex->file && ex->socket && ex->nFileLeft > 0 && ex->socket->bytesToWrite() < kSendChunk) {
        const QByteArray chunk = ex->file->read(std::min(kSendChunk, ex->nFileLeft));
        if (chunk.isEmpty()) {
            // The file shrank under us: the length promised can't be kept.
            ex->file.reset();
            ex->socket->abort();
            return;
        }
        ex->nFileLeft -= chunk.size();
        ex->socket->write(chunk);
    }
    if (ex->file && ex->nFileLeft == 0) {
        ex->file.reset();
        Finish(ex);
    }
}

void CCgiWebServer::RunScript(Exchange *ex, const QString &strFile, const QString &strScriptName,
                              const QString &strPathInfo, const QByteArray &baQuery, int nRedirects)
{
    if (RunningScripts() >= m_limits.nScripts) {
        // Its turn comes when a running script ends; the connection waits meanwhile.
        m_waiting.append({ex, [=, this] { RunScript(ex, strFile, strScriptName, strPathInfo, baQuery, nRedirects); }});
        return;
    }
    const CHttpRequestParser &req = ex->parser;
    CCgiEnvironment::Request request;
    // A local redirect is a new GET for the same client, without the body.
    request.strMethod = nRedirects > 0 ? QStringLiteral("GET") : QString::fromLatin1(req.m_baMethod);
    request.baQuery = baQuery;
    request.bHasBody = nRedirects == 0 && (!req.m_baBody.isEmpty() || !req.Header("Content-Length").isEmpty());
    request.baBody = request.bHasBody ? req.m_baBody : QByteArray();
    for (const auto &h : req.m_headers) {
        if (!request.bHasBody && h.first.compare("Content-Type", Qt::CaseInsensitive) == 0)
            continue;
        // The server's own cookie is no business of the script's, nor of a page showing it.
        if (h.first.compare("Cookie", Qt::CaseInsensitive) == 0) {
            const QByteArray cookies = m_access.CookiesWithoutSecret(h.second);
            if (!cookies.isEmpty())
                request.headers.append({h.first, cookies});
            continue;
        }
        request.headers.append(h);
    }
    request.strScriptFile = strFile;
    request.strDocumentRoot = m_strRoot;
    request.strScriptName = strScriptName;
    request.strPathInfo = strPathInfo;
    request.baRequestUri = nRedirects > 0 ? QByteArray() : ex->baTarget;
    request.nServerPort = Port();
    request.strServerProtocol = QString::fromLatin1(req.m_baVersion);

    auto *process = new QProcess(this);
    ex->process = process;
    process->setProgram(m_strPerl);
    process->setArguments({strFile});
    process->setWorkingDirectory(QFileInfo(strFile).absolutePath());
    process->setProcessEnvironment(CCgiEnvironment::Apply(CChildEnvironment::System(), request));
    // A group of its own, so that stopping a script also stops what it started.
    process->setChildProcessModifier([] { ::setsid(); });
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto *limit = new QTimer(process);
    limit->setSingleShot(true);
    auto timedOut = std::make_shared<bool>(false);
    connect(limit, &QTimer::timeout, process, [process, timedOut] {
        *timedOut = true;
        ::kill(-pid_t(process->processId()), SIGKILL);
    });
    const QString what = QStringLiteral("%1 %2").arg(request.strMethod,
                                                    strScriptName + strPathInfo
                                                        + (baQuery.isEmpty() ? QString()
                                                                             : QLatin1Char('?') + QString::fromLatin1(baQuery)));
    auto finish = [this, ex, process, clock, timedOut, what, nRedirects](int exitCode, QProcess::ExitStatus status) {
        const qint64 ms = clock->elapsed();
        const QByteArray out = process->readAllStandardOutput();
        const QByteArray err = process->readAllStandardError();
        ex->process = nullptr;
        process->deleteLater();
        m_nHeldBodyBytes -= ex->nHeldBodyBytes;
        ex->nHeldBodyBytes = 0;
        QMetaObject::invokeMethod(this, &CCgiWebServer::StartWaiting, Qt::QueuedConnection);
        QString exit = status == QProcess::CrashExit ? QStringLiteral("killed") : QStringLiteral("exit code %1").arg(exitCode);
        auto log = [&](const QString &outcome) {
            QString entry = QStringLiteral("%1 -> %2, %3, %4 ms").arg(what, outcome, exit).arg(ms);
            if (!err.isEmpty())
                entry += QLatin1Char('\n') + QString::fromLocal8Bit(err).trimmed();
            return entry;
        };
        if (*timedOut) {
            RespondPage(ex, 504, QStringLiteral("Script stopped"),
                        QStringLiteral("The script ran longer than %1 s and was stopped.").arg(m_nScriptLimitMs / 1000.0),
                        log(QStringLiteral("504")) + QStringLiteral("\nstopped after %1 s").arg(m_nScriptLimitMs / 1000.0));
            return;
        }
        const CCgiResponseParser r = CCgiResponseParser::Parse(out);
        switch (r.m_kind) {
        case CCgiResponseParser::Kind::Invalid: {
            const bool bFailed = status == QProcess::CrashExit || exitCode != 0;
            QString text = bFailed ? QStringLiteral("<p>The script failed (%1) before it printed a valid CGI header: %2.</p>")
                                         .arg(exit, Html(r.m_strError))
                                   : QStringLiteral("<p>The script's output has no valid CGI header block: %1.</p>")
                                         .arg(Html(r.m_strError));
            text += QStringLiteral("<h2>What the script printed</h2><pre>%1</pre>").arg(Html(QString::fromLocal8Bit(out)));
            if (!err.isEmpty())
                text += QStringLiteral("<h2>Its standard error</h2><pre>%1</pre>").arg(Html(QString::fromLocal8Bit(err)));
            RespondPage(ex, 500, bFailed ? QStringLiteral("Script failed") : QStringLiteral("No CGI header"), text, log(QStringLiteral("500")));
            return;
        }
        case CCgiResponseParser::Kind::LocalRedirect:
            if (nRedirects >= kMaxLocalRedirects) {
                RespondPage(ex, 500, QStringLiteral("Too many redirects"),
                            QStringLiteral("The script redirected locally more than %1 times.").arg(kMaxLocalRedirects),
                            log(QStringLiteral("500")));
                return;
            }
            emit RequestLogged(log(QStringLiteral("local redirect to ") + QString::fromLatin1(r.m_baLocation)));
            Dispatch(ex, r.m_baLocation, nRedirects + 1);
            return;
        case CCgiResponseParser::Kind::ClientRedirect:
        case CCgiResponseParser::Kind::Document: {
            QList<QPair<QByteArray, QByteArray>> headers;
            if (!r.m_baContentType.isEmpty())
                headers.append({"Content-Type", r.m_baContentType});
            if (!r.m_baLocation.isEmpty())
                headers.append({"Location", r.m_baLocation});
            for (const auto &h : r.m_headers) {
                const QByteArray lower = h.first.toLower();
                // The server frames the message itself.
                if (lower != "content-length" && lower != "connection" && lower != "transfer-encoding")
                    headers.append(h);
            }
            QString outcome = QString::number(r.m_nStatus);
            if (r.m_bRelativeLocation)
                outcome += QStringLiteral(", relative Location \"%1\" passed to the browser, which resolves it")
                               .arg(QString::fromLatin1(r.m_baLocation));
            Respond(ex, r.m_nStatus, r.m_baReason.isEmpty() ? ReasonOf(r.m_nStatus) : r.m_baReason, headers,
                    r.m_baBody, log(outcome));
            return;
        }
        }
    };
    connect(process, &QProcess::finished, this, finish);
    connect(process, &QProcess::errorOccurred, this, [this, ex, process, clock, what](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        ex->process = nullptr;
        process->deleteLater();
        QMetaObject::invokeMethod(this, &CCgiWebServer::StartWaiting, Qt::QueuedConnection);
        RespondPage(ex, 500, QStringLiteral("Script not started"),
                    QStringLiteral("%1 could not be started: %2.").arg(Html(m_strPerl), Html(process->errorString())),
                    QStringLiteral("%1 -> 500, not started: %2").arg(what, process->errorString()));
    });
    process->start();
    if (process->state() == QProcess::NotRunning)
        return;
    limit->start(m_nScriptLimitMs);
    if (request.bHasBody)
        process->write(request.baBody);
    process->closeWriteChannel();
    // The process holds the body now; one copy is enough.
    ex->parser.m_baBody.clear();
}

int CCgiWebServer::RunningScripts() const
{
    int running = 0;
    for (const Exchange *ex : m_exchanges)
        running += ex->process != nullptr;
    return running;
}

void CCgiWebServer::StartWaiting()
{
    while (!m_waiting.isEmpty() && RunningScripts() < m_limits.nScripts) {
        const std::function<void()> start = m_waiting.takeFirst().second;
        start();
    }
}

bool CCgiWebServer::Begin(Exchange *ex, int nStatus, const QByteArray &baReason, const Headers &headers,
                          qint64 nLength, const QString &strLog)
{
    if (!strLog.isEmpty())
        emit RequestLogged(strLog);
    else
        emit RequestLogged(QStringLiteral("%1 %2 -> %3, %4 ms")
                               .arg(QString::fromLatin1(ex->parser.m_baMethod),
                                    QString::fromLatin1(ex->bAdmitted ? ex->baTarget : ex->parser.m_baTarget))
                               .arg(nStatus)
                               .arg(ex->timer.elapsed()));
    if (!ex->socket || ex->bAnswered)
        return false;
    ex->bAnswered = true;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(nStatus) + ' ' + baReason + "\r\n";
    for (const auto &h : headers)
        head += h.first + ": " + h.second + "\r\n";
    if (ex->bSetCookie)
        head += "Set-Cookie: " + m_access.SetCookieValue() + "\r\n";
    head += "Content-Length: " + QByteArray::number(nLength) + "\r\nConnection: close\r\n\r\n";
    ex->socket->write(head);
    ex->deadline->start(m_limits.nSendMs);
    return true;
}

void CCgiWebServer::Finish(Exchange *ex)
{
    if (!ex->socket)
        return;
    if (ex->parser.GetState() == CHttpRequestParser::State::Complete) {
        ex->socket->disconnectFromHost();
        return;
    }
    // Answered before the request was whole: closing now, with the client's bytes
    // unread, would reset the connection and lose the answer.
    ex->bLinger = true;
    ex->socket->skip(ex->socket->bytesAvailable());
    if (ex->socket->bytesToWrite() == 0)
        OnBytesWritten(ex->socket);
}

void CCgiWebServer::Respond(Exchange *ex, int nStatus, const QByteArray &baReason, const Headers &headers,
                            const QByteArray &baBody, const QString &strLog)
{
    if (!Begin(ex, nStatus, baReason, headers, baBody.size(), strLog))
        return;
    if (ex->parser.m_baMethod != "HEAD")
        ex->socket->write(baBody);
    Finish(ex);
}

void CCgiWebServer::RespondPage(Exchange *ex, int nStatus, const QString &strTitle, const QString &strText,
                                const QString &strLog)
{
    const QString page = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                                        "<body><h1>%1</h1>%2</body></html>\n")
                             .arg(Html(strTitle), strText.startsWith(QLatin1Char('<')) ? strText
                                                                                       : QStringLiteral("<p>%1</p>").arg(Html(strText)));
    Respond(ex, nStatus, ReasonOf(nStatus), {{"Content-Type", "text/html; charset=utf-8"}}, page.toUtf8(), strLog);
}
