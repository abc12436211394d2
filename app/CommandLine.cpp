#include "app/CommandLine.h"

#include <cstring>


const char *CCommandLine::Usage()
{
    return "Usage: kestrel [OPTION] [FILE]\n"
           "A development environment for Perl scripts and Java sources.\n"
           "Opens FILE in the editor, or starts with a new script.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n"
           "\n"
           "Qt's own options (-platform, -style, ...) are accepted as by every Qt program.\n"
           "Settings: Kestrel.cfg beside the program when that folder is writable and holds\n"
           "the program alone; otherwise $XDG_CONFIG_HOME/Kestrel/Kestrel.cfg\n"
           "(~/.config/Kestrel/Kestrel.cfg), copied from the installed default at the first start.\n";
}

bool CCommandLine::RunWithoutWindow(int argc, char **argv, std::FILE *out, int &nExitCode)
{
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            break;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(Usage(), out);
            nExitCode = 0;
            return true;
        }
        if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-v") == 0) {
            std::fputs("kestrel " KESTREL_VERSION "\n", out);
            nExitCode = 0;
            return true;
        }
    }
    return false;
}
