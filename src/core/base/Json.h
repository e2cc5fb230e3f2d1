#pragma once
// A small strict JSON reader and writer for the records ecrtool prints and
// reads and for register backup files. Strict: one value per text, no comments, no trailing commas, no
// duplicate keys, strings in valid UTF-8 without raw control characters,
// numbers only in the JSON grammar. Numbers keep their text so that callers
// can tell 7 from 7.0 and check ranges exactly.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TJsonValue {
    enum class TKind { Null, Bool, Number, String, Array, Object };
    TKind Kind = TKind::Null;
    bool Bool = false;
    std::string Text; // the number's text, or the string's UTF-8 bytes
    std::vector<TJsonValue> Items;
    std::vector<std::pair<std::string, TJsonValue>> Members; // in input order

    const TJsonValue* Member(const std::string& key) const;
};

// Parses the whole text as one value (white space around it allowed). On
// failure returns nothing and sets error ("expected ':' at column 12"; in a
// text of several lines "expected ':' at line 3 column 12").
std::optional<TJsonValue> ParseJson(const std::string& text, std::string& error);

// Integer of a number written without fraction or exponent, within [min, max].
std::optional<int64_t> JsonInteger(const TJsonValue& value, int64_t min, int64_t max);
// Any number, as the nearest double; nothing when it overflows.
std::optional<double> JsonDouble(const TJsonValue& value);

// Writers: a quoted, escaped string (UTF-8 passed through); the shortest
// text that reads back as exactly this double.
std::string JsonString(const std::string& utf8);
std::string JsonNumber(double value);
std::string JsonNumber(int64_t value);

// Builds one object on one line, keys in the order added.
class TJsonObjectWriter {
public:
    TJsonObjectWriter& Raw(const std::string& key, const std::string& json);
    TJsonObjectWriter& String(const std::string& key, const std::string& utf8);
    TJsonObjectWriter& Int(const std::string& key, int64_t value);
    TJsonObjectWriter& Double(const std::string& key, double value);
    TJsonObjectWriter& Bool(const std::string& key, bool value);
    std::string Text() const { return text_ + "}"; }

private:
    std::string text_ = "{";
};
