#pragma once

#include <cstdio>

// The switches of kestrel that answer without a window, so they work where there is
// no display: --help (-h) and --version (-v).
class CCommandLine
{
public:
    // True when a switch was answered on `out`; the program then ends with `nExitCode`.
    // Everything after "--" is a file name.
    static bool RunWithoutWindow(int argc, char **argv, std::FILE *out, int &nExitCode);

    static const char *Usage();
};
