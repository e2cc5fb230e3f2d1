// The line trace: how bytes and packets are shown, and a real exchange with
// the simulator as the trace file records it.

#include "core/link/LinkTrace.h"
#include "core/link/LintelCommUnit.h"
#include "support/TempDir.h"

#include "ecrsim/EcrSim.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(LinkTraceText, BytesArePrintableTextOrHex)
{
    EXPECT_EQ(TraceBytes("\r\nkteviz7u\r\n"), "\\x0D\\x0Akteviz7u\\x0D\\x0A");
    EXPECT_EQ(TraceBytes(std::string("a\\b\0\x7F\xC0~ ", 8)), "a\\\\b\\x00\\x7F\\xC0~ ");
}

TEST(LinkTraceText, PacketsAreDecoded)
{
    const std::string ping = BuildPacket(1, 'S', "ping 111");
    std::string badCrc = ping;
    badCrc.back() = '3';
    std::string lowerCrc = BuildPacket(2, 'Q', "OK");
    for (size_t i = lowerCrc.size() - 4; i < lowerCrc.size(); ++i)
        lowerCrc[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowerCrc[i])));
    struct Case {
        std::string bytes;
        std::string description;
    } cases[] = {
        { ping, "frame 1, type S, length 8, checksum CCC2 ok" },
        { "#!garbage~\x1B\x1B\x1B\x01\r\n" + ping.substr(2), "frame 1, type S, length 8, checksum CCC2 ok" },
        { badCrc, "frame 1, type S, length 8, checksum CCC3 wrong, computed CCC2" },
        { lowerCrc, "frame 2, type Q, length 2, checksum " + lowerCrc.substr(lowerCrc.size() - 4) + " ok" },
        { BuildPacket(15, 'O', ""), "frame 15, type O, length 0, checksum " + BuildPacket(15, 'O', "").substr(8) + " ok" },
        { "\x1B\x1BGS0008", "invalid header GS0008" },
        { "\x1B\x1B" "1Z0000", "invalid header 1Z0000" },
        { "\x1B\x1B" "1S00x8", "invalid header 1S00x8" },
        { ping.substr(0, ping.size() - 1), "" }, // one checksum character short
        { "\x1B\x1B" "1S00", "" },
        { "UNLOCKED\r\n", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(DescribePacket(c.bytes), c.description) << TraceBytes(c.bytes);
}

// The trace lines without their time stamps, and whether the stamps are
// milliseconds that never go back.
std::vector<std::string> TraceLines(const std::string& text, bool& stampsInOrder)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    long long last = -1;
    stampsInOrder = true;
    while (std::getline(in, line)) {
        if (line.rfind("# ", 0) == 0)
            continue;
        std::istringstream fields(line);
        long long ms = -1;
        fields >> ms;
        stampsInOrder = stampsInOrder && ms >= last && ms >= 0;
        last = ms;
        std::string rest;
        std::getline(fields >> std::ws, rest);
        lines.push_back(rest);
    }
    return lines;
}

TEST(LinkTraceFile, RecordsTheUnlockThePacketsAndTheErrorLinesAsTheyHappen)
{
    TempDir dir;
    ecrsim::TEcrSim sim;
    ASSERT_TRUE(sim.Start()) << sim.Error();
    ASSERT_TRUE(sim.LinkAs(dir.File("dosdevices/com3"))) << sim.Error();
    SetComPortFolder(dir.File("dosdevices/"));
    sim.QueueFault({ ecrsim::TFaultKind::BadChecksum });

    std::string lastError;
    {
        TLinkTraceFile trace;
        ASSERT_TRUE(trace.Open(dir.File("trace.txt"), "ecrtool --port 3 exec ping 111"));
        SetLinkObserver(&trace);
        TLintelComm link(0);
        ASSERT_TRUE(link.OpenPort(3, 2)) << link.LastError();
        ASSERT_TRUE(link.Unlock()) << link.LastError();
        std::string data;
        ASSERT_TRUE(link.ExecText("ping", { "111" }, data, 512, nullptr, nullptr)) << link.LastError();
        lastError = link.LastError();
        SetLinkObserver(nullptr);
        // Everything but a last packet's worth is in the file before the end.
        EXPECT_NE(dir.Read("trace.txt").find("ERR"), std::string::npos);
    }
    SetComPortFolder("");

    const std::string text = dir.Read("trace.txt");
    EXPECT_EQ(text.rfind("# ecrtool --port 3 exec ping 111\n", 0), 0u) << text;
    bool inOrder = false;
    const auto lines = TraceLines(text, inOrder);
    EXPECT_TRUE(inOrder) << text;
    ASSERT_EQ(lines.size(), 7u) << text;
    EXPECT_EQ(lines[0], "TX  \\x0D\\x0Akteviz7u\\x0D\\x0A");
    EXPECT_EQ(lines[1], "RX  UNLOCKED\\x0D\\x0A");
    const std::string ping = "TX  \\x1B\\x1B1S0008ping 111CCC2  [frame 1, type S, length 8, checksum CCC2 ok]";
    EXPECT_EQ(lines[2], ping);
    EXPECT_EQ(lines[3].rfind("RX  \\x1B\\x1B1S", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find("[frame 1, type S, length "), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find(" wrong, computed "), std::string::npos) << lines[3];
    // The error line is the one the link keeps in LastError.
    EXPECT_EQ(lines[4], "ERR " + lastError) << text;
    EXPECT_EQ(lines[4].rfind("ERR Error in packet. Invalid checksum. [", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5], ping);
    EXPECT_EQ(lines[6].rfind("RX  \\x1B\\x1B1S", 0), 0u) << lines[6];
    EXPECT_NE(lines[6].find(" ok]"), std::string::npos) << lines[6];
}

TEST(LinkTraceFile, ADeviceThatIsNotThereLeavesItsErrorLines)
{
    TempDir dir;
    {
        TLinkTraceFile trace;
        ASSERT_TRUE(trace.Open(dir.File("trace.txt"), "no register"));
        SetLinkObserver(&trace);
        TLintelComm link(0);
        EXPECT_FALSE(link.OpenDevice(dir.File("dosdevices/com9"), 2));
        SetLinkObserver(nullptr);
    }
    bool inOrder = false;
    const auto lines = TraceLines(dir.Read("trace.txt"), inOrder);
    ASSERT_EQ(lines.size(), 1u);
    // The port's message follows the line break of the open failure, escaped
    // so that one error stays one line.
    EXPECT_EQ(lines[0].rfind("ERR Fail opening com port:  [" + dir.File("dosdevices/com9") + "]\\x0D\\x0A", 0), 0u)
        << lines[0];
}

} // namespace
