#pragma once
// The message catalogue: the texts the program shows at run time (message
// boxes, status line, grid column titles), one variable per key, named like
// the key. Each starts with its built-in English text; LoadMessages replaces
// them from the section "App Messages" of a language file and writes every
// key the file lacks (or holds empty) back into it, so a new file fills up
// with all keys in catalogue order and can then be translated by hand.
//
// All texts are Windows-1251 bytes. Inside a file a line break is stored as
// "|" (EncodeIniText) and read back as CR LF (DecodeIniText).
//
// A key that cannot be written back (read-only file or folder) ends the load
// with std::runtime_error("Unable to write to <file>"): the keys read before
// it keep their new texts, the rest keep their old ones.

#include <span>
#include <string>

class TIniFile;

inline constexpr const char* kMessagesSection = "App Messages";

// --- Catalogue texts, in load order ---------------------------------------
// Read directly by the views; written only by LoadMessages (and
// RestoreBuiltInMessages).
extern std::string S_ECR;
extern std::string S_Date;
extern std::string S_Model;
extern std::string S_OTNumb;
extern std::string S_FMNumb;
extern std::string S_From;
extern std::string S_Min;
extern std::string S_Parameter;
extern std::string S_Value;
extern std::string S_Name1;
extern std::string S_Name2;
extern std::string S_Number;
extern std::string S_Sum;
extern std::string S_SumPay;
extern std::string S_Oborot;
extern std::string S_Price;
extern std::string S_SellCnt;
extern std::string S_Quantity;
extern std::string S_AvailQuant;
extern std::string S_CountQuant;
extern std::string S_SuppQuant;
extern std::string S_CustCount;
extern std::string S_VOIDSum;
extern std::string S_VOIDCnt;
extern std::string S_DiscSum;
extern std::string S_DiscCnt;
extern std::string S_AddOnSum;
extern std::string S_AddOnCnt;
extern std::string S_AddedSum;
extern std::string S_PayedOutSum;
extern std::string S_AddedCnt;
extern std::string S_PayedOutCnt;
extern std::string S_Barcode;
extern std::string S_EcrName;
extern std::string S_Comment;
extern std::string S_SellPrice;
extern std::string S_BuyPrice;
extern std::string S_AvgSellPrice;
extern std::string S_AvgBuyPrice;
extern std::string S_OldBuyPrice;
extern std::string S_PluGroup;
extern std::string S_PluSubGroup;
extern std::string S_TaxGroip;
extern std::string S_PayType;
extern std::string S_MinQuant;
extern std::string S_SellTotal;
extern std::string S_BuyTotal;
extern std::string S_LeftQuant;
extern std::string S_NewQuant;
extern std::string S_SearchBy;
extern std::string S_Supplier;
extern std::string S_Flags;
extern std::string S_Address1;
extern std::string S_Address2;
extern std::string S_VatNumber;
extern std::string S_Error_OpenComPort;
extern std::string S_Error_NoConnection;
extern std::string S_ECRHasTurnover;
extern std::string S_Error_SaveSettings;
extern std::string S_UnexpectedError;
extern std::string S_ErrorInOperation;
extern std::string S_NoConnection;
extern std::string S_InvalidPLUData;
extern std::string S_WrongFileFormat;
extern std::string S_ReadEcrError;
extern std::string S_InvalidPluNumber;
extern std::string S_InvalidNumber;
extern std::string S_InvalidValue;
extern std::string S_DuplicateNumber;
extern std::string S_PluEcrNameIsRequired;
extern std::string S_InvalidPrice;
extern std::string S_InvalidBarcode;
extern std::string S_ErrorInImportFile;
extern std::string S_InvalidPeriod;
extern std::string S_ErrorInTotalZReport;
extern std::string S_SuccessConnection;
extern std::string S_OperationCanceled;
extern std::string S_UserCancelOperation;
extern std::string S_SuccesOperation;
extern std::string S_FailOperation;
extern std::string S_TaxNumbLoaded;
extern std::string S_TaxGroupsLoaded;
extern std::string S_AdvLinesLoaded;
extern std::string S_OperatorsLoaded;
extern std::string S_OperatorLoaded;
extern std::string S_SupGroupLoaded;
extern std::string S_GroupsLoaded;
extern std::string S_PaymentsLoaded;
extern std::string S_PercentsLoaded;
extern std::string S_TimePeriodsLoaded;
extern std::string S_PluLoaded;
extern std::string S_DateTimeLoaded;
extern std::string S_TotalLoaded;
extern std::string S_ParametersSet;
extern std::string S_AdvLinesSet;
extern std::string S_OperatorsSet;
extern std::string S_OperatorSet;
extern std::string S_SupGroupSet;
extern std::string S_PaymentsSet;
extern std::string S_PercentsSet;
extern std::string S_TimePeriodsSet;
extern std::string S_PluSet;
extern std::string S_PluDeleted;
extern std::string S_DateTimeSet;
extern std::string S_ConfirmPluReset;
extern std::string S_ZeroPlues;
extern std::string S_ZeroGroups;
extern std::string S_ZeroTaxGroups;
extern std::string S_ZeroSubGroups;
extern std::string S_ZeroOperators;
extern std::string S_ZeroTimePeriods;
extern std::string S_ZeroTotal;
extern std::string S_ConfirmPluDelete;
extern std::string S_ConfirmOperation;
extern std::string S_ConfirmSaveChgPlues;
extern std::string S_ConfirmPluImport;
extern std::string S_ConfirmImportError;
extern std::string S_ConfirmDeliveryQuit;
extern std::string S_ConfirmDeliverySave;
extern std::string S_SearchFail;
extern std::string S_ConfirmInspectionQuit;
extern std::string S_ConfirmInspectionSave;
extern std::string S_ErrorParameter1;
extern std::string S_ErrorParameter2;
extern std::string S_ErrorParameter3;
extern std::string S_AutoReports;
// Our own: the state of the serial device behind a port number, shown by the
// communication settings view.
extern std::string S_PortReady;
extern std::string S_PortMissing;
extern std::string S_PortLinkBroken;
extern std::string S_PortNotDevice;
extern std::string S_PortNoPermission;
extern std::string S_PortJoinGroup; // followed by the group's name
// Our own: backing a register up into a file and restoring it from one, in
// the ECR parameters view.
extern std::string S_BackupRegister;   // the two buttons' captions
extern std::string S_RestoreRegister;
extern std::string S_BackupFiles;      // the file dialogs' filter name
extern std::string S_ReadingRegister;  // progress while reading, and while writing
extern std::string S_WritingRegister;
extern std::string S_ConfirmRestore;   // after the restore plan
extern std::string S_RegisterBackedUp; // followed by the file's name
extern std::string S_RestoreStopped;   // followed by what was written
extern std::string S_RestoreMismatch;  // followed by what still differs

// --- Fixed texts without a key (never taken from a language file) --------
inline constexpr const char* kColTitlePluName = "PLU Name";   // column NAME
inline constexpr const char* kColTitleAlteTaxe = "Alte Taxe"; // column ALTE_TAXE
inline constexpr const char* kColTitleTaxValue = "Tax Value"; // column TAX_VALUE
inline constexpr const char* kTextCheckOneField = "You have to check at least one field!";
inline constexpr const char* kTextBarcodeExists = "The entered barcode already exists.";

// One catalogue entry: its key, the variable holding its current text and
// its built-in text.
struct TMsgEntry {
    const char* key;
    std::string* text;
    const char* builtIn;
};

// The 141 entries in load order.
std::span<const TMsgEntry> MessageCatalogue();

// Reads every key in catalogue order from the file at path (a missing or
// unreadable file reads as empty) and replaces the current texts; missing or
// empty keys are written back with the current text. Throws as above.
void LoadMessages(const std::string& path);

// One key of section "App Messages": the decoded value when it is not empty;
// otherwise the key is written with EncodeIniText(current), the file is put on
// disk at once, and current is returned. Throws std::runtime_error
// ("Unable to write to <file>") when the file cannot be written.
std::string ReadMessage(TIniFile& ini, const std::string& key, const std::string& current);

// CR becomes "|"; every other character below 32 (LF, TAB, ...) is dropped;
// everything else, bytes 128..255 included, is kept.
std::string EncodeIniText(const std::string& text);

// Every "|" becomes CR LF; everything else is kept.
std::string DecodeIniText(const std::string& value);

// Puts every catalogue text back to its built-in text.
void RestoreBuiltInMessages();
