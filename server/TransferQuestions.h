#pragma once

#include <QString>

// The questions a transfer connection may have to ask its user while it connects: on
// the connection's own (worker) thread, each call waits for the answer.
class CTransferQuestions
{
public:
    virtual ~CTransferQuestions() = default;
    // An SSH server whose key known_hosts does not record. True: connect, and record it.
    virtual bool TrustHostKey(const QString &strText) = 0;
    // The passphrase of a key file; false when the user would rather not give it.
    virtual bool AskPassphrase(const QString &strPrompt, QString &strPassphrase) = 0;
    // A TLS certificate that failed the checks. True: trust it for this host from now on.
    virtual bool TrustCertificate(const QString &strText) = 0;
};
