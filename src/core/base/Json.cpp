#include "core/base/Json.h"

#include "core/base/CodePage.h"

#include <algorithm>
#include <charconv>
#include <cmath>

const TJsonValue* TJsonValue::Member(const std::string& key) const
{
    for (const auto& m : Members)
        if (m.first == key)
            return &m.second;
    return nullptr;
}

namespace {

constexpr int kMaxDepth = 64;

class TParser {
public:
    explicit TParser(const std::string& text) : s_(text) {}

    std::optional<TJsonValue> Document(std::string& error)
    {
        TJsonValue v;
        SkipSpace();
        if (!Value(v, 0)) {
            error = error_;
            return std::nullopt;
        }
        SkipSpace();
        if (pos_ != s_.size()) {
            error = "unexpected text after the value at " + Where();
            return std::nullopt;
        }
        return v;
    }

private:
    bool Fail(const std::string& what)
    {
        if (error_.empty())
            error_ = what + " at " + Where();
        return false;
    }
    std::string Where() const
    {
        const std::size_t lineStart = s_.rfind('\n', pos_ ? pos_ - 1 : 0);
        if (lineStart == std::string::npos || pos_ == 0)
            return "column " + std::to_string(pos_ + 1);
        const auto line = 1 + std::count(s_.begin(), s_.begin() + static_cast<long>(pos_), '\n');
        return "line " + std::to_string(line) + " column " + std::to_string(pos_ - lineStart);
    }
    void SkipSpace()
    {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    bool Literal(const char* word)
    {
        const std::size_t n = std::char_traits<char>::length(word);
        if (s_.compare(pos_, n, word) != 0)
            return Fail("invalid literal");
        pos_ += n;
        return true;
    }

    bool Value(TJsonValue& v, int depth)
    {
        if (depth > kMaxDepth)
            return Fail("nesting too deep");
        if (pos_ >= s_.size())
            return Fail("unexpected end of text");
        const char c = s_[pos_];
        switch (c) {
        case '{':
            return Object(v, depth);
        case '[':
            return Array(v, depth);
        case '"':
            v.Kind = TJsonValue::TKind::String;
            return String(v.Text);
        case 't':
            v.Kind = TJsonValue::TKind::Bool;
            v.Bool = true;
            return Literal("true");
        case 'f':
            v.Kind = TJsonValue::TKind::Bool;
            return Literal("false");
        case 'n':
            v.Kind = TJsonValue::TKind::Null;
            return Literal("null");
        default:
            if (c == '-' || (c >= '0' && c <= '9'))
                return Number(v);
            return Fail("unexpected character");
        }
    }

    bool Object(TJsonValue& v, int depth)
    {
        v.Kind = TJsonValue::TKind::Object;
        ++pos_;
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != '"')
                return Fail("expected a key");
            std::string key;
            if (!String(key))
                return false;
            if (v.Member(key))
                return Fail("duplicate key \"" + key + "\"");
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != ':')
                return Fail("expected ':'");
            ++pos_;
            SkipSpace();
            TJsonValue item;
            if (!Value(item, depth + 1))
                return false;
            v.Members.emplace_back(std::move(key), std::move(item));
            SkipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return Fail("expected ',' or '}'");
        }
    }

    bool Array(TJsonValue& v, int depth)
    {
        v.Kind = TJsonValue::TKind::Array;
        ++pos_;
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            SkipSpace();
            TJsonValue item;
            if (!Value(item, depth + 1))
                return false;
            v.Items.push_back(std::move(item));
            SkipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return Fail("expected ',' or ']'");
        }
    }

    bool Number(TJsonValue& v)
    {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')
                ++pos_;
            return pos_ - from;
        };
        if (s_[pos_] == '-')
            ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '0')
            ++pos_;
        else if (digits() == 0)
            return Fail("invalid number");
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            if (digits() == 0)
                return Fail("invalid number");
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-'))
                ++pos_;
            if (digits() == 0)
                return Fail("invalid number");
        }
        v.Kind = TJsonValue::TKind::Number;
        v.Text = s_.substr(start, pos_ - start);
        return true;
    }

    bool Hex4(uint32_t& out)
    {
        if (pos_ + 4 > s_.size())
            return Fail("invalid \\u escape");
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[pos_++];
            out <<= 4;
            if (c >= '0' && c <= '9')
                out |= c - '0';
            else if (c >= 'a' && c <= 'f')
                out |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                out |= c - 'A' + 10;
            else
                return Fail("invalid \\u escape");
        }
        return true;
    }

    // One UTF-8 sequence copied as it is, checked for well-formedness.
    bool Utf8Char(std::string& out)
    {
        const auto b0 = static_cast<unsigned char>(s_[pos_]);
        int extra;
        uint32_t cp, min;
        if (b0 < 0x80) {
            out += s_[pos_++];
            return true;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, min = 0x10000;
        } else {
            return Fail("invalid UTF-8");
        }
        if (pos_ + extra >= s_.size())
            return Fail("invalid UTF-8");
        for (int i = 1; i <= extra; ++i) {
            const auto b = static_cast<unsigned char>(s_[pos_ + i]);
            if ((b & 0xC0) != 0x80)
                return Fail("invalid UTF-8");
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return Fail("invalid UTF-8");
        out.append(s_, pos_, extra + 1);
        pos_ += extra + 1;
        return true;
    }

    bool String(std::string& out)
    {
        ++pos_; // opening quote
        for (;;) {
            if (pos_ >= s_.size())
                return Fail("unterminated string");
            const char c = s_[pos_];
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                return Fail("control character in string");
            if (c != '\\') {
                if (!Utf8Char(out))
                    return false;
                continue;
            }
            ++pos_;
            if (pos_ >= s_.size())
                return Fail("unterminated string");
            const char e = s_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t cp = 0;
                if (!Hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    uint32_t low = 0;
                    if (s_.compare(pos_, 2, "\\u") != 0)
                        return Fail("unpaired surrogate");
                    pos_ += 2;
                    if (!Hex4(low))
                        return false;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return Fail("unpaired surrogate");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    return Fail("unpaired surrogate");
                }
                out += CodePointToUtf8(cp);
                break;
            }
            default:
                --pos_;
                return Fail("invalid escape");
            }
        }
    }

    const std::string& s_;
    std::size_t pos_ = 0;
    std::string error_;
};

} // namespace

std::optional<TJsonValue> ParseJson(const std::string& text, std::string& error)
{
    return TParser(text).Document(error);
}

std::optional<int64_t> JsonInteger(const TJsonValue& value, int64_t min, int64_t max)
{
    if (value.Kind != TJsonValue::TKind::Number || value.Text.find_first_of(".eE") != std::string::npos)
        return std::nullopt;
    int64_t n = 0;
    auto res = std::from_chars(value.Text.data(), value.Text.data() + value.Text.size(), n);
    if (res.ec != std::errc() || res.ptr != value.Text.data() + value.Text.size() || n < min || n > max)
        return std::nullopt;
    return n;
}

std::optional<double> JsonDouble(const TJsonValue& value)
{
    if (value.Kind != TJsonValue::TKind::Number)
        return std::nullopt;
    double d = 0;
    auto res = std::from_chars(value.Text.data(), value.Text.data() + value.Text.size(), d);
    if (res.ec != std::errc() || res.ptr != value.Text.data() + value.Text.size() || !std::isfinite(d))
        return std::nullopt;
    return d;
}

std::string JsonString(const std::string& utf8)
{
    static const char* const kHex = "0123456789abcdef";
    std::string out = "\"";
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += "\\u00";
                out += kHex[u >> 4];
                out += kHex[u & 15];
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value)
{
    if (value == 0)
        return "0"; // also for -0, which JSON readers treat alike
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string JsonNumber(int64_t value)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

TJsonObjectWriter& TJsonObjectWriter::Raw(const std::string& key, const std::string& json)
{
    if (text_.size() > 1)
        text_ += ',';
    text_ += JsonString(key) + ":" + json;
    return *this;
}
TJsonObjectWriter& TJsonObjectWriter::String(const std::string& key, const std::string& utf8)
{
    return Raw(key, JsonString(utf8));
}
TJsonObjectWriter& TJsonObjectWriter::Int(const std::string& key, int64_t value) { return Raw(key, JsonNumber(value)); }
TJsonObjectWriter& TJsonObjectWriter::Double(const std::string& key, double value)
{
    return Raw(key, JsonNumber(value));
}
TJsonObjectWriter& TJsonObjectWriter::Bool(const std::string& key, bool value)
{
    return Raw(key, value ? "true" : "false");
}
