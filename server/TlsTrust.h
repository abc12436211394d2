#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Certificates of FTPS servers that the system's trusted certificates do not vouch for
// (self-signed, expired, issued for another name), which the user chose to trust for
// one host: kept by their SHA-256 fingerprint in the per-user settings, with the
// SHA-256 of their public key that the connection then pins.
class CTlsTrust
{
public:
    // What an FTPS server shows after AUTH TLS.
    struct Probe
    {
        QByteArray m_baCertSha256;
        // SHA-256 of the certificate's public key (SubjectPublicKeyInfo).
        QByteArray m_baKeySha256;
        // Why the checks refuse the certificate; empty when they accept it.
        QStringList m_reasons;
    };

    // Connects to an FTP server, asks for TLS (AUTH TLS) and checks its certificate
    // against the system's trusted certificates and the host name. False, with the
    // reason, when no TLS handshake came about.
    static bool ProbeServer(const QString &strHost, int nPort, int nTimeoutMs, Probe &probe, QString &strError);

    // "AB:CD:..." as certificate viewers show it.
    static QString FingerprintText(const QByteArray &sha256);
    static QString QuestionText(const QString &strHost, int nPort, const Probe &probe);
    // The question for a certificate other than the one trusted for the host before:
    // a changed certificate is no new one, and may be someone in the middle. It names
    // both fingerprints.
    static QString ChangedQuestionText(const QString &strHost, int nPort, const QByteArray &trustedCertSha256,
                                       const Probe &probe);

    // The pin (for CURLOPT_PINNEDPUBLICKEY) of the certificate trusted for the host;
    // empty when none is.
    static QByteArray TrustedPin(const QString &strHost, int nPort);
    static bool IsTrusted(const QString &strHost, int nPort, const QByteArray &certSha256);
    // The SHA-256 of the certificate trusted for the host; empty when none is.
    static QByteArray TrustedCertificate(const QString &strHost, int nPort);
    static void Trust(const QString &strHost, int nPort, const Probe &probe);
    static QByteArray PinOf(const QByteArray &keySha256);
};
