#include "core/link/PortList.h"

#include "core/link/MyCPort.h"

#include <algorithm>
#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The k of prefix + k (decimal digits only), -1 for any other name.
long NumberAfter(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 || name.size() > prefix.size() + 6)
        return -1;
    long n = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// The names in folder that are prefix + a number, by number.
std::vector<std::pair<long, std::string>> NumberedNames(const std::string& folder, const std::string& prefix)
{
    std::vector<std::pair<long, std::string>> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const long n = NumberAfter(e->d_name, prefix);
            if (n >= 0)
                names.emplace_back(n, e->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TSerialPortEntry Describe(const std::string& path)
{
    TSerialPortEntry entry;
    entry.Path = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        entry.IsLink = true;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        target.resize(n > 0 ? static_cast<size_t>(n) : 0);
        entry.Target = target;
    }
    entry.Exists = ::stat(path.c_str(), &st) == 0;
    if (entry.Exists) {
        entry.Readable = ::access(path.c_str(), R_OK) == 0;
        entry.Writable = ::access(path.c_str(), W_OK) == 0;
        if (const group* g = ::getgrgid(st.st_gid))
            entry.Group = g->gr_name;
    }
    return entry;
}

} // namespace

std::vector<TSerialPortEntry> ListSerialPorts(const std::string& devFolder)
{
    std::vector<TSerialPortEntry> entries;
    const std::string& linkFolder = ComPortFolder();
    if (!linkFolder.empty()) {
        for (const auto& [n, name] : NumberedNames(linkFolder, "com")) {
            if (n < 1 || n > 255)
                continue;
            TSerialPortEntry entry = Describe(linkFolder + name);
            entry.Port = static_cast<int>(n);
            entries.push_back(entry);
        }
    }
    for (const char* kind : { "ttyS", "ttyUSB", "ttyACM" }) {
        for (const auto& [k, name] : NumberedNames(devFolder, kind)) {
            TSerialPortEntry entry = Describe(devFolder + name);
            // Only /dev/ttyS<k> stands for a port number, and only while no
            // link takes that number.
            if (std::string(kind) == "ttyS" && k < 255 && ComPortDevicePath(static_cast<int>(k + 1)) == "/dev/" + name)
                entry.Port = static_cast<int>(k + 1);
            entries.push_back(entry);
        }
    }
    return entries;
}
