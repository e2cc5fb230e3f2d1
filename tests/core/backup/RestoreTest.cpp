// Backup and restore between two register simulators: a clone gives the same
// register files byte for byte, a restore writes only what differs and
// deletes what the backup lacks the register's way, a fiscal target keeps its
// fiscal name, and a stop in the middle says what was written.

#include "support/DeviceFixture.h"
#include "support/SamplePlu.h"

#include "core/backup/BackupFile.h"
#include "core/base/CodePage.h"

namespace {

constexpr int kTargetPort = 9;
constexpr int kSampleCount = 60; // more than one listing page of the simulator

std::vector<std::string> PutsOf(const ecrsim::TEcrSim& sim)
{
    std::vector<std::string> puts;
    for (const auto& p : sim.ReceivedPackets())
        if (!p.Repeat && (p.Type == 'R' || p.Type == 'S') && StartsWith(p.Data, "put "))
            puts.push_back(p.Data);
    return puts;
}

} // namespace

// `sim` (COM7) is the register backed up, `target` (COM9) the one restored.
class RestoreTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ASSERT_TRUE(target.Start()) << target.Error();
        ASSERT_TRUE(target.LinkAs(dir.File("dosdevices/com9"))) << target.Error();
        source.PortNumber = kPort;
        ecr.PortNumber = kTargetPort;
    }

    // The sample register, with what tests the formats' corners: a name with
    // a comma, a PLU marked deleted, a tax without a name, and advertising
    // lines written by the program itself.
    void Populate()
    {
        sim.FillSample(kSampleCount);
        ASSERT_TRUE(source.WriteSinglePlu(SamplePlu())) << source.LastError;
        sim.PutFile("/sd0/db0/61", "plu,61,Old\r\nbar,\r\nprc,2,2,BUC\r\ndep,1,1,\r\nalte,0,,\r\nflg,80\r\n");
        sim.PutFile("/fd0/4/alte/4", "alte,4,\r\n");
        TECR_AdvLines lines;
        lines[0] = "Test Shop";
        lines[1] = *Utf8ToCodePage("ул. Витоша 1");
        lines[9] = "Come again";
        ASSERT_TRUE(source.WriteAdvLines(lines)) << source.LastError;
    }

    TRegisterBackup Backup()
    {
        TRegisterBackup backup;
        EXPECT_EQ(ReadRegisterContent(source, backup.Content, nullptr), TRunResult::Done) << source.LastError;
        return backup;
    }

    TRestorePlan Plan(const TRegisterBackup& backup)
    {
        TRegisterContent onTarget;
        EXPECT_EQ(ReadRegisterContent(ecr, onTarget, nullptr), TRunResult::Done) << ecr.LastError;
        return PlanRestore(backup.Content, onTarget);
    }

    // Plans, runs and checks: afterwards nothing is left to do.
    void Restore(const TRegisterBackup& backup)
    {
        TRestoreReport report;
        ASSERT_EQ(RunRestorePlan(ecr, Plan(backup), nullptr, report), TRunResult::Done) << ecr.LastError;
        EXPECT_TRUE(Plan(backup).Empty());
    }

    ecrsim::TEcrSim target;
    TEcrDevice source;
    TEcrDevice ecr;
};

TEST_F(RestoreTest, CloneOntoAnEmptyRegisterGivesTheSameFilesAndASecondOneWritesNothing)
{
    Populate();
    // Through the file, as a technician does it.
    std::string error;
    ASSERT_TRUE(WriteBackupFile(dir.File("b.json"), Backup(), error)) << error;
    TRegisterBackup backup;
    ASSERT_TRUE(ReadBackupFile(dir.File("b.json"), backup, error)) << error;

    const TRestorePlan plan = Plan(backup);
    EXPECT_EQ(RestorePlanLines(plan), (std::vector<std::string>{
                                          "Alte taxes: 4 to write (1-4)",
                                          "PLU items: 61 to write (1-61)",
                                          "Cashiers: 3 to write (1-3)",
                                          "Advertising lines: to write (line 0 stays the register's fiscal name)",
                                      }));
    TRestoreReport report;
    ASSERT_EQ(RunRestorePlan(ecr, plan, nullptr, report), TRunResult::Done) << ecr.LastError;
    EXPECT_EQ(RestoreReportText(plan, report), "alte taxes written 4 of 4, PLU items written 61 of 61, cashiers "
                                               "written 3 of 3, advertising lines written");
    EXPECT_EQ(target.AllFiles(), sim.AllFiles());

    target.ClearLogs();
    const TRestorePlan again = Plan(backup);
    EXPECT_TRUE(again.Empty());
    EXPECT_EQ(RestorePlanLines(again), std::vector<std::string>{"Nothing to do: the register matches the backup."});
    ASSERT_EQ(RunRestorePlan(ecr, again, nullptr, report), TRunResult::Done);
    EXPECT_TRUE(PutsOf(target).empty());
    EXPECT_EQ(RestoreReportText(again, report), "nothing to write");
}

TEST_F(RestoreTest, OnlyWhatDiffersIsSentAndExtrasAreDeletedTheRegistersWay)
{
    Populate();
    const TRegisterBackup backup = Backup();
    Restore(backup);

    // One PLU changed, one PLU, tax and cashier more, one more PLU already deleted.
    target.PutFile("/sd0/db0/5", "plu,5,Coffee 5\r\nbar,3800000000005\r\nprc,9.99,2,KG\r\ndep,6,6,\r\nalte,0,,\r\n"
                                 "flg,20,1,,\r\n");
    target.PutFile("/sd0/db0/900", "plu,900,Extra\r\nbar,\r\nprc,1,2,BUC\r\ndep,1,1,\r\nalte,3,,Tourist tax\r\nflg,00\r\n");
    const std::string alreadyDeleted = "plu,901,Gone\r\nbar,\r\nprc,1,2,BUC\r\ndep,1,1,\r\nalte,0,,\r\nflg,80\r\n";
    target.PutFile("/sd0/db0/901", alreadyDeleted);
    target.PutFile("/fd0/4/alte/9", "alte,9,Old tax\r\n");
    target.PutFile("/fd0/4/oper/9", "oper,9,Temp\r\npass,9999\r\nflg,00000000\r\n");
    target.ClearLogs();

    const TRestorePlan plan = Plan(backup);
    EXPECT_EQ(RestorePlanLines(plan), (std::vector<std::string>{
                                          "Alte taxes: 1 to remove (9)",
                                          "PLU items: 1 to write (5), 1 to mark deleted (900)",
                                          "Cashiers: 1 to delete (9)",
                                      }));
    TRestoreReport report;
    ASSERT_EQ(RunRestorePlan(ecr, plan, nullptr, report), TRunResult::Done) << ecr.LastError;
    // PLU items before the tax they might still point at is removed.
    EXPECT_EQ(PutsOf(target), (std::vector<std::string>{"put /sd0/db0/5", "put /sd0/db0/900", "put /fd0/4/alte/9",
                                                         "put /fd0/4/oper/9"}));
    EXPECT_EQ(target.GetFile("/sd0/db0/5"), sim.GetFile("/sd0/db0/5"));
    EXPECT_EQ(target.GetFile("/sd0/db0/900"),
              "plu,900,Extra\r\nbar,\r\nprc,1,2,BUC\r\ndep,1,1,\r\nalte,3,,Tourist tax\r\nflg,80\r\n");
    EXPECT_EQ(target.GetFile("/sd0/db0/901"), alreadyDeleted);
    EXPECT_EQ(target.GetFile("/fd0/4/alte/9"), "alte,9,\r\n");
    EXPECT_FALSE(target.GetFile("/fd0/4/oper/9"));
    EXPECT_TRUE(Plan(backup).Empty());
}

TEST_F(RestoreTest, LineZeroIsTheFiscalTargetsOwn)
{
    Populate();
    const TRegisterBackup backup = Backup();
    const struct {
        const char* status;
        const char* row0;
    } cases[] = {
        {"1", "<ROW0>Other Shop</ROW0>"}, // fiscal: its fiscal name, not the source's
        {"5", "<ROW0>Test Shop</ROW0>"},  // not fiscal: the backup's line 0
    };
    for (const auto& c : cases) {
        target.ClearFiles();
        target.SetZregs(c.status, "987654321", "Other Shop");
        Restore(backup);
        const std::string rows = target.GetFile("/fd0/1/n_snd/ROWS").value_or("");
        EXPECT_NE(rows.find(c.row0), std::string::npos) << rows;
        EXPECT_NE(rows.find("<ROW9>Come again</ROW9>"), std::string::npos) << rows;
    }
}

TEST_F(RestoreTest, AbortStopsBetweenRecordsAndTheReportSaysWhatWasWritten)
{
    Populate();
    const TRegisterBackup backup = Backup();
    const TRestorePlan plan = Plan(backup);
    std::vector<TRegisterStep> steps;
    const TRegisterProgress progress = [&](TRegisterStep step, int position, int, bool& abort) {
        if (steps.empty() || steps.back() != step)
            steps.push_back(step);
        abort = step == TRegisterStep::WritePlues && position == 10;
    };
    TRestoreReport report;
    EXPECT_EQ(RunRestorePlan(ecr, plan, progress, report), TRunResult::Aborted);
    EXPECT_EQ(steps, (std::vector<TRegisterStep>{TRegisterStep::WriteTaxes, TRegisterStep::WritePlues}));
    EXPECT_EQ(RestoreReportText(plan, report), "alte taxes written 4 of 4, PLU items written 10 of 61, cashiers "
                                               "written 0 of 3, advertising lines not written");
    EXPECT_EQ(target.ListFiles("/sd0/db0").size(), 10u);
    EXPECT_TRUE(target.ListFiles("/fd0/4/oper").empty());

    // Reading can be stopped as well; nothing is written then.
    TRegisterContent content;
    const TRegisterProgress stopAtPlues = [](TRegisterStep step, int, int, bool& abort) {
        abort = step == TRegisterStep::ReadPlues;
    };
    EXPECT_EQ(ReadRegisterContent(source, content, stopAtPlues), TRunResult::Aborted);
}

TEST_F(RestoreTest, RegisterThatStopsAnsweringEndsTheRunWithWhatWasWritten)
{
    Populate();
    const TRegisterBackup backup = Backup();
    const TRestorePlan plan = Plan(backup);
    int pluPuts = 0;
    target.SetCommandHandler([&](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
        if (StartsWith(line, "put /sd0/db0/") && ++pluPuts > 5)
            return ecrsim::TCommandReply{{}, true};
        return std::nullopt;
    });
    TRestoreReport report;
    EXPECT_EQ(RunRestorePlan(ecr, plan, nullptr, report), TRunResult::Failed);
    EXPECT_TRUE(StartsWith(ecr.LastError, "WriteAllPlues failed! -> WritePlu (PLU 6) -> WritePlu failed! -> "))
        << ecr.LastError;
    EXPECT_EQ(RestoreReportText(plan, report), "alte taxes written 4 of 4, PLU items written 5 of 61, cashiers "
                                               "written 0 of 3, advertising lines not written");
}
