#include "server/TextDecoder.h"

namespace {
// Length of the UTF-8 sequence that `lead` starts; 0 when it cannot start one.
int SequenceLength(unsigned char lead)
{
    if (lead >= 0xc2 && lead <= 0xdf)
        return 2;
    if (lead >= 0xe0 && lead <= 0xef)
        return 3;
    if (lead >= 0xf0 && lead <= 0xf4)
        return 4;
    return 0;
}

bool IsContinuation(unsigned char c)
{
    return (c & 0xc0) == 0x80;
}

// The code point of a complete sequence, or -1 for an overlong form, a surrogate or
// a value beyond Unicode.
char32_t CodePoint(const unsigned char *p, int n)
{
    char32_t cp = 0;
    if (n == 2)
        cp = char32_t(p[0] & 0x1f) << 6 | char32_t(p[1] & 0x3f);
    else if (n == 3)
        cp = char32_t(p[0] & 0x0f) << 12 | char32_t(p[1] & 0x3f) << 6 | char32_t(p[2] & 0x3f);
    else
        cp = char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3f) << 12 | char32_t(p[2] & 0x3f) << 6
             | char32_t(p[3] & 0x3f);
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || (cp >= 0xd800 && cp <= 0xdfff) || cp > 0x10ffff)
        return char32_t(-1);
    return cp;
}
}

QString CTextDecoder::Decode(const QByteArray &block)
{
    const QByteArray bytes = m_baPending.isEmpty() ? block : m_baPending + block;
    m_baPending.clear();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    QString out;
    out.reserve(size);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            out.append(QChar(c));
            ++i;
            continue;
        }
        const int n = SequenceLength(c);
        int have = 1;
        while (n > 0 && have < n && i + have < size && IsContinuation(p[i + have]))
            ++have;
        if (n > 0 && have < n && i + have == size) {
            // Perhaps the rest comes with the next block.
            m_baPending = bytes.mid(i);
            break;
        }
        const char32_t cp = n > 0 && have == n ? CodePoint(p + i, n) : char32_t(-1);
        if (cp == char32_t(-1)) {
            out.append(QChar(c));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar::highSurrogate(cp));
            out.append(QChar::lowSurrogate(cp));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += n;
    }
    return out;
}

QString CTextDecoder::Flush()
{
    const QString out = QString::fromLatin1(m_baPending);
    m_baPending.clear();
    return out;
}
