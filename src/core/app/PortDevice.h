#pragma once
// Which device a port number opens, and whether this user could open it now:
// the line under the port number in the communication settings view, so a
// technician sees at a glance why a port fails. Looking never opens the
// device (opening a serial port can raise its modem lines).

#include <string>

enum class TPortDeviceState {
    Ready,        // a character device this user may read and write
    Missing,      // nothing at the path
    BrokenLink,   // a "comN" link whose target is not there
    NotADevice,   // something that is no character device (a file, a folder)
    NoPermission, // a device this user may not read and write
};

struct TPortDevice {
    int Port = 0;
    // What "COM" + Port opens (ComPortDevicePath): the "comN" link of the
    // port folder, or /dev/ttyS<Port-1>. File-system bytes, not code page.
    std::string Path;
    // Where the link points, as written in it; empty when Path is no link.
    std::string LinkTarget;
    TPortDeviceState State = TPortDeviceState::Missing;
    // With NoPermission: the device's group, when joining it would give this
    // user access (not root's group, not a group the user is already in).
    std::string Group;
};

// port 1..255 (the settings view's range).
TPortDevice DescribePortDevice(int port);

// The state in catalogue texts (code-page bytes), e.g. "ready" or
// "no permission: add the user to the group dialout".
std::string PortDeviceStateText(const TPortDevice& device);
