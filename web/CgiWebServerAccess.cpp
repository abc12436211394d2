#include "web/CgiWebServerAccess.h"

#include "web/HttpRequestParser.h"

#include <QList>
#include <QRandomGenerator>

#include <array>

CCgiWebServerAccess::CCgiWebServerAccess(int nPort)
    : m_nPort(nPort)
{
    std::array<quint32, 8> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    m_baSecret = QByteArray(reinterpret_cast<const char *>(words.data()), int(sizeof words)).toHex();
}

QByteArray CCgiWebServerAccess::CookieName() const { return "kestrel-" + QByteArray::number(m_nPort); }

QByteArray CCgiWebServerAccess::SetCookieValue() const
{
    return CookieName() + '=' + m_baSecret + "; Path=/; HttpOnly; SameSite=Strict";
}

bool CCgiWebServerAccess::ConstantTimeEquals(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

bool CCgiWebServerAccess::HostIsServer(const QByteArray &baHost) const
{
    // Only the loopback address the server listens on, or "localhost", with its port:
    // a name that merely resolves to 127.0.0.1 (DNS rebinding) belongs to another site.
    const QByteArray port = ':' + QByteArray::number(m_nPort);
    const QByteArray host = baHost.toLower();
    return host == "127.0.0.1" + port || host == "localhost" + port;
}

bool CCgiWebServerAccess::OriginIsServer(const QByteArray &baOrigin) const
{
    return baOrigin.startsWith("http://") && HostIsServer(baOrigin.mid(7));
}

CCgiWebServerAccess::Verdict CCgiWebServerAccess::Check(const CHttpRequestParser &request) const
{
    int hosts = 0;
    for (const auto &h : request.m_headers)
        if (h.first.compare("Host", Qt::CaseInsensitive) == 0 && (++hosts > 1 || !HostIsServer(h.second)))
            return Verdict::ForeignHost;
    if (hosts == 0)
        return Verdict::ForeignHost;
    // A page of another site (or of another port, or a sandboxed one: "null") may make
    // the window's browser send a request here; it never acts with the user's rights.
    QByteArray site;
    for (const auto &h : request.m_headers)
        if (h.first.compare("Sec-Fetch-Site", Qt::CaseInsensitive) == 0)
            site = h.second.toLower();
    if (!site.isEmpty() && site != "same-origin" && site != "none")
        return Verdict::ForeignOrigin;
    for (const auto &h : request.m_headers) {
        // A browser gives "null" for a POST that no page started (the window's own first
        // request), and then says so with "Sec-Fetch-Site: none".
        if (h.first.compare("Origin", Qt::CaseInsensitive) == 0 && !OriginIsServer(h.second)
            && !(h.second == "null" && site == "none"))
            return Verdict::ForeignOrigin;
    }
    const QByteArray name = CookieName();
    for (const auto &h : request.m_headers) {
        if (h.first.compare("Cookie", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &pair : h.second.split(';')) {
            const QByteArray cookie = pair.trimmed();
            if (cookie.startsWith(name + '=') && ConstantTimeEquals(cookie.mid(name.size() + 1), m_baSecret))
                return Verdict::Allowed;
        }
    }
    const QByteArray &target = request.m_baTarget;
    const qsizetype q = target.indexOf('?');
    bool found = false;
    if (q >= 0)
        QueryWithoutSecret(target.mid(q + 1), &found);
    return found ? Verdict::AllowedByUrl : Verdict::NoSecret;
}

QString CCgiWebServerAccess::Reason(Verdict verdict)
{
    switch (verdict) {
    case Verdict::ForeignHost:
        return QStringLiteral("refused: the Host header does not name this server");
    case Verdict::ForeignOrigin:
        return QStringLiteral("refused: the request comes from another site");
    case Verdict::NoSecret:
        return QStringLiteral("refused: the request does not come from the Run in Browser window");
    case Verdict::Allowed:
    case Verdict::AllowedByUrl:
        break;
    }
    return QString();
}

QByteArray CCgiWebServerAccess::QueryWithoutSecret(const QByteArray &baQuery, bool *pFound) const
{
    const QByteArray key = QByteArray(kSecretParameter) + '=';
    QList<QByteArray> kept;
    bool found = false;
    bool removed = false;
    for (const QByteArray &pair : baQuery.split('&')) {
        if (pair.startsWith(key)) {
            found = found || ConstantTimeEquals(pair.mid(key.size()), m_baSecret);
            removed = true;
            continue;
        }
        kept.append(pair);
    }
    if (pFound)
        *pFound = found;
    return removed ? kept.join('&') : baQuery;
}

QByteArray CCgiWebServerAccess::CookiesWithoutSecret(const QByteArray &baCookies) const
{
    const QByteArray prefix = CookieName() + '=';
    QList<QByteArray> kept;
    bool removed = false;
    for (const QByteArray &pair : baCookies.split(';')) {
        if (pair.trimmed().startsWith(prefix)) {
            removed = true;
            continue;
        }
        kept.append(pair.trimmed());
    }
    return removed ? kept.join("; ") : baCookies;
}
