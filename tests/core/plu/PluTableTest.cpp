// The PLU table's rules, its two orders, sort and search, the flags text and
// the barcode list.

#include "core/base/CodePage.h"
#include "core/plu/PluTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using F = TPluField;

std::string Cp(const char* utf8) { return *Utf8ToCodePage(utf8); }

TPluRow Row(int numb, const std::string& name = "", const std::string& flags = "000000000", double price = 0)
{
    TPluRow r;
    r.SetInt(F::NUMB, numb);
    r.SetText(F::NAME, name);
    r.SetText(F::FLAGS, flags);
    r.SetFloat(F::PRICE_SELL, price);
    return r;
}

std::vector<int> Numbers(const PluTable& t)
{
    std::vector<int> n;
    for (int p = 0; p < t.Count(); ++p)
        n.push_back(t.Row(p).NUMB);
    return n;
}

// Records what the table tells a grid model.
struct Recorder : TPluTableObserver {
    std::vector<std::string> log;
    void BeginReset() override { log.push_back("BeginReset"); }
    void EndReset() override { log.push_back("EndReset"); }
    void BeginAppend(int p) override { log.push_back("BeginAppend " + std::to_string(p)); }
    void EndAppend() override { log.push_back("EndAppend"); }
    void BeginRemove(int p) override { log.push_back("BeginRemove " + std::to_string(p)); }
    void EndRemove() override { log.push_back("EndRemove"); }
    void BeginReorder() override { log.push_back("BeginReorder"); }
    void EndReorder() override { log.push_back("EndReorder"); }
    void RowsChanged(int a, int b) override { log.push_back("RowsChanged " + std::to_string(a) + " " + std::to_string(b)); }
    void CurrentChanged(int p) override { log.push_back("Current " + std::to_string(p)); }
};

} // namespace

TEST(PluFields, ThirteenInTableOrderFoundByIndexAndName)
{
    const char* names[] = {"NUMB", "NAME", "UNIT", "TAX_GROUP", "PAY_TYPE", "PLU_GROUP", "BARCODE",
                           "PRICE_SELL", "PLU_SUBGROUP", "ALTE_TAXE", "TAX_VALUE", "COMMENT", "FLAGS"};
    for (int i = 0; i < kPluFieldCount; ++i) {
        EXPECT_STREQ(PluFieldInfo(i).Name, names[i]);
        EXPECT_EQ(PluFieldIndex(*PluFieldByName(names[i])), i);
    }
    EXPECT_FALSE(PluFieldByName("numb"));
    EXPECT_THROW(PluFieldInfo(13), std::out_of_range);
    EXPECT_EQ(PluFieldInfo(F::BARCODE).Width, 500);
    EXPECT_EQ(PluFieldInfo(F::BARCODE).DisplayWidth, 20);
    EXPECT_EQ(PluFieldInfo(F::FLAGS).Width, 9);
    EXPECT_EQ(PluFieldDisplayLabel(F::NUMB), "Number");
    EXPECT_EQ(PluFieldDisplayLabel(F::NAME), "PLU Name");
    EXPECT_EQ(PluFieldDisplayLabel(F::UNIT), "UNIT");
}

TEST(PluRow, RefusedNumbersNameFieldValueAndRangeAndKeepTheOldValue)
{
    struct Case {
        F field;
        double value; // set through SetFloat for the price, SetInt otherwise
        const char* message;
    } refused[] = {
        {F::NUMB, 0, "Field NUMB: 0 is outside the allowed range 1 to 29999."},
        {F::NUMB, 30000, "Field NUMB: 30000 is outside the allowed range 1 to 29999."},
        {F::PRICE_SELL, -0.01, "Field PRICE_SELL: -0.01 is outside the allowed range 0 to 9999999.999."},
        {F::PRICE_SELL, 10000000, "Field PRICE_SELL: 10000000 is outside the allowed range 0 to 9999999.999."},
        {F::TAX_GROUP, 32768, "Field TAX_GROUP: 32768 is outside the allowed range -32768 to 32767."},
        {F::PLU_SUBGROUP, -32769, "Field PLU_SUBGROUP: -32769 is outside the allowed range -32768 to 32767."},
        {F::PAY_TYPE, 2147483648.0, "Field PAY_TYPE: 2147483648 is outside the allowed range -2147483648 to 2147483647."},
    };
    for (const auto& c : refused) {
        TPluRow row = Row(5, "", "", 2.5);
        const TPluRow before = row;
        try {
            if (c.field == F::PRICE_SELL)
                row.SetFloat(c.field, c.value);
            else
                row.SetInt(c.field, static_cast<int64_t>(c.value));
            ADD_FAILURE() << c.message << " was accepted";
        } catch (const EPluFieldError& e) {
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.Field(), c.field);
        }
        EXPECT_EQ(row, before);
    }
    TPluRow row;
    EXPECT_THROW(row.SetFloat(F::PRICE_SELL, std::nan("")), EPluFieldError);
    EXPECT_THROW(row.SetFloat(F::PRICE_SELL, std::numeric_limits<double>::infinity()), EPluFieldError);
    row.SetInt(F::NUMB, 29999);
    row.SetFloat(F::PRICE_SELL, 9999999.999);
    row.SetInt(F::PRICE_SELL, 0);
    row.SetInt(F::TAX_GROUP, -32768);
    EXPECT_EQ(row.NUMB, 29999);
    EXPECT_EQ(row.TAX_GROUP, -32768);
    EXPECT_THROW(row.SetText(F::NUMB, "1"), std::logic_error);
    EXPECT_THROW(row.SetFloat(F::TAX_GROUP, 1), std::logic_error);
}

TEST(PluRow, TextsAreCutToTheirWidthAndShownAsTheGridShowsThem)
{
    TPluRow row;
    row.SetText(F::NAME, std::string(21, 'n'));
    row.SetText(F::BARCODE, std::string(501, '1'));
    row.SetText(F::FLAGS, "0000000101");
    row.SetText(F::TAX_VALUE, "");
    EXPECT_EQ(row.NAME, std::string(20, 'n'));
    EXPECT_EQ(row.BARCODE.size(), 500u);
    EXPECT_EQ(row.FLAGS, "000000010");

    row.SetFloat(F::PRICE_SELL, 1.5);
    row.SetInt(F::PAY_TYPE, -3);
    EXPECT_EQ(row.DisplayText(F::PRICE_SELL), "1.500");
    EXPECT_EQ(row.DisplayText(F::PAY_TYPE), "-3");
    EXPECT_EQ(row.DisplayText(F::NAME), row.NAME);
}

TEST(PluTableRules, RowsWrittenDirectlyGetTheSameRulesWhenStored)
{
    PluTable table;
    TPluRow row = Row(1, "a");
    row.COMMENT = std::string(30, 'c');
    table.AppendRow(row);
    EXPECT_EQ(table.Row(0).COMMENT, std::string(20, 'c'));

    row.NUMB = 0;
    EXPECT_THROW(table.AppendRow(row), EPluFieldError);
    EXPECT_EQ(table.Count(), 1);
    row.NUMB = 2;
    row.PRICE_SELL = -1;
    EXPECT_THROW(table.SetRow(0, row), EPluFieldError);
    EXPECT_EQ(table.Row(0).NUMB, 1);

    table.Close();
    EXPECT_FALSE(table.IsOpen());
    EXPECT_EQ(table.Count(), 0);
    EXPECT_THROW(table.AppendRow(Row(1)), std::logic_error);
    table.Open();
    EXPECT_EQ(table.AppendRow(Row(1)), 0);
}

TEST(PluFlags, ShortTextsReadAsPaddedWithZeros)
{
    EXPECT_EQ(PluFlagsFromText(""), (std::array<bool, 9>{}));
    EXPECT_FALSE(PluFlagsDeleted(""));
    const auto five = PluFlagsFromText("10000");
    EXPECT_TRUE(five[0]);
    EXPECT_EQ(std::count(five.begin(), five.end(), true), 1);
    EXPECT_EQ(PluFlagsText({true, false, false, false, false, false, false, true, false}), "100000010");

    // Deleted by flag 8; drawn silver only with nine characters or more.
    EXPECT_TRUE(PluFlagsDeleted("00000001"));
    EXPECT_FALSE(PluFlagsShownDeleted("00000001"));
    EXPECT_TRUE(PluFlagsShownDeleted("000000010"));
    EXPECT_EQ(PluFlagsMarkedDeleted(""), "000000010");
    EXPECT_EQ(PluFlagsMarkedDeleted("1"), "100000010");
    EXPECT_EQ(PluFlagsMarkedDeleted("111111101"), "111111111");

    PluTable table;
    table.AppendRow(Row(1, "", "11"));
    table.MarkDeleted(0);
    EXPECT_EQ(table.Row(0).FLAGS, "110000010");
    EXPECT_EQ(table.Count(), 1);
}

TEST(PluTableRules, NewNumberIsTheHighestLiveNumberPlusOne)
{
    PluTable table;
    EXPECT_EQ(table.ProposeNumber(), 1);
    table.AppendRow(Row(40, "", "000000010"));
    EXPECT_EQ(table.ProposeNumber(), 1); // all rows deleted
    table.AppendRow(Row(7, "", ""));     // empty flags: live
    EXPECT_EQ(table.ProposeNumber(), 8);
    table.AppendRow(Row(29999, "", "00000001")); // deleted by a short text
    EXPECT_EQ(table.ProposeNumber(), 8);
    table.AppendRow(Row(29999));
    EXPECT_EQ(table.ProposeNumber(), 30000);
}

TEST(PluTableOrder, SortIsStableWithoutRegardToCaseAndOneTime)
{
    PluTable table;
    table.AppendRow(Row(1, Cp("ябълка")));
    table.AppendRow(Row(2, "beta"));
    table.AppendRow(Row(3, "Alpha"));
    table.AppendRow(Row(4, "BETA"));
    table.AppendRow(Row(5, Cp("Ёж")));
    table.AppendRow(Row(6, "alpha"));
    table.SetCurrent(1);

    table.Sort(F::NAME, true);
    EXPECT_EQ(Numbers(table), (std::vector<int>{3, 6, 2, 4, 5, 1}));
    EXPECT_EQ(table.CurrentRow().NUMB, 2); // the current row stays the same row
    table.Sort(F::NAME, false);
    EXPECT_EQ(Numbers(table), (std::vector<int>{1, 5, 2, 4, 3, 6}));

    table.AppendRow(Row(0 + 9, "aaa"));
    EXPECT_EQ(table.Row(6).NUMB, 9); // appended after the last, not sorted in
    EXPECT_EQ(table.Current(), 6);

    table.SetRow(0, Row(1, "x", "", 3));
    table.SetRow(1, Row(5, "x", "", 1));
    table.Sort(F::PRICE_SELL, false);
    EXPECT_EQ(Numbers(table), (std::vector<int>{1, 5, 2, 4, 3, 6, 9}));
    table.Sort(F::NUMB, true);
    EXPECT_EQ(Numbers(table), (std::vector<int>{1, 2, 3, 4, 5, 6, 9}));
}

TEST(PluTableOrder, SelectionIsWalkedInCreationOrderAndBookmarksFollowTheirRow)
{
    PluTable table;
    for (int n : {30, 10, 20})
        table.AppendRow(Row(n));
    const TPluRowId first = table.Id(0);
    table.Sort(F::NUMB, true); // 10 20 30
    const auto ids = table.CreationOrder({2, 0, 1, 0});
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(table.Row(table.Position(ids[0])).NUMB, 30);
    EXPECT_EQ(table.Row(table.Position(ids[1])).NUMB, 10);
    EXPECT_EQ(table.Row(table.Position(ids[2])).NUMB, 20);

    table.SetCurrent(1);
    const TPluRowId mark = table.Bookmark();
    table.Sort(F::NUMB, false);
    table.SetCurrent(0);
    EXPECT_TRUE(table.GotoBookmark(mark));
    EXPECT_EQ(table.CurrentRow().NUMB, 20);

    // Removing a row keeps the others' ids; the current row moves to the row
    // that takes the removed one's place.
    table.RemoveRow(table.Position(first));
    EXPECT_EQ(table.Position(first), -1);
    EXPECT_EQ(table.Row(table.Position(mark)).NUMB, 20);
    table.SetCurrent(1);
    table.RemoveRow(1);
    EXPECT_EQ(table.Current(), 0);
    table.Clear();
    EXPECT_EQ(table.Current(), -1);
    EXPECT_FALSE(table.GotoBookmark(mark));
    table.AppendRow(Row(1));
    EXPECT_NE(table.Id(0), mark);
    EXPECT_EQ(table.Position(mark), -1);
}

TEST(PluTableSearch, TextByPrefixWithoutCaseAndNumbersByEquality)
{
    PluTable table;
    table.AppendRow(Row(3, "Mineral water", "", 1.2));
    table.AppendRow(Row(1, Cp("Мляко"), "", 0.5));
    table.AppendRow(Row(2, "milk", "", 0.5));
    table.Sort(F::NUMB, true); // 1 2 3

    EXPECT_EQ(table.Find(F::NAME, "MI"), 1);
    EXPECT_EQ(table.Find(F::NAME, Cp("мля")), 0);
    EXPECT_EQ(table.Find(F::NAME, "milky"), -1);
    EXPECT_EQ(table.Find(F::NAME, ""), 0);
    EXPECT_EQ(table.Find(F::PRICE_SELL, 1.2), 2);
    EXPECT_EQ(table.Find(F::NUMB, 3.0), 2);
    EXPECT_EQ(table.Find(F::NUMB, 2.5), -1);

    table.SetCurrent(2);
    EXPECT_FALSE(table.Locate(F::NAME, "x"));
    EXPECT_EQ(table.Current(), 2);
    EXPECT_TRUE(table.Locate(F::PRICE_SELL, 0.5));
    EXPECT_EQ(table.Current(), 0);
    EXPECT_THROW(table.Find(F::NAME, 1.0), std::logic_error);
}

TEST(PluTableSearch, RowsByNumberFollowSortsEditsAndRemovals)
{
    PluTable table;
    table.AppendRow(Row(7, "a"));
    table.AppendRow(Row(8, "b"));
    table.AppendRow(Row(7, "c"));
    table.Sort(F::NAME, false); // c b a
    EXPECT_EQ(table.FindNumber(7), 0);
    EXPECT_EQ(table.PositionsWithNumber(7), (std::vector<int>{0, 2}));
    table.SetRow(0, Row(9, "c"));
    EXPECT_EQ(table.FindNumber(7), 2);
    EXPECT_EQ(table.FindNumber(9), 0);
    table.RemoveRow(2);
    EXPECT_EQ(table.FindNumber(7), -1);
    EXPECT_EQ(table.FindNumber(0), -1);
    EXPECT_EQ(table.FindNumber(30000), -1);
}

TEST(PluText, CyrillicAndLatinLettersCompareWithoutCase)
{
    EXPECT_EQ(PluUpperText(Cp("abc ёжзя ѓўїј")), Cp("ABC ЁЖЗЯ ЃЎЇЈ"));
    EXPECT_TRUE(PluTextEqualNoCase(Cp("Хляб"), Cp("хЛЯБ")));
    EXPECT_FALSE(PluTextEqualNoCase("ab", "abc"));
    EXPECT_LT(PluTextCompareNoCase("abc", "ABD"), 0);
    EXPECT_LT(PluTextCompareNoCase("ab", "AB "), 0);
    EXPECT_EQ(PluTextCompareNoCase("\xFF", "\xDF"), 0); // я Я
    EXPECT_GT(PluTextCompareNoCase("\xE0", "z"), 0);    // Cyrillic after Latin
}

TEST(PluBarcodeList, SplitsAtEveryCommaKeepingSegments)
{
    EXPECT_EQ(PluBarcodes("501"), (std::vector<std::string>{"501"}));
    EXPECT_EQ(PluBarcodes("501,,502,"), (std::vector<std::string>{"501", "", "502", ""}));
    EXPECT_EQ(PluBarcodes(" 501 , 502"), (std::vector<std::string>{" 501 ", " 502"}));
    EXPECT_TRUE(PluBarcodes("").empty());
    EXPECT_TRUE(PluBarcodes("  \t").empty());
}

TEST(PluBarcodeList, CountsOccurrencesUntilDuplicatesAreRefused)
{
    TUsedBarcodes used;
    used.AddBarcodesOf("501");
    used.AddBarcodesOf("501,abc");
    used.AddBarcodesOf("   ");
    EXPECT_EQ(used.Count(), 3);
    EXPECT_EQ(used.Occurrences("501"), 2);
    EXPECT_TRUE(used.Contains("ABC"));

    // Opening one of the rows for editing and confirming it unchanged, or
    // cancelling: the barcode is there twice again.
    used.RemoveBarcodesOf("501");
    EXPECT_EQ(used.Occurrences("501"), 1);
    used.AddBarcodesOf("501");
    EXPECT_EQ(used.Occurrences("501"), 2);
    EXPECT_FALSE(used.Remove("999"));

    used.Clear();
    used.RefuseDuplicates();
    used.AddBarcodesOf("x1,,y");
    try {
        used.AddBarcodesOf("z,X1,w");
        ADD_FAILURE() << "duplicate accepted";
    } catch (const EDuplicateBarcode& e) {
        EXPECT_STREQ(e.what(), "String list does not allow duplicates");
    }
    EXPECT_TRUE(used.Contains("z"));  // added before the duplicate
    EXPECT_FALSE(used.Contains("w")); // not after it
    EXPECT_THROW(used.Add(""), EDuplicateBarcode);
    EXPECT_EQ(used.Count(), 4);
    used.Clear();
    EXPECT_TRUE(used.RefusesDuplicates()); // for good
}

TEST(PluTableObservers, GridHearsEachChangeOrOneResetWhileSuspended)
{
    PluTable table;
    Recorder grid;
    table.AddObserver(&grid);
    table.AppendRow(Row(1));
    table.AppendRow(Row(2));
    table.SetRow(0, Row(3));
    table.Sort(F::NUMB, true);
    table.RemoveRow(0);
    EXPECT_EQ(grid.log, (std::vector<std::string>{
                            "BeginAppend 0", "EndAppend", "Current 0", "BeginAppend 1", "EndAppend", "Current 1",
                            "RowsChanged 0 0", "BeginReorder", "EndReorder", "Current 0", "BeginRemove 0",
                            "EndRemove", "Current 0"}));

    grid.log.clear();
    {
        TPluUpdateGuard outer(table);
        TPluUpdateGuard inner(table);
        table.SetRow(0, Row(4));
        table.MarkDeleted(0);
    }
    EXPECT_EQ(grid.log, (std::vector<std::string>{"RowsChanged 0 0"}));

    grid.log.clear();
    {
        TPluUpdateGuard quiet(table);
        table.Clear();
        for (int n = 1; n <= 1000; ++n)
            table.AppendRow(Row(n));
    }
    EXPECT_EQ(grid.log, (std::vector<std::string>{"BeginReset", "EndReset", "Current 999"}));
    table.RemoveObserver(&grid);
    table.AppendRow(Row(1));
    EXPECT_EQ(grid.log.size(), 3u);
}
