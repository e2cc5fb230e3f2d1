#pragma once
// The serial devices of this machine and the "comN" links that name them, as
// a technician needs them when a port will not open (ecrtool ports). Looking
// never opens a device: opening a serial port can raise its modem lines.

#include <string>
#include <vector>

struct TSerialPortEntry {
    std::string Path;
    // N when "COM" + N opens this entry now (ComPortDevicePath); 0 when no
    // port number does, as for /dev/ttyS0 while a "com1" link exists.
    int Port = 0;
    bool IsLink = false;
    std::string Target;    // where a link points, as written in it
    bool Exists = false;   // the device is there (for a link: its target)
    bool Readable = false; // this user may read it
    bool Writable = false; // this user may write it
    std::string Group;     // the group that owns the device, "" when unknown
};

// The "comN" links of ComPortFolder() by number, then the devices in
// devFolder named ttyS<k>, ttyUSB<k> and ttyACM<k>, each kind by number.
std::vector<TSerialPortEntry> ListSerialPorts(const std::string& devFolder = "/dev/");
