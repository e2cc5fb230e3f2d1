#pragma once
// Small file-system helpers of the core.

#include <string>

// Writes the whole content to path without ever leaving a half-written file:
// the bytes go to a temporary file in the same folder, which then replaces
// the old one. An existing file that is not writable, or has no write
// permission bit at all, is refused: a file the user made read-only stays as
// it is. When path is a symbolic link, the file it points to is replaced and
// the link stays. On failure the old file is unchanged and false is returned.
bool WriteFileAtomic(const std::string& path, const std::string& content);

// Reads the whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& content);

// The folder part of a path, with a trailing '/'; "./" when there is none.
std::string ExtractFilePath(const std::string& path);

// The file-name part of a path (after the last '/').
std::string ExtractFileName(const std::string& path);

// The path with its extension (from the last '.' of the file name) replaced.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// True when a new file could be created in the folder. A folder without any
// write permission bit counts as not writable, even for root.
bool FolderIsWritable(const std::string& folder);

bool FileExists(const std::string& path);
