#include "core/base/CodePage.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

// Byte 0x98 has no character in the code page; U+0098 stands for it.
constexpr unsigned char kUnassignedByte = 0x98;
constexpr const char* kUnassignedUtf8 = "\xC2\x98";

// Runs one iconv conversion over the whole text; false on any invalid or
// unrepresentable sequence.
bool Convert(const char* from, const char* to, const std::string& in, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    std::string buf(in.size() * 4 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buf.data();
        size_t outLeft = buf.size();
        size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf.data(), buf.size() - outLeft);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

} // namespace

std::string CodePageToUtf8(const std::string& bytes)
{
    // The upper half of the code page, converted once. The one unassigned
    // byte goes to the control character of the same number, so that it
    // comes back unchanged.
    static const auto upper = [] {
        std::array<std::string, 128> t;
        for (int i = 0; i < 128; ++i) {
            std::string one(1, static_cast<char>(0x80 + i));
            if (!Convert(kCodePage, "UTF-8", one, t[i]))
                t[i] = kUnassignedUtf8;
        }
        return t;
    }();
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else
            out += upper[c - 0x80];
    }
    return out;
}

std::optional<std::string> Utf8ToCodePage(const std::string& utf8)
{
    bool ascii = true;
    for (unsigned char c : utf8)
        if (c >= 0x80) { ascii = false; break; }
    if (ascii)
        return utf8;
    // iconv knows no character for the unassigned byte; its stand-in is
    // put back by hand between the converted pieces.
    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t at = utf8.find(kUnassignedUtf8, pos);
        std::string piece;
        if (!Convert("UTF-8", kCodePage, utf8.substr(pos, at == std::string::npos ? std::string::npos : at - pos),
                     piece))
            return std::nullopt;
        out += piece;
        if (at == std::string::npos)
            return out;
        out += static_cast<char>(kUnassignedByte);
        pos = at + std::strlen(kUnassignedUtf8);
    }
}

std::string CodePointToUtf8(char32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}
