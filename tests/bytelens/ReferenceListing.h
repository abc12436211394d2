#pragma once

#include <QByteArray>

#include <cctype>
#include <cstdio>

// The listing built the slow, literal way: one byte at a time, each field with the C
// runtime's formatting, to check the fast builder against.
inline QByteArray ReferenceListing(const QByteArray &bytes)
{
    QByteArray out;
    QByteArray text;
    char field[32];
    long long count = 0;
    std::snprintf(field, sizeof field, "%06lld  ", count);
    out += field;
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        ++count;
        if (std::iscntrl(b))
            text += '.';
        else
            text += char(b);
        std::snprintf(field, sizeof field, "%X ", unsigned(b));
        if (b < 16)
            out += '0';
        out += field;
        if (count % 16 == 0) {
            out += "  " + text + "\r\n";
            std::snprintf(field, sizeof field, "%06lld  ", count);
            out += field;
            text.clear();
        }
    }
    out += QByteArray(int(16 - count % 16) * 3, ' ');
    out += "  " + text + "\r\n";
    return out;
}

inline QByteArray AllByteValues()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    return bytes;
}

// A fixed pseudo-random pattern, so a failure repeats.
inline QByteArray PatternBytes(int nSize, unsigned nSeed = 12345)
{
    QByteArray bytes(nSize, Qt::Uninitialized);
    unsigned x = nSeed;
    for (int i = 0; i < nSize; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = char(x >> 16);
    }
    return bytes;
}
