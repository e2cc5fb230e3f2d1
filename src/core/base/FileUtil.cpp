#include "core/base/FileUtil.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool WriteFileAtomic(const std::string& linkOrPath, const std::string& content)
{
    // A settings or language file may be a link the user made; the new
    // content belongs in the file it points to, and the link stays.
    std::string path = linkOrPath;
    struct stat lst {};
    if (::lstat(linkOrPath.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        if (char* real = ::realpath(linkOrPath.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    // A file marked read-only is refused even where the system would let
    // us through (root): the marking is the user's word.
    if (exists && (::access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0))
        return false;

    std::string tmp = path + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return false;
    const char* p = content.data();
    size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) { ok = false; break; }
        p += n;
        left -= static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    // Keep the permissions the user gave the old file; a new one gets the
    // usual rw-r--r-- rather than mkstemp's private mode.
    ok = ok && ::fchmod(fd, exists ? (st.st_mode & 07777) : 0644) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(tmp.c_str());
    return false;
}

bool ReadWholeFile(const std::string& path, std::string& content)
{
    content.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    // One allocation for a regular file; a large one would otherwise be
    // copied again at every doubling of the string.
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode))
        content.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        content.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

std::string ExtractFilePath(const std::string& path)
{
    auto pos = path.rfind('/');
    if (pos == std::string::npos)
        return "./";
    return path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path)
{
    auto pos = path.rfind('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

bool FolderIsWritable(const std::string& folder)
{
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && (st.st_mode & 0222) != 0
        && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}
