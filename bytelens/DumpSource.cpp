#include "bytelens/DumpSource.h"

#include "bytelens/DumpListing.h"

#include <algorithm>

namespace {

// Windows-1252 in 0x80..0x9F; the codes it leaves undefined keep their own value.
const char16_t kAnsi80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                              0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::unique_ptr<CDumpSource> CDumpSource::Open(const QString &strPath, QString *pstrError)
{
    std::unique_ptr<CDumpSource> source(new CDumpSource);
    source->m_file.setFileName(strPath);
    if (!source->m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (pstrError)
            *pstrError = source->m_file.errorString();
        return nullptr;
    }
    // A stream, or a file that says it is empty but may not be (the files of /proc),
    // is read whole.
    if (source->m_file.isSequential() || source->m_file.size() == 0) {
        source->m_bInMemory = true;
        QByteArray block(kBlockSize, Qt::Uninitialized);
        for (;;) {
            const qint64 n = source->m_file.read(block.data(), block.size());
            if (n < 0) {
                source->m_strError = source->m_file.errorString();
                break;
            }
            if (n == 0)
                break;
            if (source->m_baBytes.size() + n > kMaxStream) {
                source->m_strError = QStringLiteral("The stream is longer than %1 MB; only its start is listed.")
                                         .arg(kMaxStream >> 20);
                break;
            }
            source->m_baBytes.append(block.constData(), n);
        }
        source->m_file.close();
        source->m_nSize = uint64_t(source->m_baBytes.size());
    } else {
        source->m_nSize = uint64_t(source->m_file.size());
        // A read error shows when the file is dumped, not later while scrolling.
        if (source->m_nSize)
            source->LoadBlock(0);
    }
    return source;
}

std::unique_ptr<CDumpSource> CDumpSource::FromBytes(const QByteArray &bytes)
{
    std::unique_ptr<CDumpSource> source(new CDumpSource);
    source->m_bInMemory = true;
    source->m_baBytes = bytes;
    source->m_nSize = uint64_t(bytes.size());
    return source;
}

uint64_t CDumpSource::LineCount() const { return DumpListing::LineCount(m_nSize); }

bool CDumpSource::LoadBlock(uint64_t nBlock)
{
    if (int64_t(nBlock) == m_nBlock)
        return true;
    m_nBlock = -1;
    m_baBlock.resize(kBlockSize);
    const qint64 n = m_file.seek(qint64(nBlock) * kBlockSize) ? m_file.read(m_baBlock.data(), kBlockSize) : -1;
    if (n < 0) {
        if (m_strError.isEmpty())
            m_strError = m_file.errorString();
        m_baBlock.clear();
        return false;
    }
    m_baBlock.resize(n);
    m_nBlock = int64_t(nBlock);
    return true;
}

int CDumpSource::ReadLine(uint64_t nLine, unsigned char *out)
{
    const uint64_t pos = nLine * DumpListing::kBytesPerLine;
    if (pos >= m_nSize)
        return 0;
    const int wanted = int(std::min<uint64_t>(DumpListing::kBytesPerLine, m_nSize - pos));
    if (m_bInMemory) {
        std::copy_n(m_baBytes.constData() + pos, wanted, reinterpret_cast<char *>(out));
        return wanted;
    }
    // Lines never straddle a block, as the block size is a multiple of sixteen.
    static_assert(kBlockSize % DumpListing::kBytesPerLine == 0);
    if (!LoadBlock(pos / kBlockSize))
        return 0;
    const qsizetype inBlock = qsizetype(pos % kBlockSize);
    const int got = int(std::clamp<qsizetype>(m_baBlock.size() - inBlock, 0, wanted));
    std::copy_n(m_baBlock.constData() + inBlock, got, reinterpret_cast<char *>(out));
    return got;
}

QByteArray CDumpSource::Line(uint64_t nLine)
{
    if (nLine >= LineCount())
        return QByteArray();
    unsigned char bytes[DumpListing::kBytesPerLine];
    const int n = ReadLine(nLine, bytes);
    char buffer[DumpListing::LineCapacity()];
    const size_t len = DumpListing::FormatLine(buffer, nLine * DumpListing::kBytesPerLine, bytes, n);
    return QByteArray(buffer, qsizetype(len) - 2);
}

int CDumpSource::LineLength(uint64_t nLine) const
{
    if (nLine >= LineCount())
        return 0;
    uint64_t offset = nLine * DumpListing::kBytesPerLine;
    int digits = 1;
    while (offset >= 10) {
        offset /= 10;
        ++digits;
    }
    const uint64_t pos = nLine * DumpListing::kBytesPerLine;
    const int n = int(std::min<uint64_t>(DumpListing::kBytesPerLine, m_nSize - pos));
    return std::max(digits, 6) + 2 + DumpListing::kHexWidth + 2 + n;
}

QByteArray CDumpSource::Text(uint64_t nFromLine, int nFromCol, uint64_t nToLine, int nToCol)
{
    QByteArray text;
    for (uint64_t line = nFromLine; line <= nToLine && line < LineCount(); ++line) {
        QByteArray bytes = Line(line);
        const int from = line == nFromLine ? std::clamp(nFromCol, 0, int(bytes.size())) : 0;
        const int to = line == nToLine ? std::clamp(nToCol, from, int(bytes.size())) : int(bytes.size());
        text.append(bytes.constData() + from, to - from);
        if (line != nToLine)
            text.append("\r\n", 2);
    }
    return text;
}

QString CDumpSource::ToDisplay(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kAnsi80[b - 0x80]) : QChar(b);
    }
    return text;
}
