// The dump listing of any bytes: the same whichever way the bytes are split into
// blocks, the same as the dialog's line-by-line view, and of the expected shape.
#include "bytelens/DumpListing.h"
#include "bytelens/DumpSource.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray whole = DumpListing::Build(bytes);

    // Block sizes taken from the input itself, so the fuzzer explores the splits.
    QByteArray split;
    DumpListing::CBuilder builder;
    size_t pos = 0;
    size_t step = size ? size_t(data[0] % 37) + 1 : 1;
    while (pos < size) {
        const size_t n = std::min(step, size - pos);
        builder.Feed(bytes.constData() + pos, n, split);
        pos += n;
        step = size_t(data[pos % size] % 37) + 1;
    }
    builder.Finish(split);
    if (split != whole)
        std::abort();

    std::unique_ptr<CDumpSource> source = CDumpSource::FromBytes(bytes);
    if (source->LineCount() != size / 16 + 1)
        std::abort();
    QByteArray joined;
    for (uint64_t i = 0; i < source->LineCount(); ++i) {
        const QByteArray line = source->Line(i);
        if (line.size() != source->LineLength(i) || line.contains('\r') || line.contains('\n'))
            std::abort();
        const int nBytes = int(std::min<uint64_t>(16, size - i * 16));
        if (line.size() != 8 + 48 + 2 + nBytes)
            std::abort();
        joined += line + "\r\n";
    }
    if (joined != whole)
        std::abort();
    return 0;
}
