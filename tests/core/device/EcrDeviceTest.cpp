// The façade over the simulator: each operation's main path, the failure
// chains, abort in the walk and in the read phase, and round trips.

#include "support/DeviceFixture.h"
#include "support/SamplePlu.h"

#include "core/device/EcrDeviceUnit.h"

#include <chrono>
#include <functional>
#include <thread>

using ecrsim::TRefusal;

namespace {

std::string PluFile(uint32_t n, const std::string& flags = "00")
{
    const std::string num = std::to_string(n);
    return "plu," + num + ",Item " + num + "\r\nbar,\r\nprc," + num + ".5,2,BUC\r\ndep,1,2,\r\nalte,0,,\r\nflg," + flags +
           "\r\n";
}

} // namespace

class EcrDeviceTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ecr.PortNumber = kPort;
    }
    void PutPlues(uint32_t from, uint32_t to)
    {
        for (uint32_t n = from; n <= to; ++n)
            sim.PutFile("/sd0/db0/" + std::to_string(n), PluFile(n));
    }
    // Every operation frees its connection: the port is closed afterwards.
    void ExpectClosed(int connectionsBefore)
    {
        EXPECT_EQ(ecr.Device, nullptr);
        for (int i = 0; i < 500 && sim.ConnectionCount() <= connectionsBefore; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GT(sim.ConnectionCount(), connectionsBefore);
    }

    TEcrDevice ecr;
};

TEST_F(EcrDeviceTest, GetDevInfoCopiesTheGreeting)
{
    sim.SetInfo("FMIN", "FM9");
    const int before = sim.ConnectionCount();
    TECR_DeviceInfo info;
    ASSERT_TRUE(ecr.GetDevInfo(info)) << ecr.LastError;
    EXPECT_EQ(info.Model, "SIM-ECR");
    EXPECT_EQ(info.Version, "1.00.0");
    EXPECT_EQ(info.SerialNumber, "SM00001234");
    EXPECT_EQ(info.FiscalMemoryNumber, "FM9");
    EXPECT_EQ(info.DeviceType, "1");
    EXPECT_TRUE(Commands().empty());
    ExpectClosed(before);
}

TEST_F(EcrDeviceTest, WrongPortFailsEveryOperationWithItsChain)
{
    ecr.PortNumber = kAbsentPort;
    TECR_DeviceInfo info;
    TECR_PLU_List plues;
    TECR_ALTETAXE_List taxes;
    TECR_Cashiers cashiers;
    TECR_AdvLines lines;
    bool fiscal = false;
    std::string tin, name;
    const std::string open = "OpenDevice -> Device communication error.\r\n";
    const std::string openFailed = "OpenDevice failed! -> Device communication error.\r\n";
    const struct {
        std::function<bool()> call;
        std::string prefix;
    } cases[] = {
        {[&] { return ecr.GetDevInfo(info); }, "GetDevInfo failed! -> " + open},
        {[&] { return ecr.GetFiscInfo(fiscal, tin, name); }, openFailed},
        {[&] { return ecr.ReadAdvLines(lines, fiscal); }, "ReadAdvLines failed! GetFiscInfo -> " + openFailed},
        {[&] { return ecr.WriteAdvLines(lines); }, "WriteAdvLines failed -> " + openFailed},
        {[&] { return ecr.WriteSinglePlu(TECR_PLU{}); }, "WriteSinglePlu failed! -> " + open},
        {[&] { return ecr.WriteSingleAlteTaxe(TECR_ALTETAXE{}); }, "WriteSingleAlteTaxe failed! -> " + open},
        {[&] { return ecr.ReadAllPlues(plues); }, "ReadAllPlues failed -> " + open},
        {[&] { return ecr.ReadAllAlteTaxes(taxes); }, "ReadAllAlteTaxes failed -> " + open},
        {[&] { return ecr.DeleteAllPlues(); }, "DeleteAllPlues failed! -> ReadAllPlues -> ReadAllPlues failed -> " + open},
        {[&] { return ecr.GetCashiers(cashiers); }, "GetCashiers failed! -> " + open},
        {[&] { return ecr.WriteCashiers({TECR_Cashier{}}); }, open},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(c.call());
        EXPECT_TRUE(StartsWith(ecr.LastError, c.prefix)) << ecr.LastError;
        EXPECT_NE(ecr.LastError.find("\r\n[OpenDevice]"), std::string::npos) << ecr.LastError;
        EXPECT_EQ(ecr.Device, nullptr);
    }
    // The next call starts cleanly.
    ecr.PortNumber = kPort;
    EXPECT_TRUE(ecr.GetDevInfo(info)) << ecr.LastError;
    EXPECT_TRUE(sim.ReceivedPackets().size() >= 2);
}

TEST_F(EcrDeviceTest, OpenDeviceOutsideAFrame)
{
    EXPECT_FALSE(ecr.OpenDevice());
    EXPECT_EQ(ecr.LastError, "Could not connect device! Operation is aborted! Internal error! Device not initialized!");
    ecr.PortNumber = 0x100 + kPort; // only the low byte counts
    ecr.CreateDevice();
    EXPECT_TRUE(ecr.OpenDevice()) << ecr.LastError;
    bool exists = true;
    EXPECT_TRUE(ecr.EcrFileExists("/fd0/1/n_snd", "ROWS", exists));
    EXPECT_FALSE(exists);
    sim.PutFile("/fd0/1/n_snd/ROWS", "<ROWS/>");
    EXPECT_TRUE(ecr.EcrFileExists("/fd0/1/n_snd", "ROWS", exists));
    EXPECT_TRUE(exists);
    EXPECT_TRUE(ecr.EcrFileExists("/fd0/1/n_snd", "rows", exists));
    EXPECT_FALSE(exists);
    EXPECT_FALSE(ecr.EcrFileExists("/nowhere", "ROWS", exists));
    EXPECT_TRUE(StartsWith(ecr.LastError, "ChangeCurrentDir failed! -> Device communication error.")) << ecr.LastError;
    ecr.FreeDevice();
}

TEST_F(EcrDeviceTest, ReadAllPluesWalksPageByPage)
{
    sim.SetPageSize(50);
    PutPlues(1, 120);
    sim.PutFile("/sd0/db0/29999", PluFile(29999, "1FF"));
    std::vector<std::pair<int, int>> calls;
    TECR_PLU_List list;
    const int before = sim.ConnectionCount();
    ASSERT_TRUE(ecr.ReadAllPlues(list, [&](int p, int t, bool&) { calls.emplace_back(p, t); })) << ecr.LastError;
    ASSERT_EQ(list.size(), 121u);
    EXPECT_EQ(list[0].Number, 1u);
    EXPECT_EQ(list[0].Name, "Item 1");
    EXPECT_DOUBLE_EQ(list[119].Price, 120.5);
    EXPECT_EQ(list[120].Number, 29999u);
    EXPECT_EQ(PluFlagBits(list[120].Flags), 0x1FFu);

    // One cd and ls per page, then one cat per PLU.
    std::vector<std::string> expected{"cd /sd0/db0/1", "ls", "cd /sd0/db0/51", "ls", "cd /sd0/db0/101", "ls"};
    for (int n = 1; n <= 120; ++n)
        expected.push_back("cat /sd0/db0/" + std::to_string(n));
    expected.push_back("cat /sd0/db0/29999");
    EXPECT_EQ(Commands(), expected);

    // The walk's progress covers the whole range, then the read phase counts records.
    ASSERT_EQ(calls.size(), 29999u + 121u);
    EXPECT_EQ(calls.front(), (std::pair<int, int>{1, 30000}));
    EXPECT_EQ(calls[29998], (std::pair<int, int>{29999, 30000}));
    EXPECT_EQ(calls[29999], (std::pair<int, int>{0, 121}));
    EXPECT_EQ(calls.back(), (std::pair<int, int>{120, 121}));
    ExpectClosed(before);
}

TEST_F(EcrDeviceTest, ReadAllPluesOfAnEmptyRegister)
{
    TECR_PLU_List list(3);
    ASSERT_TRUE(ecr.ReadAllPlues(list)) << ecr.LastError;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(Commands(), (std::vector<std::string>{"cd /sd0/db0/1", "ls"}));
}

TEST_F(EcrDeviceTest, AbortInTheWalkAndInTheReadPhase)
{
    sim.SetPageSize(5);
    PutPlues(1, 12);
    TECR_PLU_List list;
    EXPECT_FALSE(ecr.ReadAllPlues(list, [](int, int t, bool& abort) { abort = t == 30000; }));
    EXPECT_EQ(ecr.LastError, "ReadAllPlues failed -> User Canceled!");
    EXPECT_EQ(Commands(), (std::vector<std::string>{"cd /sd0/db0/1", "ls"}));

    sim.ClearLogs();
    EXPECT_FALSE(ecr.ReadAllPlues(list, [](int p, int t, bool& abort) { abort = t != 30000 && p == 2; }));
    EXPECT_EQ(ecr.LastError, "User aborted operation!");
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(list[2].Number, 3u);
    EXPECT_EQ(list[3].Number, 0u);
    EXPECT_EQ(list[11], TECR_PLU{});
    EXPECT_EQ(ecr.Device, nullptr);

    // An abort asked for on a skipped number ends the walk at its next listing.
    sim.ClearLogs();
    EXPECT_FALSE(ecr.ReadAllPlues(list, [](int p, int t, bool& abort) { abort = abort || (t == 30000 && p == 3); }));
    EXPECT_EQ(ecr.LastError, "ReadAllPlues failed -> User Canceled!");
    EXPECT_EQ(Commands(), (std::vector<std::string>{"cd /sd0/db0/1", "ls", "cd /sd0/db0/6", "ls"}));

    EXPECT_FALSE(ecr.ReadAllPlues(list, [](int, int, bool&) { throw std::runtime_error("boom"); }));
    EXPECT_EQ(ecr.LastError, "ReadAllPlues failed -> Dev Progress ExtProc -> boom");
}

TEST_F(EcrDeviceTest, DamagedPluFilesAndListings)
{
    PutPlues(1, 3);
    sim.PutFile("/sd0/db0/2", "garbage\r\n");
    TECR_PLU_List list;
    EXPECT_FALSE(ecr.ReadAllPlues(list));
    EXPECT_EQ(ecr.LastError, "ReadAllPlues failed -> ReadPlu -> List index out of bounds (1)");
    EXPECT_EQ(list[0].Number, 1u);

    sim.PutFile("/sd0/db0/2", "plu,2,x\r\nbar,\r\nprc,1;5,1,\r\ndep,1,1,\r\nflg,0\r\n");
    EXPECT_FALSE(ecr.ReadAllPlues(list));
    EXPECT_EQ(ecr.LastError, "ReadAllPlues failed -> ReadPlu -> '1;5' is not a valid floating point value");

    sim.PutFile("/sd0/db0/2", PluFile(2));
    sim.PutFile("/sd0/db0/abc", "x");
    EXPECT_FALSE(ecr.ReadAllPlues(list));
    EXPECT_EQ(ecr.LastError, "ReadAllPlues failed -> 'abc' is not a valid integer value");
    sim.DeleteFile("/sd0/db0/abc");

    sim.SetRefusal("cat /sd0/db0/3", TRefusal::Reject);
    EXPECT_FALSE(ecr.ReadAllPlues(list));
    EXPECT_TRUE(StartsWith(ecr.LastError, "ReadAllPlues failed -> ReadPlu -> GetFileContent -> "
                                          "Device communication error.\r\n"))
        << ecr.LastError;
    EXPECT_NE(ecr.LastError.find("[CMD:cat]"), std::string::npos);
    EXPECT_EQ(ecr.Device, nullptr);
}

TEST_F(EcrDeviceTest, HugeFilesOddNamesAndAFaultyLine)
{
    PutPlues(1, 30);
    sim.PutFile("/sd0/db0/2", "plu,2," + std::string(100000, 'n') + "\r\nbar,\r\nprc,1,1,\r\ndep,1,1,\r\nflg,0\r\n");
    TECR_PLU_List list;
    ASSERT_TRUE(ecr.ReadAllPlues(list)) << ecr.LastError;
    ASSERT_EQ(list.size(), 30u);
    EXPECT_EQ(list[1].Name, std::string(255, 'n'));

    // Replies damaged at random are repeated by the link; nothing read changes.
    sim.PutFile("/sd0/db0/2", PluFile(2));
    sim.SetRandomFaults(0.05, 20261210);
    sim.ClearLogs();
    ASSERT_TRUE(ecr.ReadAllPlues(list)) << ecr.LastError;
    sim.SetRandomFaults(0, 1);
    int faults = 0;
    for (const auto& p : sim.SentPackets())
        faults += !p.Fault.empty();
    EXPECT_GT(faults, 0);
    ASSERT_EQ(list.size(), 30u);
    for (uint32_t n = 1; n <= 30; ++n) {
        TECR_PLU expected;
        ParsePluLines({"plu," + std::to_string(n) + ",Item " + std::to_string(n), "bar,",
                       "prc," + std::to_string(n) + ".5,2,BUC", "dep,1,2,", "alte,0,,", "flg,00"},
                      expected);
        EXPECT_EQ(list[n - 1], expected) << n;
    }

    // A listing line with blanks and a size field still names a number.
    sim.ClearFiles();
    ecrsim::TCommandReply reply;
    reply.Parts = {{'S', " 7 \t120\r\n\r\n"}};
    sim.SetCommandReply("ls", reply);
    EXPECT_FALSE(ecr.ReadAllPlues(list));
    EXPECT_EQ(ecr.LastError, "ReadAllPlues failed -> '' is not a valid integer value");
    reply.Parts = {{'S', "x y\t1\r\n"}};
    sim.SetCommandReply("ls", reply);
    TECR_ALTETAXE_List taxes;
    EXPECT_FALSE(ecr.ReadAllAlteTaxes(taxes));
    EXPECT_EQ(ecr.LastError, "ReadAllAlteTaxes failed -> 'x y' is not a valid integer value");
    EXPECT_EQ(ecr.Device, nullptr);
}

TEST_F(EcrDeviceTest, WriteSinglePluStoresTheSixLinesAndReadsBack)
{
    TECR_PLU p = SamplePlu();
    const int before = sim.ConnectionCount();
    ASSERT_TRUE(ecr.WriteSinglePlu(p)) << ecr.LastError;
    EXPECT_EQ(sim.GetFile("/sd0/db0/12"), "plu,12,Bread^x2c;white\r\nbar,501\r\nprc,1.5,2,BUC\r\ndep,1,3,\r\n"
                                          "alte,0,,\r\nflg,20,2,,\r\n");
    ExpectClosed(before);

    TECR_PLU q = p;
    q.Number = 13;
    q.Name = "x^x2c;y";
    q.Barcode = "111,222";
    q.Price = 0.1;
    q.PayType = 1;
    q.Flags = {true, false, true, false, true, false, true, false, true};
    q.AlteTaxeId = 2;
    q.TaxValue = "0.5";
    q.AlteTaxeName = "Eco";
    q.Comment = "fresh";
    ASSERT_TRUE(ecr.WriteSinglePlu(q)) << ecr.LastError;
    TECR_PLU_List list;
    ASSERT_TRUE(ecr.ReadAllPlues(list)) << ecr.LastError;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], p);
    q.Name = "x,y";
    EXPECT_EQ(list[1], q);
}

TEST_F(EcrDeviceTest, WriteSinglePluRefusesUnsafeFieldsAndSendsNothing)
{
    TECR_PLU p;
    p.Number = 4;
    p.Unit = "k,g";
    EXPECT_FALSE(ecr.WriteSinglePlu(p));
    EXPECT_EQ(ecr.LastError, "WriteSinglePlu failed! -> WritePlu -> WritePlu failed! -> Unit must not contain a comma");
    EXPECT_TRUE(Commands().empty());
    EXPECT_FALSE(sim.GetFile("/sd0/db0/4"));

    TECR_ALTETAXE t{5, "a,b", ""};
    EXPECT_FALSE(ecr.WriteSingleAlteTaxe(t));
    EXPECT_EQ(ecr.LastError,
              "WriteSingleAlteTaxe failed! -> WriteAlteTaxe -> WriteAlteTaxe failed! -> Name must not contain a comma");
    EXPECT_TRUE(Commands().empty());
}

TEST_F(EcrDeviceTest, WriteFailuresCarryTheCommandLayerText)
{
    sim.SetRefusal("put /sd0/db0/4", TRefusal::Reject);
    TECR_PLU p;
    p.Number = 4;
    EXPECT_FALSE(ecr.WriteSinglePlu(p));
    EXPECT_TRUE(StartsWith(ecr.LastError, "WriteSinglePlu failed! -> WritePlu -> WritePlu failed! -> SetFileContent -> "
                                          "Device communication error.\r\n"))
        << ecr.LastError;
    EXPECT_NE(ecr.LastError.find("\r\n[SetFileContent]"), std::string::npos);
}

TEST_F(EcrDeviceTest, AlteTaxesRoundTrip)
{
    ASSERT_TRUE(ecr.WriteSingleAlteTaxe({3, "Eco", "3"})) << ecr.LastError;
    ASSERT_TRUE(ecr.WriteSingleAlteTaxe({1, "", ""})) << ecr.LastError;
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/3"), "alte,3,Eco\r\n");
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/1"), "alte,1,\r\n");
    std::vector<std::pair<int, int>> calls;
    TECR_ALTETAXE_List list;
    ASSERT_TRUE(ecr.ReadAllAlteTaxes(list, [&](int p, int t, bool&) { calls.emplace_back(p, t); })) << ecr.LastError;
    EXPECT_EQ(list, (TECR_ALTETAXE_List{{1, "", ""}, {3, "Eco", ""}}));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].second, 30);
    EXPECT_EQ(calls[2], (std::pair<int, int>{1, 2}));

    EXPECT_FALSE(ecr.ReadAllAlteTaxes(list, [](int, int t, bool& abort) { abort = t == 30; }));
    EXPECT_EQ(ecr.LastError, "ReadAllAlteTaxes failed -> User Canceled!");
    EXPECT_FALSE(ecr.ReadAllAlteTaxes(list, [](int, int t, bool& abort) { abort = t == 2; }));
    EXPECT_EQ(ecr.LastError, "User aborted operation!");
    EXPECT_EQ(list[0].Number, 1);
    EXPECT_EQ(list[1].Number, 0);

    sim.PutFile("/fd0/4/alte/7", "alte,x,Bad\r\n");
    EXPECT_FALSE(ecr.ReadAllAlteTaxes(list));
    EXPECT_EQ(ecr.LastError, "ReadAllAlteTaxes failed -> ReadAlteTaxe -> 'x' is not a valid integer value");
    sim.PutFile("/fd0/4/alte/z", "alte,1,z\r\n");
    EXPECT_FALSE(ecr.ReadAllAlteTaxes(list));
    EXPECT_EQ(ecr.LastError, "ReadAllAlteTaxes failed -> 'z' is not a valid integer value");
}

TEST_F(EcrDeviceTest, DeleteAllPluesSetsTheDeletedFlag)
{
    sim.SetPageSize(2);
    PutPlues(1, 5);
    ASSERT_TRUE(ecr.DeleteAllPlues()) << ecr.LastError;
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(sim.GetFile("/sd0/db0/" + std::to_string(n)), PluFile(n, "80")) << n;

    EXPECT_FALSE(ecr.DeleteAllPlues([](int, int, bool& abort) { abort = true; }));
    EXPECT_EQ(ecr.LastError, "DeleteAllPlues failed! -> ReadAllPlues -> ReadAllPlues failed -> User Canceled!");

    sim.SetRefusal("put /sd0/db0/3", TRefusal::Reject);
    EXPECT_FALSE(ecr.DeleteAllPlues());
    EXPECT_TRUE(StartsWith(ecr.LastError, "DeleteAllPlues failed! -> DeletePlu -> DeletePlu failed! -> WritePlu -> "
                                          "WritePlu failed! -> SetFileContent -> "))
        << ecr.LastError;
}

TEST_F(EcrDeviceTest, CashiersRoundTripAndDeletion)
{
    TECR_Cashiers in;
    for (int i = 1; i <= 35; ++i) {
        TECR_Cashier c;
        c.Number = i;
        c.Name = "Op," + std::to_string(i);
        c.Password = "p,w" + std::to_string(i);
        c.Sell = i & 1;
        c.Admin = i & 2;
        c.Reports = i & 4;
        c.Program = i & 8;
        in.push_back(c);
    }
    ASSERT_TRUE(ecr.WriteCashiers(in)) << ecr.LastError;
    EXPECT_EQ(sim.GetFile("/fd0/4/oper/3"), "oper,3,Op^x2c;3\r\npass,p^x2c;w3\r\nflg,00000003\r\n");
    EXPECT_TRUE(sim.GetFile("/fd0/4/oper/30"));
    EXPECT_FALSE(sim.GetFile("/fd0/4/oper/31"));

    TECR_Cashiers out;
    ASSERT_TRUE(ecr.GetCashiers(out)) << ecr.LastError;
    ASSERT_EQ(out.size(), 30u);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(out[i], in[i]) << i;

    // An empty name deletes that cashier with an empty put.
    TECR_Cashier gone;
    gone.Number = 2;
    ASSERT_TRUE(ecr.WriteCashiers({gone})) << ecr.LastError;
    EXPECT_FALSE(sim.GetFile("/fd0/4/oper/2"));
    EXPECT_EQ(Commands().back(), "put /fd0/4/oper/2");

    sim.ClearFiles();
    sim.PutFile("/fd0/4/oper/7", "oper,9,Front\r\npass,\r\nflg,00000004\r\n");
    ASSERT_TRUE(ecr.GetCashiers(out)) << ecr.LastError;
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Number, 7);
    EXPECT_EQ(out[0].Name.Str(), "Front");
    EXPECT_TRUE(out[0].Reports);

    sim.PutFile("/fd0/4/oper/8", "oper,8,A\r\npass,\r\nflg,0\r\nextra\r\n");
    EXPECT_FALSE(ecr.GetCashiers(out));
    EXPECT_EQ(ecr.LastError, "GetCashiers failed! -> GetCashier failed! -> Unexpected file content!");
    sim.PutFile("/fd0/4/oper/8", "oper,8,A\r\nword,\r\nflg,0\r\n");
    EXPECT_FALSE(ecr.GetCashiers(out));
    EXPECT_EQ(ecr.LastError, "GetCashiers failed! -> GetCashier failed! -> Unexpected passContent content!");

    sim.SetRefusal("put /fd0/4/oper/2", TRefusal::Reject);
    EXPECT_FALSE(ecr.WriteCashiers({gone}));
    EXPECT_TRUE(StartsWith(ecr.LastError, "WriteCashier -> WriteCashier -> SetFileContent -> ")) << ecr.LastError;
}

TEST_F(EcrDeviceTest, AdvertisingLines)
{
    TECR_AdvLines lines;
    bool fiscal = false;
    // No ROWS file: success, lines as passed, even on a fiscal register.
    ASSERT_TRUE(ecr.ReadAdvLines(lines, fiscal)) << ecr.LastError;
    EXPECT_TRUE(fiscal);
    EXPECT_EQ(lines, TECR_AdvLines{});

    TECR_AdvLines written;
    for (int k = 0; k < kAdvLineCount; ++k)
        written[k] = k == 4 ? "" : "Line <" + std::to_string(k) + "> & \xC0";
    ASSERT_TRUE(ecr.WriteAdvLines(written)) << ecr.LastError;
    const std::string doc = sim.GetFile("/fd0/1/n_snd/ROWS").value_or("");
    EXPECT_TRUE(StartsWith(doc, "<ROWS><ROW0>Line &lt;0&gt; &amp; \xC0</ROW0><ROW1>Line")) << doc;
    EXPECT_NE(doc.find("<ROW4/>"), std::string::npos);

    // A control character would make the document unreadable: nothing is sent.
    TECR_AdvLines bad = written;
    bad[7] = "a\x01b";
    EXPECT_FALSE(ecr.WriteAdvLines(bad));
    EXPECT_EQ(ecr.LastError, "WriteAdvLines failed -> Line 7 must not contain a control character");
    EXPECT_EQ(sim.GetFile("/fd0/1/n_snd/ROWS"), doc);

    sim.SetZregs("5", std::nullopt, std::nullopt);
    ASSERT_TRUE(ecr.ReadAdvLines(lines, fiscal)) << ecr.LastError;
    EXPECT_FALSE(fiscal);
    EXPECT_EQ(lines, written);

    sim.SetZregs("1", "123", "Shop A");
    ASSERT_TRUE(ecr.ReadAdvLines(lines, fiscal)) << ecr.LastError;
    EXPECT_TRUE(fiscal);
    EXPECT_EQ(lines[0], "Shop A");
    EXPECT_EQ(lines[1], written[1]);

    sim.SetZregs("3", "1", "x");
    EXPECT_FALSE(ecr.ReadAdvLines(lines, fiscal));
    EXPECT_EQ(ecr.LastError, "ReadAdvLines failed! GetFiscInfo -> Unknown ECR Status 3");

    sim.SetZregs("5", std::nullopt, std::nullopt);
    sim.PutFile("/fd0/1/n_snd/ROWS", "<X><ROW0>a</ROW0><ROW1/><ROW2/><ROW3/><ROW5/></X>");
    EXPECT_FALSE(ecr.ReadAdvLines(lines, fiscal));
    EXPECT_EQ(ecr.LastError,
              "ReadAdvLines failed! General XML error\r\nNode \"ROW4\" does not exist in XML document");
    EXPECT_EQ(lines[0], "Shop A"); // untouched by the failed read

    sim.PutFile("/fd0/1/n_snd/ROWS", "<X><ROW0>a</X>");
    EXPECT_FALSE(ecr.ReadAdvLines(lines, fiscal));
    EXPECT_TRUE(StartsWith(ecr.LastError, "ReadAdvLines failed! loadXML -> \r\nParseXML fail:")) << ecr.LastError;

    // Line breaks inside a line come back as CR LF.
    sim.PutFile("/fd0/1/n_snd/ROWS",
                "<X><ROW0>a\nb</ROW0><ROW1/><ROW2/><ROW3/><ROW4/><ROW5/><ROW6/><ROW7/><ROW8/><ROW9>  </ROW9></X>");
    ASSERT_TRUE(ecr.ReadAdvLines(lines, fiscal)) << ecr.LastError;
    EXPECT_EQ(lines[0], "a\r\nb");
    EXPECT_EQ(lines[9], "  ");
}

TEST_F(EcrDeviceTest, FiscalInfo)
{
    bool fiscal = false;
    std::string tin, name;
    sim.SetZregs("1", "987", "Shop");
    ASSERT_TRUE(ecr.GetFiscInfo(fiscal, tin, name)) << ecr.LastError;
    EXPECT_TRUE(fiscal);
    EXPECT_EQ(tin, "987");
    EXPECT_EQ(name, "Shop");
    EXPECT_EQ(Commands(), std::vector<std::string>{"get zregs"});

    sim.SetZregs("1", std::nullopt, "Shop");
    EXPECT_FALSE(ecr.GetFiscInfo(fiscal, tin, name));
    EXPECT_EQ(ecr.LastError, "General XML error\r\nNode \"tin\" does not exist in XML document");
    sim.SetZregs("1", "", "Shop");
    EXPECT_FALSE(ecr.GetFiscInfo(fiscal, tin, name));
    EXPECT_EQ(ecr.LastError, "General XML error\r\nXML node \"tin\" is empty");
    sim.SetZregs(std::nullopt, "1", "Shop");
    EXPECT_FALSE(ecr.GetFiscInfo(fiscal, tin, name));
    EXPECT_EQ(ecr.LastError, "General XML error\r\nNode \"status\" does not exist in XML document");
    sim.SetZregs("five", "1", "Shop");
    EXPECT_FALSE(ecr.GetFiscInfo(fiscal, tin, name));
    EXPECT_EQ(ecr.LastError, "General XML error\r\nXML node \"status\" is not integer value");

    sim.SetZregsXml("<zregs><status>5");
    EXPECT_FALSE(ecr.GetFiscInfo(fiscal, tin, name));
    EXPECT_TRUE(StartsWith(ecr.LastError, "loadXML -> \r\nParseXML fail:")) << ecr.LastError;
    // The mismatched "b" is on line 2, its 12th character, 20 characters into the text.
    sim.SetZregsXml("<zregs>\r\n<status>1</b>\r\n</zregs>\r\n");
    EXPECT_FALSE(ecr.GetFiscInfo(fiscal, tin, name));
    EXPECT_EQ(ecr.LastError, "loadXML -> \r\nParseXML fail:Start-end tags mismatch [Line:2 Linepos:12 Filepos:20]");

    sim.SetRefusal("get zregs", TRefusal::Reject);
    EXPECT_FALSE(ecr.GetFiscInfo(fiscal, tin, name));
    EXPECT_TRUE(StartsWith(ecr.LastError, "SendCommand -> ")) << ecr.LastError;
    EXPECT_NE(ecr.LastError.find("\r\n[SendCommand:get zregs]"), std::string::npos) << ecr.LastError;
}
