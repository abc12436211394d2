#include "server/HostKeyQuestion.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const int lines = int(text.count('\n')) + 1;
    for (int port : {22, 2222}) {
        const int line = CHostKeyQuestion::FindHostLine(text, QStringLiteral("127.0.0.1"), port);
        if (line < 0 || line > lines)
            __builtin_trap();
        CHostKeyQuestion::FindHostLine(text, QStringLiteral("host.example"), port, QStringLiteral("ssh-ed25519"));
    }
    // The same bytes taken as a key blob, as a server sends it.
    CHostKeyQuestion::KeyTypeLabel(CHostKeyQuestion::KeyTypeOfBlob(text));
    if (!CHostKeyQuestion::Fingerprint(text).startsWith(QLatin1String("SHA256:")))
        __builtin_trap();
    return 0;
}
