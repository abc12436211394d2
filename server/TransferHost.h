#pragma once

#include <QString>

// The server of the file transfers as FTP_HOST_NAME names it: a host with the protocol
// as a URL scheme in front ("sftp://host", "ftps://host", "ftp://host"); a host without
// a scheme is plain FTP, as it always was. A port may follow the host ("host:2222",
// "[::1]:2222"); otherwise FTP_PORT_NUMBER gives it.
class CTransferHost
{
public:
    enum Protocol { FTP, FTPS, SFTP };

    static CTransferHost Parse(const QString &strSetting);
    // The setting for a protocol and a host (the host without a scheme): bare for FTP
    // when it was bare before (bKeepBare), so that an unchanged setting stays as it was.
    static QString Compose(Protocol protocol, const QString &strHost, bool bKeepBare = true);

    static int DefaultPort(Protocol protocol) { return protocol == SFTP ? 22 : 21; }
    static QString Scheme(Protocol protocol);
    // The port to show after the protocol changed: the new protocol's default when the
    // port was the default of the other one, otherwise the port as it was.
    static int PortAfterSwitch(Protocol from, Protocol to, int nPort);

    bool IsValid() const { return m_strError.isEmpty(); }

    Protocol m_protocol = FTP;
    // Whether the setting named its scheme.
    bool m_bExplicitScheme = false;
    // The host name or address, IPv6 without brackets.
    QString m_strHost;
    // The port the setting gave after the host; 0 when none.
    int m_nPort = 0;
    // Why the setting names no server we can use; empty when it does.
    QString m_strError;
};
