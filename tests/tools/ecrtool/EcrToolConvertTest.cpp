// ecrtool convert as a user runs it: JSON lines to .plu and back, standard
// input and output, and the refusals that write nothing.

#include "core/base/CodePage.h"
#include "core/plu/PluFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

// Canonical lines, as convert writes them: keys in table order, shortest
// numbers, UTF-8 texts.
const std::string kLines =
    R"({"NUMB":1,"NAME":"Milk","UNIT":"BUC","TAX_GROUP":2,"PAY_TYPE":1,"PLU_GROUP":1,"BARCODE":"501","PRICE_SELL":0.5,"PLU_SUBGROUP":1,"ALTE_TAXE":"","TAX_VALUE":"","COMMENT":"","FLAGS":"000000000"})" "\n"
    R"({"NUMB":29999,"NAME":"Хляб \"Добруджа\"","UNIT":"бр.","TAX_GROUP":-1,"PAY_TYPE":9,"PLU_GROUP":30,"BARCODE":"3800000000001,501","PRICE_SELL":9999999.999,"PLU_SUBGROUP":10,"ALTE_TAXE":"Eco","TAX_VALUE":"0.05","COMMENT":"c","FLAGS":"01"})" "\n"
    R"({"NUMB":7,"NAME":"Old","UNIT":"BUC","TAX_GROUP":2,"PAY_TYPE":1,"PLU_GROUP":1,"BARCODE":"","PRICE_SELL":0,"PLU_SUBGROUP":1,"ALTE_TAXE":"","TAX_VALUE":"","COMMENT":"","FLAGS":"000000010"})" "\n";

class EcrToolConvert : public ::testing::Test {
protected:
    ToolRun Run(const std::string& args, const std::string& stdinFile = "/dev/null") const
    {
        const std::string cmd = std::string("'") + ECRTOOL_PATH + "' " + args + " > '" + dir_.File("stdout") +
                                "' 2> '" + dir_.File("stderr") + "' < '" + stdinFile + "'";
        const int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, dir_.Read("stdout"), dir_.Read("stderr")};
    }
    std::string F(const std::string& name) const { return "'" + dir_.File(name) + "'"; }

    TempDir dir_;
};

} // namespace

TEST_F(EcrToolConvert, JsonLinesToPluFileAndBack)
{
    dir_.Write("in.jsonl", "\xEF\xBB\xBF" + kLines + "\n  \n");
    ToolRun r = Run("convert " + F("in.jsonl") + " " + F("list.plu"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    const std::string plu = dir_.Read("list.plu");
    ASSERT_EQ(plu.size(), 3 * kPluRecordSize);
    const std::string second = plu.substr(kPluRecordSize, kPluRecordSize);
    EXPECT_EQ(second.substr(0, 4), std::string("\x2F\x75\0\0", 4)); // 29999
    const std::string name = *Utf8ToCodePage("Хляб \"Добруджа\"");
    EXPECT_EQ(second.substr(50, 1 + name.size()), static_cast<char>(name.size()) + name);
    double price;
    std::memcpy(&price, second.data() + 80, 8);
    EXPECT_EQ(price, 9999999.999);
    EXPECT_EQ(second.substr(96, 4), "\xFF\xFF\xFF\xFF"); // TAX_GROUP -1

    r = Run("convert " + F("list.plu") + " -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kLines);

    // Standard input to a .plu file gives the same bytes; .jsonl to .jsonl
    // gives the canonical lines.
    r = Run("convert - " + F("again.plu"), dir_.File("in.jsonl"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir_.Read("again.plu"), plu);
    r = Run("convert " + F("list.plu") + " " + F("out.jsonl"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir_.Read("out.jsonl"), kLines);

    dir_.Write("empty.jsonl", "");
    r = Run("convert " + F("empty.jsonl") + " " + F("empty.plu"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir_.Read("empty.plu"), "");
}

TEST_F(EcrToolConvert, TextsARecordCannotHoldAreCutWithANote)
{
    std::string line = kLines.substr(0, kLines.find('\n') + 1);
    line.replace(line.find("\"501\""), 5, "\"1234567890,1234567890,1234567890\"");
    dir_.Write("long.jsonl", kLines + line);
    const ToolRun r = Run("convert " + F("long.jsonl") + " " + F("long.plu"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("1 row(s)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("row 4 (BARCODE)"), std::string::npos) << r.err;
    EXPECT_EQ(dir_.Read("long.plu").substr(3 * kPluRecordSize + 25, 25), "\x18" "1234567890,1234567890,12");
}

TEST_F(EcrToolConvert, RefusedRowsNameTheirPlaceAndWriteNothing)
{
    std::string first = kLines.substr(0, kLines.find('\n'));
    auto with = [&](const std::string& from, const std::string& to) {
        std::string l = first;
        l.replace(l.find(from), from.size(), to);
        return l;
    };
    std::string record = EncodePluRecord([] {
        TPluRow row;
        row.SetInt(TPluField::NUMB, 1);
        return row;
    }());
    std::string numb30000 = record;
    numb30000.replace(0, 4, std::string("\x30\x75\0\0", 4));
    std::string overlong = record;
    overlong[50] = 25;

    struct Case {
        const char* file;
        std::string content;
        std::string message;
    } cases[] = {
        {"a.jsonl", first + "\n" + with("\"NUMB\":1", "\"NUMB\":0"),
         "line 2: Field NUMB: 0 is outside the allowed range 1 to 29999."},
        {"b.jsonl", "\n" + with("\"PRICE_SELL\":0.5", "\"PRICE_SELL\":-0.01"),
         "line 2: Field PRICE_SELL: -0.01 is outside the allowed range 0 to 9999999.999."},
        {"c.jsonl", with("\"NAME\":\"Milk\"", "\"NAME\":\"Milk €\""), ""},
        {"d.jsonl", with("\"NAME\":\"Milk\"", "\"NAME\":\"Milk \xE2\x82\xAC\xE2\x98\x83\""),
         "line 1: field \"NAME\" has characters that Windows-1251 cannot hold"},
        {"e.jsonl", with("\"NUMB\":1", "\"NUMB\":1.5"), "line 1: field \"NUMB\" must be a whole number"},
        {"f.jsonl", with("\"NUMB\":1", "\"NUMB\":\"1\""), "line 1: field \"NUMB\" must be a whole number"},
        {"g.jsonl", with(",\"FLAGS\":\"000000000\"", ""), "line 1: field \"FLAGS\" is missing"},
        {"h.jsonl", with("\"NUMB\":1", "\"NUMB\":1,\"EXTRA\":0"), "line 1: unknown field \"EXTRA\""},
        {"i.jsonl", first + "\n{\"NUMB\":", "line 2: not JSON"},
        {"j.jsonl", with("\"TAX_GROUP\":2", "\"TAX_GROUP\":32768"),
         "line 1: Field TAX_GROUP: 32768 is outside the allowed range -32768 to 32767."},
        {"k.plu", record + numb30000, "record 2: Field NUMB: 30000 is outside the allowed range 1 to 29999."},
        {"l.plu", record + overlong, "record 2: the length byte of NAME is 25, more than its capacity of 24"},
    };
    for (const auto& c : cases) {
        dir_.Write(c.file, c.content);
        dir_.Write("old.plu", "old");
        const ToolRun r = Run(std::string("convert ") + F(c.file) + " " + F("old.plu"));
        if (c.message.empty()) { // the euro sign is in the code page
            EXPECT_EQ(r.status, 0) << c.file << ": " << r.err;
            continue;
        }
        EXPECT_EQ(r.status, 1) << c.file;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.file << ": " << r.err;
        EXPECT_EQ(dir_.Read("old.plu"), "old") << c.file;
    }

    ToolRun r = Run("convert " + F("missing.plu") + " -");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    for (const char* args : {"convert a.jsonl", "convert a.jsonl b.txt", "convert a.csv -", "convert a b c"}) {
        r = Run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("ecrtool convert: "), std::string::npos) << r.err;
    }
}

TEST_F(EcrToolConvert, HelpShowsTheRowSchema)
{
    const ToolRun r = Run("convert --help");
    EXPECT_EQ(r.status, 0);
    for (const char* key : {"Usage: ecrtool convert IN OUT", "\"NUMB\":1", "\"FLAGS\":\"000000000\"", "29999"})
        EXPECT_NE(r.out.find(key), std::string::npos) << key;
}

// Workbooks with the export's layout and the import's rules: a round trip
// keeps every value, a refused row writes nothing.
TEST_F(EcrToolConvert, WorkbooksBothWays)
{
    const std::string lines =
        R"({"NUMB":1,"NAME":"Milk","UNIT":"BUC","TAX_GROUP":2,"PAY_TYPE":1,"PLU_GROUP":1,"BARCODE":"0012345678905","PRICE_SELL":0.5,"PLU_SUBGROUP":1,"ALTE_TAXE":"","TAX_VALUE":"","COMMENT":"","FLAGS":"000000001"})" "\n"
        R"({"NUMB":29999,"NAME":"Хляб","UNIT":"бр.","TAX_GROUP":1,"PAY_TYPE":9,"PLU_GROUP":30,"BARCODE":"123456789012345678,501","PRICE_SELL":9999999.999,"PLU_SUBGROUP":10,"ALTE_TAXE":"Eco","TAX_VALUE":"0.05","COMMENT":"c","FLAGS":"010000000"})" "\n";
    dir_.Write("in.jsonl", lines);
    ToolRun r = Run("convert " + F("in.jsonl") + " " + F("list.xlsx"));
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("convert " + F("list.xlsx") + " -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, lines);

    r = Run("convert " + F("list.xlsx") + " " + F("list.ods"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ecrtool convert: cannot write '" + dir_.File("list.ods") +
                         "': workbooks are written as .xlsx or .xls\n");

    dir_.Write("old.jsonl", "kept");
    r = Run(std::string("convert '") + WORKBOOK_FIXTURES + "/plu-edge.lo.ods' " + F("old.jsonl"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("ecrtool convert: '") + WORKBOOK_FIXTURES +
                         "/plu-edge.lo.ods': Excel file contain invalid data.\nRow: 6 Column: 6\n"
                         "Invalid PLU price \"-1\"\n");
    EXPECT_EQ(dir_.Read("old.jsonl"), "kept");

    dir_.Write("text.xlsx", "not a workbook");
    r = Run("convert " + F("text.xlsx") + " -");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ecrtool convert: cannot read '" + dir_.File("text.xlsx") + "': WorkBook not found.\n");
}
