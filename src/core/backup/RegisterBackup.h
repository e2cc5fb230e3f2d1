#pragma once
// A register's whole programming (identification, fiscal status, alte
// taxes, PLU items, cashiers, advertising lines): read from a register in one
// go, and made true on a register (the same one or another) by a restore
// plan that writes only what differs.
//
//   TRegisterContent target;
//   if (ReadRegisterContent(ecr, target, progress) != TRunResult::Done) ...
//   const TRestorePlan plan = PlanRestore(backup.Content, target);
//   show(RestorePlanLines(plan)); ask;
//   TRestoreReport report;
//   switch (RunRestorePlan(ecr, plan, progress, report)) ...
//   then read again: the register matches when PlanRestore finds nothing to do.
//
// The backup file that keeps a content is in BackupFile.h.

#include "core/device/EcrDeviceUnit.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The steps of the long register work, for progress labels.
enum class TRegisterStep {
    ReadInfo,
    ReadTaxes,
    ReadPlues,
    ReadCashiers,
    ReadAdvLines,
    WriteTaxes,
    WritePlues,
    RemoveTaxes,
    WriteCashiers,
    WriteAdvLines,
};

// "Reading PLU items", "Writing alte taxes", ...
const char* RegisterStepText(TRegisterStep step);

// Progress inside one step; setting abort asks the work to stop at its next
// record boundary. Called at least once at the start of every step.
using TRegisterProgress = std::function<void(TRegisterStep step, int position, int total, bool& abort)>;

enum class TRunResult {
    Done,
    Aborted, // an abort asked for through the progress callback ended the work
    Failed,  // the register or the line failed: the façade's LastError tells
};

struct TRegisterContent {
    TECR_DeviceInfo Info;
    bool IsFiscal = false;
    std::string Tin;
    std::string FiscalName;
    TECR_ALTETAXE_List Taxes;
    TECR_PLU_List Plues;
    TECR_Cashiers Cashiers;
    // As the register gives them: on a fiscal register line 0 is its fiscal
    // name; a register without advertising lines gives ten empty ones.
    TECR_AdvLines AdvLines;
};

// Reads everything, one façade operation after the other. On Failed the
// façade's LastError holds the chain of the failing operation.
TRunResult ReadRegisterContent(TEcrDevice& ecr, TRegisterContent& content, const TRegisterProgress& progress);

// What a restore writes. Records are compared as the register stores them
// (their file lines), so values that the register keeps alike (pay type 0
// and 1) count as equal.
struct TRestorePlan {
    TECR_ALTETAXE_List TaxesToWrite;   // new on the target or with another name
    TECR_PLU_List PluesToWrite;        // new on the target or different there
    // The target's PLU items that the backup lacks, with their "deleted" flag
    // set: the register's way of deleting a PLU. Items already marked deleted
    // are left alone.
    TECR_PLU_List PluesToDelete;
    // The target's taxes that the backup lacks, with the name emptied (the
    // register's way of removing a tax). Written after the PLU items, so that
    // no item on the register points at a removed tax if the work stops
    // between the two.
    TECR_ALTETAXE_List TaxesToRemove;
    TECR_Cashiers CashiersToWrite;     // new on the target or different there
    TECR_Cashiers CashiersToDelete;    // the target's cashiers the backup lacks, name emptied
    bool WriteAdvLines = false;
    TECR_AdvLines AdvLines;            // the ten lines to write
    // A fiscal target keeps its line 0 (its fiscal name), whatever the backup holds.
    bool KeepsLine0 = false;

    bool Empty() const;
};

TRestorePlan PlanRestore(const TRegisterContent& backup, const TRegisterContent& target);

// The plan for people, one line a kind of record with the numbers concerned:
// "PLU items: 4998 to write (1-4998), 2 to mark deleted (5001, 5002)".
// An empty plan gives the one line "Nothing to do: the register matches the backup.".
std::vector<std::string> RestorePlanLines(const TRestorePlan& plan);

// How much of a plan reached the register.
struct TRestoreReport {
    std::size_t TaxesWritten = 0;
    std::size_t PluesWritten = 0;
    std::size_t PluesDeleted = 0;
    std::size_t TaxesRemoved = 0;
    std::size_t CashiersWritten = 0;
    std::size_t CashiersDeleted = 0;
    bool AdvLinesWritten = false;
};

// Writes the plan: taxes, PLU items (written and deleted in one connection),
// removed taxes, cashiers, advertising lines, in this order; taxes and
// cashiers one connection each. An abort is honoured between records. The
// report counts what was written whatever the result; on Failed the façade's
// LastError tells why.
TRunResult RunRestorePlan(TEcrDevice& ecr, const TRestorePlan& plan, const TRegisterProgress& progress,
                          TRestoreReport& report);

// Reads the register again after a restore: left is what still differs from
// the backup, empty when the register matches it.
TRunResult CheckRestored(TEcrDevice& ecr, const TRegisterContent& backup, const TRegisterProgress& progress,
                         TRestorePlan& left);

// "alte taxes written 3 of 3, PLU items written 120 of 4998, ..., advertising
// lines not written": every kind the plan holds, with how much of it was
// done; "nothing to write" for an empty plan.
std::string RestoreReportText(const TRestorePlan& plan, const TRestoreReport& report);
