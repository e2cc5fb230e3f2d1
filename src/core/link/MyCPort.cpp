#include "core/link/MyCPort.h"


#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsUntil(Clock::time_point deadline)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

// poll() takes whole milliseconds; round up so a deadline is never missed
// by a fraction and turned into a spin.
int PollMs(Clock::time_point deadline)
{
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (us <= 0)
        return 0;
    return static_cast<int>(std::min<int64_t>((us + 999) / 1000, 1 << 30));
}

speed_t SpeedOf(TBaudRate rate, bool& known)
{
    known = true;
    switch (rate) {
    case br110: return B110;
    case br300: return B300;
    case br600: return B600;
    case br1200: return B1200;
    case br2400: return B2400;
    case br4800: return B4800;
    case br9600: return B9600;
    case br19200: return B19200;
    case br38400: return B38400;
    case br57600: return B57600;
    case br115200: return B115200;
    default: known = false; return B0;
    }
}

} // namespace

// --- EComPort ----------------------------------------------------------------

std::string EComPort::CodeText(int code)
{
    switch (code) {
    case CE_OpenFailed: return "Unable to open com port";
    case CE_WriteFailed: return "WriteFile function failed";
    case CE_ReadFailed: return "ReadFile function failed";
    case CE_InvalidAsync: return "Invalid Async parameter";
    case CE_PurgeFailed: return "PurgeComm function failed";
    case CE_SetStateFailed: return "SetCommState function failed";
    case CE_SetTimeoutsFailed: return "SetCommTimeouts failed";
    case CE_SetupComFailed: return "SetupComm function failed";
    case CE_ClearComFailed: return "ClearCommError function failed";
    default: return "";
    }
}

static std::string ComPortMessage(int code, int winCode)
{
    std::string text = EComPort::CodeText(code);
    if (winCode != -1) {
        char tail[48];
        std::snprintf(tail, sizeof tail, " (win error code: %d)", winCode);
        text += tail;
    }
    return text;
}

EComPort::EComPort(int code, int winCode)
    : std::runtime_error(ComPortMessage(code, winCode)), Code(code), WinCode(winCode)
{
}

// --- Port names --------------------------------------------------------------

namespace {
std::string gComPortFolder;
} // namespace

void SetComPortFolder(const std::string& folder) { gComPortFolder = folder; }
const std::string& ComPortFolder() { return gComPortFolder; }

std::string ComPortDevicePath(int portNumber)
{
    if (portNumber < 1 || portNumber > 255)
        return {};
    if (!gComPortFolder.empty()) {
        const std::string link = gComPortFolder + "com" + std::to_string(portNumber);
        struct stat st;
        if (::lstat(link.c_str(), &st) == 0)
            return link;
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::string ComPortDevicePath(const std::string& portName)
{
    if (!portName.empty() && portName[0] == '/')
        return portName;
    if (portName.size() < 4 || portName.size() > 6)
        return {};
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(portName[i])) != "COM"[i])
            return {};
    int n = 0;
    for (size_t i = 3; i < portName.size(); ++i) {
        if (portName[i] < '0' || portName[i] > '9')
            return {};
        n = n * 10 + (portName[i] - '0');
    }
    return ComPortDevicePath(n);
}

// --- TComPort ----------------------------------------------------------------

TComPort::~TComPort() { Close(); }

void TComPort::SetPort(const std::string& name)
{
    if (name == port_)
        return;
    port_ = name;
    if (Connected()) {
        Close();
        Open();
    }
}

void TComPort::SetBaudRate(TBaudRate rate)
{
    baudRate_ = rate;
    if (Connected())
        ApplyLineSettings();
}

void TComPort::SetDataBits(TDataBits bits)
{
    dataBits_ = bits;
    if (Connected())
        ApplyLineSettings();
}

void TComPort::SetStopBits(TStopBits bits)
{
    stopBits_ = bits;
    if (Connected())
        ApplyLineSettings();
}

void TComPort::SetParity(const TComParity& parity)
{
    parity_ = parity;
    if (Connected())
        ApplyLineSettings();
}

void TComPort::SetFlowControl(const TComFlowControl& flow)
{
    flow_ = flow;
    if (Connected())
        ApplyLineSettings();
}

// The kernel's tty queues have fixed sizes; there is nothing to request.
void TComPort::SetBuffer(const TComBuffer& buffer) { buffer_ = buffer; }

// Time-outs are enforced by Read and Write themselves.
void TComPort::SetTimeouts(const TComTimeouts& timeouts) { timeouts_ = timeouts; }

void TComPort::Open()
{
    if (Connected())
        return;
    const std::string path = ComPortDevicePath(port_);
    if (path.empty())
        throw EComPort(CE_OpenFailed, ENOENT);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EComPort(CE_OpenFailed, errno);
    // The lock first: TIOCEXCL belongs to the tty, not to this descriptor, so
    // a second opener that lost must not touch it (and root ignores it anyway).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        throw EComPort(CE_OpenFailed, err);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int err = errno;
        ::close(fd);
        throw EComPort(CE_OpenFailed, err);
    }
    fd_ = fd;
    try {
        ApplyLineSettings();
    } catch (...) {
        CloseFd();
        throw;
    }
}

void TComPort::ApplyLineSettings()
{
    termios tio {};
    if (::tcgetattr(fd_, &tio) != 0)
        throw EComPort(CE_SetStateFailed, errno);
    ::cfmakeraw(&tio);
    bool known = false;
    const speed_t speed = SpeedOf(baudRate_, known);
    if (!known)
        throw EComPort(CE_SetStateFailed, EINVAL);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);

    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | HUPCL);
    static const tcflag_t sizes[] = { CS5, CS6, CS7, CS8 };
    tio.c_cflag |= sizes[dataBits_] | CLOCAL | CREAD;
    if (stopBits_ != sbOneStopBit)
        tio.c_cflag |= CSTOPB;
    switch (parity_.Bits) {
    case prNone: break;
    case prOdd: tio.c_cflag |= PARENB | PARODD; break;
    case prEven: tio.c_cflag |= PARENB; break;
    case prMark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case prSpace: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (flow_.OutCTSFlow || flow_.ControlRTS == rtsHandshake)
        tio.c_cflag |= CRTSCTS;

    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    if (parity_.Check)
        tio.c_iflag |= INPCK;
    else
        tio.c_iflag |= IGNPAR;
    if (flow_.XonXoffOut)
        tio.c_iflag |= IXON;
    if (flow_.XonXoffIn)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = 17;
    tio.c_cc[VSTOP] = 19;
    // The descriptor is non-blocking and the deadlines are ours. VMIN 1
    // keeps an empty queue (EAGAIN) apart from a hang-up (0).
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        throw EComPort(CE_SetStateFailed, errno);

    // Modem lines. A pseudo terminal has none; its refusal is no fault.
    int dtrRts = 0;
    int raise = 0;
    (flow_.ControlDTR == dtrEnable ? raise : dtrRts) |= TIOCM_DTR;
    (flow_.ControlRTS == rtsEnable ? raise : dtrRts) |= TIOCM_RTS;
    if (dtrRts)
        ::ioctl(fd_, TIOCMBIC, &dtrRts);
    if (raise)
        ::ioctl(fd_, TIOCMBIS, &raise);
}

void TComPort::CloseFd()
{
    // The exclusive flag stays on the tty after close when someone else
    // (a pty's owner) keeps it open; the next open would fail for every
    // user but root.
    ::ioctl(fd_, TIOCNXCL);
    ::tcflush(fd_, TCIOFLUSH);
    ::close(fd_);
    fd_ = -1;
}

void TComPort::Close()
{
    if (Connected())
        CloseFd();
}

void TComPort::Purge(bool input, bool output)
{
    if (!Connected())
        throw EComPort(CE_PurgeFailed, EBADF);
    if (!input && !output)
        return;
    const int what = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    if (::tcflush(fd_, what) != 0)
        throw EComPort(CE_PurgeFailed, errno);
}

int TComPort::BytesWaiting()
{
    if (!Connected())
        throw EComPort(CE_ClearComFailed, EBADF);
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0)
        throw EComPort(CE_ClearComFailed, errno);
    return n;
}

int TComPort::Read(void* buffer, int count)
{
    if (!Connected())
        throw EComPort(CE_ReadFailed, EBADF);
    if (count <= 0)
        return 0;
    char* out = static_cast<char*>(buffer);
    const auto start = Clock::now();
    const auto total = start + std::chrono::milliseconds(
        static_cast<int64_t>(timeouts_.ReadTotalMultiplier) * count + timeouts_.ReadTotalConstant);
    const auto interval = std::chrono::milliseconds(timeouts_.ReadInterval);
    Clock::time_point lastByte {};
    int got = 0;
    bool hungUp = false;
    while (got < count) {
        if (!hungUp) {
            const ssize_t n = ::read(fd_, out + got, static_cast<size_t>(count - got));
            if (n > 0) {
                got += static_cast<int>(n);
                lastByte = Clock::now();
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // EOF or EIO: the other end is gone. The line then behaves as a
            // silent one: the caller sees its time-outs, not a spinning loop.
            if (n == 0 || errno == EIO)
                hungUp = true;
            else if (errno != EAGAIN)
                throw EComPort(CE_ReadFailed, errno);
        }
        auto deadline = total;
        if (got > 0 && timeouts_.ReadInterval > 0)
            deadline = std::min(deadline, lastByte + interval);
        const int wait = PollMs(deadline);
        if (wait <= 0 && MsUntil(deadline) <= 0)
            break;
        if (hungUp) {
            ::poll(nullptr, 0, wait);
            continue;
        }
        pollfd p { fd_, POLLIN, 0 };
        const int r = ::poll(&p, 1, wait);
        if (r < 0 && errno != EINTR)
            throw EComPort(CE_ReadFailed, errno);
        if (r > 0 && !(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR)))
            hungUp = true;
    }
    return got;
}

int TComPort::Write(const void* buffer, int count)
{
    if (!Connected())
        throw EComPort(CE_WriteFailed, EBADF);
    if (count <= 0)
        return 0;
    const char* in = static_cast<const char*>(buffer);
    const auto deadline = Clock::now() + std::chrono::milliseconds(
        static_cast<int64_t>(timeouts_.WriteTotalMultiplier) * count + timeouts_.WriteTotalConstant);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            throw EComPort(CE_WriteFailed, errno);
        const int wait = PollMs(deadline);
        if (wait <= 0)
            break;
        pollfd p { fd_, POLLOUT, 0 };
        if (::poll(&p, 1, wait) < 0 && errno != EINTR)
            throw EComPort(CE_WriteFailed, errno);
    }
    return done;
}

int TComPort::WriteText(const std::string& text)
{
    if (text.empty())
        return 0;
    return Write(text.data(), static_cast<int>(text.size()));
}
