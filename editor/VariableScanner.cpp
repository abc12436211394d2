#include "editor/VariableScanner.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Bytes that keep a name going: A-Z, a-z, 0-9, '_' and the six white-space bytes.
// Bytes above 127 end a name, as they are none of these.
const std::array<bool, 256> kNameByte = [] {
    std::array<bool, 256> t{};
    for (int c = 'A'; c <= 'Z'; ++c)
        t[size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        t[size_t(c)] = true;
    for (int c = '0'; c <= '9'; ++c)
        t[size_t(c)] = true;
    for (char c : {' ', '\t', '\n', '\v', '\f', '\r', '_'})
        t[size_t(static_cast<unsigned char>(c))] = true;
    return t;
}();

} // namespace

QVector<CVariableOccurrence> CVariableScanner::Scan(const QByteArray &text, char chSigil)
{
    QVector<CVariableOccurrence> rows;
    const char *const begin = text.constData();
    const char *const end = begin + text.size();
    const char *p = begin;
    int line = 1;
    while (p < end) {
        // Between names only line feeds and the sigil matter.
        const char *sigil = static_cast<const char *>(std::memchr(p, chSigil, size_t(end - p)));
        if (!sigil) {
            break;
        }
        line += int(std::count(p, sigil, '\n'));
        const char *q = sigil + 1;
        while (q < end && (*q == chSigil || kNameByte[static_cast<unsigned char>(*q)])) {
            if (*q == '\n')
                ++line;
            ++q;
        }
        // q is the completing byte, or the end of the text, which completes a name too.
        rows.append(CVariableOccurrence{sigil - begin, q - sigil, line});
        p = q < end ? q + 1 : end;
    }
    return rows;
}
