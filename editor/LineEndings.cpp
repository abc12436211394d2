#include "editor/LineEndings.h"

#include <cstring>

QByteArray CLineEndings::ToDos(const QByteArray &text)
{
    const qsizetype lf = text.count('\n');
    if (lf == 0)
        return text;
    QByteArray out;
    out.reserve(text.size() + lf);
    const char *p = text.constData();
    const char *end = p + text.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        if (!nl) {
            out.append(p, end - p);
            break;
        }
        out.append(p, nl - p);
        out.append("\r\n", 2);
        p = nl + 1;
    }
    return out;
}

QByteArray CLineEndings::ToUnix(const QByteArray &text)
{
    if (!text.contains("\r\n"))
        return text;
    QByteArray out;
    out.reserve(text.size());
    const char *p = text.constData();
    const char *end = p + text.size();
    while (p < end) {
        const char *cr = static_cast<const char *>(memchr(p, '\r', size_t(end - p)));
        if (!cr) {
            out.append(p, end - p);
            break;
        }
        out.append(p, cr - p);
        if (cr + 1 < end && cr[1] == '\n') {
            out.append('\n');
            p = cr + 2;
        } else {
            out.append('\r');
            p = cr + 1;
        }
    }
    return out;
}
