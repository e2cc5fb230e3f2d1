#include "core/app/ConstUnit.h"

#include "core/device/EcrDeviceUnit.h"
#include "core/base/IniFile.h"
#include "core/base/ProgramDirs.h"
#include "core/base/TextUtil.h"
#include "core/link/MyCPort.h"

#include <cstring>

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

// One setting: where it lives in the file, its variable (one of the three)
// and its default.
struct TSetting {
    const char* section;
    const char* key;
    std::string* text;
    int* number;
    bool* flag;
    const char* textDefault;
    int numberDefault; // also the flag's default
};

constexpr TSetting Text(const char* section, const char* key, std::string& variable, const char* def)
{
    return {section, key, &variable, nullptr, nullptr, def, 0};
}
constexpr TSetting Number(const char* section, const char* key, int& variable, int def)
{
    return {section, key, nullptr, &variable, nullptr, "", def};
}
constexpr TSetting Flag(const char* section, const char* key, bool& variable, bool def)
{
    return {section, key, nullptr, nullptr, &variable, "", def ? 1 : 0};
}

// Every setting, each section's keys in the order they are written.
constexpr TSetting kSettings[] = {
    Text(kProgramSection, "Set_LanguageFile", Set_LanguageFile, ""),
    Text(kProgramSection, "Set_FontName", Set_FontName, "MS Sans Serif"),
    Number(kProgramSection, "Set_Charset", Set_Charset, 1),
    Text(kProgramSection, "Set_Database", Set_Database, ""),
    Text(kProgramSection, "Set_HiddenCols", Set_HiddenCols, ""),
    Number(kEcrSection, "Set_EcrNumb", Set_EcrNumb, 0),
    Number(kEcrSection, "Set_ComPort", Set_ComPort, 1),
    Flag(kEcrSection, "Set_OneECR", Set_OneECR, false),
    Number(kEcrSection, "Set_EcrSpeed", Set_EcrSpeed, 9600),
};

struct DefaultsAtLoad {
    DefaultsAtLoad() { ResetSettingsToDefaults(); }
} defaultsAtLoad;

void ReadSection(const char* section)
{
    const TIniFile ini(SettingsFileName());
    for (const TSetting& s : kSettings) {
        if (std::strcmp(s.section, section) != 0)
            continue;
        if (s.text) // settings texts never end in blanks; a hand-edited file may
            *s.text = TrimRight(ini.ReadString(section, s.key, s.textDefault), IsBlank);
        else if (s.number)
            *s.number = ini.ReadInteger(section, s.key, s.numberDefault);
        else
            *s.flag = ini.ReadBool(section, s.key, s.numberDefault != 0);
    }
}

bool WriteSection(const char* section)
{
    TIniFile ini(SettingsFileName());
    for (const TSetting& s : kSettings) {
        if (std::strcmp(s.section, section) != 0)
            continue;
        if (s.text)
            ini.WriteString(section, s.key, *s.text);
        else if (s.number)
            ini.WriteInteger(section, s.key, *s.number);
        else
            ini.WriteBool(section, s.key, *s.flag);
    }
    return ini.UpdateFile(gSettingsError);
}

} // namespace

TEcrDevice& EcrDevice = TheEcrDevice();

void ResetSettingsToDefaults()
{
    for (const TSetting& s : kSettings) {
        if (s.text)
            *s.text = s.textDefault;
        else if (s.number)
            *s.number = s.numberDefault;
        else
            *s.flag = s.numberDefault != 0;
    }
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

void ReadProgramSettings() { ReadSection(kProgramSection); }
void ReadEcrSettings() { ReadSection(kEcrSection); }
bool WriteProgramSettings() { return WriteSection(kProgramSection); }
bool WriteEcrSettings() { return WriteSection(kEcrSection); }

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
