#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The CGI/1.1 request meta-variables a web server gives a CGI script (RFC 3875,
// section 4), built from one request. Run and Debug build the request from the saved
// script inputs; Run in Browser's server from the HTTP request it received.
class CCgiEnvironment
{
public:
    using NameValue = QPair<QString, QString>;

    struct Request
    {
        QString strMethod;
        // QUERY_STRING as it travels in a URL, percent-encoding and all.
        QByteArray baQuery;
        // What the script reads on standard input; CONTENT_LENGTH is its size.
        QByteArray baBody;
        bool bHasBody = false;
        // Header fields as received, names in any case; a name given twice is joined.
        QList<QPair<QByteArray, QByteArray>> headers;
        // The script file, and the folder served as the document root.
        QString strScriptFile;
        QString strDocumentRoot;
        // The script's URL path ("/hello.pl") and the decoded path after it.
        QString strScriptName;
        QString strPathInfo;
        // As the client sent it; empty: built from script name, path info and query.
        QByteArray baRequestUri;
        QString strServerName = QStringLiteral("localhost");
        int nServerPort = 80;
        QString strServerProtocol = QStringLiteral("HTTP/1.1");
        QString strRemoteAddr = QStringLiteral("127.0.0.1");
        // Set last, each replacing a variable of the same name.
        QList<NameValue> userVariables;
    };

    // Whether a saved request method simulates a CGI request at Run and Debug.
    static bool IsSimulated(const QString &strMethod);
    // The request that Run and Debug simulate for a saved method and inputs text.
    static Request FromInputs(const QString &strScriptFile, const QString &strMethod, const QString &strInputs,
                              const QList<NameValue> &userVariables);
    // The bytes a run writes to standard input for the inputs text.
    static QByteArray InputBytes(const QString &strInputs);
    // The inputs text of a GET as a query string: line ends become "&", a trailing one goes.
    static QByteArray QueryFromInputs(const QString &strInputs);

    // The meta-variables of the request, in the order they are set.
    static QList<NameValue> Variables(const Request &request);
    // `inherited` without any CGI variable of its own, with the request's variables.
    static QProcessEnvironment Apply(const QProcessEnvironment &inherited, const Request &request);

    // A name a web server could set for a CGI script: those of RFC 3875, HTTP_*,
    // and the ones servers commonly add (DOCUMENT_ROOT, SCRIPT_FILENAME, ...).
    static bool IsCgiVariable(const QString &strName);
    // Letters, digits and underscores, not starting with a digit.
    static bool IsValidName(const QString &strName);
    // The meta-variable name of a request header ("User-Agent" -> "HTTP_USER_AGENT");
    // empty for a header that a server must not pass on this way.
    static QString HeaderVariable(const QByteArray &baHeader);

    static QString ServerSoftware();
};
