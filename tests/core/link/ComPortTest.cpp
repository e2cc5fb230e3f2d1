// TComPort over a bare pseudo terminal: opening, exclusive use, line
// settings, the read and write time-outs, purge, and port-name resolution.

#include "core/link/MyCPort.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// The far end of a pty: the test holds the master, the port opens the slave.
class PtyFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        int slave = -1;
        char name[256] = {};
        ASSERT_EQ(::openpty(&master_, &slave, name, nullptr, nullptr), 0);
        ::close(slave);
        slavePath_ = name;
        SetComPortFolder(dir_.File("dosdevices/"));
    }
    void TearDown() override
    {
        if (master_ >= 0)
            ::close(master_);
    }
    void Send(const std::string& bytes) const
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Whatever the port wrote, waiting up to waitMs for the first byte.
    std::string Drain(int waitMs = 300) const
    {
        std::string got;
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        const auto start = Clock::now();
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
                continue;
            }
            if (!got.empty() || MsSince(start) > waitMs)
                return got;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The link's settings.
    void Configure(TComPort& port) const
    {
        port.SetPort(slavePath_);
        port.SetBaudRate(br115200);
        port.SetTimeouts(TComTimeouts {});
    }

    TempDir dir_;
    int master_ = -1;
    std::string slavePath_;
};

TEST_F(PtyFixture, OpenIsExclusiveAndTwiceIsNoOp)
{
    TComPort a;
    Configure(a);
    a.Open();
    ASSERT_TRUE(a.Connected());
    EXPECT_NO_THROW(a.Open());
    EXPECT_TRUE(a.Connected());

    TComPort b;
    Configure(b);
    try {
        b.Open();
        FAIL() << "second open succeeded";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 1);
        EXPECT_EQ(std::string(e.what()), "Unable to open com port (win error code: " + std::to_string(e.WinCode) + ")");
        EXPECT_GT(e.WinCode, 0);
    }
    EXPECT_FALSE(b.Connected());

    a.Close();
    EXPECT_FALSE(a.Connected());
    EXPECT_NO_THROW(a.Close());
    b.Open();
    EXPECT_TRUE(b.Connected());
}

TEST_F(PtyFixture, MissingDeviceRaisesCodeOne)
{
    TComPort p;
    p.SetPort(dir_.File("no-such-tty"));
    try {
        p.Open();
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 1);
        EXPECT_EQ(e.WinCode, ENOENT);
        EXPECT_EQ(std::string(e.what()), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(p.Connected());
    // Operations on a closed port raise their own codes.
    char c;
    EXPECT_THROW(p.Read(&c, 1), EComPort);
    try {
        p.BytesWaiting();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 10);
    }
}

TEST_F(PtyFixture, ErrorWithoutSystemNumberHasTextAlone)
{
    EXPECT_STREQ(EComPort(4, -1).what(), "Invalid Async parameter");
    EXPECT_STREQ(EComPort(8, 22).what(), "SetCommTimeouts failed (win error code: 22)");
}

TEST_F(PtyFixture, ExclusiveFlagDoesNotOutliveTheConnection)
{
    // A pty owner keeping the slave open is what makes a stale flag bite.
    const int keeper = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(keeper, 0);
    int excl = 0;
    {
        TComPort p;
        Configure(p);
        p.Open();
        ASSERT_EQ(::ioctl(keeper, TIOCGEXCL, &excl), 0);
        EXPECT_EQ(excl, 1);
    }
    ASSERT_EQ(::ioctl(keeper, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 0);
    ::close(keeper);
}

TEST_F(PtyFixture, RawEightBitLineWithoutFlowControl)
{
    TComPort p;
    Configure(p);
    p.Open();
    termios tio {}; // a pty master reports its slave's settings
    ASSERT_EQ(::tcgetattr(master_, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(tio.c_oflag & OPOST);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));

    // Every byte value goes through unchanged, zero and XON/XOFF included.
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    Send(all);
    std::string got(256, '\0');
    EXPECT_EQ(p.Read(&got[0], 256), 256);
    EXPECT_EQ(got, all);
    EXPECT_EQ(p.Write(all.data(), 256), 256);
    EXPECT_EQ(Drain(), all);
}

TEST_F(PtyFixture, ReadTimeOuts)
{
    TComPort p;
    Configure(p);
    p.Open();
    char buf[512];

    auto t = Clock::now();
    EXPECT_EQ(p.Read(buf, 1), 0);
    EXPECT_GE(MsSince(t), 150);
    EXPECT_LE(MsSince(t), 800);

    // The sender stops after 100 bytes: the read ends 100 ms after the last.
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Send(std::string(100, 'a'));
    });
    t = Clock::now();
    EXPECT_EQ(p.Read(buf, 512), 100);
    const long took = MsSince(t);
    sender.join();
    EXPECT_GE(took, 130);
    EXPECT_LE(took, 900);

    // A read whose count is there returns at once: a long interval shows it.
    TComTimeouts slow;
    slow.ReadInterval = 3000;
    slow.ReadTotalConstant = 3000;
    p.SetTimeouts(slow);
    Send("12345");
    t = Clock::now();
    EXPECT_EQ(p.Read(buf, 5), 5);
    EXPECT_LT(MsSince(t), 1500);
    EXPECT_EQ(std::string(buf, 5), "12345");
}

TEST_F(PtyFixture, PurgeBytesWaitingAndEmptyWrite)
{
    TComPort p;
    Configure(p);
    p.Open();
    Send("partial reply");
    for (int i = 0; i < 600 && p.BytesWaiting() < 13; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(p.BytesWaiting(), 13);
    char c;
    EXPECT_EQ(p.Read(&c, 1), 1);
    p.Purge(true, true);
    EXPECT_EQ(p.BytesWaiting(), 0);

    EXPECT_EQ(p.WriteText(""), 0);
    EXPECT_EQ(Drain(100), "");
    EXPECT_EQ(p.WriteText("abc"), 3);
    EXPECT_EQ(Drain(), "abc");
}

TEST_F(PtyFixture, ComNamesResolveToLinkBesideSettingsElseTtyS)
{
    EXPECT_EQ(ComPortDevicePath(7), "/dev/ttyS6");
    EXPECT_EQ(ComPortDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ComPortDevicePath("com255"), "/dev/ttyS254");
    EXPECT_EQ(ComPortDevicePath("COM0"), "");
    EXPECT_EQ(ComPortDevicePath("COM256"), "");
    EXPECT_EQ(ComPortDevicePath("COMX"), "");
    EXPECT_EQ(ComPortDevicePath("LPT1"), "");
    EXPECT_EQ(ComPortDevicePath("/dev/pts/9"), "/dev/pts/9");

    ASSERT_EQ(::mkdir(dir_.File("dosdevices").c_str(), 0755), 0);
    const std::string link = dir_.File("dosdevices/com7");
    ASSERT_EQ(::symlink(slavePath_.c_str(), link.c_str()), 0);
    EXPECT_EQ(ComPortDevicePath(7), link);
    EXPECT_EQ(ComPortDevicePath("COM7"), link);
    EXPECT_EQ(ComPortDevicePath(8), "/dev/ttyS7");

    TComPort p;
    p.SetPort("COM7");
    p.Open();
    EXPECT_TRUE(p.Connected());
    EXPECT_EQ(p.WriteText("x"), 1);
    EXPECT_EQ(Drain(), "x");

    TComPort none;
    none.SetPort("COM0");
    EXPECT_THROW(none.Open(), EComPort);
}

} // namespace
