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
    std::vector<std::string> errors;

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
        log.push_back("failed " + std::to_string(o.Record.Number));
        errors.push_back(o.Error);
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
    EXPECT_EQ(Commands(), (std::vector<std::string>{"cd /fd0/4/alte/", "ls", "cat /fd0/4/alte/1", "cat /fd0/4/alte/2", "cat /fd0/4/alte/3"}));
}

TEST_F(PluTransferTest, AFailedTaxReadNeverSendsAWrongTaxId)
{
    // The tax list cannot be read, the write itself would work.
    sim.SetCommandHandler([](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
        if (line != "cat /fd0/4/alte/2")
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

    // Row 2 is invalid (ignored), row 4 fails once (retried: sent again).
    RefusePut(4, 1);
    ScriptedDecisions d;
    d.failure = {TPluFailureChoice::Retry};
    const TPluSaveSummary s = SavePluRows(table, AllPluRows(table), ecr, kRegisterPluLimits, nullptr, d);
    EXPECT_EQ(d.log, (std::vector<std::string>{"send@0", "sent 1", "send@1", "invalid 2", "send@2", "sent 3",
                                               "send@3", "failed 4", "send@3", "sent 4", "send@4", "sent 5"}));
    ASSERT_EQ(d.errors.size(), 1u);
    EXPECT_TRUE(StartsWith(d.errors[0], "WriteSinglePlu failed! -> ")) << d.errors[0];
    EXPECT_NE(d.errors[0].find("Disk full"), std::string::npos) << d.errors[0];
    EXPECT_EQ(d.questions, 6u); // before every attempt, the retry included
    EXPECT_EQ(s.Written, 4);
    EXPECT_EQ(s.Invalid, 1);
    EXPECT_EQ(s.Failed, 0);
    EXPECT_FALSE(s.AllWritten()) << "an invalid row was not written";
    EXPECT_EQ(s.AbortedAt, kNoPluRow);
    EXPECT_EQ(s.LastRow, table.Id(4));
    EXPECT_EQ(table.Current(), 4);
    EXPECT_TRUE(sim.GetFile(PluPath(4)));
    EXPECT_FALSE(sim.GetFile(PluPath(2)));
}

TEST_F(PluTransferTest, SaveLoopEndsOnAbortCancelAndSkip)
{
    PluTable table;
    for (int n : {1, 2, 3})
        table.AppendRow(Row(n, 2, "", n == 2 ? 0 : 1));
    const std::vector<TPluRowId> all = AllPluRows(table);

    // Abort at the invalid row: it is where the run stopped.
    ScriptedDecisions abortInvalid;
    abortInvalid.invalid = {TPluInvalidChoice::Abort};
    TPluSaveSummary s = SavePluRows(table, all, ecr, kRegisterPluLimits, nullptr, abortInvalid);
    EXPECT_EQ(s.AbortedAt, all[1]);
    EXPECT_TRUE(s.AbortedAtInvalid);
    EXPECT_EQ(s.Written, 1);
    EXPECT_FALSE(s.AllWritten());
    EXPECT_FALSE(sim.GetFile(PluPath(3)));

    // Abort at a register failure.
    sim.ClearFiles();
    RefusePut(1, 1);
    ScriptedDecisions abortFailure;
    abortFailure.failure = {TPluFailureChoice::Abort};
    s = SavePluRows(table, all, ecr, kRegisterPluLimits, nullptr, abortFailure);
    EXPECT_EQ(s.AbortedAt, all[0]);
    EXPECT_FALSE(s.AbortedAtInvalid);
    EXPECT_EQ(s.Failed, 1);
    EXPECT_EQ(s.Written, 0);

    // Skip goes on with the next row.
    RefusePut(1, 1);
    ScriptedDecisions skip;
    s = SavePluRows(table, all, ecr, kRegisterPluLimits, nullptr, skip);
    EXPECT_EQ(skip.log, (std::vector<std::string>{"send@0", "failed 1", "send@1", "invalid 2", "send@2", "sent 3"}));
    EXPECT_EQ(s.Failed, 1);
    EXPECT_EQ(s.Written, 1);

    // Cancel before the second row; every row written before it stays.
    sim.ClearFiles();
    ScriptedDecisions cancel;
    cancel.cancel = {false, true};
    s = SavePluRows(table, all, ecr, kRegisterPluLimits, nullptr, cancel);
    EXPECT_TRUE(s.Cancelled);
    EXPECT_FALSE(s.AllWritten());
    EXPECT_EQ(cancel.log, (std::vector<std::string>{"send@0", "sent 1"}));
    EXPECT_TRUE(sim.GetFile(PluPath(1)));

    // Selected rows in the order given; a row gone from the table is not
    // written and keeps the run from counting as complete.
    sim.ClearFiles();
    const std::vector<TPluRowId> selected = {all[2], all[0]};
    table.RemoveRow(0);
    ScriptedDecisions some;
    s = SavePluRows(table, selected, ecr, kRegisterPluLimits, nullptr, some);
    EXPECT_EQ(some.log, (std::vector<std::string>{"send@1", "sent 3"}));
    EXPECT_FALSE(s.AllWritten());
    EXPECT_EQ(s.LastRow, all[2]);
}

TEST_F(PluTransferTest, FastSaveReadsTheTaxesOnceAndWritesInOneConnection)
{
    PluTable table;
    for (int n : {1, 2, 3, 4, 5})
        table.AppendRow(Row(n, 2, n == 3 ? "Eco tax" : "", n == 2 ? 31 : 1));

    // Row 2 is named before anything is sent; row 4 is refused once and
    // retried in a new connection.
    RefusePut(4, 1);
    ScriptedDecisions d;
    d.failure = {TPluFailureChoice::Retry};
    TPluSaveSummary s;
    ASSERT_TRUE(SavePluRowsFast(table, AllPluRows(table), ecr, kRegisterPluLimits, d, s));
    EXPECT_EQ(d.log, (std::vector<std::string>{"invalid 2", "send@0", "sent 1", "send@2", "sent 3", "send@3",
                                               "failed 4", "send@3", "sent 4", "send@4", "sent 5"}));
    ASSERT_EQ(d.errors.size(), 1u);
    EXPECT_TRUE(StartsWith(d.errors[0], "WriteAllPlues failed! -> WritePlu (PLU 4) -> ")) << d.errors[0];
    EXPECT_EQ(s.Written, 4);
    EXPECT_EQ(s.Invalid, 1);
    EXPECT_EQ(s.Failed, 0);
    EXPECT_EQ(sim.UnlockCount(), 3); // the tax list, the writes, the writes again from row 4
    EXPECT_EQ(sim.GetFile(PluPath(3)),
              "plu,3,Item 3\r\nbar,\r\nprc,1.25,2,BUC\r\ndep,1,1,\r\nalte,3,,Eco tax\r\nflg,00\r\n");
    EXPECT_FALSE(sim.GetFile(PluPath(2)));

    // Skip goes on after the refused row; a cancel stops before the next one.
    sim.ClearFiles();
    RefusePut(1, 1);
    ScriptedDecisions skipThenCancel;
    skipThenCancel.cancel = {false, false, true};
    ASSERT_TRUE(SavePluRowsFast(table, AllPluRows(table), ecr, kRegisterPluLimits, skipThenCancel, s));
    EXPECT_EQ(skipThenCancel.log,
              (std::vector<std::string>{"invalid 2", "send@0", "failed 1", "send@2", "sent 3", "send@3"}));
    EXPECT_TRUE(s.Cancelled);
    EXPECT_EQ(s.Failed, 1);
    EXPECT_EQ(s.Written, 1);
    EXPECT_FALSE(sim.GetFile(PluPath(4)));

    // No tax list, nothing sent.
    sim.ClearLogs();
    sim.SetRefusal("ls", ecrsim::TRefusal::Reject);
    ScriptedDecisions none;
    EXPECT_FALSE(SavePluRowsFast(table, AllPluRows(table), ecr, kRegisterPluLimits, none, s));
    EXPECT_TRUE(StartsWith(ecr.LastError, "ReadAllAlteTaxes failed -> ")) << ecr.LastError;
    EXPECT_TRUE(none.log.empty());
}

TEST_F(PluTransferTest, AllRowsWrittenIsASuccess)
{
    PluTable table;
    for (int n : {9, 3})
        table.AppendRow(Row(n));
    ScriptedDecisions d;
    const TPluSaveSummary s = SavePluRows(table, AllPluRows(table), ecr, kRegisterPluLimits, nullptr, d);
    EXPECT_TRUE(s.AllWritten());
    EXPECT_EQ(s.Written, 2);
}

TEST_F(PluTransferTest, AppendPluRecordsSkipsEmptyEntriesAndStopsAtARefusedValue)
{
    TECR_PLU_List records(4);
    records[0] = PluRecordFromRow(Row(3));
    records[0].Barcode = "501,502";
    records[2] = PluRecordFromRow(Row(30000 - 1));
    records[3] = PluRecordFromRow(Row(8));
    records[3].Number = 30000;
    PluTable table;
    TUsedBarcodes barcodes;
    std::vector<std::string> log;
    EXPECT_THROW(AppendPluRecords(records, table, barcodes, [&](int i) { log.push_back("entry " + std::to_string(i)); },
                                  [&](int i) { log.push_back("row " + std::to_string(i)); }),
                 EPluFieldError);
    EXPECT_EQ(log, (std::vector<std::string>{"entry 0", "row 0", "entry 1", "entry 2", "row 2", "entry 3"}));
    ASSERT_EQ(table.Count(), 2);
    EXPECT_EQ(table.Row(1).NUMB, 29999);
    EXPECT_EQ(barcodes.Count(), 2);
    EXPECT_TRUE(barcodes.Contains("502"));

    // In the list that refuses duplicates, a repeated barcode ends the load
    // with its row appended.
    TECR_PLU_List twice = {records[0], records[0]};
    twice[1].Number = 4;
    table.Clear();
    barcodes.Clear();
    barcodes.RefuseDuplicates();
    EXPECT_THROW(AppendPluRecords(twice, table, barcodes), EDuplicateBarcode);
    EXPECT_EQ(table.Count(), 2);
}

TEST_F(PluTransferTest, AlteTaxeListLoadsSavesAndEmptiesOnAFailedWrite)
{
    TECR_ALTETAXE_List taxes;
    sim.PutFile("/fd0/4/alte/4", "alte,4,\r\n");
    ASSERT_TRUE(ecr.ReadAllAlteTaxes(taxes)) << ecr.LastError;
    TAlteTaxeTable table;
    int changes = 0;
    table.Changed = [&] { ++changes; };
    std::vector<int> entries;
    LoadAlteTaxeRows(taxes, table, [&](int i) { entries.push_back(i); });
    EXPECT_EQ(entries, (std::vector<int>{0, 1, 2, 3}));
    ASSERT_EQ(table.Count(), 3) << "the tax with an empty name is left out";
    EXPECT_EQ(table.Row(2).NAME, "Eco tax");
    EXPECT_EQ(table.HighestNumber(), 3);
    EXPECT_GT(changes, 0);

    // A deleted row is written with the pending number and an empty name.
    table.ClearRow(1);
    EXPECT_FALSE(table.Row(1).NUMB);
    table.Append(8, "Tourist tax with a long name");
    EXPECT_EQ(table.Row(3).NAME, "Tourist tax with a l");
    table.SetCurrent(0);
    struct Decisions : TAlteTaxeSaveDecisions {
        bool CancelRequested() override { return false; }
        void Failed(int32_t n) override { failed.push_back(n); }
        void Saved(int32_t n) override { saved.push_back(n); }
        std::vector<int32_t> saved, failed;
    } d;
    TAlteTaxeSaveSummary s = SaveAllAlteTaxes(ecr, table, 2, d);
    EXPECT_FALSE(s.Failed);
    EXPECT_EQ(d.saved, (std::vector<int32_t>{1, 2, 3, 8}));
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/2"), "alte,2,\r\n");
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/8"), "alte,8,Tourist tax with a l\r\n");
    EXPECT_EQ(table.Current(), 0);

    // A write the register refuses empties the list and ends the run.
    sim.SetCommandHandler([](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
        if (line != "put /fd0/4/alte/3")
            return std::nullopt;
        ecrsim::TCommandReply reply;
        reply.Parts = {{'L', "Disk full"}};
        return reply;
    });
    Decisions d2;
    s = SaveAllAlteTaxes(ecr, table, 2, d2);
    EXPECT_TRUE(s.Failed);
    EXPECT_EQ(d2.saved, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(d2.failed, (std::vector<int32_t>{3}));
    EXPECT_TRUE(table.Empty());
    EXPECT_EQ(table.Current(), -1);

    // Numbers outside 1..30000 are refused.
    EXPECT_THROW(table.Append(0, "x"), EAlteTaxeFieldError);
    EXPECT_THROW(table.Append(30001, "x"), EAlteTaxeFieldError);
    EXPECT_TRUE(table.Empty());
    try {
        table.Append(0, "x");
    } catch (const EAlteTaxeFieldError& e) {
        EXPECT_STREQ(e.what(), "Field NUMB: 0 is outside the allowed range 1 to 30000.");
    }
}

TEST(AlteTaxeRecord, PendingNumberForARowWithoutOne)
{
    EXPECT_EQ(AlteTaxeRecordFromRow({5, "Eco"}, 9), (TECR_ALTETAXE{5, "Eco", "5"}));
    EXPECT_EQ(AlteTaxeRecordFromRow({std::nullopt, ""}, 9), (TECR_ALTETAXE{9, "", ""}));
    EXPECT_EQ(AlteTaxeRecordFromRow({0, "x"}, 9), (TECR_ALTETAXE{9, "x", "0"}));
}

TEST(PluEditRules, NumberText)
{
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"7", 7}, {"07", 7}, {" 12 ", 12}, {"29999", 29999}, {"30000", std::nullopt}, {"0", std::nullopt},
        {"-3", std::nullopt}, {"", std::nullopt}, {"1a", std::nullopt}, {"1.0", std::nullopt}, {"+5", 5},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(PluNumberFromText(text), value) << text;
}

TEST(PluEditRules, NumberUseAndBarcodes)
{
    PluTable table;
    table.AppendRow(Row(7));
    TPluRow deleted = Row(8);
    deleted.SetText(F::FLAGS, "000000010");
    table.AppendRow(deleted);
    table.AppendRow(deleted);
    TPluRow shortFlags = Row(9);
    shortFlags.SetText(F::FLAGS, "0000000");
    table.AppendRow(shortFlags);

    EXPECT_TRUE(FindPluNumberUse(table, 7).Live);
    const TPluNumberUse eight = FindPluNumberUse(table, 8);
    EXPECT_FALSE(eight.Live);
    EXPECT_EQ(eight.DeletedRows, (std::vector<TPluRowId>{table.Id(1), table.Id(2)}));
    EXPECT_TRUE(FindPluNumberUse(table, 9).Live);
    EXPECT_FALSE(FindPluNumberUse(table, 10).Live);

    TUsedBarcodes used;
    used.AddBarcodesOf("ABC,501");
    using P = TPluBarcodeProblem;
    const std::tuple<const char*, const char*, P> cases[] = {
        {"abc", "", P::InUse},      {"502", "", P::None},       {"502,502", "", P::Repeated},
        {"x,X", "", P::None},       {"ABC", "ABC", P::None},    {"", "501", P::None},
        {"1,,2", "", P::None},      {"1,,2,", "", P::Repeated}, {"502,501", "", P::InUse},
    };
    for (const auto& [text, original, problem] : cases)
        EXPECT_EQ(CheckPluBarcodes(text, original, used), problem) << text;
}

TEST(PluEditRules, MultiChangeSetsOnlyWhatWasChosen)
{
    PluTable table;
    for (int n : {42, 5, 6})
        table.AppendRow(Row(n));
    TPluRow row = table.Row(2);
    row.SetText(F::BARCODE, "keep");
    table.SetRow(2, row);
    TMultiPluChange change;
    change.Group = 10;
    change.Barcode = TMultiBarcode::FromNumber;
    change.Flags = "100000000";
    ApplyMultiPluChange(table, {table.Id(1), table.Id(0)}, change);
    EXPECT_EQ(table.Row(0).BARCODE, "000000000042");
    EXPECT_EQ(table.Row(1).BARCODE, "000000000005");
    EXPECT_EQ(table.Row(0).PLU_GROUP, 10);
    EXPECT_EQ(table.Row(0).FLAGS, "100000000");
    EXPECT_EQ(table.Row(0).TAX_GROUP, 2);
    EXPECT_EQ(table.Row(2).BARCODE, "keep");
    EXPECT_EQ(table.Row(2).PLU_GROUP, 1);
    EXPECT_EQ(table.Current(), 0);

    TMultiPluChange empty;
    empty.Barcode = TMultiBarcode::Empty;
    empty.TaxGroup = 3;
    empty.PayType = 4;
    empty.SubGroup = 9;
    ApplyMultiPluChange(table, {table.Id(2)}, empty);
    EXPECT_EQ(table.Row(2).BARCODE, "");
    EXPECT_EQ(table.Row(2).TAX_GROUP, 3);
    EXPECT_EQ(table.Row(2).PAY_TYPE, 4);
    EXPECT_EQ(table.Row(2).PLU_SUBGROUP, 9);
    EXPECT_EQ(table.Row(2).FLAGS, "000000000");
}
