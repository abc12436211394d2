#include "framework/LogFont.h"

#include <cstdint>
#include <cstdlib>

// Any VIEW_FONT value parses without crashing; a complete record formats and parses
// back to itself.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CLogFont lf;
    int fields = CLogFont::Parse(QByteArray(reinterpret_cast<const char *>(data), int(size)), lf);
    if (fields < 0 || fields > 14)
        abort();
    if (fields == 14) {
        CLogFont back;
        if (CLogFont::Parse(lf.Format().toLatin1(), back) != 14 || !(back == lf))
            abort();
    }
    return 0;
}
