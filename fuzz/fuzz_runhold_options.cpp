// runhold splits the option setting it receives from the IDE; the IDE splits the same
// settings with QProcess::splitCommand. Both must give the same words for any text, or
// a console run would not run what a piped run runs.
#include "runhold/RunHold.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> mine = SplitOptions(text);

    // runhold treats only the ASCII blanks as separators; Unicode blanks are the
    // IDE's concern alone, so the comparison keeps to ASCII text.
    for (unsigned char c : text)
        if (c >= 0x80 || c == 0)
            return 0;
    QStringList theirs = QProcess::splitCommand(QString::fromLatin1(text.data(), int(text.size())));
    if (theirs.size() != int(mine.size()))
        std::abort();
    for (int i = 0; i < theirs.size(); ++i)
        if (theirs[i].toStdString() != mine[size_t(i)])
            std::abort();
    return 0;
}
