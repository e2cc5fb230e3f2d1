#pragma once
// The serial port as the link uses it: one exclusive, raw 8-bit line with
// blocking reads and writes whose time-outs the class enforces itself.
//
// Port names: "COM" + n (n = 1..255) is looked up as the symbolic link
// "com<n>" in the port folder (SetComPortFolder), else it is /dev/ttyS<n-1>. A name that
// begins with "/" is opened as the path it is (the command line's --device,
// tests). Every failure raises EComPort; Close never raises.

#include <cstdint>
#include <stdexcept>
#include <string>

enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000
};
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

// Milliseconds. A read of n bytes ends when they are all there, when more
// than ReadInterval passes between two bytes (counted from the first byte),
// or ReadTotalMultiplier * n + ReadTotalConstant after the call. A write of
// n bytes is abandoned after WriteTotalMultiplier * n + WriteTotalConstant.
struct TComTimeouts {
    uint32_t ReadInterval = 100;
    uint32_t ReadTotalMultiplier = 100;
    uint32_t ReadTotalConstant = 100;
    uint32_t WriteTotalMultiplier = 500;
    uint32_t WriteTotalConstant = 2000;
};

struct TComBuffer {
    uint32_t InputSize = 1024;
    uint32_t OutputSize = 1024;
};

struct TComParity {
    TParityBits Bits = prNone;
    bool Check = false;
    bool Replace = false;
};

// No handshake of any kind; DTR and RTS held inactive.
struct TComFlowControl {
    bool OutCTSFlow = false;
    bool OutDSRFlow = false;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool DSRSensitivity = false;
    TDTRFlowControl ControlDTR = dtrDisable;
    TRTSFlowControl ControlRTS = rtsDisable;
};

// Codes of EComPort.
enum : int {
    CE_OpenFailed = 1,
    CE_WriteFailed = 2,
    CE_ReadFailed = 3,
    CE_InvalidAsync = 4,
    CE_PurgeFailed = 5,
    CE_SetStateFailed = 7,
    CE_SetTimeoutsFailed = 8,
    CE_SetupComFailed = 9,
    CE_ClearComFailed = 10,
};

// what() is the code's text, followed by " (win error code: N)" with the
// system error number when there is one (WinCode -1 when there is none).
class EComPort : public std::runtime_error {
public:
    EComPort(int code, int winCode);
    int Code;
    int WinCode;
    static std::string CodeText(int code);
};

// The folder whose "comN" entries name the devices of "COM" + N, with a
// trailing '/'. The program passes its "dosdevices/" folder at start; while
// it is empty, every port is /dev/ttyS<n-1>.
void SetComPortFolder(const std::string& folder);
const std::string& ComPortFolder();

// The device a port name opens: "COM3" -> ComPortFolder() + "com3"
// when that entry exists, else "/dev/ttyS2"; a name beginning with "/" is
// itself. Empty for a name that names no port (COM0, COM256, "LPT1").
std::string ComPortDevicePath(const std::string& portName);
// The same for "COM" + number (what the settings view shows).
std::string ComPortDevicePath(int portNumber);

class TComPort {
public:
    TComPort() = default;
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // Settings. Changing one while the port is open applies it at once;
    // changing the port name closes and reopens the port.
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& name);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits bits);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits bits);
    const TComParity& Parity() const { return parity_; }
    void SetParity(const TComParity& parity);
    const TComFlowControl& FlowControl() const { return flow_; }
    void SetFlowControl(const TComFlowControl& flow);
    const TComBuffer& Buffer() const { return buffer_; }
    void SetBuffer(const TComBuffer& buffer);
    const TComTimeouts& Timeouts() const { return timeouts_; }
    void SetTimeouts(const TComTimeouts& timeouts);
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod method) { syncMethod_ = method; }

    bool Connected() const { return fd_ >= 0; }

    // No-op when open. Otherwise takes the port exclusively (no other open of
    // it, in this process or another, succeeds until Close) and applies queue
    // sizes, line settings and time-outs; on any failure the port is closed
    // again and the error raised.
    void Open();
    // Discards what is queued in both directions and releases the port.
    void Close();
    void Purge(bool input, bool output);
    int BytesWaiting();
    // Returns the number of bytes stored, 0 when nothing arrived in time.
    int Read(void* buffer, int count);
    // Returns the number of bytes written; short when the time-out struck.
    int Write(const void* buffer, int count);
    int WriteText(const std::string& text);

private:
    void ApplyLineSettings();
    void CloseFd();

    std::string port_ = "COM1";
    TBaudRate baudRate_ = br9600;
    TDataBits dataBits_ = dbEight;
    TStopBits stopBits_ = sbOneStopBit;
    TComParity parity_;
    TComFlowControl flow_;
    TComBuffer buffer_;
    TComTimeouts timeouts_;
    TSyncMethod syncMethod_ = smThreadSync;
    int fd_ = -1;
};
