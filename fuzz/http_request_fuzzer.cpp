// What a client can send Run in Browser's server: the bytes are fed in blocks as the
// network might deliver them (the first byte picks the block size, the second the body
// limit). A complete request must hold exactly the body its length names, never more
// than the limit; the access check and the removal of the secret from a query or a
// Cookie field must take any head the parser lets through.
#include "web/CgiWebServerAccess.h"
#include "web/HttpRequestParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t blockSize = size_t(data[0] % 64) + 1;
    const qint64 maxBody = qint64(data[1]) * 16;
    data += 2;
    size -= 2;
    CHttpRequestParser parser;
    parser.SetMaxBodyBytes(maxBody);
    for (size_t pos = 0; pos < size; pos += blockSize) {
        const size_t n = pos + blockSize <= size ? blockSize : size - pos;
        if (parser.Feed(QByteArray(reinterpret_cast<const char *>(data + pos), qsizetype(n)))
            != CHttpRequestParser::State::Incomplete)
            break;
    }
    if (parser.GetState() == CHttpRequestParser::State::Complete) {
        const QByteArray length = parser.Header("Content-Length");
        if (parser.m_baMethod.isEmpty() || parser.m_baTarget.isEmpty()
            || (length.isEmpty() ? !parser.m_baBody.isEmpty() : parser.m_baBody.size() != length.toLongLong())
            || parser.m_baBody.size() > maxBody || parser.ContentLength() != parser.m_baBody.size())
            std::abort();
    }
    if (parser.GetState() == CHttpRequestParser::State::Error && parser.m_nErrorStatus < 400)
        std::abort();
    if (parser.HeadDone()) {
        CCgiWebServerAccess access(8080);
        const CCgiWebServerAccess::Verdict verdict = access.Check(parser);
        // Nobody guesses a secret of 256 random bits.
        if (verdict == CCgiWebServerAccess::Verdict::Allowed || verdict == CCgiWebServerAccess::Verdict::AllowedByUrl)
            std::abort();
        const QByteArray query = access.QueryWithoutSecret(parser.m_baTarget);
        if (query.size() > parser.m_baTarget.size())
            std::abort();
        for (const auto &h : parser.m_headers)
            if (access.CookiesWithoutSecret(h.second).size() > h.second.size() + 2 * h.second.count(';'))
                std::abort();
    }
    return 0;
}
