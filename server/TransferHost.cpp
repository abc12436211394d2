#include "server/TransferHost.h"

namespace {

struct SchemeName
{
    const char *name;
    CTransferHost::Protocol protocol;
};

const SchemeName kSchemes[] = {
    {"sftp", CTransferHost::SFTP},
    {"ftps", CTransferHost::FTPS},
    {"ftp", CTransferHost::FTP},
};

bool IsPortText(const QString &text, int &nPort)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > 65535 || !text.at(0).isDigit())
        return false;
    nPort = port;
    return true;
}

} // namespace

QString CTransferHost::Scheme(Protocol protocol)
{
    for (const SchemeName &s : kSchemes)
        if (s.protocol == protocol)
            return QString::fromLatin1(s.name);
    return QStringLiteral("ftp");
}

CTransferHost CTransferHost::Parse(const QString &strSetting)
{
    CTransferHost host;
    QString rest = strSetting.trimmed();
    const int sep = rest.indexOf(QLatin1String("://"));
    if (sep >= 0) {
        const QString scheme = rest.left(sep).toLower();
        bool known = false;
        for (const SchemeName &s : kSchemes) {
            if (scheme == QLatin1String(s.name)) {
                host.m_protocol = s.protocol;
                known = true;
            }
        }
        if (!known) {
            host.m_strError = QStringLiteral("The FTP host name %1 names the protocol \"%2\"; the transfers speak "
                                             "ftp, ftps and sftp.")
                                  .arg(strSetting.trimmed(), rest.left(sep));
            return host;
        }
        host.m_bExplicitScheme = true;
        rest = rest.mid(sep + 3);
        // A path after the host means nothing here: the folder is REMOTE_DIRECTORY's.
        const int slash = rest.indexOf(QLatin1Char('/'));
        if (slash >= 0)
            rest.truncate(slash);
        // A user name in the URL: the user is FTP_USER_NAME's; the name is dropped
        // rather than taken for part of the host.
        const int at = rest.lastIndexOf(QLatin1Char('@'));
        if (at >= 0)
            rest = rest.mid(at + 1);
    }
    if (rest.startsWith(QLatin1Char('['))) {
        const int close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) {
            host.m_strError = QStringLiteral("The FTP host name %1 has no closing \"]\".").arg(strSetting.trimmed());
            return host;
        }
        const QString after = rest.mid(close + 1);
        host.m_strHost = rest.mid(1, close - 1);
        if (after.startsWith(QLatin1Char(':')) && !IsPortText(after.mid(1), host.m_nPort)) {
            host.m_strError = QStringLiteral("The FTP host name %1 has no valid port after the host.")
                                  .arg(strSetting.trimmed());
            return host;
        }
    } else if (rest.count(QLatin1Char(':')) == 1) {
        const int colon = rest.indexOf(QLatin1Char(':'));
        if (!IsPortText(rest.mid(colon + 1), host.m_nPort)) {
            host.m_strError = QStringLiteral("The FTP host name %1 has no valid port after the host.")
                                  .arg(strSetting.trimmed());
            return host;
        }
        host.m_strHost = rest.left(colon);
    } else {
        // No colon, or an IPv6 address without brackets (several colons).
        host.m_strHost = rest;
    }
    if (host.m_strHost.isEmpty() && host.m_bExplicitScheme)
        host.m_strError = QStringLiteral("The FTP host name %1 names no host.").arg(strSetting.trimmed());
    return host;
}

QString CTransferHost::Compose(Protocol protocol, const QString &strHost, bool bKeepBare)
{
    CTransferHost parsed = Parse(strHost);
    // The host field may hold a scheme the user typed: the chosen protocol wins.
    QString host = strHost.trimmed();
    if (parsed.m_bExplicitScheme)
        host = host.mid(host.indexOf(QLatin1String("://")) + 3);
    if (protocol == FTP && bKeepBare)
        return host;
    if (host.isEmpty())
        return host;
    return Scheme(protocol) + QStringLiteral("://") + host;
}

int CTransferHost::PortAfterSwitch(Protocol from, Protocol to, int nPort)
{
    if (from == to)
        return nPort;
    if (nPort == DefaultPort(from) || nPort == 0)
        return DefaultPort(to);
    return nPort;
}
