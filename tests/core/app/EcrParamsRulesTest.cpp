#include "core/app/EcrParamsRules.h"

#include <gtest/gtest.h>

namespace {

TCashierRow Row(std::string numb, std::string name, std::string password = "")
{
    TCashierRow r;
    r.Numb = std::move(numb);
    r.Name = std::move(name);
    r.Password = std::move(password);
    return r;
}

TECR_Cashier Cashier(int number, std::string_view name, std::string_view password = "")
{
    TECR_Cashier c;
    c.Number = number;
    c.Name = name;
    c.Password = password;
    return c;
}

} // namespace

TEST(FieldTextAcceptable, CodePageTextWithoutControlCharacters)
{
    const struct {
        const char* utf8;
        bool ok;
    } cases[] = {
        {"", true},
        {"Main street 1, Sofia", true},
        {"\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", true},      // Cyrillic
        {"\xE2\x82\xAC 5", true},                          // euro sign, in the code page
        {"\xE4\xB8\xAD", false},                           // CJK, not in the code page
        {"\xC3\xA9", false},                               // e acute, not in the code page
        {"a\tb", false},
        {"a\nb", false},
        {"\x7F", false},
        {"\xC2\x98", false},                               // U+0098, the code page's hole
        {"\xFF", false},                                   // not UTF-8
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldTextAcceptable(c.utf8), c.ok) << c.utf8;
}

TEST(CashierNumberTextAcceptable, EmptyOrOneToThirty)
{
    for (const char* ok : {"", "1", "9", "10", "29", "30"})
        EXPECT_TRUE(CashierNumberTextAcceptable(ok)) << ok;
    for (const char* bad : {"0", "05", "31", "99", "100", "-1", "+1", "3a", " 3", "\xD9"})
        EXPECT_FALSE(CashierNumberTextAcceptable(bad)) << bad;
}

TEST(FillCashierRows, SortsByNumberAndCutsLongTexts)
{
    TECR_Cashier third = Cashier(3, "Trainee", "3333");
    third.Sell = third.Reports = true;
    TECR_Cashier first = Cashier(1, "A name of twenty-five ch", "1234567");
    first.Program = first.Admin = true;
    TCashierRows rows = {Row("9", "stale")};
    EXPECT_EQ(FillCashierRows({third, Cashier(12, "Twelve"), first}, rows), "");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Numb, "1");
    EXPECT_EQ(rows[0].Name, "A name of twenty-fiv");
    EXPECT_EQ(rows[0].Password, "12345");
    EXPECT_EQ(rows[1].Numb, "3");
    EXPECT_EQ(rows[2].Numb, "12") << "numbers, not texts, are sorted";
    EXPECT_TRUE(rows[0].Program && rows[0].Admin && !rows[0].Sell && !rows[0].Reports);
    EXPECT_TRUE(rows[1].Sell && rows[1].Reports && !rows[1].Program && !rows[1].Admin);
}

TEST(FillCashierRows, ANumberOutsideTheFieldEndsTheFillingAndKeepsTheRowsBefore)
{
    TCashierRows rows;
    EXPECT_EQ(FillCashierRows({Cashier(5, "Five"), Cashier(2, "Two"), Cashier(31, "Odd"), Cashier(4, "Four")}, rows),
              "Cashier number 31 is outside 1..30");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Name, "Two");
    EXPECT_EQ(rows[1].Name, "Five");
    EXPECT_EQ(FillCashierRows({Cashier(0, "Zero")}, rows), "Cashier number 0 is outside 1..30");
    EXPECT_TRUE(rows.empty());
}

TEST(TakeCashierRows, RowsWithANumberInTableOrderWithEveryField)
{
    TCashierRow full = Row("7", "Seven", "77");
    full.Sell = true;
    full.Reports = true;
    TCashierRow admin = Row("2", "Two");
    admin.Admin = true;
    admin.Program = true;
    const TECR_Cashiers list = TakeCashierRows({full, Row("", "No number", "1"), admin, Row("4", "")});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Number, 7);
    EXPECT_EQ(list[0].Name.Str(), "Seven");
    EXPECT_EQ(list[0].Password.Str(), "77");
    EXPECT_TRUE(list[0].Sell && list[0].Reports && !list[0].Admin && !list[0].Program);
    EXPECT_EQ(list[1].Number, 2);
    EXPECT_TRUE(list[1].Admin && list[1].Program && !list[1].Sell && !list[1].Reports);
    EXPECT_EQ(list[2].Number, 4);
    EXPECT_TRUE(list[2].Name.empty()) << "an empty name goes along: it deletes the cashier";
}

TEST(CashierClashes, WhenLeavingAnEdit)
{
    const TCashierRows rows = {Row("1", "A", "111"), Row("1", "B", "11"), Row("", "C", " "),
                               Row("", "D", " "),  Row("5", "E", "Ab"), Row("6", "F", "ab")};
    EXPECT_TRUE(CashierNumberClashes(rows, 0));
    EXPECT_TRUE(CashierNumberClashes(rows, 1));
    EXPECT_TRUE(CashierNumberClashes(rows, 2)) << "two empty numbers both count as 0";
    EXPECT_FALSE(CashierNumberClashes(rows, 4));
    EXPECT_FALSE(CashierPasswordClashes(rows, 0)) << "111 and 11 differ";
    EXPECT_FALSE(CashierPasswordClashes(rows, 2)) << "a blank password never clashes";
    EXPECT_FALSE(CashierPasswordClashes(rows, 4)) << "case counts";
    EXPECT_TRUE(CashierPasswordClashes({Row("1", "A", "12"), Row("", "B", "12")}, 1));
}

TEST(CashierRowsSaveProblem, OnlyWhatWouldReachTheRegisterTwice)
{
    using TField = TCashierRowsProblem::TField;
    const struct {
        const char* what;
        TCashierRows rows;
        std::optional<std::size_t> row;
        TField field;
    } cases[] = {
        {"distinct", {Row("1", "A", "1"), Row("2", "B", "2"), Row("", "C", "")}, {}, TField::Number},
        {"rows without number are not sent", {Row("", "A", "1"), Row("", "B", "1")}, {}, TField::Number},
        {"same number", {Row("3", "A"), Row("4", "B"), Row("3", "C")}, 2, TField::Number},
        {"deletion and write of one number", {Row("3", "A"), Row("3", "")}, 1, TField::Number},
        {"same password", {Row("1", "A", "55"), Row("2", "B", "56"), Row("3", "C", "55")}, 2, TField::Password},
        {"blank passwords", {Row("1", "A", " "), Row("2", "B", " "), Row("3", "C", "")}, {}, TField::Number},
        {"a deleted cashier keeps no password", {Row("1", "", "55"), Row("2", "B", "55")}, {}, TField::Number},
        {"an unsent row keeps no password", {Row("", "A", "55"), Row("2", "B", "55")}, {}, TField::Number},
    };
    for (const auto& c : cases) {
        const auto problem = CashierRowsSaveProblem(c.rows);
        ASSERT_EQ(problem.has_value(), c.row.has_value()) << c.what;
        if (!problem)
            continue;
        EXPECT_EQ(problem->Row, *c.row) << c.what;
        EXPECT_EQ(problem->Field, c.field) << c.what;
        EXPECT_STREQ(problem->Text, c.field == TField::Number ? "Operator numbers must be unique!"
                                                              : "Password numbers must be unique!")
            << c.what;
    }
}
