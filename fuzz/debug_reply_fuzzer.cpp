#include "debug/DebugReplyParser.h"

#include <cstddef>
#include <cstdint>

// The bytes perl's debugger sends, cut into pieces at places the input chooses (the first
// byte gives the piece size), as a socket may deliver them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int piece = 1 + data[0] % 64;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    CDebugReplyParser parser;
    QList<CDebugReplyParser::Event> events;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        events += parser.Feed(bytes.mid(at, piece));
    events += parser.Finish();
    qsizetype textBytes = 0;
    for (const CDebugReplyParser::Event &e : events) {
        switch (e.kind) {
        case CDebugReplyParser::Event::Kind::Text: {
            textBytes += e.strText.toUtf8().size();
            for (const QString &line : e.strText.split(QLatin1Char('\n'))) {
                QString sub, file;
                int n = -1;
                if (CDebugReplyParser::ParseStopLine(line, &sub, &file, &n) && (n < 0 || file.isEmpty()))
                    __builtin_trap();
            }
            break;
        }
        case CDebugReplyParser::Event::Kind::Record:
            if (e.fields.size() > bytes.size() + 1)
                __builtin_trap();
            break;
        case CDebugReplyParser::Event::Kind::Prompt:
            if (e.nLevel < 1 || e.nCommand < 0)
                __builtin_trap();
            break;
        }
    }
    // Text is never made up: at most what came in, after invalid UTF-8 was replaced
    // (three bytes for each replaced byte).
    if (textBytes > 3 * bytes.size())
        __builtin_trap();
    if (CDebugReplyParser::Unescape(bytes).size() > bytes.size())
        __builtin_trap();
    CDebugReplyParser::SplitRecord(bytes);
    return 0;
}
