#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/app/PortDevice.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PortDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        RestoreBuiltInMessages();
        InitProgramLocation(dir.File("morvane-tessel"));
        mkdir(dir.File("dosdevices").c_str(), 0700);
    }
    void Link(int port, const std::string& target)
    {
        ASSERT_EQ(symlink(target.c_str(), dir.File("dosdevices/com" + std::to_string(port)).c_str()), 0);
    }
    TempDir dir;
};

// The far side of a pseudo-terminal: a character device like a serial port,
// never a host serial device.
struct Pty {
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slave = ptsname(master);
    }
    ~Pty()
    {
        if (master >= 0)
            close(master);
    }
    int master = -1;
    std::string slave;
};

} // namespace

TEST_F(PortDevice, WhatEachPortLeadsTo)
{
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    Link(3, pty.slave);
    Link(4, dir.File("absent-port"));
    dir.Write("plain-file", "");
    Link(5, dir.File("plain-file"));

    const TPortDevice ready = DescribePortDevice(3);
    EXPECT_EQ(ready.Path, dir.File("dosdevices/com3"));
    EXPECT_EQ(ready.LinkTarget, pty.slave);
    EXPECT_EQ(ready.State, TPortDeviceState::Ready);
    EXPECT_EQ(PortDeviceStateText(ready), "ready");

    const TPortDevice dangling = DescribePortDevice(4);
    EXPECT_EQ(dangling.Path, dir.File("dosdevices/com4"));
    EXPECT_EQ(dangling.LinkTarget, dir.File("absent-port"));
    EXPECT_EQ(dangling.State, TPortDeviceState::BrokenLink);
    EXPECT_EQ(PortDeviceStateText(dangling), "the link leads nowhere");

    EXPECT_EQ(DescribePortDevice(5).State, TPortDeviceState::NotADevice);
    EXPECT_EQ(PortDeviceStateText(DescribePortDevice(5)), "not a serial device");

    // No link: the numbered serial port, which this machine does not have.
    const TPortDevice missing = DescribePortDevice(200);
    EXPECT_EQ(missing.Path, "/dev/ttyS199");
    EXPECT_EQ(missing.LinkTarget, "");
    EXPECT_EQ(missing.State, TPortDeviceState::Missing);
    EXPECT_EQ(PortDeviceStateText(missing), "no such device");
}

TEST_F(PortDevice, ADeviceThisUserMayNotOpenIsReportedSo)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may open every device";
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    ASSERT_EQ(chmod(pty.slave.c_str(), 0), 0);
    Link(6, pty.slave);
    const TPortDevice d = DescribePortDevice(6);
    EXPECT_EQ(d.State, TPortDeviceState::NoPermission);
}

TEST(PortDeviceStateText, NoPermissionWithAndWithoutAGroup)
{
    RestoreBuiltInMessages();
    TPortDevice d;
    d.State = TPortDeviceState::NoPermission;
    EXPECT_EQ(PortDeviceStateText(d), "no permission");
    d.Group = "dialout";
    EXPECT_EQ(PortDeviceStateText(d), "no permission: add the user to the group dialout");
    S_PortJoinGroup = "translated ";
    EXPECT_EQ(PortDeviceStateText(d), "translated dialout") << "catalogue texts";
    RestoreBuiltInMessages();
}
