#include "server/TlsTrust.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QSslCertificate>
#include <QSslError>
#include <QSslKey>
#include <QSslSocket>

namespace {

const char kGroup[] = "TrustedCertificates";

QString KeyOf(const QString &strHost, int nPort)
{
    // '/' and '\' would make groups of QSettings keys.
    QString host = strHost;
    host.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QStringLiteral("%1 port %2").arg(host).arg(nPort);
}

// Reads one FTP reply (the last line of a multi-line one) within the time left.
bool ReadReply(QSslSocket &socket, int nTimeoutMs, QByteArray &reply)
{
    QByteArray line;
    for (;;) {
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(nTimeoutMs))
                return false;
        }
        line = socket.readLine();
        // "123-" opens a multi-line reply that "123 " ends.
        if (line.size() >= 4 && line[3] == ' ')
            break;
        if (line.size() < 4 || line[3] != '-')
            break;
    }
    reply = line.trimmed();
    return true;
}

} // namespace

bool CTlsTrust::ProbeServer(const QString &strHost, int nPort, int nTimeoutMs, Probe &probe, QString &strError)
{
    QSslSocket socket;
    socket.setPeerVerifyName(strHost);
    socket.connectToHost(strHost, quint16(nPort));
    if (!socket.waitForConnected(nTimeoutMs)) {
        strError = socket.errorString();
        return false;
    }
    QByteArray reply;
    if (!ReadReply(socket, nTimeoutMs, reply) || !reply.startsWith("220")) {
        strError = QStringLiteral("The server did not greet as an FTP server.");
        return false;
    }
    socket.write("AUTH TLS\r\n");
    if (!ReadReply(socket, nTimeoutMs, reply) || !reply.startsWith("234")) {
        strError = QStringLiteral("The server does not offer TLS: %1").arg(QString::fromLatin1(reply));
        return false;
    }
    // The errors are read after the handshake rather than ending it: they are what
    // the user is told.
    socket.ignoreSslErrors();
    socket.startClientEncryption();
    if (!socket.waitForEncrypted(nTimeoutMs)) {
        strError = socket.errorString();
        return false;
    }
    const QSslCertificate cert = socket.peerCertificate();
    probe.m_baCertSha256 = cert.digest(QCryptographicHash::Sha256);
    probe.m_baKeySha256 = QCryptographicHash::hash(cert.publicKey().toDer(), QCryptographicHash::Sha256);
    probe.m_reasons.clear();
    for (const QSslError &e : socket.sslHandshakeErrors()) {
        QString reason;
        switch (e.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
            reason = QStringLiteral("it is self-signed: no authority the system trusts vouches for it");
            break;
        case QSslError::CertificateExpired:
            reason = QStringLiteral("it expired on %1").arg(cert.expiryDate().toString(Qt::ISODate));
            break;
        case QSslError::CertificateNotYetValid:
            reason = QStringLiteral("it is valid only from %1").arg(cert.effectiveDate().toString(Qt::ISODate));
            break;
        case QSslError::HostNameMismatch: {
            QStringList names = cert.subjectInfo(QSslCertificate::CommonName);
            for (const QString &n : cert.subjectAlternativeNames())
                if (!names.contains(n))
                    names << n;
            reason = QStringLiteral("it was issued for another name (%1), not for %2")
                         .arg(names.join(QStringLiteral(", ")), strHost);
            break;
        }
        default:
            reason = e.errorString();
            break;
        }
        if (!probe.m_reasons.contains(reason))
            probe.m_reasons << reason;
    }
    socket.abort();
    return true;
}

QString CTlsTrust::FingerprintText(const QByteArray &sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}

QString CTlsTrust::QuestionText(const QString &strHost, int nPort, const Probe &probe)
{
    return QStringLiteral("The certificate of %1 (port %2) cannot be verified:\n%3.\n\n"
                          "Its SHA-256 fingerprint is\n%4\n\n"
                          "Check the fingerprint with the server's administrator. Trust this certificate "
                          "for %1 from now on?")
        .arg(strHost)
        .arg(nPort)
        .arg(probe.m_reasons.join(QStringLiteral(";\n")), FingerprintText(probe.m_baCertSha256));
}

QString CTlsTrust::ChangedQuestionText(const QString &strHost, int nPort, const QByteArray &trustedCertSha256,
                                       const Probe &probe)
{
    return QStringLiteral("The certificate of %1 (port %2) has changed since you trusted it, and it cannot be "
                          "verified:\n%3.\n\n"
                          "The certificate you trusted has the SHA-256 fingerprint\n%4\n"
                          "The server now shows a certificate with the SHA-256 fingerprint\n%5\n\n"
                          "Someone may be intercepting the connection. Trust the new certificate only when "
                          "the server's administrator confirms its fingerprint. Trust it for %1 from now on, "
                          "in place of the old one?")
        .arg(strHost)
        .arg(nPort)
        .arg(probe.m_reasons.join(QStringLiteral(";\n")), FingerprintText(trustedCertSha256),
             FingerprintText(probe.m_baCertSha256));
}

QByteArray CTlsTrust::PinOf(const QByteArray &keySha256) { return "sha256//" + keySha256.toBase64(); }

QByteArray CTlsTrust::TrustedPin(const QString &strHost, int nPort)
{
    QSettings settings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel"));
    const QStringList v = settings.value(QLatin1String(kGroup) + QLatin1Char('/') + KeyOf(strHost, nPort))
                              .toString()
                              .split(QLatin1Char(' '));
    if (v.size() != 2)
        return QByteArray();
    return PinOf(QByteArray::fromHex(v[1].toLatin1()));
}

bool CTlsTrust::IsTrusted(const QString &strHost, int nPort, const QByteArray &certSha256)
{
    const QByteArray trusted = TrustedCertificate(strHost, nPort);
    return !trusted.isEmpty() && trusted == certSha256;
}

QByteArray CTlsTrust::TrustedCertificate(const QString &strHost, int nPort)
{
    QSettings settings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel"));
    const QStringList v = settings.value(QLatin1String(kGroup) + QLatin1Char('/') + KeyOf(strHost, nPort))
                              .toString()
                              .split(QLatin1Char(' '));
    return v.size() == 2 ? QByteArray::fromHex(v[0].toLatin1()) : QByteArray();
}

void CTlsTrust::Trust(const QString &strHost, int nPort, const Probe &probe)
{
    QSettings settings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel"));
    settings.setValue(QLatin1String(kGroup) + QLatin1Char('/') + KeyOf(strHost, nPort),
                      QString::fromLatin1(probe.m_baCertSha256.toHex() + ' ' + probe.m_baKeySha256.toHex()));
    settings.sync();
}
