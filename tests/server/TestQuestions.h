#pragma once

#include "server/TransferQuestions.h"

#include <QStringList>

#include <atomic>

// Answers a transfer's questions from a script, and keeps what was asked.
class CTestQuestions : public CTransferQuestions
{
public:
    bool TrustHostKey(const QString &strText) override
    {
        m_asked << strText;
        return m_bTrustHostKey;
    }
    bool AskPassphrase(const QString &strPrompt, QString &strPassphrase) override
    {
        m_asked << strPrompt;
        if (m_passphrases.isEmpty())
            return false;
        strPassphrase = m_passphrases.takeFirst();
        return true;
    }
    bool TrustCertificate(const QString &strText) override
    {
        m_asked << strText;
        return m_bTrustCertificate;
    }

    bool m_bTrustHostKey = false;
    bool m_bTrustCertificate = false;
    // Given one after the other; none left is a Cancel.
    QStringList m_passphrases;
    QStringList m_asked;
};
