// The message parser over any error output: each message names a file and a line
// above 0, lies within the text's lines in order without overlapping, and its text
// starts with its first line, which the cheap test of the output pane lets through.
#include "framework/FileLineParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = text.split(QLatin1Char('\n'));
    int previousLast = -1;
    QList<CFileLineMessage> messages = CFileLineParser().Parse(lines);
    for (const CFileLineMessage &m : messages) {
        if (m.strFile.isEmpty() || m.nLine < 1 || m.nFirstLine <= previousLast || m.nLastLine < m.nFirstLine
            || m.nLastLine >= lines.size() || m.strPath != m.strFile)
            std::abort();
        if (!lines[m.nFirstLine].startsWith(m.strText.section(QLatin1Char('\n'), 0, 0)))
            std::abort();
        const QByteArray first = lines[m.nFirstLine].toUtf8();
        if (!CFileLineParser::MayHoldMessage(first.constData(), first.size()))
            std::abort();
        previousLast = m.nLastLine;
    }
    CFileLineParser::MarkFatalEnd(messages);
    return 0;
}
