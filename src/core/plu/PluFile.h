#pragma once
// .plu files: the whole PLU table as a sequence of 176-byte records, one per
// row, without header or count. Integers and the price are little-endian;
// texts are a length byte followed by a fixed capacity of bytes, passed as
// they are (no code page conversion). Padding and unused bytes are written
// as zeros and never read.
//
// The view's "Save to file" and "Load from file" and ecrtool's convert call
// these functions; what the user is told on failure is the caller's
// (the view shows S_WrongFileFormat for every failed load).

#include "core/plu/PluTable.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kPluRecordSize = 176;

// The file dialogs' filter (pairs of caption and pattern, '|' between) and
// default extension.
inline constexpr const char* kPluFileFilter = "PLU files|*.plu|All files|*.*";
inline constexpr const char* kPluFileDefaultExt = "plu";

// One row as one record. Texts longer than their capacity in the record are
// cut (BARCODE to 24 bytes, ALTE_TAXE and TAX_VALUE to 15).
std::string EncodePluRecord(const TPluRow& row);

// The rows of the table in the current order, one record each (rows marked
// deleted included).
std::string EncodePluFile(const PluTable& table);

// The text fields of a row that a record would cut (a BARCODE over 24
// bytes, an ALTE_TAXE or TAX_VALUE over 15), in the table's field order.
std::vector<TPluField> PluRecordCuts(const TPluRow& row);

struct TPluLoadResult {
    bool Ok = true;
    // False when the table was left as it was: the file could not be read,
    // or it was refused as a whole (a length byte over its capacity).
    bool TableReplaced = false;
    // The 0-based index of the record that ended the load or made the file
    // refused; -1 when no record did (e.g. the file could not be opened).
    int Record = -1;
    // Why, in English, for logs and ecrtool: the system's error text, or
    // the table's refusal ("Field NUMB: 0 is outside ..."), or the barcode
    // list's "String list does not allow duplicates".
    std::string Reason;
};

// Replaces the table's rows, and the barcode list's entries, with the
// file's records, in the file's order; the table is not sorted again.
// Bytes after the last complete record are ignored. Before anything is
// replaced, the file must be readable and every record's length bytes
// within their capacities; otherwise nothing changes. Then each record
// becomes a row, its values assigned in the table's field order, and the
// row's barcodes are added to the list: a value the table refuses, or a
// barcode the list refuses, ends the load there, with the rows before it
// kept (a row whose barcode is refused has been appended).
TPluLoadResult LoadPluFile(const std::string& path, PluTable& table, TUsedBarcodes& barcodes);
// The same for file content already in memory.
TPluLoadResult LoadPluBytes(std::string_view bytes, PluTable& table, TUsedBarcodes& barcodes);

// Writes every row in the current order. The new content goes to a file
// beside the old one that then replaces it, so a failure leaves the old file
// as it was and no partial file. On failure returns false with the system's
// error text in error. Afterwards the last row is the current row.
bool SavePluFile(const std::string& path, PluTable& table, std::string& error);
