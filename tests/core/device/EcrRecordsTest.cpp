// The register's record files: line layouts, number texts, escaping and the
// failure texts of the readers, without a register.

#include "core/device/EcrRecords.h"
#include "support/SamplePlu.h"

#include <gtest/gtest.h>

#include <locale>

namespace {

std::string ParseError(const TLineList& lines)
{
    TECR_PLU plu;
    try {
        ParsePluLines(lines, plu);
    } catch (const ERecordFormat& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(EcrRecords, SplitTextKeepsEmptySegmentsAndAppends)
{
    std::vector<std::string> list{"x"};
    SplitText("a,,b,", list, ',');
    EXPECT_EQ(list, (std::vector<std::string>{"x", "a", "", "b", ""}));
    list.clear();
    SplitText("", list, ',');
    EXPECT_EQ(list, (std::vector<std::string>{""}));
}

TEST(EcrRecords, EscapingRoundTrip)
{
    EXPECT_EQ(EscapeCommas("a,b,,c"), "a^x2c;b^x2c;^x2c;c");
    EXPECT_EQ(UnescapeCommas("a^x2c;b^x2c^x2c;"), "a,b^x2c,");
    // A name that already holds the escape text reads back with a comma.
    EXPECT_EQ(UnescapeCommas(EscapeCommas("x^x2c;y")), "x,y");
}

TEST(EcrRecords, PriceTexts)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1.5, "1.5"},
        {2, "2"},
        {0.125, "0.125"},
        {0.99, "0.99"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.3"},                  // rounded to 15 digits, not shortest round trip
        {100, "100"},
        {0, "0"},
        {-1.5, "-1.5"},
        {0.00001, "0.00001"},
        {0.0001234, "0.0001234"},
        {9.999999999999999e-6, "0.00001"},   // rounding decides the form
        {0.000001, "1E-6"},
        {0.0000099, "9.9E-6"},
        {1.5e-7, "1.5E-7"},
        {1e-300, "1E-300"},
        {999999999999999, "999999999999999"},
        {123456789012345.6, "123456789012346"},
        {1e15, "1E15"},
        {1.5e20, "1.5E20"},
        {1.23456789012345678, "1.23456789012346"},
        {-0.000001, "-1E-6"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatPrice(c.value), c.text) << c.value;
}

TEST(EcrRecords, PriceTextIgnoresTheProcessLocale)
{
    struct CommaPoint : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale old = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
    EXPECT_EQ(FormatPrice(0.1), "0.1");
    EXPECT_DOUBLE_EQ(RecordStrToFloat("0.1"), 0.1);
    std::locale::global(old);
}

TEST(EcrRecords, NumberConversions)
{
    EXPECT_EQ(RecordStrToInt("42"), 42);
    EXPECT_EQ(RecordStrToInt("-7"), -7);
    EXPECT_EQ(RecordStrToInt("+7"), 7);
    EXPECT_EQ(RecordStrToInt("4294967295"), 4294967295LL);
    EXPECT_EQ(RecordStrToInt("-2147483648"), -2147483648LL);
    for (const char* bad : {"", "abc", "1a", " 1", "1 ", "4294967296", "-2147483649", "--1", "+-1", "0x10", "1.0"}) {
        try {
            RecordStrToInt(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const ERecordFormat& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(RecordHexToInt("1ff"), 0x1FFu);
    EXPECT_EQ(RecordHexToInt("00000004"), 4u);
    EXPECT_THROW(RecordHexToInt("-1"), ERecordFormat);
    EXPECT_THROW(RecordHexToInt("1G"), ERecordFormat);
    EXPECT_THROW(RecordHexToInt("100000000"), ERecordFormat);

    EXPECT_DOUBLE_EQ(RecordStrToFloat("1E-6"), 1e-6);
    EXPECT_DOUBLE_EQ(RecordStrToFloat("-.5"), -0.5);
    for (const char* bad : {"", "1,5", "inf", "nan", "0x1p3", "1.5 ", "+", "."}) {
        try {
            RecordStrToFloat(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const ERecordFormat& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid floating point value");
        }
    }
}

TEST(EcrRecords, PluLinesAsWritten)
{
    EXPECT_EQ(PluFileLines(SamplePlu()),
              (TLineList{"plu,12,Bread^x2c;white", "bar,501", "prc,1.5,2,BUC", "dep,1,3,", "alte,0,,", "flg,20,2,,"}));

    TECR_PLU p = SamplePlu();
    p.PayType = 1;
    p.Flags = {};
    p.Flags[8] = true;
    p.AlteTaxeId = 4;
    p.TaxValue = "0.5";
    p.AlteTaxeName = "Eco";
    const TLineList lines = PluFileLines(p);
    EXPECT_EQ(lines[4], "alte,4,0.5,Eco");
    EXPECT_EQ(lines[5], "flg,100");
    p.PayType = 0;
    p.Flags = {};
    EXPECT_EQ(PluFileLines(p)[5], "flg,00");
}

TEST(EcrRecords, PluRoundTripOverFlagsAndPayTypes)
{
    for (uint32_t bits : {0x000u, 0x001u, 0x020u, 0x080u, 0x0FFu, 0x100u, 0x1FFu}) {
        for (int payType : {0, 1, 2, 3, 255}) {
            TECR_PLU p = SamplePlu();
            p.Name = "a^x2c;b,c";
            p.Barcode = "111,222";
            p.Price = 0.1;
            for (int i = 0; i < kPluFlagCount; ++i)
                p.Flags[i] = (bits >> i) & 1;
            p.PayType = static_cast<uint8_t>(payType);
            p.AlteTaxeId = 7;
            p.TaxValue = "3";
            p.AlteTaxeName = "Tax";
            p.Comment = "note";
            TECR_PLU back;
            ParsePluLines(PluFileLines(p), back);
            TECR_PLU expected = p;
            expected.Name = "a,b,c";
            expected.PayType = payType <= 1 ? 1 : payType;
            EXPECT_EQ(back, expected) << bits << "/" << payType;
        }
    }
}

TEST(EcrRecords, PluLayoutsReadTheSameValues)
{
    TECR_PLU six, alteSecond, five;
    ParsePluLines({"plu,5,Milk", "bar,1,2", "prc,2.25,3,L", "dep,4,6,cold", "alte,9,0.2,Eco", "flg,1FF,0,,"}, six);
    ParsePluLines({"plu,5,Milk", "alte,9,0.2,Eco", "bar,1,2", "prc,2.25,3,L", "dep,4,6,cold", "flg,1FF,0,,"},
                  alteSecond);
    ParsePluLines({"plu,5,Milk", "bar,1,2", "prc,2.25,3,L", "dep,4,6,cold", "flg,1FF,0,,"}, five);
    EXPECT_EQ(six, alteSecond);
    EXPECT_EQ(six.Number, 5u);
    EXPECT_EQ(six.Barcode, "1,2");
    EXPECT_DOUBLE_EQ(six.Price, 2.25);
    EXPECT_EQ(six.TaxGroup, 3);
    EXPECT_EQ(six.SubGroup, 4);
    EXPECT_EQ(six.Group, 6);
    EXPECT_EQ(six.Comment, "cold");
    EXPECT_EQ(six.AlteTaxeId, 9);
    EXPECT_EQ(six.TaxValue, "0.2");
    EXPECT_EQ(six.AlteTaxeName, "Eco");
    EXPECT_EQ(six.PayType, 1);
    EXPECT_EQ(five.AlteTaxeId, 0);
    EXPECT_EQ(five.TaxValue, "");
    EXPECT_EQ(five.AlteTaxeName, "");
    EXPECT_EQ(five.Comment, "cold");
    // A three-item alte line names the tax without a tax value.
    ParsePluLines({"plu,5,Milk", "alte,9,Eco", "bar,", "prc,1,1,", "dep,1,1,", "flg,0"}, five);
    EXPECT_EQ(five.AlteTaxeId, 9);
    EXPECT_EQ(five.AlteTaxeName, "Eco");
    EXPECT_EQ(five.TaxValue, "");
}

TEST(EcrRecords, PluFlagLinesAndBarcodes)
{
    const struct {
        const char* flg;
        uint32_t bits;
        int payType;
    } flags[] = {{"flg,20", 0x20, 1}, {"flg,1FF,0,,", 0x1FF, 1}, {"flg,80,3,,", 0x80, 4}, {"flg,20,2", 0x20, 1}};
    for (const auto& f : flags) {
        TECR_PLU p;
        ParsePluLines({"plu,1,x", "bar,", "prc,1,1,", "dep,1,1,", "alte,0,,", f.flg}, p);
        EXPECT_EQ(PluFlagBits(p.Flags), f.bits) << f.flg;
        EXPECT_EQ(p.PayType, f.payType) << f.flg;
    }
    const struct {
        const char* bar;
        const char* barcode;
    } bars[] = {
        {"bar,", ""}, {"bar", ""}, {"bar,111,222", "111,222"}, {"bar,,", ","},
        {"bar,a b,c\"d,e", "a b,c\"d,e"}, {"bar,x\ty", "x\ty"}, {"bar,\"q\"", "\"q\""},
    };
    for (const auto& b : bars) {
        TECR_PLU p;
        ParsePluLines({"plu,1,x", b.bar, "prc,1,1,", "dep,1,1,", "alte,0,,", "flg,0"}, p);
        EXPECT_EQ(p.Barcode, b.barcode) << b.bar;
        // Written back, a barcode list with a comma in it is the same line again.
        if (std::string(b.bar).find(',') != std::string::npos) {
            EXPECT_EQ(PluFileLines(p)[1], b.bar);
        }
    }
}

TEST(EcrRecords, PluReadFailures)
{
    const struct {
        TLineList lines;
        const char* error;
    } cases[] = {
        {{}, "List index out of bounds (1)"},
        {{"plu,1,x"}, "List index out of bounds (1)"},
        {{"plu,1,x", "bar,", "prc,1,1,", "dep,1,1,"}, "List index out of bounds (4)"},
        {{"plu,1", "bar,", "prc,1,1,", "dep,1,1,", "flg,0"}, "List index out of bounds (2)"},
        {{"plu,x1,x", "bar,", "prc,1,1,", "dep,1,1,", "flg,0"}, "'x1' is not a valid integer value"},
        {{"plu,1,x", "bar,", "prc,1;5,1,", "dep,1,1,", "flg,0"}, "'1;5' is not a valid floating point value"},
        {{"plu,1,x", "bar,", "prc,1,1", "dep,1,1,", "flg,0"}, "List index out of bounds (3)"},
        {{"plu,1,x", "bar,", "prc,1,1,", "dep,1,1,", "flg,zz"}, "'zz' is not a valid integer value"},
        {{"plu,1,x", "bar,", "prc,1,1,", "dep,1,1,", "flg"}, "List index out of bounds (1)"},
        {{"plu,1,x", "bar,", "prc,1,1,", "dep,1,1,", "alte,q,1,n", "flg,0"}, "'q' is not a valid integer value"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseError(c.lines), c.error);
}

TEST(EcrRecords, PluNameIsCutAndEightBitFieldsKeepLowBits)
{
    TECR_PLU p;
    ParsePluLines({"plu,4294967295," + std::string(300, 'n'), "bar,", "prc,1,300,", "dep,-1,257,", "flg,0,255,,"}, p);
    EXPECT_EQ(p.Number, 4294967295u);
    EXPECT_EQ(p.Name.size(), 255u);
    EXPECT_EQ(p.TaxGroup, 44);
    EXPECT_EQ(p.SubGroup, 255);
    EXPECT_EQ(p.Group, 1);
    EXPECT_EQ(p.PayType, 0); // 255 + 1 keeps its low 8 bits
}

TEST(EcrRecords, WriteChecksNameTheField)
{
    EXPECT_EQ(PluWriteProblem(SamplePlu()), "");
    const struct {
        void (*change)(TECR_PLU&);
        const char* problem;
    } cases[] = {
        {[](TECR_PLU& p) { p.Unit = "k,g"; }, "Unit must not contain a comma"},
        {[](TECR_PLU& p) { p.Comment = "a,b"; }, "Comment must not contain a comma"},
        {[](TECR_PLU& p) { p.TaxValue = "0,5"; }, "TaxValue must not contain a comma"},
        {[](TECR_PLU& p) { p.AlteTaxeName = "x,"; }, "AlteTaxeName must not contain a comma"},
        {[](TECR_PLU& p) { p.Name = "a\r\nb"; }, "Name must not contain a line break"},
        {[](TECR_PLU& p) { p.Barcode = "1\n2"; }, "Barcode must not contain a line break"},
        {[](TECR_PLU& p) { p.Name = std::string(256, 'x'); }, "Name is longer than 255 characters"},
        {[](TECR_PLU& p) { p.Price = 1.7976931348623157e308; }, "Price is out of range"},
        {[](TECR_PLU& p) { p.Price = 1.79769313486231e308; }, ""},
    };
    for (const auto& c : cases) {
        TECR_PLU p = SamplePlu();
        c.change(p);
        EXPECT_EQ(PluWriteProblem(p), c.problem);
    }
    EXPECT_EQ(AlteTaxeWriteProblem({3, "a,b", ""}), "Name must not contain a comma");
    EXPECT_EQ(AlteTaxeWriteProblem({3, "ab", ""}), "");
    TECR_Cashier c;
    c.Password = "a\rb";
    EXPECT_EQ(CashierWriteProblem(c), "Password must not contain a line break");
}

TEST(EcrRecords, AlteTaxeLines)
{
    EXPECT_EQ(AlteTaxeFileLines({3, "Eco", "ignored"}), (TLineList{"alte,3,Eco"}));
    EXPECT_EQ(AlteTaxeFileLines({3, "", ""}), (TLineList{"alte,3,"}));
    TECR_ALTETAXE t;
    t.NumberText = "x";
    ParseAlteTaxeLines({"alte,8,Green,extra", "more"}, t);
    EXPECT_EQ(t, (TECR_ALTETAXE{8, "Green", ""}));
    EXPECT_THROW(ParseAlteTaxeLines({}, t), ERecordFormat);
    try {
        ParseAlteTaxeLines({"alte,8"}, t);
        ADD_FAILURE();
    } catch (const ERecordFormat& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (2)");
    }
}

TEST(EcrRecords, CashierLinesAndChecks)
{
    TECR_Cashier c;
    c.Number = 3;
    c.Name = "Front";
    c.Password = "p,w";
    c.Reports = true;
    EXPECT_EQ(CashierFileLines(c), (TLineList{"oper,3,Front", "pass,p^x2c;w", "flg,00000004"}));

    for (uint32_t bits = 0; bits < 16; ++bits) {
        TECR_Cashier w;
        w.Number = -5;
        w.Name = "N,1";
        w.Sell = bits & 1;
        w.Admin = bits & 2;
        w.Reports = bits & 4;
        w.Program = bits & 8;
        TECR_Cashier r;
        ParseCashierLines("-5", CashierFileLines(w), r);
        EXPECT_EQ(r, w) << bits;
    }

    TECR_Cashier r;
    ParseCashierLines("7", {"oper,9,Front", "pass,", "flg,0000000F"}, r);
    EXPECT_EQ(r.Number, 7);
    EXPECT_EQ(r.Name.Str(), "Front");
    EXPECT_TRUE(r.Sell && r.Admin && r.Reports && r.Program);

    const struct {
        TLineList lines;
        const char* error;
    } cases[] = {
        {{"oper,1,a", "pass,", "flg,0", "x"}, "Unexpected file content!"},
        {{"oper,1,a", "pass,"}, "Unexpected file content!"},
        {{"oper,1", "pass,", "flg,0"}, "Unexpected OperContent count!"},
        {{"oper,1,a", "pass,a,b", "flg,0"}, "Unexpected passContent count!"},
        {{"oper,1,a", "pass,", "flg,0,"}, "Unexpected flagContent count!"},
        {{"Oper,1,a", "pass,", "flg,0"}, "Unexpected OperContent content!"},
        {{"oper,1,a", "word,", "flg,0"}, "Unexpected passContent content!"},
        {{"oper,1,a", "pass,", "flags,0"}, "Unexpected flagContent content!"},
        {{"oper,1,a", "pass,", "flg,xyz"}, "'xyz' is not a valid integer value"},
    };
    for (const auto& cs : cases) {
        try {
            ParseCashierLines("1", cs.lines, r);
            ADD_FAILURE() << cs.error;
        } catch (const ERecordFormat& e) {
            EXPECT_STREQ(e.what(), cs.error);
        }
    }
    try {
        ParseCashierLines("abc", {"oper,1,a", "pass,", "flg,0"}, r);
        ADD_FAILURE();
    } catch (const ERecordFormat& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    // Texts longer than the record holds are cut to 255 bytes.
    ParseCashierLines("1", {"oper,1," + std::string(300, 'a'), "pass," + std::string(256, 'b'), "flg,0"}, r);
    EXPECT_EQ(r.Name.Str(), std::string(255, 'a'));
    EXPECT_EQ(r.Password.Str(), std::string(255, 'b'));
}
