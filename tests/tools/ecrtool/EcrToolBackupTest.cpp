// ecrtool backup and restore against two simulators: the technician's
// clone, the plan, the question, refusals before anything is sent, and the
// report of a restore stopped half-way.

#include "support/DeviceFixture.h"

#include "BackupCommands.h"
#include "core/backup/BackupFile.h"

#include <sstream>

namespace {

std::size_t PluPuts(const ecrsim::TEcrSim& sim)
{
    std::size_t n = 0;
    for (const auto& p : sim.ReceivedPackets())
        n += !p.Repeat && p.Type == 'R' && StartsWith(p.Data, "put /sd0/db0/");
    return n;
}

} // namespace

// `sim` is the register backed up, `target` the one restored.
class EcrToolBackupTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ASSERT_TRUE(target.Start()) << target.Error();
        sim.FillSample(12);
    }

    int Run(const ecrsim::TEcrSim& on, const std::string& command, const std::vector<std::string>& args,
            const std::string& input = "", bool inIsTerminal = false)
    {
        TToolContext context;
        context.DevicePath = on.DevicePath();
        std::istringstream in(input);
        out.str("");
        err.str("");
        TBackupIo io{in, out, err, inIsTerminal, interrupted};
        return RunBackupCommand(command, context, args, io);
    }

    ecrsim::TEcrSim target;
    std::ostringstream out, err;
    std::function<bool()> interrupted;
};

TEST_F(EcrToolBackupTest, CloneOneRegisterOntoAnother)
{
    const std::string file = dir.File("shop.json");
    ASSERT_EQ(Run(sim, "backup", {file}), 0) << err.str();
    EXPECT_EQ(out.str(), "Register SM00001234 (SIM-ECR 1.00.0): 3 alte taxes, 12 PLU items, 3 cashiers and the "
                         "advertising lines written to " + file + "\n");
    EXPECT_EQ(err.str(), "");

    // --dry-run shows the plan and sends nothing but reads.
    ASSERT_EQ(Run(target, "restore", {"--dry-run", file}), 0) << err.str();
    const std::string plan = "  Alte taxes: 3 to write (1-3)\n"
                             "  PLU items: 12 to write (1-12)\n"
                             "  Cashiers: 3 to write (1-3)\n"
                             "  Advertising lines: to write (line 0 stays the register's fiscal name)\n";
    EXPECT_NE(out.str().find(plan), std::string::npos) << out.str();
    EXPECT_EQ(PluPuts(target), 0u);

    TRegisterBackup backup;
    std::string error;
    ASSERT_TRUE(ReadBackupFile(file, backup, error)) << error;
    ASSERT_EQ(Run(target, "restore", {"--yes", file}), 0) << err.str();
    EXPECT_EQ(out.str(), "Restore of " + file + " (register SM00001234 (SIM-ECR 1.00.0), " + backup.Time +
                             ") onto register SM00001234 (SIM-ECR 1.00.0):\n" + plan +
                             "Done: alte taxes written 3 of 3, PLU items written 12 of 12, cashiers written 3 of 3, "
                             "advertising lines written; the register matches the backup.\n");
    for (const char* path : {"/sd0/db0/12", "/fd0/4/alte/2", "/fd0/4/oper/3"})
        EXPECT_EQ(target.GetFile(path), sim.GetFile(path)) << path;

    // Again: nothing to do, nothing written.
    target.ClearLogs();
    ASSERT_EQ(Run(target, "restore", {"--yes", file}), 0) << err.str();
    EXPECT_NE(out.str().find(":\n  Nothing to do: the register matches the backup.\n"), std::string::npos) << out.str();
    EXPECT_EQ(PluPuts(target), 0u);
}

TEST_F(EcrToolBackupTest, AsksOnATerminalAndNeedsYesElsewhere)
{
    const std::string file = dir.File("shop.json");
    ASSERT_EQ(Run(sim, "backup", {file}), 0) << err.str();

    EXPECT_EQ(Run(target, "restore", {file}), 2);
    EXPECT_NE(err.str().find("give --yes to restore without asking"), std::string::npos) << err.str();
    EXPECT_TRUE(target.ReceivedPackets().empty());

    EXPECT_EQ(Run(target, "restore", {file}, "n\n", true), 1);
    EXPECT_NE(err.str().find("Write this to the register? [y/N] ecrtool restore: nothing written\n"), std::string::npos)
        << err.str();
    EXPECT_EQ(PluPuts(target), 0u);

    EXPECT_EQ(Run(target, "restore", {file}, "y\n", true), 0) << err.str();
    EXPECT_EQ(PluPuts(target), 12u);
}

TEST_F(EcrToolBackupTest, ABadFileIsRefusedBeforeAnythingIsSent)
{
    const std::string file = dir.File("shop.json");
    ASSERT_EQ(Run(sim, "backup", {file}), 0) << err.str();
    const std::string good = dir.Read("shop.json");
    const struct {
        const char* from;
        const char* to;
        const char* reason;
    } cases[] = {
        {"\"AdvLines\": [", "\"AdvLines\": [,", "not JSON: "},
        {"\"SubGroup\":2,", "\"SubGroup\":-2,", "Plues, item 1: field \"SubGroup\" must be a whole number"},
        {"\"Unit\":\"KG\"", "\"Unit\":\"K,G\"", "(PLU 1): Unit must not contain a comma"},
        {"\"Name\":\"Manager\"", "\"Name\":\"Manager \xE2\x82\xAC\xE2\x98\x83\"",
         "Cashiers, item 1: field \"Name\" has characters that Windows-1251 cannot hold"},
    };
    for (const auto& c : cases) {
        std::string text = good;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        dir.Write("bad.json", text.replace(at, std::string(c.from).size(), c.to));
        EXPECT_EQ(Run(target, "restore", {"--yes", dir.File("bad.json")}), 1) << c.reason;
        EXPECT_EQ(err.str().rfind("ecrtool restore: " + dir.File("bad.json") + ": ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find(c.reason), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("; nothing sent\n"), std::string::npos) << err.str();
    }
    EXPECT_TRUE(target.ReceivedPackets().empty());
    EXPECT_EQ(target.UnlockCount(), 0);
}

TEST_F(EcrToolBackupTest, AFailedReadWritesNoFile)
{
    const std::string file = dir.File("shop.json");
    dir.Write("shop.json", "an older backup");
    sim.PutFile("/fd0/4/oper/2", "oper,2,Front desk\r\npass,2222\r\n");
    EXPECT_EQ(Run(sim, "backup", {file}), 1);
    EXPECT_EQ(err.str(), "GetCashiers failed! -> GetCashier failed! -> Unexpected file content!\n"
                         "ecrtool backup: no file written\n");
    EXPECT_EQ(dir.Read("shop.json"), "an older backup");
}

TEST_F(EcrToolBackupTest, CtrlCStopsBetweenRecordsWithAReport)
{
    const std::string file = dir.File("shop.json");
    ASSERT_EQ(Run(sim, "backup", {file}), 0) << err.str();
    interrupted = [this] { return PluPuts(target) >= 4; };
    EXPECT_EQ(Run(target, "restore", {"--yes", file}), 1);
    EXPECT_EQ(err.str(), "ecrtool restore: stopped by the user; alte taxes written 3 of 3, PLU items written 4 of "
                         "12, cashiers written 0 of 3, advertising lines not written\n");
    EXPECT_EQ(PluPuts(target), 4u);
}
