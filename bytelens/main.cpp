#include "bytelens/BytelensApp.h"

int main(int argc, char *argv[])
{
    int exitCode = 0;
    if (CBytelensApp::RunWithoutWindow(argc, argv, exitCode))
        return exitCode;
    CBytelensApp app(argc, argv);
    return app.InitInstance();
}
