#pragma once
// The one place that names the code page of every text the core keeps.
// Register data, .plu files, settings and language files are bytes in this
// code page and pass through the core unchanged; only the edges (GUI widgets,
// JSON of ecrtool, workbooks) convert.

#include <optional>
#include <string>

inline constexpr const char* kCodePage = "WINDOWS-1251";

// Windows-1251 bytes to UTF-8. The one byte the code page leaves unassigned,
// 0x98, becomes U+0098, and Utf8ToCodePage turns that back into 0x98, so
// every byte string survives the round trip.
std::string CodePageToUtf8(const std::string& bytes);

// UTF-8 to Windows-1251. Returns nothing when the text is not valid UTF-8 or
// holds a character the code page cannot represent: callers refuse such
// input instead of changing it silently.
std::optional<std::string> Utf8ToCodePage(const std::string& utf8);

// The UTF-8 bytes of one Unicode code point (up to U+10FFFF), as the XML and
// JSON readers need them for numeric references and escapes.
std::string CodePointToUtf8(char32_t codePoint);
