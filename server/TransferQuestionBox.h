#pragma once

#include "server/TransferQuestions.h"

// The questions of a transfer, asked in message boxes captioned "Kestrel" on the GUI
// thread, whichever thread asks; the asking thread waits for the answer.
class CTransferQuestionBox : public CTransferQuestions
{
public:
    bool TrustHostKey(const QString &strText) override;
    bool AskPassphrase(const QString &strPrompt, QString &strPassphrase) override;
    bool TrustCertificate(const QString &strText) override;

    // The one the windows use.
    static CTransferQuestionBox &Instance();
};
