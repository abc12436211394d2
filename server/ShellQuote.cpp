#include "server/ShellQuote.h"

namespace {

bool IsPlainChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x80)
        // Shells give no meaning to bytes outside ASCII; only what a terminal or a
        // reader would not see plainly is quoted.
        return c.isPrint() && !c.isSpace();
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
        return true;
    switch (u) {
    case '.': case '_': case '-': case '+': case ',': case ':': case '=': case '@': case '%': case '/':
        return true;
    default:
        return false;
    }
}

bool IsControl(QChar c)
{
    const char16_t u = c.unicode();
    // Tab and line feed pass a terminal unchanged and mean nothing inside quotes.
    return (u < 0x20 && u != '\t' && u != '\n') || u == 0x7f;
}

} // namespace

bool CShellQuote::IsPlain(const QString &strWord)
{
    if (strWord.startsWith(QLatin1Char('-')))
        return false;
    for (QChar c : strWord) {
        if (!IsPlainChar(c))
            return false;
    }
    return true;
}

QString CShellQuote::Word(const QString &strWord)
{
    if (strWord.startsWith(QLatin1Char('-')))
        return Word(QStringLiteral("./") + strWord);
    if (IsPlain(strWord))
        return strWord;
    QString quoted = QStringLiteral("'");
    for (QChar c : strWord) {
        if (c == QLatin1Char('\'')) {
            quoted += QStringLiteral("'\\''");
        } else if (IsControl(c)) {
            quoted += QStringLiteral("'\"$(printf '\\%1')\"'").arg(int(c.unicode()), 3, 8, QLatin1Char('0'));
        } else {
            quoted += c;
        }
    }
    quoted += QLatin1Char('\'');
    return quoted;
}
