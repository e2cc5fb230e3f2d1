// PLU rows to and from the register, the send loop's decisions, the alte
// taxe list and the edit dialogs' rules, against the register simulator.

#include "core/plu/AlteTaxeList.h"
#include "core/plu/PluEditRules.h"
#include "core/plu/PluTransfer.h"

#include "support/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

using F = TPluField;

TPluRow Row(int numb, int vat = 2, const std::string& tax = "", int group = 1, int subgroup = 1)
{
    TPluRow r;
    r.SetInt(F::NUMB, numb);
    r.SetText(F::NAME, "Item " + std::to_string(numb));
    r.SetText(F::UNIT, "BUC");
    r.SetInt(F::TAX_GROUP, vat);
    r.SetInt(F::PAY_TYPE, 1);
    r.SetInt(F::PLU_GROUP, group);
    r.SetInt(F::PLU_SUBGROUP, subgroup);
    r.SetText(F::ALTE_TAXE, tax);
    r.SetText(F::FLAGS, "000000000");
    r.SetFloat(F::PRICE_SELL, 1.25);
    return r;
}

std::string PluPath(int n) { return std::string(kPluDir) + std::to_string(n); }

// Answers as the test says and writes down what it was asked.
struct ScriptedDecisions : TPluSaveDecisions {
    std::vector<bool> cancel;                 // per question, false once used up
    std::vector<TPluInvalidChoice> invalid;   // per invalid row, Ignore once used up
    std::vector<TPluFailureChoice> failure;   // per failure, Skip once used up
    std::vector<std::string> log;

    bool CancelRequested() override
    {
        const bool answer = questions < cancel.size() && cancel[questions];
        ++questions;
        return answer;
    }
    void Sending(int position) override { log.push_back("send@" + std::to_string(position)); }
    TPluInvalidChoice Invalid(const TPluSendOutcome& o) override
    {
        log.push_back("invalid " + std::to_string(o.Record.Number));
        return invalids < invalid.size() ? invalid[invalids++] : TPluInvalidChoice::Ignore;
    }
    TPluFailureChoice Failed(const TPluSendOutcome& o) override
    {
        log.push_back("failed " + std::to_string(o.Record.Number) + ": " + o.Error);
        return failures < failure.size() ? failure[failures++] : TPluFailureChoice::Skip;
    }
    void Sent(const TPluSendOutcome& o) override { log.push_back("sent " + std::to_string(o.Record.Number)); }

    std::size_t questions = 0, invalids = 0, failures = 0;
};

class PluTransferTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        sim.PutFile("/fd0/4/alte/1", "alte,1,Eco tax\r\n");
        sim.PutFile("/fd0/4/alte/2", "alte,2,Deposit\r\n");
        sim.PutFile("/fd0/4/alte/3", "alte,3,Eco tax\r\n");
    }

    // The register refuses the next count writes of a PLU file.
    void RefusePut(int numb, int count)
    {
        refusals_[numb] = count;
        sim.SetCommandHandler([this](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
            for (auto& [n, left] : refusals_)
                if (left > 0 && line == "put " + PluPath(n)) {
                    --left;
                    ecrsim::TCommandReply reply;
                    reply.Parts = {{'L', "Disk full"}};
                    return reply;
                }
            return std::nullopt;
        });
    }

    TEcrDevice ecr{kPort};
    std::map<int, int> refusals_;
};

} // namespace

TEST(PluRecordConversion, RowToRecordAndBack)
{
    struct Case {
        int vat, group, payType;
        std::string flags;
        int sentVat, sentGroup, sentPayType;
        std::array<bool, 9> sentFlags;
    } cases[] = {
        {1, 3, 1, "000001000", 2, 3, 1, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
        {3, 30, 9, "1", 3, 30, 9, {1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {4, 257, 258, "000000011", 4, 1, 2, {0, 0, 0, 0, 0, 0, 0, 1, 1}},
        {257, -1, 0, "", 2, 255, 0, {}},
    };
    for (const Case& c : cases) {
        TPluRow row = Row(12, c.vat);
        row.SetInt(F::PLU_GROUP, c.group);
        row.SetInt(F::PAY_TYPE, c.payType);
        row.SetText(F::FLAGS, c.flags);
        row.SetText(F::BARCODE, "501,502");
        row.SetText(F::ALTE_TAXE, "Eco tax");
        row.SetText(F::TAX_VALUE, "0.5");
        row.SetText(F::COMMENT, "fresh");
        const TECR_PLU plu = PluRecordFromRow(row);
        EXPECT_EQ(plu.TaxGroup, c.sentVat) << c.vat;
        EXPECT_EQ(plu.Group, c.sentGroup) << c.group;
        EXPECT_EQ(plu.PayType, c.sentPayType) << c.payType;
        EXPECT_EQ(plu.Flags, c.sentFlags) << c.flags;
        EXPECT_EQ(plu.Number, 12u);
        EXPECT_EQ(plu.Barcode, "501,502");
        EXPECT_EQ(plu.AlteTaxeName, "Eco tax");
        EXPECT_EQ(plu.AlteTaxeId, 0);
        EXPECT_EQ(plu.TaxValue, "0.5");
        EXPECT_EQ(plu.Comment, "fresh");
        EXPECT_EQ(plu.Unit, "BUC");
        EXPECT_EQ(plu.Price, 1.25);
    }

    // Back from the register: VAT group as it came, nine flag characters,
    // texts cut to the table's widths.
    TECR_PLU plu = PluRecordFromRow(Row(7, 1));
    plu.Name = std::string(30, 'n');
    plu.Flags[8] = true;
    plu.TaxGroup = 1;
    const TPluRow back = PluRowFromRecord(plu);
    EXPECT_EQ(back.TAX_GROUP, 1);
    EXPECT_EQ(back.FLAGS, "000000001");
    EXPECT_EQ(back.NAME, std::string(20, 'n'));
    EXPECT_EQ(back.NUMB, 7);

    plu.Number = 30000;
    EXPECT_THROW(PluRowFromRecord(plu), EPluFieldError);
}

TEST(PluRecordCheck, LimitsOfEachField)
{
    const TPluSendLimits limits{30000, 10};
    struct Case {
        const char* what;
        void (*change)(TECR_PLU&);
        bool valid;
    } cases[] = {
        {"as built", [](TECR_PLU&) {}, true},
        {"number 0", [](TECR_PLU& p) { p.Number = 0; }, false},
        {"number 30000", [](TECR_PLU& p) { p.Number = 30000; }, true},
        {"number 30001", [](TECR_PLU& p) { p.Number = 30001; }, false},
        {"price -0.01", [](TECR_PLU& p) { p.Price = -0.01; }, false},
        {"price 0", [](TECR_PLU& p) { p.Price = 0; }, true},
        {"group 0", [](TECR_PLU& p) { p.Group = 0; }, false},
        {"group 31", [](TECR_PLU& p) { p.Group = 31; }, false},
        {"department 10", [](TECR_PLU& p) { p.SubGroup = 10; }, true},
        {"department 11", [](TECR_PLU& p) { p.SubGroup = 11; }, false},
        {"VAT group 0", [](TECR_PLU& p) { p.TaxGroup = 0; }, false},
        {"VAT group 5", [](TECR_PLU& p) { p.TaxGroup = 5; }, false},
    };
    for (const Case& c : cases) {
        TECR_PLU plu = PluRecordFromRow(Row(5));
        c.change(plu);
        EXPECT_EQ(PluRecordValid(plu, limits), c.valid) << c.what;
    }
    // The program's limits before any register was asked refuse everything.
    EXPECT_FALSE(PluRecordValid(PluRecordFromRow(Row(5)), TPluSendLimits{0, 0}));
}

TEST(AlteTaxeIds, LastOfTheSameNameWinsAndNoNameIsZero)
{
    const TECR_ALTETAXE_List taxes = {{1, "Eco tax", ""}, {4, "", ""}, {2, "Deposit", ""}, {3, "Eco tax", ""}};
    EXPECT_EQ(FindAlteTaxeId(taxes, "Eco tax"), 3);
    EXPECT_EQ(FindAlteTaxeId(taxes, "Deposit"), 2);
    EXPECT_EQ(FindAlteTaxeId(taxes, "eco tax"), 0);
    EXPECT_EQ(FindAlteTaxeId(taxes, "Eco"), 0);
    EXPECT_EQ(FindAlteTaxeId(taxes, ""), 0);
}

TEST_F(PluTransferTest, SendPluRowLooksTheTaxUpAndWritesTheRecord)
{
    const TPluSendOutcome sent = SendPluRow(ecr, Row(12, 1, "Eco tax"), kRegisterPluLimits, nullptr);
    ASSERT_EQ(sent.Result, psSent) << sent.Error;
    EXPECT_EQ(sent.Record.AlteTaxeId, 3);
    EXPECT_EQ(sim.GetFile(PluPath(12)),
              "plu,12,Item 12\r\nbar,\r\nprc,1.25,2,BUC\r\ndep,1,1,\r\nalte,3,,Eco tax\r\nflg,00\r\n");

    // Loading it back gives VAT group 2.
    TECR_PLU_List list;
    ASSERT_TRUE(ecr.ReadAllPlues(list)) << ecr.LastError;
    PluTable table;
    TUsedBarcodes barcodes;
    AppendPluRecords(list, table, barcodes);
    ASSERT_EQ(table.Count(), 1);
    EXPECT_EQ(table.Row(0).TAX_GROUP, 2);

    // An invalid row costs the tax read but sends nothing.
    sim.ClearLogs();
    const TPluSendOutcome invalid = SendPluRow(ecr, Row(13, 2, "", 1, 11), kRegisterPluLimits, nullptr);
    EXPECT_EQ(invalid.Result, psInvalid);
    EXPECT_FALSE(sim.GetFile(PluPath(13)));
    EXPECT_EQ(Commands(), (std::vector<std::string>{"cd /fd0/4/alte/", "ls", "cat 1", "cat 2", "cat 3"}));
}

TEST_F(PluTransferTest, AFailedTaxReadNeverSendsAWrongTaxId)
{
    // The tax list cannot be read, the write itself would work.
    sim.SetCommandHandler([](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
        if (line != "cat 2")
            return std::nullopt;
        ecrsim::TCommandReply reply;
        reply.Parts = {{'L', "Read error"}};
        return reply;
    });
    const TPluSendOutcome named = SendPluRow(ecr, Row(20, 2, "Deposit"), kRegisterPluLimits, nullptr);
    EXPECT_EQ(named.Result, psFailed);
    EXPECT_TRUE(StartsWith(named.Error, "ReadAllAlteTaxes failed -> ")) << named.Error;
    EXPECT_FALSE(sim.GetFile(PluPath(20)));

    const TPluSendOutcome untaxed = SendPluRow(ecr, Row(21), kRegisterPluLimits, nullptr);
    EXPECT_EQ(untaxed.Result, psSent) << untaxed.Error;
    EXPECT_EQ(untaxed.Record.AlteTaxeId, 0);
    EXPECT_TRUE(sim.GetFile(PluPath(21)));
}

TEST_F(PluTransferTest, SaveLoopFollowsTheDecisions)
{
    PluTable table;
    for (int n : {1, 2, 3, 4, 5})
        table.AppendRow(Row(n, 2, "", n == 2 ? 31 : 1));
    table.SetCurrent(0);

    // Row 2 is invalid (ignored), row 4 fails once (retried, then written).
    RefusePut(4, 1);
    ScriptedDecisions d;
    d.failure = {TPluFailureChoice::Retry};
    TPluSaveSummary s = SavePluRows(table, AllPluRows(table), ecr, kRegisterPluLimits, nullptr, d);
    EXPECT_EQ(d.log, (std::vector<std::string>{"send@0", "sent 1", "send@1", "invalid 2", "send@2", "sent 3",
                                               "send@3",
                                               "failed 4: WriteSinglePlu failed! -> WritePlu -> WritePlu failed! -> "
                                               "SetFileContent -> " +
                                                   std::string(""),
                                               "send@3", "sent 4", "send@4", "sent 5"}))
        << ::testing::PrintToString(d.log);
    EXPECT_EQ(s.Written, 4);
    EXPECT_EQ(s.Invalid, 1);
    EXPECT_FALSE(s.AllWritten());
    EXPECT_EQ(s.AbortedAt, kNoPluRow);
    EXPECT_EQ(table.Current(), 4);
    EXPECT_TRUE(sim.GetFile(PluPath(4)));
    EXPECT_FALSE(sim.GetFile(PluPath(2)));
}
