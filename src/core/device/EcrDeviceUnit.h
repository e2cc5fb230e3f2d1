#pragma once
// The one object through which the program works with a cash register.
//
// Each user-level operation below opens its own short connection (command
// layer object, port at 115200 bit/s, unlock, "ping", "info"), does its work
// and frees the connection again, closing the port on every path:
//
//   TEcrDevice ecr;
//   ecr.PortNumber = Set_ComPort;
//   TECR_PLU_List plues;
//   if (!ecr.ReadAllPlues(plues, progress))
//       show(ecr.LastError);   // "ReadAllPlues failed -> OpenDevice -> ..."
//
// Every operation returns false on failure and never raises; LastError is a
// chain of texts, each level's words in front of the text of the level below.
// The record formats are in EcrRecords.h.

#include "core/device/EcrRecords.h"
#include "core/device/VardoDeviceUnit.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Progress of a long operation. Setting abort asks the operation to stop; it
// looks at the request after each listing step and before each record read.
// An exception from the callback ends the operation with
// "Dev Progress ExtProc -> " + its text.
using TDevProgressProc = std::function<void(int position, int total, bool& abort)>;

enum class TCashierWriteMode { Write, Delete };

class TEcrDevice {
public:
    explicit TEcrDevice(int32_t portNumber = 0);
    ~TEcrDevice();
    TEcrDevice(const TEcrDevice&) = delete;
    TEcrDevice& operator=(const TEcrDevice&) = delete;

    std::string LastError;
    // The command layer object of the current connection; none between operations.
    std::unique_ptr<TVardoDevice> Device;
    // Only the low byte is used ("COM" + number).
    int32_t PortNumber;
    // When not empty, the device file opened instead of "COM" + PortNumber
    // (service use from the command line).
    std::string DevicePath;

    // --- Operations with a connection of their own ---------------------------
    bool GetDevInfo(TECR_DeviceInfo& info);
    bool GetFiscInfo(bool& isFiscal, std::string& tin, std::string& name);
    // Lines stay as passed when the register holds no advertising lines; on a
    // fiscal register line 0 is the fiscal name.
    bool ReadAdvLines(TECR_AdvLines& lines, bool& isFiscal);
    bool WriteAdvLines(const TECR_AdvLines& lines);
    bool WriteSinglePlu(const TECR_PLU& plu);
    bool WriteSingleAlteTaxe(const TECR_ALTETAXE& tax);
    // After an abort in the read phase LastError is exactly
    // "User aborted operation!" and the list keeps the records read so far.
    bool ReadAllPlues(TECR_PLU_List& list, const TDevProgressProc& progress = nullptr);
    bool ReadAllAlteTaxes(TECR_ALTETAXE_List& list, const TDevProgressProc& progress = nullptr);
    // Rewrites every PLU with its "deleted" flag set (two connections).
    bool DeleteAllPlues(const TDevProgressProc& progress = nullptr);
    // Writes every record of list in order, all in one connection. Progress
    // after each record is (records written, count); an abort asked for
    // there stops before the next record with LastError exactly
    // "User aborted operation!". A refused record fails with
    // "WriteAllPlues failed! -> WritePlu (PLU <number>) -> " + WritePlu's text.
    // written, when given, counts the records the register took, whatever
    // the result.
    bool WriteAllPlues(const TECR_PLU_List& list, const TDevProgressProc& progress = nullptr,
                       std::size_t* written = nullptr);
    bool GetCashiers(TECR_Cashiers& cashiers);
    // Writes the first 30 entries; an entry with an empty name deletes that cashier.
    bool WriteCashiers(const TECR_Cashiers& cashiers);

    // --- Inside an open connection ---------------------------------------------
    bool OpenDevice();
    bool EcrFileExists(const std::string& dir, const std::string& name, bool& exists);
    bool ReadPlu(uint32_t number, TECR_PLU& plu);
    bool WritePlu(const TECR_PLU& plu);
    bool DeletePlu(const TECR_PLU& plu);
    bool ReadAlteTaxe(uint32_t number, TECR_ALTETAXE& tax);
    bool WriteAlteTaxe(const TECR_ALTETAXE& tax);
    bool GetCashier(const std::string& fileName, TECR_Cashier& cashier);
    bool WriteCashier(const TECR_Cashier& cashier, TCashierWriteMode mode);

    void CreateDevice();
    void FreeDevice();

private:
    // The connection frame: create and open the connection, run work (which
    // returns its failure text, empty on success), free the connection.
    bool Framed(const std::string& failPrefix, const std::string& openPrefix,
                const std::function<std::string()>& work);
    // One record file read and parsed, or put (lines none: put empty). The
    // failure texts carry failPrefix; a write with a problem sends nothing.
    bool ReadRecordFile(const std::string& failPrefix, const std::string& path,
                        const std::function<void(const TLineList&)>& parse);
    bool PutRecordFile(const std::string& failPrefix, const std::string& problem, const std::string& path,
                       TLineList* lines);
    // The read phase of the bulk reads: record i read by the number of name
    // i; an abort asked for before a record ends with "User aborted operation!".
    template <class TRecord>
    std::string ReadEach(const TLineList& names, std::vector<TRecord>& list,
                         bool (TEcrDevice::*read)(uint32_t, TRecord&), const char* failPrefix,
                         const TDevProgressProc& progress, bool& abort);
    std::string ReadFiscInfo(bool& isFiscal, std::string& tin, std::string& name);
    std::string ListNames(const std::string& dir, TLineList& names);
    void Progress(const TDevProgressProc& progress, int position, int total, bool& abort);
};
