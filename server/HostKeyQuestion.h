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
    // The refusal of a key that an "@revoked" line names. There is no question: a
    // revoked key is never trusted again, whatever else the file says.
    static QString RevokedKeyText(const QString &strHost, int nPort, const QString &strKeyType,
                                  const QString &strFingerprint, const QString &strKnownHostsPath,
                                  int nLine);

    // What known_hosts says about the key a server shows, as OpenSSH reads the file:
    // Revoked when an "@revoked" line for the host holds the key (whatever other lines
    // say); Known when a plain line for the host holds it; Changed when a plain line
    // for the host holds another key of the same type; Unknown otherwise.
    // "@cert-authority" lines vouch for host certificates only and never for a plain
    // key, so they are skipped, as lines with markers nobody knows are.
    struct Verdict
    {
        enum State { Unknown, Known, Changed, Revoked };
        State state = Unknown;
        int nLine = 0; // the line that decided (1-based); 0 for Unknown
    };
    static Verdict Check(const QByteArray &knownHosts, const QString &strHost, int nPort,
                         const QByteArray &keyBlob);

    // The first line (1-based) of the known_hosts text that records a key for the host
    // (plain, "[host]:port", comma lists, hashed "|1|salt|hash" names, "*" and "?"
    // patterns; a "!" pattern excludes; @revoked and @cert-authority lines are skipped).
    // strKeyType, when given, asks for a line of that key type. 0 when none does.
    static int FindHostLine(const QByteArray &knownHosts, const QString &strHost, int nPort,
                            const QString &strKeyType = QString());

    // The line that records a key for the host: "name type base64". Hashed, the name
    // is given as OpenSSH's HashKnownHosts writes it, "|1|salt|HMAC-SHA1(salt, name)"
    // in base64, with a fresh random salt.
    static QByteArray KnownHostsLine(const QString &strHost, int nPort, const QString &strKeyType,
                                     const QByteArray &keyBlob, bool bHashed = false);
    // "|1|salt|hash" for the name (a KnownHostsName) under the salt.
    static QByteArray HashedName(const QString &strName, const QByteArray &salt);
};
