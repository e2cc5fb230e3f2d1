// Feeds an arbitrary byte stream to the link as if the register had sent it:
// first to packet reception alone, then as the replies of a whole
// transaction. Time is simulated, so a stream that stops short costs the
// link its time-outs without costing the fuzzer real seconds.

#include "core/link/LintelCommUnit.h"
#include "core/link/LinkTrace.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Bytes as they come, a clock that moves only when the link waits.
class TStreamLine : public TLinkLine {
public:
    TStreamLine(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Connected() override { return true; }
    int Read(void* buffer, int count) override
    {
        const size_t n = std::min(static_cast<size_t>(count), size_ - pos_);
        std::copy(data_ + pos_, data_ + pos_ + n, static_cast<uint8_t*>(buffer));
        pos_ += n;
        // A short read is what the port's time-outs end.
        if (n < static_cast<size_t>(count))
            now_ += n == 0 ? 100 + 100 * static_cast<uint64_t>(count) : 100;
        return static_cast<int>(n);
    }
    int Write(const void*, int count) override { return count; }
    void Purge(bool, bool) override {}
    int BytesWaiting() override { return static_cast<int>(size_ - pos_); }
    uint64_t NowMs() override { return now_; }
    void SleepMs(unsigned ms) override { now_ += ms; }
    bool Exhausted() const { return pos_ == size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    uint64_t now_ = 1000000;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The trace reads the same bytes on its own to describe them.
    TraceBytes(DescribePacket(std::string(reinterpret_cast<const char*>(data), size)));
    {
        TStreamLine line(data, size);
        TLintelComm link(0);
        link.SetLine(&line);
        while (!line.Exhausted()) {
            int frame = 0;
            char type = 0;
            std::string packet;
            const uint64_t before = line.NowMs();
            const int rc = link.ReceivePacket(2000, frame, type, packet);
            if (rc == 0) {
                Check(frame >= 0 && frame <= 15);
                Check(type >= 'L' && type <= 'S');
                // What was accepted is exactly what the tool itself would send.
                const std::string again = BuildPacket(static_cast<uint8_t>(frame), type, packet);
                Check(again.size() == packet.size() + 12);
            } else {
                Check(packet.empty());
                Check(!link.LastError().empty());
            }
            // Each packet is bounded: the SYNC wait (one-byte reads of 200 ms
            // and 10 ms pauses until 2000 ms have passed), then one interval
            // time-out at most for each of header, data and checksum, however
            // the stream stops.
            Check(line.NowMs() - before <= 2000 + 210 + 3 * 100);
        }
    }
    {
        TStreamLine line(data, size);
        TLintelComm link(1);
        link.SetLine(&line);
        link.SetReplyTimeout(500);
        std::string reply = size % 2 ? std::string(700, 'x') : std::string();
        int busyCalls = 0;
        const bool ok = link.ExecText("cat", { "/sd0/db0/1" }, reply, 512, nullptr,
                                      [&](int, const std::string&) { ++busyCalls; });
        if (!ok) {
            Check(reply.empty());
            Check(!link.LastError().empty());
        }
        Check(link.Sequence() >= 1 && link.Sequence() <= 15);
    }
    return 0;
}
