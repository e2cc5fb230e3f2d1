#pragma once
// PLU rows to and from the register: the conversion of a row into the
// register's record and back, the check a record passes before it is sent,
// the lookup of an alte taxe id by name, and the loop that sends a list of
// rows one by one. The PLU view and ecrtool run the same functions; only
// what they show differs, and that is left to a TPluSaveDecisions.
//
// Every register access goes through a TEcrDevice, one connection per call
// (a tax list read and a write for every PLU sent).

#include "core/device/EcrDeviceUnit.h"
#include "core/plu/PluTable.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// --- Row and record ----------------------------------------------------------

// The register's record of a row, without its tax id (AlteTaxeId 0). The
// small numbers keep their low 8 bits; VAT group 1 is sent as 2, never 1.
// Flag i of the record is flag i+1 of FLAGS (missing characters not set).
TECR_PLU PluRecordFromRow(const TPluRow& row);

// A new row from a register record, VAT group unchanged, FLAGS nine
// characters. Throws EPluFieldError for a value the table refuses (a
// register PLU numbered 30000, say).
TPluRow PluRowFromRecord(const TECR_PLU& plu);

// --- The check -------------------------------------------------------------------

struct TPluSendLimits {
    int MaxNumber;
    int MaxSubgroup;
};
// The limits the program holds once it has spoken to a register
// (MaxPluNumber, MaxPluSubgroup); ecrtool uses them as they are.
inline constexpr TPluSendLimits kRegisterPluLimits{30000, 10};

// True when the register may get the record: number 1..MaxNumber, price not
// below 0, group 1..30, department 1..MaxSubgroup, VAT group 1..4 (checked
// in this order).
bool PluRecordValid(const TECR_PLU& plu, const TPluSendLimits& limits);

// --- Alte taxe ids ----------------------------------------------------------------

// The Number of the last tax whose Name equals name exactly (case counts);
// 0 when none does, and always 0 for an empty name: a PLU without a tax is
// sent with id 0, never with the id of a tax deleted to an empty name.
int32_t FindAlteTaxeId(const TECR_ALTETAXE_List& taxes, std::string_view name);

struct TAlteTaxeIdLookup {
    int32_t Id = 0;
    // False when the tax list could not be read and the name is not empty:
    // there is no id to trust then. Error holds the read's LastError.
    bool Ok = true;
    std::string Error;
};

// Reads the register's whole tax list (a connection of its own, reporting
// through progress) and looks name up in it.
TAlteTaxeIdLookup GetAlteTaxeId(TEcrDevice& ecr, std::string_view name, const TDevProgressProc& progress);

// --- Sending one row ------------------------------------------------------------

enum TPluSendResult : int {
    psSent = 0,    // written to the register
    psInvalid = 1, // refused by the check, nothing sent
    psFailed = 3,  // the tax list read or the register write failed; Error tells why
};

struct TPluSendOutcome {
    int Result = psSent;
    TECR_PLU Record;   // what was (or would have been) sent, tax id included
    std::string Error; // the façade's LastError for psFailed
};

// One row as SaveCurrentPluToEcr sends it: the record with its tax id (the
// tax list is read every time), the check, then WriteSinglePlu.
TPluSendOutcome SendPluRow(TEcrDevice& ecr, const TPluRow& row, const TPluSendLimits& limits,
                           const TDevProgressProc& progress);

// --- Sending many rows -------------------------------------------------------------

enum class TPluInvalidChoice { Abort, Ignore };
enum class TPluFailureChoice { Abort, Retry, Skip };

// What the user decides while rows are sent. The loop asks; the view answers
// with message boxes, ecrtool by its own rules.
class TPluSaveDecisions {
public:
    virtual ~TPluSaveDecisions() = default;
    // Asked before every attempt (a retry too): true ends the run as
    // cancelled. The view asks only when Abort was pressed.
    virtual bool CancelRequested() = 0;
    // The row at position is about to be sent (it is the current row).
    virtual void Sending(int /*position*/) {}
    virtual TPluInvalidChoice Invalid(const TPluSendOutcome& outcome) = 0;
    // Retry sends the same row again; Skip goes on with the next row.
    virtual TPluFailureChoice Failed(const TPluSendOutcome& outcome) = 0;
    virtual void Sent(const TPluSendOutcome& outcome) = 0;
};

struct TPluSaveSummary {
    int Rows = 0;    // rows the run was asked to send
    int Written = 0;
    int Invalid = 0; // rows refused by the check
    int Failed = 0;  // rows the register did not take (after the last attempt)
    bool Cancelled = false;
    // The row at which an Abort ended the run, and the kind of that row;
    // kNoPluRow when no Abort did.
    TPluRowId AbortedAt = kNoPluRow;
    bool AbortedAtInvalid = false;
    // The last row the loop made current; kNoPluRow when it sent none.
    TPluRowId LastRow = kNoPluRow;

    // Every row of the run reached the register.
    bool AllWritten() const { return !Cancelled && Written == Rows; }
};

// Sends the rows given by id, in the given order, each made current before
// it is sent. Rows no longer in the table are passed over (and count as not
// written).
TPluSaveSummary SavePluRows(PluTable& table, const std::vector<TPluRowId>& rows, TEcrDevice& ecr,
                            const TPluSendLimits& limits, const TDevProgressProc& progress,
                            TPluSaveDecisions& decisions);

// "Save all" in one go (ecrtool send --fast): the register's tax list is
// read once, every row is converted and checked as SendPluRow does, and the
// invalid ones are put to decisions before anything is sent; the valid
// records then go through WriteAllPlues, all in one connection, with
// Sending and CancelRequested before each and Sent after each. A record the
// register does not take is put to decisions: Retry sends again from it, in
// a new connection; Skip goes on after it. Rows are not made current. When
// the tax list cannot be read nothing is sent and the result is false, with
// the façade's LastError telling why.
bool SavePluRowsFast(const PluTable& table, const std::vector<TPluRowId>& rows, TEcrDevice& ecr,
                     const TPluSendLimits& limits, TPluSaveDecisions& decisions, TPluSaveSummary& summary);

// The ids of every row in the current order (what "Save all" sends).
std::vector<TPluRowId> AllPluRows(const PluTable& table);

// --- Loading -----------------------------------------------------------------

// Appends the register's records to the table in their order, skipping
// entries numbered 0 (an interrupted read leaves those), and adds each new
// row's barcodes to barcodes. entryStarting(i) runs before entry i is looked
// at, rowAppended(i) after its row was appended (either may be empty).
// A value the table refuses (EPluFieldError) or a barcode the list refuses
// (EDuplicateBarcode) ends the load with that exception; the rows before it
// stay.
void AppendPluRecords(const TECR_PLU_List& records, PluTable& table, TUsedBarcodes& barcodes,
                      const std::function<void(int index)>& entryStarting = {},
                      const std::function<void(int index)>& rowAppended = {});
