#include "server/PasswordPrompt.h"

namespace {
const char16_t *const kSecretWords[] = {u"password", u"passphrase", u"passcode"};
}

bool CPasswordPrompt::IsPrompt(QStringView line)
{
    line = line.trimmed();
    const bool bColon = line.endsWith(QLatin1Char(':'));
    if (bColon)
        line.chop(1);
    for (const char16_t *word : kSecretWords) {
        const QStringView w(word);
        if (bColon ? line.contains(w, Qt::CaseInsensitive) : line.endsWith(w, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void CPasswordPrompt::Feed(QStringView text)
{
    // A carriage return starts the line anew, as on a terminal.
    const qsizetype lineEnd = qMax(text.lastIndexOf(QLatin1Char('\n')), text.lastIndexOf(QLatin1Char('\r')));
    if (lineEnd >= 0) {
        m_strLastLine = text.mid(lineEnd + 1).right(kMaxKept).toString();
        return;
    }
    m_strLastLine += text.right(kMaxKept);
    if (m_strLastLine.size() > kMaxKept)
        m_strLastLine = m_strLastLine.right(kMaxKept);
}
