// The simulator seen from the line: a bare client of its own speaks to it
// over the real pty, byte by byte, without any of the tool's link code.

#include "ecrsim/EcrSim.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace ecrsim;

namespace {

const std::string kEsc2 = "\x1b\x1b";

std::string Upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TPkt {
    int Frame = -1;
    char Type = 0;
    std::string Data;
    bool CrcOk = false;
};

// The tool's side reduced to what the tests need.
class TClient {
public:
    explicit TClient(const std::string& path, bool clearExclusive = true) : clearExclusive_(clearExclusive)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ >= 0) {
            ::ioctl(fd_, TIOCEXCL);
            termios t{};
            ::tcgetattr(fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~TClient()
    {
        if (fd_ >= 0) {
            if (clearExclusive_)
                ::ioctl(fd_, TIOCNXCL);
            ::close(fd_);
        }
    }
    bool Ok() const { return fd_ >= 0; }

    void Send(const std::string& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Everything that arrives until the line has been quiet for quietMs.
    std::string ReadQuiet(int quietMs) { return ReadReply(quietMs, quietMs); }

    // A reply expected to come: up to firstMs for its first byte (a loaded
    // machine may be slow to schedule the simulator), then until quiet.
    std::string ReadReply(int quietMs = 300, int firstMs = 3000)
    {
        std::string out;
        char buf[4096];
        while (true) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, out.empty() ? firstMs : quietMs) <= 0)
                return out;
            ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0)
                return out;
            out.append(buf, size_t(n));
        }
    }

    // One packet, read the way the tool reads: ESC, bytes below 0x20 skipped,
    // header, data, CRC in either case.
    std::optional<TPkt> ReadPacket(int timeoutMs = 2000)
    {
        int64_t end = NowMs() + timeoutMs;
        int c;
        do {
            c = Byte(end);
            if (c < 0)
                return std::nullopt;
        } while (c != 0x1b);
        do {
            c = Byte(end);
            if (c < 0)
                return std::nullopt;
        } while (c < 0x20);
        std::string hdr(1, char(c));
        for (int i = 0; i < 5; ++i) {
            if ((c = Byte(end)) < 0)
                return std::nullopt;
            hdr += char(c);
        }
        TPkt p;
        p.Frame = int(std::stoul(hdr.substr(0, 1), nullptr, 16));
        p.Type = hdr[1];
        size_t len = std::stoul(hdr.substr(2, 4), nullptr, 16);
        for (size_t i = 0; i < len; ++i) {
            if ((c = Byte(end)) < 0)
                return std::nullopt;
            p.Data += char(c);
        }
        std::string crc;
        for (int i = 0; i < 4; ++i) {
            if ((c = Byte(end)) < 0)
                return std::nullopt;
            crc += char(c);
        }
        p.CrcOk = std::stoul(crc, nullptr, 16) == Crc16(hdr + p.Data);
        return p;
    }

    TPkt Exchange(int frame, char type, const std::string& data)
    {
        Send(EncodePacket(frame, type, data));
        auto p = ReadPacket();
        return p ? *p : TPkt{};
    }

    // A whole command as the tool runs it: S or R + P/Q chunks of 512, then O
    // until S or Q. Returns the reply data, or "<L:text>" on a refusal.
    std::string Transact(const std::string& line, const std::string& data = "")
    {
        TPkt r = Exchange(NextSeq(), data.empty() ? 'S' : 'R', line);
        if (r.Type == 'L')
            return "<L:" + r.Data + ">";
        if (!data.empty()) {
            for (size_t pos = 0; pos < data.size(); pos += 512) {
                bool last = pos + 512 >= data.size();
                r = Exchange(NextSeq(), last ? 'Q' : 'P', data.substr(pos, 512));
                if (r.Type == 'L')
                    return "<L:" + r.Data + ">";
            }
        }
        std::string out = r.Data;
        while (r.Type != 'S' && r.Type != 'Q') {
            r = Exchange(NextSeq(), 'O', "");
            if (r.Type == 0)
                return "<no reply>";
            out += r.Data;
        }
        return out;
    }

    int Exclusive() const
    {
        int excl = -1;
        ::ioctl(fd_, TIOCGEXCL, &excl);
        return excl;
    }

    int NextSeq()
    {
        seq_ = seq_ % 15 + 1;
        return seq_;
    }

private:
    int Byte(int64_t end)
    {
        int left = int(end - NowMs());
        if (left < 0)
            return -1;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            return -1;
        unsigned char b;
        return ::read(fd_, &b, 1) == 1 ? b : -1;
    }

    int fd_ = -1;
    int seq_ = 0;
    bool clearExclusive_ = true;
};

class EcrSimTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.Start()) << sim.Error(); }
    TEcrSim sim;
};

} // namespace

TEST(EcrSimPacket, ChecksumAndLayout)
{
    EXPECT_EQ(Crc16("123456789"), 0xFEE8);
    EXPECT_EQ(EncodePacket(1, 'S', "ping 111"), kEsc2 + "1S0008ping 111CCC2");
    EXPECT_EQ(EncodePacket(2, 'O', ""), kEsc2 + "2O00008FF1");
    auto parts = SplitReply(std::string(1025, 'x'), 512);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(std::string() + parts[0].Type + parts[1].Type + parts[2].Type, "PPQ");
    EXPECT_EQ(parts[2].Data.size(), 1u);
    EXPECT_EQ(SplitReply("", 512).front().Type, 'S');
}

TEST_F(EcrSimTest, UnlockAnswers)
{
    for (std::string answer : {"UNLOCKED\r\n", "error", "", "HELLO"}) {
        sim.SetUnlockAnswer(answer);
        TClient c(sim.DevicePath());
        ASSERT_TRUE(c.Ok());
        c.Send("\r\nkteviz7u\r\n");
        EXPECT_EQ(answer.empty() ? c.ReadQuiet(300) : c.ReadReply(), answer);
    }
    EXPECT_EQ(sim.UnlockCount(), 4);
}

TEST_F(EcrSimTest, PingPacketBytesAndLog)
{
    TClient c(sim.DevicePath());
    c.Send(EncodePacket(1, 'S', "ping 111"));
    EXPECT_EQ(c.ReadReply(), EncodePacket(1, 'S', ""));
    auto log = sim.ReceivedPackets();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Frame, '1');
    EXPECT_EQ(log[0].Type, 'S');
    EXPECT_EQ(log[0].Data, "ping 111");
    EXPECT_EQ(sim.RawReceived(), kEsc2 + "1S0008ping 111CCC2");
}

TEST_F(EcrSimTest, ReceiverAcceptsWhatTheLinkAllows)
{
    TClient c(sim.DevicePath());
    // Lower-case CRC, extra ESC and control bytes before FRAME, noise before.
    std::string pkt = EncodePacket(1, 'S', "ping 222");
    std::string lower = pkt;
    for (size_t i = lower.size() - 4; i < lower.size(); ++i)
        lower[i] = char(std::tolower(lower[i]));
    c.Send("noise" + std::string("\x1b\x1b\x1b\x01\r\n") + lower.substr(2));
    auto r = c.ReadPacket();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Frame, 1);
    EXPECT_EQ(r->Type, 'S');
    // A damaged packet is asked for again.
    std::string bad = EncodePacket(2, 'S', "ping 111");
    bad.back() = bad.back() == '0' ? '1' : '0';
    c.Send(bad);
    r = c.ReadPacket();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Type, 'N');
    EXPECT_FALSE(sim.ReceivedPackets().back().CrcOk);
}

TEST_F(EcrSimTest, NoiseOnTheLineIsSurvived)
{
    TClient c(sim.DevicePath());
    std::string noise;
    uint32_t x = 12345;
    for (int i = 0; i < 65536; ++i) {
        x = x * 1103515245 + 12345;
        noise += char(x >> 24);
    }
    // Headers that promise more than ever comes, and a bare ESC at the end.
    noise += kEsc2 + "1SFFFF" + "\x1b";
    c.Send(noise);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    c.ReadQuiet(100);
    auto r = c.Exchange(1, 'S', "ping 111");
    EXPECT_EQ(r.Type, 'S');
    EXPECT_TRUE(r.CrcOk);
    EXPECT_EQ(sim.RawReceived().size(), noise.size() + EncodePacket(1, 'S', "ping 111").size());
}

TEST_F(EcrSimTest, InfoKeysAndData)
{
    sim.SetInfo("FMIN", std::nullopt);
    TClient c(sim.DevicePath());
    EXPECT_EQ(c.Transact("info TYPE mod VER FDIN FMIN"), "TYPE=1\r\nMOD=SIM-ECR\r\nVER=1.00.0\r\nFDIN=SM00001234\r\n");
    // As the tool sends it when the ping reply left lines behind.
    sim.SetInfo("MOD", "X1");
    EXPECT_EQ(c.Transact("info MOD", "OK\r\n"), "MOD=X1\r\n");
    auto log = sim.ReceivedPackets();
    EXPECT_EQ(log[log.size() - 2].Type, 'R');
    EXPECT_EQ(log.back().Type, 'Q');
}

TEST_F(EcrSimTest, MultiPacketRequestAndReply)
{
    TClient c(sim.DevicePath());
    std::string content;
    for (int i = 0; i < 1100; ++i)
        content += char('A' + i % 26);
    content[7] = '\x1b'; // no escaping on the line
    content[8] = '\0';
    EXPECT_EQ(c.Transact("put /sd0/db0/5", content), "");
    EXPECT_EQ(sim.GetFile("/sd0/db0/5"), content);
    std::string types;
    for (const auto& p : sim.ReceivedPackets())
        types += p.Type;
    EXPECT_EQ(types, "RPPQ");

    sim.ClearLogs();
    EXPECT_EQ(c.Transact("cat /sd0/db0/5"), content);
    std::string sent;
    for (const auto& p : sim.SentPackets())
        sent += p.Type;
    EXPECT_EQ(sent, "PPQ");
    for (const auto& p : sim.SentPackets())
        EXPECT_LE(p.Data.size(), 512u);
}

TEST_F(EcrSimTest, ScriptedRepliesOfEveryType)
{
    sim.SetCommandReply("exec", TCommandReply{{{'P', "a"}, {'O', ""}, {'R', "b"}, {'Q', "c"}}, false});
    sim.SetCommandHandler([](const std::string& line, const std::string& data) -> std::optional<TCommandReply> {
        if (line == "echo")
            return TCommandReply{{{'S', "got:" + data}}, false};
        return std::nullopt;
    });
    TClient c(sim.DevicePath());
    EXPECT_EQ(c.Transact("exec"), "abc");
    EXPECT_EQ(c.Transact("echo", "xyz"), "got:xyz");
    EXPECT_EQ(c.Transact("ping 111"), ""); // the handler let it through
    EXPECT_EQ(c.Transact("frobnicate 1"), "<L:Unknown command: frobnicate>");
}

TEST_F(EcrSimTest, PagedPluListing)
{
    for (int n : {3, 1, 2, 10, 7})
        sim.PutFile("/sd0/db0/" + std::to_string(n), "plu," + std::to_string(n) + ",X\r\n");
    sim.SetPageSize(2);
    TClient c(sim.DevicePath());
    struct {
        std::string dir;
        std::string listing;
    } cases[] = {
        {"/sd0/db0/1", "1\t9\r\n2\t9\r\n"},
        {"/sd0/db0/3", "3\t9\r\n7\t9\r\n"},
        {"/sd0/db0/8", "10\t10\r\n"},
        {"/sd0/db0/11", ""},
        {"/sd0/db0/", "1\t9\r\n2\t9\r\n"},
    };
    for (const auto& tc : cases) {
        EXPECT_EQ(c.Transact("cd " + tc.dir), "") << tc.dir;
        EXPECT_EQ(c.Transact("ls"), tc.listing) << tc.dir;
    }
    // Other folders list everything; folders are marked.
    sim.PutFile("/fd0/4/alte/2", "alte,2,B\r\n");
    sim.PutFile("/fd0/4/alte/1", "alte,1,A\r\n");
    sim.PutFile("/fd0/4/alte/3", "alte,3,C\r\n");
    EXPECT_EQ(c.Transact("cd /fd0/4/alte/"), "");
    EXPECT_EQ(c.Transact("ls"), "1\t10\r\n2\t10\r\n3\t10\r\n");
    EXPECT_EQ(c.Transact("cd .."), "");
    EXPECT_EQ(c.Transact("ls"), "alte\t<DIR>\r\noper\t<DIR>\r\n");
    EXPECT_EQ(sim.ListFiles("/sd0/db0"), (std::vector<std::string>{"1", "2", "3", "7", "10"}));
}

TEST_F(EcrSimTest, FilesCashierDeletionAndErrors)
{
    TClient c(sim.DevicePath());
    const std::string cashier = "oper,3,Front\r\npass,x\r\nflg,00000004\r\n";
    EXPECT_EQ(c.Transact("put /fd0/4/oper/3", cashier), "");
    EXPECT_EQ(c.Transact("cat /fd0/4/oper/3"), cashier);
    // The empty put: a cashier goes, any other file is stored empty.
    EXPECT_EQ(c.Transact("put /fd0/4/oper/3"), "");
    EXPECT_FALSE(sim.GetFile("/fd0/4/oper/3"));
    EXPECT_EQ(c.Transact("put /fd0/4/alte/4"), "");
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/4"), "");

    EXPECT_EQ(c.Transact("cat /fd0/4/oper/3"), "<L:File not found: /fd0/4/oper/3>");
    EXPECT_EQ(c.Transact("cd /nowhere"), "<L:Directory not found: /nowhere>");
    EXPECT_EQ(c.Transact("put /nowhere/1", "x"), "<L:Cannot write file: /nowhere/1>");
    EXPECT_EQ(sim.CurrentDir(), "/");
    EXPECT_EQ(c.Transact("get other"), "<L:Unknown command: get other>");
}

TEST_F(EcrSimTest, ZregsStatusTinName)
{
    TClient c(sim.DevicePath());
    std::string x = c.Transact("get zregs");
    EXPECT_NE(x.find("<zregs>"), std::string::npos);
    EXPECT_NE(x.find("<status>1</status>"), std::string::npos);
    EXPECT_NE(x.find("<tin>123456789</tin>"), std::string::npos);
    EXPECT_NE(x.find("<name>Test Shop</name>"), std::string::npos);
    sim.SetZregs("5", std::nullopt, "A&B");
    x = c.Transact("get zregs");
    EXPECT_NE(x.find("<status>5</status>"), std::string::npos);
    EXPECT_EQ(x.find("<tin>"), std::string::npos);
    EXPECT_NE(x.find("<name>A&amp;B</name>"), std::string::npos);
    sim.SetZregsXml("<broken");
    EXPECT_EQ(c.Transact("get zregs"), "<broken");
}

TEST_F(EcrSimTest, AdvertisingLinesRoundTrip)
{
    TClient c(sim.DevicePath());
    std::string doc = "<ROWS><ROW0>Shop</ROW0>";
    for (int k = 1; k < 10; ++k)
        doc += "<ROW" + std::to_string(k) + ">line " + std::string(60, char('a' + k)) + "</ROW" + std::to_string(k) + ">";
    doc += "</ROWS>";
    ASSERT_GT(doc.size(), 512u);
    EXPECT_EQ(c.Transact("cd /fd0/1/n_snd"), "");
    EXPECT_EQ(c.Transact("ls"), "");
    EXPECT_EQ(c.Transact("put n_2snd ROWS", doc), "");
    EXPECT_EQ(c.Transact("ls"), "ROWS\t" + std::to_string(doc.size()) + "\r\n");
    EXPECT_EQ(c.Transact("cat /fd0/1/n_snd/ROWS"), doc);
}

TEST_F(EcrSimTest, ReplacingFaultsDoNotRunTheCommand)
{
    int puts = 0;
    sim.SetCommandHandler([&](const std::string& line, const std::string&) -> std::optional<TCommandReply> {
        if (line.rfind("put", 0) == 0)
            ++puts;
        return std::nullopt;
    });
    sim.QueueFault({TFaultKind::Retry, 2});
    sim.QueueFault({TFaultKind::Busy, 1, -1, "45% Writing"});
    sim.QueueFault({TFaultKind::Refuse, 1, -1, "No paper"});
    TClient c(sim.DevicePath());
    const std::string put = EncodePacket(1, 'S', "put /fd0/4/alte/9");
    std::string replies;
    for (int i = 0; i < 5; ++i) {
        c.Send(put);
        auto r = c.ReadPacket();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Frame, 1);
        replies += r->Type;
        if (r->Type == 'M') {
            EXPECT_EQ(r->Data, "45% Writing");
        }
        if (r->Type == 'L') {
            EXPECT_EQ(r->Data, "No paper");
        }
    }
    EXPECT_EQ(replies, "NNMLS");
    EXPECT_EQ(puts, 1);
    EXPECT_EQ(sim.PendingFaults(), 0u);
}

TEST_F(EcrSimTest, DamagingFaultsAnswerTheRepeatWithoutRunningAgain)
{
    int puts = 0;
    sim.SetCommandHandler([&](const std::string& line, const std::string&) -> std::optional<TCommandReply> {
        if (line.rfind("put", 0) == 0)
            ++puts;
        return std::nullopt;
    });
    TClient c(sim.DevicePath());
    const std::string put = EncodePacket(1, 'S', "put /fd0/4/alte/9");

    sim.QueueFault({TFaultKind::WrongFrame});
    c.Send(put);
    auto r = c.ReadPacket();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Frame, 2);

    sim.QueueFault({TFaultKind::BadChecksum});
    c.Send(put);
    r = c.ReadPacket();
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->CrcOk);

    sim.QueueFault({TFaultKind::Truncate, 1, 5});
    c.Send(put);
    EXPECT_EQ(c.ReadReply(), EncodePacket(1, 'S', "").substr(0, 5));

    sim.QueueFault({TFaultKind::Silence});
    c.Send(put);
    EXPECT_EQ(c.ReadQuiet(300), "");

    c.Send(put);
    r = c.ReadPacket();
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->CrcOk);
    EXPECT_EQ(r->Frame, 1);
    EXPECT_EQ(puts, 1);
    EXPECT_TRUE(sim.ReceivedPackets().back().Repeat);
}

TEST_F(EcrSimTest, CutRepliesStopAtVaryingPointsInsideThePacket)
{
    int cats = 0;
    sim.SetCommandHandler([&](const std::string& line, const std::string&) -> std::optional<TCommandReply> {
        if (line.rfind("cat", 0) == 0)
            ++cats;
        return TCommandReply{{{'S', "0123456789"}}};
    });
    TClient c(sim.DevicePath());
    const std::string cat = EncodePacket(1, 'S', "cat x");
    const std::string whole = EncodePacket(1, 'S', "0123456789");
    std::set<size_t> lengths;
    for (int i = 0; i < 12; ++i) {
        sim.QueueFault({TFaultKind::Cut});
        c.Send(cat);
        const std::string got = c.ReadReply(150);
        // SYNC and at least one more byte, never the whole packet.
        EXPECT_GE(got.size(), 3u);
        EXPECT_LT(got.size(), whole.size());
        EXPECT_EQ(got, whole.substr(0, got.size()));
        lengths.insert(got.size());
    }
    EXPECT_GT(lengths.size(), 3u);
    c.Send(cat);
    EXPECT_EQ(c.ReadReply(), whole);
    EXPECT_EQ(cats, 1);
}

TEST_F(EcrSimTest, PrefixFaultsKeepThePacketReadable)
{
    TClient c(sim.DevicePath());
    sim.QueueFault({TFaultKind::Garbage});
    sim.QueueFault({TFaultKind::ExtraEsc, 3});
    sim.QueueFault({TFaultKind::ControlBytes});
    sim.QueueFault({TFaultKind::LowerCaseChecksum});
    for (int i = 0; i < 4; ++i) {
        c.Send(EncodePacket(i + 1, 'S', "ping 111"));
        std::string raw = c.ReadReply();
        const std::string clean = EncodePacket(i + 1, 'S', "");
        EXPECT_NE(raw, clean) << i;
        // What the tool's receiver makes of it: the same packet.
        size_t start = raw.find('\x1b');
        ASSERT_NE(start, std::string::npos);
        std::string rest = raw.substr(start);
        size_t h = rest.find_first_not_of(std::string("\x1b\x01\x02\r\n", 5));
        EXPECT_EQ(rest.substr(h, 6), clean.substr(2, 6)) << i;
        EXPECT_EQ(Upper(rest.substr(h + 6)), clean.substr(8)) << i;
    }
}

TEST_F(EcrSimTest, RandomFaultsFollowTheSeed)
{
    auto run = [&](uint32_t seed) {
        sim.ClearLogs();
        sim.SetRandomFaults(0.5, seed);
        TClient c(sim.DevicePath());
        for (int i = 1; i <= 12; ++i) {
            c.Send(EncodePacket(i, 'S', "ping 111"));
            c.ReadReply(60);
        }
        std::string faults;
        for (const auto& s : sim.SentPackets())
            faults += s.Fault + ";";
        return faults;
    };
    std::string a = run(7);
    EXPECT_EQ(a, run(7));
    EXPECT_NE(a, std::string(12, ';'));
}

TEST_F(EcrSimTest, SurvivesReopenAndStartsEachConnectionAfresh)
{
    std::string big(1500, 'z');
    sim.PutFile("/sd0/db0/1", big);
    for (int round = 0; round < 4; ++round) {
        TClient c(sim.DevicePath());
        ASSERT_TRUE(c.Ok()) << round;
        c.Send("\r\nkteviz7u\r\n");
        EXPECT_EQ(c.ReadReply(), "UNLOCKED\r\n");
        // Leave a multi-part reply half read: the next connection must not
        // get its rest.
        EXPECT_EQ(c.Exchange(1, 'S', "cat /sd0/db0/1").Type, 'P');
        TPkt r = c.Exchange(2, 'O', "");
        EXPECT_EQ(r.Type, 'P') << round;
    }
    TClient c(sim.DevicePath());
    c.Send(EncodePacket(1, 'O', ""));
    auto r = c.ReadPacket();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Type, 'S');
    EXPECT_EQ(r->Data, "");
    EXPECT_GE(sim.ConnectionCount(), 4);
    EXPECT_TRUE(sim.SequenceProblems().empty());
}

TEST_F(EcrSimTest, ExclusiveFlagLeftBehindIsCleared)
{
    {
        TClient crashed(sim.DevicePath(), false);
        ASSERT_EQ(crashed.Exclusive(), 1);
        EXPECT_EQ(crashed.Transact("ping 111"), "");
    }
    // The close is seen on the simulator's thread; give it a moment.
    for (int i = 0; i < 300 && sim.ConnectionCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(sim.ConnectionCount(), 1);
    // Root opens an exclusive tty anyway; the flag itself tells.
    int fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    int excl = -1;
    ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 0);
    ::close(fd);
    TClient next(sim.DevicePath());
    ASSERT_TRUE(next.Ok());
    EXPECT_EQ(next.Transact("ping 111"), "");
}

TEST_F(EcrSimTest, SequenceProblemsAreLogged)
{
    TClient c(sim.DevicePath());
    c.Exchange(1, 'S', "ping 111");
    c.Exchange(1, 'S', "ping 111"); // a repeat, not a problem
    c.Exchange(3, 'S', "ping 111");
    EXPECT_EQ(sim.SequenceProblems(), (std::vector<std::string>{"expected 2, got 3"}));
}

TEST_F(EcrSimTest, PacingAndCommandDelay)
{
    sim.SetBaudRate(9600);
    sim.PutFile("/fd0/4/alte/1", std::string(200, 'q'));
    TClient c(sim.DevicePath());
    // About 232 bytes both ways at 960 bytes/s: at least 240 ms.
    int64_t t0 = NowMs();
    EXPECT_EQ(c.Transact("cat /fd0/4/alte/1"), std::string(200, 'q'));
    int64_t took = NowMs() - t0;
    EXPECT_GE(took, 220);
    EXPECT_LE(took, 3000);

    sim.SetBaudRate(0);
    sim.SetCommandDelay(300);
    t0 = NowMs();
    EXPECT_EQ(c.Transact("ping 111"), "");
    took = NowMs() - t0;
    EXPECT_GE(took, 280);
    EXPECT_LE(took, 3000);
}

TEST_F(EcrSimTest, RefusedPings)
{
    sim.SetRefusal("ping 111", TRefusal::Reject);
    sim.SetRefusal("ping 222", TRefusal::Silent);
    TClient c(sim.DevicePath());
    EXPECT_EQ(c.Transact("ping 111"), "<L:Refused>");
    c.Send(EncodePacket(2, 'S', "ping 222"));
    EXPECT_EQ(c.ReadQuiet(300), "");
}

TEST_F(EcrSimTest, LinkAndStateFolder)
{
    TempDir tmp;
    ASSERT_TRUE(sim.LinkAs(tmp.File("dosdevices/com7")));
    {
        TClient c(tmp.File("dosdevices/com7"));
        ASSERT_TRUE(c.Ok());
        EXPECT_EQ(c.Transact("ping 111"), "");
    }
    sim.FillSample(3);
    sim.PutFile("/fd0/4/oper/9", "x");
    std::string error;
    ASSERT_TRUE(sim.SaveState(tmp.File("state"), error)) << error;
    EXPECT_EQ(tmp.Read("state/sd0/db0/2"), *sim.GetFile("/sd0/db0/2"));
    sim.DeleteFile("/fd0/4/oper/9");
    ASSERT_TRUE(sim.SaveState(tmp.File("state"), error)) << error;
    EXPECT_EQ(::access(tmp.File("state/fd0/4/oper/9").c_str(), F_OK), -1);

    // A link to a real port is the user's: kept and refused.
    ASSERT_EQ(::symlink("/dev/ttyS4", tmp.File("dosdevices/com5").c_str()), 0);
    EXPECT_FALSE(sim.LinkAs(tmp.File("dosdevices/com5")));
    EXPECT_NE(sim.Error().find("/dev/ttyS4"), std::string::npos);
    char target[64] = {};
    EXPECT_GT(::readlink(tmp.File("dosdevices/com5").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "/dev/ttyS4");

    TEcrSim other;
    ASSERT_TRUE(other.LoadState(tmp.File("state"), error)) << error;
    EXPECT_EQ(other.AllFiles(), sim.AllFiles());
    sim.UnlinkAll();
    EXPECT_EQ(::access(tmp.File("dosdevices/com7").c_str(), F_OK), -1);
}

// The program: link, sample data, pacing off, state saved on SIGINT.
TEST(EcrSimProgram, ServesUntilSignalledAndSavesItsState)
{
    TempDir tmp;
    const std::string link = tmp.File("dev/com2");
    const std::string state = tmp.File("state");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(ECRSIM_PATH, "ecrsim", "--link", link.c_str(), "--plus", "60", "--page-size", "25", "--baud", "0",
                "--state", state.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string banner;
    char ch;
    while (banner.find('\n') == std::string::npos && ::read(out[0], &ch, 1) == 1)
        banner += ch;
    EXPECT_NE(banner.find(link), std::string::npos) << banner;
    {
        TClient c(link);
        ASSERT_TRUE(c.Ok());
        EXPECT_EQ(c.Transact("cd /sd0/db0/26"), "");
        std::string page = c.Transact("ls");
        EXPECT_EQ(page.substr(0, 3), "26\t");
        EXPECT_EQ(std::count(page.begin(), page.end(), '\n'), 25);
        EXPECT_EQ(c.Transact("put /fd0/4/alte/9", "alte,9,New\r\n"), "");
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::close(out[0]);
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
    EXPECT_EQ(tmp.Read("state/fd0/4/alte/9"), "alte,9,New\r\n");
    EXPECT_EQ(tmp.Read("state/sd0/db0/60").substr(0, 7), "plu,60,");
}
