// The backup file: what is written reads back the same, and every kind of
// damage is refused with its reason and its place.

#include "support/SamplePlu.h"
#include "support/TempDir.h"

#include "core/backup/BackupFile.h"
#include "core/base/CodePage.h"

#include <gtest/gtest.h>

namespace {

TRegisterBackup SampleBackup()
{
    TRegisterBackup b;
    b.Time = "2026-12-10T15:04:44Z";
    TRegisterContent& c = b.Content;
    c.Info = {"SIM-ECR", "1.00.0", "SM00001234", "FM00005678", "1"};
    c.IsFiscal = true;
    c.Tin = "123456789";
    c.FiscalName = *Utf8ToCodePage("Магазин");
    c.Taxes = {{1, "Eco tax", ""}, {2, "", ""}};
    TECR_PLU plu = SamplePlu();
    plu.Price = 0.1 + 0.2; // needs all 17 digits to come back exactly
    c.Plues = {plu};
    plu.Number = 13;
    plu.Flags[kPluDeletedFlag] = true;
    c.Plues.push_back(plu);
    TECR_Cashier cashier;
    cashier.Number = 3;
    cashier.Name = "Front, desk";
    cashier.Password = "12,3";
    cashier.Reports = true;
    c.Cashiers = {cashier};
    c.AdvLines[0] = c.FiscalName;
    c.AdvLines[9] = "Come again";
    return b;
}

// The sample's text with one piece replaced; the piece must be there.
std::string Tampered(const std::string& from, const std::string& to)
{
    std::string text = BackupToJson(SampleBackup());
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(BackupFile, WrittenFileReadsBackTheSameOneRecordALine)
{
    TempDir dir;
    const TRegisterBackup backup = SampleBackup();
    std::string error;
    ASSERT_TRUE(WriteBackupFile(dir.File("b.json"), backup, error)) << error;
    const std::string text = dir.Read("b.json");
    EXPECT_EQ(text.rfind("{\n  \"Format\": \"register-backup\",\n  \"FormatVersion\": 1,\n"
                         "  \"Time\": \"2026-12-10T15:04:44Z\",\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\n  \"AlteTaxes\": [\n    {\"Number\":1,\"Name\":\"Eco tax\"},\n"
                        "    {\"Number\":2,\"Name\":\"\"}\n  ],\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Name\":\"Магазин\""), std::string::npos) << text;

    TRegisterBackup back;
    ASSERT_TRUE(ReadBackupFile(dir.File("b.json"), back, error)) << error;
    EXPECT_EQ(back.Time, backup.Time);
    EXPECT_EQ(BackupToJson(back), text);
    EXPECT_EQ(back.Content.Plues, backup.Content.Plues);
    EXPECT_EQ(back.Content.Cashiers, backup.Content.Cashiers);
    EXPECT_EQ(back.Content.AdvLines, backup.Content.AdvLines);

    // An empty register is a sound backup too, and a BOM from an editor is no damage.
    TRegisterBackup empty;
    dir.Write("e.json", "\xEF\xBB\xBF" + BackupToJson(empty));
    ASSERT_TRUE(ReadBackupFile(dir.File("e.json"), back, error)) << error;
    EXPECT_TRUE(back.Content.Plues.empty());

    // A file that cannot be replaced keeps what it had.
    EXPECT_FALSE(WriteBackupFile(dir.File("no/such/folder/b.json"), backup, error));
    EXPECT_EQ(error, "cannot write '" + dir.File("no/such/folder/b.json") + "'");
    EXPECT_FALSE(ReadBackupFile(dir.File("missing.json"), back, error));
    EXPECT_EQ(error, "cannot read '" + dir.File("missing.json") + "'");
}

TEST(BackupFile, DamageIsRefusedWithItsReasonAndPlace)
{
    const std::string plu12 = "{\"Number\":12,";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"{\"Format\": \"register-backup\",\n  \"FormatVersion\": 1,\n  \"Time\" \"x\"}",
         "not JSON: expected ':' at line 3 column 10"},
        {"[1, 2]", "not a register backup (no \"Format\": \"register-backup\")"},
        {Tampered("\"FormatVersion\": 1", "\"FormatVersion\": 2"),
         "format version 2 is not one this program reads (it reads 1)"},
        {Tampered("\"Time\"", "\"When\""), "field \"Time\" is missing"},
        {Tampered("\n  \"AdvLines\"", "\n  \"Extra\": 0,\n  \"AdvLines\""), "unknown field \"Extra\""},
        {Tampered("\"Model\":\"SIM-ECR\",", ""), "Register: field \"Model\" is missing"},
        {Tampered("[\n    {\"Number\":1,\"Name\":\"Eco tax\"},\n    {\"Number\":2,\"Name\":\"\"}\n  ]", "{}"),
         "field \"AlteTaxes\" must be an array"},
        {Tampered("\"Group\":3", "\"Group\":256"),
         "Plues, item 1: field \"Group\" must be a whole number from 0 to 255"},
        {Tampered("\"Unit\":\"BUC\"", "\"Unit\":\"B,C\""), "Plues, item 1 (PLU 12): Unit must not contain a comma"},
        {Tampered("\"Unit\":\"BUC\"", "\"Unit\":\"日\""),
         "Plues, item 1: field \"Unit\" has characters that Windows-1251 cannot hold"},
        {Tampered(plu12, "{\"Number\":0,"), "Plues, item 1 (PLU 0): PLU number 0 is not possible"},
        {Tampered("{\"Number\":13,", plu12), "Plues, item 2 (PLU 12): the number is given twice"},
        {Tampered("{\"Number\":2,\"Name\":\"\"}", "{\"Number\":2,\"Name\":\"a,b\"}"),
         "AlteTaxes, item 2 (alte taxe 2): Name must not contain a comma"},
        {Tampered("\"Name\":\"Front, desk\"", "\"Name\":\"\""),
         "Cashiers, item 1 (cashier 3): Name must not be empty (writing a cashier without a name deletes it)"},
        {Tampered("\"Come again\"", "\"Come\\u0001again\""), "AdvLines: Line 9 must not contain a control character"},
        {Tampered("\"Come again\"]", "\"Come again\", \"\"]"), "AdvLines: an array of ten strings is expected"},
    };
    for (const auto& c : cases) {
        TRegisterBackup backup = SampleBackup();
        std::string error;
        EXPECT_FALSE(BackupFromJson(c.text, backup, error)) << c.error;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(backup.Content.Plues, SampleBackup().Content.Plues); // nothing filled from a bad file
    }
}
