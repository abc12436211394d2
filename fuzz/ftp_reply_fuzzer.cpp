#include "server/FtpCommandLine.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> lines;
    int start = 0;
    while (start < bytes.size()) {
        int end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        lines << bytes.mid(start, end - start);
        start = end;
    }
    QString text;
    int code = CFtpReply::LastReply(lines, &text);
    if (code < 0 || code > 999)
        __builtin_trap();
    for (const QByteArray &line : lines) {
        QString dir;
        CFtpReply::ParsePwd(line, dir);
        CFtpReply::ProtocolOfGreeting(line);
        // A greeting shown to the user: bounded, on one line, no control characters.
        const QString shown = CFtpReply::Printable(line, 40);
        if (shown.size() > 43)
            __builtin_trap();
        for (QChar c : shown) {
            if (c.category() == QChar::Other_Control)
                __builtin_trap();
        }
    }
    const QStringList words = CFtpCommandLine::Words(QString::fromUtf8(bytes));
    if (words.size() != 5)
        __builtin_trap();
    CFtpCommandLine::Split(QString::fromUtf8(bytes));
    return 0;
}
