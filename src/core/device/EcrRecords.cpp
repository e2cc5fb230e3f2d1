#include "core/device/EcrRecords.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

[[noreturn]] void ThrowIndex(std::size_t index)
{
    throw ERecordFormat("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& At(const std::vector<std::string>& list, std::size_t index)
{
    if (index >= list.size())
        ThrowIndex(index);
    return list[index];
}

std::vector<std::string> Items(const std::string& line)
{
    std::vector<std::string> items;
    SplitText(line, items, ',');
    return items;
}

std::string HexText(uint32_t value, int minDigits)
{
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
    std::string digits(buf, res.ptr);
    for (char& c : digits)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, minDigits - digits.size(), '0');
    return digits;
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// The register splits every line at commas and every file at line breaks, so
// what a field may hold depends only on whether the format escapes commas in it.
std::string FieldProblem(const char* field, std::string_view text, bool commasEscaped)
{
    if (HasLineBreak(text))
        return std::string(field) + " must not contain a line break";
    if (!commasEscaped && text.find(',') != std::string_view::npos)
        return std::string(field) + " must not contain a comma";
    return {};
}

// Joins items from index 1 on with ',' exactly as they stand. Quoting items
// that hold blanks or quotes would change the barcode text on every read and
// write-back (a quoted item gains another pair of quotes each time), so a
// barcode list comes back as the register stored it.
std::string JoinBarcodes(const std::vector<std::string>& items)
{
    std::string out;
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (i > 1)
            out += ',';
        out += items[i];
    }
    return out;
}

} // namespace

void SplitText(std::string_view text, std::vector<std::string>& list, char ch)
{
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(ch, start);
        if (pos == std::string_view::npos) {
            list.emplace_back(text.substr(start));
            return;
        }
        list.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

static std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(from, start);
        if (pos == std::string_view::npos) {
            out.append(text.substr(start));
            return out;
        }
        out.append(text.substr(start, pos - start));
        out.append(to);
        start = pos + from.size();
    }
}

std::string EscapeCommas(std::string_view text) { return ReplaceAll(text, ",", "^x2c;"); }
std::string UnescapeCommas(std::string_view text) { return ReplaceAll(text, "^x2c;", ","); }

uint32_t PluFlagBits(const std::array<bool, kPluFlagCount>& flags)
{
    uint32_t bits = 0;
    for (int i = 0; i < kPluFlagCount; ++i)
        if (flags[i])
            bits |= 1u << i;
    return bits;
}

uint32_t CashierFlagBits(const TECR_Cashier& c)
{
    return (c.Sell ? 0x1u : 0) | (c.Admin ? 0x2u : 0) | (c.Reports ? 0x4u : 0) | (c.Program ? 0x8u : 0);
}

void ClearPlu(TECR_PLU& plu) { plu = TECR_PLU{}; }
void ClearAlteTaxe(TECR_ALTETAXE& tax) { tax = TECR_ALTETAXE{}; }

std::string DecimalText(int64_t value)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string FormatPrice(double value)
{
    if (!std::isfinite(value))
        return value != value ? "NAN" : (value > 0 ? "INF" : "-INF");
    if (value == 0)
        return "0";
    // Rounding to 15 significant digits first decides both the digits and
    // which form applies (9.999999999999999E-6 rounds up to 0.00001).
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string_view sci(buf, res.ptr - buf); // [-]d.ddddddddddddddde[+-]xx
    std::string out;
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    std::size_t e = sci.find('e');
    std::string digits;
    digits += sci[0];
    digits.append(sci.substr(2, e - 2));
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    if (exponent < -5 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += 'E';
        out += DecimalText(exponent);
        return out;
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
    } else {
        out.append(digits, 0, intDigits);
        out += '.';
        out.append(digits, intDigits);
    }
    return out;
}

namespace {

// Steps over a leading '+' or '-'; true for '-'.
bool TakeSign(const char*& p, const char* end)
{
    if (p == end || (*p != '+' && *p != '-'))
        return false;
    return *p++ == '-';
}

} // namespace

int64_t RecordStrToInt(const std::string& text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    const bool negative = TakeSign(p, end);
    uint64_t magnitude = 0;
    auto res = std::from_chars(p, end, magnitude);
    if (p == end || res.ec != std::errc() || res.ptr != end || *p == '+' || *p == '-' ||
        (negative ? magnitude > 2147483648ull : magnitude > 4294967295ull))
        throw ERecordFormat("'" + text + "' is not a valid integer value");
    return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

uint32_t RecordHexToInt(const std::string& text)
{
    uint32_t value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size() ||
        text[0] == '-' || text[0] == '+')
        throw ERecordFormat("'" + text + "' is not a valid integer value");
    return value;
}

double RecordStrToFloat(const std::string& text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    const bool negative = TakeSign(p, end);
    // Only digits, one point and an exponent: from_chars alone would also
    // take "inf", "nan" and hexadecimal forms.
    bool ok = p != end && (std::isdigit(static_cast<unsigned char>(*p)) || *p == '.');
    double value = 0;
    if (ok) {
        auto res = std::from_chars(p, end, value, std::chars_format::general);
        ok = res.ec == std::errc() && res.ptr == end && std::isfinite(value);
    }
    if (!ok)
        throw ERecordFormat("'" + text + "' is not a valid floating point value");
    return negative ? -value : value;
}

// --- PLU ------------------------------------------------------------------

std::string PluWriteProblem(const TECR_PLU& plu)
{
    if (plu.Name.size() > kMaxRecordText)
        return "Name is longer than 255 characters";
    struct Field {
        const char* name;
        const std::string& text;
        bool escaped;
    };
    const Field fields[] = {
        {"Name", plu.Name, true},         {"Barcode", plu.Barcode, true},
        {"Unit", plu.Unit, false},        {"Comment", plu.Comment, false},
        {"TaxValue", plu.TaxValue, false}, {"AlteTaxeName", plu.AlteTaxeName, false},
    };
    for (const Field& f : fields) {
        std::string problem = FieldProblem(f.name, f.text, f.escaped);
        if (!problem.empty())
            return problem;
    }
    if (!std::isfinite(plu.Price))
        return "Price is not a number";
    // Near the largest double the 15-digit text rounds beyond it, and the
    // register would hold a price that no later read can take back.
    try {
        RecordStrToFloat(FormatPrice(plu.Price));
    } catch (const std::exception&) {
        return "Price is out of range";
    }
    return {};
}

TLineList PluFileLines(const TECR_PLU& plu)
{
    const uint32_t bits = PluFlagBits(plu.Flags);
    std::string flg = "flg," + HexText(bits, bits > 0xFF ? 3 : 2);
    if (plu.PayType >= 2)
        flg += "," + DecimalText(plu.PayType - 1) + ",,";
    return {
        "plu," + DecimalText(plu.Number) + "," + EscapeCommas(plu.Name),
        "bar," + plu.Barcode,
        "prc," + FormatPrice(plu.Price) + "," + DecimalText(plu.TaxGroup) + "," + plu.Unit,
        "dep," + DecimalText(plu.SubGroup) + "," + DecimalText(plu.Group) + "," + plu.Comment,
        "alte," + DecimalText(static_cast<uint32_t>(plu.AlteTaxeId)) + "," + plu.TaxValue + "," + plu.AlteTaxeName,
        std::move(flg),
    };
}

void ParsePluLines(const TLineList& lines, TECR_PLU& plu)
{
    ClearPlu(plu);
    enum { kPlu, kBar, kPrc, kDep, kAlte, kFlg };
    // Line index of each record line; -1: the layout has no alte line.
    int at[6];
    auto startsWithAlte = [&](std::size_t i) { return At(lines, i).compare(0, 4, "alte") == 0; };
    if (lines.size() > 5 && !startsWithAlte(1)) {
        const int layout[6] = {0, 1, 2, 3, 4, 5};
        std::copy(layout, layout + 6, at);
    } else if (startsWithAlte(1)) {
        const int layout[6] = {0, 2, 3, 4, 1, 5};
        std::copy(layout, layout + 6, at);
    } else {
        const int layout[6] = {0, 1, 2, 3, -1, 4};
        std::copy(layout, layout + 6, at);
    }
    auto line = [&](int which) -> const std::string& { return At(lines, static_cast<std::size_t>(at[which])); };

    const auto pluItems = Items(line(kPlu));
    plu.Number = static_cast<uint32_t>(RecordStrToInt(At(pluItems, 1)));
    plu.Name = UnescapeCommas(At(pluItems, 2)).substr(0, kMaxRecordText);

    if (at[kAlte] >= 0) {
        const auto alte = Items(line(kAlte));
        if (alte.size() >= 4) {
            plu.AlteTaxeId = static_cast<int32_t>(RecordStrToInt(alte[1]));
            plu.TaxValue = alte[2];
            plu.AlteTaxeName = alte[3];
        } else if (alte.size() == 3) {
            plu.AlteTaxeId = static_cast<int32_t>(RecordStrToInt(alte[1]));
            plu.AlteTaxeName = alte[2];
        }
    }

    const std::string& bar = line(kBar);
    if (bar != "bar,")
        plu.Barcode = JoinBarcodes(Items(bar));

    const auto prc = Items(line(kPrc));
    plu.Price = RecordStrToFloat(At(prc, 1));
    plu.TaxGroup = static_cast<uint8_t>(RecordStrToInt(At(prc, 2)));
    plu.Unit = At(prc, 3);

    const auto dep = Items(line(kDep));
    plu.SubGroup = static_cast<uint8_t>(RecordStrToInt(At(dep, 1)));
    plu.Group = static_cast<uint8_t>(RecordStrToInt(At(dep, 2)));
    plu.Comment = At(dep, 3);

    const auto flg = Items(line(kFlg));
    const uint32_t bits = RecordHexToInt(At(flg, 1));
    for (int i = 0; i < kPluFlagCount; ++i)
        plu.Flags[i] = (bits >> i) & 1u;
    plu.PayType = flg.size() >= 4 ? static_cast<uint8_t>(RecordStrToInt(flg[2]) + 1) : 1;
}

// --- Alte tax -----------------------------------------------------------------

std::string AlteTaxeWriteProblem(const TECR_ALTETAXE& tax) { return FieldProblem("Name", tax.Name, false); }

TLineList AlteTaxeFileLines(const TECR_ALTETAXE& tax)
{
    return {"alte," + DecimalText(static_cast<uint32_t>(tax.Number)) + "," + tax.Name};
}

void ParseAlteTaxeLines(const TLineList& lines, TECR_ALTETAXE& tax)
{
    ClearAlteTaxe(tax);
    const auto items = Items(At(lines, 0));
    tax.Number = static_cast<int32_t>(RecordStrToInt(At(items, 1)));
    tax.Name = At(items, 2);
}

// --- Cashier --------------------------------------------------------------------

std::string CashierWriteProblem(const TECR_Cashier& c)
{
    std::string problem = FieldProblem("Name", c.Name.View(), true);
    if (problem.empty())
        problem = FieldProblem("Password", c.Password.View(), true);
    return problem;
}

std::string AdvLinesWriteProblem(const TECR_AdvLines& lines)
{
    for (std::size_t k = 0; k < lines.size(); ++k)
        for (unsigned char c : lines[k])
            if (c < 0x20 && c != '\t' && c != '\r' && c != '\n')
                return "Line " + std::to_string(k) + " must not contain a control character";
    return {};
}

TLineList CashierFileLines(const TECR_Cashier& c)
{
    return {
        "oper," + DecimalText(c.Number) + "," + EscapeCommas(c.Name.View()),
        "pass," + EscapeCommas(c.Password.View()),
        "flg," + HexText(CashierFlagBits(c), 8),
    };
}

void ParseCashierLines(const std::string& fileName, const TLineList& lines, TECR_Cashier& c)
{
    if (lines.size() != 3)
        throw ERecordFormat("Unexpected file content!");
    const auto oper = Items(lines[0]);
    const auto pass = Items(lines[1]);
    const auto flg = Items(lines[2]);
    if (oper.size() != 3)
        throw ERecordFormat("Unexpected OperContent count!");
    if (pass.size() != 2)
        throw ERecordFormat("Unexpected passContent count!");
    if (flg.size() != 2)
        throw ERecordFormat("Unexpected flagContent count!");
    if (oper[0] != "oper")
        throw ERecordFormat("Unexpected OperContent content!");
    if (pass[0] != "pass")
        throw ERecordFormat("Unexpected passContent content!");
    if (flg[0] != "flg")
        throw ERecordFormat("Unexpected flagContent content!");
    c.Number = static_cast<int32_t>(RecordStrToInt(fileName));
    c.Name.Assign(UnescapeCommas(oper[2]));
    c.Password.Assign(UnescapeCommas(pass[1]));
    const uint32_t bits = RecordHexToInt(flg[1]);
    c.Sell = bits & 0x1;
    c.Admin = bits & 0x2;
    c.Reports = bits & 0x4;
    c.Program = bits & 0x8;
}
