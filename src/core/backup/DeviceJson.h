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

#include <string>

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
