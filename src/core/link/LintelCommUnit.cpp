#include "core/link/LintelCommUnit.h"

#include "core/base/IniFile.h"
#include "core/link/LinkTrace.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

const char* const kEnglish[] = {
    "",
    "Unexpected system error!",
    "Fail opening com port: ",
    "COM port is not active.",
    "Error writing to COM.",
    "Device does not respond.",
    "Invalid responce from device.",
    "Device respond with wrong frame.",
    "Device cancel data receiving.",
    "Device respond with retry request",
    "Device is bussy. Try again later.",
    "Error in packet. Invalid checksum.",
    "Communication error.",
};

// Windows-1251 bytes.
const char* const kBulgarian[] = {
    "",
    "\xCD\xE5\xEE\xF7\xE0\xEA\xE2\xE0\xED\xE0 \xF1\xE8\xF1\xF2\xE5\xEC\xED\xE0 \xE3\xF0\xE5\xF8\xEA\xE0!",
    "\xCD\xE5\xF3\xF1\xEF\xE5\xF8\xED\xEE \xEE\xF2\xE2\xE0\xF0\xFF\xED\xE5 \xED\xE0 COM \xEF\xEE\xF0\xF2\xE0: ",
    "COM \xEF\xEE\xF0\xF2\xE0 \xED\xE5 \xE5 \xEE\xF2\xE2\xEE\xF0\xE5\xED.",
    "\xCD\xE5\xF3\xF1\xEF\xE5\xF8\xED\xEE \xEF\xE8\xF1\xE0\xED\xE5 \xE2 COM \xEF\xEE\xF0\xF2\xE0.",
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xF2\xEE \xED\xE5 \xEE\xF2\xE3\xEE\xE2\xE0\xF0\xFF.",
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xF2\xEE \xE2\xF0\xFA\xF9\xE0 \xED\xE5\xE2\xE0\xEB\xE8\xE4\xE5\xED \xEE\xF2\xE3\xEE\xE2\xEE\xF0.",
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xF2\xEE \xE2\xF0\xFA\xF9\xE0 \xE3\xF0\xE5\xF8\xE5\xED \xF4\xF0\xE5\xE9\xEC.",
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xF2\xEE \xEE\xF2\xEA\xE0\xE7\xE2\xE0 \xEF\xF0\xE8\xE5\xEC\xE0\xED\xE5\xF2\xEE \xED\xE0 \xE4\xE0\xED\xED\xE8\xF2\xE5.",
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xF2\xEE \xE8\xF1\xEA\xE0 \xEF\xEE\xE2\xF2\xEE\xF0\xE5\xED\xE8\xE5 \xED\xE0 \xE4\xE0\xED\xED\xE8\xF2\xE5",
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xF2\xEE e \xE7\xE0\xE5\xF2\xEE. \xEE\xEF\xE8\xF2\xE0\xE9\xF2\xE5 \xEF\xEE-\xEA\xFA\xF1\xED\xEE.",
    "\xC3\xF0\xE5\xF8\xEA\xE0 \xE2 \xEF\xE0\xEA\xE5\xF2. \xCD\xE5\xE2\xE0\xEB\xE8\xE4\xED\xE0 \xF7\xE5\xEA\xF1\xF3\xEC\xE0.",
    "\xC3\xF0\xE5\xF8\xEA\xE0 \xEF\xF0\xE8 \xEA\xEE\xEC\xF3\xED\xE8\xEA\xE0\xF6\xE8\xFF.",
};

const char* const kEnglishUnknown = "Unspecified error! Code:";
const char* const kBulgarianUnknown = "\xCD\xE5\xEF\xEE\xE7\xED\xE0\xF2\xE0 \xE3\xF0\xE5\xF8\xEA\xE0! \xCA\xEE\xE4:";

constexpr char kEsc = 0x1B;
const char kHexDigits[] = "0123456789ABCDEF";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The value of four hexadecimal characters, -1 when they are not.
long Hex4(const char* s)
{
    long v = 0;
    for (int i = 0; i < 4; ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

std::string ToHex4(unsigned v)
{
    std::string s(4, '0');
    for (int i = 3; i >= 0; --i, v >>= 4)
        s[i] = kHexDigits[v & 0xF];
    return s;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The link's own port and the steady clock.
class TPortLine : public TLinkLine {
public:
    explicit TPortLine(TComPort& port) : port_(port) {}
    bool Connected() override { return port_.Connected(); }
    int Read(void* buffer, int count) override { return port_.Read(buffer, count); }
    int Write(const void* buffer, int count) override { return port_.Write(buffer, count); }
    void Purge(bool input, bool output) override { port_.Purge(input, output); }
    int BytesWaiting() override { return port_.BytesWaiting(); }
    uint64_t NowMs() override
    {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch()).count());
    }
    void SleepMs(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    TComPort& port_;
};

constexpr size_t kMaxPacketData = 0xFFFF;

// The port's time-outs. The register sends a packet in one go, so more than
// kReadIntervalMs between two of its bytes means the rest is not coming; a
// read is allowed 100 ms for each byte it asks for, plus 100 ms for the first
// to start coming.
constexpr uint32_t kReadIntervalMs = 100;
constexpr uint32_t kReadTotalMultiplierMs = 100;
constexpr uint32_t kReadTotalConstantMs = 100;
// Far more than 115200 bit/s needs: only a line that takes nothing at all
// (a stuck driver, an unplugged adapter) runs into it.
constexpr uint32_t kWriteTotalMultiplierMs = 500;
constexpr uint32_t kWriteTotalConstantMs = 2000;

// The register answers the unlock text at once; a second allows for a slow
// start after the port opened.
constexpr uint64_t kUnlockAnswerMs = 1000;
// A busy register is working on something long: from its first busy report
// the exchange allows it a minute.
constexpr uint32_t kBusyReplyTimeoutMs = 60000;
// Pauses. A silent line is asked again soon. After a broken reply or a retry
// request the rest of what the register sends is let drain before the purge
// and the repeat. A busy register is given time before it is asked again.
constexpr unsigned kSilentLinePauseMs = 10;
constexpr unsigned kBadReplyPauseMs = 100;
constexpr unsigned kBusyPauseMs = 300;
// How often the next byte of a packet is looked for: short beside the
// interval time-out, so waiting for it costs next to nothing.
constexpr unsigned kNextBytePollMs = 1;
// A register that asks for the same packet five times will not take it.
constexpr int kMaxRetryRequests = 5;

} // namespace

// --- Texts, checksum, packet bytes, tokens, lines ----------------------------

std::string LinkErrorText(uint8_t language, int number)
{
    if (language > 1)
        return {};
    if (number >= 0 && number <= 12)
        return language == 0 ? kEnglish[number] : kBulgarian[number];
    return std::string(language == 0 ? kEnglishUnknown : kBulgarianUnknown) + std::to_string(number);
}

uint16_t LinkCrc16(const void* data, size_t size, uint16_t crc)
{
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint16_t>(p[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x8005)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

static std::string PacketHeader(uint8_t sequence, char type, size_t length)
{
    std::string hdr;
    hdr += kHexDigits[sequence & 0xF];
    hdr += type;
    hdr += ToHex4(static_cast<unsigned>(length));
    return hdr;
}

// The checksum runs over the header and then the data, SYNC left out.
static uint16_t PacketCrc(const std::string& header, const std::string& data)
{
    return LinkCrc16(data.data(), data.size(), LinkCrc16(header.data(), header.size()));
}

std::string BuildPacket(uint8_t sequence, char type, const std::string& data)
{
    const std::string hdr = PacketHeader(sequence, type, data.size());
    return std::string(2, kEsc) + hdr + data + ToHex4(PacketCrc(hdr, data));
}

std::string NextToken(std::string& text, char delimiter, char quote, bool remove)
{
    std::string token;
    bool quoted = false;
    size_t i = 0;
    bool delimited = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == quote) {
            quoted = !quoted;
        } else if (c == delimiter && !quoted) {
            delimited = true;
            break;
        } else {
            token += c;
        }
    }
    if (remove)
        text.erase(0, delimited ? i + 1 : text.size());
    return token;
}

std::string LinesToData(const std::vector<std::string>& lines)
{
    std::string data;
    for (const auto& line : lines) {
        data += line;
        data += "\r\n";
    }
    return data;
}

std::vector<std::string> DataToLines(const std::string& data)
{
    const std::string text = data.substr(0, data.find('\0'));
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// --- TLintelComm -------------------------------------------------------------

TLintelComm::TLintelComm(uint8_t language)
    : language_(language), ownLine_(std::make_unique<TPortLine>(comPort_))
{
    line_ = ownLine_.get();
}

TLintelComm::~TLintelComm() { comPort_.Close(); }

void TLintelComm::SetLine(TLinkLine* line) { line_ = line ? line : ownLine_.get(); }

void TLintelComm::AddError(int number, const std::string& detail)
{
    std::string line = ErrorText(number);
    if (!detail.empty()) {
        if (!line.empty())
            line += ' ';
        line += detail;
    }
    // A line with no text adds nothing, not even a separator: the account
    // never ends in a line break.
    if (line.empty())
        return;
    if (!lastError_.empty())
        lastError_ += "\r\n";
    lastError_ += line;
    if (TLinkObserver* observer = LinkObserver())
        observer->ErrorRecorded(line);
}

bool TLintelComm::OpenPort(uint8_t portNumber, int speedIndex)
{
    return OpenNamed("COM" + std::to_string(portNumber), speedIndex);
}

bool TLintelComm::OpenDevice(const std::string& path, int speedIndex)
{
    return OpenNamed(path, speedIndex);
}

bool TLintelComm::OpenNamed(const std::string& portName, int speedIndex)
{
    lastError_.clear();
    if (comPort_.Connected())
        comPort_.Close();
    switch (speedIndex) {
    case 0: comPort_.SetBaudRate(br9600); break;
    case 1: comPort_.SetBaudRate(br19200); break;
    case 2: comPort_.SetBaudRate(br115200); break;
    default: break;
    }
    comPort_.SetDataBits(dbEight);
    comPort_.SetStopBits(sbOneStopBit);
    TComParity parity;
    parity.Bits = prNone;
    comPort_.SetParity(parity);
    comPort_.SetSyncMethod(smNone);
    TComTimeouts timeouts;
    timeouts.ReadInterval = kReadIntervalMs;
    timeouts.ReadTotalMultiplier = kReadTotalMultiplierMs;
    timeouts.ReadTotalConstant = kReadTotalConstantMs;
    timeouts.WriteTotalMultiplier = kWriteTotalMultiplierMs;
    timeouts.WriteTotalConstant = kWriteTotalConstantMs;
    comPort_.SetTimeouts(timeouts);
    comPort_.SetPort(portName);
    try {
        comPort_.Open();
        comPort_.Purge(true, true);
    } catch (const std::exception& e) {
        AddError(LE_OpenPort, PortDetail() + "\r\n" + e.what());
    }
    return comPort_.Connected();
}

void TLintelComm::ClosePort()
{
    if (comPort_.Connected())
        comPort_.Close();
}

bool TLintelComm::IsOpen() const { return line_->Connected(); }

// "ERROR" counts as an answer too: the register was unlocked already.
static bool IsUnlockAnswer(const std::string& answer)
{
    const std::string upper = Upper(answer);
    return upper.find("UNLOCKED") != std::string::npos || upper.find("ERROR") != std::string::npos;
}

bool TLintelComm::Unlock()
{
    try {
        line_->Purge(true, true);
        static const char kUnlock[] = "\r\nkteviz7u\r\n";
        constexpr int kUnlockSize = sizeof kUnlock - 1;
        if (WriteBytes(kUnlock, kUnlockSize) < kUnlockSize)
            throw ECmdException(LE_Write, "[Unlock]");
        std::string answer;
        const uint64_t start = line_->NowMs();
        for (;;) {
            char c;
            if (ReadBytes(&c, 1) == 1) {
                answer += c;
                // The answer goes on while bytes come: a register at full speed
                // leaves gaps between bytes that an empty queue alone would
                // take for the end. It ends once its keyword is in and the
                // queue is empty, or on a pause longer than a read time-out.
                if (line_->BytesWaiting() > 0)
                    continue;
                if (IsUnlockAnswer(answer) || line_->NowMs() - start > kUnlockAnswerMs)
                    break;
                continue;
            }
            if (!answer.empty())
                break;
            if (line_->NowMs() - start > kUnlockAnswerMs)
                throw ECmdException(LE_NoResponse, "[Unlock]");
            line_->SleepMs(kSilentLinePauseMs);
        }
        if (!IsUnlockAnswer(answer))
            throw ECmdException(LE_InvalidResponse, "[Unlock]");
        line_->Purge(true, true);
        return true;
    } catch (const ECmdException& e) {
        AddError(e.Code, e.what());
    } catch (const std::exception& e) {
        AddError(LE_System, e.what());
    }
    return false;
}

int TLintelComm::ReadBytes(void* buffer, int count)
{
    const int n = line_->Read(buffer, count);
    if (TLinkObserver* observer = LinkObserver(); observer && n > 0)
        observer->BytesRead(static_cast<const char*>(buffer), n);
    return n;
}

int TLintelComm::WriteBytes(const void* buffer, int count)
{
    const int n = line_->Write(buffer, count);
    if (TLinkObserver* observer = LinkObserver(); observer && n > 0)
        observer->BytesWritten(static_cast<const char*>(buffer), n);
    return n;
}

int TLintelComm::ReadFollowing(char* buffer, int count)
{
    // The port's interval time-out starts with the first byte a read
    // receives. A read begun on a line that has just gone quiet would run to
    // its total time-out instead, 100 ms for every byte asked for: 51 s for a
    // 512-byte packet cut after its header, far beyond the exchange's limit.
    // So the read begins only once a byte is there, and a line quiet for one
    // interval time-out has cut the packet.
    const uint64_t start = line_->NowMs();
    while (line_->BytesWaiting() <= 0) {
        if (line_->NowMs() - start >= kReadIntervalMs)
            return 0;
        line_->SleepMs(kNextBytePollMs);
    }
    return ReadBytes(buffer, count);
}

void TLintelComm::SendPacket(uint8_t sequence, char type, const std::string& data)
{
    if (data.size() > kMaxPacketData)
        throw std::length_error("Packet data too long: " + std::to_string(data.size()) + " bytes");
    auto writePart = [this](const char* name, const char* bytes, size_t size) {
        const int n = WriteBytes(bytes, static_cast<int>(size));
        if (n < static_cast<int>(size))
            throw ECmdException(LE_Write, std::string("[") + name + ":" + std::to_string(n < 0 ? 0 : n) + "/"
                                              + std::to_string(size) + "]");
    };
    const std::string hdr = PacketHeader(sequence, type, data.size());
    const uint16_t crc = PacketCrc(hdr, data);
    const char sync[2] = { kEsc, kEsc };
    writePart("sync", sync, 2);
    writePart("hdr", hdr.data(), hdr.size());
    if (!data.empty())
        writePart("data", data.data(), data.size());
    const std::string crcText = ToHex4(crc);
    writePart("crc", crcText.data(), crcText.size());
}

int TLintelComm::ReceivePacket(uint32_t timeoutMs, int& frame, char& type, std::string& data)
{
    const uint64_t start = line_->NowMs();
    frame = 255;
    type = 0;
    data.clear();
    try {
        if (!line_->Connected())
            throw ECmdException(LE_PortClosed, PortDetail());
        // SYNC: an ESC, then whatever further ESC and control bytes stand
        // before the header's first byte. Anything before the ESC is noise.
        // One clock and one limit for both.
        char c = 0;
        bool synced = false;
        for (;;) {
            const int n = ReadBytes(&c, 1);
            if (n != 1)
                line_->SleepMs(kSilentLinePauseMs);
            if (line_->NowMs() - start >= timeoutMs)
                throw ECmdException(LE_NoResponse, synced ? "Timeout! (Read SYNC)" : "Timeout! (Wait SYNC)");
            if (n != 1)
                continue;
            if (synced && static_cast<unsigned char>(c) >= 0x20)
                break;
            synced = synced || c == kEsc;
        }

        char hdr[6];
        hdr[0] = c;
        const int k = ReadFollowing(hdr + 1, 5);
        if (k < 5)
            throw ECmdException(LE_InvalidResponse, "Timeout (Read HEADER [" + std::to_string(k) + "/6])");
        const std::string header(hdr, 6);
        const int digit = HexDigit(hdr[0]);
        frame = digit < 0 ? 255 : digit;
        type = hdr[1];
        const long length = Hex4(hdr + 2);
        if (frame > 15)
            throw ECmdException(LE_InvalidResponse, "Invalid FRAME [" + header + "]");
        if (type < 'L' || type > 'S')
            throw ECmdException(LE_InvalidResponse, "Invalid TYPE [" + header + "]");
        if (length < 0 || length > 0xFFFF)
            throw ECmdException(LE_InvalidResponse, "Invalid LEN [" + header + "]");

        if (length > 0) {
            data.resize(static_cast<size_t>(length));
            const int got = ReadFollowing(&data[0], static_cast<int>(length));
            if (got < length)
                throw ECmdException(LE_InvalidResponse, "Timeout! (Read DATA [" + std::to_string(got) + "/"
                                                            + std::to_string(length) + "])");
        }
        char crcText[4];
        const int r = ReadFollowing(crcText, 4);
        if (r < 4)
            throw ECmdException(LE_InvalidResponse, "Timeout. (Read CRC [" + std::to_string(r) + "/4])");
        const uint16_t computed = PacketCrc(header, data);
        // Characters that are no hexadecimal number read as 0, so they pass
        // only where the checksum itself is 0.
        const long received = std::max(Hex4(crcText), 0L);
        if (received != computed)
            throw ECmdException(LE_Checksum, "[" + ToHex4(computed) + "/" + std::string(crcText, 4) + "]");
        return 0;
    } catch (const ECmdException& e) {
        data.clear();
        AddError(e.Code, std::string(e.what()) + " [R]");
        return e.Code;
    } catch (const std::exception& e) {
        data.clear();
        AddError(LE_System, std::string(e.what()) + " [R]");
        return LE_System;
    }
}

void TLintelComm::ReportBusy(const TLinkBusyEvent& busy, const std::string& data)
{
    if (!busy)
        return;
    std::string s = data;
    int percent = 0;
    std::string text;
    if (!s.empty()) {
        std::string token = NextToken(s, ' ', '"', true);
        const size_t p = token.find('%');
        if (p != std::string::npos) {
            token.erase(p, 1);
            if (!TryStrToInt(token, percent))
                percent = 0;
            text = s;
        } else {
            text = token + " " + s;
        }
    }
    try {
        busy(percent, text);
    } catch (const std::exception& e) {
        throw EAbort(std::string("[Dev BUSSY ExtProc]") + e.what());
    } catch (...) {
        throw EAbort("[Dev BUSSY ExtProc]");
    }
}

bool TLintelComm::ExchangePacket(char& type, std::string& data, const TLinkBusyEvent& busy)
{
    lastError_.clear();
    int retries = 0;
    uint32_t limit = replyTimeout_;
    const uint64_t start = line_->NowMs();
    if (++sequence_ > 15)
        sequence_ = 1;
    try {
        for (;;) {
            if (!line_->Connected())
                throw ECmdException(LE_PortClosed, PortDetail());
            line_->Purge(true, true);
            SendPacket(sequence_, type, data);
            // A repeat waits only for what is left of the exchange's limit:
            // a full limit of its own would let one exchange run to nearly
            // twice its limit.
            const uint64_t elapsed = line_->NowMs() - start;
            const uint32_t left = elapsed < limit ? static_cast<uint32_t>(limit - elapsed) : 0;
            int frame = 0;
            char replyType = 0;
            std::string reply;
            const int rc = ReceivePacket(left, frame, replyType, reply);
            if (rc == 0) {
                if (frame != sequence_ && replyType != 'N') {
                    AddError(LE_WrongFrame, "[R][" + std::to_string(sequence_) + "/" + std::to_string(frame) + "]");
                } else if (replyType == 'L') {
                    AddError(LE_Cancelled, reply);
                    return false;
                } else if (replyType == 'M') {
                    line_->SleepMs(kBusyPauseMs);
                    limit = kBusyReplyTimeoutMs;
                    ReportBusy(busy, reply);
                } else if (replyType == 'N') {
                    ++retries;
                    line_->SleepMs(kBadReplyPauseMs);
                    AddError(LE_Retry, "[Rtr" + std::to_string(retries) + "]");
                    if (retries >= kMaxRetryRequests)
                        return false;
                } else {
                    data = std::move(reply);
                    type = replyType;
                    return true;
                }
            } else if (rc == LE_System || rc == LE_PortClosed) {
                return false;
            } else if (rc == LE_NoResponse) {
                line_->SleepMs(kSilentLinePauseMs);
            } else {
                line_->SleepMs(kBadReplyPauseMs);
            }
            if (line_->NowMs() - start >= limit)
                return false;
        }
    } catch (const std::exception& e) {
        AddError(LE_System, std::string("[sdta]") + e.what());
    }
    return false;
}

static void CallProgress(const TLinkProgressEvent& progress, int direction, int counter,
                         const std::string& data, bool& abort)
{
    if (!progress)
        return;
    try {
        progress(direction, counter, data, abort);
    } catch (const std::exception& e) {
        throw EAbort(std::string("[Dev Progress ExtProc]") + e.what());
    } catch (...) {
        throw EAbort("[Dev Progress ExtProc]");
    }
}

bool TLintelComm::Transact(const std::string& commandLine, std::string& data, int chunkSize,
                           TLinkProgressEvent progress, TLinkBusyEvent busy)
{
    lastError_.clear();
    std::string rest = commandLine;
    commandName_ = NextToken(rest, ' ', '"', false);
    bool abort = false;
    try {
        char type = data.empty() ? 'S' : 'R';
        std::string reply = commandLine;
        if (!ExchangePacket(type, reply, busy))
            throw ECmdException(LE_Communication, "Send command Fail");
        if (!data.empty()) {
            if (type != 'O')
                throw ECmdException(LE_InvalidResponse, "Invalid command line ACK.");
            // One packet can carry no more than its LEN field counts.
            size_t chunk = chunkSize <= 0 ? data.size() : static_cast<size_t>(chunkSize);
            if (chunk > kMaxPacketData)
                chunk = kMaxPacketData;
            size_t pos = 0;
            for (int i = 1; pos < data.size(); ++i) {
                std::string part = data.substr(pos, chunk);
                pos += part.size();
                CallProgress(progress, 1, i, part, abort);
                type = abort ? 'L' : pos < data.size() ? 'P' : 'Q';
                if (!ExchangePacket(type, part, busy))
                    throw ECmdException(LE_Communication, "Send packet Fail");
                reply = std::move(part);
            }
        }
        std::string result = std::move(reply);
        int counter = 1;
        CallProgress(progress, 2, counter, result, abort);
        while (type != 'S' && type != 'Q') {
            std::string more = abort ? "ping" : "";
            type = abort ? 'S' : 'O';
            if (!ExchangePacket(type, more, busy))
                throw ECmdException(LE_Communication, "Read packet Fail");
            result += more;
            CallProgress(progress, 2, ++counter, more, abort);
        }
        data = std::move(result);
        return true;
    } catch (const ECmdException& e) {
        data.clear();
        AddError(e.Code, "[CMD:" + commandName_ + "]" + e.what());
    } catch (const std::exception& e) {
        data.clear();
        AddError(LE_System, "[CMD:" + commandName_ + "]" + e.what());
    }
    return false;
}

static std::string CommandLine(const std::string& command, const std::vector<std::string>& args)
{
    std::string line = command;
    for (const auto& arg : args)
        line += " " + arg;
    return line;
}

bool TLintelComm::ExecText(const std::string& command, const std::vector<std::string>& args, std::string& data,
                           int chunkSize, TLinkProgressEvent progress, TLinkBusyEvent busy)
{
    return Transact(CommandLine(command, args), data, chunkSize, std::move(progress), std::move(busy));
}

bool TLintelComm::ExecLines(const std::string& commandLine, std::vector<std::string>& lines,
                            TLinkProgressEvent progress, TLinkBusyEvent busy)
{
    std::string data = LinesToData(lines);
    const bool ok = Transact(commandLine, data, kDataChunkSize, std::move(progress), std::move(busy));
    lines = ok ? DataToLines(data) : std::vector<std::string>();
    return ok;
}

bool TLintelComm::ExecLinesArgs(const std::string& command, const std::vector<std::string>& args,
                                std::vector<std::string>& lines, TLinkProgressEvent progress,
                                TLinkBusyEvent busy)
{
    return ExecLines(CommandLine(command, args), lines, std::move(progress), std::move(busy));
}
