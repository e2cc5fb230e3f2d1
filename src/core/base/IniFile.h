#pragma once
// INI files as the program uses them: sections and keys matched without
// regard to letter case, values kept as raw single-byte text (trailing blanks
// included), and every line the program does not change - comments, blank
// lines, foreign sections and keys - written back exactly as it was.
//
// The file is read when the object is made (a missing or unreadable file
// reads as empty). Writes change the copy in memory; UpdateFile puts the
// whole file on disk in one step, so a failure never leaves it half written.

#include <memory>
#include <string>
#include <vector>

class TIniFile {
public:
    explicit TIniFile(std::string fileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    bool ValueExists(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // A text that is not an integer gives def; "$" or "0x" read hexadecimal.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // True for any integer other than 0; a text that is no integer gives def.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Section names, then the key names of one section, in file order.
    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(const std::string& section) const;

    // Writes the file. On failure returns false, leaves the file on disk as
    // it was and puts "Unable to write to <file>" into error. A file that
    // exists but could not be read is never written over.
    bool UpdateFile(std::string& error);

private:
    struct Impl;
    std::string fileName_;
    std::unique_ptr<Impl> impl_;
};

// Integer conversion of the settings: optional blanks, an optional sign, then
// decimal digits, or "$" / "0x" followed by hexadecimal digits, then optional
// blanks; nothing else may follow and the value must fit 32 bits. False when
// it is no integer.
bool TryStrToInt(const std::string& text, int& value);

// "Unable to write to %s" with the file name.
std::string UnableToWriteText(const std::string& fileName);
