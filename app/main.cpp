#include "app/KestrelApp.h"

int main(int argc, char *argv[])
{
    // The browser preview's engine, loaded later, needs this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CKestrelApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
