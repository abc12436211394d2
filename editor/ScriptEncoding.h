#pragma once

#include <QByteArray>
#include <QStringView>

// How a script's bytes are read as characters. A file that is valid UTF-8 is UTF-8;
// any other file is 8-bit text in Windows-1252 (Latin-1 with typographic characters
// such as the euro sign in 0x80-0x9F). The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same
// number, so every byte has exactly one character and back: converting a file to
// UTF-8 and back gives every byte as it was.
class CScriptEncoding
{
public:
    enum Kind { Utf8, Windows1252 };

    static Kind Detect(const QByteArray &bytes);
    static bool IsUtf8(const QByteArray &bytes);

    static QByteArray Windows1252ToUtf8(const QByteArray &bytes);
    // Characters Windows-1252 has no byte for become '?'; *pnBadAt is the UTF-8 offset
    // of the first of them, or -1 when the conversion is exact. Bytes that are not
    // UTF-8 count as such characters too.
    static QByteArray Utf8ToWindows1252(const QByteArray &utf8, qsizetype *pnBadAt = nullptr);

    // The byte of one character, or -1 when Windows-1252 has none.
    static int ByteOf(char32_t ch);
    static char32_t CharOf(unsigned char byte);
    // The index of the first character of the text that Windows-1252 cannot hold,
    // or -1.
    static qsizetype FirstUnencodable(QStringView text);
};
