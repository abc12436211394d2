// The function catalogue reader over any bytes: every row it keeps must be a piece of
// one line, with a name that holds no comma, no line feed and is not empty, and the
// row's fields must stand in the input as one line held them.
#include "editor/FunctionCatalogue.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVector<CFunctionEntry> rows = CFunctionCatalogue::Parse(bytes);
    qsizetype lines = bytes.count('\n') + 1;
    if (rows.size() > lines)
        std::abort();
    for (const CFunctionEntry &e : rows) {
        if (e.baName.isEmpty() || e.baName.contains(',') || e.baName.contains('\n'))
            std::abort();
        if (e.baDescription.contains(',') || e.baDescription.contains('\n') || e.baTemplate.contains('\n'))
            std::abort();
        const bool threeFields = bytes.contains(e.baName + ',' + e.baDescription + ',' + e.baTemplate);
        const bool oneComma = e.baDescription.isEmpty() && e.baTemplate.startsWith(e.baName + ',')
                              && bytes.contains(e.baTemplate);
        if (!threeFields && !oneComma)
            std::abort();
    }
    return 0;
}
