#include "app/Settings.h"
#include "app/SettingsFile.h"

#include <cstdint>
#include <cstdlib>

// Whatever the file holds, reading it must not crash, and what is written back must
// read back to the same settings.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CSettings settings;
    CSettingsFile::Parse(QByteArray(reinterpret_cast<const char *>(data), int(size)), settings);
    // A value can't hold a line break; the writer would split it.
    for (QString *v : {&settings.LOCAL_PERL_EXE, &settings.VIEW_FONT, &settings.SERVER_HOST}) {
        if (v->contains(QLatin1Char('\n')) || v->contains(QLatin1Char('\r')))
            return 0;
    }
    CSettings back;
    CSettingsFile::Parse(CSettingsFile::Format(settings), back);
    if (back.FTP_PORT_NUMBER != settings.FTP_PORT_NUMBER || back.SERVER_PORT_NUMBER != settings.SERVER_PORT_NUMBER
        || back.AUTO_INDENT != settings.AUTO_INDENT || back.TAB_SIZE != settings.TAB_SIZE)
        abort();
    return 0;
}
