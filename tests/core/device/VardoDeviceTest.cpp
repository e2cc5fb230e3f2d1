// The command layer over the simulator: greeting, file commands, argument
// checks, the clock, and the XML exchange with its failure texts.

#include "support/DeviceFixture.h"

#include "core/base/CodePage.h"
#include "core/device/VardoDeviceUnit.h"

using ecrsim::TCommandReply;
using ecrsim::TRefusal;

class VardoDeviceTest : public DeviceFixture {
protected:
    TVardoDevice dev{0};
    void Open()
    {
        dev.PortNumber = kPort;
        ASSERT_TRUE(dev.OpenDevice(false)) << dev.LastError;
    }
};

TEST_F(VardoDeviceTest, OpenDeviceGreetsAndReadsTheIdentification)
{
    sim.SetInfo("TYPE", "2");
    sim.SetInfo("MOD", "M-1");
    sim.SetInfo("VER", "3.1");
    sim.SetInfo("FDIN", "DN77");
    sim.SetInfo("FMIN", std::nullopt);
    Open();
    EXPECT_EQ(dev.DevType, "2");
    EXPECT_EQ(dev.DevModel, "M-1");
    EXPECT_EQ(dev.DevVersion, "3.1");
    EXPECT_EQ(dev.DevFdin, "DN77");
    EXPECT_EQ(dev.DevFmin, "");
    ASSERT_TRUE(dev.XmlDoc);
    EXPECT_FALSE(dev.XmlDoc->document_element());
    const std::vector<std::string> lines = TypedPackets();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Sping 111");
    EXPECT_EQ(lines[1], "Sinfo TYPE MOD VER FDIN FMIN");
    EXPECT_EQ(sim.UnlockCount(), 1);
}

TEST_F(VardoDeviceTest, ThePingReplyTravelsOnAsTheDataOfInfo)
{
    sim.SetPingReply("P1\r\n");
    Open();
    const std::vector<std::string> lines = TypedPackets();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Rinfo TYPE MOD VER FDIN FMIN");
    EXPECT_EQ(lines[2], "QP1\r\n");
    EXPECT_EQ(dev.DevModel, "SIM-ECR");
}

TEST_F(VardoDeviceTest, SecondPingWhenTheFirstIsRefused)
{
    sim.SetRefusal("ping 111", TRefusal::Reject);
    Open();
    EXPECT_EQ(dev.DevModel, "SIM-ECR");
}

TEST_F(VardoDeviceTest, WrongPortFailsWithTheChainAndLeavesThePortClosed)
{
    dev.PortNumber = kAbsentPort;
    EXPECT_FALSE(dev.OpenDevice(false));
    EXPECT_TRUE(StartsWith(dev.LastError, "Device communication error.\r\n")) << dev.LastError;
    EXPECT_TRUE(EndsWith(dev.LastError, "\r\n[OpenDevice]")) << dev.LastError;
    EXPECT_FALSE(dev.Comm.IsOpen());
}

TEST_F(VardoDeviceTest, CloseAndAFailedOpenLeaveNoIdentityBehind)
{
    const auto identity = [&] {
        return std::vector<std::string>{dev.DevType, dev.DevModel, dev.DevFdin, dev.DevFmin, dev.DevVersion};
    };
    const std::vector<std::string> read{"1", "SIM-ECR", "SM00001234", "FM1", "1.00.0"};
    const std::vector<std::string> none(read.size());
    sim.SetInfo("FMIN", "FM1");
    Open();
    ASSERT_EQ(identity(), read);
    dev.CloseDevice();
    EXPECT_EQ(identity(), none);
    EXPECT_FALSE(dev.Comm.IsOpen());

    Open();
    ASSERT_EQ(identity(), read);
    dev.PortNumber = kAbsentPort;
    EXPECT_FALSE(dev.OpenDevice(false));
    EXPECT_EQ(identity(), none);
}

TEST_F(VardoDeviceTest, SilentRegisterGivesBothPingsTimeouts)
{
    sim.SetRefusal("ping 111", TRefusal::Silent);
    sim.SetRefusal("ping 222", TRefusal::Silent);
    dev.PortNumber = kPort;
    EXPECT_FALSE(dev.OpenDevice(false));
    EXPECT_TRUE(StartsWith(dev.LastError, "Device communication error.\r\nDevice does not respond. "))
        << dev.LastError;
    EXPECT_TRUE(EndsWith(dev.LastError, "Communication error. [CMD:ping]Send command Fail\r\n[OpenDevice]"))
        << dev.LastError;
    EXPECT_FALSE(dev.Comm.IsOpen());
    // The second ping was tried before giving up.
    bool second = false;
    for (const auto& p : sim.ReceivedPackets())
        second = second || p.Data == "ping 222";
    EXPECT_TRUE(second);
}

TEST_F(VardoDeviceTest, ArgumentChecksSendNothing)
{
    TLineList list;
    EXPECT_FALSE(dev.ChangeCurrentDir("/sd0"));
    EXPECT_EQ(dev.LastError, "Device is not connected.\r\n[ChangeCurrentDir]");
    Open();
    sim.ClearLogs();
    EXPECT_FALSE(dev.GetFileContent("", &list));
    EXPECT_EQ(dev.LastError, "Invalid file name. Empty value!\r\n[GetFileContent]");
    EXPECT_FALSE(dev.GetDirContent(nullptr, true));
    EXPECT_EQ(dev.LastError, "System Error. Container is not assigned!\r\n[GetDirContent]");
    EXPECT_FALSE(dev.SetFileContent("", std::string("x")));
    EXPECT_EQ(dev.LastError, "Invalid file name. Empty value!\r\n[SetFileContent]");
    EXPECT_FALSE(dev.SetFileContent("/a", static_cast<TLineList*>(nullptr)));
    EXPECT_EQ(dev.LastError, "System Error. Container is not assigned!\r\n[SetFileContent]");
    EXPECT_TRUE(sim.ReceivedPackets().empty());
    // A later success leaves the text of the last failure.
    EXPECT_TRUE(dev.ChangeCurrentDir("/sd0"));
    EXPECT_EQ(dev.LastError, "System Error. Container is not assigned!\r\n[SetFileContent]");
}

TEST_F(VardoDeviceTest, FileCommands)
{
    Open();
    TLineList lines{"alte,3,Eco"};
    ASSERT_TRUE(dev.SetFileContent("/fd0/4/alte/3", &lines)) << dev.LastError;
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/3"), "alte,3,Eco\r\n");
    ASSERT_TRUE(dev.SetFileContent("/fd0/4/alte/4", std::string("raw\r\n")));
    EXPECT_EQ(sim.GetFile("/fd0/4/alte/4"), "raw\r\n");
    ASSERT_TRUE(dev.GetFileContent("/fd0/4/alte/3", &lines));
    EXPECT_EQ(lines, TLineList{"alte,3,Eco"});

    ASSERT_TRUE(dev.ChangeCurrentDir("/fd0/4/alte/"));
    ASSERT_TRUE(dev.GetDirContent(&lines, true));
    EXPECT_EQ(lines, (TLineList{"3", "4"}));

    EXPECT_FALSE(dev.GetFileContent("/fd0/4/alte/9", &lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(StartsWith(dev.LastError, "Device communication error.\r\n")) << dev.LastError;
    EXPECT_TRUE(EndsWith(dev.LastError, "[CMD:cat]Send command Fail\r\n[GetFileContent]")) << dev.LastError;
}

TEST_F(VardoDeviceTest, NamesOnlyKeepsTheTrimmedTextBeforeTheTab)
{
    Open();
    TCommandReply reply;
    reply.Parts = {{'S', " abc\t12\r\nplain\r\n\x01x y \t<DIR>\r\n"}};
    sim.SetCommandReply("ls", reply);
    TLineList lines;
    ASSERT_TRUE(dev.GetDirContent(&lines, true));
    EXPECT_EQ(lines, (TLineList{"abc", "plain", "x y"}));
    ASSERT_TRUE(dev.GetDirContent(&lines, false));
    EXPECT_EQ(lines[0], " abc\t12");
}

TEST_F(VardoDeviceTest, SetClockSendsTheTimeArgument)
{
    Open();
    std::tm t{};
    t.tm_year = 125;
    t.tm_mon = 0;
    t.tm_mday = 1;
    ASSERT_TRUE(dev.SetClock(t)) << dev.LastError;
    t = {};
    t.tm_year = 124;
    t.tm_mon = 4;
    t.tm_mday = 31;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    ASSERT_TRUE(dev.SetClock(t));
    EXPECT_EQ(Commands(), (std::vector<std::string>{"set TIME 25/01/01,00:00:00+00", "set TIME 24/05/31,14:05:09+00"}));
    sim.SetRefusal("set TIME 24/05/31,14:05:09+00", TRefusal::Reject);
    EXPECT_FALSE(dev.SetClock(t));
    EXPECT_TRUE(StartsWith(dev.LastError, "Fail set device clock. Operation rejected.\r\n")) << dev.LastError;
    EXPECT_TRUE(EndsWith(dev.LastError, "\r\n[SetClock]"));
}

TEST_F(VardoDeviceTest, SendCommandPassesTheLinkText)
{
    Open();
    TLineList lines;
    ASSERT_TRUE(dev.SendCommand("get zregs", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_FALSE(dev.SendCommand("bogus x", &lines));
    EXPECT_TRUE(StartsWith(dev.LastError, dev.Comm.LastError())) << dev.LastError;
    EXPECT_TRUE(EndsWith(dev.LastError, "\r\n[SendCommand:bogus x]"));
}

TEST_F(VardoDeviceTest, SendXmlCommandSendsThePlainDocumentAndParsesTheReply)
{
    Open();
    pugi::xml_node root = dev.InitXmlRoot("ROWS");
    root.append_child("ROW0").append_child(pugi::node_pcdata).set_value("a<b & \xC0");
    root.append_child("ROW1");
    ASSERT_TRUE(dev.SendXmlCommand("put n_2snd ROWS", {}, 5000)) << dev.LastError;
    EXPECT_EQ(dev.Comm.ReplyTimeout(), 5000u);
    const std::string stored = sim.GetFile("/fd0/1/n_snd/ROWS").value_or("");
    EXPECT_EQ(stored.find("<?xml"), std::string::npos);
    EXPECT_EQ(stored, "<ROWS><ROW0>a&lt;b &amp; \xC0</ROW0><ROW1/></ROWS>");
    // The empty reply leaves a new, empty document.
    EXPECT_FALSE(dev.XmlDoc->document_element());

    TCommandReply reply;
    reply.Parts = {{'S', "<r>\n<a>1</b></r>"}};
    sim.SetCommandReply("put", reply);
    EXPECT_FALSE(dev.SendXmlCommand("put n_2snd ROWS", {}, 5000));
    EXPECT_TRUE(StartsWith(dev.LastError, "Invalid data format. Error parsing XML.\r\nParseXML fail:"))
        << dev.LastError;
    EXPECT_NE(dev.LastError.find(" [Line:2 Linepos:"), std::string::npos) << dev.LastError;
    EXPECT_TRUE(EndsWith(dev.LastError, "]\r\n[SendXmlCommand:put n_2snd ROWS]")) << dev.LastError;

    // A reply without any element is no document: a parse failure, as in "get zregs".
    reply.Parts = {{'S', "\r\n<!-- nothing -->"}};
    sim.SetCommandReply("put", reply);
    EXPECT_FALSE(dev.SendXmlCommand("put n_2snd ROWS", {}, 5000));
    EXPECT_EQ(dev.LastError, "Invalid data format. Error parsing XML.\r\nParseXML fail:No document element found"
                             " [Line:2 Linepos:17 Filepos:18]\r\n[SendXmlCommand:put n_2snd ROWS]");

    reply.Parts = {{'S', "<ok><status>5</status></ok>"}};
    sim.SetCommandReply("put", reply);
    ASSERT_TRUE(dev.SendXmlCommand("put n_2snd ROWS", {}, 5000));
    EXPECT_EQ(dev.GetXmlNodeInt("status", {}, true), 5);
}

TEST(VardoDeviceXml, HelpersAndTheirTexts)
{
    TVardoDevice dev(0);
    auto message = [](auto&& f) {
        try {
            f();
        } catch (const EccError& e) {
            return std::string(e.what());
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(message([&] { dev.InitXmlRoot("x"); }), "Unable to init XMLdoc header\r\nXML document does not exist.");
    EXPECT_EQ(message([&] { dev.GetXmlRoot(true); }), "Unable to create XML interface\r\nXML document is not assigned");
    EXPECT_FALSE(dev.GetXmlRoot(false));

    dev.NewXmlDocument();
    EXPECT_EQ(message([&] { dev.GetXmlRoot(true); }), "Unable to init XMLdoc header\r\nXML document is empty");
    EXPECT_EQ(message([&] { dev.FindXmlNode("a", {}, true); }), "Unable to init XMLdoc header\r\nXML document is empty");
    EXPECT_FALSE(dev.FindXmlNode("a", {}, false));

    ASSERT_EQ(dev.LoadXml("<z><status>5</status><bad>abc</bad><tin></tin><t>a\nb<i>c</i></t><s> 7 </s></z>"), "");
    const pugi::xml_node root = dev.GetXmlRoot(true);
    EXPECT_EQ(dev.InitXmlRoot("other"), root);
    EXPECT_EQ(dev.GetXmlNodeInt("status", root, true), 5);
    EXPECT_EQ(dev.GetXmlNodeInt("s", root, true), 7);
    EXPECT_EQ(message([&] { dev.GetXmlNodeInt("bad", root, true); }),
              "General XML error\r\nXML node \"bad\" is not integer value");
    EXPECT_EQ(dev.GetXmlNodeInt("bad", root, false), 0);
    EXPECT_EQ(message([&] { dev.FindXmlNode("status", root.child("tin"), true); }),
              "General XML error\r\nNode \"status\" does not exist in XML document");
    EXPECT_EQ(message([&] { dev.GetXmlNodeText("tin", root, true, true); }),
              "General XML error\r\nXML node \"tin\" is empty");
    EXPECT_EQ(dev.GetXmlNodeText("tin", root, false, true), "");
    EXPECT_EQ(dev.GetXmlNodeText("missing", root, false, false), "");
    EXPECT_EQ(dev.GetXmlNodeText("t", {}, false, true), "a\r\nbc");

    // References resolve into the code page; bytes outside them pass unchanged.
    ASSERT_EQ(dev.LoadXml("<a><b>&#1046;&lt;&#x41;&amp;&#26085;&unknown;\xC0</b><c><![CDATA[&lt;]]></c></a>"), "");
    EXPECT_EQ(dev.GetXmlNodeText("b", {}, false, true), *Utf8ToCodePage("Ж") + "<A&?&unknown;\xC0");
    EXPECT_EQ(dev.GetXmlNodeText("c", {}, false, true), "&lt;");

    const std::string report = dev.LoadXml("<a>\r\n <b></a>");
    EXPECT_TRUE(StartsWith(report, "ParseXML fail:")) << report;
    EXPECT_NE(report.find(" [Line:2 Linepos:"), std::string::npos) << report;
    EXPECT_FALSE(dev.LoadXml("").empty());

    // Line and column come from the parser's offset, counted from 1; the
    // position in the text is that offset.
    pugi::xml_parse_result r;
    r.status = pugi::status_end_element_mismatch;
    r.offset = 8;
    EXPECT_EQ(XmlParseReport(r, "<a>\r\n <b></a>"),
              std::string("ParseXML fail:") + r.description() + " [Line:2 Linepos:4 Filepos:8]");
    r.offset = 0;
    EXPECT_EQ(XmlParseReport(r, "x"), std::string("ParseXML fail:") + r.description() + " [Line:1 Linepos:1 Filepos:0]");
}

TEST(VardoDeviceXml, ErrorTexts)
{
    EXPECT_EQ(EccErrorText(2, 0), "Unknown system error");
    EXPECT_EQ(EccErrorText(77, 0), "Unknown system error");
    EXPECT_EQ(EccErrorText(0, 0), "");
    EXPECT_EQ(EccErrorText(3, 2), "");
    EXPECT_EQ(CodePageToUtf8(EccErrorText(3, 1)), "Устройството не е инициализирано.");
    EXPECT_STREQ(EccError(5, "", 0).what(), "Invalid format of device answer.");
    EXPECT_STREQ(EccError(10, "why", 0).what(), "Unable to reboot device\r\nwhy");
}
