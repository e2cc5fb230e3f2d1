// The port listing on a made-up /dev and dosdevices/ folder: which entries
// are listed, in which order, which COM number reaches each, and what a
// link that points nowhere looks like.

#include "core/link/MyCPort.h"
#include "core/link/PortList.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

TEST(PortList, LinksByNumberThenEachKindOfDeviceByNumber)
{
    TempDir dir;
    std::filesystem::create_directories(dir.File("dev"));
    std::filesystem::create_directories(dir.File("dosdevices"));
    for (const char* name : { "ttyS10", "ttyS0", "ttyS2", "ttyACM1", "ttyUSB0", "ttyS", "ttySx", "console", "ttyUSB0x" })
        dir.Write(std::string("dev/") + name, "");
    const std::string usb = dir.File("dev/ttyUSB0");
    ASSERT_EQ(::symlink(usb.c_str(), dir.File("dosdevices/com12").c_str()), 0);
    ASSERT_EQ(::symlink("/nonexistent/ttyUSB9", dir.File("dosdevices/com3").c_str()), 0);
    ASSERT_EQ(::symlink(usb.c_str(), dir.File("dosdevices/com1").c_str()), 0);
    ASSERT_EQ(::symlink(usb.c_str(), dir.File("dosdevices/com0").c_str()), 0);   // no port number
    ASSERT_EQ(::symlink(usb.c_str(), dir.File("dosdevices/com256").c_str()), 0); // no port number
    ASSERT_EQ(::symlink(usb.c_str(), dir.File("dosdevices/lpt1").c_str()), 0);
    SetComPortFolder(dir.File("dosdevices/"));

    const auto entries = ListSerialPorts(dir.File("dev/"));
    SetComPortFolder("");

    struct Expected {
        std::string path;
        int port;
        std::string target;
        bool exists;
    } expected[] = {
        { dir.File("dosdevices/com1"), 1, usb, true },
        { dir.File("dosdevices/com3"), 3, "/nonexistent/ttyUSB9", false },
        { dir.File("dosdevices/com12"), 12, usb, true },
        { dir.File("dev/ttyS0"), 0, "", true },  // COM1 is the link
        { dir.File("dev/ttyS2"), 0, "", true },  // so is COM3, though its link points nowhere
        { dir.File("dev/ttyS10"), 11, "", true },
        { dir.File("dev/ttyUSB0"), 0, "", true },
        { dir.File("dev/ttyACM1"), 0, "", true },
    };
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        SCOPED_TRACE(e.Path);
        EXPECT_EQ(e.Path, expected[i].path);
        EXPECT_EQ(e.Port, expected[i].port);
        EXPECT_EQ(e.IsLink, !expected[i].target.empty());
        EXPECT_EQ(e.Target, expected[i].target);
        EXPECT_EQ(e.Exists, expected[i].exists);
        // Whoever runs the test owns the files; nothing is known of what is missing.
        EXPECT_EQ(e.Readable, expected[i].exists);
        EXPECT_EQ(e.Writable, expected[i].exists);
        EXPECT_EQ(e.Group.empty(), !expected[i].exists);
    }
}

TEST(PortList, NoLinkFolderListsTheDevicesAlone)
{
    TempDir dir;
    dir.Write("ttyS4", "");
    SetComPortFolder("");
    const auto entries = ListSerialPorts(dir.Path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Path, dir.File("ttyS4"));
    EXPECT_EQ(entries[0].Port, 5);
    EXPECT_FALSE(entries[0].IsLink);
}

} // namespace
