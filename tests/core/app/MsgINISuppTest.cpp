#include "core/app/MsgINISupp.h"
#include "core/base/FileUtil.h"
#include "core/base/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

namespace {

// What an empty language file holds after one load: every key in load order
// with its built-in text as written into a file (line breaks as "|").
const char* const kFilledSection[] = {
    "S_ECR=ECR",
    "S_Date=Date",
    "S_Model=Model: ",
    "S_OTNumb=SN Number: ",
    "S_FMNumb=FM Number: ",
    "S_From=from",
    "S_Min=min",
    "S_Parameter=Parameter",
    "S_Value=Value",
    "S_Name1=Name1",
    "S_Name2=Name2",
    "S_Number=Number",
    "S_Sum=Sum",
    "S_SumPay=Payed Sum:",
    "S_Oborot=Turnover",
    "S_Price=Price",
    "S_SellCnt=Sell Count",
    "S_Quantity=Quantity",
    "S_AvailQuant=Avail.Quant.",
    "S_CountQuant=Count Quant.",
    "S_SuppQuant=Suppl.Quant.",
    "S_CustCount=Cust.Count",
    "S_VOIDSum=VOID Sum",
    "S_VOIDCnt=VOID Count",
    "S_DiscSum=Discount Sum",
    "S_DiscCnt=Discount Count",
    "S_AddOnSum=Add on Sum",
    "S_AddOnCnt=Add on Count",
    "S_AddedSum=Added Sum",
    "S_PayedOutSum=Payed out Sum",
    "S_AddedCnt=Added Count",
    "S_PayedOutCnt=Payed out Count",
    "S_Barcode=Barcode",
    "S_EcrName=ECR Name",
    "S_Comment=Comment",
    "S_SellPrice=Sell Price",
    "S_BuyPrice=Buy Price",
    "S_AvgSellPrice=Av.SellPrice",
    "S_AvgBuyPrice=AvgBuyPrice",
    "S_OldBuyPrice=Old Buy Price",
    "S_PluGroup=Plu Group",
    "S_PluSubGroup=Plu Subgroup",
    "S_TaxGroip=Tax Group",
    "S_PayType=Pay Type",
    "S_MinQuant=Min reserve",
    "S_SellTotal=Sell Total",
    "S_BuyTotal=Buy Total",
    "S_LeftQuant=Left Quantity",
    "S_NewQuant=New Quantity",
    "S_SearchBy=Search By ",
    "S_Supplier=Supplier",
    "S_Flags=Flags",
    "S_Address1=Address1",
    "S_Address2=Address2",
    "S_VatNumber=VAT Number",
    "S_Error_OpenComPort=Could not initialize |communication port: COM:",
    "S_Error_NoConnection=Could not complete the connection with|device No: ",
    "S_ECRHasTurnover=ECR turnover report is not Zero!||Probably the changes will not take effect even success result.|Please perform Z report to complete the operation.",
    "S_Error_SaveSettings=Error saving the settings",
    "S_UnexpectedError=Unexpected error: ",
    "S_ErrorInOperation=Error during an operation",
    "S_NoConnection=There is no connection with the device.",
    "S_InvalidPLUData=Invalid input parameters.|Please validate PLU: ",
    "S_WrongFileFormat=Wrong file format.",
    "S_ReadEcrError=Error reading ECR.",
    "S_InvalidPluNumber=Invalid plu number.",
    "S_InvalidNumber=Invalid number.",
    "S_InvalidValue=Invalid value",
    "S_DuplicateNumber=The number is duplicated",
    "S_PluEcrNameIsRequired=Plu ECR name is required.",
    "S_InvalidPrice=Invalid Price.",
    "S_InvalidBarcode=Invalid Barcode.",
    "S_ErrorInImportFile=Error in the file for import:",
    "S_InvalidPeriod=Invalid Period.",
    "S_ErrorInTotalZReport=Error printing the daily Z.report |There is a started bon.",
    "S_SuccessConnection=Succesful connection with ECR: ",
    "S_OperationCanceled=Operation canceled by user.",
    "S_UserCancelOperation=Do you want to cancel the operation?",
    "S_SuccesOperation=Operation completed succesfully.",
    "S_FailOperation=Operation failed:",
    "S_TaxNumbLoaded=Tax number loaded.",
    "S_TaxGroupsLoaded=Tax groupls loaded.",
    "S_AdvLinesLoaded=Adv\xE5" "rtise lines loaded.",
    "S_OperatorsLoaded=Operators loaded.",
    "S_OperatorLoaded=An operator loaded: ",
    "S_SupGroupLoaded=Plu subgroup loaded: ",
    "S_GroupsLoaded=Plu groups loaded",
    "S_PaymentsLoaded=Payments loaded.",
    "S_PercentsLoaded=Percents Loaded.",
    "S_TimePeriodsLoaded=Time periods Loaded.",
    "S_PluLoaded=Loading plu: ",
    "S_DateTimeLoaded=Date/Time loaded.",
    "S_TotalLoaded=Total loaded.",
    "S_ParametersSet=Parameters saved.",
    "S_AdvLinesSet=Advertise lines saved.",
    "S_OperatorsSet=Operators saved.",
    "S_OperatorSet=Operator saved: ",
    "S_SupGroupSet=Plu subgroup saved ",
    "S_PaymentsSet=Payments saved.",
    "S_PercentsSet=Discounts saved.",
    "S_TimePeriodsSet=Time periods saved",
    "S_PluSet=Plu saved: ",
    "S_PluDeleted=Plu deleted: ",
    "S_DateTimeSet=Date/Time saved.",
    "S_ConfirmPluReset=Are you sure to abort the operation ?|To cancesl press \"YES\".|If you want to clear only readed|parameterers, press \"Ignore\"",
    "S_ZeroPlues=Zero plues.",
    "S_ZeroGroups=Zero plu groups.",
    "S_ZeroTaxGroups=Zero tax groups.",
    "S_ZeroSubGroups=Zero plu subgroups.",
    "S_ZeroOperators=Zero operators.",
    "S_ZeroTimePeriods=Zero time periods.",
    "S_ZeroTotal=Zero daily report.",
    "S_ConfirmPluDelete=Please, confirm deleting selected plues.",
    "S_ConfirmOperation=Please, confirm the operation.",
    "S_ConfirmSaveChgPlues=plues are changed today.|Would you like to save them in the ECR.",
    "S_ConfirmPluImport=This operation will change plues.|Would you like to continue?",
    "S_ConfirmImportError=Would you like to ignore this row |from the file and continue.",
    "S_ConfirmDeliveryQuit=There is a delivery started.|Do you want to cancel it?",
    "S_ConfirmDeliverySave=Would you like to save the delivery?",
    "S_SearchFail=There is no data|conforming the condition.",
    "S_ConfirmInspectionQuit=There is Inspectation started.|Would you like to cancel it?",
    "S_ConfirmInspectionSave=Would you like to save the inspectation?",
    "S_ErrorParameter1=Invalid command parameter 1.|Wrong number of ECR",
    "S_ErrorParameter2=Invalid command parameter 2.|Program expect \"PGSOTWD\" option",
    "S_ErrorParameter3=Invalid command parameter 3.|Wrong file name or path.",
    "S_AutoReports=ECR reports.",
    "S_PortReady=ready",
    "S_PortMissing=no such device",
    "S_PortLinkBroken=the link leads nowhere",
    "S_PortNotDevice=not a serial device",
    "S_PortNoPermission=no permission",
    "S_PortJoinGroup=no permission: add the user to the group ",
    "S_BackupRegister=Back up register...",
    "S_RestoreRegister=Restore register...",
    "S_BackupFiles=Register backups",
    "S_ReadingRegister=Reading the register...",
    "S_WritingRegister=Writing to the register...",
    "S_ConfirmRestore=Write this to the register?",
    "S_RegisterBackedUp=The register was backed up to ",
    "S_RestoreStopped=The restore stopped. So far: ",
    "S_RestoreMismatch=The register does not match the backup after the restore:",
};

class Messages : public ::testing::Test {
protected:
    void SetUp() override { RestoreBuiltInMessages(); }
    void TearDown() override { RestoreBuiltInMessages(); }

    // The lines of the file, without line ends.
    std::vector<std::string> Lines(const std::string& name) const
    {
        std::vector<std::string> out;
        std::string content = dir.Read(name);
        size_t pos = 0;
        while (pos < content.size()) {
            size_t end = content.find('\n', pos);
            if (end == std::string::npos)
                end = content.size();
            std::string line = content.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            out.push_back(line);
            pos = end + 1;
        }
        return out;
    }

    TempDir dir;
};

} // namespace

TEST_F(Messages, EmptyFileReceivesEveryKeyInLoadOrder)
{
    dir.Write("New.lng", "");
    LoadMessages(dir.File("New.lng"));

    const auto lines = Lines("New.lng");
    const size_t count = std::size(kFilledSection);
    ASSERT_EQ(count, 141u);
    ASSERT_GE(lines.size(), count + 1);
    EXPECT_EQ(lines[0], "[App Messages]");
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(lines[i + 1], kFilledSection[i]) << "line " << i + 1;
    for (size_t i = count + 1; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], "");

    // Nothing was in the file, so every text is still the built-in one.
    ASSERT_EQ(MessageCatalogue().size(), count);
    for (const auto& e : MessageCatalogue())
        EXPECT_EQ(*e.text, e.builtIn) << e.key;

    // Read back, the filled file gives the same texts, trailing blanks
    // included; only a lone CR comes back as CR LF.
    const std::string written = dir.Read("New.lng");
    LoadMessages(dir.File("New.lng"));
    EXPECT_EQ(dir.Read("New.lng"), written) << "nothing is missing any more";
    EXPECT_EQ(S_Model, "Model: ");
    for (const auto& e : MessageCatalogue())
        EXPECT_EQ(*e.text, DecodeIniText(EncodeIniText(e.builtIn))) << e.key;
}

TEST_F(Messages, BuiltInTextsKeepLineBreaksQuotesBlanksAndTheCyrillicLetter)
{
    struct Case {
        const char* key;
        const char* text;
    };
    const Case cases[] = {
        {"S_Model", "Model: "},
        {"S_OTNumb", "SN Number: "},
        {"S_FMNumb", "FM Number: "},
        {"S_SearchBy", "Search By "},
        {"S_Error_OpenComPort", "Could not initialize \rcommunication port: COM:"},
        {"S_Error_NoConnection", "Could not complete the connection with\rdevice No: "},
        {"S_ECRHasTurnover", "ECR turnover report is not Zero!\r\rProbably the changes will not take effect even success result.\rPlease perform Z report to complete the operation."},
        {"S_UnexpectedError", "Unexpected error: "},
        {"S_InvalidPLUData", "Invalid input parameters.\rPlease validate PLU: "},
        {"S_ErrorInTotalZReport", "Error printing the daily Z.report \rThere is a started bon."},
        {"S_SuccessConnection", "Succesful connection with ECR: "},
        {"S_AdvLinesLoaded", "Adv\xE5rtise lines loaded."},
        {"S_OperatorLoaded", "An operator loaded: "},
        {"S_SupGroupLoaded", "Plu subgroup loaded: "},
        {"S_PluLoaded", "Loading plu: "},
        {"S_OperatorSet", "Operator saved: "},
        {"S_SupGroupSet", "Plu subgroup saved "},
        {"S_PluSet", "Plu saved: "},
        {"S_PluDeleted", "Plu deleted: "},
        {"S_ConfirmPluReset", "Are you sure to abort the operation ?\r\nTo cancesl press \"YES\".\r\nIf you want to clear only readed\r\nparameterers, press \"Ignore\""},
        {"S_ConfirmSaveChgPlues", "plues are changed today.\r\nWould you like to save them in the ECR."},
        {"S_ConfirmPluImport", "This operation will change plues.\r\nWould you like to continue?"},
        {"S_ConfirmImportError", "Would you like to ignore this row \r\nfrom the file and continue."},
        {"S_ConfirmDeliveryQuit", "There is a delivery started.\r\nDo you want to cancel it?"},
        {"S_SearchFail", "There is no data\r\nconforming the condition."},
        {"S_ConfirmInspectionQuit", "There is Inspectation started.\r\nWould you like to cancel it?"},
        {"S_ErrorParameter1", "Invalid command parameter 1.\r\nWrong number of ECR"},
        {"S_ErrorParameter2", "Invalid command parameter 2.\r\nProgram expect \"PGSOTWD\" option"},
        {"S_ErrorParameter3", "Invalid command parameter 3.\r\nWrong file name or path."},
    };
    for (const auto& c : cases) {
        const TMsgEntry* found = nullptr;
        for (const auto& e : MessageCatalogue())
            if (std::string(e.key) == c.key)
                found = &e;
        ASSERT_NE(found, nullptr) << c.key;
        EXPECT_EQ(*found->text, c.text) << c.key;
        EXPECT_EQ(found->builtIn, std::string(c.text)) << c.key;
    }
    // The variables are the catalogue's own.
    EXPECT_EQ(S_AdvLinesLoaded[3], '\xE5');
    EXPECT_EQ(S_TaxGroip, "Tax Group");
    EXPECT_EQ(S_SuccesOperation, "Operation completed succesfully.");
    EXPECT_EQ(MessageCatalogue()[0].text, &S_ECR);
    EXPECT_EQ(MessageCatalogue()[125].text, &S_AutoReports);
}

TEST_F(Messages, EncodingTurnsLineBreaksIntoBarsAndDropsOtherControlCharacters)
{
    EXPECT_EQ(EncodeIniText("a\r\nb\rc\nd\te\x01" "f"), "a|b|cdef");
    EXPECT_EQ(EncodeIniText("\xC0\xFF\x80 x "), "\xC0\xFF\x80 x ");
    EXPECT_EQ(EncodeIniText(""), "");
    EXPECT_EQ(DecodeIniText("a|b||c"), "a\r\nb\r\n\r\nc");
    EXPECT_EQ(DecodeIniText("\xE5\t"), "\xE5\t");
    // CR alone comes back from a file as CR LF.
    EXPECT_EQ(DecodeIniText(EncodeIniText("x\ry")), "x\r\ny");
}

TEST_F(Messages, ValuesReplaceTextsAndEmptyValuesAreRewritten)
{
    dir.Write("Lang.lng",
              "[App Messages]\n"
              "S_SearchFail=Nothing|found\n"
              "S_ErrorInOperation=\n"
              "S_ECR=Kasa\n");
    S_ErrorInOperation = "current text";
    LoadMessages(dir.File("Lang.lng"));
    EXPECT_EQ(S_SearchFail, "Nothing\r\nfound");
    EXPECT_EQ(S_ECR, "Kasa");
    EXPECT_EQ(S_ErrorInOperation, "current text");

    TIniFile ini(dir.File("Lang.lng"));
    EXPECT_EQ(ini.ReadString(kMessagesSection, "S_ErrorInOperation", ""), "current text");
    EXPECT_EQ(ini.ReadString(kMessagesSection, "S_SearchFail", ""), "Nothing|found");
    EXPECT_EQ(ini.ReadSection(kMessagesSection).size(), 141u);

    // A second load reads what the first one left and changes nothing.
    const std::string before = dir.Read("Lang.lng");
    LoadMessages(dir.File("Lang.lng"));
    EXPECT_EQ(S_SearchFail, "Nothing\r\nfound");
    EXPECT_EQ(dir.Read("Lang.lng"), before);
}

TEST_F(Messages, KeyMissingFromTheNextLanguageKeepsAndSpreadsThePreviousText)
{
    dir.Write("A.lng", "[App Messages]\nS_SearchFail=From A\nS_ECR=A-ECR\n");
    LoadMessages(dir.File("A.lng"));
    dir.Write("B.lng", "[App Messages]\nS_ECR=B-ECR\n");
    LoadMessages(dir.File("B.lng"));
    EXPECT_EQ(S_SearchFail, "From A");
    EXPECT_EQ(S_ECR, "B-ECR");
    TIniFile b(dir.File("B.lng"));
    EXPECT_EQ(b.ReadString(kMessagesSection, "S_SearchFail", ""), "From A");
    // Other sections and comments of the file stay.
    dir.Write("C.lng", "; translator's note\n[MainForm]\nbtnPlues=P\n[App Messages]\nS_ECR=C\n");
    LoadMessages(dir.File("C.lng"));
    TIniFile c(dir.File("C.lng"));
    EXPECT_EQ(c.ReadString("MainForm", "btnPlues", ""), "P");
    EXPECT_NE(dir.Read("C.lng").find("; translator's note"), std::string::npos);
}

TEST_F(Messages, AbsentFileIsCreatedWithAllKeys)
{
    LoadMessages(dir.File("Fresh.lng"));
    TIniFile ini(dir.File("Fresh.lng"));
    EXPECT_EQ(ini.ReadSection(kMessagesSection).size(), 141u);
    EXPECT_EQ(ini.ReadString(kMessagesSection, "S_AutoReports", ""), "ECR reports.");
}

TEST_F(Messages, UnwritableFileStopsTheLoadAtTheFirstMissingKey)
{
    // S_ECR and S_Date are present, S_Model (third) is not.
    const std::string content = "[App Messages]\nS_ECR=one\nS_Date=two\nS_OTNumb=four\n";
    dir.Write("Ro.lng", content);
    ASSERT_EQ(::chmod(dir.File("Ro.lng").c_str(), 0444), 0);
    try {
        LoadMessages(dir.File("Ro.lng"));
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.File("Ro.lng"));
    }
    EXPECT_EQ(S_ECR, "one");
    EXPECT_EQ(S_Date, "two");
    EXPECT_EQ(S_Model, "Model: ");
    EXPECT_EQ(S_OTNumb, "SN Number: ");
    EXPECT_EQ(dir.Read("Ro.lng"), content);
}

TEST_F(Messages, ReadMessageWritesAMissingKeyAtOnce)
{
    TIniFile ini(dir.File("One.lng"));
    EXPECT_EQ(ReadMessage(ini, "S_Custom", "line1\r\nline2"), "line1\r\nline2");
    // On disk already, before the object is gone.
    EXPECT_EQ(TIniFile(dir.File("One.lng")).ReadString(kMessagesSection, "S_Custom", ""), "line1|line2");
    EXPECT_EQ(ReadMessage(ini, "S_Custom", "other"), "line1\r\nline2");
}

// The shipped translation holds every key, so loading it writes nothing.
TEST_F(Messages, BulgarianFileIsCompleteAndCyrillic)
{
    std::string content;
    ASSERT_TRUE(ReadWholeFile(BULGARIAN_LNG, content));
    dir.Write("Bulgarian.lng", content);
    LoadMessages(dir.File("Bulgarian.lng"));
    EXPECT_EQ(dir.Read("Bulgarian.lng"), content);
    for (const auto& e : MessageCatalogue())
        EXPECT_NE(*e.text, e.builtIn) << e.key << " is not translated";
    // "Грешка ..." in Windows-1251: capital Ge is 0xC3.
    ASSERT_FALSE(S_ErrorInOperation.empty());
    EXPECT_EQ(static_cast<unsigned char>(S_ErrorInOperation[0]), 0xC3);
    EXPECT_NE(S_SearchFail.find("\r\n"), std::string::npos);
}
