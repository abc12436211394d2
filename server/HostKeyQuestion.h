#pragma once

#include <QByteArray>
#include <QString>

// What a user is shown about an SSH server's host key, the same for file transfers and
// the remote shell: the key's fingerprint as `ssh-keygen -l` prints it, the question for
// a host that `known_hosts` does not know, and the refusal of a key that differs from the
// recorded one. Also finds where in a `known_hosts` file a host's key is recorded, since
// the SSH libraries tell only that it is.
class CHostKeyQuestion
{
public:
    // "SHA256:" and the unpadded base64 of the SHA-256 of the key blob (the key in SSH
    // wire format, as base64 in a known_hosts or .pub line).
    static QString Fingerprint(const QByteArray &keyBlob);
    // The key's type as the blob names it ("ssh-ed25519", "ssh-rsa", ...); empty when
    // the blob does not start with a readable name.
    static QString KeyTypeOfBlob(const QByteArray &keyBlob);
    // The type as `ssh-keygen -l` shows it in parentheses: "ED25519", "RSA", "ECDSA",
    // "DSA", "ED25519-SK", "ECDSA-SK"; another name stays as it is.
    static QString KeyTypeLabel(const QString &strKeyType);

    // How known_hosts names a host: the name alone on port 22, "[name]:port" otherwise.
    static QString KnownHostsName(const QString &strHost, int nPort);

    // The question for a host without a recorded key: Yes trusts the key from now on.
    static QString UnknownHostText(const QString &strHost, int nPort, const QString &strKeyType,
                                   const QString &strFingerprint, const QString &strKnownHostsPath);
    // The refusal of a key that differs from the recorded one. nLine is the line of
    // the recorded key (0 when not known).
    static QString ChangedKeyText(const QString &strHost, int nPort, const QString &strKeyType,
                                  const QString &strFingerprint, const QString &strKnownHostsPath,
                                  int nLine);

    // The first line (1-based) of the known_hosts text that records a key for the host
    // (plain, "[host]:port", comma lists, hashed "|1|salt|hash" names, "*" and "?"
    // patterns; a "!" pattern excludes; @revoked and @cert-authority lines are skipped).
    // strKeyType, when given, asks for a line of that key type. 0 when none does.
    static int FindHostLine(const QByteArray &knownHosts, const QString &strHost, int nPort,
                            const QString &strKeyType = QString());

    // The line that records a key for the host: "name type base64".
    static QByteArray KnownHostsLine(const QString &strHost, int nPort, const QString &strKeyType,
                                     const QByteArray &keyBlob);
};
