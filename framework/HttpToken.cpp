#include "framework/HttpToken.h"

#include <QByteArrayView>

bool CHttpToken::IsToken(const QByteArray &s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (!IsTokenChar(c))
            return false;
    return true;
}

bool CHttpToken::IsTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}
