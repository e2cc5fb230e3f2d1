#pragma once
// The program's settings and the state every register-facing view shares.
//
// The settings live in the variables below, named like their keys. They are
// read once at start (LoadProgramSettings) and written back section by
// section when a view changes them. Reading never fails: a missing file,
// section or key, or a value that does not convert, leaves the default.

#include <cstdint>
#include <string>

#include "core/base/ProgramDirs.h"

class TEcrDevice;

// --- Where the program keeps its files ----------------------------------

// Decides where the program's files live (see core/base/ProgramDirs.h,
// which also answers SettingsFileName() and ConfigDir()) and points the
// serial ports at the "dosdevices/" folder there. Call before anything reads
// settings; tests call it again freely.
void InitProgramLocation(const std::string& executablePath);

// --- Section PROGRAMSETTINGS ----------------------------------------------
extern std::string Set_LanguageFile; // ""
extern std::string Set_FontName;     // "MS Sans Serif"
extern int Set_Charset;              // 1
extern std::string Set_Database;     // ""
extern std::string Set_HiddenCols;   // ""

// --- Section ECRSETTINGS --------------------------------------------------
extern int Set_EcrNumb;   // 0
extern int Set_ComPort;   // 1
extern bool Set_OneECR;   // false
extern int Set_EcrSpeed;  // 9600

void LoadProgramSettings();
void ReadProgramSettings();
void ReadEcrSettings();

// Write every key of the section from the variables, in table order, and
// put the file on disk. False on failure: the file stays as it was, the
// variables keep their values, and SettingsError() tells why
// ("Unable to write to <file>").
bool WriteProgramSettings();
bool WriteEcrSettings();
const std::string& SettingsError();

// Restores every settings variable to its default (used at start and by tests).
void ResetSettingsToDefaults();

// --- The register ----------------------------------------------------------
// The one façade every view goes through. It exists from module
// initialisation until program end; views store Set_ComPort into its
// PortNumber before they call an operation.
extern TEcrDevice& EcrDevice;

// The register's identity from the last successful info read; a failed read
// leaves them as they were.
extern std::string EcrModel;
extern std::string EcrVersion;
extern std::string EcrSerialNumber;
extern std::string EcrFiscalMemoryNumber;
extern std::string EcrType;

// Limits of the PLU check: 0 until the first info read, then always 30000
// and 10 (fixed values, not read from the register).
extern std::uint16_t MaxPluNumber;
extern std::uint16_t MaxPluSubgroup;

// The part of ConnectAndReadEcrInfo below the windows: points EcrDevice at
// Set_ComPort, sets the limits, reads the identity into the variables above.
// False when no register answered; error then holds the façade's LastError
// (or the text of anything else that went wrong).
bool ReadEcrInfo(std::string& error);

inline constexpr const char* kProgramSection = "PROGRAMSETTINGS";
inline constexpr const char* kEcrSection = "ECRSETTINGS";
inline constexpr const char* kMainSection = "MAIN";
