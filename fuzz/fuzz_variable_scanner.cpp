// The variable scanner over any bytes, for each sigil: rows lie inside the text, start
// with the sigil, come in text order without overlapping, and their line numbers are
// the count of line feeds before the completing character, plus one.
#include "editor/VariableScanner.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    for (char sigil : {'$', '@', '%'}) {
        qsizetype previousEnd = 0;
        for (const CVariableOccurrence &o : CVariableScanner::Scan(text, sigil)) {
            const qsizetype end = o.nStart + o.nLength;
            if (o.nStart < previousEnd || o.nLength < 1 || end > text.size() || text[o.nStart] != sigil)
                std::abort();
            const int line = 1 + int(std::count(text.constData(), text.constData() + end, '\n'));
            if (o.nLine != line)
                std::abort();
            previousEnd = end;
        }
    }
    return 0;
}
