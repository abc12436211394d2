// What a CGI script can print: its output read as a CGI response. A valid one keeps
// the body after its header block, and a document always has a type.
#include "web/CgiResponseParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray output(reinterpret_cast<const char *>(data), qsizetype(size));
    const CCgiResponseParser r = CCgiResponseParser::Parse(output);
    if (r.m_kind == CCgiResponseParser::Kind::Invalid) {
        if (r.m_strError.isEmpty())
            std::abort();
        return 0;
    }
    if (!output.endsWith(r.m_baBody) || r.m_nStatus < 100 || r.m_nStatus > 599)
        std::abort();
    if (r.m_kind == CCgiResponseParser::Kind::Document && r.m_baContentType.isEmpty())
        std::abort();
    if (r.m_kind != CCgiResponseParser::Kind::Document && r.m_baLocation.isEmpty())
        std::abort();
    return 0;
}
