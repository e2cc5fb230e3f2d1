#include "core/app/ConstUnit.h"
#include "gui/app/Application.h"
#include "gui/app/MainUnit.h"

#include <cstdio>

int main(int argc, char** argv)
{
    // Where the settings file lives decides everything read after it.
    InitProgramLocation(OwnExecutablePath(argv[0]));
    // An installed program reads its languages from the user's folder; the
    // ones it ships are put there first, a user's own file is kept.
    for (const auto& error : CopyMissingShippedFiles(".lng"))
        std::fprintf(stderr, "morvane-tessel: %s\n", error.c_str());
    TApplication app(argc, argv);
    TMainForm w;
    w.show();
    return app.exec();
}
