#pragma once
// A cash register on the far side of a pseudo-terminal, for tests and for
// trying the program without hardware.
//
// TEcrSim owns the master side of a pty and serves it on a background thread.
// The tool opens the slave (DevicePath(), or a symbolic link made with
// LinkAs) exactly as it opens a serial port, exclusively if it likes, and may
// close and reopen it any number of times. Every close of the slave ends a
// connection: pending replies, pending multi-packet requests, repeat
// detection and the current folder are forgotten, and bytes not yet read by
// the departed tool are discarded. The tool's closes are learnt from inotify;
// the simulator then keeps a descriptor of the slave itself, only to clear
// an exclusive flag (TIOCEXCL) that a tool left behind (a crash closes
// without clearing it, and on a pty the flag outlives the close), so that
// the next open by a normal user does not fail. Where inotify is missing the
// slave is not held and hangups on the master tell of closes.
//
// What it speaks, byte for byte:
//  - Unlock: raw text CR LF "kteviz7u" CR LF outside any packet is answered
//    with UnlockAnswer (default "UNLOCKED\r\n"; empty = no answer).
//  - Packets: ESC ESC, FRAME (hex digit), TYPE, LEN (4 hex), DATA, CRC (4 hex,
//    CRC-16/BUYPASS over FRAME..DATA). On receipt one or more ESC are
//    accepted, bytes below 0x20 between ESC and FRAME are skipped, and the
//    CRC is read in either case. Replies are sent with two ESC and uppercase
//    hex; FRAME repeats the FRAME of the packet answered.
//  - A packet with a bad checksum is answered with N (retry request); a
//    malformed header is dropped and the receiver looks for the next ESC; a
//    packet left incomplete for 500 ms is dropped.
//  - A packet repeating the last processed packet (same FRAME, type and data,
//    as the tool does after a wrong frame, bad checksum or cut reply) is not
//    processed again: the reply sent for it is sent again.
//  - S: a command line without data: executed, the reply's first part is
//    sent. R: a command line whose data follows: answered O; then P data
//    packets are answered O and the Q packet completes the data, executes the
//    command and is answered with the reply's first part. L (the tool
//    cancels its data) drops the pending command and is answered S, empty.
//  - O: asks for the next part of a multi-part reply; with nothing pending it
//    is answered S, empty. A new command line drops a pending reply.
//  - P or Q without a preceding R is answered L "No command"; M or N (never
//    sent by the tool) is answered L "Unexpected packet".
//  - Reply parts: a reply larger than ReplyChunk (default 512) bytes goes as
//    P, P, ..., Q; a smaller one as one S packet. Scripted replies choose
//    their own part types (O, P, Q, R, S or anything else).
//
// Commands (command word, one blank, arguments separated by blanks):
//  - "ping" [arg]: S, empty data (PingReply). Either "ping 111" or
//    "ping 222" can be refused with SetRefusal.
//  - "info" [KEY ...]: one line KEY "=" value CR LF per requested key, in the
//    order asked, keys compared without regard to case; a key without a
//    configured value is left out. No keys: all configured keys. Data sent
//    with "info" (R + data packets) is accepted and ignored.
//  - "set" ...: S, empty.
//  - "cd PATH": absolute or relative to the current folder, "." and ".."
//    honoured, trailing "/" ignored. "/sd0/db0/" + k (k decimal) makes the
//    PLU folder current with the listing cursor at k.
//  - "ls": one line per entry, name TAB size CR LF for a file, name TAB
//    "<DIR>" CR LF for a folder; numeric names in ascending number order,
//    then the other names in byte order. In "/sd0/db0" the listing starts at
//    the first numeric name >= the cursor (0 after a plain cd) and holds at
//    most PageSize entries (default 50; 0 = no limit). An empty folder (or a
//    cursor past the last PLU) gives empty data.
//  - "cat FILE": the file's bytes as the reply.
//  - "put FILE": the command's data becomes the file (bytes as they are).
//    Empty data for a file directly under "/fd0/4/oper/" deletes that
//    cashier (no error when it does not exist); elsewhere it stores an empty
//    file. Reply S, empty.
//  - "put n_2snd NAME": stores the data (an XML document, not checked) as
//    "/fd0/1/n_snd/" + NAME. Reply S, empty.
//  - "get zregs": an XML document <zregs> with <status>, <tin>, <name>
//    directly under the root (each can be left out), or ZregsXml verbatim.
//
// Error answers (type L, data as quoted, path = the argument as sent; the
// tool records them as "device cancel" errors and its transaction fails):
//  - cat of a missing file or of a folder:   "File not found: " + path
//  - cd to a missing folder, or to a file that is not of the PLU cursor
//    form:                                   "Directory not found: " + path
//  - put into a missing folder, or a missing file name:
//                                            "Cannot write file: " + path
//  - cat/cd without an argument:             "Missing argument"
//  - an unknown command word:                "Unknown command: " + word
//  - "get" of anything but "zregs":          "Unknown command: get " + arg
//  - a refused command line (SetRefusal with Reject): "Refused"
//  - a scripted handler that throws:         "Script error: " + what()
//
// The store always has the folders "/sd0/db0", "/fd0/1/n_snd", "/fd0/4/alte"
// and "/fd0/4/oper" (and their parents); PutFile creates missing folders.
//
// Faults: QueueFault adds to a queue consumed one entry per reply the
// simulator is about to send (an entry with Count > 1 is consumed Count
// times where the kind says so). With an empty queue, SetRandomFaults picks
// a fault for each reply at the given rate from a seeded generator.
//
// Pacing: with BaudRate > 0 every byte costs 10 bit times in both directions:
// a received byte is handled only once its time on the wire has passed, and
// replies are written at wire speed. CommandDelayMs is added before each
// command's first reply packet.
//
// Thread safety: every public member may be called from any thread while the
// server runs. Scripted handlers run on the server thread with the
// simulator's (recursive) lock held; they may call the public members.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ecrsim {

// CRC-16/BUYPASS: polynomial 0x8005, initial 0, MSB first, no reflection,
// no final XOR ("123456789" -> 0xFEE8).
uint16_t Crc16(const std::string& bytes, uint16_t crc = 0);

// A whole packet as the tool sends it: ESC ESC, FRAME as one uppercase hex
// digit (frame & 15), TYPE, LEN as 4 uppercase hex digits, DATA, CRC.
std::string EncodePacket(int frame, char type, const std::string& data, bool lowerCaseCrc = false);

struct TReplyPart {
    char Type = 'S';
    std::string Data;
};

// A command's reply. Parts are sent one per packet: the first in answer to the
// command (S) or its last data packet (Q), each further one in answer to an O.
// Silent: nothing is sent at all (the command is still counted as executed).
struct TCommandReply {
    std::vector<TReplyPart> Parts;
    bool Silent = false;
};

// Splits data into reply parts: one S part when it fits into chunk bytes
// (chunk 0 = no limit, 65535 at most), else P ... P Q.
std::vector<TReplyPart> SplitReply(const std::string& data, size_t chunk);

enum class TFaultKind {
    Retry,             // Count replies of type N (the packet is not processed)
    Busy,              // Count replies of type M with Text (default "45% Writing"), packet not processed
    WrongFrame,        // the reply carries FRAME + 1 (wrapping 15 -> 0), or Value when 0..15
    BadChecksum,       // the reply's CRC is off by one
    LowerCaseChecksum, // the reply's CRC in lowercase hex digits (valid)
    Garbage,           // Text (default "#!garbage~") is written before the reply
    ExtraEsc,          // Count (default 1) more ESC bytes before the reply's two
    ControlBytes,      // Text (default "\x01\x02\r\n") between the SYNC and FRAME
    Silence,           // Count packets get no answer and are not processed
    Refuse,            // reply type L with Text (default "Refused"), packet not processed
    Truncate,          // only the first Value bytes of the reply are written (default -1: all but 2)
    Cut,               // the reply stops at a point drawn from the seeded generator: after SYNC and
                       // at least one more byte, at most all but one (a line that drops out)
    Raw,               // Text is written instead of the reply, packet not processed
};

struct TFault {
    TFaultKind Kind = TFaultKind::Retry;
    int Count = 1;
    int Value = -1;
    std::optional<std::string> Text = std::nullopt;
};

// A packet as the simulator read it.
struct TPacketLog {
    char Frame = 0;     // the FRAME character as received
    char Type = 0;
    std::string Data;
    bool CrcOk = true;
    bool Repeat = false; // recognised as a repeat of the packet before
};

// A packet as the simulator wrote it (before faults that damage bytes).
struct TSentLog {
    char Frame = 0;
    char Type = 0;
    std::string Data;
    std::string Fault; // name of the fault applied, empty when none
};

// Per-command script: return a reply to take over the command, or nothing to
// let the built-in behaviour answer. commandLine is the packet's text
// unchanged, data the bytes that came with it (empty for S).
using TCommandHandler =
    std::function<std::optional<TCommandReply>(const std::string& commandLine, const std::string& data)>;

enum class TRefusal {
    Silent, // no answer at all
    Reject, // answered L "Refused"
};

class TEcrSim {
public:
    TEcrSim();
    ~TEcrSim(); // Stop()s and closes the pty; removes the link made by LinkAs
    TEcrSim(const TEcrSim&) = delete;
    TEcrSim& operator=(const TEcrSim&) = delete;

    // --- The line --------------------------------------------------------
    // Creates the pty if not yet done and starts serving; false with Error()
    // when the pty cannot be made. Start after Stop serves the same pty.
    bool Start();
    void Stop();
    bool Running() const;
    const std::string& Error() const;
    // Slave path such as "/dev/pts/7"; empty before Start.
    std::string DevicePath() const;
    // Symbolic link to the slave, creating parent folders; removed again by
    // the destructor or UnlinkAll. A stale link (one to a pseudo-terminal) is
    // replaced; anything else at the path (a link to a real port,
    // a file) is left alone and refused. False with Error() on failure. Call
    // after Start.
    bool LinkAs(const std::string& linkPath);
    void UnlinkAll();

    // --- Behaviour ---------------------------------------------------------
    void SetUnlockAnswer(const std::string& answer); // "" = no answer
    void SetBaudRate(int baud);                      // 0 (default) = no pacing
    void SetCommandDelay(int ms);                    // default 0
    void SetReplyChunk(size_t bytes);                // default 512
    void SetPageSize(size_t entries);                // default 50, 0 = no limit
    void SetPingReply(const std::string& data);      // default ""
    // Off: the logs below stay empty (for a long-running simulator).
    void SetLogging(bool on);                        // default on

    // info values; a key set to nothing is left out of the reply.
    // Defaults: TYPE=1 MOD=SIM-ECR VER=1.00.0 FDIN=SM00001234 FMIN=FM00005678
    void SetInfo(const std::string& key, std::optional<std::string> value);
    void ClearInfo();

    // get zregs; defaults: status 1, tin 123456789, name "Test Shop"; nothing
    // leaves the element out. SetZregsXml replaces the whole reply.
    void SetZregs(std::optional<std::string> status, std::optional<std::string> tin,
                  std::optional<std::string> name);
    void SetZregsXml(std::optional<std::string> xml);

    // Refuse one exact command line (for example "ping 111").
    void SetRefusal(const std::string& commandLine, std::optional<TRefusal> refusal);

    // Scripting: a handler consulted for every command first; a fixed reply
    // for a command word (consulted after the handler).
    void SetCommandHandler(TCommandHandler handler);
    void SetCommandReply(const std::string& commandWord, std::optional<TCommandReply> reply);

    // --- Faults ------------------------------------------------------------
    void QueueFault(const TFault& fault);
    void ClearFaults();
    size_t PendingFaults() const;
    // rate 0..1 per reply; kinds empty = Retry, Busy, WrongFrame, BadChecksum,
    // LowerCaseChecksum, Garbage, ExtraEsc, ControlBytes, Truncate, Cut (every
    // fault the tool recovers from within its default limits).
    void SetRandomFaults(double rate, uint32_t seed, std::vector<TFaultKind> kinds = {});

    // --- File store (paths are absolute, "/fd0/4/alte/3") -------------------
    void PutFile(const std::string& path, const std::string& content);
    std::optional<std::string> GetFile(const std::string& path) const;
    bool DeleteFile(const std::string& path);
    void MakeFolder(const std::string& path);
    // Names of the files directly in a folder, in listing order.
    std::vector<std::string> ListFiles(const std::string& folder) const;
    std::map<std::string, std::string> AllFiles() const;
    void ClearFiles(); // back to the empty standard folders
    std::string CurrentDir() const;

    // Fills n PLU files (numbers 1..n), three taxes, three cashiers and the
    // advertising lines, in the register's own line formats.
    void FillSample(int pluCount);

    // A folder mirrors the store: DIR/sd0/db0/12 is "/sd0/db0/12". Load adds
    // what the folder holds (a missing folder is not an error); Save writes
    // every file and removes files of the store's tree that are gone.
    bool LoadState(const std::string& dir, std::string& error);
    bool SaveState(const std::string& dir, std::string& error) const;

    // --- Logs for tests ------------------------------------------------------
    std::vector<TPacketLog> ReceivedPackets() const;
    std::vector<TSentLog> SentPackets() const;
    std::string RawReceived() const;
    std::string RawSent() const;
    // Texts such as "expected 3, got 5" when a new packet's FRAME does not
    // follow the one before (1 after a fresh connection, 15 -> 1).
    std::vector<std::string> SequenceProblems() const;
    int UnlockCount() const;
    int ConnectionCount() const; // closes of the slave seen so far
    void ClearLogs();
    // Waits until at least n packets have been received; false on time-out.
    bool WaitForPackets(size_t n, int timeoutMs) const;

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};

} // namespace ecrsim
