#include "run/CgiWebServer.h"

#include "run/CgiEnvironment.h"
#include "run/CgiResponseParser.h"
#include "run/ChildEnvironment.h"
#include "run/HttpRequestParser.h"

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

#include <csignal>
#include <memory>
#include <unistd.h>

struct CCgiWebServer::Exchange
{
    QPointer<QTcpSocket> socket;
    CHttpRequestParser parser;
    QElapsedTimer timer;
    QProcess *process = nullptr;
    bool bAnswered = false;
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
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
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

} // namespace

CCgiWebServer::CCgiWebServer(const QString &strRoot, const QString &strPerl, QObject *parent)
    : QObject(parent)
    , m_strRoot(QDir(strRoot).absolutePath())
    , m_strCanonicalRoot(QFileInfo(strRoot).canonicalFilePath())
    , m_strPerl(strPerl)
    , m_pServer(new QTcpServer(this))
{
    connect(m_pServer, &QTcpServer::newConnection, this, &CCgiWebServer::OnNewConnection);
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

void CCgiWebServer::OnNewConnection()
{
    while (QTcpSocket *socket = m_pServer->nextPendingConnection()) {
        socket->setParent(this);
        if (!socket->peerAddress().isLoopback()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *ex = new Exchange;
        ex->socket = socket;
        ex->timer.start();
        m_exchanges.insert(socket, ex);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            Exchange *ex = m_exchanges.take(socket);
            if (ex && ex->process && ex->process->state() != QProcess::NotRunning) {
                // The client went away: the script's answer has no one to go to.
                ex->process->disconnect(this);
                ::kill(-pid_t(ex->process->processId()), SIGKILL);
                ex->process->waitForFinished(2000);
                ex->process->deleteLater();
            }
            delete ex;
            socket->deleteLater();
        });
    }
}

void CCgiWebServer::OnReadyRead(QTcpSocket *socket)
{
    Exchange *ex = m_exchanges.value(socket);
    if (!ex || ex->bAnswered || ex->process)
        return;
    switch (ex->parser.Feed(socket->readAll())) {
    case CHttpRequestParser::State::Incomplete:
        return;
    case CHttpRequestParser::State::Error:
        RespondPage(ex, ex->parser.m_nErrorStatus, QString::fromLatin1(ReasonOf(ex->parser.m_nErrorStatus)),
                    QStringLiteral("The request could not be read."));
        return;
    case CHttpRequestParser::State::Complete:
        Dispatch(ex, ex->parser.m_baTarget, 0);
        return;
    }
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
    const QByteArray query = q < 0 ? QByteArray() : target.mid(q + 1);
    QByteArray path = q < 0 ? target : target.left(q);
    if (const qsizetype hash = path.indexOf('#'); hash >= 0)
        path.truncate(hash);

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
    // A symbolic link may lead out of the folder.
    const QString canonical = QFileInfo(current).canonicalFilePath();
    if (canonical != m_strCanonicalRoot && !canonical.startsWith(m_strCanonicalRoot + QLatin1Char('/'))) {
        RespondPage(ex, 403, QStringLiteral("Forbidden"),
                    QStringLiteral("%1 leads outside the folder served.").arg(urlPath));
        return;
    }
    const QByteArray method = ex->parser.m_baMethod;
    QFileInfo info(current);
    if (info.isDir()) {
        if (!path.endsWith('/')) {
            Respond(ex, 301, "Moved Permanently", {{"Location", path + '/' + (query.isEmpty() ? "" : "?" + query)}},
                    QByteArray());
            return;
        }
        QString list = QStringLiteral("<ul>");
        const QFileInfoList entries =
            QDir(current).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::DirsFirst | QDir::Name);
        for (const QFileInfo &e : entries) {
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
    QFile file(current);
    if (!file.open(QIODevice::ReadOnly)) {
        RespondPage(ex, 403, QStringLiteral("Forbidden"),
                    QStringLiteral("%1 cannot be read: %2.").arg(urlPath, file.errorString()));
        return;
    }
    const QByteArray type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).name().toLatin1();
    Respond(ex, 200, "OK", {{"Content-Type", type}}, file.readAll());
}

void CCgiWebServer::RunScript(Exchange *ex, const QString &strFile, const QString &strScriptName,
                              const QString &strPathInfo, const QByteArray &baQuery, int nRedirects)
{
    const CHttpRequestParser &req = ex->parser;
    CCgiEnvironment::Request request;
    // A local redirect is a new GET for the same client, without the body.
    request.strMethod = nRedirects > 0 ? QStringLiteral("GET") : QString::fromLatin1(req.m_baMethod);
    request.baQuery = baQuery;
    request.bHasBody = nRedirects == 0 && (!req.m_baBody.isEmpty() || !req.Header("Content-Length").isEmpty());
    request.baBody = request.bHasBody ? req.m_baBody : QByteArray();
    for (const auto &h : req.m_headers)
        if (request.bHasBody || h.first.compare("Content-Type", Qt::CaseInsensitive) != 0)
            request.headers.append(h);
    request.strScriptFile = strFile;
    request.strDocumentRoot = m_strRoot;
    request.strScriptName = strScriptName;
    request.strPathInfo = strPathInfo;
    request.baRequestUri = nRedirects > 0 ? QByteArray() : req.m_baTarget;
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
            Respond(ex, r.m_nStatus, r.m_baReason.isEmpty() ? ReasonOf(r.m_nStatus) : r.m_baReason, headers,
                    r.m_baBody, log(QString::number(r.m_nStatus)));
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
}

void CCgiWebServer::Respond(Exchange *ex, int nStatus, const QByteArray &baReason,
                            const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &baBody,
                            const QString &strLog)
{
    if (!strLog.isEmpty())
        emit RequestLogged(strLog);
    else
        emit RequestLogged(QStringLiteral("%1 %2 -> %3, %4 ms")
                               .arg(QString::fromLatin1(ex->parser.m_baMethod), QString::fromLatin1(ex->parser.m_baTarget))
                               .arg(nStatus)
                               .arg(ex->timer.elapsed()));
    if (!ex->socket || ex->bAnswered)
        return;
    ex->bAnswered = true;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(nStatus) + ' ' + baReason + "\r\n";
    for (const auto &h : headers)
        head += h.first + ": " + h.second + "\r\n";
    const bool bHead = ex->parser.m_baMethod == "HEAD";
    head += "Content-Length: " + QByteArray::number(baBody.size()) + "\r\nConnection: close\r\n\r\n";
    ex->socket->write(head);
    if (!bHead)
        ex->socket->write(baBody);
    ex->socket->disconnectFromHost();
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
