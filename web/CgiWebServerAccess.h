#pragma once

#include <QByteArray>
#include <QString>

class CHttpRequestParser;

// Who may use Run in Browser's server: only the window that opened it. Anyone on the
// machine can reach 127.0.0.1, and a web page in any browser can make that browser send
// requests there (a form posted across sites, a host name rebound to 127.0.0.1), while
// the scripts run with the user's rights and the folder may hold private files. So a
// request must name the server as its host, must not come from another site, and must
// carry a secret that only the window was given: in its first URL, then in a cookie.
class CCgiWebServerAccess
{
public:
    // The query parameter of the first URL that carries the secret.
    static constexpr char kSecretParameter[] = "kestrel-key";

    enum class Verdict {
        Allowed,
        // The secret came in the URL: the answer sets the cookie.
        AllowedByUrl,
        ForeignHost,
        ForeignOrigin,
        NoSecret
    };

    // A new random secret of 256 bits (the system's generator) for the server on `nPort`.
    explicit CCgiWebServerAccess(int nPort = 0);
    void SetPort(int nPort) { m_nPort = nPort; }

    QByteArray Secret() const { return m_baSecret; }
    // The cookie's name: the port is part of it, since a browser keeps cookies per host,
    // not per port, and two servers must not overwrite each other's.
    QByteArray CookieName() const;
    // The Set-Cookie value that keeps the secret for the rest of the window's visits.
    QByteArray SetCookieValue() const;

    // Whether the request's head lets it in.
    Verdict Check(const CHttpRequestParser &request) const;
    // A line for the log saying why a request was refused.
    static QString Reason(Verdict verdict);

    // The query without the secret's parameter, and whether it was there and right.
    QByteArray QueryWithoutSecret(const QByteArray &baQuery, bool *pFound = nullptr) const;
    // A Cookie header's value without the server's own cookie, which no script needs.
    QByteArray CookiesWithoutSecret(const QByteArray &baCookies) const;

    // Equal bytes, compared in a time that does not tell how many leading bytes match.
    static bool ConstantTimeEquals(const QByteArray &a, const QByteArray &b);

private:
    bool HostIsServer(const QByteArray &baHost) const;
    bool OriginIsServer(const QByteArray &baOrigin) const;

    int m_nPort;
    QByteArray m_baSecret;
};
