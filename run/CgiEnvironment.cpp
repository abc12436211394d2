#include "run/CgiEnvironment.h"

#include "framework/HttpToken.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#ifndef KESTREL_VERSION
#define KESTREL_VERSION "1.0"
#endif

namespace {

const char *const kCgiNames[] = {
    "AUTH_TYPE", "CONTENT_LENGTH", "CONTENT_TYPE", "GATEWAY_INTERFACE", "PATH_INFO", "PATH_TRANSLATED",
    "QUERY_STRING", "REMOTE_ADDR", "REMOTE_HOST", "REMOTE_IDENT", "REMOTE_USER", "REQUEST_METHOD",
    "SCRIPT_NAME", "SERVER_NAME", "SERVER_PORT", "SERVER_PROTOCOL", "SERVER_SOFTWARE",
    // Not in the RFC, but set by the common servers and read by scripts and CGI.pm.
    "DOCUMENT_ROOT", "SCRIPT_FILENAME", "REQUEST_URI", "HTTPS", "REMOTE_PORT", "SERVER_ADDR",
    "REQUEST_SCHEME", "REDIRECT_STATUS", "REDIRECT_URL", "REDIRECT_QUERY_STRING", "SERVER_ADMIN",
    "SERVER_SIGNATURE", "CONTEXT_DOCUMENT_ROOT", "CONTEXT_PREFIX"};

// Sets a variable in order, a later value of the same name replacing the earlier.
void Set(QList<CCgiEnvironment::NameValue> &vars, const QString &name, const QString &value)
{
    for (auto &v : vars) {
        if (v.first == name) {
            v.second = value;
            return;
        }
    }
    vars.append({name, value});
}

QString Find(const QList<CCgiEnvironment::NameValue> &vars, const QString &name, bool *pFound = nullptr)
{
    for (const auto &v : vars) {
        if (v.first == name) {
            if (pFound)
                *pFound = true;
            return v.second;
        }
    }
    if (pFound)
        *pFound = false;
    return QString();
}

} // namespace

QString CCgiEnvironment::ServerSoftware() { return QStringLiteral("Kestrel/" KESTREL_VERSION); }

bool CCgiEnvironment::IsSimulated(const QString &strMethod)
{
    return strMethod == QLatin1String("GET") || strMethod == QLatin1String("POST");
}

QByteArray CCgiEnvironment::InputBytes(const QString &strInputs) { return strInputs.toLocal8Bit(); }

QByteArray CCgiEnvironment::QueryFromInputs(const QString &strInputs)
{
    QByteArray text = InputBytes(strInputs);
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(text.endsWith("\r\n") ? 2 : 1);
    text.replace("\r\n", "&");
    text.replace('\n', '&');
    text.replace('\r', '&');
    return text;
}

CCgiEnvironment::Request CCgiEnvironment::FromInputs(const QString &strScriptFile, const QString &strMethod,
                                                     const QString &strInputs, const QList<NameValue> &userVariables)
{
    Request r;
    QFileInfo info(strScriptFile);
    r.strMethod = strMethod;
    r.strScriptFile = info.absoluteFilePath();
    r.strDocumentRoot = info.absolutePath();
    r.strScriptName = QLatin1Char('/') + info.fileName();
    if (strMethod == QLatin1String("GET")) {
        r.baQuery = QueryFromInputs(strInputs);
    } else if (strMethod == QLatin1String("POST")) {
        r.baBody = InputBytes(strInputs);
        r.bHasBody = true;
    }
    r.userVariables = userVariables;
    return r;
}

bool CCgiEnvironment::IsValidName(const QString &strName)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(strName).hasMatch();
}

bool CCgiEnvironment::IsCgiVariable(const QString &strName)
{
    if (strName.startsWith(QLatin1String("HTTP_")))
        return true;
    for (const char *name : kCgiNames)
        if (strName == QLatin1String(name))
            return true;
    return false;
}

QString CCgiEnvironment::HeaderVariable(const QByteArray &baHeader)
{
    if (baHeader.isEmpty())
        return QString();
    if (!CHttpToken::IsToken(baHeader))
        return QString();
    const QByteArray lower = baHeader.toLower();
    // Content type and length have variables of their own. A "Proxy" header would
    // become HTTP_PROXY, which many HTTP libraries take as their proxy setting, so a
    // client could send the script's own requests through a host of its choice.
    // Credentials stay with the server, as the RFC advises.
    if (lower == "content-type" || lower == "content-length" || lower == "proxy" || lower == "authorization"
        || lower == "proxy-authorization")
        return QString();
    QString name = QStringLiteral("HTTP_") + QString::fromLatin1(baHeader).toUpper();
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    // Names only a header with other characters could give are not passed.
    return IsValidName(name) ? name : QString();
}

QList<CCgiEnvironment::NameValue> CCgiEnvironment::Variables(const Request &r)
{
    QList<NameValue> vars;
    Set(vars, QStringLiteral("GATEWAY_INTERFACE"), QStringLiteral("CGI/1.1"));
    Set(vars, QStringLiteral("SERVER_SOFTWARE"), ServerSoftware());
    Set(vars, QStringLiteral("SERVER_NAME"), r.strServerName);
    Set(vars, QStringLiteral("SERVER_PORT"), QString::number(r.nServerPort));
    Set(vars, QStringLiteral("SERVER_PROTOCOL"), r.strServerProtocol);
    Set(vars, QStringLiteral("REQUEST_METHOD"), r.strMethod);
    Set(vars, QStringLiteral("QUERY_STRING"), QString::fromLocal8Bit(r.baQuery));
    Set(vars, QStringLiteral("SCRIPT_NAME"), r.strScriptName);
    Set(vars, QStringLiteral("SCRIPT_FILENAME"), r.strScriptFile);
    Set(vars, QStringLiteral("DOCUMENT_ROOT"), r.strDocumentRoot);
    Set(vars, QStringLiteral("REMOTE_ADDR"), r.strRemoteAddr);

    QString contentType;
    bool bHost = false;
    for (const auto &h : r.headers) {
        const QByteArray lower = h.first.toLower();
        if (lower == "content-type") {
            contentType = QString::fromLocal8Bit(h.second);
            continue;
        }
        QString name = HeaderVariable(h.first);
        if (name.isEmpty())
            continue;
        bHost = bHost || name == QLatin1String("HTTP_HOST");
        bool bFound = false;
        QString before = Find(vars, name, &bFound);
        QString value = QString::fromLocal8Bit(h.second);
        Set(vars, name, bFound ? before + QStringLiteral(", ") + value : value);
    }
    if (!bHost)
        Set(vars, QStringLiteral("HTTP_HOST"), r.strServerName);
    if (r.bHasBody) {
        Set(vars, QStringLiteral("CONTENT_LENGTH"), QString::number(r.baBody.size()));
        if (contentType.isEmpty() && r.strMethod == QLatin1String("POST"))
            contentType = QStringLiteral("application/x-www-form-urlencoded");
    }
    if (!contentType.isEmpty())
        Set(vars, QStringLiteral("CONTENT_TYPE"), contentType);

    // The user's variables win; the ones derived from the path follow what they set.
    bool bUserPathInfo = false, bUserQuery = false;
    QString pathInfo = r.strPathInfo;
    QByteArray query = r.baQuery;
    for (const auto &v : r.userVariables) {
        if (v.first == QLatin1String("PATH_INFO")) {
            bUserPathInfo = true;
            pathInfo = v.second;
        } else if (v.first == QLatin1String("QUERY_STRING")) {
            bUserQuery = true;
            query = v.second.toLocal8Bit();
        }
    }
    if (!pathInfo.isEmpty()) {
        Set(vars, QStringLiteral("PATH_INFO"), pathInfo);
        QString translated = r.strDocumentRoot;
        if (translated.endsWith(QLatin1Char('/')) && pathInfo.startsWith(QLatin1Char('/')))
            translated.chop(1);
        Set(vars, QStringLiteral("PATH_TRANSLATED"), translated + pathInfo);
    }
    QByteArray uri = r.baRequestUri;
    if (uri.isEmpty() || bUserPathInfo || bUserQuery) {
        uri = QUrl::toPercentEncoding(r.strScriptName + pathInfo, "/");
        if (!query.isEmpty())
            uri += '?' + query;
    }
    Set(vars, QStringLiteral("REQUEST_URI"), QString::fromLocal8Bit(uri));
    for (const auto &v : r.userVariables)
        Set(vars, v.first, v.second);
    return vars;
}

QProcessEnvironment CCgiEnvironment::Apply(const QProcessEnvironment &inherited, const Request &request)
{
    QProcessEnvironment env;
    for (const QString &name : inherited.keys())
        if (!IsCgiVariable(name))
            env.insert(name, inherited.value(name));
    for (const auto &v : Variables(request))
        env.insert(v.first, v.second);
    return env;
}
