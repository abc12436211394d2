#include "server/HostKeyQuestion.h"

#include <QCryptographicHash>
#include <QList>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

namespace {

// A host pattern of known_hosts: "*" any run of characters, "?" one character.
bool MatchesPattern(const QByteArray &pattern, const QByteArray &name)
{
    if (!pattern.contains('*') && !pattern.contains('?'))
        return pattern.compare(name, Qt::CaseInsensitive) == 0;
    // Iterative matching with one backtrack point: linear enough for any line length.
    qsizetype p = 0, n = 0, star = -1, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || QChar::toLower(uint(uchar(pattern[p])))
                                                               == QChar::toLower(uint(uchar(name[n]))))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// "|1|salt|hash": the HMAC-SHA1 of the name under the salt.
bool MatchesHashed(const QByteArray &entry, const QByteArray &name)
{
    const QList<QByteArray> parts = entry.split('|');
    if (parts.size() != 4 || !parts[0].isEmpty() || parts[1] != "1")
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts[2]);
    const QByteArray hash = QByteArray::fromBase64(parts[3]);
    if (salt.isEmpty() || hash.isEmpty())
        return false;
    return QMessageAuthenticationCode::hash(name, salt, QCryptographicHash::Sha1) == hash;
}

// Whether the host field (comma-separated patterns) names the host.
bool HostFieldMatches(const QByteArray &field, const QByteArray &name)
{
    if (field.startsWith("|1|"))
        return MatchesHashed(field, name);
    bool matched = false;
    for (const QByteArray &entry : field.split(',')) {
        if (entry.startsWith('!')) {
            if (MatchesPattern(entry.mid(1), name))
                return false;
        } else if (!entry.isEmpty() && MatchesPattern(entry, name)) {
            matched = true;
        }
    }
    return matched;
}

QList<QByteArray> Fields(const QByteArray &line)
{
    QList<QByteArray> fields;
    for (const QByteArray &f : line.simplified().split(' '))
        if (!f.isEmpty())
            fields << f;
    return fields;
}

// Calls fn(lineNo, fields) for each line of the text that is no comment, blank or
// short line; fn returns false to stop.
template <typename Fn>
void ForEachLine(const QByteArray &knownHosts, Fn fn)
{
    int lineNo = 0;
    qsizetype start = 0;
    while (start < knownHosts.size()) {
        qsizetype end = knownHosts.indexOf('\n', start);
        if (end < 0)
            end = knownHosts.size();
        const QByteArray line = knownHosts.mid(start, end - start);
        start = end + 1;
        ++lineNo;
        const QList<QByteArray> f = Fields(line);
        if (f.size() < 3 || f[0].startsWith('#'))
            continue;
        if (!fn(lineNo, f))
            return;
    }
}

QString Where(const QString &strKnownHostsPath, int nLine)
{
    if (nLine > 0)
        return QStringLiteral("%1, line %2").arg(strKnownHostsPath).arg(nLine);
    return strKnownHostsPath;
}

QString HostAndPort(const QString &strHost, int nPort)
{
    return QStringLiteral("%1 (port %2)").arg(strHost).arg(nPort);
}

} // namespace

QString CHostKeyQuestion::Fingerprint(const QByteArray &keyBlob)
{
    QByteArray b64 = QCryptographicHash::hash(keyBlob, QCryptographicHash::Sha256)
                         .toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals);
    return QStringLiteral("SHA256:") + QString::fromLatin1(b64);
}

QString CHostKeyQuestion::KeyTypeOfBlob(const QByteArray &keyBlob)
{
    if (keyBlob.size() < 4)
        return QString();
    const quint32 len = (quint32(uchar(keyBlob[0])) << 24) | (quint32(uchar(keyBlob[1])) << 16)
                        | (quint32(uchar(keyBlob[2])) << 8) | quint32(uchar(keyBlob[3]));
    if (len == 0 || len > 64 || qsizetype(len) > keyBlob.size() - 4)
        return QString();
    const QByteArray name = keyBlob.mid(4, len);
    for (char c : name)
        if (c <= ' ' || c > '~')
            return QString();
    return QString::fromLatin1(name);
}

QString CHostKeyQuestion::KeyTypeLabel(const QString &strKeyType)
{
    if (strKeyType == QLatin1String("ssh-ed25519"))
        return QStringLiteral("ED25519");
    if (strKeyType == QLatin1String("ssh-rsa") || strKeyType.startsWith(QLatin1String("rsa-sha2-")))
        return QStringLiteral("RSA");
    if (strKeyType.startsWith(QLatin1String("ecdsa-sha2-")))
        return QStringLiteral("ECDSA");
    if (strKeyType == QLatin1String("ssh-dss"))
        return QStringLiteral("DSA");
    if (strKeyType == QLatin1String("sk-ssh-ed25519@openssh.com"))
        return QStringLiteral("ED25519-SK");
    if (strKeyType == QLatin1String("sk-ecdsa-sha2-nistp256@openssh.com"))
        return QStringLiteral("ECDSA-SK");
    return strKeyType;
}

QString CHostKeyQuestion::KnownHostsName(const QString &strHost, int nPort)
{
    if (nPort == 22 || nPort <= 0)
        return strHost;
    return QStringLiteral("[%1]:%2").arg(strHost).arg(nPort);
}

QString CHostKeyQuestion::UnknownHostText(const QString &strHost, int nPort, const QString &strKeyType,
                                          const QString &strFingerprint, const QString &strKnownHostsPath)
{
    return QStringLiteral("The server %1 is not known: no key for it is recorded in %2.\n\n"
                          "Its %3 key has the fingerprint\n%4\n\n"
                          "Check the fingerprint with the server's administrator. Connect and trust "
                          "this key from now on?")
        .arg(HostAndPort(strHost, nPort), strKnownHostsPath, KeyTypeLabel(strKeyType), strFingerprint);
}

QString CHostKeyQuestion::ChangedKeyText(const QString &strHost, int nPort, const QString &strKeyType,
                                         const QString &strFingerprint, const QString &strKnownHostsPath,
                                         int nLine)
{
    return QStringLiteral("The host key of %1 has changed. The connection was refused.\n\n"
                          "The server now shows an %2 key with the fingerprint\n%3\n"
                          "which is not the key recorded for it in %4.\n\n"
                          "Someone may be intercepting the connection, or the server's key was "
                          "replaced. If the administrator confirms a new key, remove the recorded "
                          "one from %4 and connect again.")
        .arg(HostAndPort(strHost, nPort), KeyTypeLabel(strKeyType), strFingerprint,
             Where(strKnownHostsPath, nLine));
}

QString CHostKeyQuestion::RevokedKeyText(const QString &strHost, int nPort, const QString &strKeyType,
                                         const QString &strFingerprint, const QString &strKnownHostsPath,
                                         int nLine)
{
    return QStringLiteral("The host key of %1 is marked as revoked in %4. The connection was refused.\n\n"
                          "The server shows the %2 key with the fingerprint\n%3\n"
                          "which must never be accepted again. Someone may be using a stolen key to "
                          "pose as the server. Ask the server's administrator for its new key.")
        .arg(HostAndPort(strHost, nPort), KeyTypeLabel(strKeyType), strFingerprint,
             Where(strKnownHostsPath, nLine));
}

int CHostKeyQuestion::FindHostLine(const QByteArray &knownHosts, const QString &strHost, int nPort,
                                   const QString &strKeyType)
{
    const QByteArray name = KnownHostsName(strHost, nPort).toUtf8();
    const QByteArray type = strKeyType.toLatin1();
    int found = 0;
    ForEachLine(knownHosts, [&](int lineNo, const QList<QByteArray> &f) {
        if (f[0].startsWith('@'))
            return true; // @revoked and @cert-authority lines record no host's own key
        if (!type.isEmpty() && f[1] != type)
            return true;
        if (!HostFieldMatches(f[0], name))
            return true;
        found = lineNo;
        return false;
    });
    return found;
}

CHostKeyQuestion::Verdict CHostKeyQuestion::Check(const QByteArray &knownHosts, const QString &strHost, int nPort,
                                                  const QByteArray &keyBlob)
{
    Verdict verdict;
    if (keyBlob.isEmpty())
        return verdict;
    const QByteArray name = KnownHostsName(strHost, nPort).toUtf8();
    const QString type = KeyTypeOfBlob(keyBlob);
    int known = 0, changed = 0, revoked = 0;
    ForEachLine(knownHosts, [&](int lineNo, const QList<QByteArray> &f) {
        if (f[0] == "@revoked") {
            if (f.size() >= 4 && QByteArray::fromBase64(f[3]) == keyBlob && HostFieldMatches(f[1], name)) {
                revoked = lineNo;
                return false; // nothing else counts
            }
            return true;
        }
        if (f[0].startsWith('@'))
            return true; // a CA for host certificates, or a marker of a later OpenSSH
        const QByteArray recorded = QByteArray::fromBase64(f[2]);
        if (recorded.isEmpty() || !HostFieldMatches(f[0], name))
            return true;
        if (recorded == keyBlob) {
            if (!known)
                known = lineNo;
        } else if (!changed) {
            // The type the recorded key itself names, which the line's type field
            // should repeat.
            QString recordedType = KeyTypeOfBlob(recorded);
            if (recordedType.isEmpty())
                recordedType = QString::fromLatin1(f[1]);
            if (recordedType == type)
                changed = lineNo;
        }
        return true;
    });
    if (revoked) {
        verdict.state = Verdict::Revoked;
        verdict.nLine = revoked;
    } else if (known) {
        verdict.state = Verdict::Known;
        verdict.nLine = known;
    } else if (changed) {
        verdict.state = Verdict::Changed;
        verdict.nLine = changed;
    }
    return verdict;
}

QByteArray CHostKeyQuestion::HashedName(const QString &strName, const QByteArray &salt)
{
    return "|1|" + salt.toBase64() + '|'
           + QMessageAuthenticationCode::hash(strName.toUtf8(), salt, QCryptographicHash::Sha1).toBase64();
}

QByteArray CHostKeyQuestion::KnownHostsLine(const QString &strHost, int nPort, const QString &strKeyType,
                                            const QByteArray &keyBlob, bool bHashed)
{
    const QString name = KnownHostsName(strHost, nPort);
    QByteArray field;
    if (bHashed) {
        // As long as the HMAC-SHA1 itself, as OpenSSH makes it.
        quint32 words[5];
        QRandomGenerator::system()->fillRange(words);
        field = HashedName(name, QByteArray(reinterpret_cast<const char *>(words), sizeof words));
    } else {
        field = name.toUtf8();
    }
    return field + ' ' + strKeyType.toLatin1() + ' ' + keyBlob.toBase64() + '\n';
}
