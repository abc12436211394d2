#pragma once

#include <QByteArray>

// HTTP's token grammar (RFC 9110): what a method or a header field name is made of.
// The loopback web server's parsers and the CGI environment (which turns header
// names into HTTP_ variables) both judge names by it.
class CHttpToken
{
public:
    // One or more token characters.
    static bool IsToken(const QByteArray &s);
    static bool IsTokenChar(char c);
};
