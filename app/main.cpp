#include "app/CommandLine.h"
#include "app/KestrelApp.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Answered before any application object exists, so they need no display.
    int exitCode = 0;
    if (CCommandLine::RunWithoutWindow(argc, argv, stdout, exitCode))
        return exitCode;
    // The browser preview's engine, loaded later, needs this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CKestrelApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    // For the start-up benchmark: leave as soon as the event loop is idle.
    if (qEnvironmentVariableIsSet("KESTREL_EXIT_WHEN_IDLE"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
