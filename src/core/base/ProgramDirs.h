#pragma once
// Where the program and its tools keep their files. Everything that looks for
// the settings file, the language files or the "dosdevices/" folder asks
// here, so the program, ecrtool and ecrsim always agree on one folder.

#include <string>
#include <vector>

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

// Where an installed program finds the files it ships: "<prefix>/share/
// morvane-tessel/" for a program in "<prefix>/bin/" (the install rules put
// them there). The folder need not exist: the build tree has none.
std::string ShippedDataDir();

// Copies every file of ShippedDataDir() whose name ends in extension into
// ConfigDir() when ConfigDir() has no entry of that name, so an installed
// program finds its language files in the user's folder. An entry the user
// has (an edited file, a link) is never replaced. Returns one text for each
// file that could not be copied; empty when all went well.
std::vector<std::string> CopyMissingShippedFiles(const std::string& extension);
