#pragma once
// Trimming, with the two notions of blank the program meets: the INI files
// and settings pad with spaces and TABs only (a control character there is
// data), while the register pads its listings with any byte up to the space.

#include <string_view>

using TIsBlank = bool (*)(char);

// Space and TAB.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
// Space and every control character (bytes 0x00 to 0x20).
inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline std::string_view TrimLeft(std::string_view text, TIsBlank isBlank)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

inline std::string_view TrimRight(std::string_view text, TIsBlank isBlank)
{
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

inline std::string_view Trim(std::string_view text, TIsBlank isBlank)
{
    return TrimRight(TrimLeft(text, isBlank), isBlank);
}
