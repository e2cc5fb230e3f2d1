// .plu files: the record layout byte by byte, round trips, partial and
// refused records, and saving that never leaves a broken file.

#include "core/plu/PluFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

namespace {

using F = TPluField;

TPluRow Row(int numb, const std::string& barcode = "", const std::string& flags = "000000000")
{
    TPluRow r;
    r.SetInt(F::NUMB, numb);
    r.SetText(F::NAME, "Item " + std::to_string(numb));
    r.SetText(F::UNIT, "BUC");
    r.SetInt(F::TAX_GROUP, 2);
    r.SetInt(F::PAY_TYPE, 1);
    r.SetInt(F::PLU_GROUP, 3);
    r.SetText(F::BARCODE, barcode);
    r.SetFloat(F::PRICE_SELL, 0.25 * numb);
    r.SetInt(F::PLU_SUBGROUP, 4);
    r.SetText(F::FLAGS, flags);
    return r;
}

// A record written by hand: every field at its offset, in little-endian.
std::string HandMadeRecord()
{
    std::string r(176, '\0');
    auto put = [&](std::size_t at, const std::string& bytes) { r.replace(at, bytes.size(), bytes); };
    put(0, std::string("\x34\x12\x00\x00", 4));           // NUMB 0x1234 = 4660
    put(4, std::string("\x03kg.", 4));                   // UNIT
    put(25, std::string("\x07" "501,502", 8));           // BARCODE
    put(50, std::string("\x06\xD5\xEB\xFF\xE1 1", 7));   // NAME, Windows-1251 bytes
    put(80, std::string("\x00\x00\x00\x00\x00\x00\xF8\x3F", 8)); // 1.5
    put(88, std::string("\x1E\x00\x00\x00", 4));         // PLU_GROUP 30
    put(92, std::string("\x0A\x00\x00\x00", 4));         // PLU_SUBGROUP 10
    put(96, std::string("\xFF\xFF\xFF\xFF", 4));         // TAX_GROUP -1
    put(100, std::string("\x00\x00\x01\x00", 4));        // PAY_TYPE 65536
    put(104, std::string("\x03" "Eco", 4));              // ALTE_TAXE
    put(120, std::string("\x04" "0.50", 5));             // TAX_VALUE
    put(136, std::string("\x15" "ccccccccccccccccccccc", 22)); // COMMENT, full capacity
    put(158, std::string("\x09" "100000010", 10));       // FLAGS
    return r;
}

std::vector<TPluRow> Rows(const PluTable& t)
{
    std::vector<TPluRow> rows;
    for (int p = 0; p < t.Count(); ++p)
        rows.push_back(t.Row(p));
    return rows;
}

std::string Records(std::initializer_list<TPluRow> rows)
{
    std::string bytes;
    for (const auto& r : rows)
        bytes += EncodePluRecord(r);
    return bytes;
}

int FilesIn(const std::string& folder)
{
    int n = 0;
    DIR* d = ::opendir(folder.c_str());
    while (dirent* e = ::readdir(d))
        n += e->d_name[0] != '.';
    ::closedir(d);
    return n;
}

} // namespace

TEST(PluFile, EveryFieldSitsAtItsOffset)
{
    TPluRow row;
    row.SetInt(F::NUMB, 4660);
    row.SetText(F::NAME, "\xD5\xEB\xFF\xE1 1");
    row.SetText(F::UNIT, "kg.");
    row.SetInt(F::TAX_GROUP, -1);
    row.SetInt(F::PAY_TYPE, 65536);
    row.SetInt(F::PLU_GROUP, 30);
    row.SetText(F::BARCODE, "501,502");
    row.SetFloat(F::PRICE_SELL, 1.5);
    row.SetInt(F::PLU_SUBGROUP, 10);
    row.SetText(F::ALTE_TAXE, "Eco");
    row.SetText(F::TAX_VALUE, "0.50");
    row.SetText(F::COMMENT, std::string(20, 'c'));
    row.SetText(F::FLAGS, "100000010");

    // The comment's capacity is one more than the table keeps: the
    // hand-made record's 21st character is dropped on loading.
    std::string expected = HandMadeRecord();
    expected[136] = 20;
    expected[157] = 0;
    EXPECT_EQ(EncodePluRecord(row), expected);

    PluTable table;
    TUsedBarcodes used;
    const TPluLoadResult r = LoadPluBytes(HandMadeRecord(), table, used);
    ASSERT_TRUE(r.Ok) << r.Reason;
    ASSERT_EQ(table.Count(), 1);
    EXPECT_EQ(table.Row(0), row);
    EXPECT_EQ(used.Count(), 2);
    EXPECT_TRUE(used.Contains("502"));
}

TEST(PluFile, RoundTripKeepsRowsAndOrderButCutsLongTexts)
{
    TempDir dir;
    PluTable table;
    TPluRow longOne = Row(9, "1234567890,1234567890,1234567890");
    longOne.SetText(F::ALTE_TAXE, "Alte taxe of twenty.");
    longOne.SetText(F::TAX_VALUE, "12345678901234567890");
    table.AppendRow(Row(5, "501"));
    table.AppendRow(longOne);
    table.AppendRow(Row(2, "", "000000010")); // marked deleted
    table.AppendRow(Row(7, "", "01"));        // a short flags text stays short
    table.Sort(F::NUMB, false);               // files keep the current order
    table.SetCurrent(0);

    std::string error;
    ASSERT_TRUE(SavePluFile(dir.File("list.plu"), table, error)) << error;
    EXPECT_EQ(table.Current(), 3);
    EXPECT_EQ(dir.Read("list.plu").size(), 4 * kPluRecordSize);

    PluTable loaded;
    TUsedBarcodes used;
    const TPluLoadResult r = LoadPluFile(dir.File("list.plu"), loaded, used);
    ASSERT_TRUE(r.Ok) << r.Reason;
    std::vector<TPluRow> expected = Rows(table);
    expected[0].BARCODE = "1234567890,1234567890,12";
    expected[0].ALTE_TAXE = "Alte taxe of tw";
    expected[0].TAX_VALUE = "123456789012345";
    EXPECT_EQ(Rows(loaded), expected);
    EXPECT_TRUE(loaded.Row(3).Deleted());
    EXPECT_EQ(used.Count(), 4); // 1234567890 twice, 1234 once, 501 once
    EXPECT_EQ(used.Occurrences("1234567890"), 2);

    PluTable empty;
    ASSERT_TRUE(SavePluFile(dir.File("empty.plu"), empty, error)) << error;
    EXPECT_EQ(dir.Read("empty.plu"), "");
    const TPluLoadResult e = LoadPluFile(dir.File("empty.plu"), loaded, used);
    EXPECT_TRUE(e.Ok);
    EXPECT_EQ(loaded.Count(), 0);
    EXPECT_EQ(used.Count(), 0);
}

TEST(PluFile, OnlyCompleteRecordsAreLoaded)
{
    const std::string one = EncodePluRecord(Row(1));
    for (auto [size, rows] : {std::pair{175u, 0}, {176u, 1}, {177u, 1}, {351u, 1}}) {
        std::string bytes = one + one;
        bytes.resize(size, 'x');
        PluTable table;
        TUsedBarcodes used;
        table.AppendRow(Row(99));
        const TPluLoadResult r = LoadPluBytes(bytes, table, used);
        EXPECT_TRUE(r.Ok) << size;
        EXPECT_EQ(table.Count(), rows) << size;
    }
}

TEST(PluFile, RefusedValueEndsTheLoadKeepingTheRowsBefore)
{
    struct Case {
        std::size_t offset;
        std::string bytes;
        const char* field;
    } cases[] = {
        {0, std::string("\x00\x00\x00\x00", 4), "NUMB: 0 "},
        {0, std::string("\x30\x75\x00\x00", 4), "NUMB: 30000 "},
        {80, std::string("\x7B\x14\xAE\x47\xE1\x7A\x84\xBF", 8), "PRICE_SELL: -0.01 "},
        {96, std::string("\x40\x9C\x00\x00", 4), "TAX_GROUP: 40000 "},
        {92, std::string("\xFF\x7F\xFF\xFF", 4), "PLU_SUBGROUP: -32769 "},
    };
    for (const auto& c : cases) {
        std::string bad = EncodePluRecord(Row(2));
        bad.replace(c.offset, c.bytes.size(), c.bytes);
        PluTable table;
        TUsedBarcodes used;
        const TPluLoadResult r = LoadPluBytes(EncodePluRecord(Row(1, "501")) + bad + EncodePluRecord(Row(3)), table, used);
        EXPECT_FALSE(r.Ok) << c.field;
        EXPECT_TRUE(r.TableReplaced);
        EXPECT_EQ(r.Record, 1);
        EXPECT_NE(r.Reason.find(c.field), std::string::npos) << r.Reason;
        ASSERT_EQ(table.Count(), 1) << c.field;
        EXPECT_EQ(table.Row(0).NUMB, 1);
        EXPECT_EQ(used.Count(), 1);
    }
}

TEST(PluFile, LengthByteOverCapacityRefusesTheWholeFile)
{
    for (auto [offset, capacity] : {std::pair{4, 20}, {25, 24}, {50, 24}, {104, 15}, {120, 15}, {136, 21}, {158, 12}}) {
        std::string bad = EncodePluRecord(Row(2));
        bad[static_cast<std::size_t>(offset)] = static_cast<char>(capacity + 1);
        PluTable table;
        TUsedBarcodes used;
        table.AppendRow(Row(42, "77"));
        used.AddBarcodesOf("77");
        const TPluLoadResult r = LoadPluBytes(EncodePluRecord(Row(1)) + bad, table, used);
        EXPECT_FALSE(r.Ok) << offset;
        EXPECT_FALSE(r.TableReplaced);
        EXPECT_EQ(r.Record, 1);
        ASSERT_EQ(table.Count(), 1);
        EXPECT_EQ(table.Row(0).NUMB, 42);
        EXPECT_TRUE(used.Contains("77"));
    }
}

TEST(PluFile, DuplicateBarcodeEndsTheLoadOnceTheListRefusesThem)
{
    const std::string bytes = Records({Row(1, "501"), Row(2, "9,501"), Row(3, "7")});
    PluTable table;
    TUsedBarcodes used;
    EXPECT_TRUE(LoadPluBytes(bytes, table, used).Ok);
    EXPECT_EQ(used.Occurrences("501"), 2);

    used.RefuseDuplicates();
    const TPluLoadResult r = LoadPluBytes(bytes, table, used);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Record, 1);
    EXPECT_EQ(r.Reason, "String list does not allow duplicates");
    EXPECT_EQ(table.Count(), 2); // the refused record has been appended
    EXPECT_TRUE(used.Contains("9"));

    // Whichever comes first in the file ends the load: a refused value or a
    // refused barcode.
    TPluRow zero = Row(4, "501");
    zero.NUMB = 0;
    std::string refusedValue = EncodePluRecord(zero);
    TUsedBarcodes refusing;
    refusing.RefuseDuplicates();
    TPluLoadResult v = LoadPluBytes(Records({Row(1, "501"), Row(2, "501")}) + refusedValue, table, refusing);
    EXPECT_EQ(v.Record, 1);
    EXPECT_EQ(v.Reason, "String list does not allow duplicates");
    EXPECT_EQ(table.Count(), 2);
    v = LoadPluBytes(Records({Row(1, "501")}) + refusedValue + Records({Row(3, "501")}), table, refusing);
    EXPECT_EQ(v.Record, 1);
    EXPECT_NE(v.Reason.find("Field NUMB: 0 "), std::string::npos) << v.Reason;
    EXPECT_EQ(table.Count(), 1);
    EXPECT_EQ(refusing.Count(), 1);
}

TEST(PluFile, UnreadableFileLeavesTheTable)
{
    TempDir dir;
    PluTable table;
    TUsedBarcodes used;
    table.AppendRow(Row(1, "5"));
    used.AddBarcodesOf("5");
    const TPluLoadResult r = LoadPluFile(dir.File("missing.plu"), table, used);
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.TableReplaced);
    EXPECT_EQ(r.Record, -1);
    EXPECT_EQ(r.Reason, "No such file or directory");
    EXPECT_EQ(table.Count(), 1);
    EXPECT_EQ(used.Count(), 1);
}

TEST(PluFile, FailedSaveLeavesTheOldFileAndNoPartialOne)
{
    TempDir dir;
    PluTable table;
    table.AppendRow(Row(1));
    dir.Write("old.plu", "old content");
    ASSERT_EQ(::chmod(dir.File("old.plu").c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(SavePluFile(dir.File("old.plu"), table, error));
    EXPECT_EQ(error, "Permission denied");
    EXPECT_EQ(dir.Read("old.plu"), "old content");

    EXPECT_FALSE(SavePluFile(dir.File("no/such/folder.plu"), table, error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(FilesIn(dir.Path()), 1);

    ASSERT_EQ(::chmod(dir.File("old.plu").c_str(), 0644), 0);
    EXPECT_TRUE(SavePluFile(dir.File("old.plu"), table, error)) << error;
    EXPECT_EQ(dir.Read("old.plu"), EncodePluRecord(Row(1)));
    EXPECT_EQ(FilesIn(dir.Path()), 1);
}
