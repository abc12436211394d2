#include "server/FtpListParser.h"

#include <QTimeZone>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QDateTime now(QDate(2026, 6, 15), QTime(12, 0), QTimeZone::utc());
    const QByteArray listing(reinterpret_cast<const char *>(data), qsizetype(size));
    int skipped = 0;
    const QVector<CFtpFileEntry> entries = CFtpListParser::Parse(listing, now, &skipped);
    for (const CFtpFileEntry &e : entries) {
        // What the browser shows of every entry.
        if (e.m_strName.isEmpty() || e.m_nSize < 0)
            __builtin_trap();
        CFtpListParser::FormatSize(e);
        CFtpListParser::FormatDate(e);
    }
    return 0;
}
