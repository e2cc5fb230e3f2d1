#pragma once
// The PLU list as JSON lines, for scripts: one row a line, an object keyed
// by the table's field names in the table's field order, texts in UTF-8:
//
//   {"NUMB":1,"NAME":"Milk","UNIT":"BUC","TAX_GROUP":2,"PAY_TYPE":1,
//    "PLU_GROUP":1,"BARCODE":"501","PRICE_SELL":0.5,"PLU_SUBGROUP":1,
//    "ALTE_TAXE":"","TAX_VALUE":"","COMMENT":"","FLAGS":"000000000"}
//
// Reading takes the keys in any order but wants all thirteen and no other;
// integers are whole JSON numbers, PRICE_SELL any number, the others
// strings. The values are assigned in the table's field order with the
// table's own rules (ranges refused, texts cut to their width); a text with
// a character that Windows-1251 cannot hold is refused, never changed.

#include "core/plu/PluFile.h"

#include <string>
#include <string_view>

std::string PluRowToJson(const TPluRow& row);
// On failure returns false with the reason in error, e.g.
// "field \"NUMB\" is missing" or "Field NUMB: 0 is outside the allowed range
// 1 to 29999.".
bool PluRowFromJson(const std::string& line, TPluRow& row, std::string& error);

// Every row in the current order, one line each ending in "\n".
std::string PluTableToJsonLines(const PluTable& table);

// Replaces the table's rows and the barcode list's entries with the rows of
// a JSON-lines text, like LoadPluBytes does with a .plu file: blank lines are
// skipped, a byte order mark at the start is ignored, and the first line that
// is refused (not JSON, not a row, a value the table refuses, a barcode the
// list refuses) ends the load with the rows before it kept. Record is the
// 0-based index of that line in the text.
TPluLoadResult LoadPluJsonLines(std::string_view text, PluTable& table, TUsedBarcodes& barcodes);
