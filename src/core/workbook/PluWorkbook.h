#pragma once
// The PLU list to and from workbooks: the export's sheet layout and the
// import's reading, checks, messages and order of steps. The view's commands
// and ecrtool's convert call these; only the dialogs and boxes are theirs.

#include "core/plu/PluTable.h"
#include "core/workbook/Workbook.h"

#include <functional>
#include <string>
#include <vector>

// The messages of the workbook commands, as the user sees them.
inline constexpr const char* kExcelServerError = "Excel server gave an error: \r\n";
inline constexpr const char* kExcelInvalidData = "Excel file contain invalid data.";
inline constexpr const char* kExportingFile = "Exporting file. Please wait...";
inline constexpr const char* kExportingDone = "Exporting file done!";
inline constexpr const char* kImportingFile = "Importing file. Please wait...";
inline constexpr const char* kImportingDone = "Importing file done!";

// The file dialogs: caption|pattern pairs and the default extension.
inline constexpr const char* kSaveExcelFilter =
    "EXCEL (97/2003 format) files|*.xls|EXCEL (2007 format) files|*.xlsx|All files|*";
// .ods is offered beside the two Excel formats: it is read as well.
inline constexpr const char* kOpenExcelFilter = "EXCEL files|*.xls;*.xlsx;*.ods|All files|*.*";
inline constexpr const char* kExcelDefaultExt = "xls";

// One exported column: the field and its title (code page text).
struct TPluSheetColumn {
    TPluField Field;
    std::string Title;
};

// The grid's design columns in their order with their English titles: the
// layout the import reads.
std::vector<TPluSheetColumn> PluDesignSheetColumns();

// Called after each exported row, and during the import before each row,
// after each cell and after each barcode part; returns true when the user
// asked to stop (the export ignores it).
using TPluSheetPump = std::function<bool()>;

// Writes sheet "Export": row 2 the titles (bold, vertically centred), from
// row 3 one row per item in the table's current order, only the rows whose
// ids are in `selected` when it is not empty; column 13 formatted as text.
// Numbers are written as numbers (the price with three decimals), texts as
// text cells, so that barcodes and flags keep their leading zeros. Throws
// EWorkbook (nothing written, the old file kept).
void ExportPluWorkbook(const std::string& path, const PluTable& table, const std::vector<TPluSheetColumn>& columns,
                       const std::vector<TPluRowId>& selected, const TPluSheetPump& pump);

struct TPluImportResult {
    // Empty, or kExcelInvalidData + "\r\nRow: R Column: C\r\n" + the reason.
    std::string ErrorText;
    int Row = 0;        // the row that failed (0 when none)
    int Column = 0;     // its column, 14 for the barcode list and the table
    int RowsRead = 0;   // rows stored into the table
    bool Aborted = false;
};

// Replaces the table's rows with the active sheet's from row 3 on, until the
// first row whose column 1 is empty. The barcode list is switched to refuse
// duplicates first. Throws EWorkbook before anything is replaced when the
// file cannot be read as a workbook; otherwise the table and the barcode
// list hold what the rows before a failing row gave.
TPluImportResult ImportPluWorkbook(const std::string& path, PluTable& table, TUsedBarcodes& barcodes,
                                   const TPluSheetPump& pump);

// The import's conversions, exposed for the tests: an integer text ("$"
// prefix for hexadecimal) or 0; a number with '.' or, failing that, with the
// first ',' read as '.', or -1.
int SheetTextToInt(const std::string& text);
double SheetTextToNumber(const std::string& text);
