#pragma once
// The register's records as JSON, in UTF-8, keyed by the record fields'
// names: one object a line for ecrtool, and the lists of a backup file. The
// records hold Windows-1251 bytes; text that code page cannot hold is refused
// on reading.
//
//   {"Number":12,"Name":"Bread","Barcode":"501","Price":1.5,"Group":3,
//    "AlteTaxeId":0,"AlteTaxeName":"","TaxValue":"","SubGroup":1,"TaxGroup":2,
//    "PayType":3,"Flags":"000001000","Comment":"","Unit":"BUC"}
//
// Readers check everything (every field present, of its type and in its
// type's range, no unknown field) and report the first problem in error; the
// record is left alone then. The readers of a text line report a line that is
// no JSON as "not JSON: " + the parser's words.

#include "core/base/Json.h"
#include "core/device/EcrRecords.h"

#include <cstdint>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>

// A field that is missing, of the wrong type or out of range; what() names it:
// "field \"Group\" must be a whole number from 0 to 255".
class EJsonField : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the fields of one object, each exactly once; Finish() refuses what is
// left over. Every reader throws EJsonField.
class TJsonFieldReader {
public:
    explicit TJsonFieldReader(const TJsonValue& object) : object_(object) {}

    const TJsonValue& Get(const char* key);
    // A string, as Windows-1251 bytes without a zero byte.
    std::string Text(const char* key, std::size_t maxBytes = std::numeric_limits<std::size_t>::max());
    int64_t Int(const char* key, int64_t min, int64_t max);
    double Double(const char* key);
    bool Bool(const char* key);
    void Finish();

private:
    const TJsonValue& object_;
    std::set<std::string> used_;
};

// Runs fill on the fields of value, which must be an object, and then
// Finish(); false with the first problem in error.
template <class Fill>
bool ReadJsonObject(const TJsonValue& value, std::string& error, Fill fill)
{
    if (value.Kind != TJsonValue::TKind::Object) {
        error = "a JSON object is expected";
        return false;
    }
    try {
        TJsonFieldReader reader(value);
        fill(reader);
        reader.Finish();
    } catch (const EJsonField& e) {
        error = e.what();
        return false;
    }
    return true;
}

std::string PluToJson(const TECR_PLU& plu);
bool PluFromJson(const std::string& line, TECR_PLU& plu, std::string& error);
bool PluFromJson(const TJsonValue& object, TECR_PLU& plu, std::string& error);

std::string AlteTaxeToJson(const TECR_ALTETAXE& tax);
bool AlteTaxeFromJson(const TJsonValue& object, TECR_ALTETAXE& tax, std::string& error);

std::string CashierToJson(const TECR_Cashier& cashier);
bool CashierFromJson(const std::string& line, TECR_Cashier& cashier, std::string& error);
bool CashierFromJson(const TJsonValue& object, TECR_Cashier& cashier, std::string& error);

std::string DeviceInfoToJson(const TECR_DeviceInfo& info);
bool DeviceInfoFromJson(const TJsonValue& object, TECR_DeviceInfo& info, std::string& error);

// {"IsFiscal":true,"Tin":"...","Name":"..."}
std::string FiscInfoToJson(bool isFiscal, const std::string& tin, const std::string& name);
bool FiscInfoFromJson(const TJsonValue& object, bool& isFiscal, std::string& tin, std::string& name,
                      std::string& error);

// One array of ten strings.
std::string AdvLinesToJson(const TECR_AdvLines& lines);
bool AdvLinesFromJson(const std::string& text, TECR_AdvLines& lines, std::string& error);
bool AdvLinesFromJson(const TJsonValue& array, TECR_AdvLines& lines, std::string& error);
