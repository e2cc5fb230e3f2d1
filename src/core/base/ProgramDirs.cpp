#include "core/base/ProgramDirs.h"

#include "core/base/FileUtil.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <sys/stat.h>

namespace {

std::string gSettingsFile;
std::string gConfigDir;
std::string gProgramDir;

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
    gProgramDir = exeDir;
}

const std::string& SettingsFileName() { return gSettingsFile; }
const std::string& ConfigDir() { return gConfigDir; }
std::string DosDevicesDir() { return gConfigDir + "dosdevices/"; }

std::string ShippedDataDir()
{
    if (gProgramDir.empty())
        return {};
    const std::filesystem::path dir = std::filesystem::path(gProgramDir + "../share/" + kProgramFileName + "/");
    return dir.lexically_normal().string();
}

std::vector<std::string> CopyMissingShippedFiles(const std::string& extension)
{
    std::vector<std::string> errors;
    const std::string from = ShippedDataDir();
    if (from.empty() || gConfigDir.empty() || from == gConfigDir)
        return errors;
    std::error_code error;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(from, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0
            && entry.is_regular_file(error))
            names.push_back(name);
    }
    for (const auto& name : names) {
        struct stat st {};
        // lstat: a dangling link of the user's counts as the user's file.
        if (::lstat((gConfigDir + name).c_str(), &st) == 0)
            continue;
        std::string content;
        if (!ReadWholeFile(from + name, content))
            errors.push_back("Unable to read " + from + name);
        else if (!WriteFileAtomic(gConfigDir + name, content))
            errors.push_back("Unable to write to " + gConfigDir + name);
    }
    return errors;
}
