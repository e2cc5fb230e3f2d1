#include "core/app/ConstUnit.h"
#include "gui/app/Application.h"
#include "gui/app/MainUnit.h"

int main(int argc, char** argv)
{
    // Where the settings file lives decides everything read after it.
    InitProgramLocation(OwnExecutablePath(argv[0]));
    TApplication app(argc, argv);
    TMainForm w;
    w.show();
    return app.exec();
}
