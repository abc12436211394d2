#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// What a CGI script printed, read as a CGI response (RFC 3875, section 6): a header
// block ended by a blank line, then the body.
class CCgiResponseParser
{
public:
    enum class Kind { Invalid, Document, LocalRedirect, ClientRedirect };

    static CCgiResponseParser Parse(const QByteArray &output);

    Kind m_kind = Kind::Invalid;
    // Why the output is not a valid response.
    QString m_strError;
    int m_nStatus = 200;
    QByteArray m_baReason;
    QByteArray m_baContentType;
    QByteArray m_baLocation;
    // The Location is a relative reference ("app.pl?done=1"), which the browser resolves
    // against the page's address, as it does for any other server.
    bool m_bRelativeLocation = false;
    // Header fields passed on to the client as they are.
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_baBody;
};
