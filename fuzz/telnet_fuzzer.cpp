// What a hostile server can send the remote shell: the input is cut into blocks as the
// network might deliver them (the first byte picks the block size), each block goes
// through the telnet filter, the terminal text cleaner, the text decoder and a running
// login.
#include "server/LoginSequence.h"
#include "server/TelnetFilter.h"
#include "server/TerminalText.h"
#include "server/TextDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t blockSize = size_t(data[0] % 64) + 1;
    ++data;
    --size;

    CTelnetFilter filter;
    CTerminalText terminal;
    CTextDecoder decoder;
    qsizetype decodedBytes = 0;
    qsizetype decodedChars = 0;
    CLoginSequence login;
    login.Start("user", "password");
    login.Queue("cd /srv");

    QByteArray shownTotal;
    for (size_t at = 0; at < size; at += blockSize) {
        const size_t n = size - at < blockSize ? size - at : blockSize;
        QByteArray shown;
        QByteArray replies;
        filter.Process(reinterpret_cast<const char *>(data + at), qsizetype(n), shown, replies);
        // Answers come only in whole sequences: every one starts with IAC.
        if (!replies.isEmpty() && uint8_t(replies.at(0)) != 255)
            abort();
        // The filter never makes text: at most one shown byte per received byte.
        if (size_t(shown.size()) > n + 1)
            abort();
        QByteArray text;
        terminal.Process(shown, text);
        if (text.size() > shown.size())
            abort();
        login.OnText(text);
        shownTotal += text;
        decodedBytes += text.size();
        decodedChars += decoder.Decode(text).size();
    }
    decodedChars += decoder.Flush().size();
    // Every byte becomes one UTF-16 unit at most; none disappears except inside a
    // character of several bytes.
    if (decodedChars > decodedBytes || (decodedBytes > 0 && decodedChars == 0))
        abort();
    login.Timeout();
    login.Timeout();
    if (login.IsActive())
        abort();
    return 0;
}
