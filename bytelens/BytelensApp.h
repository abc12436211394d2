#pragma once

#include <QApplication>

// The dumper program. With "--dump FILE" it prints the listing and ends without a
// window; with a file name it opens the dialog with that file dumped.
class CBytelensApp : public QApplication
{
    Q_OBJECT

public:
    CBytelensApp(int &argc, char **argv);

    // Runs the dialog modally; the program ends when it closes.
    int InitInstance();

    // Handles the command-line forms that need no window. True when the program is
    // done, with its exit code in `nExitCode`.
    static bool RunWithoutWindow(int argc, char **argv, int &nExitCode);
};
