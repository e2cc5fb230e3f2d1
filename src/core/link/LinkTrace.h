#pragma once
// A record of everything that happens on the line, for a service technician
// to send when a register misbehaves (ecrtool --trace FILE).
//
// The link reports to a TLinkObserver: every byte it writes and reads, and
// every error line as it records it. Without an observer (the default) it
// checks one null pointer and nothing else happens.
//
// TLinkTraceFile writes what it observes as text lines, as it happens:
//
//        0 TX \x1B\x1B1S0008ping 111CCC2  [frame 1, type S, length 8, checksum CCC2 ok]
//       14 RX \x1B\x1B1S0002OK3A6B  [frame 1, type S, length 2, checksum 3A6B wrong, computed 9F21]
//     2016 ERR Device does not respond. Timeout! (Wait SYNC) [R]
//
// Milliseconds since the trace began, the direction (TX written, RX read,
// ERR an error line of the link), then the bytes: printable ASCII as it is,
// a backslash as \\ and every other byte as \xNN. Bytes in one direction are
// gathered until they form a whole packet or the direction changes, so one
// packet is one line, and so is the raw unlock text and its answer.

#include <chrono>
#include <cstdio>
#include <string>

class TLinkObserver {
public:
    virtual ~TLinkObserver() = default;
    virtual void BytesWritten(const char* bytes, int count) = 0;
    virtual void BytesRead(const char* bytes, int count) = 0;
    // One line as it goes into LastError.
    virtual void ErrorRecorded(const std::string& line) = 0;
};

// The observer every link reports to from now on; nullptr for none. One for
// the whole process, because the links are made deep inside the façade's
// operations.
void SetLinkObserver(TLinkObserver* observer);
TLinkObserver* LinkObserver();

// The bytes as the trace shows them: printable ASCII as it is, "\\" for a
// backslash, "\xNN" (upper-case hex) for everything else.
std::string TraceBytes(const std::string& bytes);

// What the trace says of bytes that hold a packet, or "" while they do not
// hold a whole one yet (a packet starts with ESC; the bytes before it and the
// control bytes after it are skipped as the link skips them).
// "frame 1, type S, length 8, checksum CCC2 ok"; "checksum 3A6B wrong,
// computed 9F21"; "invalid header 1Z00FF" when the header cannot be read.
std::string DescribePacket(const std::string& bytes);

class TLinkTraceFile : public TLinkObserver {
public:
    TLinkTraceFile() = default;
    ~TLinkTraceFile() override;
    TLinkTraceFile(const TLinkTraceFile&) = delete;
    TLinkTraceFile& operator=(const TLinkTraceFile&) = delete;

    // Creates (or empties) the file and writes a first line with the heading
    // given. False with errno set when it cannot be opened.
    bool Open(const std::string& path, const std::string& heading);

    void BytesWritten(const char* bytes, int count) override;
    void BytesRead(const char* bytes, int count) override;
    void ErrorRecorded(const std::string& line) override;

    // Writes out the bytes gathered so far.
    void Flush();

private:
    void Gather(char direction, const char* bytes, int count);
    void WriteLine(long long ms, const char* tag, const std::string& text);
    long long ElapsedMs() const;

    std::FILE* file_ = nullptr;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    char pendingDirection_ = 0; // 'T' or 'R' while bytes are gathered
    std::string pending_;
    long long pendingMs_ = 0;
};
