#include "core/app/MsgINISupp.h"

#include "core/base/IniFile.h"

#include <stdexcept>

// Key and built-in text of every entry, in load order. Texts are
// Windows-1251 bytes. The fourth letter of S_AdvLinesLoaded is a Cyrillic ie
// (0xE5), not a Latin e: the text has always read so and is kept as it is.
#define MSG_CATALOGUE(X) \
    X(S_ECR, "ECR") \
    X(S_Date, "Date") \
    X(S_Model, "Model: ") \
    X(S_OTNumb, "SN Number: ") \
    X(S_FMNumb, "FM Number: ") \
    X(S_From, "from") \
    X(S_Min, "min") \
    X(S_Parameter, "Parameter") \
    X(S_Value, "Value") \
    X(S_Name1, "Name1") \
    X(S_Name2, "Name2") \
    X(S_Number, "Number") \
    X(S_Sum, "Sum") \
    X(S_SumPay, "Payed Sum:") \
    X(S_Oborot, "Turnover") \
    X(S_Price, "Price") \
    X(S_SellCnt, "Sell Count") \
    X(S_Quantity, "Quantity") \
    X(S_AvailQuant, "Avail.Quant.") \
    X(S_CountQuant, "Count Quant.") \
    X(S_SuppQuant, "Suppl.Quant.") \
    X(S_CustCount, "Cust.Count") \
    X(S_VOIDSum, "VOID Sum") \
    X(S_VOIDCnt, "VOID Count") \
    X(S_DiscSum, "Discount Sum") \
    X(S_DiscCnt, "Discount Count") \
    X(S_AddOnSum, "Add on Sum") \
    X(S_AddOnCnt, "Add on Count") \
    X(S_AddedSum, "Added Sum") \
    X(S_PayedOutSum, "Payed out Sum") \
    X(S_AddedCnt, "Added Count") \
    X(S_PayedOutCnt, "Payed out Count") \
    X(S_Barcode, "Barcode") \
    X(S_EcrName, "ECR Name") \
    X(S_Comment, "Comment") \
    X(S_SellPrice, "Sell Price") \
    X(S_BuyPrice, "Buy Price") \
    X(S_AvgSellPrice, "Av.SellPrice") \
    X(S_AvgBuyPrice, "AvgBuyPrice") \
    X(S_OldBuyPrice, "Old Buy Price") \
    X(S_PluGroup, "Plu Group") \
    X(S_PluSubGroup, "Plu Subgroup") \
    X(S_TaxGroip, "Tax Group") \
    X(S_PayType, "Pay Type") \
    X(S_MinQuant, "Min reserve") \
    X(S_SellTotal, "Sell Total") \
    X(S_BuyTotal, "Buy Total") \
    X(S_LeftQuant, "Left Quantity") \
    X(S_NewQuant, "New Quantity") \
    X(S_SearchBy, "Search By ") \
    X(S_Supplier, "Supplier") \
    X(S_Flags, "Flags") \
    X(S_Address1, "Address1") \
    X(S_Address2, "Address2") \
    X(S_VatNumber, "VAT Number") \
    X(S_Error_OpenComPort, "Could not initialize \rcommunication port: COM:") \
    X(S_Error_NoConnection, "Could not complete the connection with\rdevice No: ") \
    X(S_ECRHasTurnover, "ECR turnover report is not Zero!\r\rProbably the changes will not take effect even success result.\rPlease perform Z report to complete the operation.") \
    X(S_Error_SaveSettings, "Error saving the settings") \
    X(S_UnexpectedError, "Unexpected error: ") \
    X(S_ErrorInOperation, "Error during an operation") \
    X(S_NoConnection, "There is no connection with the device.") \
    X(S_InvalidPLUData, "Invalid input parameters.\rPlease validate PLU: ") \
    X(S_WrongFileFormat, "Wrong file format.") \
    X(S_ReadEcrError, "Error reading ECR.") \
    X(S_InvalidPluNumber, "Invalid plu number.") \
    X(S_InvalidNumber, "Invalid number.") \
    X(S_InvalidValue, "Invalid value") \
    X(S_DuplicateNumber, "The number is duplicated") \
    X(S_PluEcrNameIsRequired, "Plu ECR name is required.") \
    X(S_InvalidPrice, "Invalid Price.") \
    X(S_InvalidBarcode, "Invalid Barcode.") \
    X(S_ErrorInImportFile, "Error in the file for import:") \
    X(S_InvalidPeriod, "Invalid Period.") \
    X(S_ErrorInTotalZReport, "Error printing the daily Z.report \rThere is a started bon.") \
    X(S_SuccessConnection, "Succesful connection with ECR: ") \
    X(S_OperationCanceled, "Operation canceled by user.") \
    X(S_UserCancelOperation, "Do you want to cancel the operation?") \
    X(S_SuccesOperation, "Operation completed succesfully.") \
    X(S_FailOperation, "Operation failed:") \
    X(S_TaxNumbLoaded, "Tax number loaded.") \
    X(S_TaxGroupsLoaded, "Tax groupls loaded.") \
    X(S_AdvLinesLoaded, "Adv\xE5rtise lines loaded.") \
    X(S_OperatorsLoaded, "Operators loaded.") \
    X(S_OperatorLoaded, "An operator loaded: ") \
    X(S_SupGroupLoaded, "Plu subgroup loaded: ") \
    X(S_GroupsLoaded, "Plu groups loaded") \
    X(S_PaymentsLoaded, "Payments loaded.") \
    X(S_PercentsLoaded, "Percents Loaded.") \
    X(S_TimePeriodsLoaded, "Time periods Loaded.") \
    X(S_PluLoaded, "Loading plu: ") \
    X(S_DateTimeLoaded, "Date/Time loaded.") \
    X(S_TotalLoaded, "Total loaded.") \
    X(S_ParametersSet, "Parameters saved.") \
    X(S_AdvLinesSet, "Advertise lines saved.") \
    X(S_OperatorsSet, "Operators saved.") \
    X(S_OperatorSet, "Operator saved: ") \
    X(S_SupGroupSet, "Plu subgroup saved ") \
    X(S_PaymentsSet, "Payments saved.") \
    X(S_PercentsSet, "Discounts saved.") \
    X(S_TimePeriodsSet, "Time periods saved") \
    X(S_PluSet, "Plu saved: ") \
    X(S_PluDeleted, "Plu deleted: ") \
    X(S_DateTimeSet, "Date/Time saved.") \
    X(S_ConfirmPluReset, "Are you sure to abort the operation ?\r\nTo cancesl press \"YES\".\r\nIf you want to clear only readed\r\nparameterers, press \"Ignore\"") \
    X(S_ZeroPlues, "Zero plues.") \
    X(S_ZeroGroups, "Zero plu groups.") \
    X(S_ZeroTaxGroups, "Zero tax groups.") \
    X(S_ZeroSubGroups, "Zero plu subgroups.") \
    X(S_ZeroOperators, "Zero operators.") \
    X(S_ZeroTimePeriods, "Zero time periods.") \
    X(S_ZeroTotal, "Zero daily report.") \
    X(S_ConfirmPluDelete, "Please, confirm deleting selected plues.") \
    X(S_ConfirmOperation, "Please, confirm the operation.") \
    X(S_ConfirmSaveChgPlues, "plues are changed today.\r\nWould you like to save them in the ECR.") \
    X(S_ConfirmPluImport, "This operation will change plues.\r\nWould you like to continue?") \
    X(S_ConfirmImportError, "Would you like to ignore this row \r\nfrom the file and continue.") \
    X(S_ConfirmDeliveryQuit, "There is a delivery started.\r\nDo you want to cancel it?") \
    X(S_ConfirmDeliverySave, "Would you like to save the delivery?") \
    X(S_SearchFail, "There is no data\r\nconforming the condition.") \
    X(S_ConfirmInspectionQuit, "There is Inspectation started.\r\nWould you like to cancel it?") \
    X(S_ConfirmInspectionSave, "Would you like to save the inspectation?") \
    X(S_ErrorParameter1, "Invalid command parameter 1.\r\nWrong number of ECR") \
    X(S_ErrorParameter2, "Invalid command parameter 2.\r\nProgram expect \"PGSOTWD\" option") \
    X(S_ErrorParameter3, "Invalid command parameter 3.\r\nWrong file name or path.") \
    X(S_AutoReports, "ECR reports.") \
    X(S_PortReady, "ready") \
    X(S_PortMissing, "no such device") \
    X(S_PortLinkBroken, "the link leads nowhere") \
    X(S_PortNotDevice, "not a serial device") \
    X(S_PortNoPermission, "no permission") \
    X(S_PortJoinGroup, "no permission: add the user to the group ") \
    X(S_BackupRegister, "Back up register...") \
    X(S_RestoreRegister, "Restore register...") \
    X(S_BackupFiles, "Register backups") \
    X(S_ReadingRegister, "Reading the register...") \
    X(S_WritingRegister, "Writing to the register...") \
    X(S_ConfirmRestore, "Write this to the register?") \
    X(S_RegisterBackedUp, "The register was backed up to ") \
    X(S_RestoreStopped, "The restore stopped. So far: ") \
    X(S_RestoreMismatch, "The register does not match the backup after the restore:")

#define MSG_DEFINE(key, text) std::string key = text;
MSG_CATALOGUE(MSG_DEFINE)
#undef MSG_DEFINE

namespace {

#define MSG_ENTRY(key, text) TMsgEntry{#key, &key, text},
const TMsgEntry kCatalogue[] = {MSG_CATALOGUE(MSG_ENTRY)};
#undef MSG_ENTRY

} // namespace

std::span<const TMsgEntry> MessageCatalogue()
{
    return kCatalogue;
}

void RestoreBuiltInMessages()
{
    for (const auto& e : kCatalogue)
        *e.text = e.builtIn;
}

std::string EncodeIniText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r')
            out += '|';
        else if (b >= 32)
            out += c;
    }
    return out;
}

std::string DecodeIniText(const std::string& value)
{
    std::string out;
    out.reserve(value.size() + 8);
    for (char c : value) {
        if (c == '|')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

std::string ReadMessage(TIniFile& ini, const std::string& key, const std::string& current)
{
    std::string text = DecodeIniText(ini.ReadString(kMessagesSection, key, ""));
    if (!text.empty())
        return text;
    ini.WriteString(kMessagesSection, key, EncodeIniText(current));
    // Flushed key by key: when the file turns out not to be writable, the
    // keys already read keep their new texts and the rest keep theirs.
    std::string error;
    if (!ini.UpdateFile(error))
        throw std::runtime_error(error);
    return current;
}

void LoadMessages(const std::string& path)
{
    TIniFile ini(path);
    for (const auto& e : kCatalogue)
        *e.text = ReadMessage(ini, e.key, *e.text);
}
