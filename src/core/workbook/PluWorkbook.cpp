#include "core/workbook/PluWorkbook.h"

#include "core/base/CodePage.h"
#include "core/base/IniFile.h"
#include "core/base/TextUtil.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <unordered_set>

namespace {

// Columns the import reads, and the one its failures past the cells name.
constexpr int kSheetColumns = 13;
constexpr int kAfterLastColumn = 14;
constexpr int kFirstDataRow = 3;
constexpr int kTitleRow = 2;
constexpr size_t kMaxCellText = 255;

// A row's failure: the column it is charged to and the text shown.
struct ERowFailure {
    int Column;
    std::string Text;
};

std::string RemoveQuotes(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

std::string FirstChars(const std::string& text, size_t count) { return text.substr(0, std::min(count, text.size())); }

// A cell as the import sees it: code page text, blanks and control
// characters trimmed from both ends, at most 255 characters.
std::string ReadCell(const TWorkbookSheet& sheet, int row, int column)
{
    const std::optional<std::string> text =
        Utf8ToCodePage(std::string(Trim(sheet.CellText(row, column), IsBlankOrControl)));
    if (!text)
        throw ERowFailure {column, "The cell holds a character that the code page " + std::string(kCodePage) +
                                       " cannot hold."};
    return FirstChars(*text, kMaxCellText);
}

std::string FailureText(const char* prefix, const std::string& cell) { return std::string(prefix) + cell + "\""; }

} // namespace

int SheetTextToInt(const std::string& text)
{
    // The settings' integer reading: decimal, or hexadecimal after "$".
    int value = 0;
    return TryStrToInt(text, value) ? value : 0;
}

double SheetTextToNumber(const std::string& text)
{
    const auto convert = [](const std::string& t, double& out) {
        if (t.empty())
            return false;
        const char* first = t.data();
        const char* last = t.data() + t.size();
        if (*first == '+')
            ++first;
        const auto r = std::from_chars(first, last, out);
        return r.ec == std::errc() && r.ptr == last && std::isfinite(out);
    };
    double value = 0;
    if (convert(text, value))
        return value;
    std::string comma = text;
    if (const size_t at = comma.find(','); at != std::string::npos) {
        comma[at] = '.';
        if (convert(comma, value))
            return value;
    }
    return -1;
}

std::vector<TPluSheetColumn> PluDesignSheetColumns()
{
    const auto label = [](TPluField f) { return TPluSheetColumn {f, PluFieldDisplayLabel(f)}; };
    return {label(TPluField::NUMB),         label(TPluField::NAME),
            {TPluField::UNIT, "UNIT"},      label(TPluField::TAX_GROUP),
            label(TPluField::BARCODE),      label(TPluField::PRICE_SELL),
            label(TPluField::PAY_TYPE),     {TPluField::PLU_SUBGROUP, "Department"},
            label(TPluField::PLU_GROUP),    label(TPluField::ALTE_TAXE),
            label(TPluField::TAX_VALUE),    label(TPluField::COMMENT),
            {TPluField::FLAGS, "Flags"}};
}

void ExportPluWorkbook(const std::string& path, const PluTable& table, const std::vector<TPluSheetColumn>& columns,
                       const std::vector<TPluRowId>& selected, const TPluSheetPump& pump)
{
    TSheetData sheet;
    sheet.Name = "Export";
    sheet.BoldRow = kTitleRow;
    sheet.TextColumn = kSheetColumns;
    sheet.Rows.resize(kTitleRow);
    for (const TPluSheetColumn& column : columns)
        sheet.Rows[kTitleRow - 1].push_back(TSheetCell::OfText(CodePageToUtf8(column.Title)));

    const std::unordered_set<TPluRowId> chosen(selected.begin(), selected.end());
    sheet.Rows.reserve(static_cast<size_t>(table.Count()) + kTitleRow);
    for (int position = 0; position < table.Count(); ++position) {
        if (!chosen.empty() && !chosen.count(table.Id(position)))
            continue;
        const TPluRow& row = table.Row(position);
        std::vector<TSheetCell> cells;
        cells.reserve(columns.size());
        for (const TPluSheetColumn& column : columns) {
            if (PluFieldIsText(column.Field))
                cells.push_back(TSheetCell::OfText(CodePageToUtf8(row.Text(column.Field))));
            else if (column.Field == TPluField::PRICE_SELL)
                cells.push_back(TSheetCell::OfNumber(row.PRICE_SELL, "0.000"));
            else
                cells.push_back(TSheetCell::OfNumber(static_cast<double>(row.Int(column.Field))));
        }
        sheet.Rows.push_back(std::move(cells));
        if (pump)
            pump();
    }
    WriteWorkbook(path, sheet);
}

TPluImportResult ImportPluWorkbook(const std::string& path, PluTable& table, TUsedBarcodes& barcodes,
                                   const TPluSheetPump& pump)
{
    const auto aborted = [&pump] { return pump && pump(); };
    barcodes.RefuseDuplicates();
    const TWorkbookSheet sheet = ReadWorkbookSheet(path, kSheetColumns);

    TPluImportResult result;
    {
        TPluUpdateGuard suspended(table);
        table.Close();
        barcodes.Clear();
        table.Open();
    }

    for (int r = kFirstDataRow;; ++r) {
        if (aborted()) {
            result.Aborted = true;
            break;
        }
        try {
            if (ReadCell(sheet, r, 1).empty())
                break;
        } catch (const ERowFailure&) {
            // A first cell that is not empty, whatever its characters.
        }
        try {
            std::string cell[kSheetColumns + 1];
            int numb = 0, taxGroup = 0, payType = 0, department = 0, group = 0;
            double price = 0;
            for (int c = 1; c <= kSheetColumns; ++c) {
                cell[c] = ReadCell(sheet, r, c);
                const std::string& t = cell[c];
                switch (c) {
                case 1:
                    if ((numb = SheetTextToInt(t)) <= 0)
                        throw ERowFailure {c, FailureText("Invalid PLU number \"", t)};
                    break;
                case 4:
                    if ((taxGroup = SheetTextToInt(t)) <= 0)
                        throw ERowFailure {c, FailureText("Invalid PLU VAT group \"", t)};
                    break;
                case 6:
                    if ((price = SheetTextToNumber(t)) < 0)
                        throw ERowFailure {c, FailureText("Invalid PLU price \"", t)};
                    break;
                case 7:
                    if ((payType = SheetTextToInt(t)) <= 0)
                        throw ERowFailure {c, FailureText("Invalid PLU pay type \"", t)};
                    break;
                case 8:
                    if ((department = SheetTextToInt(t)) <= 0)
                        throw ERowFailure {c, FailureText("Invalid PLU department \"", t)};
                    break;
                case 9:
                    // Checked as a number, stored as an integer: "2.5" passes and is 0.
                    if (SheetTextToNumber(t) <= 0)
                        throw ERowFailure {c, FailureText("Invalid PLU group \"", t)};
                    group = SheetTextToInt(t);
                    break;
                default:
                    break;
                }
                if (aborted())
                    result.Aborted = true;
            }

            const std::string barcode = RemoveQuotes(cell[5]);
            try {
                for (const std::string& part : PluBarcodes(barcode)) {
                    barcodes.Add(part);
                    if (aborted())
                        result.Aborted = true;
                }
            } catch (const EDuplicateBarcode& e) {
                throw ERowFailure {kAfterLastColumn, e.what()};
            }

            std::string flags = RemoveQuotes(cell[13]);
            if (flags.size() < static_cast<size_t>(kPluFlagsWidth))
                flags = "000000000";
            const int existing = table.FindNumber(numb);
            TPluRow row = existing >= 0 ? table.Row(existing) : TPluRow {};
            try {
                row.SetInt(TPluField::NUMB, numb);
                row.SetText(TPluField::BARCODE, barcode);
                row.SetText(TPluField::NAME, FirstChars(RemoveQuotes(cell[2]), 20));
                row.SetText(TPluField::UNIT, RemoveQuotes(cell[3]));
                row.SetFloat(TPluField::PRICE_SELL, price);
                row.SetInt(TPluField::PLU_GROUP, group);
                row.SetInt(TPluField::PLU_SUBGROUP, department);
                row.SetInt(TPluField::TAX_GROUP, taxGroup);
                row.SetInt(TPluField::PAY_TYPE, payType);
                row.SetText(TPluField::ALTE_TAXE, RemoveQuotes(cell[10]));
                row.SetText(TPluField::TAX_VALUE, RemoveQuotes(cell[11]));
                row.SetText(TPluField::COMMENT, FirstChars(RemoveQuotes(cell[12]), 20));
                row.SetText(TPluField::FLAGS, flags);
                if (existing >= 0)
                    table.SetRow(existing, std::move(row));
                else
                    table.AppendRow(std::move(row));
            } catch (const EPluFieldError& e) {
                throw ERowFailure {kAfterLastColumn, e.what()};
            }
            ++result.RowsRead;
        } catch (const ERowFailure& failure) {
            result.Row = r;
            result.Column = failure.Column;
            result.ErrorText = std::string(kExcelInvalidData) + "\r\nRow: " + std::to_string(r) +
                               " Column: " + std::to_string(failure.Column) + "\r\n" + failure.Text;
            break;
        }
        if (result.Aborted)
            break;
    }
    return result;
}
