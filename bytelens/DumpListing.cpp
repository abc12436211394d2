#include "bytelens/DumpListing.h"

#include <QIODevice>

#include <cstring>

namespace DumpListing {

namespace {

// "00 " .. "FF ", three characters each.
struct CHexTable
{
    char cells[256][3];
    CHexTable()
    {
        static const char digits[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            cells[i][0] = digits[i >> 4];
            cells[i][1] = digits[i & 15];
            cells[i][2] = ' ';
        }
    }
};
const CHexTable g_hex;

// "%06d  ": at least six digits, all of them when the offset needs more.
char *FormatOffset(char *out, uint64_t nOffset)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + nOffset % 10);
        nOffset /= 10;
    } while (nOffset);
    for (int i = n; i < 6; ++i)
        *out++ = '0';
    while (n)
        *out++ = digits[--n];
    *out++ = ' ';
    *out++ = ' ';
    return out;
}

constexpr qint64 kBlockSize = 1 << 20;

} // namespace

size_t FormatLine(char *out, uint64_t nOffset, const unsigned char *bytes, int nBytes)
{
    char *p = FormatOffset(out, nOffset);
    for (int i = 0; i < nBytes; ++i, p += 3)
        std::memcpy(p, g_hex.cells[bytes[i]], 3);
    const int fill = (kBytesPerLine - nBytes) * 3;
    std::memset(p, ' ', size_t(fill) + 2);
    p += fill + 2;
    for (int i = 0; i < nBytes; ++i)
        *p++ = TextChar(bytes[i]);
    *p++ = '\r';
    *p++ = '\n';
    return size_t(p - out);
}

void CBuilder::Feed(const char *data, size_t nSize, QByteArray &out)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    const auto *end = bytes + nSize;
    if (m_nPending) {
        while (m_nPending < kBytesPerLine && bytes < end)
            m_pending[m_nPending++] = *bytes++;
        if (m_nPending < kBytesPerLine)
            return;
    }
    const size_t nFullLines = size_t(end - bytes) / kBytesPerLine + (m_nPending ? 1 : 0);
    if (nFullLines == 0) {
        while (bytes < end)
            m_pending[m_nPending++] = *bytes++;
        return;
    }
    const qsizetype oldSize = out.size();
    out.resize(oldSize + qsizetype(nFullLines * LineCapacity()));
    char *p = out.data() + oldSize;
    if (m_nPending) {
        p += FormatLine(p, m_nCount, m_pending, kBytesPerLine);
        m_nCount += kBytesPerLine;
        m_nPending = 0;
    }
    while (end - bytes >= kBytesPerLine) {
        p += FormatLine(p, m_nCount, bytes, kBytesPerLine);
        m_nCount += kBytesPerLine;
        bytes += kBytesPerLine;
    }
    out.resize(p - out.constData());
    while (bytes < end)
        m_pending[m_nPending++] = *bytes++;
}

void CBuilder::Finish(QByteArray &out)
{
    const qsizetype oldSize = out.size();
    out.resize(oldSize + qsizetype(LineCapacity()));
    char *p = out.data() + oldSize;
    p += FormatLine(p, m_nCount, m_pending, m_nPending);
    m_nCount += uint64_t(m_nPending);
    m_nPending = 0;
    out.resize(p - out.constData());
}

QByteArray Build(const QByteArray &bytes)
{
    QByteArray out;
    CBuilder builder;
    builder.Feed(bytes.constData(), size_t(bytes.size()), out);
    builder.Finish(out);
    return out;
}

bool StreamImpl(QIODevice &device, bool (*pfnSink)(void *, const QByteArray &), void *pContext,
                QString *pstrError)
{
    QByteArray block(kBlockSize, Qt::Uninitialized);
    QByteArray piece;
    piece.reserve(kBlockSize / kBytesPerLine * qsizetype(LineCapacity()) + qsizetype(LineCapacity()));
    CBuilder builder;
    for (;;) {
        const qint64 n = device.read(block.data(), kBlockSize);
        if (n < 0) {
            if (pstrError)
                *pstrError = device.errorString();
            return false;
        }
        if (n == 0)
            break;
        builder.Feed(block.constData(), size_t(n), piece);
        if (!piece.isEmpty()) {
            if (!pfnSink(pContext, piece))
                return false;
            piece.resize(0);
        }
    }
    builder.Finish(piece);
    return pfnSink(pContext, piece);
}

} // namespace DumpListing
