#include "core/base/IniFile.h"

#include "core/base/FileUtil.h"
#include "core/base/TextUtil.h"

#include <cstdint>
#include <strings.h>

// The file is kept as its lines, so that whatever the program does not
// change (comments, blank lines, foreign sections, the order of everything)
// is written back byte for byte. A value is everything after the first "="
// up to the line end, leading blanks removed and trailing ones kept: a text
// the program writes comes back exactly as it was.

namespace {

enum class LineKind { Other, Section, Key };

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace

struct TIniFile::Impl {
    struct Line {
        LineKind kind = LineKind::Other;
        std::string text;  // the line as in the file, without its line break
        std::string name;  // section or key name as spelled in the file
        std::string value; // key lines only
    };
    std::vector<Line> lines;
    // The file is there but could not be read: writing would replace
    // content we never saw, so UpdateFile refuses.
    bool unreadable = false;
    std::string newline = "\n";
    bool finalNewline = true;

    void Parse(const std::string& content)
    {
        size_t pos = 0;
        bool first = true;
        while (pos < content.size()) {
            size_t end = content.find('\n', pos);
            const bool last = end == std::string::npos;
            std::string text = content.substr(pos, last ? std::string::npos : end - pos);
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
                if (first)
                    newline = "\r\n";
            }
            first = false;
            finalNewline = !last;
            lines.push_back(Classify(std::move(text)));
            pos = last ? content.size() : end + 1;
        }
    }

    static Line Classify(std::string text)
    {
        Line line;
        const std::string_view t = Trim(text, IsBlank);
        if (!t.empty() && t[0] == '[') {
            const size_t close = t.find(']');
            if (close != std::string::npos) {
                line.kind = LineKind::Section;
                line.name = Trim(t.substr(1, close - 1), IsBlank);
            }
        } else if (!t.empty() && t[0] != ';' && t[0] != '#') {
            const size_t eq = text.find('=');
            if (eq != std::string::npos) {
                line.kind = LineKind::Key;
                line.name = Trim(std::string_view(text).substr(0, eq), IsBlank);
                line.value = TrimLeft(std::string_view(text).substr(eq + 1), IsBlank);
            }
        }
        line.text = std::move(text);
        return line;
    }

    // Index of the first section line with this name, or -1.
    long FindSection(const std::string& section) const
    {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].kind == LineKind::Section && SameName(lines[i].name, section))
                return static_cast<long>(i);
        return -1;
    }

    // One past the last line of the section that starts at index s.
    size_t SectionEnd(long s) const
    {
        size_t i = static_cast<size_t>(s) + 1;
        while (i < lines.size() && lines[i].kind != LineKind::Section)
            ++i;
        return i;
    }

    const Line* FindKey(const std::string& section, const std::string& key) const
    {
        const long s = FindSection(section);
        if (s < 0)
            return nullptr;
        for (size_t i = s + 1, e = SectionEnd(s); i < e; ++i)
            if (lines[i].kind == LineKind::Key && SameName(lines[i].name, key))
                return &lines[i];
        return nullptr;
    }

    std::string Serialize() const
    {
        std::string out;
        for (size_t i = 0; i < lines.size(); ++i) {
            out += lines[i].text;
            if (i + 1 < lines.size() || finalNewline)
                out += newline;
        }
        return out;
    }
};

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)), impl_(std::make_unique<Impl>())
{
    std::string content;
    if (ReadWholeFile(fileName_, content))
        impl_->Parse(content);
    else if (FileExists(fileName_))
        impl_->unreadable = true;
}

TIniFile::~TIniFile() = default;

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    return impl_->FindKey(section, key) != nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
    const Impl::Line* line = impl_->FindKey(section, key);
    return line ? line->value : def;
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
    auto& lines = impl_->lines;
    long s = impl_->FindSection(section);
    if (s < 0) {
        // A new section goes to the end, set off by a blank line.
        if (!lines.empty() && !Trim(lines.back().text, IsBlank).empty())
            lines.push_back(Impl::Classify(""));
        lines.push_back(Impl::Classify("[" + section + "]"));
        s = static_cast<long>(lines.size()) - 1;
        impl_->finalNewline = true;
    }
    const size_t end = impl_->SectionEnd(s);
    for (size_t i = s + 1; i < end; ++i) {
        if (lines[i].kind == LineKind::Key && SameName(lines[i].name, key)) {
            lines[i] = Impl::Classify(lines[i].name + "=" + value);
            return;
        }
    }
    // A new key follows the section's last non-blank line.
    size_t at = end;
    while (at > static_cast<size_t>(s) + 1 && Trim(lines[at - 1].text, IsBlank).empty())
        --at;
    lines.insert(lines.begin() + static_cast<long>(at), Impl::Classify(key + "=" + value));
    if (at == lines.size() - 1)
        impl_->finalNewline = true;
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
    std::vector<std::string> out;
    for (const auto& line : impl_->lines) {
        if (line.kind != LineKind::Section)
            continue;
        bool seen = false;
        for (const auto& n : out)
            seen = seen || SameName(n, line.name);
        if (!seen)
            out.push_back(line.name);
    }
    return out;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const
{
    std::vector<std::string> out;
    const long s = impl_->FindSection(section);
    if (s < 0)
        return out;
    for (size_t i = s + 1, e = impl_->SectionEnd(s); i < e; ++i)
        if (impl_->lines[i].kind == LineKind::Key)
            out.push_back(impl_->lines[i].name);
    return out;
}

bool TIniFile::UpdateFile(std::string& error)
{
    if (impl_->unreadable || !WriteFileAtomic(fileName_, impl_->Serialize())) {
        error = UnableToWriteText(fileName_);
        return false;
    }
    return true;
}

bool TryStrToInt(const std::string& untrimmed, int& value)
{
    // Blanks around the number are what a hand-edited file tends to carry.
    const std::string_view text = Trim(untrimmed, IsBlank);
    size_t i = 0;
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
    const size_t end = text.size();
    if (i >= end)
        return false;
    int64_t acc = 0;
    for (; i < end; ++i) {
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
