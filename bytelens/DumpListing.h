#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <type_traits>

class QIODevice;

// The offset / hexadecimal / text listing of a file, sixteen bytes a line:
//   "%06d  " offset, "XX " per byte (a short last line filled with blanks to 48
//   characters), two blanks, one text character per byte ("." for 0..31 and 127, the
//   byte itself otherwise), then "\r\n".
// After the last full line the next line's offset is already written, so the listing
// always ends with a line for the bytes after the last multiple of sixteen, even when
// there are none.
namespace DumpListing {

constexpr int kBytesPerLine = 16;
constexpr int kHexWidth = kBytesPerLine * 3;

// The text-column character of one byte.
inline char TextChar(unsigned char byte) { return (byte < 32 || byte == 127) ? '.' : char(byte); }

// Appends the one line of `nBytes` (0..16) bytes that starts at `nOffset`, with its
// "\r\n". Returns the number of characters written; `out` must hold LineCapacity().
size_t FormatLine(char *out, uint64_t nOffset, const unsigned char *bytes, int nBytes);
constexpr size_t LineCapacity() { return 20 + 2 + kHexWidth + 2 + kBytesPerLine + 2; }

// Number of lines of the listing of a file of `nSize` bytes.
inline uint64_t LineCount(uint64_t nSize) { return nSize / kBytesPerLine + 1; }

// Builds the listing from blocks of any size; the result does not depend on how the
// bytes were split. Appends to a caller's buffer, which the caller may drain between
// blocks, so a listing of any length can be streamed.
class CBuilder
{
public:
    void Feed(const char *data, size_t nSize, QByteArray &out);
    // The last (possibly empty) line.
    void Finish(QByteArray &out);
    uint64_t Count() const { return m_nCount; }

private:
    uint64_t m_nCount = 0;
    unsigned char m_pending[kBytesPerLine] = {};
    int m_nPending = 0;
};

// The whole listing of a byte string.
QByteArray Build(const QByteArray &bytes);

// Reads `device` to its end in large blocks and hands the listing to `sink` piece by
// piece (each piece a whole number of lines). Returns false when reading fails, with
// the device's reason in `strError`; the listing built until then has been handed over,
// without its closing line.
template <typename Sink>
bool Stream(QIODevice &device, Sink &&sink, QString *pstrError = nullptr);

bool StreamImpl(QIODevice &device, bool (*pfnSink)(void *, const QByteArray &), void *pContext,
                QString *pstrError);

template <typename Sink>
bool Stream(QIODevice &device, Sink &&sink, QString *pstrError)
{
    using Fn = std::remove_reference_t<Sink>;
    auto call = [](void *ctx, const QByteArray &piece) -> bool { return (*static_cast<Fn *>(ctx))(piece); };
    return StreamImpl(device, call, const_cast<void *>(static_cast<const void *>(&sink)), pstrError);
}

} // namespace DumpListing
