#include "core/app/ConstUnit.h"

#include "core/base/FileUtil.h"
#include "core/device/EcrDeviceUnit.h"
#include "core/base/IniFile.h"
#include "core/base/ProgramDirs.h"
#include "core/base/TextUtil.h"
#include "core/link/MyCPort.h"


std::string Set_LanguageFile;
std::string Set_FontName;
int Set_Charset;
std::string Set_Database;
std::string Set_HiddenCols;
int Set_EcrNumb;
int Set_ComPort;
bool Set_OneECR;
int Set_EcrSpeed;

std::string EcrModel;
std::string EcrVersion;
std::string EcrSerialNumber;
std::string EcrFiscalMemoryNumber;
std::string EcrType;
std::uint16_t MaxPluNumber = 0;
std::uint16_t MaxPluSubgroup = 0;

namespace {

// Made on first use and never destroyed before the last view is gone.
TEcrDevice& TheEcrDevice()
{
    static TEcrDevice device(0);
    return device;
}

std::string gSettingsError;

struct DefaultsAtLoad {
    DefaultsAtLoad() { ResetSettingsToDefaults(); }
} defaultsAtLoad;

} // namespace

TEcrDevice& EcrDevice = TheEcrDevice();

// Settings texts never end in blanks; a hand-edited file may.
static std::string ReadSetting(const TIniFile& ini, const char* section, const char* key, const char* def)
{
    return std::string(TrimRight(ini.ReadString(section, key, def), IsBlank));
}

void ResetSettingsToDefaults()
{
    Set_LanguageFile.clear();
    Set_FontName = "MS Sans Serif";
    Set_Charset = 1;
    Set_Database.clear();
    Set_HiddenCols.clear();
    Set_EcrNumb = 0;
    Set_ComPort = 1;
    Set_OneECR = false;
    Set_EcrSpeed = 9600;
}

void InitProgramLocation(const std::string& executablePath)
{
    InitProgramDirs(executablePath);
    SetComPortFolder(DosDevicesDir());
}
const std::string& SettingsError() { return gSettingsError; }

void LoadProgramSettings()
{
    ReadProgramSettings();
    ReadEcrSettings();
}

void ReadProgramSettings()
{
    TIniFile ini(SettingsFileName());
    Set_LanguageFile = ReadSetting(ini, kProgramSection, "Set_LanguageFile", "");
    Set_FontName = ReadSetting(ini, kProgramSection, "Set_FontName", "MS Sans Serif");
    Set_Charset = ini.ReadInteger(kProgramSection, "Set_Charset", 1);
    Set_Database = ReadSetting(ini, kProgramSection, "Set_Database", "");
    Set_HiddenCols = ReadSetting(ini, kProgramSection, "Set_HiddenCols", "");
}

void ReadEcrSettings()
{
    TIniFile ini(SettingsFileName());
    Set_EcrNumb = ini.ReadInteger(kEcrSection, "Set_EcrNumb", 0);
    Set_ComPort = ini.ReadInteger(kEcrSection, "Set_ComPort", 1);
    Set_OneECR = ini.ReadBool(kEcrSection, "Set_OneECR", false);
    Set_EcrSpeed = ini.ReadInteger(kEcrSection, "Set_EcrSpeed", 9600);
}

bool WriteProgramSettings()
{
    TIniFile ini(SettingsFileName());
    ini.WriteString(kProgramSection, "Set_LanguageFile", Set_LanguageFile);
    ini.WriteString(kProgramSection, "Set_FontName", Set_FontName);
    ini.WriteInteger(kProgramSection, "Set_Charset", Set_Charset);
    ini.WriteString(kProgramSection, "Set_Database", Set_Database);
    ini.WriteString(kProgramSection, "Set_HiddenCols", Set_HiddenCols);
    return ini.UpdateFile(gSettingsError);
}

bool WriteEcrSettings()
{
    TIniFile ini(SettingsFileName());
    ini.WriteInteger(kEcrSection, "Set_EcrNumb", Set_EcrNumb);
    ini.WriteInteger(kEcrSection, "Set_ComPort", Set_ComPort);
    ini.WriteBool(kEcrSection, "Set_OneECR", Set_OneECR);
    ini.WriteInteger(kEcrSection, "Set_EcrSpeed", Set_EcrSpeed);
    return ini.UpdateFile(gSettingsError);
}

bool ReadEcrInfo(std::string& error)
{
    TECR_DeviceInfo info;
    EcrDevice.PortNumber = Set_ComPort;
    MaxPluNumber = 30000;
    MaxPluSubgroup = 10;
    try {
        if (!EcrDevice.GetDevInfo(info)) {
            error = EcrDevice.LastError;
            return false;
        }
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    EcrModel = info.Model;
    EcrVersion = info.Version;
    EcrSerialNumber = info.SerialNumber;
    EcrFiscalMemoryNumber = info.FiscalMemoryNumber;
    EcrType = info.DeviceType;
    return true;
}
