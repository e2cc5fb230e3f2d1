#include "core/app/PortDevice.h"

#include "core/app/MsgINISupp.h"
#include "core/link/MyCPort.h"

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string ReadLinkText(const std::string& path)
{
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    return n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string();
}

bool UserIsInGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid)
            return true;
    return false;
}

// The group whose members may use the device, when joining it is the cure.
std::string GroupToJoin(const struct stat& st)
{
    if (st.st_gid == 0 || (st.st_mode & S_IRGRP) == 0 || (st.st_mode & S_IWGRP) == 0 ||
        UserIsInGroup(st.st_gid))
        return {};
    const struct group* g = ::getgrgid(st.st_gid);
    return g && g->gr_name ? std::string(g->gr_name) : std::string();
}

} // namespace

TPortDevice DescribePortDevice(int port)
{
    TPortDevice d;
    d.Port = port;
    d.Path = ComPortDevicePath(port);
    if (d.Path.empty())
        return d;

    struct stat st;
    const bool isLink = ::lstat(d.Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (isLink)
        d.LinkTarget = ReadLinkText(d.Path);
    if (::stat(d.Path.c_str(), &st) != 0) {
        d.State = isLink && errno == ENOENT ? TPortDeviceState::BrokenLink : TPortDeviceState::Missing;
        return d;
    }
    if (!S_ISCHR(st.st_mode)) {
        d.State = TPortDeviceState::NotADevice;
        return d;
    }
    if (::access(d.Path.c_str(), R_OK | W_OK) != 0) {
        d.State = TPortDeviceState::NoPermission;
        d.Group = GroupToJoin(st);
        return d;
    }
    d.State = TPortDeviceState::Ready;
    return d;
}

std::string PortDeviceStateText(const TPortDevice& device)
{
    switch (device.State) {
    case TPortDeviceState::Ready:
        return S_PortReady;
    case TPortDeviceState::Missing:
        return S_PortMissing;
    case TPortDeviceState::BrokenLink:
        return S_PortLinkBroken;
    case TPortDeviceState::NotADevice:
        return S_PortNotDevice;
    case TPortDeviceState::NoPermission:
        return device.Group.empty() ? S_PortNoPermission : S_PortJoinGroup + device.Group;
    }
    return {};
}
