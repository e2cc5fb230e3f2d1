#pragma once
// What the advertising lines and cashiers dialogs accept, below the widgets:
// the texts that may be typed, and the cashiers dialog's in-memory table
// (one row per cashier) with its checks. The dialogs only draw it.

#include "core/device/EcrRecords.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kAdvLineLength = 31;
inline constexpr std::size_t kCashierNameLength = 20;
inline constexpr std::size_t kCashierPasswordLength = 5;
inline constexpr int kMaxCashierNumber = 30;
inline constexpr std::size_t kMaxCashierRows = 30;

// The dialogs' own warnings (no catalogue keys).
inline constexpr const char* kTextMaxOperators = "Maximum operators count is 30!";
inline constexpr const char* kTextNumbersUnique = "Operator numbers must be unique!";
inline constexpr const char* kTextPasswordsUnique = "Password numbers must be unique!";

// A text typed into a one-line register field (UTF-8, as the widget holds
// it): every character must exist in the code page, and none may be a
// control character, which the register's files cannot carry on one line.
// Commas are fine here: the cashier files escape them and the advertising
// lines travel as XML.
bool FieldTextAcceptable(std::string_view utf8);

// One row of the cashiers table. Texts are code-page bytes.
struct TCashierRow {
    std::string Numb;     // "" or the decimal number 1..30
    std::string Name;     // at most kCashierNameLength bytes; "" deletes the cashier
    std::string Password; // at most kCashierPasswordLength bytes
    bool Sell = false;    // the four flags forbid
    bool Program = false;
    bool Reports = false;
    bool Admin = false;

    bool operator==(const TCashierRow&) const = default;
};
using TCashierRows = std::vector<TCashierRow>;

// What may stand in a number edit while it is typed: empty, or 1..30
// without a leading zero. Every prefix of an acceptable text is acceptable.
bool CashierNumberTextAcceptable(std::string_view text);

// The rows of the register's list, in list order, then sorted by number
// (rows of equal number keep their order). Names and passwords longer than
// their field are cut to it without notice. A cashier whose number is
// outside 1..30 ends the filling: the rows before it stay (sorted) and the
// reason is returned; empty when every cashier was taken.
std::string FillCashierRows(const TECR_Cashiers& cashiers, TCashierRows& rows);

// The cashiers to write, in row order: one per row with a number; rows
// without a number are left out, so the register keeps that cashier as it is.
TECR_Cashiers TakeCashierRows(const TCashierRows& rows);

// The checks made when the focus leaves a row's edit. Number: more than one
// row has row's number, an empty number counting as 0. Password: row's
// password is not blank and another row's password is the same, exactly.
bool CashierNumberClashes(const TCashierRows& rows, std::size_t row);
bool CashierPasswordClashes(const TCashierRows& rows, std::size_t row);

// Why the rows cannot be saved: two rows that would be written with the
// same number (one would silently overwrite the other on the register), or
// two cashiers that would be written with the same non-blank password. Row
// is the later of the two, field the edit to go back to.
struct TCashierRowsProblem {
    enum class TField { Number, Password };
    std::size_t Row = 0;
    TField Field = TField::Number;
    const char* Text = "";
};
std::optional<TCashierRowsProblem> CashierRowsSaveProblem(const TCashierRows& rows);
