#pragma once
// The rules of the two PLU edit dialogs that are not drawing: what the
// single-item dialog checks on OK, and what the multi-item edit changes in
// each selected row.

#include "core/plu/PluTable.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// --- Single-item dialog -------------------------------------------------------

// The number typed for a PLU: a whole number 1..29999 (blanks around it and
// leading zeros allowed); nothing otherwise.
std::optional<int> PluNumberFromText(std::string_view text);

// The rows that carry a number a new PLU is to get.
struct TPluNumberUse {
    bool Live = false;                   // a row not marked deleted has it: refused
    std::vector<TPluRowId> DeletedRows;  // rows marked deleted with it: replaced on OK
};
TPluNumberUse FindPluNumberUse(const PluTable& table, int numb);

enum class TPluBarcodeProblem {
    None,
    Repeated, // the text names one barcode twice (case counts)
    InUse,    // another PLU carries one of its barcodes (case ignored)
};
// Checked only when the text differs from the row's original text.
TPluBarcodeProblem CheckPluBarcodes(std::string_view text, std::string_view original, const TUsedBarcodes& used);

// --- Multi-item edit ---------------------------------------------------------------

enum class TMultiBarcode { Unchanged, FromNumber, Empty };

// The changes chosen in the dialog; an empty optional leaves the field.
struct TMultiPluChange {
    std::optional<int> Group;
    std::optional<int> SubGroup;
    std::optional<int> TaxGroup;
    std::optional<int> PayType;
    TMultiBarcode Barcode = TMultiBarcode::Unchanged;
    std::optional<std::string> Flags; // all nine replaced
};

// "000000000042" for 42: the barcode made from a PLU number.
std::string PluBarcodeFromNumber(int numb);

// Applies the change to each row given by id, in order. A value the table
// refuses ends the loop with its exception; the rows changed before keep
// their changes. UsedBarcodes is neither consulted nor changed.
void ApplyMultiPluChange(PluTable& table, const std::vector<TPluRowId>& rows, const TMultiPluChange& change);
