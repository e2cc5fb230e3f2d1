#include "core/device/EcrDeviceUnit.h"

#include <algorithm>

namespace {

// Highest PLU number the walk starts a listing at.
constexpr int kPluWalkEnd = 30000;
constexpr int kAlteTaxeProgressTotal = 30;
constexpr uint32_t kAdvLinesReplyTimeoutMs = 120000;

// A failure whose text replaces the operation's own prefix.
class EBareFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string JoinCrLf(const TLineList& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

} // namespace

TEcrDevice::TEcrDevice(int32_t portNumber) : PortNumber(portNumber) {}

TEcrDevice::~TEcrDevice() = default;

void TEcrDevice::CreateDevice()
{
    FreeDevice();
    Device = std::make_unique<TVardoDevice>(0);
}

void TEcrDevice::FreeDevice() { Device.reset(); }

bool TEcrDevice::Framed(const std::string& failPrefix, const std::string& openPrefix,
                        const std::function<std::string()>& work)
{
    std::string fail;
    bool bare = false;
    try {
        CreateDevice();
        if (!OpenDevice())
            fail = openPrefix + Device->LastError;
        else
            fail = work();
    } catch (const EBareFailure& e) {
        fail = e.what();
        bare = true;
    } catch (const std::exception& e) {
        fail = e.what();
    } catch (...) {
        fail = "Unknown error";
    }
    FreeDevice();
    if (fail.empty())
        return true;
    LastError = bare ? fail : failPrefix + fail;
    return false;
}

void TEcrDevice::Progress(const TDevProgressProc& progress, int position, int total, bool& abort)
{
    if (!progress)
        return;
    try {
        progress(position, total, abort);
    } catch (const std::exception& e) {
        throw EAbort(std::string("Dev Progress ExtProc -> ") + e.what());
    } catch (...) {
        throw EAbort("Dev Progress ExtProc -> Unknown error");
    }
}

std::string TEcrDevice::ListNames(const std::string& dir, TLineList& names)
{
    if (!Device->ChangeCurrentDir(dir))
        return "ChangeCurrentDir failed! -> " + Device->LastError;
    if (!Device->GetDirContent(&names, true))
        return "GetCurrentDirContent failed -> " + Device->LastError;
    return {};
}

template <class TRecord>
std::string TEcrDevice::ReadEach(const TLineList& names, std::vector<TRecord>& list,
                                 bool (TEcrDevice::*read)(uint32_t, TRecord&), const char* failPrefix,
                                 const TDevProgressProc& progress, bool& abort)
{
    list.assign(names.size(), TRecord{});
    const int count = static_cast<int>(names.size());
    for (int i = 0; i < count; ++i) {
        if (abort)
            throw EBareFailure("User aborted operation!");
        const auto number = static_cast<uint32_t>(RecordStrToInt(names[i]));
        if (!(this->*read)(number, list[i]))
            return failPrefix + LastError;
        Progress(progress, i, count, abort);
    }
    return {};
}

// --- Inside a connection ----------------------------------------------------------

static const char* const kNoDevice = "Internal error! Device not initialized!";

bool TEcrDevice::OpenDevice()
{
    LastError.clear();
    std::string fail;
    if (!Device) {
        fail = kNoDevice;
    } else {
        Device->PortNumber = static_cast<uint8_t>(PortNumber & 0xFF);
        Device->DevicePath = DevicePath;
        if (!Device->OpenDevice(false))
            fail = Device->LastError;
    }
    if (fail.empty())
        return true;
    LastError = "Could not connect device! Operation is aborted! " + fail;
    return false;
}

bool TEcrDevice::EcrFileExists(const std::string& dir, const std::string& name, bool& exists)
{
    LastError.clear();
    exists = false;
    if (!Device) {
        LastError = kNoDevice;
        return false;
    }
    TLineList names;
    LastError = ListNames(dir, names);
    if (!LastError.empty())
        return false;
    exists = std::find(names.begin(), names.end(), name) != names.end();
    return true;
}

bool TEcrDevice::ReadRecordFile(const std::string& failPrefix, const std::string& path,
                                const std::function<void(const TLineList&)>& parse)
{
    if (!Device) {
        LastError = failPrefix + kNoDevice;
        return false;
    }
    TLineList lines;
    if (!Device->GetFileContent(path, &lines)) {
        LastError = failPrefix + "GetFileContent -> " + Device->LastError;
        return false;
    }
    try {
        parse(lines);
    } catch (const ERecordFormat& e) {
        LastError = failPrefix + e.what();
        return false;
    }
    return true;
}

bool TEcrDevice::PutRecordFile(const std::string& failPrefix, const std::string& problem, const std::string& path,
                               TLineList* lines)
{
    if (!Device || !problem.empty()) {
        LastError = failPrefix + (Device ? problem : kNoDevice);
        return false;
    }
    if (!(lines ? Device->SetFileContent(path, lines) : Device->SetFileContent(path, std::string()))) {
        LastError = failPrefix + "SetFileContent -> " + Device->LastError;
        return false;
    }
    return true;
}

bool TEcrDevice::ReadPlu(uint32_t number, TECR_PLU& plu)
{
    return ReadRecordFile("", kPluDir + DecimalText(number), [&](const TLineList& lines) { ParsePluLines(lines, plu); });
}

bool TEcrDevice::WritePlu(const TECR_PLU& plu)
{
    TLineList lines = PluFileLines(plu);
    return PutRecordFile("WritePlu failed! -> ", PluWriteProblem(plu), kPluDir + DecimalText(plu.Number), &lines);
}

bool TEcrDevice::DeletePlu(const TECR_PLU& plu)
{
    LastError.clear();
    TECR_PLU deleted = plu;
    deleted.Flags[kPluDeletedFlag] = true;
    if (!WritePlu(deleted)) {
        LastError = "DeletePlu failed! -> WritePlu -> " + LastError;
        return false;
    }
    return true;
}

bool TEcrDevice::ReadAlteTaxe(uint32_t number, TECR_ALTETAXE& tax)
{
    return ReadRecordFile("", kAlteTaxeDir + DecimalText(number),
                          [&](const TLineList& lines) { ParseAlteTaxeLines(lines, tax); });
}

bool TEcrDevice::WriteAlteTaxe(const TECR_ALTETAXE& tax)
{
    TLineList lines = AlteTaxeFileLines(tax);
    return PutRecordFile("WriteAlteTaxe failed! -> ", AlteTaxeWriteProblem(tax),
                         kAlteTaxeDir + DecimalText(static_cast<uint32_t>(tax.Number)), &lines);
}

bool TEcrDevice::GetCashier(const std::string& fileName, TECR_Cashier& cashier)
{
    return ReadRecordFile("GetCashier failed! -> ", kCashierDir + fileName,
                          [&](const TLineList& lines) { ParseCashierLines(fileName, lines, cashier); });
}

bool TEcrDevice::WriteCashier(const TECR_Cashier& cashier, TCashierWriteMode mode)
{
    const std::string file = kCashierDir + DecimalText(cashier.Number);
    if (mode == TCashierWriteMode::Delete)
        return PutRecordFile("WriteCashier -> ", "", file, nullptr);
    TLineList lines = CashierFileLines(cashier);
    return PutRecordFile("WriteCashier -> ", CashierWriteProblem(cashier), file, &lines);
}

// --- Operations with their own connection -------------------------------------------

bool TEcrDevice::GetDevInfo(TECR_DeviceInfo& info)
{
    return Framed("GetDevInfo failed! -> ", "OpenDevice -> ", [&]() -> std::string {
        info.Model = Device->DevModel;
        info.Version = Device->DevVersion;
        info.SerialNumber = Device->DevFdin;
        info.FiscalMemoryNumber = Device->DevFmin;
        info.DeviceType = Device->DevType;
        return {};
    });
}

std::string TEcrDevice::ReadFiscInfo(bool& isFiscal, std::string& tin, std::string& name)
{
    TLineList lines;
    if (!Device->SendCommand("get zregs", &lines))
        return "SendCommand -> " + Device->LastError;
    const std::string report = Device->LoadXml(JoinCrLf(lines));
    if (!report.empty())
        return "loadXML -> \r\n" + report;
    const pugi::xml_node root = Device->GetXmlRoot(true);
    const int status = Device->GetXmlNodeInt("status", root, true);
    if (status != 1 && status != 5)
        return "Unknown ECR Status " + std::to_string(status);
    isFiscal = status == 1;
    if (isFiscal) {
        tin = Device->GetXmlNodeText("tin", root, true, true);
        name = Device->GetXmlNodeText("name", root, true, true);
    }
    return {};
}

bool TEcrDevice::GetFiscInfo(bool& isFiscal, std::string& tin, std::string& name)
{
    LastError.clear();
    return Framed("", "OpenDevice failed! -> ", [&] { return ReadFiscInfo(isFiscal, tin, name); });
}

bool TEcrDevice::ReadAdvLines(TECR_AdvLines& lines, bool& isFiscal)
{
    LastError.clear();
    std::string tin, name;
    if (!GetFiscInfo(isFiscal, tin, name)) {
        LastError = "ReadAdvLines failed! GetFiscInfo -> " + LastError;
        return false;
    }
    return Framed("ReadAdvLines failed! ", "OpenDevice failed! -> ", [&]() -> std::string {
        bool exists = false;
        if (!EcrFileExists(kAdvLinesDir, kAdvLinesFile, exists))
            return "EcrFileExists -> " + LastError;
        if (!exists)
            return {};
        TLineList fileLines;
        if (!Device->GetFileContent(std::string(kAdvLinesDir) + "/" + kAdvLinesFile, &fileLines))
            return "GetFileContent -> " + Device->LastError;
        const std::string report = Device->LoadXml(JoinCrLf(fileLines));
        if (!report.empty())
            return "loadXML -> \r\n" + report;
        const pugi::xml_node root = Device->GetXmlRoot(true);
        // Read into a copy: a document that lacks a line leaves the caller's lines as they were.
        TECR_AdvLines read;
        read[0] = isFiscal ? name : Device->GetXmlNodeText("ROW0", root, false, true);
        for (int k = 1; k < kAdvLineCount; ++k)
            read[k] = Device->GetXmlNodeText("ROW" + std::to_string(k), root, false, true);
        lines = read;
        return {};
    });
}

bool TEcrDevice::WriteAdvLines(const TECR_AdvLines& lines)
{
    LastError.clear();
    return Framed("WriteAdvLines failed -> ", "OpenDevice failed! -> ", [&]() -> std::string {
        if (std::string problem = AdvLinesWriteProblem(lines); !problem.empty())
            return problem;
        pugi::xml_node root = Device->InitXmlRoot("ROWS");
        for (int k = 0; k < kAdvLineCount; ++k) {
            pugi::xml_node row = root.append_child(("ROW" + std::to_string(k)).c_str());
            if (!lines[k].empty())
                row.append_child(pugi::node_pcdata).set_value(lines[k].c_str());
        }
        if (!Device->SendXmlCommand("put n_2snd ROWS", {}, kAdvLinesReplyTimeoutMs))
            return "SendXml -> " + Device->LastError;
        return {};
    });
}

bool TEcrDevice::WriteSinglePlu(const TECR_PLU& plu)
{
    LastError.clear();
    return Framed("WriteSinglePlu failed! -> ", "OpenDevice -> ", [&]() -> std::string {
        return WritePlu(plu) ? std::string() : "WritePlu -> " + LastError;
    });
}

bool TEcrDevice::WriteSingleAlteTaxe(const TECR_ALTETAXE& tax)
{
    LastError.clear();
    return Framed("WriteSingleAlteTaxe failed! -> ", "OpenDevice -> ", [&]() -> std::string {
        return WriteAlteTaxe(tax) ? std::string() : "WriteAlteTaxe -> " + LastError;
    });
}

bool TEcrDevice::ReadAllPlues(TECR_PLU_List& list, const TDevProgressProc& progress)
{
    LastError.clear();
    return Framed("ReadAllPlues failed -> ", "OpenDevice -> ", [&]() -> std::string {
        bool abort = false;
        TLineList names;
        int64_t last = 0;
        for (int k = 1; k < kPluWalkEnd; ++k) {
            // The last page covered these numbers already.
            if (k > 1 && k <= last) {
                Progress(progress, k, kPluWalkEnd, abort);
                continue;
            }
            TLineList page;
            std::string fail = ListNames(kPluDir + std::to_string(k), page);
            if (!fail.empty())
                return fail;
            if (page.empty())
                break;
            names.insert(names.end(), page.begin(), page.end());
            last = RecordStrToInt(page.back());
            Progress(progress, k, kPluWalkEnd, abort);
            if (abort)
                break;
        }
        if (abort)
            return "User Canceled!";

        return ReadEach(names, list, &TEcrDevice::ReadPlu, "ReadPlu -> ", progress, abort);
    });
}

bool TEcrDevice::ReadAllAlteTaxes(TECR_ALTETAXE_List& list, const TDevProgressProc& progress)
{
    LastError.clear();
    return Framed("ReadAllAlteTaxes failed -> ", "OpenDevice -> ", [&]() -> std::string {
        TLineList names;
        std::string fail = ListNames(kAlteTaxeDir, names);
        if (!fail.empty())
            return fail;
        if (!names.empty())
            RecordStrToInt(names.back());
        bool abort = false;
        const int count = static_cast<int>(names.size());
        Progress(progress, std::min(count, kAlteTaxeProgressTotal), kAlteTaxeProgressTotal, abort);
        if (abort)
            return "User Canceled!";

        return ReadEach(names, list, &TEcrDevice::ReadAlteTaxe, "ReadAlteTaxe -> ", progress, abort);
    });
}

bool TEcrDevice::DeleteAllPlues(const TDevProgressProc& progress)
{
    LastError.clear();
    TECR_PLU_List list;
    if (!ReadAllPlues(list, progress)) {
        LastError = "DeleteAllPlues failed! -> ReadAllPlues -> " + LastError;
        return false;
    }
    return Framed("DeleteAllPlues failed! -> ", "OpenDevice -> ", [&]() -> std::string {
        for (const TECR_PLU& plu : list)
            if (!DeletePlu(plu))
                return "DeletePlu -> " + LastError;
        return {};
    });
}

bool TEcrDevice::WriteAllPlues(const TECR_PLU_List& list, const TDevProgressProc& progress, std::size_t* written)
{
    LastError.clear();
    if (written)
        *written = 0;
    return Framed("WriteAllPlues failed! -> ", "OpenDevice -> ", [&]() -> std::string {
        bool abort = false;
        const int count = static_cast<int>(list.size());
        for (int i = 0; i < count; ++i) {
            if (abort)
                throw EBareFailure("User aborted operation!");
            if (!WritePlu(list[i]))
                return "WritePlu (PLU " + DecimalText(list[i].Number) + ") -> " + LastError;
            if (written)
                *written = static_cast<std::size_t>(i) + 1;
            Progress(progress, i + 1, count, abort);
        }
        return {};
    });
}

bool TEcrDevice::GetCashiers(TECR_Cashiers& cashiers)
{
    LastError.clear();
    return Framed("GetCashiers failed! -> ", "OpenDevice -> ", [&]() -> std::string {
        TLineList names;
        std::string fail = ListNames(kCashierDir, names);
        if (!fail.empty())
            return fail;
        cashiers.assign(names.size(), TECR_Cashier{});
        for (std::size_t i = 0; i < names.size(); ++i)
            if (!GetCashier(names[i], cashiers[i]))
                return LastError;
        return {};
    });
}

bool TEcrDevice::WriteCashiers(const TECR_Cashiers& cashiers)
{
    LastError.clear();
    return Framed("", "OpenDevice -> ", [&]() -> std::string {
        const std::size_t count = std::min<std::size_t>(cashiers.size(), kMaxCashiersWritten);
        for (std::size_t i = 0; i < count; ++i) {
            const TECR_Cashier& c = cashiers[i];
            if (!WriteCashier(c, c.Name.empty() ? TCashierWriteMode::Delete : TCashierWriteMode::Write))
                return "WriteCashier -> " + LastError;
        }
        return {};
    });
}
