// ecrtool load and send as a user runs them, against the simulator's pty.

#include "support/TempDir.h"

#include "ecrsim/EcrSim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sys/wait.h>

namespace {

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

struct ToolRun {
    int status;
    std::string out, err;
};

std::string Row(int numb, const std::string& extra = "")
{
    std::map<std::string, std::string> f = {
        {"NAME", "\"Item " + std::to_string(numb) + "\""}, {"UNIT", "\"BUC\""}, {"TAX_GROUP", "2"},
        {"PAY_TYPE", "1"}, {"PLU_GROUP", "1"}, {"BARCODE", "\"\""}, {"PRICE_SELL", "1.5"},
        {"PLU_SUBGROUP", "1"}, {"ALTE_TAXE", "\"\""}, {"TAX_VALUE", "\"\""}, {"COMMENT", "\"\""},
        {"FLAGS", "\"000000000\""}};
    // extra: "KEY=VALUE;KEY=VALUE" in JSON
    for (std::size_t start = 0; start < extra.size();) {
        std::size_t end = extra.find(';', start);
        if (end == std::string::npos)
            end = extra.size();
        const std::string item = extra.substr(start, end - start);
        f[item.substr(0, item.find('='))] = item.substr(item.find('=') + 1);
        start = end + 1;
    }
    std::string line = "{\"NUMB\":" + std::to_string(numb);
    for (const char* key : {"NAME", "UNIT", "TAX_GROUP", "PAY_TYPE", "PLU_GROUP", "BARCODE", "PRICE_SELL",
                            "PLU_SUBGROUP", "ALTE_TAXE", "TAX_VALUE", "COMMENT", "FLAGS"})
        line += std::string(",\"") + key + "\":" + f[key];
    return line + "}\n";
}

class EcrToolTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim_.Start()) << sim_.Error();
        sim_.PutFile("/fd0/4/alte/1", "alte,1,Eco tax\r\n");
        sim_.PutFile("/fd0/4/alte/2", "alte,2,Eco tax\r\n");
    }

    ToolRun Run(const std::string& args) const
    {
        const std::string cmd = std::string("'") + ECRTOOL_PATH + "' --device '" + sim_.DevicePath() + "' " + args +
                                " > '" + dir_.File("out") + "' 2> '" + dir_.File("err") + "' < /dev/null";
        const int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, dir_.Read("out"), dir_.Read("err")};
    }

    // The register refuses the PLU file's writes the given number of times.
    void RefusePut(int numb, int times)
    {
        left_[numb] = times;
        sim_.SetCommandHandler([this](const std::string& line, const std::string&) -> std::optional<ecrsim::TCommandReply> {
            for (auto& [n, left] : left_)
                if (left > 0 && line == "put /sd0/db0/" + std::to_string(n)) {
                    --left;
                    ecrsim::TCommandReply reply;
                    reply.Parts = {{'L', "Disk full"}};
                    return reply;
                }
            return std::nullopt;
        });
    }

    TempDir dir_;
    ecrsim::TEcrSim sim_;
    std::map<int, int> left_;
};

} // namespace

TEST_F(EcrToolTransfer, SendWritesEveryRowAndLoadReadsThemBack)
{
    dir_.Write("in.jsonl", Row(5, "TAX_GROUP=1;ALTE_TAXE=\"Eco tax\";TAX_VALUE=\"0.1\";BARCODE=\"501,502\"") +
                               Row(6, "FLAGS=\"000000011\";PAY_TYPE=3"));
    ToolRun r = Run("send '" + dir_.File("in.jsonl") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // VAT group 1 arrives as 2; the later of two taxes of one name gives the id.
    EXPECT_EQ(sim_.GetFile("/sd0/db0/5"),
              "plu,5,Item 5\r\nbar,501,502\r\nprc,1.5,2,BUC\r\ndep,1,1,\r\nalte,2,0.1,Eco tax\r\nflg,00\r\n");

    r = Run("load -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Row(5, "ALTE_TAXE=\"Eco tax\";TAX_VALUE=\"0.1\";BARCODE=\"501,502\"") +
                         Row(6, "FLAGS=\"000000011\";PAY_TYPE=3"));

    // The same list through a .plu file.
    r = Run("load '" + dir_.File("out.plu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir_.Read("out.plu").size(), 2 * 176u);
    sim_.ClearFiles();
    r = Run("send '" + dir_.File("out.plu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(sim_.GetFile("/sd0/db0/6"));
}

TEST_F(EcrToolTransfer, SendSkipsInvalidRowsAndRetriesARefusedWriteOnce)
{
    dir_.Write("in.jsonl", Row(1) + Row(2, "PLU_SUBGROUP=11") + Row(3) + Row(4) + Row(5, "PRICE_SELL=2"));
    RefusePut(3, 1); // written at the second attempt
    RefusePut(4, 2); // skipped
    const ToolRun r = Run("send '" + dir_.File("in.jsonl") + "'");
    EXPECT_EQ(r.status, 1);
    const std::string expected = "ecrtool send: Invalid input parameters. Please validate PLU: 2\n"
                                 "ecrtool send: PLU 3 not written, trying once more: ";
    EXPECT_EQ(r.err.substr(0, expected.size()), expected) << r.err;
    EXPECT_NE(r.err.find("ecrtool send: PLU 4 not written, trying once more: WriteSinglePlu failed! -> "),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ecrtool send: PLU 4 not written, skipped: WriteSinglePlu failed! -> "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Disk full"), std::string::npos);
    EXPECT_TRUE(EndsWith(r.err, "\necrtool send: 3 written, 1 invalid, 1 failed\n")) << r.err;
    for (int n : {1, 3, 5})
        EXPECT_TRUE(sim_.GetFile("/sd0/db0/" + std::to_string(n))) << n;
    for (int n : {2, 4})
        EXPECT_FALSE(sim_.GetFile("/sd0/db0/" + std::to_string(n))) << n;
}

TEST_F(EcrToolTransfer, SendFastReadsTheTaxesOnceAndWritesInOneConnection)
{
    dir_.Write("in.jsonl", Row(1, "ALTE_TAXE=\"Eco tax\"") + Row(2, "PLU_SUBGROUP=11") + Row(3) + Row(4));
    RefusePut(3, 1); // written at the second attempt
    RefusePut(4, 2); // skipped
    const ToolRun r = Run("send --fast '" + dir_.File("in.jsonl") + "'");
    EXPECT_EQ(r.status, 1);
    const std::string expected = "ecrtool send: Invalid input parameters. Please validate PLU: 2\n"
                                 "ecrtool send: PLU 3 not written, trying once more: WriteAllPlues failed! -> "
                                 "WritePlu (PLU 3) -> ";
    EXPECT_EQ(r.err.substr(0, expected.size()), expected) << r.err;
    EXPECT_NE(r.err.find("ecrtool send: PLU 4 not written, skipped: WriteAllPlues failed! -> "), std::string::npos)
        << r.err;
    EXPECT_TRUE(EndsWith(r.err, "\necrtool send: 2 written, 1 invalid, 1 failed\n")) << r.err;
    EXPECT_EQ(sim_.GetFile("/sd0/db0/1"),
              "plu,1,Item 1\r\nbar,\r\nprc,1.5,2,BUC\r\ndep,1,1,\r\nalte,2,,Eco tax\r\nflg,00\r\n");
    EXPECT_TRUE(sim_.GetFile("/sd0/db0/3"));
    EXPECT_FALSE(sim_.GetFile("/sd0/db0/4"));
    // The tax list once, then one connection for the writes and one for each retry.
    EXPECT_EQ(sim_.UnlockCount(), 4);
}

TEST_F(EcrToolTransfer, Failures)
{
    // A register PLU the list refuses: the rows before it are written.
    sim_.PutFile("/sd0/db0/7", "plu,7,Seven\r\nbar,\r\nprc,1,2,BUC\r\ndep,1,1,\r\nalte,0,,\r\nflg,00\r\n");
    sim_.PutFile("/sd0/db0/30000", "plu,30000,Big\r\nbar,\r\nprc,1,2,BUC\r\ndep,1,1,\r\nalte,0,,\r\nflg,00\r\n");
    ToolRun r = Run("load '" + dir_.File("out.jsonl") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ecrtool load: Field NUMB: 30000 is outside the allowed range 1 to 29999.\n");
    EXPECT_EQ(dir_.Read("out.jsonl"), Row(7, "NAME=\"Seven\";PRICE_SELL=1"));

    // No register: the façade's chain, and no file is written.
    dir_.Write("keep.jsonl", "old");
    const std::string none = "'" + std::string(ECRTOOL_PATH) + "' --device '" + dir_.File("none") + "' ";
    int rc = std::system((none + "load '" + dir_.File("keep.jsonl") + "' 2> '" + dir_.File("err") + "'").c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 1);
    EXPECT_TRUE(StartsWith(dir_.Read("err"), "ReadAllPlues failed -> OpenDevice -> ")) << dir_.Read("err");
    EXPECT_EQ(dir_.Read("keep.jsonl"), "old");
    dir_.Write("in.jsonl", Row(1));
    rc = std::system((none + "send '" + dir_.File("in.jsonl") + "' 2> '" + dir_.File("err") + "'").c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 1);
    EXPECT_TRUE(EndsWith(dir_.Read("err"), "ecrtool send: 0 written, 0 invalid, 1 failed\n")) << dir_.Read("err");

    // A list that cannot be read sends nothing.
    dir_.Write("bad.jsonl", Row(1) + "{\"NUMB\":0}\n");
    sim_.ClearFiles();
    r = Run("send '" + dir_.File("bad.jsonl") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(StartsWith(r.err, "ecrtool send: '" + dir_.File("bad.jsonl") + "', line 2: ")) << r.err;
    EXPECT_FALSE(sim_.GetFile("/sd0/db0/1"));

    for (const char* bad : {"load", "load a.txt", "send", "send a b", "send a.csv"}) {
        r = Run(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("Try 'ecrtool "), std::string::npos) << bad;
    }
    r = Run("send --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: ecrtool send [--fast] IN"), std::string::npos);
}
