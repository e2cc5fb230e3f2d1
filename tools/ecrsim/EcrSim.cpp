#include "EcrSim.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace ecrsim {

namespace {

constexpr char kEsc = 0x1B;
constexpr const char* kUnlockCode = "kteviz7u";
// A packet whose bytes stop coming for this long is given up.
constexpr int64_t kPartialPacketNs = 500'000'000;
// Pacing writes in slices keeps the reader's view of the line close to a
// real UART without a system call per byte.
constexpr size_t kWriteSlice = 64;

using Clock = std::chrono::steady_clock;

// ppoll with a time-out in nanoseconds (negative: none): pacing at 115200
// bit/s works in steps of 87 us, far below poll()'s milliseconds.
int PollNs(pollfd* fds, nfds_t n, int64_t timeoutNs)
{
    if (timeoutNs < 0)
        return ::ppoll(fds, n, nullptr, nullptr);
    timespec ts{static_cast<time_t>(timeoutNs / 1'000'000'000), static_cast<long>(timeoutNs % 1'000'000'000)};
    return ::ppoll(fds, n, &ts, nullptr);
}

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

const char kHexUpper[] = "0123456789ABCDEF";
const char kHexLower[] = "0123456789abcdef";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// -1 when the text is not all hex digits.
long ParseHex(const char* p, size_t n)
{
    long v = 0;
    for (size_t i = 0; i < n; ++i) {
        int d = HexDigit(p[i]);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

std::string Hex4(unsigned v, bool lower = false)
{
    const char* digits = lower ? kHexLower : kHexUpper;
    std::string s(4, '0');
    for (int i = 3; i >= 0; --i) {
        s[static_cast<size_t>(i)] = digits[v & 15];
        v >>= 4;
    }
    return s;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::optional<unsigned long long> ParseNumber(const std::string& s)
{
    if (s.empty())
        return std::nullopt;
    unsigned long long v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return v;
}

// Numbers first in their order, then everything else byte by byte: the order
// the register lists its files in.
bool ListingLess(const std::string& a, const std::string& b)
{
    auto na = ParseNumber(a);
    auto nb = ParseNumber(b);
    if (na && nb)
        return *na != *nb ? *na < *nb : a < b;
    if (na != nb)
        return na.has_value();
    return a < b;
}

std::string Parent(const std::string& path)
{
    auto pos = path.rfind('/');
    if (pos == std::string::npos || pos == 0)
        return "/";
    return path.substr(0, pos);
}

std::string BaseName(const std::string& path)
{
    auto pos = path.rfind('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

// Absolute form without a trailing '/', "." and ".." resolved.
std::string Normalize(const std::string& cwd, const std::string& path)
{
    std::string full = (!path.empty() && path[0] == '/') ? path : cwd + "/" + path;
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= full.size()) {
        size_t j = full.find('/', i);
        if (j == std::string::npos)
            j = full.size();
        std::string part = full.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string XmlEscape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

const char* FaultName(TFaultKind k)
{
    switch (k) {
    case TFaultKind::Retry: return "retry";
    case TFaultKind::Busy: return "busy";
    case TFaultKind::WrongFrame: return "wrong frame";
    case TFaultKind::BadChecksum: return "bad checksum";
    case TFaultKind::LowerCaseChecksum: return "lower-case checksum";
    case TFaultKind::Garbage: return "garbage";
    case TFaultKind::ExtraEsc: return "extra ESC";
    case TFaultKind::ControlBytes: return "control bytes";
    case TFaultKind::Silence: return "silence";
    case TFaultKind::Refuse: return "refuse";
    case TFaultKind::Truncate: return "truncate";
    case TFaultKind::Cut: return "cut";
    case TFaultKind::Raw: return "raw";
    }
    return "?";
}

const std::vector<std::string> kStandardFolders = {"/sd0/db0", "/fd0/1/n_snd", "/fd0/4/alte", "/fd0/4/oper"};

} // namespace

uint16_t Crc16(const std::string& bytes, uint16_t crc)
{
    for (unsigned char b : bytes) {
        crc = static_cast<uint16_t>(crc ^ (b << 8));
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x8005) : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

std::string EncodePacket(int frame, char type, const std::string& data, bool lowerCaseCrc)
{
    std::string hdr;
    hdr += kHexUpper[frame & 15];
    hdr += type;
    hdr += Hex4(static_cast<unsigned>(std::min<size_t>(data.size(), 0xFFFF)));
    std::string body = hdr + data.substr(0, 0xFFFF);
    return std::string(2, kEsc) + body + Hex4(Crc16(body), lowerCaseCrc);
}

std::vector<TReplyPart> SplitReply(const std::string& data, size_t chunk)
{
    if (chunk == 0 || chunk > 0xFFFF)
        chunk = 0xFFFF;
    if (data.size() <= chunk)
        return {TReplyPart{'S', data}};
    std::vector<TReplyPart> parts;
    for (size_t pos = 0; pos < data.size(); pos += chunk)
        parts.push_back(TReplyPart{pos + chunk >= data.size() ? 'Q' : 'P', data.substr(pos, chunk)});
    return parts;
}

// ---------------------------------------------------------------------------

struct TEcrSim::TImpl {
    mutable std::recursive_mutex mu;
    mutable std::condition_variable_any packetArrived;

    // The line.
    int master = -1;
    std::string slavePath;
    int wake[2] = {-1, -1};
    int notify = -1;
    // Our own descriptor of the slave, kept only while inotify reports the
    // tool's closes: it lets us clear an exclusive flag that a tool left set
    // (a crash closes without clearing it, and the flag lives as long as the
    // master), so the next open by a normal user does not fail with EBUSY.
    int hold = -1;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::string error;
    std::vector<std::string> links;

    // Behaviour.
    std::string unlockAnswer = "UNLOCKED\r\n";
    int baud = 0;
    int commandDelayMs = 0;
    size_t replyChunk = 512;
    size_t pageSize = 50;
    std::string pingReply;
    std::vector<std::pair<std::string, std::string>> info;
    std::optional<std::string> zStatus = "1", zTin = "123456789", zName = "Test Shop";
    std::optional<std::string> zXml;
    std::map<std::string, TRefusal> refusals;
    TCommandHandler handler;
    std::map<std::string, TCommandReply> fixedReplies;

    // Faults.
    std::deque<TFault> faults;
    double randomRate = 0;
    std::mt19937 rng{1};
    std::vector<TFaultKind> randomKinds;

    // Store.
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    std::string cwd = "/";
    unsigned long long cursor = 0;

    // Receiver (server thread).
    std::string rx;
    std::deque<int64_t> rxTimes; // when each byte of rx has fully arrived
    int64_t rxWireFreeAt = 0;
    int64_t txWireFreeAt = 0;
    int64_t lastRxAt = 0;
    std::string text; // bytes outside packets, for the unlock code

    // Connection state.
    bool pendingCommand = false;
    std::string pendingLine, pendingData;
    std::deque<TReplyPart> pendingParts;
    bool haveLast = false;
    int lastFrame = -1;
    char lastType = 0;
    std::string lastData;
    std::optional<TReplyPart> lastReply;
    int lastSeenFrame = -1;
    int expectedFrame = 1;

    // Logs.
    std::vector<TPacketLog> received;
    std::vector<TSentLog> sent;
    std::string rawIn, rawOut;
    std::vector<std::string> seqProblems;
    int unlocks = 0;
    int connections = 0;
    bool logging = true;

    TImpl()
    {
        info = {{"TYPE", "1"}, {"MOD", "SIM-ECR"}, {"VER", "1.00.0"}, {"FDIN", "SM00001234"}, {"FMIN", "FM00005678"}};
        ResetFolders();
    }

    void ResetFolders()
    {
        folders.clear();
        for (const auto& f : kStandardFolders)
            AddFolder(f);
    }

    void AddFolder(const std::string& path)
    {
        std::string p = path;
        while (true) {
            folders.insert(p);
            if (p == "/")
                break;
            p = Parent(p);
        }
    }

    int64_t ByteNs() const { return baud > 0 ? 10'000'000'000LL / baud : 0; }

    // --- connection ------------------------------------------------------

    void ResetConnection()
    {
        pendingCommand = false;
        pendingLine.clear();
        pendingData.clear();
        pendingParts.clear();
        haveLast = false;
        lastReply.reset();
        lastSeenFrame = -1;
        expectedFrame = 1;
        cwd = "/";
        cursor = 0;
        text.clear();
    }

    // Sleeps until the deadline or until Stop; false when stopping.
    bool SleepUntil(int64_t deadline)
    {
        while (!stopping) {
            int64_t left = deadline - NowNs();
            if (left <= 0)
                return true;
            pollfd p{wake[0], POLLIN, 0};
            PollNs(&p, 1, std::min<int64_t>(left, 1'000'000'000));
        }
        return false;
    }

    // Writes at wire speed; gives up quietly when the slave is gone.
    void WriteOut(const std::string& bytes)
    {
        if (bytes.empty())
            return;
        int64_t byteNs;
        {
            std::lock_guard lock(mu);
            byteNs = ByteNs();
        }
        int64_t start = std::max(NowNs(), txWireFreeAt);
        size_t done = 0;
        size_t stallDone = SIZE_MAX;
        int64_t stallAt = 0;
        auto stalledSince = [&](size_t progress) {
            if (progress != stallDone) {
                stallDone = progress;
                stallAt = NowNs();
            }
            return stallAt;
        };
        while (done < bytes.size() && !stopping) {
            size_t n = byteNs > 0 ? std::min(kWriteSlice, bytes.size() - done) : bytes.size() - done;
            if (byteNs > 0 && !SleepUntil(start + static_cast<int64_t>(done + n) * byteNs))
                return;
            ssize_t w = ::write(master, bytes.data() + done, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0 && errno == EAGAIN) {
                // The slave's queue is full: its reader has stopped reading.
                // A real line would not wait; give up after a while, and at
                // once when the reader has gone.
                if (NowNs() - stalledSince(done) > 2'000'000'000LL)
                    break;
                pollfd p[3] = {{master, POLLOUT, 0}, {wake[0], POLLIN, 0}, {notify, POLLIN, 0}};
                PollNs(p, 3, 100'000'000);
                if (p[0].revents & (POLLHUP | POLLERR))
                    break;
                if (p[2].revents & POLLIN) {
                    TNotified events = DrainNotify();
                    if (events.Any())
                        NewConnection(events.closes, events.lastIsClose);
                    if (events.closes > 0)
                        break;
                }
                continue;
            }
            if (w <= 0)
                break;
            {
                std::lock_guard lock(mu);
                if (logging)
                    rawOut.append(bytes, done, static_cast<size_t>(w));
            }
            done += static_cast<size_t>(w);
        }
        txWireFreeAt = start + static_cast<int64_t>(bytes.size()) * byteNs;
    }

    // --- faults ----------------------------------------------------------

    std::optional<TFault> NextFault()
    {
        if (!faults.empty()) {
            TFault f = faults.front();
            bool counted = f.Kind == TFaultKind::Retry || f.Kind == TFaultKind::Busy || f.Kind == TFaultKind::Silence;
            if (counted && faults.front().Count > 1) {
                --faults.front().Count;
                f.Count = 1;
            } else {
                faults.pop_front();
            }
            return f;
        }
        if (randomRate > 0 && std::uniform_real_distribution<double>(0, 1)(rng) < randomRate) {
            static const std::vector<TFaultKind> kRecoverable = {
                TFaultKind::Retry,   TFaultKind::Busy,         TFaultKind::WrongFrame,
                TFaultKind::BadChecksum, TFaultKind::LowerCaseChecksum, TFaultKind::Garbage,
                TFaultKind::ExtraEsc, TFaultKind::ControlBytes, TFaultKind::Truncate, TFaultKind::Cut};
            const auto& kinds = randomKinds.empty() ? kRecoverable : randomKinds;
            TFault f;
            f.Kind = kinds[std::uniform_int_distribution<size_t>(0, kinds.size() - 1)(rng)];
            return f;
        }
        return std::nullopt;
    }

    // The bytes of one reply with the fault worked in.
    std::string ReplyBytes(int frame, const TReplyPart& part, const std::optional<TFault>& fault)
    {
        TSentLog log{kHexUpper[frame & 15], part.Type, part.Data, fault ? FaultName(fault->Kind) : ""};
        // Kept even without logging, as the one entry that fault marking uses.
        if (!logging)
            sent.clear();
        sent.push_back(log);
        if (!fault)
            return EncodePacket(frame, part.Type, part.Data);
        const TFault& f = *fault;
        std::string pkt;
        switch (f.Kind) {
        case TFaultKind::WrongFrame: {
            int wrong = (f.Value >= 0 && f.Value <= 15) ? f.Value : (frame + 1) & 15;
            pkt = EncodePacket(wrong, part.Type, part.Data);
            sent.back().Frame = kHexUpper[wrong];
            break;
        }
        case TFaultKind::BadChecksum: {
            pkt = EncodePacket(frame, part.Type, part.Data);
            std::string body = pkt.substr(2, pkt.size() - 6);
            pkt = std::string(2, kEsc) + body + Hex4(static_cast<uint16_t>(Crc16(body) + 1));
            break;
        }
        case TFaultKind::LowerCaseChecksum:
            pkt = EncodePacket(frame, part.Type, part.Data, true);
            break;
        case TFaultKind::Garbage:
            pkt = f.Text.value_or("#!garbage~") + EncodePacket(frame, part.Type, part.Data);
            break;
        case TFaultKind::ExtraEsc:
            pkt = std::string(static_cast<size_t>(std::max(f.Count, 1)), kEsc) + EncodePacket(frame, part.Type, part.Data);
            break;
        case TFaultKind::ControlBytes:
            pkt = EncodePacket(frame, part.Type, part.Data);
            pkt.insert(2, f.Text.value_or("\x01\x02\r\n"));
            break;
        case TFaultKind::Truncate: {
            pkt = EncodePacket(frame, part.Type, part.Data);
            size_t keep = f.Value >= 0 ? static_cast<size_t>(f.Value) : pkt.size() - 2;
            pkt.resize(std::min(keep, pkt.size()));
            break;
        }
        case TFaultKind::Cut:
            pkt = EncodePacket(frame, part.Type, part.Data);
            pkt.resize(std::uniform_int_distribution<size_t>(3, pkt.size() - 1)(rng));
            break;
        default:
            pkt = EncodePacket(frame, part.Type, part.Data);
        }
        return pkt;
    }

    // --- store -----------------------------------------------------------

    std::vector<std::string> Entries(const std::string& folder) const
    {
        std::vector<std::string> names;
        std::string prefix = folder == "/" ? "/" : folder + "/";
        for (auto it = files.lower_bound(prefix); it != files.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
            if (it->first.find('/', prefix.size()) == std::string::npos)
                names.push_back(it->first.substr(prefix.size()));
        for (auto it = folders.lower_bound(prefix); it != folders.end() && it->compare(0, prefix.size(), prefix) == 0; ++it)
            if (it->size() > prefix.size() && it->find('/', prefix.size()) == std::string::npos)
                names.push_back(it->substr(prefix.size()));
        std::sort(names.begin(), names.end(), ListingLess);
        return names;
    }

    std::string Listing() const
    {
        std::vector<std::string> names = Entries(cwd);
        if (cwd == "/sd0/db0") {
            auto first = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                auto v = ParseNumber(n);
                return !v || *v >= cursor;
            });
            names.erase(names.begin(), first);
            if (pageSize > 0 && names.size() > pageSize)
                names.resize(pageSize);
        }
        std::string out;
        std::string prefix = cwd == "/" ? "/" : cwd + "/";
        for (const auto& n : names) {
            auto f = files.find(prefix + n);
            out += n + "\t" + (f != files.end() ? std::to_string(f->second.size()) : std::string("<DIR>")) + "\r\n";
        }
        return out;
    }

    std::string Zregs() const
    {
        if (zXml)
            return *zXml;
        std::string x = "<?xml version=\"1.0\"?>\r\n<zregs>\r\n";
        if (zStatus)
            x += "<status>" + XmlEscape(*zStatus) + "</status>\r\n";
        if (zTin)
            x += "<tin>" + XmlEscape(*zTin) + "</tin>\r\n";
        if (zName)
            x += "<name>" + XmlEscape(*zName) + "</name>\r\n";
        x += "<nrep>0</nrep>\r\n</zregs>\r\n";
        return x;
    }

    // --- commands --------------------------------------------------------

    static TCommandReply Reject(const std::string& text) { return TCommandReply{{TReplyPart{'L', text}}, false}; }
    TCommandReply Data(const std::string& data) const { return TCommandReply{SplitReply(data, replyChunk), false}; }

    TCommandReply Execute(const std::string& line, const std::string& data)
    {
        if (handler) {
            // A script that throws must not take the server thread down.
            try {
                if (auto r = handler(line, data))
                    return *r;
            } catch (const std::exception& e) {
                return Reject(std::string("Script error: ") + e.what());
            }
        }
        auto refusal = refusals.find(line);
        if (refusal != refusals.end()) {
            if (refusal->second == TRefusal::Silent)
                return TCommandReply{{}, true};
            return Reject("Refused");
        }
        auto sp = line.find(' ');
        std::string word = line.substr(0, sp);
        std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
        auto fixed = fixedReplies.find(word);
        if (fixed != fixedReplies.end())
            return fixed->second;

        std::vector<std::string> args;
        for (size_t i = 0; i < rest.size();) {
            size_t j = rest.find(' ', i);
            if (j == std::string::npos)
                j = rest.size();
            if (j > i)
                args.push_back(rest.substr(i, j - i));
            i = j + 1;
        }

        if (word == "ping")
            return Data(pingReply);
        if (word == "set")
            return Data("");
        if (word == "info") {
            std::string out;
            if (args.empty()) {
                for (const auto& [k, v] : info)
                    out += k + "=" + v + "\r\n";
            }
            for (const auto& a : args)
                for (const auto& [k, v] : info)
                    if (Upper(k) == Upper(a)) {
                        out += k + "=" + v + "\r\n";
                        break;
                    }
            return Data(out);
        }
        if (word == "get") {
            if (args.size() == 1 && args[0] == "zregs")
                return Data(Zregs());
            return Reject("Unknown command: " + line);
        }
        if (word == "cd") {
            if (rest.empty())
                return Reject("Missing argument");
            std::string p = Normalize(cwd, rest);
            if (folders.count(p)) {
                cwd = p;
                cursor = 0;
                return Data("");
            }
            if (Parent(p) == "/sd0/db0") {
                if (auto k = ParseNumber(BaseName(p))) {
                    cwd = "/sd0/db0";
                    cursor = *k;
                    return Data("");
                }
            }
            return Reject("Directory not found: " + rest);
        }
        if (word == "ls")
            return Data(Listing());
        if (word == "cat") {
            if (rest.empty())
                return Reject("Missing argument");
            auto f = files.find(Normalize(cwd, rest));
            if (f == files.end())
                return Reject("File not found: " + rest);
            return Data(f->second);
        }
        if (word == "put") {
            std::string p;
            if (args.size() == 2 && args[0] == "n_2snd")
                p = "/fd0/1/n_snd/" + args[1];
            else if (!rest.empty())
                p = Normalize(cwd, rest);
            if (p.empty() || p == "/" || folders.count(p) || !folders.count(Parent(p)))
                return Reject("Cannot write file: " + rest);
            if (data.empty() && Parent(p) == "/fd0/4/oper")
                files.erase(p);
            else
                files[p] = data;
            return Data("");
        }
        return Reject("Unknown command: " + word);
    }

    // Builds the answer to one packet; nothing when it goes unanswered.
    std::optional<TReplyPart> Answer(char type, const std::string& data, bool& isCommand)
    {
        isCommand = false;
        auto command = [&](const std::string& line, const std::string& cmdData) -> std::optional<TReplyPart> {
            isCommand = true;
            pendingParts.clear();
            TCommandReply r = Execute(line, cmdData);
            if (r.Silent)
                return std::nullopt;
            if (r.Parts.empty())
                return TReplyPart{'S', ""};
            pendingParts.assign(r.Parts.begin() + 1, r.Parts.end());
            return r.Parts.front();
        };
        switch (type) {
        case 'S':
            pendingCommand = false;
            return command(data, "");
        case 'R':
            pendingParts.clear();
            pendingCommand = true;
            pendingLine = data;
            pendingData.clear();
            return TReplyPart{'O', ""};
        case 'P':
            if (!pendingCommand)
                return TReplyPart{'L', "No command"};
            pendingData += data;
            return TReplyPart{'O', ""};
        case 'Q':
            if (!pendingCommand)
                return TReplyPart{'L', "No command"};
            pendingCommand = false;
            pendingData += data;
            return command(pendingLine, pendingData);
        case 'L':
            pendingCommand = false;
            pendingParts.clear();
            return TReplyPart{'S', ""};
        case 'O':
            if (!pendingParts.empty()) {
                TReplyPart p = pendingParts.front();
                pendingParts.pop_front();
                return p;
            }
            return TReplyPart{'S', ""};
        default:
            return TReplyPart{'L', "Unexpected packet"};
        }
    }

    // What to send for one received packet.
    struct TOutgoing {
        std::string bytes;
        int delayMs = 0;
    };

    TOutgoing HandlePacket(char frameChar, char type, const std::string& data, bool crcOk)
    {
        int frame = HexDigit(frameChar);
        TPacketLog log{frameChar, type, data, crcOk, false};
        TOutgoing out;
        if (crcOk) {
            if (frame != lastSeenFrame) {
                if (frame != expectedFrame)
                    seqProblems.push_back("expected " + std::to_string(expectedFrame) + ", got " + std::to_string(frame));
                expectedFrame = frame % 15 + 1;
            }
            lastSeenFrame = frame;
        }
        std::optional<TFault> fault = NextFault();
        auto done = [&]() {
            if (logging)
                received.push_back(log);
            packetArrived.notify_all();
            return out;
        };
        if (fault) {
            switch (fault->Kind) {
            case TFaultKind::Retry:
                out.bytes = ReplyBytes(frame, {'N', ""}, std::nullopt);
                sent.back().Fault = FaultName(fault->Kind);
                return done();
            case TFaultKind::Busy:
                out.bytes = ReplyBytes(frame, {'M', fault->Text.value_or("45% Writing")}, std::nullopt);
                sent.back().Fault = FaultName(fault->Kind);
                return done();
            case TFaultKind::Refuse:
                out.bytes = ReplyBytes(frame, {'L', fault->Text.value_or("Refused")}, std::nullopt);
                sent.back().Fault = FaultName(fault->Kind);
                return done();
            case TFaultKind::Silence:
                return done();
            case TFaultKind::Raw:
                out.bytes = fault->Text.value_or("");
                return done();
            default:
                break;
            }
        }
        if (!crcOk) {
            out.bytes = ReplyBytes(frame, {'N', ""}, fault);
            return done();
        }
        std::optional<TReplyPart> reply;
        if (haveLast && frame == lastFrame && type == lastType && data == lastData) {
            log.Repeat = true;
            reply = lastReply;
        } else {
            bool isCommand = false;
            reply = Answer(type, data, isCommand);
            if (isCommand)
                out.delayMs = commandDelayMs;
            haveLast = true;
            lastFrame = frame;
            lastType = type;
            lastData = data;
            lastReply = reply;
        }
        if (reply)
            out.bytes = ReplyBytes(frame, *reply, fault);
        return done();
    }

    // --- receiver --------------------------------------------------------

    // Handles what has arrived; returns when it must wait. Sets wakeAt to the
    // time something more can be done without new bytes (0: nothing).
    void ProcessInput(int64_t& wakeAt)
    {
        wakeAt = 0;
        while (!stopping) {
            int64_t now = NowNs();
            TOutgoing out;
            bool haveOut = false;
            {
                std::lock_guard lock(mu);
                if (rx.empty())
                    return;
                if (rx[0] != kEsc) {
                    if (rxTimes.front() > now) {
                        wakeAt = rxTimes.front();
                        return;
                    }
                    // A run of text up to the next ESC, as far as it has
                    // arrived, taken in one go: noise can be long.
                    size_t end = std::min(rx.find(kEsc), rx.size());
                    size_t j = 0;
                    while (j < end && rxTimes[j] <= now && !haveOut) {
                        text += rx[j++];
                        if (text.size() > 64)
                            text.erase(0, text.size() - 64);
                        auto pos = text.find(kUnlockCode);
                        if (pos != std::string::npos && text.size() > pos + 8
                            && (text[pos + 8] == '\r' || text[pos + 8] == '\n')) {
                            text.clear();
                            ++unlocks;
                            ResetConnection();
                            out.bytes = unlockAnswer;
                            haveOut = true;
                        }
                    }
                    rx.erase(0, j);
                    rxTimes.erase(rxTimes.begin(), rxTimes.begin() + static_cast<long>(j));
                } else {
                    // SYNC: one or more ESC, control bytes skipped, then FRAME.
                    size_t i = 0;
                    while (i < rx.size() && static_cast<unsigned char>(rx[i]) < 0x20)
                        ++i;
                    bool bad = false;
                    size_t need = 0;
                    long len = 0;
                    if (i + 6 <= rx.size()) {
                        int frame = HexDigit(rx[i]);
                        char type = rx[i + 1];
                        len = ParseHex(rx.data() + i + 2, 4);
                        if (frame < 0 || type < 'L' || type > 'S' || len < 0)
                            bad = true;
                        else
                            need = i + 6 + static_cast<size_t>(len) + 4;
                    }
                    if (bad) {
                        rx.erase(0, 1);
                        rxTimes.pop_front();
                        continue;
                    }
                    if (need == 0 || rx.size() < need) {
                        if (now - lastRxAt >= kPartialPacketNs) {
                            rx.erase(0, 1);
                            rxTimes.pop_front();
                            continue;
                        }
                        wakeAt = lastRxAt + kPartialPacketNs;
                        return;
                    }
                    if (rxTimes[need - 1] > now) {
                        wakeAt = rxTimes[need - 1];
                        return;
                    }
                    std::string body = rx.substr(i, 6 + static_cast<size_t>(len));
                    long crc = ParseHex(rx.data() + i + 6 + len, 4);
                    bool crcOk = crc >= 0 && static_cast<uint16_t>(crc) == Crc16(body);
                    char frameChar = rx[i];
                    char type = rx[i + 1];
                    std::string data = body.substr(6);
                    rx.erase(0, need);
                    rxTimes.erase(rxTimes.begin(), rxTimes.begin() + static_cast<long>(need));
                    out = HandlePacket(frameChar, type, data, crcOk);
                    haveOut = true;
                }
            }
            if (haveOut) {
                if (out.delayMs > 0 && !SleepUntil(NowNs() + out.delayMs * 1'000'000LL))
                    return;
                WriteOut(out.bytes);
            }
        }
    }

    void Receive(const char* p, size_t n)
    {
        std::lock_guard lock(mu);
        int64_t now = NowNs();
        int64_t byteNs = ByteNs();
        lastRxAt = now;
        if (logging)
            rawIn.append(p, n);
        for (size_t i = 0; i < n; ++i) {
            rxWireFreeAt = std::max(rxWireFreeAt, now) + byteNs;
            rx += p[i];
            rxTimes.push_back(rxWireFreeAt);
        }
    }

    // A connection ended (closes > 0) or a new one began. lastIsClose: no
    // tool holds the slave now, so what is left on it is the departed tool's.
    void NewConnection(int closes, bool lastIsClose)
    {
        if (hold >= 0 && lastIsClose) {
            ::ioctl(hold, TIOCNXCL);
            // What was written for the tool that left is not for the next.
            ::tcflush(hold, TCIFLUSH);
        }
        std::lock_guard lock(mu);
        connections += closes;
        ResetConnection();
    }

    struct TNotified {
        int opens = 0;
        int closes = 0;
        bool lastIsClose = false;
        bool Any() const { return opens + closes > 0; }
    };

    // inotify tells of the tool's opens and closes of the slave.
    TNotified DrainNotify()
    {
        TNotified r;
        alignas(inotify_event) char buf[4096];
        while (notify >= 0) {
            ssize_t n = ::read(notify, buf, sizeof buf);
            if (n <= 0)
                break;
            for (ssize_t off = 0; off < n;) {
                auto* ev = reinterpret_cast<inotify_event*>(buf + off);
                if (ev->mask & IN_OPEN) {
                    ++r.opens;
                    r.lastIsClose = false;
                }
                if (ev->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                    ++r.closes;
                    r.lastIsClose = true;
                }
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            }
        }
        return r;
    }

    void Serve()
    {
        // Wire pacing sleeps in steps of tens of microseconds; the default
        // timer slack of 50 us would add to every one of them.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        bool hungUp = true;
        char buf[4096];
        while (!stopping) {
            int64_t wakeAt = 0;
            ProcessInput(wakeAt);
            if (stopping)
                break;
            int64_t timeout = -1;
            if (wakeAt > 0)
                timeout = std::max<int64_t>(0, wakeAt - NowNs());
            if (hungUp) {
                // Nobody has the slave open: the master reports POLLHUP without
                // end, so wait for inotify's word (or look again shortly).
                int64_t idle = notify >= 0 ? 200'000'000 : 2'000'000;
                timeout = timeout < 0 ? idle : std::min(timeout, idle);
            }
            pollfd p[3] = {{wake[0], POLLIN, 0}, {notify, POLLIN, 0}, {master, hungUp ? short(0) : short(POLLIN), 0}};
            int n = PollNs(p, hungUp ? 2 : 3, timeout);
            if (n < 0 && errno != EINTR)
                break;
            if (stopping)
                break;
            if (hungUp) {
                pollfd m{master, POLLIN, 0};
                ::poll(&m, 1, 0);
                if (!(m.revents & POLLHUP) || (m.revents & POLLIN))
                    hungUp = false;
            }
            ssize_t r = hungUp ? -1 : ::read(master, buf, sizeof buf);
            int readError = errno;
            // The events are read after the bytes: a new tool opens before it
            // writes, so bytes of a new connection come with its open event
            // and are taken only after the old connection is forgotten.
            TNotified events = DrainNotify();
            if (events.Any())
                NewConnection(events.closes, events.lastIsClose);
            if (r > 0) {
                Receive(buf, static_cast<size_t>(r));
            } else if (!hungUp && (r == 0 || (r < 0 && readError == EIO))) {
                hungUp = true;
                if (notify < 0)
                    NewConnection(1, true);
            }
        }
    }
};

// ---------------------------------------------------------------------------

TEcrSim::TEcrSim() : impl_(std::make_unique<TImpl>()) {}

TEcrSim::~TEcrSim()
{
    Stop();
    UnlinkAll();
    if (impl_->master >= 0)
        ::close(impl_->master);
    if (impl_->notify >= 0)
        ::close(impl_->notify);
    if (impl_->hold >= 0)
        ::close(impl_->hold);
    for (int fd : impl_->wake)
        if (fd >= 0)
            ::close(fd);
}

bool TEcrSim::Start()
{
    TImpl& d = *impl_;
    if (d.thread.joinable())
        return true;
    if (d.master < 0) {
        int m = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m < 0 || ::grantpt(m) != 0 || ::unlockpt(m) != 0) {
            d.error = std::string("Cannot create a pseudo-terminal: ") + std::strerror(errno);
            if (m >= 0)
                ::close(m);
            return false;
        }
        char name[128];
        if (::ptsname_r(m, name, sizeof name) != 0) {
            d.error = std::string("Cannot name the pseudo-terminal: ") + std::strerror(errno);
            ::close(m);
            return false;
        }
        // Raw line from the start: no echo of what we write before the tool
        // has set up the port itself.
        int s = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (s >= 0) {
            termios t{};
            if (::tcgetattr(s, &t) == 0) {
                ::cfmakeraw(&t);
                ::tcsetattr(s, TCSANOW, &t);
            }
        }
        ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
        d.master = m;
        d.slavePath = name;
        // Watch after our own open, so that only the tool's opens and closes
        // are reported.
        d.notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (d.notify >= 0 && ::inotify_add_watch(d.notify, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
            ::close(d.notify);
            d.notify = -1;
        }
        if (d.notify >= 0) {
            d.hold = s;
        } else if (s >= 0) {
            // Without word of closes a held slave would hide them; hangups
            // on the master must tell instead.
            ::close(s);
        }
    }
    // Made apart from the pty: when it fails, the next Start makes it again
    // rather than running a server that Stop could never wake.
    if (d.wake[0] < 0 && ::pipe2(d.wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        d.error = std::string("Cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    d.DrainNotify();
    d.stopping = false;
    d.thread = std::thread([&d] { d.Serve(); });
    return true;
}

void TEcrSim::Stop()
{
    TImpl& d = *impl_;
    if (!d.thread.joinable())
        return;
    d.stopping = true;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(d.wake[1], &c, 1);
    d.thread.join();
    char buf[64];
    while (::read(d.wake[0], buf, sizeof buf) > 0) {
    }
}

bool TEcrSim::Running() const { return impl_->thread.joinable(); }
const std::string& TEcrSim::Error() const { return impl_->error; }

std::string TEcrSim::DevicePath() const
{
    std::lock_guard lock(impl_->mu);
    return impl_->slavePath;
}

bool TEcrSim::LinkAs(const std::string& linkPath)
{
    TImpl& d = *impl_;
    if (d.slavePath.empty()) {
        d.error = "The simulator has no device yet";
        return false;
    }
    std::error_code ec;
    std::filesystem::path p(linkPath);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path(), ec);
    // Only a link left by an earlier simulator (to a pseudo-terminal) is
    // replaced: a link to a real port, even an unplugged one, is the user's
    // setting.
    auto st = std::filesystem::symlink_status(p, ec);
    if (std::filesystem::exists(st)) {
        std::string target = std::filesystem::is_symlink(st) ? std::filesystem::read_symlink(p, ec).string() : "";
        bool stale = std::filesystem::is_symlink(st) && target.rfind("/dev/pts/", 0) == 0;
        if (!stale) {
            d.error = linkPath + " already exists" + (target.empty() ? "" : " and points to " + target)
                      + "; remove it or choose another name";
            return false;
        }
        std::filesystem::remove(p, ec);
    }
    if (::symlink(d.slavePath.c_str(), linkPath.c_str()) != 0) {
        d.error = "Cannot create the link " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    d.links.push_back(linkPath);
    return true;
}

void TEcrSim::UnlinkAll()
{
    for (const auto& l : impl_->links) {
        // Only our own link: another simulator may have taken the name since.
        char target[256];
        ssize_t n = ::readlink(l.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == impl_->slavePath)
            ::unlink(l.c_str());
    }
    impl_->links.clear();
}

#define LOCKED std::lock_guard lock(impl_->mu)

void TEcrSim::SetUnlockAnswer(const std::string& answer) { LOCKED; impl_->unlockAnswer = answer; }
void TEcrSim::SetBaudRate(int baud) { LOCKED; impl_->baud = std::max(baud, 0); }
void TEcrSim::SetCommandDelay(int ms) { LOCKED; impl_->commandDelayMs = std::max(ms, 0); }
void TEcrSim::SetReplyChunk(size_t bytes) { LOCKED; impl_->replyChunk = bytes; }
void TEcrSim::SetPageSize(size_t entries) { LOCKED; impl_->pageSize = entries; }
void TEcrSim::SetPingReply(const std::string& data) { LOCKED; impl_->pingReply = data; }
void TEcrSim::SetLogging(bool on) { LOCKED; impl_->logging = on; }

void TEcrSim::SetInfo(const std::string& key, std::optional<std::string> value)
{
    LOCKED;
    auto& info = impl_->info;
    auto it = std::find_if(info.begin(), info.end(), [&](const auto& kv) { return Upper(kv.first) == Upper(key); });
    if (!value) {
        if (it != info.end())
            info.erase(it);
    } else if (it != info.end()) {
        it->second = *value;
    } else {
        info.emplace_back(key, *value);
    }
}

void TEcrSim::ClearInfo() { LOCKED; impl_->info.clear(); }

void TEcrSim::SetZregs(std::optional<std::string> status, std::optional<std::string> tin, std::optional<std::string> name)
{
    LOCKED;
    impl_->zStatus = std::move(status);
    impl_->zTin = std::move(tin);
    impl_->zName = std::move(name);
}

void TEcrSim::SetZregsXml(std::optional<std::string> xml) { LOCKED; impl_->zXml = std::move(xml); }

void TEcrSim::SetRefusal(const std::string& commandLine, std::optional<TRefusal> refusal)
{
    LOCKED;
    if (refusal)
        impl_->refusals[commandLine] = *refusal;
    else
        impl_->refusals.erase(commandLine);
}

void TEcrSim::SetCommandHandler(TCommandHandler handler) { LOCKED; impl_->handler = std::move(handler); }

void TEcrSim::SetCommandReply(const std::string& commandWord, std::optional<TCommandReply> reply)
{
    LOCKED;
    if (reply)
        impl_->fixedReplies[commandWord] = *reply;
    else
        impl_->fixedReplies.erase(commandWord);
}

void TEcrSim::QueueFault(const TFault& fault) { LOCKED; impl_->faults.push_back(fault); }
void TEcrSim::ClearFaults() { LOCKED; impl_->faults.clear(); impl_->randomRate = 0; }
size_t TEcrSim::PendingFaults() const { LOCKED; return impl_->faults.size(); }

void TEcrSim::SetRandomFaults(double rate, uint32_t seed, std::vector<TFaultKind> kinds)
{
    LOCKED;
    impl_->randomRate = std::clamp(rate, 0.0, 1.0);
    impl_->rng.seed(seed);
    impl_->randomKinds = std::move(kinds);
}

void TEcrSim::PutFile(const std::string& path, const std::string& content)
{
    LOCKED;
    std::string p = Normalize("/", path);
    impl_->AddFolder(Parent(p));
    impl_->files[p] = content;
}

std::optional<std::string> TEcrSim::GetFile(const std::string& path) const
{
    LOCKED;
    auto it = impl_->files.find(Normalize("/", path));
    if (it == impl_->files.end())
        return std::nullopt;
    return it->second;
}

bool TEcrSim::DeleteFile(const std::string& path) { LOCKED; return impl_->files.erase(Normalize("/", path)) > 0; }
void TEcrSim::MakeFolder(const std::string& path) { LOCKED; impl_->AddFolder(Normalize("/", path)); }

std::vector<std::string> TEcrSim::ListFiles(const std::string& folder) const
{
    LOCKED;
    std::string f = Normalize("/", folder);
    std::string prefix = f == "/" ? "/" : f + "/";
    std::vector<std::string> names;
    for (const auto& n : impl_->Entries(f))
        if (impl_->files.count(prefix + n))
            names.push_back(n);
    return names;
}

std::map<std::string, std::string> TEcrSim::AllFiles() const { LOCKED; return impl_->files; }

void TEcrSim::ClearFiles()
{
    LOCKED;
    impl_->files.clear();
    impl_->ResetFolders();
    impl_->cwd = "/";
    impl_->cursor = 0;
}

std::string TEcrSim::CurrentDir() const { LOCKED; return impl_->cwd; }

void TEcrSim::FillSample(int pluCount)
{
    LOCKED;
    static const char* const kNames[] = {"Bread", "Milk 1L", "Cheese", "Apples", "Coffee", "Water 0.5L",
                                         "\xd5\xeb\xff\xe1", "\xcc\xeb\xff\xea\xee", "Tea", "Sugar"};
    static const char* const kUnits[] = {"BUC", "KG", "L", "BUC"};
    for (int n = 1; n <= pluCount; ++n) {
        int cents = (n * 37) % 2000 + 10;
        std::string price = std::to_string(cents / 100);
        int frac = cents % 100;
        if (frac != 0) {
            price += "." + std::to_string(frac / 10);
            if (frac % 10)
                price += std::to_string(frac % 10);
        }
        std::string name = std::string(kNames[n % 10]) + " " + std::to_string(n);
        std::string plu = "plu," + std::to_string(n) + "," + name + "\r\n";
        plu += "bar," + (n % 3 == 0 ? std::string() : std::to_string(3800000000000LL + n)) + "\r\n";
        plu += "prc," + price + "," + std::to_string(n % 4 + 1) + "," + kUnits[n % 4] + "\r\n";
        plu += "dep," + std::to_string(n % 10 + 1) + "," + std::to_string(n % 30 + 1) + "," +
               (n % 7 == 0 ? "fresh" : "") + "\r\n";
        plu += n % 10 == 0 ? "alte,1,0.1,Eco tax\r\n" : "alte,0,,\r\n";
        plu += n % 5 == 0 ? "flg,20,1,,\r\n" : "flg,00\r\n";
        impl_->files["/sd0/db0/" + std::to_string(n)] = plu;
    }
    impl_->files["/fd0/4/alte/1"] = "alte,1,Eco tax\r\n";
    impl_->files["/fd0/4/alte/2"] = "alte,2,Bottle deposit\r\n";
    impl_->files["/fd0/4/alte/3"] = "alte,3,Tourist tax\r\n";
    impl_->files["/fd0/4/oper/1"] = "oper,1,Manager\r\npass,1111\r\nflg,00000000\r\n";
    impl_->files["/fd0/4/oper/2"] = "oper,2,Front desk\r\npass,2222\r\nflg,0000000A\r\n";
    impl_->files["/fd0/4/oper/3"] = "oper,3,Trainee\r\npass,3333\r\nflg,0000000F\r\n";
    impl_->files["/fd0/1/n_snd/ROWS"] =
        "<ROWS><ROW0>Test Shop</ROW0><ROW1>Main street 1</ROW1><ROW2>Thank you!</ROW2><ROW3></ROW3>"
        "<ROW4></ROW4><ROW5></ROW5><ROW6></ROW6><ROW7></ROW7><ROW8></ROW8><ROW9>Come again</ROW9></ROWS>";
}

bool TEcrSim::LoadState(const std::string& dir, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(dir, ec))
        return true;
    std::map<std::string, std::string> loaded;
    std::vector<std::string> dirs;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = "/" + fs::relative(it->path(), dir, ec).generic_string();
        if (it->is_directory(ec)) {
            dirs.push_back(rel);
        } else if (it->is_regular_file(ec)) {
            std::ifstream in(it->path(), std::ios::binary);
            std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof()) {
                error = "Cannot read " + it->path().string();
                return false;
            }
            loaded[rel] = content;
        }
    }
    if (ec) {
        error = "Cannot read " + dir + ": " + ec.message();
        return false;
    }
    LOCKED;
    for (const auto& d : dirs)
        impl_->AddFolder(d);
    for (auto& [p, c] : loaded) {
        impl_->AddFolder(Parent(p));
        impl_->files[p] = std::move(c);
    }
    return true;
}

bool TEcrSim::SaveState(const std::string& dir, std::string& error) const
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    {
        LOCKED;
        files = impl_->files;
        folders = impl_->folders;
    }
    std::error_code ec;
    for (const auto& f : folders) {
        fs::create_directories(fs::path(dir) / f.substr(1), ec);
        if (ec) {
            error = "Cannot create " + (fs::path(dir) / f.substr(1)).string() + ": " + ec.message();
            return false;
        }
    }
    for (const auto& [p, content] : files) {
        fs::path target = fs::path(dir) / p.substr(1);
        fs::path tmp = target;
        tmp += ".ecrsim-tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            out.write(content.data(), static_cast<std::streamsize>(content.size()));
            if (!out.good()) {
                error = "Cannot write " + target.string();
                return false;
            }
        }
        fs::rename(tmp, target, ec);
        if (ec) {
            error = "Cannot write " + target.string() + ": " + ec.message();
            return false;
        }
    }
    // Files the register no longer holds go, but only inside the register's
    // own folders: the state folder's root may hold anything.
    for (const auto& f : folders) {
        if (f == "/")
            continue;
        fs::path folder = fs::path(dir) / f.substr(1);
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
            if (!it->is_regular_file(ec))
                continue;
            std::string p = f + "/" + it->path().filename().string();
            if (!files.count(p))
                fs::remove(it->path(), ec);
        }
    }
    return true;
}

std::vector<TPacketLog> TEcrSim::ReceivedPackets() const { LOCKED; return impl_->received; }
std::vector<TSentLog> TEcrSim::SentPackets() const { LOCKED; return impl_->sent; }
std::string TEcrSim::RawReceived() const { LOCKED; return impl_->rawIn; }
std::string TEcrSim::RawSent() const { LOCKED; return impl_->rawOut; }
std::vector<std::string> TEcrSim::SequenceProblems() const { LOCKED; return impl_->seqProblems; }
int TEcrSim::UnlockCount() const { LOCKED; return impl_->unlocks; }
int TEcrSim::ConnectionCount() const { LOCKED; return impl_->connections; }

void TEcrSim::ClearLogs()
{
    LOCKED;
    impl_->received.clear();
    impl_->sent.clear();
    impl_->rawIn.clear();
    impl_->rawOut.clear();
    impl_->seqProblems.clear();
    impl_->unlocks = 0;
    impl_->connections = 0;
}

bool TEcrSim::WaitForPackets(size_t n, int timeoutMs) const
{
    std::unique_lock lock(impl_->mu);
    return impl_->packetArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [&] { return impl_->received.size() >= n; });
}

#undef LOCKED

} // namespace ecrsim
