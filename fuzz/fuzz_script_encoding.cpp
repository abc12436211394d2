// The script encodings over any bytes: a file is UTF-8 exactly when Qt finds it valid;
// its Windows-1252 reading is valid UTF-8 and converts back to every byte it had; and
// text that converts to Windows-1252 without a refused character comes back whole.
#include "editor/ScriptEncoding.h"

#include <QByteArrayView>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (CScriptEncoding::IsUtf8(bytes) != QByteArrayView(bytes).isValidUtf8())
        std::abort();

    const QByteArray utf8 = CScriptEncoding::Windows1252ToUtf8(bytes);
    if (!QByteArrayView(utf8).isValidUtf8())
        std::abort();
    qsizetype bad = 0;
    if (CScriptEncoding::Utf8ToWindows1252(utf8, &bad) != bytes || bad != -1)
        std::abort();

    const QByteArray ansi = CScriptEncoding::Utf8ToWindows1252(bytes, &bad);
    if (bad == -1 && CScriptEncoding::Windows1252ToUtf8(ansi) != bytes)
        std::abort();
    if (bad != -1 && (bad >= bytes.size() || ansi.size() > bytes.size()))
        std::abort();
    return 0;
}
