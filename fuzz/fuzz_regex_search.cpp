// The regular expression search over any bytes: matches come in order, inside the text
// and apart, the search forward finds the first of them, and replacing every match by
// itself ($&) gives back every byte, so the offsets between bytes and characters agree.
#include "editor/RegexSearch.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const kPatterns[] = {"x*", "^", "$", "\\w+", "(.)(.)?", "\\b", "[^a]+", "(?<=a)b|\\R"};
    const CRegexSearch re(QString::fromLatin1(kPatterns[data[0] % 8]), data[0] & 8, data[0] & 16);
    const QByteArray text(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QVector<CRegexSearch::Match> all = re.FindAll(text, QStringLiteral("$&"));
    QByteArray rebuilt;
    qsizetype at = 0;
    for (const CRegexSearch::Match &m : all) {
        if (m.nStart < at || m.nEnd < m.nStart || m.nEnd > text.size())
            std::abort();
        rebuilt += text.mid(at, m.nStart - at) + m.replacement;
        at = m.nEnd;
    }
    if (rebuilt + text.mid(at) != text)
        std::abort();
    const CRegexSearch::Match first = re.FindForward(text, 0, false);
    if (all.isEmpty() != !first.IsValid() || (first.IsValid() && first.nStart != all.first().nStart))
        std::abort();
    const CRegexSearch::Match last = re.FindBackward(text, text.size());
    if (last.IsValid() && (last.nStart > text.size() || last.nEnd > text.size()))
        std::abort();
    return 0;
}
