// What a client can send Run in Browser's server: the bytes are fed in blocks as the
// network might deliver them (the first byte picks the block size). A complete request
// must hold exactly the body its length names.
#include "run/HttpRequestParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t blockSize = size_t(data[0] % 64) + 1;
    ++data;
    --size;
    CHttpRequestParser parser;
    for (size_t pos = 0; pos < size; pos += blockSize) {
        const size_t n = pos + blockSize <= size ? blockSize : size - pos;
        if (parser.Feed(QByteArray(reinterpret_cast<const char *>(data + pos), qsizetype(n)))
            != CHttpRequestParser::State::Incomplete)
            break;
    }
    if (parser.GetState() == CHttpRequestParser::State::Complete) {
        const QByteArray length = parser.Header("Content-Length");
        if (parser.m_baMethod.isEmpty() || parser.m_baTarget.isEmpty()
            || (length.isEmpty() ? !parser.m_baBody.isEmpty() : parser.m_baBody.size() != length.toLongLong()))
            std::abort();
    }
    if (parser.GetState() == CHttpRequestParser::State::Error && parser.m_nErrorStatus < 400)
        std::abort();
    return 0;
}
