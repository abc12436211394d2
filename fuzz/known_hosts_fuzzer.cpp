#include "server/HostKeyQuestion.h"

#include <QList>

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
    // The verdict on a key the file itself holds (the last base64 field of its first
    // line, so that markers and revoked lines are reached) and on bytes of its own.
    const QList<QByteArray> words = text.left(text.indexOf('\n')).simplified().split(' ');
    for (const QByteArray &blob : {QByteArray::fromBase64(words.last()), text.left(64)}) {
        for (int port : {22, 2222}) {
            const CHostKeyQuestion::Verdict v = CHostKeyQuestion::Check(text, QStringLiteral("127.0.0.1"), port, blob);
            if (v.nLine < 0 || v.nLine > lines || (v.state == CHostKeyQuestion::Verdict::Unknown) != (v.nLine == 0))
                __builtin_trap();
        }
    }
    // The same bytes taken as a key blob, as a server sends it.
    CHostKeyQuestion::KeyTypeLabel(CHostKeyQuestion::KeyTypeOfBlob(text));
    if (!CHostKeyQuestion::Fingerprint(text).startsWith(QLatin1String("SHA256:")))
        __builtin_trap();
    return 0;
}
