#pragma once
// The framed link to the register: one object per device connection.
//
//   TLintelComm link(0);                // 0 English, 1 Bulgarian error texts
//   link.OpenPort(3, 2);                // COM3, 115200 bit/s
//   link.Unlock();
//   std::string data;                   // in: the command's data, out: the reply
//   if (!link.ExecText("cat", {"/sd0/db0/7"}, data, 512, nullptr, nullptr))
//       ... link.LastError() ...
//
// Every public operation returns false on failure and never raises; the
// account is in LastError(), one line per recorded error ("<text of the
// number> <detail>"), lines joined by CR LF. Texts and data are bytes
// (Windows-1251), passed through unchanged.
//
// Packet on the wire: ESC ESC, FRAME (sequence 1..F), TYPE ('L'..'S'), LEN
// (4 hex digits), DATA, CRC (4 hex digits, CRC-16 poly 0x8005 over FRAME..DATA).

#include "core/base/EAbort.h"
#include "core/link/MyCPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Link error numbers.
enum : int {
    LE_None = 0,
    LE_System = 1,
    LE_OpenPort = 2,
    LE_PortClosed = 3,
    LE_Write = 4,
    LE_NoResponse = 5,
    LE_InvalidResponse = 6,
    LE_WrongFrame = 7,
    LE_Cancelled = 8,
    LE_Retry = 9,
    LE_Busy = 10,
    LE_Checksum = 11,
    LE_Communication = 12,
};

// The text of an error number: language 0 English, 1 Bulgarian, any other
// empty; numbers outside 0..12 give "Unspecified error! Code:<n>".
std::string LinkErrorText(uint8_t language, int number);

// Raised and caught inside the link only.
class ECmdException : public EAbort {
public:
    ECmdException(int code, const std::string& message) : EAbort(message), Code(code) {}
    int Code;
};

// direction 1: a data packet about to be sent; 2: a reply packet received.
// counter: 1-based packet number within its direction. Setting abort cancels
// the transfer (the register is told with an L packet, the reply is cut with
// a "ping").
using TLinkProgressEvent =
    std::function<void(int direction, int counter, const std::string& data, bool& abort)>;
// The register is busy: its progress percentage and text ("45% Writing" gives
// 45 and "Writing").
using TLinkBusyEvent = std::function<void(int percent, const std::string& text)>;

// CRC-16, polynomial 0x8005, initial value 0, no reflection, no final XOR.
uint16_t LinkCrc16(const void* data, size_t size, uint16_t crc = 0);

// The complete packet as the tool sends it (SYNC included).
std::string BuildPacket(uint8_t sequence, char type, const std::string& data);

// Takes the first token of text: quote toggles quoting and is dropped, the
// delimiter outside quotes ends the token. With remove the token and its
// delimiter are cut from text (all of it when no delimiter ended the token).
std::string NextToken(std::string& text, char delimiter, char quote, bool remove);

// Lines to data: each line followed by CR LF. Data to lines: split at CR LF,
// CR or LF; a final line break adds no empty line; a zero byte ends the text.
std::string LinesToData(const std::vector<std::string>& lines);
std::vector<std::string> DataToLines(const std::string& data);

// The data packet size every caller uses (ExecLines passes it itself).
inline constexpr int kDataChunkSize = 512;

// What the link needs of its line and of time. The link normally runs on its
// own TComPort and the steady clock; tests and the fuzz target replace both,
// so that time limits are checked on simulated time and a byte stream goes
// through the real reception at machine speed. Read and Write keep the
// port's meaning: a read ends when count bytes are in, 100 ms after the last
// byte it received, or 100 + 100 x count ms after the call.
class TLinkLine {
public:
    virtual ~TLinkLine() = default;
    virtual bool Connected() = 0;
    virtual int Read(void* buffer, int count) = 0;
    virtual int Write(const void* buffer, int count) = 0;
    virtual void Purge(bool input, bool output) = 0;
    virtual int BytesWaiting() = 0;
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(unsigned ms) = 0;
};

class TLintelComm {
public:
    explicit TLintelComm(uint8_t language = 0);
    ~TLintelComm();
    TLintelComm(const TLintelComm&) = delete;
    TLintelComm& operator=(const TLintelComm&) = delete;

    // Opens "COM" + portNumber (speed index 0 9600, 1 19200, 2 115200; other
    // values keep the speed) and purges it. True when the port is open
    // afterwards; a failure is recorded as error 2.
    bool OpenPort(uint8_t portNumber, int speedIndex);
    // The same for a device path given as it is (the command line's --device).
    bool OpenDevice(const std::string& path, int speedIndex);
    void ClosePort();
    bool IsOpen() const;

    // Sends the unlock text and waits for "UNLOCKED" (or "ERROR", which also
    // counts) for up to one second. Adds to LastError without clearing it.
    bool Unlock();

    // One transaction: the command line (command and arguments joined by
    // blanks) with data sent in chunks of chunkSize bytes (0: one chunk), and
    // the whole reply collected into data. data is empty after a failure.
    bool ExecText(const std::string& command, const std::vector<std::string>& args,
                  std::string& data, int chunkSize,
                  TLinkProgressEvent progress, TLinkBusyEvent busy);
    // The lines are the data (chunks of 512 bytes); on return the reply lines.
    bool ExecLines(const std::string& commandLine, std::vector<std::string>& lines,
                   TLinkProgressEvent progress, TLinkBusyEvent busy);
    bool ExecLinesArgs(const std::string& command, const std::vector<std::string>& args,
                       std::vector<std::string>& lines,
                       TLinkProgressEvent progress, TLinkBusyEvent busy);
    bool Transact(const std::string& commandLine, std::string& data, int chunkSize,
                  TLinkProgressEvent progress, TLinkBusyEvent busy);

    // One packet out and one accepted reply (O..S) back, with the repeats that
    // retry requests, busy replies, wrong frames and bad packets call for.
    // type and data are replaced by the reply's.
    bool ExchangePacket(char& type, std::string& data, const TLinkBusyEvent& busy);
    // Writes one packet; raises ECmdException(4) on a short write.
    void SendPacket(uint8_t sequence, char type, const std::string& data);
    // Reads one packet within timeoutMs (the SYNC wait; the rest is bounded by
    // the port's read time-outs). Returns 0 or the error number it recorded.
    int ReceivePacket(uint32_t timeoutMs, int& frame, char& type, std::string& data);

    std::string ErrorText(int number) const { return LinkErrorText(language_, number); }
    void AddError(int number, const std::string& detail);

    const std::string& LastError() const { return lastError_; }
    void ClearLastError() { lastError_.clear(); }
    uint32_t ReplyTimeout() const { return replyTimeout_; }
    void SetReplyTimeout(uint32_t ms) { replyTimeout_ = ms; }
    uint8_t Sequence() const { return sequence_; }
    const std::string& CommandName() const { return commandName_; }
    uint8_t Language() const { return language_; }
    TComPort& ComPort() { return comPort_; }

    // nullptr returns the link to its own port and clock.
    void SetLine(TLinkLine* line);

private:
    // Every byte the link sends or receives passes through these two.
    int ReadBytes(void* buffer, int count);
    int WriteBytes(const void* buffer, int count);
    // Reads the next count bytes of a packet whose first bytes have come;
    // 0 when none follows within one interval time-out.
    int ReadFollowing(char* buffer, int count);
    bool OpenNamed(const std::string& portName, int speedIndex);
    void ReportBusy(const TLinkBusyEvent& busy, const std::string& data);
    std::string PortDetail() const { return "[" + comPort_.Port() + "]"; }

    uint8_t language_;
    TComPort comPort_;
    std::string lastError_;
    uint8_t sequence_ = 0;
    // A register answers within milliseconds; two seconds leave room for a
    // command that keeps it busy for a while without a busy report.
    uint32_t replyTimeout_ = 2000;
    std::string commandName_;
    TLinkLine* line_;
    std::unique_ptr<TLinkLine> ownLine_;
};
