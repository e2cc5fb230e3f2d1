#pragma once
// The register's records as the program holds them, and the text files the
// register keeps them in: one small comma-separated file per PLU item, alte
// tax and cashier. The functions here only build and parse line lists; the
// façade (EcrDeviceUnit.h) moves those lists to and from the register.
//
// Every text is a byte string in the core's code page; nothing here converts
// characters. Numbers are written and read with "." as the decimal separator
// whatever the process locale says: the locale is never consulted or changed.

#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using TLineList = std::vector<std::string>;

// A text of at most N bytes stored inside the record itself, so that a
// record can be copied as plain data. Assign() cuts longer texts.
template <std::size_t N>
class TFixedText {
public:
    TFixedText() = default;
    TFixedText(std::string_view text) { Assign(text); }
    TFixedText& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }

    // Keeps the first N bytes; returns false when the text had to be cut.
    bool Assign(std::string_view text)
    {
        length_ = text.size() < N ? text.size() : N;
        std::memcpy(data_.data(), text.data(), length_);
        return length_ == text.size();
    }
    std::string_view View() const { return {data_.data(), length_}; }
    std::string Str() const { return std::string(View()); }
    bool empty() const { return length_ == 0; }

    friend bool operator==(const TFixedText& a, const TFixedText& b) { return a.View() == b.View(); }

private:
    std::array<char, N> data_{};
    std::size_t length_ = 0;
};

inline constexpr std::size_t kMaxRecordText = 255;
inline constexpr int kPluFlagCount = 9;
inline constexpr int kPluDeletedFlag = 7;

// One PLU item (the file "/sd0/db0/<Number>").
struct TECR_PLU {
    uint32_t Number = 0;
    std::string Name;       // at most 255 bytes
    std::string Barcode;    // barcodes separated by commas
    double Price = 0;
    uint8_t Group = 0;
    int32_t AlteTaxeId = 0;
    std::string AlteTaxeName;
    std::string TaxValue;
    uint8_t SubGroup = 0;   // the department
    uint8_t TaxGroup = 0;   // the VAT group
    uint8_t PayType = 0;    // 1-based; 0 and 1 both mean the first pay type
    std::array<bool, kPluFlagCount> Flags{};
    std::string Comment;
    std::string Unit;

    bool operator==(const TECR_PLU&) const = default;
};
using TECR_PLU_List = std::vector<TECR_PLU>;

// One alte tax (the file "/fd0/4/alte/<Number>").
struct TECR_ALTETAXE {
    int32_t Number = 0;
    std::string Name;
    std::string NumberText; // kept by the alte taxe list only; never in the file

    bool operator==(const TECR_ALTETAXE&) const = default;
};
using TECR_ALTETAXE_List = std::vector<TECR_ALTETAXE>;

// One cashier (the file "/fd0/4/oper/<Number>"). The four flags forbid.
struct TECR_Cashier {
    int32_t Number = 0;
    TFixedText<kMaxRecordText> Name;
    TFixedText<kMaxRecordText> Password;
    bool Sell = false;
    bool Admin = false;
    bool Reports = false;
    bool Program = false;

    bool operator==(const TECR_Cashier&) const = default;
};
using TECR_Cashiers = std::vector<TECR_Cashier>;

// The receipt advertising lines, index 0..9.
inline constexpr int kAdvLineCount = 10;
using TECR_AdvLines = std::array<std::string, kAdvLineCount>;

// The register's identification from its "info" reply.
struct TECR_DeviceInfo {
    std::string Model;
    std::string Version;
    std::string SerialNumber;
    std::string FiscalMemoryNumber;
    std::string DeviceType;
};

// Register locations.
inline constexpr const char* kPluDir = "/sd0/db0/";
inline constexpr const char* kAlteTaxeDir = "/fd0/4/alte/";
inline constexpr const char* kCashierDir = "/fd0/4/oper/";
inline constexpr const char* kAdvLinesDir = "/fd0/1/n_snd";
inline constexpr const char* kAdvLinesFile = "ROWS";
inline constexpr int kMaxCashiersWritten = 30;

// --- Comma lists ---------------------------------------------------------

// Appends to list every segment of text before an occurrence of ch, then the
// rest after the last one. The list is not cleared; an empty text adds one
// empty segment, a text ending in ch adds an empty last segment.
void SplitText(std::string_view text, std::vector<std::string>& list, char ch);

// "," <-> "^x2c;", for the texts that travel inside comma-separated lines.
std::string EscapeCommas(std::string_view text);
std::string UnescapeCommas(std::string_view text);

// --- Flags and clearing ----------------------------------------------------

// Bit i set when Flags[i] is true.
uint32_t PluFlagBits(const std::array<bool, kPluFlagCount>& flags);
// Bit 0 Sell, 1 Admin, 2 Reports, 3 Program.
uint32_t CashierFlagBits(const TECR_Cashier& cashier);

void ClearPlu(TECR_PLU& plu);
void ClearAlteTaxe(TECR_ALTETAXE& tax);

// --- Number texts ----------------------------------------------------------

// The price as the register files carry it: the shortest general form of the
// value rounded to 15 significant digits, "." as separator, no trailing
// zeros; exponent form ("1E-6", "1.5E20") below 0.00001 or from 1E15 up.
std::string FormatPrice(double value);

// The conversions of the readers. Each throws ERecordFormat with the
// program's conversion text when the text does not convert.
//   integer: optional sign and decimal digits, -2147483648..4294967295
//   hex:     hexadecimal digits of a 32-bit value, either case
//   price:   optional sign, digits with an optional "." part and exponent
int64_t RecordStrToInt(const std::string& text);
uint32_t RecordHexToInt(const std::string& text);
double RecordStrToFloat(const std::string& text);

// --- Record files ------------------------------------------------------------

// The failure of a record check or conversion; what() is the text that goes
// into the façade's LastError.
class ERecordFormat : public std::exception {
public:
    explicit ERecordFormat(std::string text) : text_(std::move(text)) {}
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// The checks made before a record is written. Empty when the record can be
// written as it is; else the reason, naming the field. A comma in a field
// the format does not escape, or a line break anywhere, would come back from
// the register as different data; a name over 255 bytes would come back cut.
std::string PluWriteProblem(const TECR_PLU& plu);
std::string AlteTaxeWriteProblem(const TECR_ALTETAXE& tax);
std::string CashierWriteProblem(const TECR_Cashier& cashier);
// The advertising lines travel as XML text, which has no place for control
// characters other than TAB, CR and LF.
std::string AdvLinesWriteProblem(const TECR_AdvLines& lines);

// The lines of a PLU file, in the layout plu, bar, prc, dep, alte, flg.
TLineList PluFileLines(const TECR_PLU& plu);
// Reads a PLU file in any of its three layouts into plu (cleared first).
// Throws ERecordFormat; plu is then partly filled.
void ParsePluLines(const TLineList& lines, TECR_PLU& plu);

TLineList AlteTaxeFileLines(const TECR_ALTETAXE& tax);
void ParseAlteTaxeLines(const TLineList& lines, TECR_ALTETAXE& tax);

TLineList CashierFileLines(const TECR_Cashier& cashier);
// fileName is the listed name the file was read by: it gives the number.
// Throws ERecordFormat with the check's text.
void ParseCashierLines(const std::string& fileName, const TLineList& lines, TECR_Cashier& cashier);

// Decimal text of a number as the file names and lines carry it.
std::string DecimalText(int64_t value);
