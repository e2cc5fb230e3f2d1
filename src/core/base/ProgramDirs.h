#pragma once
// Where the program and its tools keep their files. Everything that looks for
// the settings file, the language files or the "dosdevices/" folder asks
// here, so the program, ecrtool and ecrsim always agree on one folder.

#include <string>

// The name the program's files are named after ("morvane-tessel.ini").
inline constexpr const char* kProgramFileName = "morvane-tessel";

// The running executable's own path, read from /proc/self/exe once; argv0
// made absolute when that link cannot be read. Pass argv[0] on the first call.
const std::string& OwnExecutablePath(const char* argv0 = nullptr);

// Decides where the settings file lives: the program's path with ".ini";
// when the program's folder is not writable, the same file name in
// "$XDG_CONFIG_HOME/morvane-tessel/" (else "~/.config/morvane-tessel/"),
// created when missing. Call before anything reads settings; tests call it
// again freely. ecrtool and ecrsim pass the program's path beside themselves.
void InitProgramDirs(const std::string& programPath);

// Full path of the settings file; empty before InitProgramDirs.
const std::string& SettingsFileName();

// Folder of the settings file, with a trailing '/': where the language files
// and "dosdevices/" are found. Same as the program's folder unless that
// folder is not writable.
const std::string& ConfigDir();

// ConfigDir() + "dosdevices/": where "comN" links name serial devices.
std::string DosDevicesDir();
