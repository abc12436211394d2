#include "editor/ScriptEncoding.h"

#include <array>
#include <cstring>

namespace {

// The characters of 0x80-0x9F; the undefined bytes keep their control characters.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct CUtf8Seq
{
    unsigned char nLength;
    char bytes[3];
};

const std::array<CUtf8Seq, 256> kUtf8OfByte = [] {
    std::array<CUtf8Seq, 256> table{};
    for (int b = 0; b < 256; ++b) {
        char32_t ch = CScriptEncoding::CharOf(static_cast<unsigned char>(b));
        CUtf8Seq &seq = table[size_t(b)];
        if (ch < 0x80) {
            seq.nLength = 1;
            seq.bytes[0] = char(ch);
        } else if (ch < 0x800) {
            seq.nLength = 2;
            seq.bytes[0] = char(0xC0 | (ch >> 6));
            seq.bytes[1] = char(0x80 | (ch & 0x3F));
        } else {
            seq.nLength = 3;
            seq.bytes[0] = char(0xE0 | (ch >> 12));
            seq.bytes[1] = char(0x80 | ((ch >> 6) & 0x3F));
            seq.bytes[2] = char(0x80 | (ch & 0x3F));
        }
    }
    return table;
}();

// Decodes the UTF-8 character at p; its length goes to nLength. Returns 0xFFFFFFFF
// for a byte that starts no well-formed character (its length is then 1).
char32_t DecodeUtf8(const unsigned char *p, const unsigned char *end, int &nLength)
{
    nLength = 1;
    const unsigned char b = *p;
    if (b < 0x80)
        return b;
    int extra = 0;
    char32_t ch = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        extra = 1;
        ch = b & 0x1F;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2;
        ch = b & 0x0F;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3;
        ch = b & 0x07;
        min = 0x10000;
    } else {
        return 0xFFFFFFFF;
    }
    if (end - p <= extra)
        return 0xFFFFFFFF;
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xFFFFFFFF;
        ch = (ch << 6) | (p[i] & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return 0xFFFFFFFF;
    nLength = extra + 1;
    return ch;
}

} // namespace

char32_t CScriptEncoding::CharOf(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t(byte);
}

int CScriptEncoding::ByteOf(char32_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return int(ch);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == ch)
            return 0x80 + i;
    }
    return -1;
}

namespace {

constexpr quint64 kHighBits = 0x8080808080808080ULL;

// The first byte from p on that is not ASCII, or end; eight bytes at a time while
// they are all ASCII.
inline const unsigned char *SkipAscii(const unsigned char *p, const unsigned char *end)
{
    while (end - p >= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & kHighBits)
            break;
        p += 8;
    }
    while (p < end && *p < 0x80)
        ++p;
    return p;
}

} // namespace

bool CScriptEncoding::IsUtf8(const QByteArray &bytes)
{
    // Scripts are mostly ASCII with a character beyond it here and there (a name in a
    // comment): each run of ASCII is skipped eight bytes at a time, and only the
    // characters between the runs are decoded, so a large file costs little more than
    // reading it.
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const unsigned char *const end = p + bytes.size();
    for (;;) {
        p = SkipAscii(p, end);
        if (p == end)
            return true;
        int length = 1;
        if (DecodeUtf8(p, end, length) == 0xFFFFFFFF)
            return false;
        p += length;
    }
}

CScriptEncoding::Kind CScriptEncoding::Detect(const QByteArray &bytes)
{
    return IsUtf8(bytes) ? Utf8 : Windows1252;
}

QByteArray CScriptEncoding::Windows1252ToUtf8(const QByteArray &bytes)
{
    const auto *const begin = reinterpret_cast<const unsigned char *>(bytes.constData());
    const unsigned char *const end = begin + bytes.size();
    // The size first, so the text is written once into a buffer of its own size: the
    // ASCII runs add nothing to it, and are copied whole.
    qsizetype size = bytes.size();
    for (const unsigned char *p = SkipAscii(begin, end); p < end; p = SkipAscii(p + 1, end))
        size += kUtf8OfByte[*p].nLength - 1;
    if (size == bytes.size())
        return bytes;
    QByteArray out(size, Qt::Uninitialized);
    char *dst = out.data();
    const unsigned char *p = begin;
    while (p < end) {
        const unsigned char *ascii = SkipAscii(p, end);
        if (ascii != p) {
            std::memcpy(dst, p, size_t(ascii - p));
            dst += ascii - p;
            p = ascii;
            if (p == end)
                break;
        }
        const CUtf8Seq &seq = kUtf8OfByte[*p++];
        dst[0] = seq.bytes[0];
        dst[1] = seq.bytes[1];
        if (seq.nLength > 2)
            dst[2] = seq.bytes[2];
        dst += seq.nLength;
    }
    return out;
}

QByteArray CScriptEncoding::Utf8ToWindows1252(const QByteArray &utf8, qsizetype *pnBadAt)
{
    if (pnBadAt)
        *pnBadAt = -1;
    const auto *begin = reinterpret_cast<const unsigned char *>(utf8.constData());
    const unsigned char *const end = begin + utf8.size();
    QByteArray out(utf8.size(), Qt::Uninitialized);
    char *dst = out.data();
    for (const unsigned char *p = begin; p < end;) {
        if (*p < 0x80) {
            const unsigned char *ascii = SkipAscii(p, end);
            std::memcpy(dst, p, size_t(ascii - p));
            dst += ascii - p;
            p = ascii;
            continue;
        }
        int length = 1;
        const char32_t ch = DecodeUtf8(p, end, length);
        int byte = ch == 0xFFFFFFFF ? -1 : ByteOf(ch);
        if (byte < 0) {
            if (pnBadAt && *pnBadAt < 0)
                *pnBadAt = p - begin;
            byte = '?';
        }
        *dst++ = char(byte);
        p += length;
    }
    out.truncate(dst - out.constData());
    return out;
}

qsizetype CScriptEncoding::FirstUnencodable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80)
            continue;
        if (c.isSurrogate() || ByteOf(c.unicode()) < 0)
            return i;
    }
    return -1;
}
