#include "core/workbook/Workbook.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include <minizip/zip.h>

namespace {

const std::string kFixtures = WORKBOOK_FIXTURES "/";

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A zip of the given parts, for workbooks no application would write.
void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& parts)
{
    zipFile zip = zipOpen64(path.c_str(), 0);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, data] : parts) {
        ASSERT_EQ(zipOpenNewFileInZip64(zip, name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 1),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

std::string ErrorOf(const std::string& path)
{
    try {
        ReadWorkbookSheet(path, 13);
    } catch (const EWorkbook& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(GeneralNumberText, ShowsNumbersAsASpreadsheetDoes)
{
    const std::vector<std::pair<double, std::string>> cases = {
        {12, "12"}, {0.5, "0.5"}, {3800000000001, "3800000000001"}, {0.1 + 0.2, "0.3"},
        {-1, "-1"}, {2.5, "2.5"}, {1e20, "1E+20"}, {0, "0"}, {123456789012345678.0, "1.23456789012346E+17"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(GeneralNumberText(value), text) << value;
}

// The same cells written by openpyxl and by LibreOffice in three formats.
TEST(ReadWorkbookSheet, ReadsCellsOfEveryKindInEachFormat)
{
    for (const std::string file : {"cells.openpyxl.xlsx", "cells.lo.xlsx", "cells.lo.ods", "cells.lo.xls"}) {
        SCOPED_TRACE(file);
        const TWorkbookSheet sheet = ReadWorkbookSheet(kFixtures + file, 13);
        EXPECT_EQ(sheet.CellText(1, 1), "Cells of every kind");
        EXPECT_EQ(sheet.CellText(3, 1), "12");
        EXPECT_EQ(sheet.CellText(3, 2), "Мляко");
        EXPECT_EQ(sheet.CellText(3, 3), "0.5");
        EXPECT_EQ(sheet.CellText(3, 4), "3800000000001");
        EXPECT_EQ(sheet.CellText(3, 5), "0012345678905");
        // The 97/2003 reader (FreeXL) does not see boolean and formula cells.
        const bool xls = file == "cells.lo.xls";
        EXPECT_EQ(sheet.CellText(3, 6), xls ? "" : "TRUE");
        // openpyxl stores no value for a formula; LibreOffice stores 24.
        EXPECT_EQ(sheet.CellText(3, 7), file == "cells.openpyxl.xlsx" || xls ? "" : "24");
        EXPECT_EQ(sheet.CellText(3, 8), "");
        EXPECT_EQ(sheet.CellText(3, 9), "2.5");
        EXPECT_EQ(sheet.CellText(3, 10), "45293"); // 2024-01-02
        EXPECT_EQ(sheet.CellText(3, 11), "  padded  ");
        EXPECT_EQ(sheet.CellText(3, 12), "-1");
        EXPECT_EQ(sheet.CellText(3, 13), "000000001");
        EXPECT_EQ(sheet.CellText(4, 1), xls ? "" : "FALSE");
        EXPECT_EQ(sheet.CellText(4, 2), "1,5");
        EXPECT_EQ(sheet.CellText(5, 1), "");
        EXPECT_EQ(sheet.LastRow(), 4);
    }
}

TEST(ReadWorkbookSheet, ReadsTheActiveSheetAndInlineStrings)
{
    EXPECT_EQ(ReadWorkbookSheet(kFixtures + "active-second.openpyxl.xlsx", 13).CellText(3, 1), "second sheet");
    TempDir dir;
    const std::string ns =
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"";
    WriteZip(dir.File("active.ods"),
             {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
              {"settings.xml", "<office:document-settings " + ns + "><office:settings><config:config-item-set>"
                               "<config:config-item config:name=\"ActiveTable\" config:type=\"string\">Second"
                               "</config:config-item></config:config-item-set></office:settings>"
                               "</office:document-settings>"},
              {"content.xml", "<office:document-content " + ns + "><office:body><office:spreadsheet>"
                              "<table:table table:name=\"First\"/><table:table table:name=\"Second\">"
                              "<table:table-row table:number-rows-repeated=\"2\"/><table:table-row>"
                              "<table:table-cell office:value-type=\"string\"><text:p>second<text:s text:c=\"2\"/>"
                              "<text:span>sheet</text:span></text:p></table:table-cell></table:table-row>"
                              "</table:table></office:spreadsheet></office:body></office:document-content>"}});
    EXPECT_EQ(ReadWorkbookSheet(dir.File("active.ods"), 13).CellText(3, 1), "second  sheet");

    const TWorkbookSheet inl = ReadWorkbookSheet(kFixtures + "inline.xlsx", 13);
    EXPECT_EQ(inl.CellText(3, 1), "Inline");
    EXPECT_EQ(inl.CellText(3, 2), "Rich text");
    EXPECT_EQ(inl.CellText(3, 3), "AB");
    EXPECT_EQ(inl.CellText(3, 4), "#DIV/0!");
    EXPECT_EQ(inl.CellText(3, 5), "1E+20");
    EXPECT_EQ(inl.CellText(4, 1), "no reference");
}

TEST(ReadWorkbookSheet, KeepsOnlyTheColumnsAskedFor)
{
    const TWorkbookSheet sheet = ReadWorkbookSheet(kFixtures + "cells.lo.xlsx", 2);
    EXPECT_EQ(sheet.CellText(3, 2), "Мляко");
    EXPECT_EQ(sheet.CellText(3, 3), "");
}

TEST(ReadWorkbookSheet, RefusesWhatIsNoReadableWorkbook)
{
    TempDir dir;
    WriteBytes(dir.File("text.xlsx"), "Number;Name\n1;Milk\n");
    WriteBytes(dir.File("cut.xlsx"), Slurp(kFixtures + "cells.lo.xlsx").substr(0, 3000));
    WriteBytes(dir.File("cut.xls"), Slurp(kFixtures + "cells.lo.xls").substr(0, 1000));
    WriteZip(dir.File("nosheet.xlsx"),
             {{"xl/workbook.xml", "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                  "<sheets/></workbook>"}});
    WriteZip(dir.File("other.zip"), {{"readme.txt", "hello"}});
    WriteZip(dir.File("badxml.xlsx"),
             {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"A\" r:id=\"rId1\"/></sheets></workbook>"},
              {"xl/_rels/workbook.xml.rels",
               "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
               "</Relationships>"},
              {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row><c><v>1</v></row></sheetData>"}});
    WriteZip(dir.File("huge.xlsx"), {{"xl/workbook.xml", std::string(65 * 1024 * 1024, ' ')}});

    EXPECT_EQ(ErrorOf(dir.File("missing.xlsx")), "Cannot open \"" + dir.File("missing.xlsx") + "\": No such file or directory");
    EXPECT_EQ(ErrorOf(dir.File("text.xlsx")), "WorkBook not found.");
    EXPECT_EQ(ErrorOf(dir.File("cut.xlsx")), "WorkBook not found.");
    EXPECT_EQ(ErrorOf(dir.File("cut.xls")), "WorkBook not found.");
    // Found by fuzzing: it makes the 97/2003 reader run out of bounds.
    EXPECT_EQ(ErrorOf(kFixtures + "damaged-reader-overrun.xls"), "WorkBook not found.");
    EXPECT_EQ(ErrorOf(dir.File("other.zip")), "WorkBook not found.");
    EXPECT_EQ(ErrorOf(dir.File("nosheet.xlsx")), "Active Sheet not found.");
    EXPECT_EQ(ErrorOf(dir.File("badxml.xlsx")).rfind("The workbook is damaged: xl/worksheets/sheet1.xml does not parse (", 0), 0u)
        << ErrorOf(dir.File("badxml.xlsx"));
    EXPECT_EQ(ErrorOf(dir.File("huge.xlsx")),
              "The workbook is too large to read: its part \"xl/workbook.xml\" unpacks to more than 64 MB.");
}

// A million rows that repeat one filled row are refused, not spelled out.
TEST(ReadWorkbookSheet, RefusesASheetTooLargeToHold)
{
    TempDir dir;
    const std::string content =
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>"
        "<table:table table:name=\"S\"><table:table-row table:number-rows-repeated=\"1000000\">"
        "<table:table-cell table:number-columns-repeated=\"13\" office:value-type=\"float\" office:value=\"1\"/>"
        "</table:table-row></table:table></office:spreadsheet></office:body></office:document-content>";
    WriteZip(dir.File("million.ods"), {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                        {"content.xml", content}});
    EXPECT_EQ(ErrorOf(dir.File("million.ods")), "The sheet is too large to read: it holds more than 4000000 cells.");
}

TEST(WriteWorkbook, WritesWhatItReadsBackAndLeavesNoTemporaryFile)
{
    TempDir dir;
    TSheetData data;
    data.Name = "Export";
    data.BoldRow = 2;
    data.TextColumn = 13;
    data.Rows.resize(4);
    data.Rows[1] = {TSheetCell::OfText("Number"), TSheetCell::OfText("Name")};
    data.Rows[2] = {TSheetCell::OfNumber(7), TSheetCell::OfText("Сирене \"бяло\""), TSheetCell::OfText("0012345678905"),
                    TSheetCell::OfText("123456789012345678"), TSheetCell::OfNumber(1.5, "0.000")};
    data.Rows[3] = {TSheetCell::OfNumber(29999)};
    const std::string path = dir.File("out.xlsx");
    WriteWorkbook(path, data);
    const TWorkbookSheet sheet = ReadWorkbookSheet(path, 13);
    EXPECT_EQ(sheet.CellText(2, 1), "Number");
    EXPECT_EQ(sheet.CellText(3, 1), "7");
    EXPECT_EQ(sheet.CellText(3, 2), "Сирене \"бяло\"");
    EXPECT_EQ(sheet.CellText(3, 3), "0012345678905");
    EXPECT_EQ(sheet.CellText(3, 4), "123456789012345678");
    EXPECT_EQ(sheet.CellText(3, 5), "1.5");
    EXPECT_EQ(sheet.CellText(4, 1), "29999");
    EXPECT_EQ(sheet.LastRow(), 4);

    // A failed write keeps the old file and leaves nothing beside it.
    data.Name = "bad/name[]";
    EXPECT_THROW(WriteWorkbook(path, data), EWorkbook);
    EXPECT_EQ(ReadWorkbookSheet(path, 13).CellText(3, 1), "7");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        entries += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1);
}

// Our files opened by other software: LibreOffice reads the cells we wrote,
// and our .xls (written through it) reads back with the 97/2003 reader.
TEST(WriteWorkbook, OurFilesOpenInLibreOffice)
{
    if (!CanWriteXls())
        GTEST_SKIP() << "LibreOffice is not installed";
    TempDir dir;
    TSheetData data;
    data.Name = "Export";
    data.BoldRow = 2;
    data.TextColumn = 3;
    data.Rows.resize(3);
    data.Rows[1] = {TSheetCell::OfText("NUMB"), TSheetCell::OfText("NAME"), TSheetCell::OfText("FLAGS")};
    data.Rows[2] = {TSheetCell::OfNumber(12), TSheetCell::OfText("Хляб"), TSheetCell::OfText("000000001")};
    WriteWorkbook(dir.File("out.xlsx"), data);
    WriteWorkbook(dir.File("out.xls"), data);

    const TWorkbookSheet xls = ReadWorkbookSheet(dir.File("out.xls"), 13);
    EXPECT_EQ(xls.CellText(3, 1), "12");
    EXPECT_EQ(xls.CellText(3, 2), "Хляб");
    EXPECT_EQ(xls.CellText(3, 3), "000000001");

    const std::string cmd = "cd '" + dir.Path() + "' && soffice -env:UserInstallation=file://" + dir.File("profile") +
                            " --headless --convert-to csv:\"Text - txt - csv (StarCalc)\":44,34,76 out.xlsx >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(Slurp(dir.File("out.csv")), ",,\nNUMB,NAME,FLAGS\n12,Хляб,000000001\n");
}
