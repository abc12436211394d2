#pragma once

#include <QByteArray>

// The byte rules of Convert to DOS and Convert to UNIX.
class CLineEndings
{
public:
    // Every LF becomes CR LF, whatever stands before it (CR LF turns into CR CR LF).
    static QByteArray ToDos(const QByteArray &text);
    // Every CR LF pair, scanning from the start, becomes LF; a CR not followed by LF
    // stays.
    static QByteArray ToUnix(const QByteArray &text);
};
