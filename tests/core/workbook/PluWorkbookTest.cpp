#include "core/base/CodePage.h"
#include "core/workbook/PluWorkbook.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const std::string kFixtures = WORKBOOK_FIXTURES "/";

std::string Cp(const std::string& utf8) { return *Utf8ToCodePage(utf8); }

TPluRow MakeRow(int numb, const std::string& name, const std::string& barcode, double price, const std::string& flags)
{
    TPluRow row;
    row.SetInt(TPluField::NUMB, numb);
    row.SetText(TPluField::NAME, name);
    row.SetText(TPluField::UNIT, "BUC");
    row.SetInt(TPluField::TAX_GROUP, 2);
    row.SetInt(TPluField::PAY_TYPE, 1);
    row.SetInt(TPluField::PLU_GROUP, 3);
    row.SetText(TPluField::BARCODE, barcode);
    row.SetFloat(TPluField::PRICE_SELL, price);
    row.SetInt(TPluField::PLU_SUBGROUP, 4);
    row.SetText(TPluField::ALTE_TAXE, "Eco");
    row.SetText(TPluField::TAX_VALUE, "0.10");
    row.SetText(TPluField::COMMENT, Cp("бележка"));
    row.SetText(TPluField::FLAGS, flags);
    return row;
}

std::vector<TPluSheetColumn> WithoutUnit()
{
    std::vector<TPluSheetColumn> columns = PluDesignSheetColumns();
    columns.erase(columns.begin() + 2);
    return columns;
}

} // namespace

TEST(PluWorkbookConversions, IntegersAndNumbersAsTheImportReadsThem)
{
    const std::vector<std::pair<std::string, int>> ints = {
        {"12", 12}, {"-3", -3}, {"$1F", 31}, {"1.5", 0}, {"abc", 0}, {"", 0}, {"99999999999", 0}};
    for (const auto& [text, value] : ints)
        EXPECT_EQ(SheetTextToInt(text), value) << text;
    const std::vector<std::pair<std::string, double>> numbers = {
        {"1.5", 1.5}, {"1,5", 1.5}, {"0", 0}, {"-1", -1}, {"1,5,0", -1}, {"abc", -1}, {"", -1}, {"2.5", 2.5}};
    for (const auto& [text, value] : numbers)
        EXPECT_DOUBLE_EQ(SheetTextToNumber(text), value) << text;
}

// What the export writes, the import gives back: barcodes with leading zeros
// and of 18 digits, several barcodes, flags with leading zeros, Cyrillic.
TEST(PluWorkbook, ExportThenImportGivesTheSameItems)
{
    TempDir dir;
    PluTable table;
    table.AppendRow(MakeRow(1, Cp("Кашкавал"), "0012345678905", 12.5, "000000001"));
    table.AppendRow(MakeRow(2, "Milk", "123456789012345678,4000", 0.999, "100000000"));
    table.AppendRow(MakeRow(29999, "Last", "", 0, "000000010"));
    int pumped = 0;
    ExportPluWorkbook(dir.File("list.xlsx"), table, PluDesignSheetColumns(), {}, [&] { return ++pumped, false; });
    EXPECT_EQ(pumped, 3);

    PluTable back;
    back.AppendRow(MakeRow(5, "replaced", "", 1, "000000000"));
    TUsedBarcodes used;
    const TPluImportResult result = ImportPluWorkbook(dir.File("list.xlsx"), back, used, {});
    EXPECT_EQ(result.ErrorText, "");
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(back.Row(i), table.Row(i)) << i;
    EXPECT_TRUE(used.RefusesDuplicates());
    EXPECT_EQ(used.Count(), 3);
    EXPECT_TRUE(used.Contains("0012345678905"));
}

TEST(PluWorkbook, ExportFollowsColumnsAndSelection)
{
    TempDir dir;
    PluTable table;
    for (int n = 1; n <= 100; ++n)
        table.AppendRow(MakeRow(n, "Item " + std::to_string(n), "", n, "000000001"));
    table.Sort(TPluField::NUMB, false);
    // Rows 10, 50 and 90 by their ids; the sheet keeps the table's order.
    const std::vector<TPluRowId> chosen = {table.Id(table.FindNumber(10)), table.Id(table.FindNumber(90)),
                                           table.Id(table.FindNumber(50))};
    ExportPluWorkbook(dir.File("some.xlsx"), table, WithoutUnit(), chosen, {});
    const TWorkbookSheet sheet = ReadWorkbookSheet(dir.File("some.xlsx"), 13);
    EXPECT_EQ(sheet.LastRow(), 5);
    EXPECT_EQ(sheet.CellText(2, 3), "Tax Group");
    EXPECT_EQ(sheet.CellText(2, 12), "Flags");
    EXPECT_EQ(sheet.CellText(2, 13), "");
    EXPECT_EQ(sheet.CellText(3, 1), "90");
    EXPECT_EQ(sheet.CellText(4, 1), "50");
    EXPECT_EQ(sheet.CellText(5, 1), "10");
    EXPECT_EQ(sheet.CellText(5, 3), "2");
    EXPECT_EQ(sheet.CellText(5, 12), "000000001");

    PluTable empty;
    ExportPluWorkbook(dir.File("empty.xlsx"), empty, PluDesignSheetColumns(), {}, {});
    const TWorkbookSheet titles = ReadWorkbookSheet(dir.File("empty.xlsx"), 13);
    EXPECT_EQ(titles.LastRow(), 2);
    EXPECT_EQ(titles.CellText(2, 1), "Number");
    EXPECT_EQ(titles.CellText(2, 8), "Department");
}

// The import's edge cases in lists written by openpyxl and by LibreOffice.
TEST(PluWorkbook, ImportsWorkbooksOfOtherSoftware)
{
    for (const std::string maker : {".openpyxl.xlsx", ".lo.xlsx", ".lo.ods", ".lo.xls"}) {
        SCOPED_TRACE(maker);
        PluTable table;
        TUsedBarcodes used;
        TPluImportResult r = ImportPluWorkbook(kFixtures + "plu-edge" + maker, table, used, {});
        EXPECT_EQ(r.ErrorText, "Excel file contain invalid data.\r\nRow: 6 Column: 6\r\nInvalid PLU price \"-1\"");
        EXPECT_EQ(r.RowsRead, 3);
        ASSERT_EQ(table.Count(), 3);
        const TPluRow& first = table.Row(0);
        EXPECT_EQ(first.NAME, "Long quoted name of ");
        EXPECT_EQ(first.BARCODE, "0012345678905");
        EXPECT_DOUBLE_EQ(first.PRICE_SELL, 1.25);
        EXPECT_EQ(first.PLU_GROUP, 3);
        EXPECT_EQ(first.FLAGS, "000000000");
        const TPluRow& second = table.Row(1);
        EXPECT_EQ(second.NAME, Cp("Хляб"));
        EXPECT_EQ(second.BARCODE, "123456789012345678");
        EXPECT_DOUBLE_EQ(second.PRICE_SELL, 1.5);
        EXPECT_EQ(second.PLU_GROUP, 0);
        EXPECT_EQ(second.TAX_GROUP, 1);
        EXPECT_EQ(second.TAX_VALUE, "0.10");
        EXPECT_EQ(second.FLAGS, "000000001");
        EXPECT_DOUBLE_EQ(table.Row(2).PRICE_SELL, 0);
        EXPECT_EQ(used.Count(), 2);

        table.Clear();
        used = TUsedBarcodes();
        r = ImportPluWorkbook(kFixtures + "plu-dup-numbers" + maker, table, used, {});
        EXPECT_EQ(r.ErrorText, "");
        ASSERT_EQ(table.Count(), 1);
        EXPECT_EQ(table.Row(0).NAME, "Second");
        EXPECT_EQ(table.Row(0).BARCODE, "222");
        EXPECT_TRUE(used.Contains("111") && used.Contains("222"));

        r = ImportPluWorkbook(kFixtures + "plu-dup-barcode" + maker, table, used, {});
        EXPECT_EQ(r.ErrorText, "Excel file contain invalid data.\r\nRow: 4 Column: 14\r\nString list does not allow duplicates");
        ASSERT_EQ(table.Count(), 1);
        EXPECT_EQ(table.Row(0).NAME, "One");

        r = ImportPluWorkbook(kFixtures + "plu-a3-empty" + maker, table, used, {});
        EXPECT_EQ(r.ErrorText, "");
        EXPECT_EQ(table.Count(), 0);
        EXPECT_EQ(used.Count(), 0);
    }
}

TEST(PluWorkbook, ImportRefusalsAndAbort)
{
    TempDir dir;
    PluTable table;
    table.AppendRow(MakeRow(9, "Kept", "", 1, "000000000"));
    TUsedBarcodes used;
    // A file that is no workbook changes nothing.
    EXPECT_THROW(ImportPluWorkbook(kFixtures + "make_fixtures.py", table, used, {}), EWorkbook);
    EXPECT_EQ(table.Count(), 1);

    // A number the table refuses is charged to column 14 with the table's text;
    // a character outside the code page to its cell.
    TSheetData data;
    data.Rows.resize(5);
    data.Rows[2] = {TSheetCell::OfNumber(30000), TSheetCell::OfText("x"), {}, TSheetCell::OfNumber(2), {},
                    TSheetCell::OfNumber(1), TSheetCell::OfNumber(1), TSheetCell::OfNumber(1), TSheetCell::OfNumber(1)};
    WriteWorkbook(dir.File("big.xlsx"), data);
    TPluImportResult r = ImportPluWorkbook(dir.File("big.xlsx"), table, used, {});
    EXPECT_EQ(r.Row, 3);
    EXPECT_EQ(r.Column, 14);
    EXPECT_EQ(r.ErrorText.rfind("Excel file contain invalid data.\r\nRow: 3 Column: 14\r\nField NUMB: 30000", 0), 0u)
        << r.ErrorText;
    EXPECT_EQ(table.Count(), 0);

    data.Rows[2][0] = TSheetCell::OfNumber(1);
    data.Rows[2][1] = TSheetCell::OfText("Tea \xE2\x98\x95"); // U+2615
    WriteWorkbook(dir.File("cup.xlsx"), data);
    r = ImportPluWorkbook(dir.File("cup.xlsx"), table, used, {});
    EXPECT_EQ(r.ErrorText, "Excel file contain invalid data.\r\nRow: 3 Column: 2\r\n"
                           "The cell holds a character that the code page WINDOWS-1251 cannot hold.");

    // Abort before the second row keeps the first.
    data.Rows[2][1] = TSheetCell::OfText("Tea");
    data.Rows[3] = data.Rows[2];
    data.Rows[3][0] = TSheetCell::OfNumber(2);
    WriteWorkbook(dir.File("two.xlsx"), data);
    int calls = 0;
    bool stop = false;
    r = ImportPluWorkbook(dir.File("two.xlsx"), table, used, [&] {
        ++calls;
        return stop = stop || table.Count() == 1;
    });
    EXPECT_TRUE(r.Aborted);
    EXPECT_EQ(r.ErrorText, "");
    EXPECT_EQ(table.Count(), 1);
    EXPECT_GT(calls, 13);
}
