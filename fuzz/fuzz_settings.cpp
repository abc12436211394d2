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
    // A value can't hold a line break (any of the thirty, a carriage return too, which
    // the reader takes as part of a line end): the writer would split it.
    const QByteArray text = CSettingsFile::Format(settings);
    if (text.count('\n') != 30 || text.count('\r') != text.count("\r\n") || text.count("\r\n") % 30 != 0)
        return 0;
    CSettings back;
    CSettingsFile::Parse(text, back);
    if (back.FTP_PORT_NUMBER != settings.FTP_PORT_NUMBER || back.SERVER_PORT_NUMBER != settings.SERVER_PORT_NUMBER
        || back.AUTO_INDENT != settings.AUTO_INDENT || back.TAB_SIZE != settings.TAB_SIZE)
        abort();
    return 0;
}
