#include "base/IniFile.h"

#include "base/FileUtil.h"

// Raw bytes in, raw bytes out: the files are single-byte text.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <cstdint>
#include <list>

struct TIniFile::Impl {
    CSimpleIniA ini{false, false, false};
};

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)), impl_(std::make_unique<Impl>())
{
    impl_->ini.SetSpaces(false);
    std::string content;
    if (ReadWholeFile(fileName_, content))
        impl_->ini.LoadData(content);
}

TIniFile::~TIniFile() = default;

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    return impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
    const char* v = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return v ? std::string(v) : def;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    int value;
    return TryStrToInt(ReadString(section, key, ""), value) ? value : def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    impl_->ini.SetValue(section.c_str(), key.c_str(), value.c_str());
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSections() const
{
    CSimpleIniA::TNamesDepend names;
    impl_->ini.GetAllSections(names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (const auto& e : names)
        if (e.pItem && *e.pItem)
            out.emplace_back(e.pItem);
    return out;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const
{
    CSimpleIniA::TNamesDepend names;
    impl_->ini.GetAllKeys(section.c_str(), names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (const auto& e : names)
        out.emplace_back(e.pItem);
    return out;
}

bool TIniFile::UpdateFile(std::string& error)
{
    std::string content;
    if (impl_->ini.Save(content) < 0 || !WriteFileAtomic(fileName_, content)) {
        error = UnableToWriteText(fileName_);
        return false;
    }
    return true;
}

bool TryStrToInt(const std::string& text, int& value)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        neg = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return false;
    int64_t acc = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        acc = acc * base + d;
        // Hexadecimal may spell the full 32-bit pattern (as $FFFFFFFF = -1).
        if (acc > (base == 16 ? int64_t(0xFFFFFFFF) : int64_t(0x80000000)))
            return false;
    }
    if (base == 16 && acc > INT32_MAX)
        acc = static_cast<int32_t>(static_cast<uint32_t>(acc));
    else if (!neg && acc > INT32_MAX)
        return false;
    value = static_cast<int>(neg ? -acc : acc);
    return true;
}

std::string UnableToWriteText(const std::string& fileName)
{
    return "Unable to write to " + fileName;
}
