// The link's time limits on simulated time: a line whose clock moves only
// when the link waits, and a register that answers each packet with bytes
// due at a chosen moment. Every figure here is exact, whatever the machine's
// load; the pty tests keep only a few real-time checks.

#include "core/link/LintelCommUnit.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kEsc2 = "\x1B\x1B";
const std::string kFail = "\r\nCommunication error. [CMD:ping]Send command Fail";

// A packet the link wrote, and when.
struct TSent {
    uint64_t At;
    char Frame;
    char Type;
    std::string Data;
};

// What the register sends in answer: bytes, all arriving DelayMs after the
// packet was written. Nothing at all for a silent register.
struct TAnswer {
    std::string Bytes;
    uint64_t DelayMs = 1;
};

class TSimLine : public TLinkLine {
public:
    // Called with each whole packet the link writes, and its number from 0.
    using TRegister = std::function<TAnswer(const TSent& packet, int index)>;

    explicit TSimLine(TRegister reg) : register_(std::move(reg)) {}

    bool Connected() override { return true; }

    // The port's read on the simulated clock.
    int Read(void* buffer, int count) override
    {
        auto* out = static_cast<char*>(buffer);
        const uint64_t total = now_ + 100 + 100 * static_cast<uint64_t>(count);
        int got = 0;
        while (got < count) {
            const uint64_t deadline = got > 0 ? std::min(total, now_ + 100) : total;
            if (incoming_.empty() || incoming_.front().first > deadline) {
                now_ = std::max(now_, deadline);
                break;
            }
            now_ = std::max(now_, incoming_.front().first);
            out[got++] = incoming_.front().second;
            incoming_.pop_front();
        }
        return got;
    }

    int Write(const void* buffer, int count) override
    {
        written_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
        if (written_ == "\r\nkteviz7u\r\n") {
            Arrive(unlockAnswer_, 1);
            written_.clear();
        }
        // A whole packet: SYNC, header, data, checksum.
        if (written_.size() >= 8 && written_.size() == 12 + std::stoul(written_.substr(4, 4), nullptr, 16)) {
            TSent p { now_, written_[2], written_[3], written_.substr(8, written_.size() - 12) };
            written_.clear();
            sent_.push_back(p);
            const TAnswer a = register_(p, static_cast<int>(sent_.size()) - 1);
            Arrive(a.Bytes, a.DelayMs);
        }
        return count;
    }

    // Input purge drops what has arrived; bytes still on their way come later.
    void Purge(bool input, bool) override
    {
        while (input && !incoming_.empty() && incoming_.front().first <= now_)
            incoming_.pop_front();
    }

    int BytesWaiting() override
    {
        int n = 0;
        for (const auto& b : incoming_)
            n += b.first <= now_;
        return n;
    }

    uint64_t NowMs() override { return now_; }
    void SleepMs(unsigned ms) override { now_ += ms; }

    const std::vector<TSent>& Sent() const { return sent_; }
    void SetUnlockAnswer(const std::string& answer) { unlockAnswer_ = answer; }

private:
    void Arrive(const std::string& bytes, uint64_t delayMs)
    {
        for (char c : bytes)
            incoming_.emplace_back(now_ + delayMs, c);
    }

    TRegister register_;
    std::string written_;
    std::deque<std::pair<uint64_t, char>> incoming_;
    std::vector<TSent> sent_;
    std::string unlockAnswer_;
    uint64_t now_ = 1000;
};

// The reply a register gives: the packet's own frame, the tool's encoding.
std::string Reply(const TSent& to, char type, const std::string& data = "")
{
    const int frame = to.Frame <= '9' ? to.Frame - '0' : to.Frame - 'A' + 10;
    return BuildPacket(static_cast<uint8_t>(frame), type, data);
}

struct TRun {
    bool Ok;
    std::string Error;
    std::string Reply;
    uint64_t TookMs;
};

TRun Ping(TSimLine& line, uint32_t replyTimeout = 2000)
{
    TLintelComm link(0);
    link.SetLine(&line);
    link.SetReplyTimeout(replyTimeout);
    std::string data;
    const uint64_t start = line.NowMs();
    const bool ok = link.ExecText("ping", { "111" }, data, 512, nullptr, nullptr);
    return { ok, link.LastError(), data, line.NowMs() - start };
}

TEST(LinkTiming, SilentRegister)
{
    TSimLine line([](const TSent&, int) { return TAnswer {}; });
    TLintelComm link(0);
    link.SetLine(&line);
    uint64_t start = line.NowMs();
    EXPECT_FALSE(link.Unlock());
    // Read of one byte (200 ms) and a 10 ms pause until past one second.
    EXPECT_GT(line.NowMs() - start, 1000u);
    EXPECT_LE(line.NowMs() - start, 1210u);
    EXPECT_EQ(link.LastError(), "Device does not respond. [Unlock]");

    const TRun r = Ping(line);
    EXPECT_FALSE(r.Ok);
    EXPECT_GE(r.TookMs, 2000u);
    EXPECT_LE(r.TookMs, 2210u);
    EXPECT_EQ(r.Error, "Device does not respond. Timeout! (Wait SYNC) [R]" + kFail);
    EXPECT_EQ(line.Sent().size(), 1u);
}

TEST(LinkTiming, UnlockAnswerEndsWithItsKeyword)
{
    TSimLine line([](const TSent&, int) { return TAnswer {}; });
    line.SetUnlockAnswer("UNLOCKED\r\n");
    TLintelComm link(0);
    link.SetLine(&line);
    const uint64_t start = line.NowMs();
    EXPECT_TRUE(link.Unlock()) << link.LastError();
    EXPECT_LE(line.NowMs() - start, 10u);
}

// A reply cut anywhere after its first header byte is given up one interval
// time-out after its last byte; the packet goes again after the 100 ms pause
// and the whole reply then ends the exchange.
TEST(LinkTiming, CutReplyCostsOneIntervalAndThePause)
{
    for (size_t size : { size_t(0), size_t(5), size_t(512) }) {
        const std::string payload(size, 'd');
        const size_t whole = 12 + size;
        for (size_t keep = 3; keep < whole; ++keep) {
            TSimLine line([&](const TSent& p, int index) {
                const std::string bytes = Reply(p, 'S', payload);
                return TAnswer { index == 0 ? bytes.substr(0, keep) : bytes, 5 };
            });
            const TRun r = Ping(line);
            ASSERT_TRUE(r.Ok) << size << "/" << keep << ": " << r.Error;
            EXPECT_EQ(r.Reply, payload);
            const size_t after = keep - 2; // bytes after SYNC
            std::string detail;
            if (after < 6)
                detail = "Timeout (Read HEADER [" + std::to_string(after - 1) + "/6])";
            else if (after < 6 + size)
                detail = "Timeout! (Read DATA [" + std::to_string(after - 6) + "/" + std::to_string(size) + "])";
            else
                detail = "Timeout. (Read CRC [" + std::to_string(after - 6 - size) + "/4])";
            EXPECT_EQ(r.Error, "Invalid responce from device. " + detail + " [R]") << size << "/" << keep;
            ASSERT_EQ(line.Sent().size(), 2u);
            EXPECT_EQ(line.Sent()[1].Frame, line.Sent()[0].Frame);
            // Reply due 5 ms after the packet, 100 ms of silence, 100 ms pause.
            EXPECT_EQ(line.Sent()[1].At - line.Sent()[0].At, 205u) << size << "/" << keep;
        }
    }
}

// A header announcing 64 KiB and then nothing costs one interval too.
TEST(LinkTiming, HeaderWithoutItsDataIsGivenUpAtOnce)
{
    TSimLine line([](const TSent&, int) { return TAnswer { kEsc2 + "1SFFFF", 1 }; });
    const TRun r = Ping(line, 400);
    EXPECT_FALSE(r.Ok);
    // Each attempt: 1 ms to the reply, 100 ms silence, 100 ms pause.
    EXPECT_EQ(line.Sent().size(), 2u);
    EXPECT_LE(r.TookMs, 410u);
    EXPECT_EQ(r.Error,
              "Invalid responce from device. Timeout! (Read DATA [0/65535]) [R]\r\n"
              "Invalid responce from device. Timeout! (Read DATA [0/65535]) [R]" + kFail);
}

// A repeat waits only for what is left of the exchange's limit.
TEST(LinkTiming, RepeatsStayWithinTheExchangeLimit)
{
    TSimLine line([](const TSent& p, int index) {
        if (index > 0)
            return TAnswer {};
        return TAnswer { BuildPacket(static_cast<uint8_t>(p.Frame - '0' + 1), 'S', ""), 1500 };
    });
    const TRun r = Ping(line);
    EXPECT_FALSE(r.Ok);
    EXPECT_GE(r.TookMs, 2000u);
    EXPECT_LE(r.TookMs, 2210u);
    EXPECT_EQ(r.Error, "Device respond with wrong frame. [R][1/2]\r\n"
                       "Device does not respond. Timeout! (Wait SYNC) [R]" + kFail);
}

TEST(LinkTiming, WrongFrameIsRepeatedAtOnceUntilTheLimit)
{
    TSimLine line([](const TSent& p, int) {
        return TAnswer { BuildPacket(static_cast<uint8_t>(p.Frame - '0' + 1), 'S', ""), 50 };
    });
    const TRun r = Ping(line, 500);
    EXPECT_FALSE(r.Ok);
    EXPECT_GE(r.TookMs, 500u);
    EXPECT_LE(r.TookMs, 560u);
    ASSERT_GE(line.Sent().size(), 9u);
    for (size_t i = 1; i < line.Sent().size(); ++i) {
        EXPECT_EQ(line.Sent()[i].Frame, '1');
        EXPECT_EQ(line.Sent()[i].At - line.Sent()[i - 1].At, 50u);
    }
}

TEST(LinkTiming, RetryRequestsArePausedAndTheFifthEndsTheExchange)
{
    for (int requests : { 4, 5 }) {
        TSimLine line([&](const TSent& p, int index) {
            return TAnswer { Reply(p, index < requests ? 'N' : 'S'), 1 };
        });
        const TRun r = Ping(line);
        EXPECT_EQ(r.Ok, requests < 5) << requests;
        ASSERT_EQ(line.Sent().size(), static_cast<size_t>(requests < 5 ? requests + 1 : 5));
        for (size_t i = 1; i < line.Sent().size(); ++i)
            EXPECT_EQ(line.Sent()[i].At - line.Sent()[i - 1].At, 101u) << requests;
        std::string account;
        for (int i = 1; i <= requests; ++i)
            account += (i > 1 ? "\r\n" : "") + std::string("Device respond with retry request [Rtr") + std::to_string(i) + "]";
        EXPECT_EQ(r.Error, requests < 5 ? account : account + kFail);
    }
}

// Busy replies are answered after 300 ms; the first one makes the limit a
// minute, counted from the start of the exchange, not from the busy reply.
TEST(LinkTiming, BusyGivesTheExchangeAMinuteFromItsStart)
{
    TSimLine line([](const TSent& p, int index) {
        return index < 3 ? TAnswer { Reply(p, 'M', "45% Writing"), 1 } : TAnswer {};
    });
    TLintelComm link(0);
    link.SetLine(&line);
    link.SetReplyTimeout(600);
    std::vector<int> percents;
    std::string data;
    const uint64_t start = line.NowMs();
    EXPECT_FALSE(link.ExecText("ping", { "111" }, data, 512, nullptr,
                               [&](int percent, const std::string&) { percents.push_back(percent); }));
    const uint64_t took = line.NowMs() - start;
    EXPECT_GE(took, 60000u);
    EXPECT_LE(took, 60210u);
    EXPECT_EQ(percents, (std::vector<int> { 45, 45, 45 }));
    ASSERT_EQ(line.Sent().size(), 4u);
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(line.Sent()[i].At - line.Sent()[i - 1].At, 301u);
    EXPECT_EQ(link.LastError(), "Device does not respond. Timeout! (Wait SYNC) [R]" + kFail);
    EXPECT_EQ(link.ReplyTimeout(), 600u);
}

} // namespace
