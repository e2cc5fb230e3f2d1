// The framed link end to end: TLintelComm on COM3, which resolves through
// <temp>/dosdevices/com3 to the simulator's pty.

#include "core/link/LintelCommUnit.h"
#include "support/TempDir.h"

#include "ecrsim/EcrSim.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <pty.h>
#include <unistd.h>

namespace {

using ecrsim::TEcrSim;
using ecrsim::TFault;
using ecrsim::TFaultKind;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

const std::string kEsc2 = "\x1B\x1B";

class LinkSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetComPortFolder(dir_.File("dosdevices/"));
        ASSERT_TRUE(sim_.Start()) << sim_.Error();
        ASSERT_TRUE(sim_.LinkAs(dir_.File("dosdevices/com3"))) << sim_.Error();
        ASSERT_TRUE(link_.OpenPort(3, 2)) << link_.LastError();
    }

    bool Ping(std::string* reply = nullptr)
    {
        std::string data;
        const bool ok = link_.ExecText("ping", { "111" }, data, 512, nullptr, nullptr);
        if (reply)
            *reply = data;
        return ok;
    }

    std::string Types() const
    {
        std::string t;
        for (const auto& p : sim_.ReceivedPackets())
            t += p.Type;
        return t;
    }

    TempDir dir_;
    TEcrSim sim_;
    TLintelComm link_ { 0 };
};

TEST_F(LinkSim, UnlockThenFirstPacketIsExact)
{
    EXPECT_TRUE(link_.IsOpen());
    EXPECT_EQ(link_.ComPort().Port(), "COM3");
    EXPECT_TRUE(link_.Unlock()) << link_.LastError();
    EXPECT_TRUE(Ping()) << link_.LastError();
    EXPECT_EQ(link_.LastError(), "");
    EXPECT_EQ(link_.CommandName(), "ping");
    EXPECT_EQ(sim_.RawReceived(), "\r\nkteviz7u\r\n" + kEsc2 + "1S0008ping 111CCC2");
    EXPECT_EQ(sim_.UnlockCount(), 1);
}

TEST_F(LinkSim, UnlockAnswers)
{
    struct Case {
        std::string answer;
        int baud;
        bool ok;
        std::string error;
    } cases[] = {
        { "UNLOCKED\r\n", 0, true, "" },
        { "error\r\n", 0, true, "" },
        { "  Unlocked", 0, true, "" },
        { "WHAT?\r\n", 0, false, "Invalid responce from device. [Unlock]" },
        // At line speed the answer comes byte by byte; it is not cut at the
        // first gap.
        { "UNLOCKED\r\n", 115200, true, "" },
        { "ERROR\r\n", 9600, true, "" },
    };
    for (const auto& c : cases) {
        sim_.SetUnlockAnswer(c.answer);
        sim_.SetBaudRate(c.baud);
        link_.ClearLastError();
        EXPECT_EQ(link_.Unlock(), c.ok) << c.answer;
        EXPECT_EQ(link_.LastError(), c.error) << c.answer;
        // Whatever the answer left behind does not disturb the next packet.
        EXPECT_TRUE(Ping()) << c.answer << link_.LastError();
    }
}

TEST_F(LinkSim, UnlockKeepsEarlierErrors)
{
    link_.AddError(0, "before");
    sim_.SetUnlockAnswer("nope");
    EXPECT_FALSE(link_.Unlock());
    EXPECT_EQ(link_.LastError(), "before\r\nInvalid responce from device. [Unlock]");
}

TEST_F(LinkSim, SequenceRunsOneToFifteenThenOne)
{
    for (int i = 0; i < 17; ++i)
        ASSERT_TRUE(Ping()) << i << link_.LastError();
    std::string frames;
    for (const auto& p : sim_.ReceivedPackets())
        frames += p.Frame;
    EXPECT_EQ(frames, "123456789ABCDEF12");
    EXPECT_EQ(link_.Sequence(), 2);
    EXPECT_TRUE(sim_.SequenceProblems().empty());
}

TEST_F(LinkSim, DataGoesInChunksOf512)
{
    struct Case {
        size_t size;
        std::string types;
        std::vector<size_t> sizes;
    } cases[] = {
        { 0, "S", { 17 } },
        { 1, "RQ", { 17, 1 } },
        { 1024, "RPQ", { 17, 512, 512 } },
        { 1025, "RPPQ", { 17, 512, 512, 1 } },
    };
    for (const auto& c : cases) {
        sim_.ClearLogs();
        std::string data;
        for (size_t i = 0; i < c.size; ++i)
            data += static_cast<char>(i * 7);
        const std::string sent = data;
        ASSERT_TRUE(link_.ExecText("put", { "/sd0/db0/1234" }, data, 512, nullptr, nullptr)) << link_.LastError();
        EXPECT_EQ(data, "");
        EXPECT_EQ(Types(), c.types) << c.size;
        const auto got = sim_.ReceivedPackets();
        ASSERT_EQ(got.size(), c.sizes.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].Data.size(), c.sizes[i]) << c.size << " packet " << i;
        EXPECT_EQ(got[0].Data, "put /sd0/db0/1234");
        if (c.size > 0) {
            EXPECT_EQ(sim_.GetFile("/sd0/db0/1234"), sent);
        }
    }
}

TEST_F(LinkSim, MultiPartReplyIsFetchedWithEmptyO)
{
    ecrsim::TCommandReply reply;
    reply.Parts = { { 'P', "first|" }, { 'P', "second|" }, { 'Q', "third" } };
    sim_.SetCommandReply("cat", reply);
    std::string data;
    std::vector<std::pair<int, std::string>> seen;
    auto progress = [&](int dir, int counter, const std::string& part, bool&) {
        seen.emplace_back(dir * 10 + counter, part);
    };
    ASSERT_TRUE(link_.ExecText("cat", { "x" }, data, 512, progress, nullptr)) << link_.LastError();
    EXPECT_EQ(data, "first|second|third");
    EXPECT_EQ(Types(), "SOO");
    // The request for the second part is the empty O with sequence 2.
    EXPECT_NE(sim_.RawReceived().find(kEsc2 + "2O00008FF1"), std::string::npos);
    const std::vector<std::pair<int, std::string>> expect = { { 21, "first|" }, { 22, "second|" }, { 23, "third" } };
    EXPECT_EQ(seen, expect);
}

TEST_F(LinkSim, LinesInAndOut)
{
    std::vector<std::string> lines = { "plu=1", "", "name=A B" };
    ASSERT_TRUE(link_.ExecLinesArgs("put", { "/sd0/db0/5" }, lines, nullptr, nullptr)) << link_.LastError();
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(sim_.GetFile("/sd0/db0/5"), "plu=1\r\n\r\nname=A B\r\n");
    lines.clear();
    ASSERT_TRUE(link_.ExecLines("cat /sd0/db0/5", lines, nullptr, nullptr));
    EXPECT_EQ(lines, (std::vector<std::string> { "plu=1", "", "name=A B" }));

    // An empty list sends no data; one empty line sends CR LF.
    lines = { "" };
    ASSERT_TRUE(link_.ExecLinesArgs("put", { "/sd0/db0/6" }, lines, nullptr, nullptr));
    EXPECT_EQ(sim_.GetFile("/sd0/db0/6"), "\r\n");
}

TEST_F(LinkSim, RecoverableFaultsAndTheirLines)
{
    struct Case {
        const char* name;
        TFault fault;
        std::string errorPrefix; // what LastError begins with after success
        std::string errorExact;  // or its exact text
    };
    auto fault = [](TFaultKind k, int count = 1, int value = -1) {
        TFault f;
        f.Kind = k;
        f.Count = count;
        f.Value = value;
        return f;
    };
    const Case cases[] = {
        // First, so that it meets sequence 1: the reply carries frame 2.
        { "wrong frame", fault(TFaultKind::WrongFrame), "", "Device respond with wrong frame. [R][1/2]" },
        { "retry x2", fault(TFaultKind::Retry, 2), "",
          "Device respond with retry request [Rtr1]\r\nDevice respond with retry request [Rtr2]" },
        { "bad checksum", fault(TFaultKind::BadChecksum), "Error in packet. Invalid checksum. [", "" },
        { "lower-case checksum", fault(TFaultKind::LowerCaseChecksum), "", "" },
        { "garbage", fault(TFaultKind::Garbage), "", "" },
        { "extra ESC", fault(TFaultKind::ExtraEsc, 3), "", "" },
        { "control bytes", fault(TFaultKind::ControlBytes), "", "" },
        { "truncated", fault(TFaultKind::Truncate), "", "Invalid responce from device. Timeout. (Read CRC [2/4]) [R]" },
    };
    for (const auto& c : cases) {
        sim_.ClearFaults();
        sim_.QueueFault(c.fault);
        ASSERT_TRUE(Ping()) << c.name << ": " << link_.LastError();
        if (!c.errorPrefix.empty()) {
            EXPECT_EQ(link_.LastError().rfind(c.errorPrefix, 0), 0u) << c.name << ": " << link_.LastError();
        } else {
            EXPECT_EQ(link_.LastError(), c.errorExact) << c.name;
        }
    }
    // A bad checksum names the computed value and the four characters received.
    sim_.ClearFaults();
    ecrsim::TFault raw;
    raw.Kind = TFaultKind::Raw;
    const uint8_t next = static_cast<uint8_t>(link_.Sequence() % 15 + 1);
    std::string packet = ecrsim::EncodePacket(next, 'S', "");
    packet.replace(packet.size() - 4, 4, "zz12");
    raw.Text = packet;
    sim_.QueueFault(raw);
    ASSERT_TRUE(Ping()) << link_.LastError();
    EXPECT_EQ(link_.LastError(), "Error in packet. Invalid checksum. [" + ecrsim::EncodePacket(next, 'S', "").substr(8)
                                     + "/zz12] [R]");

    // Checksum characters that are no number count as 0: a packet whose
    // checksum is 0 passes with them. Appending a CRC of this kind to its
    // message makes the checksum of the whole 0.
    sim_.ClearFaults();
    const uint8_t after = static_cast<uint8_t>(link_.Sequence() % 15 + 1);
    const std::string hdr = std::string(1, "0123456789ABCDEF"[after]) + "S0004";
    const uint16_t crc = LinkCrc16((hdr + "ok").data(), hdr.size() + 2);
    std::string zeroData = "ok";
    zeroData += static_cast<char>(crc >> 8);
    zeroData += static_cast<char>(crc & 0xFF);
    ASSERT_EQ(LinkCrc16((hdr + zeroData).data(), hdr.size() + 4), 0);
    raw.Text = kEsc2 + hdr + zeroData + "zzzz";
    sim_.QueueFault(raw);
    std::string reply;
    ASSERT_TRUE(Ping(&reply)) << link_.LastError();
    EXPECT_EQ(link_.LastError(), "");
    EXPECT_EQ(reply, zeroData);
}

TEST_F(LinkSim, FailingExchangesAndTheirAccount)
{
    link_.SetReplyTimeout(400);
    auto fault = [](TFaultKind k, int count = 1, std::optional<std::string> text = std::nullopt) {
        TFault f;
        f.Kind = k;
        f.Count = count;
        f.Text = text;
        return f;
    };
    const std::string fail = "Communication error. [CMD:ping]Send command Fail";
    struct Case {
        const char* name;
        TFault fault;
        std::string error;
        bool exact;
        uint32_t limit = 400;
    } cases[] = {
        { "fifth retry", fault(TFaultKind::Retry, 5),
          "Device respond with retry request [Rtr1]\r\nDevice respond with retry request [Rtr2]\r\n"
          "Device respond with retry request [Rtr3]\r\nDevice respond with retry request [Rtr4]\r\n"
          "Device respond with retry request [Rtr5]\r\n" + fail, true, 2000 },
        // A prompt answer ends the exchange at once; the long limit only
        // spares a slow machine a time-out line before it.
        { "refusal", fault(TFaultKind::Refuse, 1, "Not now"), "Device cancel data receiving. Not now\r\n" + fail, true,
          2000 },
        { "silence", fault(TFaultKind::Silence, 1), "Device does not respond. Timeout! (Wait SYNC) [R]\r\n" + fail, true },
        { "frame G", fault(TFaultKind::Raw, 1, kEsc2 + "GS00000000"),
          "Invalid responce from device. Invalid FRAME [GS0000] [R]\r\n" + fail, false },
        { "type K", fault(TFaultKind::Raw, 1, kEsc2 + "1K00000000"),
          "Invalid responce from device. Invalid TYPE [1K0000] [R]\r\n" + fail, false },
        { "LEN not hex", fault(TFaultKind::Raw, 1, kEsc2 + "1S00x00000"),
          "Invalid responce from device. Invalid LEN [1S00x0] [R]\r\n" + fail, false },
        { "short header", fault(TFaultKind::Raw, 1, kEsc2 + "1S0"),
          "Invalid responce from device. Timeout (Read HEADER [2/6]) [R]\r\n" + fail, false },
        { "short data", fault(TFaultKind::Raw, 1, kEsc2 + "1S0010abc"),
          "Invalid responce from device. Timeout! (Read DATA [3/16]) [R]\r\n" + fail, false },
        // A header announcing 64 KiB and then nothing: given up in a fraction of a second.
        { "huge LEN", fault(TFaultKind::Raw, 1, kEsc2 + "1SFFFF"),
          "Invalid responce from device. Timeout! (Read DATA [0/65535]) [R]\r\n" + fail, false },
        { "garbage only", fault(TFaultKind::Raw, 1, std::string(5000, 'g')),
          "Device does not respond. Timeout! (Wait SYNC) [R]\r\n" + fail, true },
        { "ESC only", fault(TFaultKind::Raw, 1, kEsc2 + "\x01\x02"),
          "Device does not respond. Timeout! (Read SYNC) [R]\r\n" + fail, true },
    };
    for (const auto& c : cases) {
        sim_.ClearFaults();
        // A fault that the repeat would cure is made to last.
        TFault f = c.fault;
        if (f.Kind == TFaultKind::Raw || f.Kind == TFaultKind::Silence)
            for (int i = 0; i < 12; ++i)
                sim_.QueueFault(f);
        else
            sim_.QueueFault(f);
        link_.SetReplyTimeout(c.limit);
        std::string reply = "stale";
        const auto t = Clock::now();
        EXPECT_FALSE(link_.ExecText("ping", { "111" }, reply, 512, nullptr, nullptr)) << c.name;
        EXPECT_LE(MsSince(t), 3000) << c.name;
        EXPECT_EQ(reply, "") << c.name;
        // Repeats within the limit may add lines before these last ones.
        const std::string& account = link_.LastError();
        if (c.exact) {
            EXPECT_EQ(account, c.error) << c.name;
        } else {
            EXPECT_TRUE(account.size() >= c.error.size()
                        && account.compare(account.size() - c.error.size(), c.error.size(), c.error) == 0)
                << c.name << ": " << account;
        }
        EXPECT_TRUE(link_.IsOpen());
        sim_.ClearFaults();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
}

TEST_F(LinkSim, WrongFrameIsRepeatedWithTheSameFrameUntilTheLimit)
{
    link_.SetReplyTimeout(500);
    sim_.SetRandomFaults(1.0, 1, { TFaultKind::WrongFrame });
    EXPECT_FALSE(Ping());
    const auto got = sim_.ReceivedPackets();
    ASSERT_GE(got.size(), 2u);
    for (const auto& p : got)
        EXPECT_EQ(p.Frame, '1');
    // One line for each wrong frame; the last repeat may run out of time
    // before its answer comes.
    const std::vector<std::string> lines = DataToLines(link_.LastError());
    ASSERT_GE(lines.size(), 3u) << link_.LastError();
    EXPECT_EQ(lines.back(), "Communication error. [CMD:ping]Send command Fail");
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (i + 2 == lines.size() && lines[i] == "Device does not respond. Timeout! (Wait SYNC) [R]")
            continue;
        EXPECT_EQ(lines[i], "Device respond with wrong frame. [R][1/2]") << i;
    }
    sim_.SetRandomFaults(0, 1);
}

TEST_F(LinkSim, BusyRepeatsAfter300msAndExtendsTheLimit)
{
    // Three busy replies with their 300 ms pauses outlast this limit: only
    // the extension lets the exchange succeed.
    link_.SetReplyTimeout(600);
    TFault busy;
    busy.Kind = TFaultKind::Busy;
    busy.Count = 3;
    busy.Text = "45% Writing";
    sim_.QueueFault(busy);
    std::vector<std::pair<int, std::string>> reports;
    std::string data;
    ASSERT_TRUE(link_.ExecText("ping", { "111" }, data, 512, nullptr,
                               [&](int percent, const std::string& text) { reports.emplace_back(percent, text); }))
        << link_.LastError();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0], (std::pair<int, std::string>(45, "Writing")));
    EXPECT_EQ(link_.ReplyTimeout(), 600u);

    // Progress without a percent sign, and an empty busy packet.
    reports.clear();
    busy.Count = 1;
    busy.Text = "Formatting flash";
    sim_.QueueFault(busy);
    busy.Text = "";
    sim_.QueueFault(busy);
    busy.Text = "x% \"two words\" left";
    sim_.QueueFault(busy);
    ASSERT_TRUE(link_.ExecText("ping", { "111" }, data, 512, nullptr,
                               [&](int percent, const std::string& text) { reports.emplace_back(percent, text); }));
    const std::vector<std::pair<int, std::string>> expect = {
        { 0, "Formatting flash" }, { 0, "" }, { 0, "\"two words\" left" } };
    EXPECT_EQ(reports, expect);

    // A busy callback that throws ends the exchange.
    sim_.QueueFault(busy);
    EXPECT_FALSE(link_.ExecText("ping", { "111" }, data, 512, nullptr,
                                [](int, const std::string&) { throw std::runtime_error("stop"); }));
    EXPECT_EQ(link_.LastError(),
              "Unexpected system error! [sdta][Dev BUSSY ExtProc]stop\r\nCommunication error. [CMD:ping]Send command Fail");
}

TEST_F(LinkSim, DataRefusedOrNotAcknowledged)
{
    // The command line's reply is S instead of O: no data packet follows.
    TFault notO;
    notO.Kind = TFaultKind::Raw;
    notO.Text = ecrsim::EncodePacket(1, 'S', "");
    sim_.QueueFault(notO);
    std::string data = "payload";
    EXPECT_FALSE(link_.ExecText("put", { "/sd0/db0/1" }, data, 512, nullptr, nullptr));
    EXPECT_EQ(link_.LastError(), "Invalid responce from device. [CMD:put]Invalid command line ACK.");
    EXPECT_EQ(data, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Types(), "R");

    // A data packet refused with L.
    sim_.ClearLogs();
    TFault refuse;
    refuse.Kind = TFaultKind::Refuse;
    data = std::string(600, 'd');
    bool first = true;
    auto progress = [&](int dir, int, const std::string&, bool&) {
        if (dir == 1 && first) {
            first = false;
            sim_.QueueFault(refuse);
        }
    };
    EXPECT_FALSE(link_.ExecText("put", { "/sd0/db0/1" }, data, 512, progress, nullptr));
    EXPECT_EQ(link_.LastError(), "Device cancel data receiving. Refused\r\nCommunication error. [CMD:put]Send packet Fail");
}

TEST_F(LinkSim, CallerAbortAndCallbackFailure)
{
    // Abort while sending: the rest of the data goes as L, the reply is cut with "ping".
    std::string data(1100, 'a');
    std::vector<int> calls;
    auto progress = [&](int dir, int counter, const std::string&, bool& abort) {
        calls.push_back(dir * 10 + counter);
        if (dir == 1 && counter == 2)
            abort = true;
    };
    link_.ExecText("put", { "/sd0/db0/2" }, data, 512, progress, nullptr);
    // Every chunk after the abort goes as L; the register's S ends the reply.
    EXPECT_EQ(Types(), "RPLL");
    EXPECT_EQ(calls, (std::vector<int> { 11, 12, 13, 21 }));
    EXPECT_FALSE(sim_.GetFile("/sd0/db0/2"));

    // Abort while the reply comes: the next request is an S "ping" instead
    // of the empty O, and its answer ends the reply.
    sim_.ClearLogs();
    ecrsim::TCommandReply parts;
    parts.Parts = { { 'P', "first|" }, { 'P', "second|" }, { 'Q', "third" } };
    sim_.SetCommandReply("cat", parts);
    calls.clear();
    auto stopReading = [&](int dir, int counter, const std::string&, bool& abort) {
        calls.push_back(dir * 10 + counter);
        abort = true;
    };
    std::string reply;
    std::string pong;
    ASSERT_TRUE(Ping(&pong)) << link_.LastError();
    sim_.ClearLogs();
    EXPECT_TRUE(link_.ExecText("cat", { "x" }, reply, 512, stopReading, nullptr)) << link_.LastError();
    EXPECT_EQ(Types(), "SS");
    ASSERT_EQ(sim_.ReceivedPackets().size(), 2u);
    EXPECT_EQ(sim_.ReceivedPackets()[1].Data, "ping");
    EXPECT_EQ(reply, "first|" + pong);
    EXPECT_EQ(calls, (std::vector<int> { 21, 22 }));

    // A progress callback that throws fails the transaction with error 1.
    data = "abc";
    EXPECT_FALSE(link_.ExecText("put", { "/sd0/db0/3" }, data, 512,
                                [](int, int, const std::string&, bool&) { throw std::runtime_error("boom"); }, nullptr));
    EXPECT_EQ(link_.LastError(), "Unexpected system error! [CMD:put][Dev Progress ExtProc]boom");
    EXPECT_EQ(data, "");
}

TEST_F(LinkSim, ClosedPortAndQuotedCommandName)
{
    link_.ClosePort();
    EXPECT_FALSE(link_.IsOpen());
    std::string data;
    EXPECT_FALSE(link_.ExecText("\"my cmd\"", { "1" }, data, 512, nullptr, nullptr));
    EXPECT_EQ(link_.CommandName(), "my cmd");
    EXPECT_EQ(link_.LastError(),
              "Unexpected system error! [sdta][COM3]\r\nCommunication error. [CMD:my cmd]Send command Fail");
    int frame = 0;
    char type = 0;
    link_.ClearLastError();
    EXPECT_EQ(link_.ReceivePacket(100, frame, type, data), 3);
    EXPECT_EQ(link_.LastError(), "COM port is not active. [COM3] [R]");
    // Reopening starts a fresh connection on the same object.
    ASSERT_TRUE(link_.OpenPort(3, 2)) << link_.LastError();
    EXPECT_TRUE(Ping()) << link_.LastError();
}

TEST_F(LinkSim, OpenFailureAndSecondUser)
{
    TLintelComm other(0);
    EXPECT_FALSE(other.OpenPort(3, 2));
    EXPECT_EQ(other.LastError().rfind("Fail opening com port:  [COM3]\r\nUnable to open com port (win error code: ", 0), 0u)
        << other.LastError();
    EXPECT_FALSE(other.IsOpen());

    ASSERT_EQ(::symlink(dir_.File("nothing").c_str(), dir_.File("dosdevices/com9").c_str()), 0);
    EXPECT_FALSE(other.OpenPort(9, 2));
    EXPECT_EQ(other.LastError(), "Fail opening com port:  [COM9]\r\nUnable to open com port (win error code: 2)");

    TLintelComm bg(1);
    EXPECT_FALSE(bg.OpenPort(9, 2));
    EXPECT_EQ(bg.LastError(), LinkErrorText(1, 2) + " [COM9]\r\nUnable to open com port (win error code: 2)");

    link_.ClosePort();
    EXPECT_TRUE(other.OpenPort(3, 0)) << other.LastError();
    EXPECT_EQ(other.ComPort().BaudRate(), br9600);
}

TEST_F(LinkSim, RegisterGoneMidConnection)
{
    auto gone = std::make_unique<TEcrSim>();
    ASSERT_TRUE(gone->Start());
    TLintelComm link(0);
    ASSERT_TRUE(link.OpenDevice(gone->DevicePath(), 2));
    ASSERT_TRUE(link.Unlock());
    gone.reset();
    std::string data;
    const auto t = Clock::now();
    EXPECT_FALSE(link.ExecText("ping", { "111" }, data, 512, nullptr, nullptr));
    EXPECT_LE(MsSince(t), 3500);
    // The port reports the hang-up (EIO) at once; nothing waits for a reply.
    EXPECT_EQ(link.LastError(), "Unexpected system error! [sdta]PurgeComm function failed (win error code: 5)\r\n"
                                "Communication error. [CMD:ping]Send command Fail");
}

// The register cuts its reply after every possible number of bytes, from
// the first byte after SYNC to one short of the whole packet: each time the
// link asks again at once and gets the whole reply.
TEST(LinkCut, EveryCutReplyIsAskedForAgain)
{
    struct Case {
        size_t size;
        int keep;
    };
    std::vector<Case> cases;
    for (size_t size : { size_t(5), size_t(512) })
        for (size_t keep = 3; keep < size + 12; ++keep)
            cases.push_back({ size, static_cast<int>(keep) });

    // Each case waits on time-outs, not on the processor: several lines at once.
    std::atomic<size_t> next { 0 };
    std::mutex mu;
    std::vector<std::string> failures;
    auto line = [&] {
        auto fail = [&](const std::string& what) {
            std::lock_guard lock(mu);
            failures.push_back(what);
        };
        TEcrSim sim;
        TLintelComm link(0);
        if (!sim.Start() || !link.OpenDevice(sim.DevicePath(), 2))
            return fail("no line: " + sim.Error() + link.LastError());
        for (size_t i; (i = next++) < cases.size();) {
            const Case c = cases[i];
            const std::string name = std::to_string(c.size) + " data bytes cut to " + std::to_string(c.keep) + ": ";
            std::string payload;
            for (size_t b = 0; b < c.size; ++b)
                payload += static_cast<char>('a' + b % 26);
            ecrsim::TCommandReply reply;
            reply.Parts = { { 'S', payload } };
            sim.SetCommandReply("cat", reply);
            sim.QueueFault({ TFaultKind::Truncate, 1, c.keep });
            std::string data;
            const auto t = Clock::now();
            const bool ok = link.ExecText("cat", { "x" }, data, 512, nullptr, nullptr);
            const long took = MsSince(t);
            const std::string& account = link.LastError();
            // One line for the cut reply, none for the whole one.
            if (!ok || data != payload)
                fail(name + "failed: " + account);
            else if (account.rfind("Invalid responce from device. Timeout", 0) != 0
                     || account.find("\r\n") != std::string::npos)
                fail(name + "account: " + account);
            else if (took > 1500)
                fail(name + std::to_string(took) + " ms");
        }
    };
    std::vector<std::thread> lines;
    for (int i = 0; i < 8; ++i)
        lines.emplace_back(line);
    for (auto& l : lines)
        l.join();
    EXPECT_EQ(failures, std::vector<std::string> {});
}

// No register on the line: a pty nobody answers.
TEST(LinkSilent, UnlockAndPingGiveUpInTime)
{
    TempDir dir;
    SetComPortFolder(dir.File("dosdevices/"));
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    TLintelComm link(0);
    ASSERT_TRUE(link.OpenDevice(name, 2)) << link.LastError();

    auto t = Clock::now();
    EXPECT_FALSE(link.Unlock());
    long took = MsSince(t);
    EXPECT_GE(took, 950);
    EXPECT_LE(took, 2500);
    EXPECT_EQ(link.LastError(), "Device does not respond. [Unlock]");

    std::string data;
    t = Clock::now();
    EXPECT_FALSE(link.ExecText("ping", { "111" }, data, 512, nullptr, nullptr));
    took = MsSince(t);
    EXPECT_GE(took, 1900);
    EXPECT_LE(took, 4000);
    EXPECT_EQ(link.LastError(),
              "Device does not respond. Timeout! (Wait SYNC) [R]\r\nCommunication error. [CMD:ping]Send command Fail");
    ::close(master);
}

// Short writes cannot be made on a pty: a line that takes fewer bytes than
// offered on its n-th write, and never answers.
class TShortWriteLine : public TLinkLine {
public:
    TShortWriteLine(int shortCall, int accepted) : shortCall_(shortCall), accepted_(accepted) {}
    bool Connected() override { return true; }
    int Read(void*, int count) override
    {
        now_ += 100 + 100 * static_cast<uint64_t>(count);
        return 0;
    }
    int Write(const void*, int count) override { return ++calls_ == shortCall_ ? accepted_ : count; }
    void Purge(bool, bool) override {}
    int BytesWaiting() override { return 0; }
    uint64_t NowMs() override { return now_; }
    void SleepMs(unsigned ms) override { now_ += ms; }

private:
    int shortCall_, accepted_;
    int calls_ = 0;
    uint64_t now_ = 5000;
};

TEST(LinkShortWrite, NamesThePartAndItsCounts)
{
    const std::string fail = "\r\nCommunication error. [CMD:put]Send command Fail";
    struct Case {
        int shortCall, accepted;
        std::string error;
    } cases[] = {
        { 1, 1, "Unexpected system error! [sdta][sync:1/2]" + fail },
        { 2, 3, "Unexpected system error! [sdta][hdr:3/6]" + fail },
        { 3, 0, "Unexpected system error! [sdta][data:0/6]" + fail },
        { 4, 2, "Unexpected system error! [sdta][crc:2/4]" + fail },
    };
    for (const auto& c : cases) {
        TShortWriteLine line(c.shortCall, c.accepted);
        TLintelComm link(0);
        link.SetLine(&line);
        std::string data = "x";
        EXPECT_FALSE(link.ExecText("put", { "/a" }, data, 512, nullptr, nullptr));
        EXPECT_EQ(link.LastError(), c.error) << c.shortCall;
    }
    TShortWriteLine line(1, 11);
    TLintelComm link(0);
    link.SetLine(&line);
    EXPECT_FALSE(link.Unlock());
    EXPECT_EQ(link.LastError(), "Error writing to COM. [Unlock]");
}

} // namespace
