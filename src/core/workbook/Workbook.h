#pragma once
// Workbooks without a spreadsheet application: the program reads and writes
// the files itself. Texts on this side are UTF-8; the callers convert to and
// from the code page.
//
//   TWorkbookSheet sheet = ReadWorkbookSheet("list.xlsx", 13); // throws EWorkbook
//   std::string a3 = sheet.CellText(3, 1);
//
//   TSheetData out; out.Name = "Export"; ... ; WriteWorkbook("list.xlsx", out); // throws EWorkbook

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Every failure of this layer. The message is meant for the user as it is.
class EWorkbook : public std::runtime_error {
public:
    explicit EWorkbook(const std::string& message) : std::runtime_error(message) {}
};

// The texts the import shows for a file that is no workbook and a workbook
// without a sheet to read.
inline constexpr const char* kWorkbookNotFound = "WorkBook not found.";
inline constexpr const char* kActiveSheetNotFound = "Active Sheet not found.";

// One sheet's cells as the texts a spreadsheet shows in the General format:
// numbers without trailing zeros and in full up to 15 significant digits
// (12, 0.5, 3800000000001), booleans as TRUE/FALSE, formulas by their cached
// value, dates by their serial number.
class TWorkbookSheet {
public:
    // Rows and columns count from 1. Empty for a cell that holds nothing.
    const std::string& CellText(int row, int column) const;
    // The highest row that holds a cell; 0 for an empty sheet.
    int LastRow() const { return lastRow_; }

    void SetCell(int row, int column, std::string text);

private:
    std::vector<std::vector<std::string>> rows_; // rows_[row - 1][column - 1]
    size_t cellCount_ = 0;
    int lastRow_ = 0;
};

// Reads the active sheet (else the first) of an .xlsx, .ods or .xls file,
// keeping columns 1..maxColumns. The format is told by the file's content,
// not its name. Throws EWorkbook: the system's text when the file cannot be
// read, kWorkbookNotFound when it is no workbook of these formats or is
// damaged past reading, kActiveSheetNotFound when it holds no sheet, and a
// text naming the limit for a sheet too large to read.
TWorkbookSheet ReadWorkbookSheet(const std::string& path, int maxColumns);

// A number written as a spreadsheet's General format shows it.
std::string GeneralNumberText(double value);

// --- Writing ---------------------------------------------------------------

struct TSheetCell {
    enum class Kind { Empty, Text, Number };
    Kind Type = Kind::Empty;
    std::string Text;     // UTF-8, for Kind::Text
    double Number = 0;    // for Kind::Number
    std::string Format;   // number format, e.g. "0.000"; empty for General

    static TSheetCell OfText(std::string text) { return {Kind::Text, std::move(text), 0, {}}; }
    static TSheetCell OfNumber(double value, std::string format = {})
    {
        return {Kind::Number, {}, value, std::move(format)};
    }
};

struct TSheetData {
    std::string Name;
    // Rows[r][c] is the cell of row r + 1, column c + 1.
    std::vector<std::vector<TSheetCell>> Rows;
    int BoldRow = 0;     // 1-based row shown bold and vertically centred; 0 for none
    int TextColumn = 0;  // 1-based column formatted as text ("@"); 0 for none
};

// Writes one sheet as a workbook; widths are fitted to the contents. The
// format follows the extension: ".xlsx" natively, ".xls" by converting the
// .xlsx with LibreOffice when it is installed. The file is written beside the
// target and renamed over it, so a failure leaves no half workbook and the
// old file as it was. Throws EWorkbook.
void WriteWorkbook(const std::string& path, const TSheetData& sheet);

// True when LibreOffice, needed for writing .xls, can be started.
bool CanWriteXls();
