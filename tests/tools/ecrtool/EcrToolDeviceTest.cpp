// ecrtool's record commands: the strict JSON reader, the record mapping and
// the commands themselves against the simulator.

#include "support/DeviceFixture.h"

#include "DeviceCommands.h"
#include "core/backup/DeviceJson.h"
#include "core/base/Json.h"
#include "core/base/CodePage.h"

#include <sstream>

namespace {

TECR_PLU SamplePlu(uint32_t number)
{
    TECR_PLU p;
    p.Number = number;
    p.Name = *Utf8ToCodePage("Хляб, бял");
    p.Barcode = "501,502";
    p.Price = 0.99;
    p.Group = 3;
    p.AlteTaxeId = -1;
    p.TaxValue = "0.5";
    p.AlteTaxeName = "Eco";
    p.SubGroup = 1;
    p.TaxGroup = 2;
    p.PayType = 3;
    p.Flags[5] = p.Flags[8] = true;
    p.Comment = "c \"q\"";
    p.Unit = "BUC";
    return p;
}

} // namespace

TEST(EcrToolJson, StrictReader)
{
    const char* good[] = {
        R"({"a":[1,-0.5e+3,true,false,null,"x\u00e9\ud83d\ude00\n"]})", " [ ] ", R"("\/")", "0", "-0",
    };
    for (const char* text : good) {
        std::string error;
        EXPECT_TRUE(ParseJson(text, error)) << text << ": " << error;
    }
    const char* bad[] = {
        "", "{", R"({"a":1,})", "[1,]", R"({"a":1,"a":2})", "01", "1.", ".5", "+1", "1e", "NaN", "'x'",
        "\"a\tb\"", R"("\x")", R"("\ud800")", R"("\udc00")", "\"\xC3\"", "\"\xC0\x80\"", "\"\xED\xA0\x80\"",
        "[1] x", "{\"a\" 1}", "tru", "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]",
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(ParseJson(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string error;
    const auto v = ParseJson(R"({"s":"\u0416\"","n":7})", error);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->Member("s")->Text, "Ж\"");
    EXPECT_EQ(JsonInteger(*v->Member("n"), 0, 7), 7);
    EXPECT_FALSE(JsonInteger(*v->Member("n"), 0, 6));
    EXPECT_FALSE(JsonInteger(*ParseJson("7.0", error), 0, 9));
    EXPECT_FALSE(JsonDouble(*ParseJson("1e400", error)));
}

TEST(EcrToolJson, ShortestExactNumbersAndEscapedStrings)
{
    EXPECT_EQ(JsonNumber(0.99), "0.99");
    EXPECT_EQ(JsonNumber(2.0), "2");
    EXPECT_EQ(JsonNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(JsonNumber(1e-6), "1e-06");
    EXPECT_EQ(JsonNumber(int64_t{4294967295}), "4294967295");
    std::string error;
    EXPECT_EQ(JsonDouble(*ParseJson(JsonNumber(0.1 + 0.2), error)), 0.1 + 0.2);
    EXPECT_EQ(JsonString("a\"b\\c\r\n\x01\x7F\xD0\x96"), "\"a\\\"b\\\\c\\r\\n\\u0001\\u007f\xD0\x96\"");
}

TEST(EcrToolJson, RecordsRoundTripAndEveryProblemIsNamed)
{
    const TECR_PLU plu = SamplePlu(12);
    const std::string json = PluToJson(plu);
    EXPECT_NE(json.find("\"Name\":\"Хляб, бял\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"Price\":0.99,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"Flags\":\"000001001\""), std::string::npos) << json;
    TECR_PLU back;
    std::string error;
    ASSERT_TRUE(PluFromJson(json, back, error)) << error;
    EXPECT_EQ(back, plu);

    auto replace = [&](const std::string& from, const std::string& to) {
        std::string s = json;
        const std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    const struct {
        std::string line;
        const char* error;
    } cases[] = {
        {"[1]", "a JSON object is expected"},
        {replace("\"Group\":3,", ""), "field \"Group\" is missing"},
        {replace("\"Group\":3", "\"Group\":256"), "field \"Group\" must be a whole number from 0 to 255"},
        {replace("\"Group\":3", "\"Group\":\"3\""), "field \"Group\" must be a whole number from 0 to 255"},
        {replace("\"Number\":12", "\"Number\":-1"), "field \"Number\" must be a whole number from 0 to 4294967295"},
        {replace("\"Price\":0.99", "\"Price\":\"0.99\""), "field \"Price\" must be a number"},
        {replace("\"Flags\":\"000001001\"", "\"Flags\":\"00000100\""),
         "field \"Flags\" must be a string of nine \"0\" or \"1\""},
        {replace("\"Flags\":\"000001001\"", "\"Flags\":\"00000100x\""),
         "field \"Flags\" must be a string of nine \"0\" or \"1\""},
        {replace("\"Unit\":\"BUC\"", "\"Unit\":\"日\""), "field \"Unit\" has characters that Windows-1251 cannot hold"},
        {replace("\"Unit\":\"BUC\"", "\"Unit\":\"a\\u0000\""), "field \"Unit\" must not contain a zero character"},
        {replace("\"Unit\":\"BUC\"", "\"Unit\":\"BUC\",\"Extra\":1"), "unknown field \"Extra\""},
        {replace("\"Name\":\"Хляб, бял\"", "\"Name\":\"" + std::string(128, 'x') + "Жx" + std::string(127, 'x') + "\""),
         "field \"Name\" is longer than 255 characters"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(PluFromJson(c.line, back, error)) << c.line;
        EXPECT_EQ(error, c.error) << c.line;
    }
    EXPECT_EQ(back, plu); // a refused line leaves the record alone

    TECR_Cashier cashier;
    cashier.Number = 3;
    cashier.Name = *Utf8ToCodePage("Иван");
    cashier.Password = "1,2";
    cashier.Admin = true;
    TECR_Cashier cashierBack;
    ASSERT_TRUE(CashierFromJson(CashierToJson(cashier), cashierBack, error)) << error;
    EXPECT_EQ(cashierBack, cashier);
    EXPECT_FALSE(CashierFromJson(R"({"Number":1,"Name":"a","Password":"","Sell":0,"Admin":false,"Reports":false,"Program":false})",
                                 cashierBack, error));
    EXPECT_EQ(error, "field \"Sell\" must be true or false");

    TECR_AdvLines lines;
    lines[3] = *Utf8ToCodePage("Благодарим!");
    TECR_AdvLines linesBack;
    ASSERT_TRUE(AdvLinesFromJson(AdvLinesToJson(lines), linesBack, error)) << error;
    EXPECT_EQ(linesBack, lines);
    EXPECT_FALSE(AdvLinesFromJson(R"(["","","","","","","","",""])", linesBack, error));
    EXPECT_EQ(error, "an array of ten strings is expected");
}

class EcrToolDeviceTest : public DeviceFixture {
protected:
    int Run(const std::string& command, const std::vector<std::string>& args, const std::string& input = "")
    {
        TToolContext context;
        context.DevicePath = sim.DevicePath();
        std::istringstream in(input);
        out.str("");
        err.str("");
        return RunDeviceCommand(command, context, args, in, out, err);
    }
    std::ostringstream out, err;
};

TEST_F(EcrToolDeviceTest, PluWriteChecksEveryLineBeforeConnecting)
{
    const std::string good = PluToJson(SamplePlu(1)) + "\n";
    EXPECT_EQ(Run("plu-write", {"-"}, good + "\n" + good + "{\"Number\":3}\n"), 1);
    EXPECT_EQ(err.str(), "ecrtool plu-write: line 4: field \"Name\" is missing\n");
    EXPECT_TRUE(sim.ReceivedPackets().empty());
    EXPECT_EQ(sim.UnlockCount(), 0);

    TECR_PLU refused = SamplePlu(3);
    refused.Unit = "k,g";
    EXPECT_EQ(Run("plu-write", {}, PluToJson(SamplePlu(1)) + "\r\n" + PluToJson(SamplePlu(2)) + "\n" +
                                       PluToJson(refused) + "\n" + PluToJson(SamplePlu(4)) + "\n"),
              1);
    EXPECT_EQ(err.str(), "WriteSinglePlu failed! -> WritePlu -> WritePlu failed! -> Unit must not contain a comma\n");
    EXPECT_TRUE(sim.GetFile("/sd0/db0/1"));
    EXPECT_TRUE(sim.GetFile("/sd0/db0/2"));
    EXPECT_FALSE(sim.GetFile("/sd0/db0/4"));

    EXPECT_EQ(Run("plu-read", {}), 0) << err.str();
    EXPECT_EQ(out.str(), PluToJson(SamplePlu(1)) + "\n" + PluToJson(SamplePlu(2)) + "\n");
    EXPECT_EQ(err.str(), ""); // no progress when stderr is no terminal

    EXPECT_EQ(Run("plu-delete-all", {}), 0) << err.str();
    EXPECT_EQ(Run("plu-read", {}), 0);
    EXPECT_NE(out.str().find("\"Flags\":\"000001011\""), std::string::npos) << out.str();
}

TEST_F(EcrToolDeviceTest, OtherCommands)
{
    EXPECT_EQ(Run("info", {}), 0) << err.str();
    EXPECT_EQ(out.str(), "{\"Model\":\"SIM-ECR\",\"Version\":\"1.00.0\",\"SerialNumber\":\"SM00001234\","
                         "\"FiscalMemoryNumber\":\"FM00005678\",\"DeviceType\":\"1\"}\n");
    sim.SetZregs("1", "123", *Utf8ToCodePage("Магазин"));
    EXPECT_EQ(Run("fisc", {}), 0) << err.str();
    EXPECT_EQ(out.str(), "{\"IsFiscal\":true,\"Tin\":\"123\",\"Name\":\"Магазин\"}\n");

    EXPECT_EQ(Run("tax-write", {"4", "Зелен"}), 0) << err.str();
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/4"), "alte,4," + *Utf8ToCodePage("Зелен") + "\r\n");
    EXPECT_EQ(Run("taxes-read", {}), 0) << err.str();
    EXPECT_EQ(out.str(), "{\"Number\":4,\"Name\":\"Зелен\"}\n");
    EXPECT_EQ(Run("tax-write", {"x4", "a"}), 2);
    EXPECT_EQ(Run("tax-write", {"4"}), 2);

    const std::string cashiers =
        "{\"Number\":1,\"Name\":\"A,1\",\"Password\":\"p\",\"Sell\":true,\"Admin\":false,\"Reports\":false,\"Program\":true}\n"
        "{\"Number\":2,\"Name\":\"B\",\"Password\":\"\",\"Sell\":false,\"Admin\":false,\"Reports\":false,\"Program\":false}\n";
    EXPECT_EQ(Run("cashiers-write", {"-"}, cashiers), 0) << err.str();
    EXPECT_EQ(Run("cashiers-read", {}), 0) << err.str();
    EXPECT_EQ(out.str(), cashiers);
    EXPECT_EQ(Run("cashiers-write", {}, "{\"Number\":2,\"Name\":\"\",\"Password\":\"\",\"Sell\":false,\"Admin\":false,"
                                        "\"Reports\":false,\"Program\":false}\n"),
              0);
    EXPECT_FALSE(sim.GetFile("/fd0/4/oper/2"));

    sim.SetZregs("5", std::nullopt, std::nullopt);
    EXPECT_EQ(Run("adv-write", {}, "[\"Шапка\",\"1\",\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\"]\n"), 0) << err.str();
    EXPECT_EQ(Run("adv-read", {}), 0) << err.str();
    EXPECT_EQ(out.str(), "[\"Шапка\",\"1\",\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\"]\n");

    EXPECT_EQ(Run("adv-write", {"/nonexistent/file"}), 1);
    EXPECT_EQ(err.str(), "ecrtool adv-write: cannot read '/nonexistent/file'\n");
    EXPECT_EQ(Run("info", {"extra"}), 2);
}

TEST_F(EcrToolDeviceTest, FailurePrintsTheChain)
{
    sim.SetRefusal("ping 111", ecrsim::TRefusal::Reject);
    sim.SetRefusal("ping 222", ecrsim::TRefusal::Reject);
    EXPECT_EQ(Run("info", {}), 1);
    EXPECT_EQ(err.str().rfind("GetDevInfo failed! -> OpenDevice -> Device communication error.\r\n", 0), 0u)
        << err.str();
    EXPECT_EQ(out.str(), "");
}

TEST_F(EcrToolDeviceTest, CommandHelpByteOrderMarkAndCashiersBeyondThirty)
{
    // Help is printed, not read as a file name, and nothing is sent.
    EXPECT_EQ(Run("plu-write", {"--help"}), 0);
    EXPECT_EQ(out.str().rfind("Usage: ecrtool [--port N | --device PATH] plu-write [FILE|-]\n", 0), 0u) << out.str();
    EXPECT_NE(out.str().find("Stops at the first"), std::string::npos) << out.str();
    EXPECT_EQ(Run("cashiers-read", {"-h"}), 0);
    EXPECT_NE(out.str().find("Password"), std::string::npos);
    EXPECT_EQ(sim.UnlockCount(), 0);

    const std::string plu = PluToJson(SamplePlu(5));
    EXPECT_EQ(Run("plu-write", {}, "\xEF\xBB\xBF" + plu + "\n"), 0) << err.str();
    EXPECT_TRUE(sim.GetFile("/sd0/db0/5"));

    std::string cashiers;
    for (int n = 1; n <= 32; ++n)
        cashiers += "{\"Number\":" + std::to_string(n) +
                    ",\"Name\":\"C\",\"Password\":\"\",\"Sell\":false,\"Admin\":false,\"Reports\":false,\"Program\":false}\n";
    EXPECT_EQ(Run("cashiers-write", {}, cashiers), 0) << err.str();
    EXPECT_TRUE(sim.GetFile("/fd0/4/oper/30"));
    EXPECT_FALSE(sim.GetFile("/fd0/4/oper/31"));
    EXPECT_EQ(err.str(), "ecrtool cashiers-write: only the first 30 cashiers were written; 2 more ignored\n");

    // Records that cannot be written out make a failure.
    TToolContext context;
    context.DevicePath = sim.DevicePath();
    std::istringstream in;
    sim.PutFile("/fd0/4/alte/1", "alte,1,Eco\r\n");
    std::ostream nowhere(nullptr);
    err.str("");
    EXPECT_EQ(RunDeviceCommand("taxes-read", context, {}, in, nowhere, err), 1);
    EXPECT_EQ(err.str(), "ecrtool taxes-read: cannot write to standard output\n");
}
