#include "web/CgiResponseParser.h"

#include "framework/HttpToken.h"

namespace {

bool HasScheme(const QByteArray &location)
{
    const int colon = location.indexOf(':');
    if (colon <= 0)
        return false;
    for (int i = 0; i < colon; ++i) {
        const char c = location[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

CCgiResponseParser CCgiResponseParser::Parse(const QByteArray &output)
{
    CCgiResponseParser r;
    auto fail = [&r](const QString &why) {
        r.m_kind = Kind::Invalid;
        r.m_strError = why;
        return r;
    };
    if (output.isEmpty())
        return fail(QStringLiteral("the script printed nothing"));
    qsizetype pos = 0;
    bool bEnded = false;
    bool bStatus = false;
    while (pos < output.size()) {
        qsizetype nl = output.indexOf('\n', pos);
        if (nl < 0)
            break;
        QByteArray line = output.mid(pos, nl - pos);
        pos = nl + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty()) {
            bEnded = true;
            break;
        }
        const int colon = line.indexOf(':');
        if (colon <= 0 || !CHttpToken::IsToken(line.left(colon)))
            return fail(QStringLiteral("the line \"%1\" is not a header field")
                            .arg(QString::fromLocal8Bit(line.left(80))));
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                return fail(QStringLiteral("the header field %1 holds a control character")
                                .arg(QString::fromLatin1(name)));
        const QByteArray lower = name.toLower();
        if (lower == "content-type") {
            r.m_baContentType = value;
        } else if (lower == "location") {
            r.m_baLocation = value;
        } else if (lower == "status") {
            bool ok = value.size() >= 3;
            for (int i = 0; ok && i < 3; ++i)
                ok = value[i] >= '0' && value[i] <= '9';
            ok = ok && (value.size() == 3 || value[3] == ' ');
            const int code = ok ? value.left(3).toInt() : 0;
            if (!ok || code < 100 || code > 599)
                return fail(QStringLiteral("the Status field \"%1\" is not a three-digit status")
                                .arg(QString::fromLatin1(value.left(80))));
            r.m_nStatus = code;
            r.m_baReason = value.mid(4).trimmed();
            bStatus = true;
        } else {
            r.m_headers.append({name, value});
        }
    }
    if (!bEnded)
        return fail(QStringLiteral("no blank line ends the header block"));
    r.m_baBody = output.mid(pos);
    if (!r.m_baLocation.isEmpty()) {
        if (r.m_baLocation.startsWith('/') && !r.m_baLocation.startsWith("//") && r.m_baContentType.isEmpty()
            && !bStatus) {
            r.m_kind = Kind::LocalRedirect;
            return r;
        }
        if (!bStatus)
            r.m_nStatus = 302;
        r.m_kind = Kind::ClientRedirect;
        // RFC 3875 asks for an absolute URL, but CGI.pm's url(-relative => 1) and many
        // scripts give a relative one; web servers pass it on and browsers resolve it.
        r.m_bRelativeLocation = !HasScheme(r.m_baLocation) && !r.m_baLocation.startsWith('/');
        return r;
    }
    if (r.m_baContentType.isEmpty())
        return fail(QStringLiteral("the header block has no Content-Type"));
    r.m_kind = Kind::Document;
    return r;
}
