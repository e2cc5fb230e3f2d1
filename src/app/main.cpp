#include "app/Application.h"
#include "app/ConstUnit.h"
#include "app/MainUnit.h"

#include <filesystem>
#include <system_error>

namespace {

std::string ExecutablePath(const char* argv0)
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        return self.string();
    return std::filesystem::absolute(argv0, error).string();
}

} // namespace

int main(int argc, char** argv)
{
    // Where the settings file lives decides everything read after it.
    InitProgramLocation(ExecutablePath(argv[0]));
    TApplication app(argc, argv);
    TMainForm w;
    w.show();
    return app.exec();
}
