#include "core/link/LinkTrace.h"

#include "core/link/LintelCommUnit.h"

#include <cstdlib>

namespace {

TLinkObserver* gObserver = nullptr;

// The value of count hexadecimal characters (either case), -1 when they are not.
long HexValue(const std::string& text, size_t pos, size_t count)
{
    long value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

std::string Hex(unsigned value, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
    return text;
}

} // namespace

void SetLinkObserver(TLinkObserver* observer) { gObserver = observer; }
TLinkObserver* LinkObserver() { return gObserver; }

std::string TraceBytes(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\')
            text += "\\\\";
        else if (b >= 0x20 && b < 0x7F)
            text += c;
        else
            text += "\\x" + Hex(b, 2);
    }
    return text;
}

std::string DescribePacket(const std::string& bytes)
{
    const size_t esc = bytes.find('\x1B');
    if (esc == std::string::npos)
        return {};
    size_t h = esc;
    while (h < bytes.size() && static_cast<unsigned char>(bytes[h]) < 0x20)
        ++h;
    if (bytes.size() < h + 6)
        return {};
    const std::string header = bytes.substr(h, 6);
    const long frame = HexValue(bytes, h, 1);
    const char type = bytes[h + 1];
    const long length = HexValue(bytes, h + 2, 4);
    if (frame < 0 || type < 'L' || type > 'S' || length < 0)
        return "invalid header " + TraceBytes(header);
    const size_t end = h + 6 + static_cast<size_t>(length) + 4;
    if (bytes.size() < end)
        return {};
    const std::string data = bytes.substr(h + 6, static_cast<size_t>(length));
    const std::string crcText = bytes.substr(end - 4, 4);
    const uint16_t computed = LinkCrc16(data.data(), data.size(), LinkCrc16(header.data(), header.size()));
    std::string text = "frame " + std::to_string(frame) + ", type " + type + ", length "
        + std::to_string(length) + ", checksum " + TraceBytes(crcText);
    if (HexValue(crcText, 0, 4) == computed)
        text += " ok";
    else
        text += " wrong, computed " + Hex(computed, 4);
    return text;
}

TLinkTraceFile::~TLinkTraceFile()
{
    if (file_) {
        Flush();
        std::fclose(file_);
    }
}

bool TLinkTraceFile::Open(const std::string& path, const std::string& heading)
{
    file_ = std::fopen(path.c_str(), "w");
    if (!file_)
        return false;
    start_ = std::chrono::steady_clock::now();
    std::fprintf(file_, "# %s\n", heading.c_str());
    std::fflush(file_);
    return true;
}

long long TLinkTraceFile::ElapsedMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
}

void TLinkTraceFile::WriteLine(long long ms, const char* tag, const std::string& text)
{
    if (!file_)
        return;
    std::fprintf(file_, "%8lld %-3s %s\n", ms, tag, text.c_str());
    // As it happens: a trace of a run that hangs or is killed still holds
    // everything up to that moment.
    std::fflush(file_);
}

void TLinkTraceFile::Flush()
{
    if (pending_.empty())
        return;
    std::string text = TraceBytes(pending_);
    if (const std::string packet = DescribePacket(pending_); !packet.empty())
        text += "  [" + packet + "]";
    WriteLine(pendingMs_, pendingDirection_ == 'T' ? "TX" : "RX", text);
    pending_.clear();
}

void TLinkTraceFile::Gather(char direction, const char* bytes, int count)
{
    if (count <= 0)
        return;
    if (direction != pendingDirection_)
        Flush();
    if (pending_.empty())
        pendingMs_ = ElapsedMs();
    pendingDirection_ = direction;
    pending_.append(bytes, static_cast<size_t>(count));
    if (!DescribePacket(pending_).empty())
        Flush();
}

void TLinkTraceFile::BytesWritten(const char* bytes, int count) { Gather('T', bytes, count); }
void TLinkTraceFile::BytesRead(const char* bytes, int count) { Gather('R', bytes, count); }

void TLinkTraceFile::ErrorRecorded(const std::string& line)
{
    Flush();
    WriteLine(ElapsedMs(), "ERR", TraceBytes(line));
}
