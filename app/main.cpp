#include "app/KestrelApp.h"

int main(int argc, char *argv[])
{
    CKestrelApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
