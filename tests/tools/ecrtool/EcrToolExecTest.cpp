// ecrtool exec as a user runs it, against the simulator's pty.

#include "support/TempDir.h"

#include "ecrsim/EcrSim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

class EcrToolExec : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim_.Start()) << sim_.Error(); }

    ToolRun Run(const std::string& args) const
    {
        const std::string cmd = std::string("'") + ECRTOOL_PATH + "' " + args + " > '" + dir_.File("out") + "' 2> '"
                                + dir_.File("err") + "' < /dev/null";
        const int rc = std::system(cmd.c_str());
        return { WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, dir_.Read("out"), dir_.Read("err") };
    }
    std::string Device() const { return "--device '" + sim_.DevicePath() + "'"; }

    TempDir dir_;
    ecrsim::TEcrSim sim_;
};

TEST_F(EcrToolExec, ReplyBytesGoToStdoutUnchanged)
{
    std::string binary("line 1\r\n\0\xFF\x1B end", 16);
    sim_.PutFile("/sd0/db0/7", binary);
    const ToolRun r = Run(Device() + " exec cat /sd0/db0/7");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, binary);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sim_.UnlockCount(), 1);

    // Reply bytes that cannot be written make a failure, not a success.
    const std::string full = std::string("'") + ECRTOOL_PATH + "' " + Device() + " exec cat /sd0/db0/7 > /dev/full 2> '"
                             + dir_.File("err") + "'";
    const int rc = std::system(full.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << rc;
    EXPECT_NE(dir_.Read("err").find("standard output"), std::string::npos);
}

TEST_F(EcrToolExec, DataFileIsSentAsTheCommandsData)
{
    std::string data;
    for (int i = 0; i < 1300; ++i)
        data += static_cast<char>(i % 256);
    dir_.Write("data.bin", data);
    const ToolRun r = Run(Device() + " exec put /sd0/db0/9 --data-file '" + dir_.File("data.bin") + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim_.GetFile("/sd0/db0/9"), data);
    std::string types;
    for (const auto& p : sim_.ReceivedPackets())
        types += p.Type;
    EXPECT_EQ(types, "RPPQ"); // exec runs exactly one transaction after the unlock
}

TEST_F(EcrToolExec, FailuresAndUsage)
{
    // The register's own words reach stderr in UTF-8.
    ecrsim::TCommandReply refusal;
    refusal.Parts = { { 'L', "\xCD\xE5 \xEC\xEE\xE3\xE0" } };
    sim_.SetCommandReply("zap", refusal);
    ToolRun r = Run(Device() + " exec zap");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Device cancel data receiving. Не мога\r\nCommunication error. [CMD:zap]Send command Fail\n");

    r = Run("--device '" + dir_.File("none") + "' exec ping");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Fail opening com port:  [" + dir_.File("none") + "]\r\nUnable to open com port (win error code: 2)\n");

    r = Run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* word : { "--port N", "--device PATH", "--help", "exec COMMAND", "--data-file FILE" })
        EXPECT_NE(r.out.find(word), std::string::npos) << word;

    for (const char* bad : { "--port 0 exec ping", "--port x exec ping", "--port 1 --device /dev/null exec ping",
                             "exec", "frobnicate", "--bogus exec ping", "" }) {
        r = Run(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err, "") << bad;
    }
}

TEST_F(EcrToolExec, TraceRecordsTheRunWithoutChangingItsOutput)
{
    sim_.PutFile("/sd0/db0/7", "plu\r\n");
    const std::string trace = dir_.File("trace.txt");
    ToolRun r = Run(Device() + " --trace '" + trace + "' exec cat /sd0/db0/7");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "plu\r\n");
    EXPECT_EQ(r.err, "");
    std::string text = dir_.Read("trace.txt");
    EXPECT_EQ(text.rfind("# ecrtool trace of ", 0), 0u) << text;
    for (const char* part : { " TX  \\x0D\\x0Akteviz7u\\x0D\\x0A\n", " RX  UNLOCKED\\x0D\\x0A\n",
                              " TX  \\x1B\\x1B1S000Ecat /sd0/db0/7", "[frame 1, type S, length 14, checksum ",
                              " RX  \\x1B\\x1B1S0005plu\\x0D\\x0A" })
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;

    // A failure: the trace holds the error line stderr shows.
    r = Run("--trace='" + trace + "' --device '" + dir_.File("none") + "' exec ping");
    EXPECT_EQ(r.status, 1);
    text = dir_.Read("trace.txt");
    EXPECT_NE(text.find(" ERR Fail opening com port:  [" + dir_.File("none") + "]\\x0D\\x0AUnable to open com port"),
              std::string::npos) << text;

    r = Run("--trace '" + dir_.File("no/such/folder/trace.txt") + "' exec ping");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write the trace to"), std::string::npos) << r.err;
    r = Run("--trace");
    EXPECT_EQ(r.status, 2);
}

} // namespace
