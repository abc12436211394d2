#pragma once

#include <QByteArray>
#include <QString>

// Recording a host key the user chose to trust, in the user's known_hosts, the way the
// user's own OpenSSH would have recorded it: hashed names when their ssh configuration
// hashes them (Debian's does), the line added to the end without touching the others.
class CKnownHostsFile
{
public:
    // Whether the user's OpenSSH writes new known_hosts names hashed, as `ssh -G` tells
    // for the host (HashKnownHosts). ssh runs from an argument list, never through a
    // shell, and briefly: when it is missing, fails or takes too long, the answer is
    // yes, since a hashed line gives away less and every OpenSSH reads it.
    static bool HashesHostNames(const QString &strHost, int nPort,
                                const QString &strSshProgram = QStringLiteral("ssh"));

    // The line to record for the host's key: hashed or plain as above.
    static QByteArray NewLine(const QString &strHost, int nPort, const QString &strKeyType,
                              const QByteArray &keyBlob);

    // Adds the line at the end of the file in one append, so that the lines already
    // there stay whatever happens meanwhile. A folder that is missing is made for the
    // user only (0700), a new file readable by the user only (0600). False with the
    // reason when the line could not be written.
    static bool Append(const QString &strPath, const QByteArray &line, QString &strError);
};
