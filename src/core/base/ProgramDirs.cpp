#include "core/base/ProgramDirs.h"

#include "core/base/FileUtil.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <sys/stat.h>

namespace {

std::string gSettingsFile;
std::string gConfigDir;

std::string UserConfigDir()
{
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    else
        base = "/tmp";
    if (base.back() != '/')
        base += '/';
    return base + kProgramFileName + "/";
}

} // namespace

const std::string& OwnExecutablePath(const char* argv0)
{
    static const std::string path = [argv0] {
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error)
            return self.string();
        return std::filesystem::absolute(argv0 ? argv0 : kProgramFileName, error).string();
    }();
    return path;
}

void InitProgramDirs(const std::string& programPath)
{
    const std::string exeDir = ExtractFilePath(programPath);
    const std::string iniName = ExtractFileName(ChangeFileExt(programPath, ".ini"));
    if (FolderIsWritable(exeDir)) {
        gConfigDir = exeDir;
    } else {
        gConfigDir = UserConfigDir();
        ::mkdir(ExtractFilePath(gConfigDir.substr(0, gConfigDir.size() - 1)).c_str(), 0755);
        ::mkdir(gConfigDir.c_str(), 0755);
    }
    gSettingsFile = gConfigDir + iniName;
}

const std::string& SettingsFileName() { return gSettingsFile; }
const std::string& ConfigDir() { return gConfigDir; }
std::string DosDevicesDir() { return gConfigDir + "dosdevices/"; }
