// TEcrDevice::WriteAllPlues over the simulator: one connection for the whole
// list, progress and abort between records, a refused record named in the
// chain, and the count of records that reached the register.

#include "support/DeviceFixture.h"
#include "support/SamplePlu.h"

#include "core/device/EcrDeviceUnit.h"

namespace {

TECR_PLU_List Plues(uint32_t count)
{
    TECR_PLU_List list;
    for (uint32_t n = 1; n <= count; ++n) {
        TECR_PLU p = SamplePlu();
        p.Number = n;
        list.push_back(p);
    }
    return list;
}

} // namespace

class WriteAllPluesTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ecr.PortNumber = kPort;
    }
    std::vector<std::string> Puts() const
    {
        std::vector<std::string> puts;
        for (const std::string& c : Commands())
            if (StartsWith(c, "put "))
                puts.push_back(c);
        return puts;
    }

    TEcrDevice ecr;
};

TEST_F(WriteAllPluesTest, WritesTheListInOrderInOneConnection)
{
    std::vector<std::pair<int, int>> reports;
    std::size_t written = 99;
    const TDevProgressProc progress = [&](int position, int total, bool&) { reports.emplace_back(position, total); };
    ASSERT_TRUE(ecr.WriteAllPlues(Plues(3), progress, &written)) << ecr.LastError;
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(sim.UnlockCount(), 1);
    EXPECT_EQ(Puts(), (std::vector<std::string>{"put /sd0/db0/1", "put /sd0/db0/2", "put /sd0/db0/3"}));
    EXPECT_EQ(reports, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(sim.GetFile("/sd0/db0/2"), "plu,2,Bread^x2c;white\r\nbar,501\r\nprc,1.5,2,BUC\r\ndep,1,3,\r\nalte,0,,\r\n"
                                         "flg,20,2,,\r\n");
    EXPECT_EQ(ecr.Device, nullptr);
}

TEST_F(WriteAllPluesTest, AbortStopsBeforeTheNextRecord)
{
    std::size_t written = 0;
    const TDevProgressProc progress = [&](int position, int, bool& abort) { abort = position == 2; };
    EXPECT_FALSE(ecr.WriteAllPlues(Plues(5), progress, &written));
    EXPECT_EQ(ecr.LastError, "User aborted operation!");
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(Puts().size(), 2u);
    EXPECT_FALSE(sim.GetFile("/sd0/db0/3"));
}

TEST_F(WriteAllPluesTest, FailureNamesThePluAndCountsWhatWasWritten)
{
    TECR_PLU_List list = Plues(4);
    list[2].Unit = "B,C"; // refused by the record writer before it is sent
    std::size_t written = 0;
    EXPECT_FALSE(ecr.WriteAllPlues(list, nullptr, &written));
    EXPECT_EQ(ecr.LastError, "WriteAllPlues failed! -> WritePlu (PLU 3) -> WritePlu failed! -> Unit must not "
                             "contain a comma");
    EXPECT_EQ(written, 2u);

    // The register refuses the second put: its own words end the chain.
    sim.ClearLogs();
    sim.SetRefusal("put /sd0/db0/2", ecrsim::TRefusal::Reject);
    EXPECT_FALSE(ecr.WriteAllPlues(Plues(3), nullptr, &written));
    EXPECT_TRUE(StartsWith(ecr.LastError, "WriteAllPlues failed! -> WritePlu (PLU 2) -> WritePlu failed! -> "
                                          "SetFileContent -> "))
        << ecr.LastError;
    EXPECT_EQ(written, 1u);

    // No register: the open failure in the house style, nothing counted.
    ecr.PortNumber = kAbsentPort;
    written = 7;
    EXPECT_FALSE(ecr.WriteAllPlues(Plues(1), nullptr, &written));
    EXPECT_TRUE(StartsWith(ecr.LastError, "WriteAllPlues failed! -> OpenDevice -> ")) << ecr.LastError;
    EXPECT_EQ(written, 0u);
}
